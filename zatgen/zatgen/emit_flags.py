"""C++ for flag sets: named bits in one unsigned integer, each readable and settable by its name, with a
constant per flag holding that flag alone (`srcGroup_()`), built from the raw integer only when every set
bit is a flag, and written and read as a value whose attributes are the flags."""
from . import emit_class


def _ids(decl):
    """(name, id) of every attribute: the flags, the raw value, then one constant per flag."""
    names = [n for n, _ in decl.flags] + ["value"] + [n + "_" for n, _ in decl.flags]
    return [(n, i) for i, n in enumerate(names, start=2)]


def _hex(bit):
    return f"{bit:#x}u"


def emit_class_decl(decl, w):
    T, raw = decl.name, decl.storage.cpp
    mask = sum(bit for _, bit in decl.flags)
    emit_class.heading(decl, "flag set", w)
    w(f"class {T} {{")
    w("  public:").indent()
    w(f'static constexpr std::string_view fullName() noexcept {{ return "{decl.full_name}"; }}')
    w("static Zat::TypeInfo const& typeInfo() noexcept;")
    w("// Attribute ids, as the type table and the generic interface carry them.")
    w("struct AttrId {").indent()
    for name, i in _ids(decl):
        w(f"static constexpr std::uint16_t {name} = {i};")
    w.dedent()("};")
    w("// Every flag's bit together.")
    w(f"static constexpr {raw} mask = {_hex(mask)};")
    w()
    w(f"{T}() = default;")
    w("// Keeps `raw`; a set bit that is no flag raises Zat::RangeException.")
    w(f"explicit {T}({raw} raw);")
    w("// Parses the text form; raises Zat::RangeException on anything else.")
    w(f"explicit {T}(Zat::CharRange& r);")
    for (name, bit), line in zip(decl.flags, decl.flag_lines):
        w()
        w.comment(f"{decl.unit.name}.zat:{line}: {name} {bit:#x}")
        w.inline(f"bool {name}() const noexcept", f"return (value_ & {_hex(bit)}) != 0;")
        w.inline(f"void {name}Is(bool on) noexcept",
                 f"value_ = static_cast<{raw}>(on ? value_ | {_hex(bit)} : value_ & ~{_hex(bit)});")
        w(f"static {T} {name}_() noexcept;")
    w()
    w("// The raw form: every flag's bit.")
    w.inline(f"{raw} value() const noexcept", "return value_;")
    w(f"void valueIs({raw} raw);")
    w()
    w("static bool isEq(void const* a, void const* b);")
    w(f"bool operator==({T} const& o) const {{ return value_ == o.value_; }}")
    w(f"bool operator<({T} const& o) const {{ return value_ < o.value_; }}")
    w("// True when any flag is set.")
    w("explicit operator bool() const { return value_ != 0; }")
    w("std::uint32_t hash(std::uint32_t seed) const;")
    w.dedent()
    w()
    w("  private:").indent()
    w(f"{raw} value_ = 0;")
    w.dedent()
    w("};")
    w()
    w(f"Zat::String valueToStrep({T} const& v);")
    w(f"std::ostream& operator<<(std::ostream& os, {T} const& v);")
    w(f"void sequenceToValue(Zat::CharRange& r, {T}* v);")
    w(f"void hashAttrInto(Zat::Hash& h, {T} const& v);")
    w()


def emit_members(decl, index, w):
    T, raw = decl.name, decl.storage.cpp
    w.section(f"{T}: flag set")
    w(f"Zat::TypeInfo const& {T}::typeInfo() noexcept {{ return kTypes[{index}]; }}")
    w()
    w(f"{T}::{T}({raw} raw) {{ valueIs(raw); }}")
    w()
    w(f"void {T}::valueIs({raw} raw) {{").indent()
    w(f'if (raw & ~mask) Zat::throwDenseEnumBoolSetRangeException("{decl.full_name}", raw);')
    w("value_ = raw;")
    w.dedent()("}")
    w()
    for name, bit in decl.flags:
        w(f"{T} {T}::{name}_() noexcept {{").indent()
        w(f"{T} one;")
        w(f"one.value_ = {_hex(bit)};")
        w("return one;")
        w.dedent()("}")
    w()
    w(f"{T}::{T}(Zat::CharRange& r) {{").indent()
    emit_class.parse_form(w, decl.full_name,
                          [(name, f'{name}Is(Zat::deserializeAttr<bool>(r, "{name}"));') for name, _ in decl.flags])
    w.dedent()("}")
    w()
    w(f"bool {T}::isEq(void const* a, void const* b) {{").indent()
    w(f"return *static_cast<{T} const*>(a) == *static_cast<{T} const*>(b);")
    w.dedent()("}")
    w()
    w(f"std::uint32_t {T}::hash(std::uint32_t seed) const {{").indent()
    w("Zat::Hash h(seed);")
    w("Zat::mixAttr(h, value_);")
    w("return h.result();")
    w.dedent()("}")
    w()
    w(f"Zat::String valueToStrep({T} const& v) {{").indent()
    emit_class.text_form(w, decl.full_name, [(name, f"Zat::strepOf(v.{name}())") for name, _ in decl.flags])
    w.dedent()("}")
    w()
    w(f"std::ostream& operator<<(std::ostream& os, {T} const& v) {{ return os << valueToStrep(v); }}")
    w(f"void sequenceToValue(Zat::CharRange& r, {T}* v) {{ *v = {T}(r); }}")
    w(f"void hashAttrInto(Zat::Hash& h, {T} const& v) {{ h.hashMix<4>(v.hash(0)); }}")
    w()


def table_rows(decl):
    """(id expression, name, type name, kind) of each attribute for the type table."""
    rows = []
    for name, _ in decl.flags:
        rows.append((f"{decl.name}::AttrId::{name}", name, "Bool", "plain"))
    rows.append((f"{decl.name}::AttrId::value", "value", decl.storage.table_name, "plain"))
    for name, _ in decl.flags:
        rows.append((f"{decl.name}::AttrId::{name}_", name + "_", decl.full_name, "constant"))
    return rows


def generic_cases(decl):
    """(attribute, function, arguments) of the generic attribute operation's cases."""
    cases = []
    for name, _ in decl.flags:
        cases.append((name, "Zat::gen::plain", ["op", f"self.{name}()", f"[&](bool const& v) {{ self.{name}Is(v); }}",
                                               "value"]))
    raw = decl.storage.cpp
    cases.append(("value", "Zat::gen::plain", ["op", "self.value()", f"[&]({raw} const& v) {{ self.valueIs(v); }}",
                                               "value"]))
    for name, _ in decl.flags:
        cases.append((name + "_", "Zat::gen::readOnly", ["op", f"{decl.name}::{name}_()", "value"]))
    return cases
