class SchemaError(Exception):
    """A schema mistake, reported as `file:line: message` so editors can jump to it."""

    def __init__(self, path, line, message):
        super().__init__(f"{path}:{line}: {message}")
        self.path = path
        self.line = line
        self.message = message
