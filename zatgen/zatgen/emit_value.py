"""C++ for value types: the class, its comparisons, hash, text form and parser.

A value type that holds a collection has no order, no hash and no text constructor: its collections
render as None and cannot be read back.
"""
from . import members
from .cpp import cpp_literal, cpp_type, is_scalar, map_signature, param_type


def fn_decl(unit, attr, qualified=""):
    from .emit_generic import fn_ret_cpp

    ret = fn_ret_cpp(unit, attr)
    params = map_signature(unit, attr.fn_params)
    static = "static " if attr.fn_static and not qualified else ""
    const = " const" if attr.fn_const else ""
    return f"{static}{ret} {qualified}{attr.name}({params}){const}"


def stored_attrs(decl):
    return [a for a in decl.data_attrs if a.kind != "const"]


def scalar_attrs(decl):
    return [a for a in decl.data_attrs if not a.is_collection and a.kind != "owned"]


def declare_scalar_members(unit, decl, w, setter_decl_only=False):
    for a in scalar_attrs(decl):
        t = cpp_type(unit, a.type)
        ret = param_type(unit, a.type)
        if a.kind == "const":
            constexpr = "constexpr " if is_scalar(unit, a.type) else ""
            w(f"static {constexpr}{t} {a.name}() noexcept {{ return {t}{cpp_literal(a)}; }}")
            continue
        w(f"{ret} {a.name}() const noexcept {{ return {a.name}_; }}")
        if a.kind == "plain":
            if setter_decl_only:
                w(f"void {a.name}Is({ret} v);")
            else:
                w(f"void {a.name}Is({ret} v) {{ {a.name}_ = v; }}")


def emit_class(unit, decl, w):
    name = decl.name
    ctor = decl.ctor_attrs
    coll = decl.holds_collection
    w.section(f"{name}: value type")
    w(f"class {name} {{")
    w("  public:").indent()
    w(f'static constexpr std::string_view fullName() noexcept {{ return "{unit.namespace}::{name}"; }}')
    w("static Zat::TypeInfo const& typeInfo() noexcept;")
    w()
    w(f"{name}() = default;")
    if ctor:
        params = ", ".join(f"{param_type(unit, a.type)} {a.name}" for a in ctor)
        explicit = "explicit " if len(ctor) == 1 else ""
        w(f"{explicit}{name}({params});")
    if not coll:
        w("// Parses the text form; raises Zat::RangeException on anything else.")
        w(f"explicit {name}(Zat::CharRange& r);")
    w()
    declare_scalar_members(unit, decl, w)
    for a in decl.data_attrs:
        if a.is_collection:
            members.declare(unit, decl, a, w)
    fns = [a for a in decl.attrs if a.kind == "fn"]
    if fns:
        w()
        for a in fns:
            w(fn_decl(unit, a) + ";")
    w()
    w("static bool isEq(void const* a, void const* b);")
    w(f"bool operator==({name} const& o) const {{ return isEq(this, &o); }}")
    if not coll:
        w(f"bool operator<({name} const& o) const;")
    w("// True when the value differs from a default-constructed one.")
    w("explicit operator bool() const;")
    if not coll:
        w("std::uint32_t hash(std::uint32_t seed) const;")
    w.dedent()
    stored = stored_attrs(decl)
    if stored:
        w()
        w("  private:").indent()
        for a in stored:
            t = members.coll_cpp(unit, decl, a) if a.is_collection else cpp_type(unit, a.type)
            init = "" if a.is_collection else cpp_literal(a)
            w(f"{t} {a.name}_{init};")
        w.dedent()
    w("};")
    w()
    w(f"Zat::String valueToStrep({name} const& v);")
    w(f"std::ostream& operator<<(std::ostream& os, {name} const& v);")
    if not coll:
        w(f"void sequenceToValue(Zat::CharRange& r, {name}* v);")
        w("// Contribution of a nested value to the hash of the value holding it: its own hash(0).")
        w(f"void hashAttrInto(Zat::Hash& h, {name} const& v);")
    w()


def emit_members(unit, decl, index, w):
    name = decl.name
    full = f"{unit.namespace}::{name}"
    stored = stored_attrs(decl)
    ctor = decl.ctor_attrs
    coll = decl.holds_collection
    w.section(f"{name}: value type")
    w(f"Zat::TypeInfo const& {name}::typeInfo() noexcept {{ return kTypes[{index}]; }}")
    w()
    if ctor:
        params = ", ".join(f"{param_type(unit, a.type)} {a.name}" for a in ctor)
        inits = ", ".join(f"{a.name}_({a.name})" for a in ctor)
        w(f"{name}::{name}({params}) : {inits} {{}}")
        w()
    if not coll:
        _parser(unit, decl, w)
    for a in stored:
        if a.is_collection:
            members.define(unit, decl, a, w)
    w(f"bool {name}::isEq(void const* a, void const* b) {{").indent()
    w(f"auto const& x = *static_cast<{name} const*>(a);")
    w(f"auto const& y = *static_cast<{name} const*>(b);")
    if stored:
        w("return &x == &y ||")
        w("       (" + " &&\n        ".join(f"x.{a.name}_ == y.{a.name}_" for a in stored) + ");")
    else:
        w("(void)x;")
        w("(void)y;")
        w("return true;")
    w.dedent()("}")
    w()
    if not coll:
        w(f"bool {name}::operator<({name} const& o) const {{").indent()
        for a in stored:
            w(f"if ({a.name}_ < o.{a.name}_) return true;")
            w(f"if (o.{a.name}_ < {a.name}_) return false;")
        if not stored:
            w("(void)o;")
        w("return false;")
        w.dedent()("}")
        w()
    w(f"{name}::operator bool() const {{").indent()
    w(f"static {name} const defaultValue;")
    w("return !isEq(this, &defaultValue);")
    w.dedent()("}")
    w()
    if not coll:
        w(f"std::uint32_t {name}::hash(std::uint32_t seed) const {{").indent()
        w("Zat::Hash h(seed);")
        for a in stored:
            w(f"Zat::mixAttr(h, {a.name}_);")
        w("return h.result();")
        w.dedent()("}")
        w()
    _strep(unit, decl, w)
    w(f"std::ostream& operator<<(std::ostream& os, {name} const& v) {{ return os << valueToStrep(v); }}")
    w()
    if not coll:
        w(f"void sequenceToValue(Zat::CharRange& r, {name}* v) {{ *v = {name}(r); }}")
        w()
        w(f"void hashAttrInto(Zat::Hash& h, {name} const& v) {{ h.hashMix<4>(v.hash(0)); }}")
        w()


def _parser(unit, decl, w):
    # The literal opening, each attribute behind its quoted name, the closing.
    name = decl.name
    stored = stored_attrs(decl)
    w(f"{name}::{name}(Zat::CharRange& r) {{").indent()
    if "bare" in decl.options:
        a = stored[0]
        w(f'{a.name}_ = Zat::deserializeAttr<{cpp_type(unit, a.type)}>(r, "{a.name}");')
    else:
        w(f"r.needString(\"Value('{unit.namespace}::{name}', ** {{\");")
        for i, a in enumerate(stored):
            sep = "" if i == 0 else ", "
            w(f"r.needString(\"{sep}'{a.name}': \");")
            w(f'{a.name}_ = Zat::deserializeAttr<{cpp_type(unit, a.type)}>(r, "{a.name}");')
        w('r.needString("})");')
    w.dedent()("}")
    w()


def _strep(unit, decl, w):
    name = decl.name
    stored = stored_attrs(decl)
    w(f"Zat::String valueToStrep({name} const& v) {{").indent()
    if decl.is_value_collection:
        w("(void)v;")
        w('return "None";')
    elif "bare" in decl.options:
        w(f"return Zat::strepOf(v.{stored[0].name}());")
    else:
        fmt = ", ".join(f"'{a.name}': %s" for a in stored)
        args = ['"None"' if a.is_collection else f"Zat::strepOf(v.{a.name}())" for a in stored]
        if all(a.is_collection for a in stored):
            w("(void)v;")
        w(f"return Zat::_fmt(\"Value('{unit.namespace}::{name}', ** {{{fmt}}})\",")
        w(",\n".join("                 " + arg for arg in args) + ");")
    w.dedent()("}")
    w()
