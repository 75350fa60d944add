"""Single-valued attributes: plain (mutable), constructor (fixed at creation) and constant members."""
import re

from .base import Member


def literal_of(ref):
    """The type whose literal builds a value of `ref`: itself, or the one constructor attribute of a
    value type built from one literal (a bounded name, a key)."""
    if ref.literal is None and ref.decl is not None and ref.decl.is_value:
        ctor = ref.decl.ctor_members
        if len(ctor) == 1 and ctor[0].type is not None and ctor[0].type.literal is not None:
            return ctor[0].type
    return ref


def literal_error(ref, tok):
    """Why `tok` is no literal of `ref`, or None when it is one."""
    ref = literal_of(ref)
    if ref.literal is None:
        return f"{ref.name} takes no literal default or constant"
    if ref.literal == "integer":
        ok = tok.kind == "number" and tok.text.isdigit() and int(tok.text) <= ref.max
        return None if ok else f"{tok.text} is not a valid {ref.name}"
    if ref.literal == "boolean":
        return None if tok.text in ("True", "False") else f"{tok.text} is not True or False"
    if ref.literal == "string":
        return None if tok.kind == "string" else f"{tok.text} is not a double-quoted string"
    ok = tok.kind == "number" and re.fullmatch(r"-?\d+(\.\d+)?([eE][+-]?\d+)?", tok.text)
    return None if ok else f"{tok.text} is not a number"


def cpp_literal(ref, tok):
    """The braced initialiser of a checked literal."""
    if tok is None:
        return "{}"
    ref = literal_of(ref)
    if ref.literal == "boolean":
        return "{" + ("true" if tok.text == "True" else "false") + "}"
    if ref.literal == "integer" and ref.max > 0xFFFF:
        return "{" + tok.text + "u}"
    return "{" + tok.text + "}"


class Single(Member):
    """What plain and constructor attributes share: storage, accessor, and their part in a value."""
    IN_VALUE = True
    LITERAL_FLAG = "default"

    def resolve(self, r):
        super().resolve(r)
        ref = self.type
        if ref is None:
            return
        if ref.is_entity:
            r.error(self.syntax.types[0], f"attribute {self.name} of {self.owner.name} cannot hold entity "
                                          f"{ref.name}; use 'owned'")
        if ref.holds_collection:
            self.owner.holds_collection = True
        tok = self.flags.get(self.LITERAL_FLAG)
        if tok is not None:
            problem = literal_error(ref, tok)
            if problem:
                r.error(tok, problem)

    def initialiser(self):
        return cpp_literal(self.type, self.flags.get(self.LITERAL_FLAG))

    def accessor(self, w):
        w.inline(f"{self.type.param} {self.name}() const noexcept", f"return {self.name}_;")

    def storage(self):
        return (self.type.cpp, self.initialiser())

    # ----- its part in a value type
    def eq_term(self):
        return f"{self.name}_ == o.{self.name}_"

    def less_lines(self):
        n = self.name
        return [f"if ({n}_ < o.{n}_) return true;", f"if (o.{n}_ < {n}_) return false;"]

    def hash_line(self):
        return f"Zat::mixAttr(h, {self.name}_);"

    def strep_arg(self):
        return f"Zat::strepOf(v.{self.name}())"

    def parse_line(self):
        return f'{self.name}_ = Zat::deserializeAttr<{self.type.cpp}>(r, "{self.name}");'


class Plain(Single):
    FLAGS = {"hidden", "default", "silent"}

    def allowed_flags(self):
        return self.FLAGS if self.owner.is_entity else self.FLAGS - {"silent"}

    def declare(self, w):
        self.accessor(w)
        p = self.type.param
        if self.owner.is_entity:
            w(f"void {self.name}Is({p} v);")
        else:
            w.inline(f"void {self.name}Is({p} v)", f"{self.name}_ = v;")

    def define(self, w):
        if not self.owner.is_entity:
            return
        T, n = self.owner.name, self.name
        w(f"void {T}::{n}Is({self.type.param} v) {{").indent()
        w(f"if ({n}_ == v) return;")
        w(f"{n}_ = v;")
        if self.publishes:
            w(f"publishChange(AttrId::{n});")
        w.dedent()("}")
        w()

    def generic_case(self, g):
        t, n = self.type.cpp, self.name
        return "Zat::gen::plain", ["op", f"self.{n}()", f"[&]({t} const& v) {{ self.{n}Is(v); }}", "value"]


class Ctor(Single):
    IS_CTOR = True
    TABLE_KIND = "constructor"
    FLAGS = {"hidden", "default"}

    def describe(self):
        return "constructor attribute"

    def flag_refusal(self, flag):
        if flag == "silent":
            return f"'silent' does not apply to constructor attribute {self.name}: it never changes"
        return super().flag_refusal(flag)

    def declare(self, w):
        self.accessor(w)

    def generic_case(self, g):
        return "Zat::gen::readOnly", ["op", f"self.{self.name}()", "value"]


class Const(Member):
    TABLE_KIND = "constant"
    FLAGS = {"hidden", "const"}

    def describe(self):
        return "constant"

    def resolve(self, r):
        super().resolve(r)
        if self.type is not None:
            problem = literal_error(self.type, self.flags["const"])
            if problem:
                r.error(self.flags["const"], problem)

    def declare(self, w):
        t = self.type.cpp
        literal = cpp_literal(self.type, self.flags['const'])
        if self.type.by_value:  # scalars are compile-time constants
            w.inline(f"static constexpr {t} {self.name}() noexcept", f"return {t}{literal};")
        else:
            # A value built from a literal may allocate: it is built once, not at every call (a level's
            # fixed requestor names are passed on each request).
            w(f"static {t} const& {self.name}() {{").indent()
            w(f"static {t} const value{literal};")("return value;").dedent()("}")

    def generic_case(self, g):
        return "Zat::gen::readOnly", ["op", f"self.{self.name}()", "value"]
