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
import shlex
from dataclasses import dataclass, field

from .errors import SchemaError
from .typemap import INTEGERS, KNOWN

IDENT = r"[A-Za-z_][A-Za-z0-9_]*"
TYPE_NAME = rf"{IDENT}(?:::{IDENT})*"
ENTITY_BASES = {"Zat::Entity": 2, "Zat::PtrInterface": 1}
# Collection kinds and the number of type names after the kind word.
COLLECTIONS = {"set": 1, "map": 2, "coll": 1, "ordered": 1, "orderedmap": 2}
# A single owned entity: `table owned RouteTable`.
OWNED = "owned"


@dataclass
class TraceDecl:
    cpp_name: str
    name: str
    line: int


@dataclass
class StringDecl:
    cpp_name: str
    value: str
    line: int


@dataclass
class LogDecl:
    cpp_name: str
    name: str
    severity: int
    format: str
    explanation: str
    action: str
    line: int


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

    hidden: bool = False
    hook: bool = False
    readonly: bool = False  # generic tools may read it but not change it

    @property
    def is_collection(self):
        return self.kind in COLLECTIONS

    @property
    def is_hash_collection(self):
        return self.kind in ("set", "map", "coll")

    @property
    def is_entity_collection(self):
        return self.kind in ("coll", "ordered")


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
        return [a for a in self.attrs if a.kind not in ("fn", "cpp")]

    @property
    def reflected_attrs(self):
        return [a for a in self.attrs if a.kind != "cpp"]

    @property
    def ctor_attrs(self):
        return [a for a in self.attrs if a.kind == "ctor"]

    @property
    def depth(self):
        return 0 if self.kind != "entity" else ENTITY_BASES.get(self.base, 3)

    @property
    def is_root(self):
        return self.kind == "entity" and self.base == "Zat::Entity" and not self.ctor_attrs

    @property
    def key_attr(self):
        ctor = self.ctor_attrs
        return ctor[0] if ctor else None

    @property
    def is_value_collection(self):
        """A value type that is itself a collection: its only attribute is one."""
        data = self.data_attrs
        return self.kind == "value" and len(data) == 1 and data[0].is_collection


@dataclass
class Unit:
    path: str
    namespace: str = ""
    types: list = field(default_factory=list)
    logs: list = field(default_factory=list)
    # Global objects in the order they are built at load: LogDecl, TraceDecl, StringDecl.
    globals: list = field(default_factory=list)
    # Hand-written types the unit names: name -> header (included after the generated types).
    externs: dict = field(default_factory=dict)
    # Hand-written headers the generated header needs first (types of 'cpp' members).
    includes: list = field(default_factory=list)

    def find(self, name):
        local = name.split("::")[-1] if name.startswith(self.namespace + "::") else name
        return next((t for t in self.types if t.name == local), None)


def parse(path, text):
    unit = Unit(path)
    unit._lines = text.splitlines()
    current = None
    for number, raw in enumerate(unit._lines, start=1):
        quoted = raw.startswith(("log ", "trace ", "global ", "extern ", "include "))
        line = raw.rstrip() if quoted else raw.split("#", 1)[0].rstrip()
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
        if len(words) != 2 or not re.fullmatch(TYPE_NAME, words[1]):
            raise err("expected: namespace NAME")
        if unit.namespace:
            raise err("namespace given twice")
        unit.namespace = words[1]
        return None
    if keyword == "log":
        _parse_log(unit, number, err)
        return None
    if keyword in ("trace", "global", "extern", "include"):
        _parse_global(unit, keyword, number, err)
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
        if len(words) < 4 or words[2] != ":" or not re.fullmatch(IDENT, words[1]):
            raise err("expected: entity NAME : BASE [nofactory]")
        options = set(words[4:])
        if options - {"nofactory"}:
            raise err(f"unknown option(s) {', '.join(sorted(options - {'nofactory'}))} for entity {words[1]}")
        decl = TypeDecl(words[1], "entity", number, base=words[3], options=options)
    else:
        raise err(f"unknown declaration '{keyword}'")
    if not unit.namespace:
        raise err("the 'namespace' line must come first")
    unit.types.append(decl)
    return decl


ACTIONS = {"ContactSupport", "CallSupportIfPersists", "NoActionRequired"}


def _parse_log(unit, number, err):
    line = unit._lines[number - 1]
    try:
        words = shlex.split(line, comments=False, posix=True)
    except ValueError as e:
        raise err(f"log: {e}")
    if len(words) != 7 or not re.fullmatch(IDENT, words[1]) or not words[3].isdigit():
        raise err('expected: log CPPNAME "NAME" SEVERITY "FORMAT" "EXPLANATION" ACTION')
    fmt = words[4]
    if re.search(r"%[^s%]", fmt) or fmt.count("%s") > 3:
        raise err("a log format takes at most three %s placeholders and nothing else")
    action = words[6]
    quoted = line.rstrip().endswith('"')
    if not quoted and action not in ACTIONS:
        raise err(f"unknown recommended action {action}; quote a literal text")
    decl = LogDecl(words[1], words[2], int(words[3]), fmt, words[5], action if not quoted else '"' + action + '"', number)
    unit.logs.append(decl)
    unit.globals.append(decl)


def _parse_global(unit, keyword, number, err):
    try:
        words = shlex.split(unit._lines[number - 1], posix=True)
    except ValueError as e:
        raise err(f"{keyword}: {e}")
    if keyword == "trace":
        if len(words) != 3 or not re.fullmatch(IDENT, words[1]):
            raise err('expected: trace CPPNAME "NAME"')
        unit.globals.append(TraceDecl(words[1], words[2], number))
    elif keyword == "global":
        if len(words) != 4 or words[2] != "String" or not re.fullmatch(IDENT, words[1]):
            raise err('expected: global CPPNAME String "VALUE"')
        unit.globals.append(StringDecl(words[1], words[3], number))
    elif keyword == "include":
        if len(words) != 2:
            raise err('expected: include "HEADER"')
        unit.includes.append(words[1])
    else:
        if len(words) != 3 or not re.fullmatch(IDENT, words[1]):
            raise err('expected: extern TYPE "HEADER"')
        unit.externs[words[1]] = words[2]


def _parse_enumerator(decl, words, err):
    if len(words) != 1 or not re.fullmatch(IDENT, words[0]):
        raise err("expected one enumerator name per line")
    decl.enumerators.append(words[0])


FN_RE = re.compile(rf"fn\s+({IDENT})\s*\((.*)\)\s*((?:const|static)?)\s*->\s*({TYPE_NAME})((?:\s+hidden)?)$")


def _parse_attr(text, words, number, err):
    if words[0] == "fn":
        m = FN_RE.match(text)
        if not m:
            raise err("expected: fn NAME(PARAMS) [const|static] -> TYPE")
        return Attr(m.group(1), "fn", number, fn_params=m.group(2).strip(), fn_ret=m.group(4),
                    fn_const=m.group(3) == "const", fn_static=m.group(3) == "static", hidden=bool(m.group(5)))
    if words[0] == "cpp":
        # A hand-written data member of the generated class: not an attribute, no id, not reflected.
        if len(words) < 3 or not re.fullmatch(IDENT, words[1]):
            raise err("expected: cpp NAME C++TYPE")
        return Attr(words[1], "cpp", number, type=" ".join(words[2:]))
    if len(words) < 2 or not re.fullmatch(IDENT, words[0]):
        raise err("expected: NAME TYPE [flags]")
    name, rest = words[0], words[1:]
    if rest[0] == OWNED:
        if len(rest) < 2:
            raise err("expected: NAME owned ENTITY [flags]")
        attr = Attr(name, OWNED, number, type=rest[1])
        rest = rest[2:]
    elif rest[0] in COLLECTIONS:
        kind = rest[0]
        nargs = 1 + COLLECTIONS[kind]
        if len(rest) < nargs:
            raise err(f"expected: NAME {kind} {' '.join(['TYPE'] * COLLECTIONS[kind])} [flags]")
        attr = Attr(name, kind, number, type=rest[1], value_type=rest[2] if nargs == 3 else "")
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
        elif flag == "hidden":
            attr.hidden = True
        elif flag == "hook":
            attr.hook = True
        elif flag == "readonly":
            attr.readonly = True
        elif flag in ("default", "const", "hash"):
            if not rest:
                raise err(f"'{flag}' needs a value")
            val = rest.pop(0)
            if flag == "hash":
                if not attr.is_hash_collection:
                    raise err("'hash' applies to hash collections only")
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
    for attr in [a for a in decl.attrs if a.kind == "cpp"]:
        if decl.kind != "entity":
            raise SchemaError(path, attr.line, "hand-written members ('cpp') belong to entities")
    for position, attr in enumerate(decl.reflected_attrs, start=2):
        err = lambda msg, a=attr: SchemaError(path, a.line, msg)  # noqa: E731
        if attr.name in names:
            raise err(f"attribute {attr.name} of {decl.name} declared twice")
        names.add(attr.name)
        attr.id = 128 * decl.depth + position
        if attr.kind == "fn":
            # Operations are defined out of line, so they may name any type of the unit.
            _check_type_name(unit, attr.fn_ret, decl, {t.name for t in unit.types}, err, allow_self=True)
            continue
        _check_type_name(unit, attr.type, decl, declared_before, err)
        if attr.hook and not attr.is_collection:
            raise err("'hook' applies to collections only")
        if attr.is_collection:
            _check_collection(unit, decl, attr, declared_before, err)
        elif attr.kind == OWNED:
            target = unit.find(attr.type)
            if decl.kind != "entity" or target is None or target.kind != "entity" or target.is_root:
                raise err(f"owned {attr.name} must be a nested entity held by an entity")
        else:
            nested = unit.find(attr.type)
            if nested is not None and nested.kind == "entity":
                raise err(f"attribute {attr.name} of {decl.name} cannot hold entity {attr.type}; use 'owned'")
            if nested is not None and nested.holds_collection:
                decl.holds_collection = True
        if attr.default is not None:
            _check_literal(attr, err)
    if decl.kind == "value" and "bare" in decl.options:
        if len(decl.data_attrs) != 1 or decl.holds_collection:
            raise SchemaError(path, decl.line, f"'bare' value {decl.name} must have exactly one plain attribute")


def _check_collection(unit, decl, attr, declared_before, err):
    decl.holds_collection = True
    if attr.is_hash_collection and attr.hash_const is None:
        raise err(f"hash collection {decl.name}::{attr.name} needs its constant ('hash N')")
    if not attr.is_hash_collection and attr.hash_const is not None:
        raise err(f"'{attr.kind}' collection {decl.name}::{attr.name} is ordered and takes no hash constant")
    target = unit.find(attr.type)
    if attr.is_entity_collection:
        if decl.kind != "entity":
            raise err(f"value {decl.name} cannot hold entities ({attr.name})")
        if target is None or target.kind != "entity":
            raise err(f"'{attr.kind}' collection {attr.name} needs an entity type, not {attr.type}")
        if target.key_attr is None:
            raise err(f"entity {attr.type} has no key (a first ctor attribute) to be held in {attr.name}")
        if target.is_root:
            raise err(f"root entity {attr.type} cannot be held in a collection")
        return
    if target is not None and target.kind == "entity":
        raise err(f"key type {attr.type} of {attr.name} is an entity; use 'coll' or 'ordered'")
    if target is not None and target.holds_collection:
        raise err(f"key type {attr.type} holds a collection and cannot be hashed")
    if attr.value_type:
        _check_type_name(unit, attr.value_type, decl, declared_before, err)
        value = unit.find(attr.value_type)
        if value is not None and value.kind == "entity":
            raise err(f"map {attr.name} cannot hold entity values; use 'coll'")
    if attr.kind == "orderedmap" and decl.kind == "value":
        raise err(f"value {decl.name} cannot hold the node collection {attr.name}")


def _check_type_name(unit, name, decl, declared_before, err, allow_self=False):
    if name in KNOWN or name in unit.externs or (allow_self and name == "Void"):
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
