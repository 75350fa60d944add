"""`NAME owned ENTITY`: one nested entity that the owner creates, replaces and drops."""
from .base import Member


class Owned(Member):
    FLAGS = {"hidden", "silent"}
    USAGE = "NAME owned ENTITY [flags]"

    def resolve(self, r):
        super().resolve(r)
        ref = self.type
        if ref is None:
            return
        if not self.owner.is_entity or not ref.is_entity or ref.decl.is_root:
            r.error(self.syntax.types[0], f"owned {self.name} must be a nested entity held by an entity")

    @property
    def target(self):
        return self.type.decl

    def params(self):
        return ", ".join(f"{c.type.param} {c.name}" for c in self.target.ctor_members)

    def declare(self, w):
        n, E = self.name, self.type.cpp
        w(f"Zat::Ptr<{E}> const& {n}() const noexcept {{ return {n}_; }}")
        w("// Keeps the present one when its constructor attributes are these; otherwise replaces it.")
        w(f"Zat::Ptr<{E}> {n}Is({self.params()});")
        w("// Drops the entity and returns it (null when there was none).")
        w(f"Zat::Ptr<{E}> {n}Del();")

    def storage(self):
        return (f"Zat::Ptr<{self.type.cpp}>", "")

    def define(self, w):
        T, n, E = self.owner.name, self.name, self.type.cpp
        ctor = self.target.ctor_members
        args = ", ".join(c.name for c in ctor)
        same = " && ".join(f"{n}_->{c.name}() == {c.name}" for c in ctor) or "true"
        publish = f"publishChange(AttrId::{n});" if self.publishes else ""
        w(f"Zat::Ptr<{E}> {T}::{n}Is({self.params()}) {{").indent()
        w(f"if ({n}_ && {same}) return {n}_;")
        w(f"{n}_ = {E}::{self.target.name}Is({args});")
        if self.target.derives_from_entity:
            w(f"{n}_->parentIs(Zat::Ptr<Zat::Entity>(this));")
        if publish:
            w(publish)
        w(f"return {n}_;")
        w.dedent()("}")
        w(f"Zat::Ptr<{E}> {T}::{n}Del() {{").indent()
        w(f"Zat::Ptr<{E}> old = std::move({n}_);")
        w(f"{n}_ = nullptr;")
        if publish:
            w(f"if (old) {publish}")
        w("return old;")
        w.dedent()("}")
        w()

    def generic_case(self, g):
        n, ctor = self.name, self.target.ctor_members
        args = ", ".join(g.argument("value", i, len(ctor), c.type) for i, c in enumerate(ctor))
        return "Zat::gen::owned", ["op", f"self.{n}().get()", f"[&] {{ return self.{n}Is({args}).get(); }}",
                                   f"[&] {{ self.{n}Del(); }}", "value"]
