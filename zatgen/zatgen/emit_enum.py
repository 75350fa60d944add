"""C++ for enumerations: an 8-bit enum class answered by the runtime's enumeration support."""
from . import emit_class


def emit_decl(decl, w):
    name = decl.name
    emit_class.heading(decl, "enumeration", w)
    w(f"enum class {name} : std::uint8_t {{").indent()
    for i, e in enumerate(decl.enumerators):
        w(f"{e} = {i},")
    w.dedent()("};")
    w()
    w(f"Zat::TypeInfo const& {name}TypeInfo() noexcept;")
    w(f"inline Zat::TypeInfo const& zatTypeInfo({name} const*) {{ return {name}TypeInfo(); }}")
    w("// The enumerator for a number or a name; anything else raises Zat::RangeException.")
    w(f"{name} {name}Instance(unsigned value);")
    w(f"{name} {name}Instance(Zat::String const& enumeratorName);")
    w(f"Zat::String stringValue({name} e);")
    w(f"Zat::String valueToStrep({name} e);")
    w(f"void sequenceToValue(Zat::CharRange& r, {name}* e);")
    w(f"std::ostream& operator<<(std::ostream& os, {name} e);")
    w(f"void hashAttrInto(Zat::Hash& h, {name} e);")
    w()


def emit_members(decl, index, w):
    name = decl.name
    info = f"kTypes[{index}]"
    w.section(f"{name}: enumeration")
    w(f"Zat::TypeInfo const& {name}TypeInfo() noexcept {{ return {info}; }}")
    w(f"{name} {name}Instance(unsigned value) {{").indent()
    w(f"return {name}(Zat::enumValue({info}, Zat::enumName({info}, value)));")
    w.dedent()("}")
    w(f"{name} {name}Instance(Zat::String const& enumeratorName) {{").indent()
    w(f"return {name}(Zat::enumValue({info}, enumeratorName.view()));")
    w.dedent()("}")
    w.inline(f"Zat::String stringValue({name} e)", f"return Zat::String(Zat::enumName({info}, unsigned(e)));")
    w(f"Zat::String valueToStrep({name} e) {{").indent()
    w(f"return Zat::valueToStrep(Zat::enumName({info}, unsigned(e)));")
    w.dedent()("}")
    w.inline(f"void sequenceToValue(Zat::CharRange& r, {name}* e)", f"*e = {name}(Zat::enumParse({info}, r));")
    w(f"std::ostream& operator<<(std::ostream& os, {name} e) {{").indent()
    w(f"return os << Zat::enumName({info}, unsigned(e));")
    w.dedent()("}")
    w(f"void hashAttrInto(Zat::Hash& h, {name} e) {{").indent()
    w("h.hashMix<4>(Zat::hashSingleAttr(0, std::uint8_t(e)));")
    w.dedent()("}")
    w()
