"""Small helpers for writing readable C++: indentation and the mapping of schema type names."""
import re

from .typemap import KNOWN

INDENT = "   "


class Writer:
    def __init__(self):
        self.lines = []
        self.level = 0

    def __call__(self, text=""):
        for line in text.split("\n"):
            self.lines.append((INDENT * self.level + line) if line else "")
        return self

    def indent(self):
        self.level += 1
        return self

    def dedent(self):
        self.level -= 1
        return self

    def section(self, title):
        bar = "// " + "-" * 100
        self(bar)(f"// {title}")(bar)

    def text(self):
        return "\n".join(self.lines).rstrip() + "\n"


def cpp_type(unit, name):
    """The C++ spelling of a schema type name."""
    if name in KNOWN:
        return KNOWN[name].cpp
    own = unit.find(name)
    return own.name if own is not None else name


def is_scalar(unit, name):
    if name in KNOWN:
        return KNOWN[name].scalar
    own = unit.find(name)
    return own is not None and own.kind == "enum"


def param_type(unit, name):
    t = cpp_type(unit, name)
    return t if is_scalar(unit, name) else f"{t} const&"


def map_signature(unit, text):
    """Rewrites the schema type names in a hand-written operation's parameter list."""
    names = sorted(set(KNOWN) | {t.name for t in unit.types}, key=len, reverse=True)
    pattern = re.compile(r"(?<![\w:])(" + "|".join(re.escape(n) for n in names) + r")(?![\w:])")
    return pattern.sub(lambda m: cpp_type(unit, m.group(1)), text)


def cpp_literal(attr):
    """Initialiser text of an attribute's default (already checked by the schema reader)."""
    if attr.default is None:
        return "{}"
    if attr.type == "Bool":
        return "{" + ("true" if attr.default == "True" else "false") + "}"
    if attr.type in ("U32", "U64"):
        return "{" + attr.default + "u}"
    return "{" + attr.default + "}"
