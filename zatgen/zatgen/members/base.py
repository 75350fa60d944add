"""What every member kind shares: its flags, its attribute id and the default answers of its roles."""


class Member:
    REFLECTED = True        # has an attribute id, a row in the type table and a generic case
    PUBLIC = True           # declares something in the owner's public section
    NAMED = True            # its name is its own among the owner's members
    SKIPPED = 0             # attribute positions it leaves unused after its own
    IS_CTOR = False         # a constructor attribute
    IS_COLLECTION = False
    IN_VALUE = False        # part of a value's equality, order, hash, text form and parser
    TABLE_KIND = "plain"    # its Zat::AttrKind in the type table
    TYPE_WORDS = 1          # type names after the kind word
    USAGE = "NAME TYPE [flags]"
    FLAGS = {"hidden"}      # flags this kind accepts

    def __init__(self, owner, syntax):
        self.owner = owner              # the TypeDecl that declares it
        self.syntax = syntax
        self.name = syntax.name.text
        self.line = syntax.line
        self.text = syntax.text
        self.doc = syntax.doc
        self.flags = syntax.flags
        self.id = 0
        self.type = None                # TypeRef, set by resolve()

    # ----- resolution
    def resolve(self, r):
        """Checks the schema line against its kind and resolves its types; mistakes go to `r`."""
        for flag, tok in self.flags.items():
            if flag not in self.allowed_flags():
                r.error(tok, self.flag_refusal(flag))
        if self.TYPE_WORDS:
            self.type = r.type_ref(self.syntax.types[0], self.owner)

    def finish(self, r):
        """Checks that need the owner's other members resolved first."""

    def allowed_flags(self):
        return self.FLAGS

    def flag_refusal(self, flag):
        if flag == "silent" and not self.owner.is_entity:
            return f"'silent' applies to entity members; a value's {self.name} publishes nothing"
        return f"'{flag}' does not apply to {self.describe()} {self.name}"

    def describe(self):
        return type(self).__name__.lower()

    @property
    def hidden(self):
        return "hidden" in self.flags

    @property
    def silent(self):
        return "silent" in self.flags

    @property
    def publishes(self):
        return self.owner.is_entity and not self.silent

    def type_refs(self):
        return [self.type] if self.type is not None else []

    # ----- emission (defaults: nothing)
    def declare(self, w):
        """Public declarations inside the owner's class."""

    def declare_private(self, w):
        """Private declarations (hooks) inside the owner's class."""

    def storage(self):
        """The private data member: (C++ type, initialiser) or None."""
        return None

    def define(self, w):
        """Out-of-line definitions."""

    def unlink_on_destruction(self):
        """The owner's destructor statement that unlinks the member entities it held, if any."""
        return None

    def table_type(self):
        """The type name in the type table."""
        return self.type.table_name

    def table_element(self):
        """The TypeRef of a collection's element (map value, member entity), or None."""
        return None

    def table_params(self):
        """(TypeRef, name) of the arguments the attribute operation takes for a call or a creation."""
        return []

    def table_flags(self):
        """The Zat::AttrFlag names that apply."""
        return [f for f in ("hidden", "silent") if f in self.flags]

    def generic_case(self, g):
        """The generic attribute operation's case: (function, [arguments]) returning AttrOpResult."""
        return None

    def generic_cursor(self, g):
        """The generic cursor over a collection: (function, [arguments]) or None."""
        return None


class HandWritten(Member):
    """`cpp NAME TYPE`: a data member of the generated class that hand-written operations keep."""
    REFLECTED = False
    PUBLIC = False
    TYPE_WORDS = 0
    FLAGS = set()

    def resolve(self, r):
        super().resolve(r)
        if not self.owner.is_entity:
            r.error(self.syntax.name, "hand-written members ('cpp') belong to entities")

    def storage(self):
        return (self.syntax.cpp_type, "")


class Reserve(Member):
    """`reserve N`: N attribute positions left unused, so that the members after them keep their ids
    while the members that will take those positions are not written yet. Nothing answers there."""
    REFLECTED = False
    PUBLIC = False
    NAMED = False
    TYPE_WORDS = 0
    FLAGS = set()

    def __init__(self, owner, syntax):
        super().__init__(owner, syntax)
        self.SKIPPED = syntax.count
