"""The type compiler end to end: its output for the feature schema against the checked-in expected
text, the width of everything it generates, and the diagnostics of schemas with mistakes.

After a deliberate change to the generated code, refresh the expected text with
    ZATGEN_UPDATE_GOLDEN=1 python3 -m unittest discover -s tests/zatgen -p 'test_*.py'
and read the diff in review like any other change.
"""
import difflib
import glob
import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
ZATGEN = os.path.join(ROOT, "zatgen", "zatgen.py")
WIDTH = 110


def compile_schema(schema, out):
    """Runs the compiler on `schema` (relative to the root) into `out`: (exit status, stderr, paths)."""
    paths = {k: os.path.join(out, "Unit" + ext) for k, ext in (("h", ".h"), ("cpp", ".cpp"), ("d", ".d"))}
    r = subprocess.run([sys.executable, ZATGEN, schema, "--root", ROOT, "--header", paths["h"],
                        "--source", paths["cpp"], "--depfile", paths["d"]], capture_output=True, text=True)
    return r.returncode, r.stderr, paths


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


class Golden(unittest.TestCase):
    def test_feature_schema_generates_the_expected_text(self):
        with tempfile.TemporaryDirectory() as out:
            status, err, paths = compile_schema("tests/zatgen/ZatgenTestTypes.zat", out)
            self.assertEqual(status, 0, err)
            for kind in ("h", "cpp"):
                golden = os.path.join(HERE, "golden", f"ZatgenTestTypes.{kind}.golden")
                got = read(paths[kind])
                if os.environ.get("ZATGEN_UPDATE_GOLDEN"):
                    with open(golden, "w", encoding="utf-8") as f:
                        f.write(got)
                want = read(golden)
                if got != want:
                    diff = "".join(difflib.unified_diff(want.splitlines(True), got.splitlines(True),
                                                        golden, "generated", n=2))
                    self.fail(f"generated {kind} differs from {golden}:\n{diff[:6000]}")
            # The build regenerates the unit when any schema it read changes, imports and prelude included.
            deps = read(paths["d"])
            for schema in ("zat/Zat.zat", "ipkit/Ipkit.zat", "tests/zatgen/ZatgenTestTypes.zat"):
                self.assertIn(os.path.join(ROOT, schema), deps)

    def test_no_generated_line_is_wider_than_the_project(self):
        schemas = ["tests/zatgen/ZatgenTestTypes.zat", "bench/CollectionsBenchTypes.zat"] + sorted(
            os.path.relpath(p, ROOT) for d in ("Vel", "platform") for p in glob.glob(os.path.join(ROOT, d, "*.zat")))
        with tempfile.TemporaryDirectory() as out:
            for schema in schemas:
                status, err, paths = compile_schema(schema, out)
                self.assertEqual(status, 0, err)
                for kind in ("h", "cpp"):
                    for number, line in enumerate(read(paths[kind]).splitlines(), start=1):
                        self.assertLessEqual(len(line), WIDTH, f"{schema} ({kind}) line {number}: {line}")


class Diagnostics(unittest.TestCase):
    def test_bad_schemas_report_every_mistake_and_write_nothing(self):
        bad = sorted(glob.glob(os.path.join(HERE, "bad", "*.zat")))
        self.assertTrue(bad)
        for path in bad:
            rel = os.path.relpath(path, ROOT)
            expected = [f"{rel}:{m}" for m in re.findall(r"^# expect: (.*)$", read(path), re.M)]
            with self.subTest(schema=rel), tempfile.TemporaryDirectory() as out:
                status, err, paths = compile_schema(rel, out)
                self.assertEqual(status, 1)
                self.assertEqual(err.splitlines(), expected)
                self.assertEqual(os.listdir(out), [])


if __name__ == "__main__":
    unittest.main()
