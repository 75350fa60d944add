"""The resolved model: what the emitters read. Every name in it is resolved, every type reference knows
its C++ spelling, header and capabilities, and every member is an object of its kind (members/).

It sits between the reader and the resolver on one side and the emitters on the other, so that the
emitters neither look names up nor parse C++ text.
"""
import enum
from dataclasses import dataclass, field


class TypeKind(enum.Enum):
    VALUE = "value"
    ENUM = "enumeration"
    ENTITY = "entity"
    FLAGS = "flags"       # named bits in one unsigned integer
    FOREIGN = "foreign"   # a hand-written value type declared by a type schema
    EXTERN = "extern"     # a hand-written class of the unit, only passed around
    VOID = "void"         # the result of an operation that answers nothing
    PTR = "ptr"           # a counted pointer to an entity, compared and hashed by identity


@dataclass(eq=False)
class TypeRef:
    """A resolved type: the one object every use of the type points at."""
    name: str                    # the schema spelling: "U8", "Ipkit::IpGenAddr", "Route"
    full_name: str               # "Namespace::Type"
    cpp: str                     # C++ spelling, qualified where the using unit needs it
    kind: TypeKind
    header: str | None = None    # the header that declares it, for the using unit to include
    by_value: bool = False       # passed and returned by value (scalars, enumerations)
    literal: str | None = None   # the literals a default or constant of this type takes
    max: int | None = None       # the largest value of an integer type
    decl: "TypeDecl | None" = None   # the generated type behind it, in this unit or an imported one
    target: "TypeRef | None" = None  # a Ptr's entity type
    unit: "Unit | None" = None   # the unit that declares it
    runtime_entity: bool = False  # a hand-written entity class (foreign ... entity), named only as Ptr<...>
    _ordered: bool = True
    _hashable: bool = True
    _parseable: bool = True

    @property
    def holds_collection(self):
        return self.decl is not None and self.decl.holds_collection

    @property
    def ordered(self):
        return self._ordered and (self.decl is None or self.decl.ordered)

    @property
    def hashable(self):
        return self._hashable and (self.decl is None or self.decl.hashable)

    @property
    def parseable(self):
        return self._parseable and (self.decl is None or self.decl.parseable)

    @property
    def is_ptr(self):
        return self.kind is TypeKind.PTR

    @property
    def is_entity(self):
        return self.kind is TypeKind.ENTITY

    @property
    def table_name(self):
        """How the type table names it for tools: the full name; a counted pointer as Ptr<full name>."""
        if self.is_ptr:
            const = " const" if self.name.endswith(" const>") else ""
            return f"Ptr<{self.target.full_name}{const}>"
        return self.full_name

    @property
    def param(self):
        """How a parameter of this type is passed: entities as counted pointers."""
        if self.is_entity:
            return f"Zat::Ptr<{self.cpp}> const&"
        return self.cpp if self.by_value else f"{self.cpp} const&"

    @property
    def result(self):
        """How an operation returns it: entities as counted pointers."""
        if self.kind is TypeKind.VOID:
            return "void"
        return f"Zat::Ptr<{self.cpp}>" if self.is_entity else self.cpp


@dataclass(eq=False)
class TypeDecl:
    """A type declared by a schema: a value, an enumeration or an entity."""
    name: str
    kind: TypeKind
    line: int
    text: str                    # the declaration line, for provenance
    doc: list
    unit: "Unit"
    ref: TypeRef | None = None
    base: str = ""               # entities: the C++ base class
    base_decl: "TypeDecl | None" = None   # a generated base entity
    depth: int = 0               # 0 values, 1 PtrInterface, 2 Entity, 3 an Entity's subclass
    options: set = field(default_factory=set)
    members: list = field(default_factory=list)      # member objects in declaration order
    enumerators: list = field(default_factory=list)
    flags: list = field(default_factory=list)        # flag sets: (name, bit) in declaration order
    flag_lines: list = field(default_factory=list)   # flag sets: the schema line of each flag
    storage: TypeRef | None = None                   # flag sets: the unsigned integer holding the bits
    holds_collection: bool = False
    owners: list = field(default_factory=list)       # the unit's types that hold it

    @property
    def full_name(self):
        return f"{self.unit.namespace}::{self.name}"

    @property
    def is_entity(self):
        return self.kind is TypeKind.ENTITY

    @property
    def is_value(self):
        return self.kind is TypeKind.VALUE

    @property
    def is_root(self):
        """A named root, created by name (`root`)."""
        return "root" in self.options

    @property
    def is_named(self):
        """A nested entity created with an entity name, which keys it (`named`)."""
        return "named" in self.options

    @property
    def derives_from_entity(self):
        return self.is_entity and self.depth >= 2

    @property
    def ordered(self):
        """Has operator<: generated from its attributes (all ordered), or hand-written (`order`)."""
        if self.holds_collection or "noorder" in self.options:
            return False
        return "order" in self.options or all(m.type is None or m.type.ordered for m in self.value_members)

    @property
    def hashable(self):
        if self.holds_collection or "nohash" in self.options:
            return False
        return all(m.type is None or m.type.hashable for m in self.value_members)

    @property
    def parseable(self):
        return not self.holds_collection and all(m.type is None or m.type.parseable for m in self.value_members)

    @property
    def reflected(self):
        """Members with an attribute id, in id order."""
        return [m for m in self.members if m.REFLECTED]

    @property
    def ctor_members(self):
        return [m for m in self.members if m.IS_CTOR]

    @property
    def key(self):
        """(TypeRef, name) of what keys this entity in a collection: the entity name of a named entity,
        else its first constructor attribute; None when it has neither."""
        if self.is_named:
            return self.unit.string_ref, "name"
        ctor = self.ctor_members
        return (ctor[0].type, ctor[0].name) if ctor else None

    @property
    def creator(self):
        """(TypeRef, name) of each argument that creates the entity: a name, or the constructor attributes."""
        if self.is_root or self.is_named:
            return [(self.unit.string_ref, "name")]
        return [(m.type, m.name) for m in self.ctor_members]

    @property
    def value_members(self):
        """Members that make up a value: compared, hashed, rendered and parsed, in declaration order."""
        return [m for m in self.members if m.IN_VALUE]

    @property
    def is_value_collection(self):
        """A value type that is itself a collection: its only data member is one."""
        data = self.value_members
        return self.is_value and len(data) == 1 and data[0].IS_COLLECTION


@dataclass
class GlobalLog:
    cpp: object                  # token of the C++ name
    name: str
    severity: int
    format: str
    explanation: str
    action: str
    action_is_text: bool         # a quoted literal rather than one of the runtime's texts


@dataclass
class GlobalTrace:
    cpp: object
    name: str


@dataclass
class GlobalString:
    cpp: object
    value: str


@dataclass(eq=False)
class Unit:
    path: str                    # as named in diagnostics and generated files
    namespace: str = ""
    header: str = ""             # how users include the generated header
    doc: list = field(default_factory=list)
    prelude: bool = False        # its types are named without their namespace
    types: list = field(default_factory=list)        # TypeDecl in declaration order
    foreigns: list = field(default_factory=list)     # TypeRef of the hand-written values it declares
    imports: list = field(default_factory=list)      # Unit
    includes: list = field(default_factory=list)     # headers the generated header needs first
    externs: list = field(default_factory=list)      # TypeRef of hand-written classes, included after
    globals: list = field(default_factory=list)
    functions: list = field(default_factory=list)    # free functions of the namespace (Function)
    string_ref: TypeRef | None = None                # the runtime's String, for entity names

    @property
    def generates(self):
        """A unit with types of its own is compiled to C++; a type schema only describes."""
        return bool(self.types or self.globals)

    @property
    def name(self):
        return self.path.rsplit("/", 1)[-1].removesuffix(".zat")

    @property
    def logs(self):
        return [g for g in self.globals if isinstance(g, GlobalLog)]

    @property
    def traces(self):
        return [g for g in self.globals if isinstance(g, GlobalTrace)]

    def headers(self):
        """Headers of every foreign and imported type the unit's declarations name, sorted."""
        out = set()
        for decl in self.types:
            for m in decl.members:
                for ref in m.type_refs():
                    # The unit's own generated types are in this header; its own foreign ones are not.
                    if ref.header and (ref.unit is not self or ref.kind is TypeKind.FOREIGN):
                        out.add(ref.header)
        return sorted(out)
