"""`NAME owned ENTITY`: one nested entity that the owner creates, replaces and drops.

`embedded` builds the part inside the owner's own heap block (Zat::EmbeddedRoom) when the room is free,
so that an owner that nearly always has the part costs one allocation, not two.
"""
from .base import Member


class Owned(Member):
    FLAGS = {"hidden", "silent", "noparent", "embedded"}
    USAGE = "NAME owned ENTITY [flags]"

    def resolve(self, r):
        super().resolve(r)
        ref = self.type
        if ref is None:
            return
        if not self.owner.is_entity or not ref.is_entity or ref.decl.is_root:
            r.error(self.syntax.types[0], f"owned {self.name} must be a nested entity held by an entity")
        elif "noparent" in self.flags and not ref.decl.derives_from_entity:
            r.error(self.flags["noparent"], f"'noparent': {ref.name} has no parent link to leave unset")
        elif self.embedded:
            self.resolve_embedded(r)

    @property
    def embedded(self):
        return "embedded" in self.flags

    def resolve_embedded(self, r):
        # The type is declared before its owner (types are used after their declaration), so the room's
        # size is known where the owner's class is.
        if self.links_parent():
            r.error(self.flags["embedded"],
                    f"'embedded': {self.target.name} would link to its parent; mark {self.name} 'noparent'")

    def finish(self, r):
        others = [m for m in self.owner.members if isinstance(m, Owned) and m.embedded]
        if self.embedded and others[0] is not self:
            r.error(self.flags["embedded"], f"'embedded': {self.owner.name} already makes room for "
                                            f"{others[0].name}; an entity embeds one part at most")

    @property
    def target(self):
        return self.type.decl

    def table_params(self):
        return self.target.creator

    def links_parent(self):
        return self.target.derives_from_entity and "noparent" not in self.flags

    def declare(self, w):
        n, E = self.name, self.type.cpp
        w.function(f"Zat::Ptr<{E}> const&", f"{n}() const noexcept", f"return {n}_;")
        w("// Keeps the present one when its constructor attributes are these; otherwise replaces it.")
        w.call(f"Zat::Ptr<{E}> {n}Is", [f"{t.param} {name}" for t, name in self.target.creator], ";")
        w("// Drops the entity and returns it (null when there was none).")
        w(f"Zat::Ptr<{E}> {n}Del();")

    def storage(self):
        return (f"Zat::Ptr<{self.type.cpp}>", "")

    def declare_private(self, w):
        if self.embedded:
            w(f"// {self.name} embedded: the room for it in this entity's own block, which goes with the last")
            w(f"// reference to either.")
            w(f"Zat::EmbeddedRoom<{self.type.cpp}> {self.name}Room_;")
            w("void zeroReferencesIs(bool) noexcept override;")

    def unlink_on_destruction(self):
        return f"if ({self.name}_) {self.name}_->parentIs(nullptr);" if self.links_parent() else None

    def define(self, w):
        T, n, E = self.owner.name, self.name, self.type.cpp
        creator = self.target.creator
        args = ", ".join(name for _, name in creator)
        same = "".join(f" && {n}_->{name}() == {name}" for _, name in creator)
        publish = f"publishChange(AttrId::{n});" if self.publishes else ""
        w.call(f"Zat::Ptr<{E}> {T}::{n}Is", [f"{t.param} {name}" for t, name in creator], " {").indent()
        one = f"if ({n}_{same}) return {n}_;"
        if len(one) <= w.room():
            w(one)
        else:
            # One comparison a line when they do not fit on one.
            conds = [f"{n}_"] + [f"{n}_->{name}() == {name}" for _, name in creator]
            w(f"if ({conds[0]} &&")
            for c in conds[1:-1]:
                w(f"    {c} &&")
            w(f"    {conds[-1]}) {{").indent()(f"return {n}_;").dedent()("}")
        if self.links_parent():
            w(f"if ({n}_) {n}_->parentIs(nullptr);")
        if self.embedded:
            w(f"Zat::Ptr<{E}> fresh = {n}Room_.make({args});  // on the heap while the room is taken")
            w(f"{n}_ = fresh ? std::move(fresh) : {E}::{self.target.name}Is({args});")
        else:
            w(f"{n}_ = {E}::{self.target.name}Is({args});")
        if self.links_parent():
            w(f"{n}_->parentIs(Zat::Ptr<Zat::Entity>(this));")
        if publish:
            w(publish)
        w(f"return {n}_;")
        w.dedent()("}")
        w(f"Zat::Ptr<{E}> {T}::{n}Del() {{").indent()
        w(f"Zat::Ptr<{E}> old = std::move({n}_);")
        w(f"{n}_ = nullptr;")
        if self.links_parent():
            w("if (old) old->parentIs(nullptr);")
        if publish:
            w(f"if (old) {publish}")
        w("return old;")
        w.dedent()("}")
        w()
        if self.embedded:
            w(f"void {T}::zeroReferencesIs(bool) noexcept {{").indent()
            w(f"{n}Room_.releaseOwner(this);").dedent()("}")
            w()

    def generic_case(self, g):
        n, creator = self.name, self.target.creator
        args = [g.argument("value", i, len(creator), t) for i, (t, _) in enumerate(creator)]
        create = f"[&] {{ return self.{n}Is({', '.join(args)}).get(); }}"
        if len(create) > 90:  # one argument a line
            create = f"[&] {{\n   return self.{n}Is(\n" + ",\n".join(f"         {a}" for a in args) + ").get();\n}"
        return "Zat::gen::owned", ["op", f"self.{n}().get()", create,
                                   f"[&] {{ self.{n}Del(); }}", "value"]
