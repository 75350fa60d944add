"""Reads a unit's schema into a checked model.

The schema is a table of types, one declaration per line, attributes indented below their type:

    namespace VelL3Common                       the unit's C++ namespace
    value L4App                                 a value type; options: bare
      proto  Ipkit::IpProto  ctor               attribute, type, flags (ctor | default V)
      srcIp  set Ipkit::IpGenPrefix  hash 34    a value set with its hash constant
      vniToVrf  map Ipkit::VniOrNone Ipkit::VrfName  hash 12
      fn stringValue() const -> String          a hand-written operation, defined in C++
    enum RedirectPolicyType                     an 8-bit enumeration
      groupRedirect                             enumerators, numbered from 0 in order
    entity LocalData : Zat::Entity              an entity and its base
      l4PortMin  U16  const 1                   a constant attribute

Everything that can be checked here is, so that a mistake is reported against the schema line rather than
as a C++ error in generated code.
"""
import re
from dataclasses import dataclass, field

from .errors import SchemaError
from .typemap import INTEGERS, KNOWN

IDENT = r"[A-Za-z_][A-Za-z0-9_]*"
TYPE_NAME = rf"{IDENT}(?:::{IDENT})*"
ENTITY_BASES = {"Zat::Entity": 2, "Zat::PtrInterface": 1}


@dataclass
class Attr:
    name: str
    kind: str            # plain | ctor | const | set | map | fn
    line: int
    type: str = ""       # attribute type; for collections the key type
    value_type: str = ""  # map value type
    hash_const: int | None = None
    default: str | None = None
    silent: bool = False
    fn_params: str = ""
    fn_ret: str = ""
    fn_const: bool = False
    fn_static: bool = False
    id: int = 0

    @property
    def is_collection(self):
        return self.kind in ("set", "map")


@dataclass
class TypeDecl:
    name: str
    kind: str            # value | enum | entity
    line: int
    base: str = ""
    options: set = field(default_factory=set)
    attrs: list = field(default_factory=list)
    enumerators: list = field(default_factory=list)
    holds_collection: bool = False

    @property
    def data_attrs(self):
        return [a for a in self.attrs if a.kind != "fn"]

    @property
    def ctor_attrs(self):
        return [a for a in self.attrs if a.kind == "ctor"]

    @property
    def depth(self):
        return 0 if self.kind != "entity" else ENTITY_BASES.get(self.base, 3)


@dataclass
class Unit:
    path: str
    namespace: str = ""
    types: list = field(default_factory=list)

    def find(self, name):
        local = name.split("::")[-1] if name.startswith(self.namespace + "::") else name
        return next((t for t in self.types if t.name == local), None)


def parse(path, text):
    unit = Unit(path)
    current = None
    for number, raw in enumerate(text.splitlines(), start=1):
        line = raw.split("#", 1)[0].rstrip()
        if not line.strip():
            continue
        err = lambda msg, n=number: SchemaError(path, n, msg)  # noqa: E731
        indented = line[0] in " \t"
        words = line.split()
        if not indented:
            current = _parse_top(unit, words, number, err)
            continue
        if current is None:
            raise err("attribute outside of a type")
        if current.kind == "enum":
            _parse_enumerator(current, words, err)
        else:
            current.attrs.append(_parse_attr(line.strip(), words, number, err))
    if not unit.namespace:
        raise SchemaError(path, 1, "missing 'namespace' line")
    _check(unit)
    return unit


def _parse_top(unit, words, number, err):
    keyword = words[0]
    if keyword == "namespace":
        if len(words) != 2 or not re.fullmatch(IDENT, words[1]):
            raise err("expected: namespace NAME")
        if unit.namespace:
            raise err("namespace given twice")
        unit.namespace = words[1]
        return None
    if keyword in ("value", "enum"):
        if len(words) < 2 or not re.fullmatch(IDENT, words[1]):
            raise err(f"expected: {keyword} NAME")
        options = set(words[2:])
        allowed = {"bare"} if keyword == "value" else set()
        if options - allowed:
            raise err(f"unknown option(s) {', '.join(sorted(options - allowed))} for {keyword} {words[1]}")
        decl = TypeDecl(words[1], keyword, number, options=options)
    elif keyword == "entity":
        if len(words) != 4 or words[2] != ":" or not re.fullmatch(IDENT, words[1]):
            raise err("expected: entity NAME : BASE")
        decl = TypeDecl(words[1], "entity", number, base=words[3])
    else:
        raise err(f"unknown declaration '{keyword}'")
    if not unit.namespace:
        raise err("the 'namespace' line must come first")
    unit.types.append(decl)
    return decl


def _parse_enumerator(decl, words, err):
    if len(words) != 1 or not re.fullmatch(IDENT, words[0]):
        raise err("expected one enumerator name per line")
    decl.enumerators.append(words[0])


FN_RE = re.compile(rf"fn\s+({IDENT})\s*\((.*)\)\s*((?:const|static)?)\s*->\s*({TYPE_NAME})$")


def _parse_attr(text, words, number, err):
    if words[0] == "fn":
        m = FN_RE.match(text)
        if not m:
            raise err("expected: fn NAME(PARAMS) [const|static] -> TYPE")
        return Attr(m.group(1), "fn", number, fn_params=m.group(2).strip(), fn_ret=m.group(4),
                    fn_const=m.group(3) == "const", fn_static=m.group(3) == "static")
    if len(words) < 2 or not re.fullmatch(IDENT, words[0]):
        raise err("expected: NAME TYPE [flags]")
    name, rest = words[0], words[1:]
    if rest[0] in ("set", "map"):
        kind = rest[0]
        nargs = 2 if kind == "set" else 3
        if len(rest) < nargs:
            raise err(f"expected: NAME {kind} KEY{' VALUE' if kind == 'map' else ''} hash N")
        attr = Attr(name, kind, number, type=rest[1], value_type=rest[2] if kind == "map" else "")
        rest = rest[nargs:]
    else:
        attr = Attr(name, "plain", number, type=rest[0])
        rest = rest[1:]
    while rest:
        flag = rest.pop(0)
        if flag == "ctor" and attr.kind == "plain":
            attr.kind = "ctor"
        elif flag == "silent":
            attr.silent = True
        elif flag in ("default", "const", "hash"):
            if not rest:
                raise err(f"'{flag}' needs a value")
            val = rest.pop(0)
            if flag == "hash":
                if not attr.is_collection:
                    raise err("'hash' applies to collections only")
                if not re.fullmatch(r"\d+", val) or int(val) > 0xFFFFFFFF:
                    raise err(f"hash constant {val} is not a 32-bit unsigned number")
                attr.hash_const = int(val)
            elif flag == "const":
                if attr.kind != "plain":
                    raise err("'const' cannot be combined with ctor or a collection")
                attr.kind = "const"
                attr.default = val
            else:
                if attr.is_collection:
                    raise err("a collection has no default")
                attr.default = val
        else:
            raise err(f"unknown flag '{flag}'")
    return attr


def _check(unit):
    seen = {}
    for decl in unit.types:
        if decl.name in seen:
            raise SchemaError(unit.path, decl.line, f"type {decl.name} declared twice (first at line {seen[decl.name]})")
        seen[decl.name] = decl.line
        _check_type(unit, decl, seen)


def _check_type(unit, decl, declared_before):
    path = unit.path
    if decl.kind == "enum":
        if not decl.enumerators:
            raise SchemaError(path, decl.line, f"enum {decl.name} has no enumerators")
        if len(decl.enumerators) > 256:
            raise SchemaError(path, decl.line, f"enum {decl.name} has more than 256 enumerators")
        dup = {e for e in decl.enumerators if decl.enumerators.count(e) > 1}
        if dup:
            raise SchemaError(path, decl.line, f"enum {decl.name}: enumerator {sorted(dup)[0]} given twice")
        return
    if decl.kind == "entity" and decl.base not in ENTITY_BASES:
        raise SchemaError(path, decl.line, f"unknown base {decl.base} of entity {decl.name}")
    names = set()
    for position, attr in enumerate(decl.attrs, start=2):
        err = lambda msg, a=attr: SchemaError(path, a.line, msg)  # noqa: E731
        if attr.name in names:
            raise err(f"attribute {attr.name} of {decl.name} declared twice")
        names.add(attr.name)
        attr.id = 128 * decl.depth + position
        if attr.kind == "fn":
            _check_type_name(unit, attr.fn_ret, decl, declared_before, err, allow_self=True)
            continue
        _check_type_name(unit, attr.type, decl, declared_before, err)
        if attr.is_collection:
            decl.holds_collection = True
            if attr.hash_const is None:
                raise err(f"hash collection {decl.name}::{attr.name} needs its constant ('hash N')")
            key = unit.find(attr.type)
            if key is not None and key.holds_collection:
                raise err(f"key type {attr.type} holds a collection and cannot be hashed")
            if attr.kind == "map":
                _check_type_name(unit, attr.value_type, decl, declared_before, err)
        else:
            nested = unit.find(attr.type)
            if nested is not None and nested.kind == "entity":
                raise err(f"attribute {attr.name} of value {decl.name} cannot hold entity {attr.type}")
            if nested is not None and nested.holds_collection:
                decl.holds_collection = True
        if attr.default is not None:
            _check_literal(attr, err)
    if decl.kind == "value" and "bare" in decl.options:
        if len(decl.data_attrs) != 1 or decl.holds_collection:
            raise SchemaError(path, decl.line, f"'bare' value {decl.name} must have exactly one plain attribute")


def _check_type_name(unit, name, decl, declared_before, err, allow_self=False):
    if name in KNOWN:
        return
    own = unit.find(name)
    if own is None:
        raise err(f"unknown type {name}")
    if own is decl and allow_self:
        return
    if own.name not in declared_before or own is decl:
        raise err(f"type {name} is used before it is declared")


def _check_literal(attr, err):
    val = attr.default
    if attr.type in INTEGERS:
        if not re.fullmatch(r"\d+", val) or int(val) > INTEGERS[attr.type]:
            raise err(f"{val} is not a valid {attr.type}")
    elif attr.type == "Bool":
        if val not in ("True", "False"):
            raise err(f"{val} is not True or False")
    elif attr.type == "String":
        if not re.fullmatch(r'"(?:[^"\\]|\\.)*"', val):
            raise err(f"{val} is not a double-quoted string")
    else:
        raise err(f"attribute {attr.name}: defaults are supported for integers, Bool and String only")
