"""Schema mistakes are caught by the compiler, reported against the right line, and nothing is emitted."""
import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

from zatgen import emit, schema  # noqa: E402
from zatgen.errors import SchemaError  # noqa: E402


def parse(text):
    return schema.parse("t.zat", textwrap.dedent(text))


class SchemaErrors(unittest.TestCase):
    def assertSchemaError(self, text, line, fragment):
        with self.assertRaises(SchemaError) as cm:
            parse(text)
        self.assertEqual(cm.exception.line, line, cm.exception)
        self.assertIn(fragment, cm.exception.message)

    def test_unknown_and_misordered_types(self):
        self.assertSchemaError("""\
            namespace N
            value A
              x  Ipkit::NoSuch
            """, 3, "unknown type Ipkit::NoSuch")
        self.assertSchemaError("""\
            namespace N
            value A
              b  B
            value B
              x  U8
            """, 3, "type B is used before it is declared")
        self.assertSchemaError("""\
            namespace N
            value A
              self  A
            """, 3, "type A is used before it is declared")
        self.assertSchemaError("""\
            namespace N
            value A
              s  set Nope  hash 1
            """, 3, "unknown type Nope")

    def test_duplicates(self):
        self.assertSchemaError("""\
            namespace N
            value A
              x  U8
            value A
              y  U8
            """, 4, "type A declared twice (first at line 2)")
        self.assertSchemaError("""\
            namespace N
            value A
              x  U8
              x  U16
            """, 4, "attribute x of A declared twice")
        self.assertSchemaError("""\
            namespace N
            enum E
              a
              a
            """, 2, "enumerator a given twice")

    def test_collections_need_constants_and_cannot_be_hashed(self):
        self.assertSchemaError("""\
            namespace N
            value S
              ip  set Ipkit::IpGenAddr
            """, 3, "hash collection S::ip needs its constant")
        self.assertSchemaError("""\
            namespace N
            value S
              ip  set Ipkit::IpGenAddr  hash 4294967296
            """, 3, "not a 32-bit unsigned number")
        self.assertSchemaError("""\
            namespace N
            value S
              ip  set Ipkit::IpGenAddr  hash 1
            value T
              s  set S  hash 2
            """, 5, "key type S holds a collection and cannot be hashed")
        # Holding a collection is inherited through nesting.
        self.assertSchemaError("""\
            namespace N
            value S
              ip  set Ipkit::IpGenAddr  hash 1
            value Holder
              s  S
            value T
              h  set Holder  hash 2
            """, 7, "key type Holder holds a collection")
        self.assertSchemaError("""\
            namespace N
            value A
              x  U8  hash 3
            """, 3, "'hash' applies to hash collections only")

    def test_literals_flags_and_syntax(self):
        self.assertSchemaError("""\
            namespace N
            value A
              x  U8  default 256
            """, 3, "256 is not a valid U8")
        self.assertSchemaError("""\
            namespace N
            value A
              x  Bool  default yes
            """, 3, "not True or False")
        self.assertSchemaError("""\
            namespace N
            value A
              x  U8  sometimes
            """, 3, "unknown flag 'sometimes'")
        self.assertSchemaError("""\
            namespace N
            value A
              fn broken( -> String
            """, 3, "expected: fn NAME")
        self.assertSchemaError("""\
            namespace N
            value A bare
              x  U8
              y  U8
            """, 2, "must have exactly one plain attribute")
        self.assertSchemaError("""\
            value A
              x  U8
            """, 1, "the 'namespace' line must come first")
        self.assertSchemaError("""\
            namespace N
              x  U8
            """, 2, "attribute outside of a type")
        self.assertSchemaError("""\
            namespace N
            entity E : Zat::Nothing
            """, 2, "unknown base Zat::Nothing")


class AttributeIds(unittest.TestCase):
    def test_ids_follow_depth_and_position(self):
        unit = parse("""\
            namespace N
            value V
              a  U8
              b  U8
              fn f() const -> String
            entity Nested : Zat::PtrInterface
              a  U8
            entity Root : Zat::Entity
              a  U16  const 1
              b  U16  const 2
            """)
        ids = {(t.name, a.name): a.id for t in unit.types for a in t.attrs}
        self.assertEqual(ids, {("V", "a"): 2, ("V", "b"): 3, ("V", "f"): 4, ("Nested", "a"): 130,
                               ("Root", "a"): 258, ("Root", "b"): 259})


class CommandLine(unittest.TestCase):
    def test_error_exits_1_and_writes_nothing(self):
        with tempfile.TemporaryDirectory() as d:
            bad = os.path.join(d, "Bad.zat")
            with open(bad, "w") as f:
                f.write("namespace N\nvalue A\n  x  Nope\n")
            out_h, out_c = os.path.join(d, "Bad.h"), os.path.join(d, "Bad.cpp")
            r = subprocess.run([sys.executable, os.path.join(HERE, "..", "zatgen.py"), bad, "--header", out_h,
                                "--source", out_c, "--include", "Bad.h"], capture_output=True, text=True)
            self.assertEqual(r.returncode, 1)
            self.assertIn("Bad.zat:3: unknown type Nope", r.stderr)
            self.assertFalse(os.path.exists(out_h) or os.path.exists(out_c))

    def test_generated_text_is_stable(self):
        unit = parse("""\
            namespace N
            value A
              x  U8  ctor
            """)
        self.assertEqual(emit.header(unit, "t.zat"), emit.header(unit, "t.zat"))
        self.assertIn("explicit A(std::uint8_t x);", emit.header(unit, "t.zat"))


if __name__ == "__main__":
    unittest.main()
