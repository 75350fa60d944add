"""C++ for entities: counted objects with notifying attributes and collections.

Members are declared attributes first, collections after, so that C++'s reverse-order destruction
empties the collections (last declared first) before the attributes go.
"""
from . import members
from .cpp import cpp_literal, cpp_type, param_type
from .emit_value import declare_scalar_members, fn_decl, stored_attrs


def lower_camel(name):
    return name[0].lower() + name[1:]


def base_cpp(decl):
    return decl.base


def creator_params(unit, decl):
    if decl.is_root:
        return "Zat::String const& name", "name"
    ctor = decl.ctor_attrs
    return (", ".join(f"{param_type(unit, a.type)} {a.name}" for a in ctor), ", ".join(a.name for a in ctor))


def entity_children(unit, decl):
    """Collections whose members derive from Entity and so carry a parent link to unlink."""
    return [a for a in decl.attrs if a.is_entity_collection and unit.find(a.type).base == "Zat::Entity"]


def emit_class(unit, decl, w):
    T = decl.name
    params, _ = creator_params(unit, decl)
    w.section(f"{T}: entity")
    w(f"class {T} : public {base_cpp(decl)} {{")
    w("  public:").indent()
    w(f'static constexpr std::string_view fullName() noexcept {{ return "{unit.namespace}::{T}"; }}')
    w("static Zat::TypeInfo const& typeInfo() noexcept;")
    w("Zat::TypeInfo const& fwkType() const noexcept override { return typeInfo(); }")
    w("// Creates a free-standing instance with notification switched on.")
    w(f"static Zat::Ptr<{T}> {T}Is({params});")
    w(f"~{T}() override;")
    w()
    key = decl.key_attr
    if key is not None:
        w(f"{cpp_type(unit, key.type)} const& zatKey() const noexcept {{ return {key.name}_; }}")
    declare_scalar_members(unit, decl, w, setter_decl_only=True)
    for a in decl.attrs:
        if a.is_collection:
            members.declare(unit, decl, a, w)
        elif a.kind == "owned":
            members.declare_owned(unit, a, w)
    fns = [a for a in decl.attrs if a.kind == "fn"]
    if fns:
        w()
        for a in fns:
            w(fn_decl(unit, a) + ";")
    w.dedent()
    w()
    w("  protected:").indent()
    w(f"explicit {T}({params});")
    w.dedent()
    hooks = [a for a in decl.attrs if a.hook]
    owned = [a for a in decl.attrs if a.kind == "owned"]
    stored = stored_attrs(decl)
    if stored:
        w()
        w("  private:").indent()
        for a in hooks:
            members.declare_hook(unit, a, w)
        for a in [a for a in decl.attrs if a.kind == "cpp"]:
            w(f"{a.type} {a.name}_;")
        for a in [a for a in stored if not a.is_collection] + [a for a in stored if a.is_collection]:
            if a.kind == "owned":
                w(f"Zat::Ptr<{a.type}> {a.name}_;")
                continue
            t = members.coll_cpp(unit, decl, a) if a.is_collection else cpp_type(unit, a.type)
            init = "" if a.is_collection else cpp_literal(a)
            w(f"{t} {a.name}_{init};")
        w.dedent()
    w("};")
    w()
    if "nofactory" not in decl.options:
        w(f"Zat::Ptr<{T}> {lower_camel(T)}Factory({params});")
        w()


def emit_members(unit, decl, index, w):
    T = decl.name
    params, args = creator_params(unit, decl)
    w.section(f"{T}: entity")
    w(f"Zat::TypeInfo const& {T}::typeInfo() noexcept {{ return kTypes[{index}]; }}")
    w()
    ctor = decl.ctor_attrs
    inits = []
    if decl.base == "Zat::Entity":
        inits.append("Zat::Entity(name)" if decl.is_root else "Zat::Entity(Zat::String())")
    inits += [f"{a.name}_({a.name})" for a in ctor]
    w(f"{T}::{T}({params})" + (" : " + ", ".join(inits) if inits else "") + " {}")
    w()
    w(f"{T}::~{T}() {{").indent()
    for a in entity_children(unit, decl):
        w(f"for (auto const& child : {a.name}_) child->parentIs(nullptr);")
    w.dedent()("}")
    w()
    w(f"Zat::Ptr<{T}> {T}::{T}Is({params}) {{").indent()
    w(f"Zat::Ptr<{T}> e(new {T}({args}));")
    w("e->hasNotificationActiveIs(true);")
    w("return e;")
    w.dedent()("}")
    w()
    if "nofactory" not in decl.options:
        w(f"Zat::Ptr<{T}> {lower_camel(T)}Factory({params}) {{ return {T}::{T}Is({args}); }}")
        w()
    for a in decl.data_attrs:
        if a.kind != "plain":
            continue
        p = param_type(unit, a.type)
        w(f"void {T}::{a.name}Is({p} v) {{").indent()
        w(f"if ({a.name}_ == v) return;")
        w(f"{a.name}_ = v;")
        if not a.silent:
            w(f"publishChange({a.id});")
        w.dedent()("}")
        w()
    for a in decl.attrs:
        if a.is_collection:
            members.define(unit, decl, a, w)
        elif a.kind == "owned":
            members.define_owned(unit, decl, a, w)
