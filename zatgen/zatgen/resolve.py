"""The resolver: builds the model of a schema and of every schema it imports, checking all it can.

Every type a schema names is found here, once: the unit's own types (which must be declared before a
member uses them, since C++ needs them complete; operations may name any), the hand-written classes it
declares with `extern`, the types of the schemas it imports (by their full names) and the runtime's
scalars of the prelude schema (by their bare names).
"""
import dataclasses
import os

from . import syntax
from .diagnostics import Diagnostics
from .model import GlobalLog, GlobalTrace, TypeDecl, TypeKind, TypeRef, Unit

PRELUDE = "zat/Zat.zat"
ENTITY_BASES = {"Zat::PtrInterface": 1, "Zat::Entity": 2}
VOID = TypeRef("Void", "Void", "void", TypeKind.VOID)
# Names that C++ keeps for itself: a type or member named so would not compile.
CPP_KEYWORDS = set("""alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t char16_t
char32_t class compl concept const consteval constexpr constinit const_cast continue co_await co_return co_yield
decltype default delete do double dynamic_cast else enum explicit export extern false float for friend goto if
inline int long mutable namespace new noexcept not not_eq nullptr operator or or_eq private protected public
register reinterpret_cast requires return short signed sizeof static static_assert static_cast struct switch
template this thread_local throw true try typedef typeid typename union unsigned using virtual void volatile
wchar_t while xor xor_eq""".split())


class Loader:
    """Reads each schema once, relative to the repository root, and resolves it with its imports."""

    def __init__(self, root, diag=None):
        self.root = root
        self.diag = diag or Diagnostics()
        self.units = {}
        self.loading = []

    def load(self, path, text=None):
        """The unit of the schema at `path` (relative to the root); `text` overrides the file's."""
        if path in self.units:
            return self.units[path]
        if text is None:
            with open(os.path.join(self.root, path), encoding="utf-8") as f:
                text = f.read()
        self.loading.append(path)
        file = syntax.read(path, text, self.diag)
        unit = Resolver(self, file).unit
        self.loading.pop()
        self.units[path] = unit
        return unit

    def files(self):
        """Every schema read, for the build's dependency list."""
        return [os.path.join(self.root, p) for p in self.units]


class Resolver:
    def __init__(self, loader, file):
        self.loader, self.file, self.path = loader, file, file.path
        self.unit = unit = Unit(file.path, doc=file.doc, prelude=file.prelude)
        unit.namespace = file.namespace.text if file.namespace else ""
        unit.header = file.header.value if file.header else ""
        unit.includes = [t.value for t in file.includes]
        self.names = {}       # name as a schema writes it -> TypeRef
        self.declared = {}    # own TypeDecl -> position
        if not file.prelude:
            self._import_prelude()
        for tok in file.imports:
            self._import(tok)
        for f in file.foreigns:
            self._foreign(f)
        for name, header in file.externs:
            ref = TypeRef(name.text, f"{unit.namespace}::{name.text}", name.text, TypeKind.EXTERN,
                          header=header.value, unit=unit)
            self._define(name, ref)
            unit.externs.append(ref)
        unit.string_ref = self.names.get("String")
        for t in file.types:
            self._declare(t)
        for index, t in enumerate(file.types):
            self._resolve_type(unit.types[index], t)
        self._owners()
        for s in file.functions:
            fn = s.kind(None, s)
            fn.resolve(self)
            unit.functions.append(fn)
        self._globals()
        if unit.types and not unit.header:
            self.error_at(1, 1, "a schema with types needs a 'header' line naming its generated header")

    # ----- errors
    def error(self, tok, message):
        self.loader.diag.at(self.path, tok, message)

    def error_at(self, line, col, message):
        self.loader.diag.error(self.path, line, col, message)

    # ----- imports and declarations
    def _import_prelude(self):
        if not os.path.exists(os.path.join(self.loader.root, PRELUDE)):
            self.error_at(1, 1, f"the prelude schema {PRELUDE} is missing")
            return
        self._take(self.loader.load(PRELUDE))

    def _import(self, tok):
        path = tok.value
        if path in self.loader.loading:
            self.error(tok, f"import cycle: {' -> '.join(self.loader.loading + [path])}")
            return
        if not os.path.isfile(os.path.join(self.loader.root, path)):
            self.error(tok, f"cannot import \"{path}\": no such schema")
            return
        self._take(self.loader.load(path))

    def _take(self, other):
        """Makes the types of an imported unit nameable: the prelude's bare, any other's by full name."""
        self.unit.imports.append(other)
        for ref in other.foreigns + [d.ref for d in other.types]:
            seen = dataclasses.replace(ref, cpp=ref.cpp if ref.kind is TypeKind.FOREIGN else ref.full_name)
            self.names[ref.name if other.prelude else ref.full_name] = seen

    def _define(self, tok, ref):
        if tok.text in self.names and self.names[tok.text].unit is self.unit:
            self.error(tok, f"type {tok.text} declared twice")
        self.names[tok.text] = ref

    def _foreign(self, f):
        ns = self.unit.namespace
        full = f.name.text if self.unit.prelude else f"{ns}::{f.name.text}"
        if self.unit.prelude and "entity" in f.flags and f.cpp:
            full = f.cpp.value  # a runtime entity class is known to tools by its C++ name (Zat::Dir)
        ref = TypeRef(f.name.text, full, f.cpp.value if f.cpp else full, TypeKind.FOREIGN,
                      header=f.header.value if f.header else None, by_value="byvalue" in f.flags,
                      literal=f.literal, max=f.max, unit=self.unit, runtime_entity="entity" in f.flags,
                      _ordered="noorder" not in f.flags,
                      _hashable="nohash" not in f.flags, _parseable="noparse" not in f.flags)
        self._define(f.name, ref)
        self.unit.foreigns.append(ref)

    def _declare(self, t):
        unit = self.unit
        if t.name.text in CPP_KEYWORDS:
            self.error(t.name, f"{t.name.text} is a C++ keyword and cannot name a type")
        decl = TypeDecl(t.name.text, t.kind, t.line, t.text, t.doc, unit, options=set(t.options))
        first = next((d for d in unit.types if d.name == decl.name), None)
        if first is not None:
            self.error(t.name, f"type {decl.name} declared twice (first at line {first.line})")
        decl.ref = TypeRef(decl.name, decl.full_name, decl.name, t.kind, header=unit.header,
                           by_value=t.kind in (TypeKind.ENUM, TypeKind.FLAGS), decl=decl, unit=unit)
        unit.types.append(decl)
        self.declared.setdefault(decl.name, decl)
        self.names.setdefault(decl.name, decl.ref)
        self.names.setdefault(decl.full_name, decl.ref)

    # ----- name lookup
    def type_ref(self, tok, owner, anywhere=False, result=False):
        """The type `tok` names, as seen from a member of `owner`; None (and an error) if there is none."""
        if tok.text == "Void":
            if result:
                return VOID
            self.error(tok, "Void is only an operation's result")
            return None
        if tok.text.startswith("Ptr<"):
            return self._ptr(tok)
        ref = self.names.get(tok.text)
        if ref is None:
            self.error(tok, f"unknown type {tok.text}")
            return None
        if ref.runtime_entity:
            self.error(tok, f"{tok.text} is an entity of the runtime: name it as Ptr<{tok.text}> or "
                            f"Ptr<{tok.text} const>")
            return None
        if ref.decl is not None and ref.unit is self.unit and not anywhere:
            if self.unit.types.index(ref.decl) >= self.unit.types.index(owner):
                self.error(tok, f"type {tok.text} is used before it is declared")
                return None
        return ref

    def _ptr(self, tok):
        """Ptr<T> or Ptr<T const>: a counted pointer to an entity of any unit, declared before or after."""
        inner, _, const = tok.text[4:-1].partition(" ")
        target = self.names.get(inner)
        if target is None or not (target.is_entity or target.runtime_entity):
            self.error(tok, f"{tok.text}: a Ptr points at an entity type, and {inner} is "
                            f"{'no type' if target is None else 'not one'}")
            return None
        cpp = f"Zat::Ptr<{target.cpp}{' const' if const else ''}>"
        return TypeRef(tok.text, tok.text, cpp, TypeKind.PTR, header=target.header, unit=target.unit, target=target,
                       _parseable=False)

    # ----- types
    def _resolve_type(self, decl, t):
        if decl.kind is TypeKind.ENUM:
            self._enum(decl, t)
            return
        if decl.kind is TypeKind.FLAGS:
            self._flags(decl, t)
            return
        if decl.is_entity:
            self._base(decl, t)
        names = {}
        for s in t.members:
            if s.name.text in CPP_KEYWORDS:
                self.error(s.name, f"{s.name.text} is a C++ keyword and cannot name a member")
                continue
            member = s.kind(decl, s)
            if not member.NAMED:
                decl.members.append(member)
                continue
            if member.name in names:
                self.error(s.name, f"member {member.name} of {decl.name} declared twice (first at line "
                                   f"{names[member.name].line})")
                continue
            names[member.name] = member
            decl.members.append(member)
        position = 2
        for member in decl.members:
            if member.REFLECTED:
                member.id = 128 * decl.depth + position
                position += 1
            position += member.SKIPPED
        for member in decl.members:
            member.resolve(self)
        for member in decl.members:
            member.finish(self)
        if decl.is_entity:
            self._entity_options(decl, t)
        if "bare" in decl.options:
            data = decl.value_members
            if len(data) != 1 or decl.holds_collection:
                self.error(t.options["bare"], f"'bare' value {decl.name} must have exactly one plain attribute")

    def _base(self, decl, t):
        """An entity's base: the runtime's PtrInterface or Entity, or an entity declared before it."""
        tok = t.base
        if tok.text in ENTITY_BASES:
            decl.base, decl.depth = tok.text, ENTITY_BASES[tok.text]
            return
        decl.base, decl.depth = tok.text, 1
        ref = self.names.get(tok.text)
        if ref is None or not ref.is_entity:
            self.error(tok, f"unknown base {tok.text} of entity {decl.name}")
            return
        if ref.decl is decl or (ref.unit is self.unit and self.unit.types.index(ref.decl) > self.unit.types.index(decl)):
            self.error(tok, f"type {tok.text} is used before it is declared")
            return
        base = ref.decl
        if base.ctor_members or base.is_root:
            self.error(tok, f"{base.name} cannot be a base: a derived entity is not built from "
                            f"{'a root' if base.is_root else 'constructor attributes'}")
            return
        decl.base, decl.base_decl, decl.depth = ref.cpp, base, base.depth + 1

    def _entity_options(self, decl, t):
        for option in ("root", "named"):
            if option not in decl.options:
                continue
            if not decl.derives_from_entity or decl.ctor_members:
                self.error(t.options[option], f"a '{option}' entity derives from Zat::Entity and takes no "
                                              "constructor attributes: its name makes it")
        if decl.is_root and decl.is_named:
            self.error(t.options["named"], "a root is named already; 'named' is for nested entities")

    def _owners(self):
        """Which types of the unit hold each entity type, for those that only their owners may create."""
        for decl in self.unit.types:
            for m in decl.members:
                target = m.type.decl if m.type is not None and m.type.is_entity else None
                if target is not None and m.REFLECTED and target.unit is self.unit and decl not in target.owners:
                    target.owners.append(decl)

    def _flags(self, decl, t):
        storage = self.type_ref(t.base, decl) if t.base else None
        if storage is not None and storage.literal != "integer":
            self.error(t.base, f"flags {decl.name} are held in an unsigned integer type, not {storage.name}")
            storage = None
        decl.storage = storage
        if not t.enumerators:
            self.error(t.name, f"flags {decl.name} has no flags")
        names, used = set(), 0
        for name, bit in t.enumerators:
            try:
                value = int(bit.text, 0)
            except ValueError:
                value = -1
            if value <= 0 or value & (value - 1):
                self.error(bit, f"flag {name.text}: {bit.text} is not a single bit")
            elif storage is not None and value > storage.max:
                self.error(bit, f"flag {name.text}: {bit.text} does not fit in {storage.name}")
            elif value & used:
                self.error(bit, f"flag {name.text}: bit {bit.text} is taken already")
            elif name.text in names or name.text in CPP_KEYWORDS or name.text == "value":
                self.error(name, f"flag name {name.text} is taken")
            else:
                used |= value
                names.add(name.text)
                decl.flags.append((name.text, value))
                decl.flag_lines.append(name.line)

    def _enum(self, decl, t):
        if not t.enumerators:
            self.error(t.name, f"enum {decl.name} has no enumerators")
        if len(t.enumerators) > 256:
            self.error(t.name, f"enum {decl.name} has more than 256 enumerators")
        seen = set()
        for tok in t.enumerators:
            if tok.text in seen:
                self.error(tok, f"enum {decl.name}: enumerator {tok.text} given twice")
            seen.add(tok.text)
        decl.enumerators = [tok.text for tok in t.enumerators]

    # ----- global objects
    def _globals(self):
        cpp_names, handle_names = {}, {}
        for g in self.file.globals:
            name = g.cpp.text
            if name in cpp_names:
                self.error(g.cpp, f"global object {name} declared twice (first at line {cpp_names[name]})")
                continue
            cpp_names[name] = g.cpp.line
            if isinstance(g, (GlobalLog, GlobalTrace)):
                kind = "log handle" if isinstance(g, GlobalLog) else "trace handle"
                if (kind, g.name) in handle_names:
                    self.error(g.cpp, f"{kind} \"{g.name}\" declared twice (first at line "
                                      f"{handle_names[(kind, g.name)]})")
                    continue
                handle_names[(kind, g.name)] = g.cpp.line
            self.unit.globals.append(g)


def load(root, path, text=None):
    """Resolves the schema at `path` (relative to `root`); raises SchemaErrors with every mistake found."""
    loader = Loader(root)
    unit = loader.load(path, text)
    loader.diag.raise_if_any()
    return unit, loader
