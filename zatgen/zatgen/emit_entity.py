"""C++ for entities: counted objects with notifying attributes and collections.

Data members are declared attributes first, collections after, so that C++'s reverse-order destruction
empties the collections (last declared first) before the attributes go.
"""
from . import emit_class


def lower_camel(name):
    return name[0].lower() + name[1:]


def creator(decl):
    """(parameters, arguments) of the entity's creator: a root's name, or its constructor attributes."""
    if decl.is_root:
        return ["Zat::String const& name"], ["name"]
    ctor = decl.ctor_members
    return [f"{m.type.param} {m.name}" for m in ctor], [m.name for m in ctor]


def emit_class_decl(decl, w):
    T = decl.name
    params, _ = creator(decl)
    p = ", ".join(params)
    emit_class.heading(decl, "entity", w)
    w(f"class {T} : public {decl.base} {{")
    w("  public:").indent()
    emit_class.identity(decl, w)
    w("Zat::TypeInfo const& fwkType() const noexcept override { return typeInfo(); }")
    w("// Creates a free-standing instance with notification switched on.")
    w.call(f"static Zat::Ptr<{T}> {T}Is", params, ";")
    w(f"~{T}() override;")
    key = decl.key
    if key is not None:
        w(f"{key.type.cpp} const& zatKey() const noexcept {{ return {key.name}_; }}")
    emit_class.declare_members(decl, w)
    w.dedent()
    w()
    w("  protected:").indent()
    w(f"{'explicit ' if len(params) == 1 else ''}{T}({p});")
    w.dedent()
    data = [m for m in decl.members if m.storage() is not None]
    ordered = [m for m in data if not m.IS_COLLECTION] + [m for m in data if m.IS_COLLECTION]
    emit_class.private_section(decl, w, ordered)
    w("};")
    w()
    if "nofactory" not in decl.options:
        w(f"Zat::Ptr<{T}> {lower_camel(T)}Factory({p});")
        w()


def emit_members(decl, index, w):
    T = decl.name
    params, args = creator(decl)
    p, a = ", ".join(params), ", ".join(args)
    w.section(f"{T}: entity")
    w(f"Zat::TypeInfo const& {T}::typeInfo() noexcept {{ return kTypes[{index}]; }}")
    w()
    inits = []
    if decl.derives_from_entity:
        inits.append("Zat::Entity(name)" if decl.is_root else "Zat::Entity(Zat::String())")
    inits += [f"{m.name}_({m.name})" for m in decl.ctor_members]
    emit_class.constructor(w, f"{T}::{T}", params, inits)
    w()
    children = [m for m in decl.members if m.IS_COLLECTION and m.unlinks_children()]
    w(f"{T}::~{T}() {{").indent()
    for m in children:
        w(f"for (auto const& child : {m.name}_) child->parentIs(nullptr);")
    w.dedent()("}")
    w()
    w.call(f"Zat::Ptr<{T}> {T}::{T}Is", params, " {").indent()
    w(f"Zat::Ptr<{T}> e(new {T}({a}));")
    w("e->hasNotificationActiveIs(true);")
    w("return e;")
    w.dedent()("}")
    w()
    if "nofactory" not in decl.options:
        w.call(f"Zat::Ptr<{T}> {lower_camel(T)}Factory", params, " {").indent()
        w(f"return {T}::{T}Is({a});")
        w.dedent()("}")
        w()
    for m in decl.members:
        m.define(w)
