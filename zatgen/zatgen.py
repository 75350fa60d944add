#!/usr/bin/env python3
"""zatgen: compiles one unit's schema into C++.

    zatgen.py SCHEMA --root DIR --header OUT.h --source OUT.cpp [--depfile OUT.d]

SCHEMA is named relative to DIR, the repository root, against which imports are resolved too. Every
schema mistake is reported as `file:line:col: message`, the run exits with status 1 and nothing is
written.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from zatgen import emit, resolve  # noqa: E402
from zatgen.diagnostics import SchemaErrors  # noqa: E402


def write_if_changed(path, text):
    # Leaves an unchanged file alone so that a schema edit rebuilds only what it really changed.
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("schema", help="the schema, relative to --root")
    p.add_argument("--root", required=True, help="the repository root")
    p.add_argument("--header", required=True)
    p.add_argument("--source", required=True)
    p.add_argument("--depfile", help="where to list the schemas read, for the build's dependencies")
    args = p.parse_args(argv)
    try:
        unit, loader = resolve.load(args.root, args.schema)
        h, c = emit.header(unit), emit.source(unit)
    except SchemaErrors as e:
        print(e, file=sys.stderr)
        return 1
    except OSError as e:
        print(f"{args.schema}:1:1: {e.strerror}: {e.filename}", file=sys.stderr)
        return 1
    write_if_changed(args.header, h)
    write_if_changed(args.source, c)
    if args.depfile:
        deps = " ".join(f.replace(" ", "\\ ") for f in loader.files())
        write_if_changed(args.depfile, f"{args.header} {args.source}: {deps}\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
