"""The generic interface of a type: its attribute operation, collection cursors and construction.

Every attribute becomes one case of a switch on the attribute id that hands the attribute to the
runtime's helper for its kind (Zat::gen), with each lambda on a line of its own; hidden attributes have
no case and answer "no such attribute".
"""
from .emit_flags import generic_cases
from .model import TypeKind


class Context:
    """What member kinds ask of the generic interface's emitter."""

    @staticmethod
    def argument(src, i, n, ref):
        """The i-th of n arguments held in the Any `src`, as the C++ type of `ref` (an entity as its Ptr)."""
        cpp = f"Zat::Ptr<{ref.cpp}>" if ref.is_entity else ref.cpp
        return f"Zat::gen::arg<{cpp}>({src}, {i}, {n})"


def emit(decl, w):
    T = decl.name
    g = Context()
    flags = decl.kind is TypeKind.FLAGS
    w.call(f"Zat::AttrOpResult {T}AttrOp", ["void* obj", "std::uint16_t attrId", "Zat::AttrOp op",
                                            "Zat::Any const& key", "Zat::Any& value"], " {")
    w.indent()
    static = [] if flags else _cases(decl, lambda m: m.generic_case(g) if _is_static(m) else None)
    if static:
        # Called without an instance (obj null), a static operation ends here; nothing else may.
        _switch(decl, w, static, ["if (!obj) return Zat::attrOpNoSuchAttribute;", "break;"],
                "static operations, which need no instance")
    w(f"auto& self = *static_cast<{T}*>(obj);")
    w("(void)key;")
    if decl.is_value or flags:
        w("if (Zat::gen::isWholeValueOp(op)) return Zat::gen::wholeValueOp(self, op, key, value);")
    else:
        w("if (Zat::gen::isWholeValueOp(op)) return Zat::attrOpNotApplicable;")
    base = decl.base_decl
    if base is None:
        otherwise = ["(void)self;", "return Zat::attrOpNoSuchAttribute;"]
    else:
        B = base.ref.cpp
        otherwise = [("return Zat::attrOp", [f"{B}::typeInfo()", f"static_cast<{B}*>(&self)", "attrId", "op", "key",
                                             "value"])]
    cases = generic_cases(decl) if flags else _cases(decl, lambda m: None if _is_static(m) else m.generic_case(g))
    _switch(decl, w, cases, otherwise)
    w.dedent()("}")
    w()
    w.call(f"std::unique_ptr<Zat::GenericIterator> {T}Iterator",
           ["void* obj", "std::uint16_t attrId", "Zat::Any const* from"], " {")
    w.indent()
    w(f"auto& self = *static_cast<{T}*>(obj);")
    if base is None:
        otherwise = ["(void)self;", "(void)from;", "return nullptr;"]
    else:
        B = base.ref.cpp
        otherwise = [(f"return {B}::typeInfo().methods->iterator", [f"static_cast<{B}*>(&self)", "attrId", "from"])]
    _switch(decl, w, _cases(decl, lambda m: m.generic_cursor(g)), otherwise)
    w.dedent()("}")
    w()
    _construct(decl, g, w)


def _switch(decl, w, cases, default, what=None):
    """One case per (attribute, function, arguments), each returning the function's answer."""
    w(f"switch (attrId) {{  // {what}" if what else "switch (attrId) {").indent()
    for name, fn, args in cases:
        w(f"case {decl.name}::AttrId::{name}:").indent()
        w.call(f"return {fn}", args, ";")
        w.dedent()
    w("default:").indent()
    for line in default:
        if isinstance(line, tuple):
            w.call(*line, ";")
        else:
            w(line)
    w.dedent()
    w.dedent()("}")


def _is_static(member):
    """A static operation: answered before the attribute operation looks at an instance."""
    return getattr(member, "static", False)


def _cases(decl, case_of):
    """The cases of the members that are reachable and have one (case_of answers None otherwise)."""
    out = []
    for m in decl.reflected:
        case = None if m.hidden else case_of(m)
        if case is not None:
            out.append((m.name,) + tuple(case))
    return out


def _construct(decl, g, w):
    T = decl.name
    creator = decl.creator
    w(f"Zat::Any {T}Construct(std::span<Zat::Any const> args) {{").indent()
    if decl.is_root:
        w(f'if (!args.empty()) Zat::throwNewEntityArgsException("{decl.full_name}");')
        w(f"Zat::Ptr<{T}> made = {T}::{T}Is(Zat::String());")
        w("return Zat::Any::entity(Zat::Ptr<Zat::PtrInterface>(made.get()));")
    elif "nofactory" in decl.options:
        w("(void)args;")
        w.call("Zat::throwPreconditionException", [f'"{decl.full_name} is created only by the entities that hold it"'],
               ";")
    else:
        w(f"if (args.size() != {len(creator)}) {{").indent()
        w(f'Zat::throwPreconditionException("{decl.full_name} takes {len(creator)} constructor arguments, "')
        w('                                 "got " + std::to_string(args.size()));')
        w.dedent()("}")
        conv = [f"Zat::gen::fromAny<{t.cpp}>(args[{i}])" for i, (t, _) in enumerate(creator)]
        if not decl.is_entity:
            w.call(f"return Zat::Any::of({T}", conv, ");")
        else:
            w.call(f"Zat::Ptr<{T}> made = {T}::{T}Is", conv, ";")
            w("return Zat::Any::entity(Zat::Ptr<Zat::PtrInterface>(made.get()));")
    w.dedent()("}")
    w()
    if decl.is_root:
        w.inline(f"Zat::Ptr<Zat::Entity> {T}NewEntity(Zat::String const& name)", f"return {T}::{T}Is(name);")
        w()
    new_entity = f"{T}NewEntity" if decl.is_root else "nullptr"
    w.pack(f"Zat::TypeMethods const k{T}Methods{{", [f"{T}Construct", f"{T}AttrOp", f"{T}Iterator", new_entity],
           "};")
    w()
