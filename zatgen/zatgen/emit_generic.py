"""The generic interface of a type: its attribute operation, collection iterators and construction.

Every attribute becomes one case of a switch on the attribute id that hands the attribute to the
runtime's helper for its kind (Zat::gen); hidden attributes have no case and answer "no such attribute".
"""
import re

from .cpp import cpp_type, is_scalar
from .members import key_type


def _fn_params(unit, attr):
    """(C++ type, name) of each parameter of a hand-written operation."""
    out = []
    for p in [p.strip() for p in attr.fn_params.split(",") if p.strip()]:
        m = re.match(r"(.*?)([A-Za-z_]\w*)$", p)
        type_text = m.group(1).replace("const", "").replace("&", "").strip()
        out.append((cpp_type(unit, type_text), m.group(2)))
    return out


def fn_returns_entity(unit, attr):
    own = unit.find(attr.fn_ret)
    return own is not None and own.kind == "entity"


def fn_ret_cpp(unit, attr):
    if attr.fn_ret == "Void":
        return "void"
    if fn_returns_entity(unit, attr):
        return f"Zat::Ptr<{attr.fn_ret}>"
    return cpp_type(unit, attr.fn_ret)


def _call(unit, decl, a):
    params = _fn_params(unit, a)
    n = len(params)
    args = ", ".join(f"Zat::gen::argument(in, {i}, {n}).as<{t}>()" for i, (t, _) in enumerate(params))
    target = f"{decl.name}::" if a.fn_static else "self."
    call = f"{target}{a.name}({args})"
    if a.fn_ret == "Void":
        body = f"{call}; out = Zat::Any();"
    elif fn_returns_entity(unit, a):
        body = f"out = Zat::Any::entity(Zat::Ptr<Zat::PtrInterface>({call}.get()));"
    else:
        body = f"out = Zat::Any::of({call});"
    unused = "(void)in; " if n == 0 else ""
    return f"[&](Zat::Any const& in, Zat::Any& out) {{ {unused}{body} }}"


def emit(unit, decl, w):
    T = decl.name
    w(f"Zat::AttrOpResult {T}AttrOp(void* obj, std::uint16_t attrId, Zat::AttrOp op, Zat::Any const& key, "
      "Zat::Any& value) {").indent()
    w(f"auto& self = *static_cast<{T}*>(obj);")
    w("(void)key;")
    if decl.kind == "value":
        w("if (Zat::gen::isWholeValueOp(op)) return Zat::gen::wholeValueOp(self, op, key, value);")
    else:
        w("if (Zat::gen::isWholeValueOp(op)) return Zat::attrOpNotApplicable;")
    w("switch (attrId) {").indent()
    for a in decl.reflected_attrs:
        if a.hidden:
            continue
        w(f"case {a.id}:  // {a.name}").indent()
        w(f"return {_attr_case(unit, decl, a)};")
        w.dedent()
    w("default:").indent()
    w("(void)self;")
    w("return Zat::attrOpNoSuchAttribute;")
    w.dedent()
    w.dedent()("}")
    w.dedent()("}")
    w()
    _iterator(unit, decl, w)
    _construct(unit, decl, w)


def _attr_case(unit, decl, a):
    n = a.name
    if a.readonly and a.is_collection:
        return f"Zat::gen::readOnlyCollection(op, self.{n}Collection(), key, value)"
    if a.kind in ("ctor", "const"):
        return f"Zat::gen::readOnly(op, self.{n}(), value)"
    if a.kind == "plain":
        t = cpp_type(unit, a.type)
        arg = "v" if is_scalar(unit, a.type) else "v"
        return f"Zat::gen::plain(op, self.{n}(), [&]({t} const& {arg}) {{ self.{n}Is({arg}); }}, value)"
    if a.kind == "fn":
        return f"Zat::gen::function(op, {_call(unit, decl, a)}, key, value)"
    if a.kind == "owned":
        target = unit.find(a.type)
        ctor = target.ctor_attrs
        args = ", ".join(f"Zat::gen::argument(value, {i}, {len(ctor)}).as<{cpp_type(unit, c.type)}>()"
                         for i, c in enumerate(ctor))
        return (f"Zat::gen::owned(op, self.{n}().get(), [&] {{ return self.{n}Is({args}).get(); }}, "
                f"[&] {{ self.{n}Del(); }}, value)")
    k = cpp_type(unit, key_type(unit, a))
    coll = f"self.{n}Collection()"
    if a.kind == "set":
        return (f"Zat::gen::set(op, {coll}, [&]({k} const& k) {{ self.{n}Is(k); }}, "
                f"[&]({k} const& k) {{ self.{n}Del(k); }}, key, value, \"{unit.namespace}::{decl.name}\", \"{n}\")")
    if a.kind == "map":
        v = cpp_type(unit, a.value_type)
        return (f"Zat::gen::map(op, {coll}, [&]({k} const& k, {v} const& v) {{ self.{n}Is(k, v); }}, "
                f"[&]({k} const& k) {{ self.{n}Del(k); }}, key, value)")
    if a.kind == "coll":
        target = unit.find(a.type)
        # The key comes as the key; any further constructor attributes come in the value, in order.
        rest = target.ctor_attrs[1:]
        more = "".join(f", Zat::gen::argument(value, {i}, {len(rest)}).as<{cpp_type(unit, c.type)}>()"
                       for i, c in enumerate(rest))
        create = f"[&]({k} const& k) {{ return self.{n}Is(k{more}).get(); }}"
        return (f"Zat::gen::entities(op, {coll}, {create}, "
                f"[&]({k} const& k) {{ self.{n}Del(k); }}, key, value)")
    if a.kind == "orderedmap":
        return f"Zat::gen::readOnlyCollection(op, self.{n}Collection(), key, value)"
    return "Zat::attrOpNotApplicable"  # ordered entity maps are walked through their iterators


def _iterator(unit, decl, w):
    T = decl.name
    w(f"std::unique_ptr<Zat::GenericIterator> {T}Iterator(void* obj, std::uint16_t attrId, Zat::Any const* from) {{")
    w.indent()
    w(f"auto& self = *static_cast<{T}*>(obj);")
    w("switch (attrId) {").indent()
    kinds = {"set", "map", "coll"}
    for a in decl.reflected_attrs:
        if a.hidden or a.kind not in kinds:
            continue
        k = cpp_type(unit, key_type(unit, a))
        w(f"case {a.id}:").indent()
        w(f"return Zat::gen::iterator(self.{a.name}Collection(), from, "
          f"[&self]({k} const& k) {{ self.{a.name}Del(k); }});")
        w.dedent()
    w("default:").indent()
    w("(void)self;")
    w("(void)from;")
    w("return nullptr;")
    w.dedent()
    w.dedent()("}")
    w.dedent()("}")
    w()


def _construct(unit, decl, w):
    T = decl.name
    ctor = decl.ctor_attrs
    w(f"Zat::Any {T}Construct(std::span<Zat::Any const> args) {{").indent()
    if decl.is_root:
        w(f'if (!args.empty()) Zat::throwNewEntityArgsException("{unit.namespace}::{T}");')
        w(f'return Zat::Any::entity(Zat::Ptr<Zat::PtrInterface>({T}::{T}Is(Zat::String()).get()));')
    else:
        w(f"if (args.size() != {len(ctor)}) {{").indent()
        w(f'Zat::throwPreconditionException("{unit.namespace}::{T} takes {len(ctor)} constructor arguments, got " '
          "+ std::to_string(args.size()));")
        w.dedent()("}")
        conv = ", ".join(f"args[{i}].as<{cpp_type(unit, c.type)}>()" for i, c in enumerate(ctor))
        if decl.kind == "value":
            w(f"return Zat::Any::of({T}({conv}));")
        else:
            w(f"return Zat::Any::entity(Zat::Ptr<Zat::PtrInterface>({T}::{T}Is({conv}).get()));")
    w.dedent()("}")
    w()
    if decl.is_root:
        w(f"Zat::Ptr<Zat::Entity> {T}NewEntity(Zat::String const& name) {{ return {T}::{T}Is(name); }}")
        w()
    new_entity = f"{T}NewEntity" if decl.is_root else "nullptr"
    w(f"Zat::TypeMethods const k{T}Methods{{{T}Construct, {T}AttrOp, {T}Iterator, {new_entity}}};")
    w()
