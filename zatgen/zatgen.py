#!/usr/bin/env python3
"""zatgen: compiles one unit's schema into C++.

    zatgen.py SCHEMA --header OUT.h --source OUT.cpp --include Vel/Unit.h [--schema-name Vel/Unit.zat]

Schema mistakes are reported as `file:line: message` with exit status 1, and nothing is written.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from zatgen import emit, schema  # noqa: E402
from zatgen.errors import SchemaError  # noqa: E402


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
    p.add_argument("schema")
    p.add_argument("--header", required=True)
    p.add_argument("--source", required=True)
    p.add_argument("--include", required=True, help="how the source includes the header")
    p.add_argument("--schema-name", help="schema path named in the generated files")
    args = p.parse_args(argv)
    name = args.schema_name or os.path.basename(args.schema)
    try:
        with open(args.schema, encoding="utf-8") as f:
            unit = schema.parse(args.schema, f.read())
        h = emit.header(unit, name)
        c = emit.source(unit, name, args.include)
    except (SchemaError, NotImplementedError) as e:
        print(f"zatgen: {e}", file=sys.stderr)
        return 1
    write_if_changed(args.header, h)
    write_if_changed(args.source, c)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
