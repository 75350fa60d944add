"""C++ for entities: counted objects with notifying attributes and collections.

Data members are declared attributes first, collections after, so that C++'s reverse-order destruction
empties the collections (last declared first) before the attributes go.
"""
from . import emit_class


def lower_camel(name):
    return name[0].lower() + name[1:]


def creator(decl):
    """(parameters, arguments) of the entity's creator: a name, or its constructor attributes."""
    return [f"{t.param} {name}" for t, name in decl.creator], [name for _, name in decl.creator]


def base_init(decl):
    """How the constructor builds the base: named entities pass their name on, others an empty one."""
    named = decl.is_root or decl.is_named
    name = "name" if named else "Zat::String()"
    if decl.base_decl is None:
        return f"Zat::Entity({name})" if decl.derives_from_entity else None
    if decl.base_decl.is_named:
        return f"{decl.base}({name})"
    return None


def emit_class_decl(decl, w):
    T = decl.name
    params, _ = creator(decl)
    factory = "nofactory" not in decl.options
    emit_class.heading(decl, "entity", w)
    w(f"class {T} : public {decl.base} {{")
    w("  public:").indent()
    emit_class.identity(decl, w)
    w("Zat::TypeInfo const& fwkType() const noexcept override { return typeInfo(); }")
    if factory:
        w("// Creates a free-standing instance with notification switched on.")
        w.call(f"static Zat::Ptr<{T}> {T}Is", params, ";")
    w(f"~{T}() override;")
    if decl.is_named:
        w("Zat::String const& zatKey() const noexcept { return name(); }")
    elif decl.ctor_members:
        key = decl.ctor_members[0]
        w(f"{key.type.cpp} const& zatKey() const noexcept {{ return {key.name}_; }}")
    emit_class.declare_members(decl, w)
    w.dedent()
    w()
    w("  protected:").indent()
    w.call(f"{'explicit ' if len(params) == 1 else ''}{T}", params, ";")
    w.dedent()
    if not factory:
        w()
        w("  private:").indent()
        w("// Only the entities that hold it create it.")
        w.call(f"static Zat::Ptr<{T}> {T}Is", params, ";")
        for owner in decl.owners:
            w(f"friend class {owner.name};")
        w.dedent()
    data = [m for m in decl.members if m.storage() is not None]
    ordered = [m for m in data if not m.IS_COLLECTION] + [m for m in data if m.IS_COLLECTION]
    emit_class.private_section(decl, w, ordered)
    w("};")
    w()
    if factory:
        w.call(f"Zat::Ptr<{T}> {lower_camel(T)}Factory", params, ";")
        w()


def emit_members(decl, index, w):
    T = decl.name
    params, args = creator(decl)
    a = ", ".join(args)
    w.section(f"{T}: entity")
    w(f"Zat::TypeInfo const& {T}::typeInfo() noexcept {{ return kTypes[{index}]; }}")
    w()
    inits = [base_init(decl)] if base_init(decl) else []
    inits += [f"{m.name}_({m.name})" for m in decl.ctor_members]
    emit_class.constructor(w, f"{T}::{T}", params, inits)
    w()
    w(f"{T}::~{T}() {{").indent()
    for m in decl.members:
        if m.unlink_on_destruction():
            w(m.unlink_on_destruction())
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
