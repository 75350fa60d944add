"""Schema mistakes, reported as `file:line:col: message` so that editors jump to them.

The reader and the resolver record every mistake they find and carry on where they can, so that one run
reports all of a schema's mistakes; nothing is written unless there are none.
"""
from dataclasses import dataclass


@dataclass(frozen=True, order=True)
class Diagnostic:
    path: str
    line: int
    col: int
    message: str

    def __str__(self):
        return f"{self.path}:{self.line}:{self.col}: {self.message}"


class SchemaErrors(Exception):
    """Raised once a stage has finished with mistakes; carries all of them in file order."""

    def __init__(self, diagnostics):
        self.diagnostics = sorted(set(diagnostics))
        super().__init__("\n".join(str(d) for d in self.diagnostics))


class Diagnostics:
    def __init__(self):
        self.found = []

    def error(self, path, line, col, message):
        self.found.append(Diagnostic(path, line, col, message))

    def at(self, path, tok, message):
        """An error at a token (anything with `line` and `col`)."""
        self.error(path, tok.line, tok.col, message)

    def raise_if_any(self):
        if self.found:
            raise SchemaErrors(self.found)
