"""Writes readable C++: indentation, sections, comments wrapped to the project's width, and calls laid
out one argument a line when they do not fit, so that a debugger stops on each lambda."""
import textwrap

INDENT = "   "
WIDTH = 110


class Writer:
    def __init__(self):
        self.lines = []
        self.level = 0

    def __call__(self, text=""):
        for line in text.split("\n"):
            self.lines.append((INDENT * self.level + line) if line else "")
        return self

    def indent(self):
        self.level += 1
        return self

    def dedent(self):
        self.level -= 1
        return self

    def room(self):
        return WIDTH - len(INDENT) * self.level

    def comment(self, text):
        """A `//` comment, wrapped to the width."""
        for para in text.split("\n"):
            wrapped = textwrap.wrap(para, self.room() - 3, break_on_hyphens=False) or [""]
            for line in wrapped:
                self(f"// {line}".rstrip())
        return self

    def section(self, title):
        bar = "// " + "-" * (self.room() - 3)
        self(bar)(f"// {title}")(bar)

    def inline(self, signature, body):
        """An inline function: on one line when it fits, else with its body on a line of its own, and its
        parameters below its name when even the signature does not fit."""
        one = f"{signature} {{ {body} }}"
        if len(one) <= self.room():
            return self(one)
        if len(signature) + 2 > self.room() and "(" in signature:
            name, rest = signature.split("(", 1)
            params, tail = rest.rsplit(")", 1)
            self.call(name, [p.strip() for p in params.split(", ")], f"{tail} {{")
        else:
            self(f"{signature} {{")
        return self.indent()(body).dedent()("}")

    def function(self, ret, rest, body):
        """An inline function `ret rest { body }`, the result type on a line of its own when too long."""
        one = f"{ret} {rest} {{ {body} }}"
        if len(one) <= self.room():
            return self(one)
        return self(ret).inline(rest, body)

    def guard(self, condition, statement, braces=False):
        """`if (condition) statement` on one line when it fits (in braces if asked), else with the statement
        in braces on a line of its own."""
        one = f"if ({condition}) {{ {statement} }}" if braces else f"if ({condition}) {statement}"
        if len(one) <= self.room():
            return self(one)
        return self(f"if ({condition}) {{").indent()(statement).dedent()("}")

    def call(self, head, args, tail=""):
        """`head(arg, ...)tail` on one line, or one argument a line below `head(` when it is too long."""
        one = f"{head}({', '.join(args)}){tail}"
        if len(one) <= self.room() and "\n" not in one:
            self(one)
            return self
        self(f"{head}(").indent().indent()
        for i, a in enumerate(args):
            self(a + (f"){tail}" if i == len(args) - 1 else ","))
        return self.dedent().dedent()

    def pack(self, head, items, tail):
        """`head item, item, ...tail`, packing the items onto as few lines as fit."""
        pad, line = " " * len(head), head
        for i, item in enumerate(items):
            piece = item + (tail if i == len(items) - 1 else ",")
            joined = line + ("" if line == head else " ") + piece
            if len(joined) > self.room() and line != head:
                self(line)
                line = pad + piece
            else:
                line = joined
        return self(line)

    def text(self):
        return "\n".join(self.lines).rstrip() + "\n"


def c_string(text, room):
    """A C++ string literal of `text`, split into adjacent literals to stay within `room` columns."""
    escaped = text.replace("\\", "\\\\").replace('"', '\\"')
    pieces, room = [], max(room - 2, 20)
    while len(escaped) > room:
        cut = escaped.rfind(" ", 0, room)
        cut = room if cut <= 0 else cut + 1
        while escaped[cut - 1] == "\\" and cut > 1:
            cut -= 1
        pieces.append(escaped[:cut])
        escaped = escaped[cut:]
    pieces.append(escaped)
    return ['"' + p + '"' for p in pieces]


def lambda_text(capture_params, body, limit=80):
    """A lambda on one line, or with each statement of its body on a line of its own when it is long."""
    statements = body if isinstance(body, list) else [body]
    one = f"{capture_params} {{ {' '.join(statements)} }}"
    if len(one) <= limit:
        return one
    return "\n".join([f"{capture_params} {{"] + [f"   {s}" for s in statements] + ["}"])
