"""C++ for value types: the class, its comparisons, hash, text form and parser.

A value type that holds a collection has no order, no hash and no text constructor: its collections
render as None and cannot be read back.
"""
from . import emit_class


def stored(decl):
    return decl.value_members


def emit_class_decl(decl, w):
    name = decl.name
    ctor = decl.ctor_members
    emit_class.heading(decl, "value type", w)
    w(f"class {name} {{")
    w("  public:").indent()
    emit_class.identity(decl, w)
    w()
    w(f"{name}() = default;")
    if ctor:
        explicit = "explicit " if len(ctor) == 1 else ""
        w.call(f"{explicit}{name}", [f"{m.type.param} {m.name}" for m in ctor], ";")
    if decl.parseable:
        w("// Parses the text form; raises Zat::RangeException on anything else.")
        w(f"explicit {name}(Zat::CharRange& r);")
    emit_class.declare_members(decl, w)
    w()
    w("static bool isEq(void const* a, void const* b);")
    # Inline, so that comparing values in hand-written loops costs no call.
    members = stored(decl)
    if members:
        terms = [m.eq_term() for m in members]
        w(f"bool operator==({name} const& o) const {{").indent()
        w("return this == &o ||")
        w("       (" + " &&\n        ".join(terms) + ");")
        w.dedent()("}")
    else:
        w(f"bool operator==({name} const&) const {{ return true; }}")
    if "order" in decl.options:
        w("// Hand-written: this type's own order.")
    if decl.ordered:
        w(f"bool operator<({name} const& o) const;")
    w("// True when the value differs from a default-constructed one.")
    w("explicit operator bool() const;")
    if decl.hashable:
        w("std::uint32_t hash(std::uint32_t seed) const;")
    w.dedent()
    emit_class.private_section(decl, w, stored(decl))
    w("};")
    w()
    w(f"Zat::String valueToStrep({name} const& v);")
    w(f"std::ostream& operator<<(std::ostream& os, {name} const& v);")
    if decl.parseable:
        w(f"void sequenceToValue(Zat::CharRange& r, {name}* v);")
    if decl.hashable:
        w("// Contribution of a nested value to the hash of the value holding it: its own hash(0).")
        w(f"void hashAttrInto(Zat::Hash& h, {name} const& v);")
    w()


def emit_members(decl, index, w):
    name = decl.name
    members = stored(decl)
    ctor = decl.ctor_members
    w.section(f"{name}: value type")
    w(f"Zat::TypeInfo const& {name}::typeInfo() noexcept {{ return kTypes[{index}]; }}")
    w()
    if ctor:
        emit_class.constructor(w, f"{name}::{name}", [f"{m.type.param} {m.name}" for m in ctor],
                               [f"{m.name}_({m.name})" for m in ctor])
        w()
    if decl.parseable:
        _parser(decl, w)
    for m in decl.members:
        m.define(w)
    w(f"bool {name}::isEq(void const* a, void const* b) {{").indent()
    w(f"return *static_cast<{name} const*>(a) == *static_cast<{name} const*>(b);")
    w.dedent()("}")
    w()
    if decl.ordered and "order" not in decl.options:
        w(f"bool {name}::operator<({name} const& o) const {{").indent()
        for m in members:
            for line in m.less_lines():
                w(line)
        if not members:
            w("(void)o;")
        w("return false;")
        w.dedent()("}")
        w()
    w(f"{name}::operator bool() const {{").indent()
    w(f"static {name} const defaultValue;")
    w("return !(*this == defaultValue);")
    w.dedent()("}")
    w()
    if decl.hashable:
        w(f"std::uint32_t {name}::hash(std::uint32_t seed) const {{").indent()
        w("Zat::Hash h(seed);")
        for m in members:
            w(m.hash_line())
        w("return h.result();")
        w.dedent()("}")
        w()
    _strep(decl, w)
    w(f"std::ostream& operator<<(std::ostream& os, {name} const& v) {{ return os << valueToStrep(v); }}")
    w()
    if decl.parseable:
        w(f"void sequenceToValue(Zat::CharRange& r, {name}* v) {{ *v = {name}(r); }}")
        w()
    if decl.hashable:
        w(f"void hashAttrInto(Zat::Hash& h, {name} const& v) {{ h.hashMix<4>(v.hash(0)); }}")
        w()


def _parser(decl, w):
    # The literal opening, each attribute behind its quoted name, the closing.
    name = decl.name
    members = stored(decl)
    w(f"{name}::{name}(Zat::CharRange& r) {{").indent()
    if "bare" in decl.options:
        w(members[0].parse_line())
    else:
        emit_class.parse_form(w, decl.full_name, [(m.name, m.parse_line()) for m in members])
    w.dedent()("}")
    w()


def _strep(decl, w):
    name = decl.name
    members = stored(decl)
    w(f"Zat::String valueToStrep({name} const& v) {{").indent()
    if decl.is_value_collection:
        w("(void)v;")
        w('return "None";')
    elif "bare" in decl.options:
        w(f"return {members[0].strep_arg()};")
    else:
        if all(m.IS_COLLECTION for m in members):
            w("(void)v;")
        emit_class.text_form(w, decl.full_name, [(m.name, m.strep_arg()) for m in members])
    w.dedent()("}")
    w()

