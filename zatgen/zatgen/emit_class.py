"""What the class of every value and entity starts with: its heading, documentation, identity and
attribute ids, and the provenance of each member; and the text form every value type and flag set
writes and reads: "Value('Full::Name', ** {'attr': text, ...})"."""
from .writer import c_string


def heading(decl, what, w):
    w.section(f"{decl.name}: {what}  ({decl.unit.path}:{decl.line})")
    if decl.doc:
        w.comment("\n".join(decl.doc))


def identity(decl, w):
    w(f'static constexpr std::string_view fullName() noexcept {{ return "{decl.full_name}"; }}')
    w("static Zat::TypeInfo const& typeInfo() noexcept;")
    reflected = decl.reflected
    if reflected:
        w("// Attribute ids, as the type table, notifications and the generic interface carry them.")
        base = f" : {decl.base}::AttrId" if decl.base_decl is not None and decl.base_decl.reflected else ""
        w(f"struct AttrId{base} {{").indent()
        for m in reflected:
            w(f"static constexpr std::uint16_t {m.name} = {m.id};")
        w.dedent()("};")


def provenance(member, w):
    """The member's documentation and the schema line it came from."""
    if member.doc:
        w.comment("\n".join(member.doc))
    w.comment(f"{member.owner.unit.name}.zat:{member.line}: {' '.join(member.text.split())}")


def declare_members(decl, w):
    for m in [m for m in decl.members if m.PUBLIC]:
        w()
        provenance(m, w)
        m.declare(w)


def private_section(decl, w, ordered_storage):
    sub = _Capture()
    for m in decl.members:
        m.declare_private(sub)
    hooks = sub.lines
    if not ordered_storage and not hooks:
        return
    w()
    w("  private:").indent()
    for line in hooks:
        w(line)
    for m in ordered_storage:
        cpp, init = m.storage()
        w(f"{cpp} {m.name}_{init};")
    w.dedent()


class _Capture:
    """Collects what a member writes, to place it later."""

    def __init__(self):
        self.lines = []

    def __call__(self, text=""):
        self.lines.extend(text.split("\n"))
        return self


def constructor(w, head, params, inits):
    """An out-of-line constructor with its member initialisers."""
    init = f" : {', '.join(inits)}" if inits else ""
    one = f"{head}({', '.join(params)}){init} {{}}"
    if len(one) <= w.room():
        w(one)
        return
    w.call(head, params)
    w(f"    {init.strip()} {{}}" if init else "{}")


def text_form(w, full_name, items):
    """`return Zat::_fmt(...)` of the text form, from (attribute name, its text expression) in order."""
    fmt = ", ".join(f"'{name}': %s" for name, _ in items)
    w("return Zat::_fmt(").indent().indent()
    pieces = c_string(f"Value('{full_name}', ** {{{fmt}}})", w.room() - 6)
    pieces[-1] += ","
    for piece in pieces:
        w(piece)
    for i, (_, arg) in enumerate(items):
        w(arg + (");" if i == len(items) - 1 else ","))
    w.dedent().dedent()


def parse_form(w, full_name, items):
    """The statements that read the text form: the literal opening, each attribute behind its quoted
    name (the given statement reads it), the closing."""
    w(f"r.needString(\"Value('{full_name}', ** {{\");")
    for i, (name, statement) in enumerate(items):
        w(f"r.needString(\"{'' if i == 0 else ', '}'{name}': \");")
        w(statement)
    w('r.needString("})");')
