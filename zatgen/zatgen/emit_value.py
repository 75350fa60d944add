"""C++ for value types: the class, its comparisons, hash, text form and parser."""
from .cpp import cpp_literal, cpp_type, is_scalar, map_signature, param_type


def fn_decl(unit, attr, qualified=""):
    ret = cpp_type(unit, attr.fn_ret)
    params = map_signature(unit, attr.fn_params)
    static = "static " if attr.fn_static and not qualified else ""
    const = " const" if attr.fn_const else ""
    return f"{static}{ret} {qualified}{attr.name}({params}){const}"


def emit_class(unit, decl, w):
    name = decl.name
    data = decl.data_attrs
    ctor = decl.ctor_attrs
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
    w("// Parses the text form; raises Zat::RangeException on anything else.")
    w(f"explicit {name}(Zat::CharRange& r);")
    w()
    for a in data:
        t = cpp_type(unit, a.type)
        ret = param_type(unit, a.type)
        if a.kind == "const":
            constexpr = "constexpr " if is_scalar(unit, a.type) else ""
            w(f"static {constexpr}{t} {a.name}() noexcept {{ return {t}{cpp_literal(a)}; }}")
            continue
        w(f"{ret} {a.name}() const noexcept {{ return {a.name}_; }}")
        if a.kind == "plain":
            w(f"void {a.name}Is({ret} v) {{ {a.name}_ = v; }}")
    fns = [a for a in decl.attrs if a.kind == "fn"]
    if fns:
        w()
        for a in fns:
            w(fn_decl(unit, a) + ";")
    w()
    w("static bool isEq(void const* a, void const* b);")
    w(f"bool operator==({name} const& o) const {{ return isEq(this, &o); }}")
    w(f"bool operator<({name} const& o) const;")
    w("// True when the value differs from a default-constructed one.")
    w("explicit operator bool() const;")
    w("std::uint32_t hash(std::uint32_t seed) const;")
    w.dedent()
    stored = [a for a in data if a.kind != "const"]
    if stored:
        w()
        w("  private:").indent()
        for a in stored:
            w(f"{cpp_type(unit, a.type)} {a.name}_{cpp_literal(a)};")
        w.dedent()
    w("};")
    w()
    w(f"Zat::String valueToStrep({name} const& v);")
    w(f"std::ostream& operator<<(std::ostream& os, {name} const& v);")
    w(f"void sequenceToValue(Zat::CharRange& r, {name}* v);")
    w("// Contribution of a nested value to the hash of the value holding it: its own hash(0).")
    w(f"void hashAttrInto(Zat::Hash& h, {name} const& v);")
    w()


def emit_members(unit, decl, index, w):
    name = decl.name
    full = f"{unit.namespace}::{name}"
    stored = [a for a in decl.data_attrs if a.kind != "const"]
    ctor = decl.ctor_attrs
    w.section(f"{name}: value type")
    w(f"Zat::TypeInfo const& {name}::typeInfo() noexcept {{ return kTypes[{index}]; }}")
    w()
    if ctor:
        params = ", ".join(f"{param_type(unit, a.type)} {a.name}" for a in ctor)
        inits = ", ".join(f"{a.name}_({a.name})" for a in ctor)
        w(f"{name}::{name}({params}) : {inits} {{}}")
        w()
    # Parser: the literal opening, each attribute behind its quoted name, the closing.
    w(f"{name}::{name}(Zat::CharRange& r) {{").indent()
    if "bare" in decl.options:
        a = stored[0]
        w(f'{a.name}_ = Zat::deserializeAttr<{cpp_type(unit, a.type)}>(r, "{a.name}");')
    else:
        w(f"r.needString(\"Value('{full}', ** {{\");")
        for i, a in enumerate(stored):
            sep = "" if i == 0 else ", "
            w(f"r.needString(\"{sep}'{a.name}': \");")
            w(f'{a.name}_ = Zat::deserializeAttr<{cpp_type(unit, a.type)}>(r, "{a.name}");')
        w('r.needString("})");')
    w.dedent()("}")
    w()
    w(f"bool {name}::isEq(void const* a, void const* b) {{").indent()
    w(f"auto const& x = *static_cast<{name} const*>(a);")
    w(f"auto const& y = *static_cast<{name} const*>(b);")
    if stored:
        w("return " + " &&\n       ".join(f"x.{a.name}_ == y.{a.name}_" for a in stored) + ";")
    else:
        w("(void)x;")
        w("(void)y;")
        w("return true;")
    w.dedent()("}")
    w()
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
    w(f"std::uint32_t {name}::hash(std::uint32_t seed) const {{").indent()
    w("Zat::Hash h(seed);")
    for a in stored:
        w(f"Zat::mixAttr(h, {a.name}_);")
    w("return h.result();")
    w.dedent()("}")
    w()
    w(f"Zat::String valueToStrep({name} const& v) {{").indent()
    if "bare" in decl.options:
        w(f"return Zat::strepOf(v.{stored[0].name}());")
    else:
        fmt = ", ".join(f"'{a.name}': %s" for a in stored)
        args = [f"Zat::strepOf(v.{a.name}())" for a in stored]
        w(f"return Zat::_fmt(\"Value('{full}', ** {{{fmt}}})\",")
        w(",\n".join("                 " + arg for arg in args) + ");")
    w.dedent()("}")
    w()
    w(f"std::ostream& operator<<(std::ostream& os, {name} const& v) {{ return os << valueToStrep(v); }}")
    w()
    w(f"void sequenceToValue(Zat::CharRange& r, {name}* v) {{ *v = {name}(r); }}")
    w()
    w(f"void hashAttrInto(Zat::Hash& h, {name} const& v) {{ h.hashMix<4>(v.hash(0)); }}")
    w()
