"""`fn NAME(TYPE NAME, ...) [const|static] -> TYPE [hidden]`: a hand-written operation.

The schema declares it, the unit's C++ defines it, and unless hidden the generic interface calls it as a
function attribute (code 10), with its arguments in the key.
"""
from .base import Member


class Function(Member):
    TABLE_KIND = "function"
    TYPE_WORDS = 0
    FLAGS = {"hidden", "virtual", "override"}

    def __init__(self, owner, syntax):
        super().__init__(owner, syntax)
        # An override answers through the base's attribute, which calls it virtually: it has no id.
        self.REFLECTED = "override" not in self.flags

    def resolve(self, r):
        super().resolve(r)
        s = self.syntax
        # Operations are defined out of line, so they may name any type of the unit, even later ones.
        self.params = [(r.type_ref(t, self.owner, anywhere=True), n.text) for t, n in s.params]
        self.ret = r.type_ref(s.ret, self.owner, anywhere=True, result=True)
        seen = set()
        for _, n in s.params:
            if n.text in seen:
                r.error(n, f"parameter {n.text} of {self.name} given twice")
            seen.add(n.text)
        self.static = s.qualifier == "static"
        self.const = s.qualifier == "const"
        if self.owner is None:
            if s.qualifier or self.flags:
                r.error(s.name, f"free function {self.name} takes no qualifier and no flag")
            return
        if ("virtual" in self.flags or "override" in self.flags) and (self.static or not self.owner.is_entity):
            r.error(s.name, f"{self.name}: only an entity's member operations are virtual")
        elif "override" in self.flags:
            self.check_override(r)

    def check_override(self, r):
        base = self.owner.base_decl
        while base is not None:
            found = next((m for m in base.members if m.name == self.name and isinstance(m, Function)), None)
            if found is not None:
                if "virtual" not in found.flags and "override" not in found.flags:
                    r.error(self.syntax.name, f"{self.name} of {base.name} is not virtual")
                elif found.signature() != self.signature():
                    r.error(self.syntax.name, f"{self.name} does not match {base.name}'s: {found.signature()}")
                return
            base = base.base_decl
        r.error(self.syntax.name, f"{self.name} overrides nothing: no base of {self.owner.name} declares it")

    def type_refs(self):
        return [t for t, _ in self.params if t is not None] + ([self.ret] if self.ret is not None else [])

    def table_type(self):
        return self.ret.table_name

    def table_params(self):
        return self.params

    def table_flags(self):
        return super().table_flags() + (["static"] if self.static else []) + (["const"] if self.const else [])

    def signature(self, qualified=""):
        params = ", ".join(f"{t.param if t else '?'} {n}" for t, n in self.params)
        static = "static " if self.static and not qualified else ""
        const = " const" if self.const else ""
        ret = self.ret.result if self.ret else "?"
        return f"{static}{ret} {qualified}{self.name}({params}){const}"

    def declare(self, w):
        virtual = "virtual " if "virtual" in self.flags else ""
        override = " override" if "override" in self.flags else ""
        static = "static " if self.static else ""
        params = [f"{t.param if t else '?'} {n}" for t, n in self.params]
        ret = self.ret.result if self.ret else "?"
        w.call(f"{virtual}{static}{ret} {self.name}", params, f"{' const' if self.const else ''}{override};")

    def generic_case(self, g):
        n = len(self.params)
        args = [g.argument("in", i, n, t) for i, (t, _) in enumerate(self.params)]
        target = f"{self.owner.name}::" if self.static else "self."
        if self.ret.result == "void":
            head, tail = "", "; out = Zat::Any();"
        else:
            head, tail = "out = Zat::gen::toAny(", ");"
        call = f"{target}{self.name}({', '.join(args)})"
        unused = "(void)in; " if n == 0 else ""
        one = f"[&](Zat::Any const& in, Zat::Any& out) {{ {unused}{head}{call}{tail} }}"
        if len(one) > 70:
            # The body on lines of its own, each argument on one, so that a debugger can stop on each.
            lines = [f"   {unused}{head}{target}{self.name}("] + [f"         {a}," for a in args]
            lines[-1] = lines[-1][:-1] + ")" + tail if args else lines[-1] + ")" + tail
            one = "\n".join(["[&](Zat::Any const& in, Zat::Any& out) {"] + lines + ["}"])
        return "Zat::gen::function", ["op", one, "key", "value"]
