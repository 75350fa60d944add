"""The schema reader: turns a schema's text into declarations with the position of every word.

A schema is a table of types, one declaration per line, members indented below their type:

    namespace VelL3Common                       the unit's C++ namespace
    header "Vel/VelL3CommonLocalTypes.h"        where users include the generated header from
    import "ipkit/Ipkit.zat"                    another schema whose types this one names
    value L4App                                 a value type; options: bare
      proto  Ipkit::IpProto  ctor               member: name, type, flags
      srcIp  set Ipkit::IpGenPrefix  hash 34    a collection member: kind word, types, flags
      fn stringValue() const -> String          a hand-written operation, defined in C++
    enum RedirectPolicyType                     an 8-bit enumeration
      groupRedirect                             enumerators, numbered from 0 in order
    entity LocalData : Zat::Entity              an entity and its base
    foreign IpGenAddr header "Ipkit/IpGenAddr.h"   a hand-written value type (type schemas only)

`#` starts a comment; comment lines right above a type or member document it in the generated code.
This is the only place that looks at a member's kind word: it picks the member class (members/) that
owns everything about that kind from here on.
"""
import re
from dataclasses import dataclass, field

from . import members
from .model import GlobalLog, GlobalString, GlobalTrace, TypeKind

TOKEN = re.compile(r"""\s*(?:(?P<string>"(?:[^"\\\n]|\\.)*")|(?P<word>[A-Za-z_]\w*(?:::[A-Za-z_]\w*)*)"""
                   r"""|(?P<number>-?\d[\w.]*(?:[eE][+-]?\d+)?)|(?P<punct>->|[(),:&<>])|(?P<comment>\#.*)|(?P<bad>\S))""")
IDENT = re.compile(r"[A-Za-z_]\w*")

TYPE_KEYWORDS = {"value": TypeKind.VALUE, "enum": TypeKind.ENUM, "entity": TypeKind.ENTITY, "flags": TypeKind.FLAGS}
# Value options: `bare` (the text form is the one attribute's), `order` (a hand-written operator<),
# `noorder` and `nohash`. Entity options: `root` (a named root, created by name), `named` (a nested
# entity created with an entity name, which keys it in collections), `nofactory` (no free factory and no
# static creator: only its owner's collection makes it).
TYPE_OPTIONS = {TypeKind.VALUE: {"bare", "order", "noorder", "nohash"}, TypeKind.ENUM: set(), TypeKind.FLAGS: set(),
                TypeKind.ENTITY: {"nofactory", "root", "named"}}
# Member flags that take a value, and those that stand alone.
VALUE_FLAGS = {"default", "const", "hash", "key", "less", "requests"}
PLAIN_FLAGS = {"ctor", "silent", "hidden", "readonly", "hook", "noparent", "delreturns", "virtual", "override",
               "requested", "embedded"}
# `entity`: a hand-written entity class of the runtime, named only through Ptr<...>.
FOREIGN_FLAGS = {"byvalue", "noorder", "nohash", "noparse", "entity"}
LITERALS = {"integer", "boolean", "string", "float"}
ACTIONS = {"ContactSupport", "CallSupportIfPersists", "NoActionRequired"}


@dataclass(frozen=True)
class Tok:
    text: str
    line: int
    col: int
    kind: str  # word | string | number | punct

    @property
    def value(self):
        """The text of a string token without its quotes and escapes."""
        return re.sub(r"\\(.)", r"\1", self.text[1:-1]) if self.kind == "string" else self.text


@dataclass
class MemberSyntax:
    kind: type                 # the member class (members/) that the kind word and flags chose
    name: Tok
    line: int
    text: str                  # the schema line as written, for the generated code's provenance
    doc: list
    types: list = field(default_factory=list)     # type names after the kind word
    flags: dict = field(default_factory=dict)     # flag -> its value token (or the flag's own token)
    params: list = field(default_factory=list)    # fn: (type token, name token)
    ret: Tok | None = None                        # fn: return type
    qualifier: str = ""                           # fn: "", "const" or "static"
    cpp_type: str = ""                            # cpp: the C++ type text
    count: int = 0                                # reserve: the positions left unused


@dataclass
class TypeSyntax:
    kind: TypeKind
    name: Tok
    line: int
    text: str
    doc: list
    base: Tok | None = None
    options: dict = field(default_factory=dict)
    members: list = field(default_factory=list)
    enumerators: list = field(default_factory=list)


@dataclass
class ForeignSyntax:
    name: Tok
    line: int
    doc: list
    cpp: Tok | None = None
    header: Tok | None = None
    flags: set = field(default_factory=set)
    literal: str | None = None
    max: int | None = None


@dataclass
class FileSyntax:
    path: str
    doc: list = field(default_factory=list)
    namespace: Tok | None = None
    header: Tok | None = None
    prelude: bool = False
    imports: list = field(default_factory=list)      # string tokens
    includes: list = field(default_factory=list)     # string tokens
    externs: list = field(default_factory=list)      # (name token, header token)
    foreigns: list = field(default_factory=list)
    globals: list = field(default_factory=list)      # GlobalLog | GlobalTrace | GlobalString, load order
    types: list = field(default_factory=list)
    functions: list = field(default_factory=list)    # hand-written free functions of the namespace


class _Line:
    def __init__(self, path, number, raw, diag):
        self.path, self.number, self.raw, self.diag = path, number, raw, diag
        self.toks, self.ok = [], True
        for m in TOKEN.finditer(raw):
            kind = m.lastgroup
            if kind == "comment":
                break
            col = m.start(kind) + 1
            if kind == "bad":
                text = m.group(kind)
                self.fail(col, "unterminated string" if text == '"' else f"unexpected character {text!r}")
                break
            self.toks.append(Tok(m.group(kind), number, col, kind))

    def fail(self, col, message):
        if self.ok:
            self.diag.error(self.path, self.number, col, message)
        self.ok = False

    def fail_at(self, tok, message):
        self.fail(tok.col if tok else len(self.raw.rstrip()) + 1, message)


class _Cursor:
    """Walks a line's tokens; every `need` failure is reported once, at the word where it happened."""

    def __init__(self, line, start=0):
        self.line, self.i = line, start

    def peek(self, offset=0):
        j = self.i + offset
        return self.line.toks[j] if j < len(self.line.toks) else None

    def take(self):
        tok = self.peek()
        self.i += 1
        return tok

    def need(self, kind, what, text=None):
        tok = self.peek()
        if tok is None or tok.kind != kind or (text is not None and tok.text != text):
            self.line.fail_at(tok, f"expected {what}")
            return None
        self.i += 1
        return tok

    def done(self, usage):
        tok = self.peek()
        if tok is not None:
            self.line.fail_at(tok, f"unexpected {tok.text!r}; expected: {usage}")


def _type(c, what):
    """A type name, or `Ptr<NAME>` / `Ptr<NAME const>` (a counted pointer to an entity), as one token."""
    tok = c.need("word", what)
    if tok is None or tok.text != "Ptr" or c.peek() is None or c.peek().text != "<":
        return tok
    c.take()
    inner = c.need("word", "the entity type a Ptr points at")
    const = c.peek() is not None and c.peek().text == "const"
    if const:
        c.take()
    if inner is None or not c.need("punct", "'>' closing the Ptr type", ">"):
        return None
    return Tok(f"Ptr<{inner.text}{' const' if const else ''}>", tok.line, tok.col, "word")


def read(path, text, diag):
    """The declarations of one schema file; mistakes go to `diag`."""
    f = FileSyntax(path)
    current, doc = None, []
    for number, raw in enumerate(text.splitlines(), start=1):
        stripped = raw.strip()
        if not stripped:
            doc = []
            continue
        if stripped.startswith("#"):
            doc.append(stripped[1:].strip())
            continue
        line = _Line(path, number, raw, diag)
        if not line.toks or not line.ok:
            doc = []
            if raw[0] not in " \t":
                current = None
            continue
        if raw[0] in " \t":
            if current is None:
                line.fail(line.toks[0].col, "member outside of a type")
            elif current.kind is TypeKind.ENUM:
                _enumerator(current, line)
            elif current.kind is TypeKind.FLAGS:
                _flag(current, line)
            else:
                member = _member(line, doc)
                if member is not None:
                    current.members.append(member)
        else:
            current = _top(f, line, doc)
        doc = []
    if f.namespace is None:
        diag.error(path, 1, 1, "missing 'namespace' line")
    return f


def _top(f, line, doc):
    c = _Cursor(line)
    keyword = c.take()
    word = keyword.text
    if word == "namespace":
        name = c.need("word", "a namespace name")
        c.done("namespace NAME")
        if name and f.namespace is not None:
            line.fail_at(keyword, "namespace given twice")
        elif name:
            # The comment right above the namespace line documents the whole unit.
            f.namespace, f.doc = name, doc
        return None
    if f.namespace is None and line.ok:
        line.fail_at(keyword, "the 'namespace' line must come first")
        return None
    if word in ("header", "import", "include"):
        tok = c.need("string", 'a quoted path')
        c.done(f'{word} "PATH"')
        if tok and word == "header":
            f.header = tok
        elif tok:
            (f.imports if word == "import" else f.includes).append(tok)
        return None
    if word == "prelude":
        c.done("prelude")
        f.prelude = True
        return None
    if word == "extern":
        name, header = c.need("word", "a type name"), c.need("string", "its quoted header")
        c.done('extern TYPE "HEADER"')
        if name and header:
            f.externs.append((name, header))
        return None
    if word == "foreign":
        _foreign(f, c, line, doc)
        return None
    if word in ("log", "trace", "global"):
        _global(f, c, word, line)
        return None
    if word == "fn":
        fn = _fn(line, _Cursor(line), doc)
        if fn is not None:
            f.functions.append(fn)
        return None
    if word not in TYPE_KEYWORDS:
        line.fail_at(keyword, f"unknown declaration '{word}'")
        return None
    kind = TYPE_KEYWORDS[word]
    name = c.need("word", f"a name after '{word}'")
    if name and not IDENT.fullmatch(name.text):
        line.fail_at(name, f"a type name is one identifier, not {name.text}")
    base = None
    if kind is TypeKind.ENTITY:
        if c.need("punct", "':' and the entity's base", ":"):
            base = c.need("word", "the entity's base type")
    elif kind is TypeKind.FLAGS:
        # The unsigned integer that holds the bits stands where an entity's base does.
        base = c.need("word", "the unsigned integer type that holds the flags")
    decl = TypeSyntax(kind, name, line.number, line.raw.strip(), doc, base=base)
    while c.peek() is not None and line.ok:
        opt = c.take()
        if opt.text not in TYPE_OPTIONS[kind]:
            line.fail_at(opt, f"unknown option '{opt.text}' for {word} {name.text if name else ''}".rstrip())
        decl.options[opt.text] = opt
    if not line.ok or name is None:
        return _Skipped()
    f.types.append(decl)
    return decl


class _Skipped:
    """Stands for a type whose heading line was wrong, so that its members are not reported again."""
    kind = TypeKind.VALUE
    members: list = []
    enumerators: list = []


def _foreign(f, c, line, doc):
    name = c.need("word", "a type name")
    if name is None:
        return
    decl = ForeignSyntax(name, line.number, doc)
    while c.peek() is not None and line.ok:
        tok = c.take()
        if tok.text in ("cpp", "header"):
            val = c.need("string", f"a quoted {'C++ spelling' if tok.text == 'cpp' else 'header'}")
            setattr(decl, tok.text, val)
        elif tok.text in FOREIGN_FLAGS:
            decl.flags.add(tok.text)
        elif tok.text in LITERALS:
            decl.literal = tok.text
            if tok.text == "integer":
                top = c.need("number", "the largest value of the integer")
                decl.max = int(top.text) if top and top.text.isdigit() else None
        else:
            line.fail_at(tok, f"unknown foreign type flag '{tok.text}'")
    if line.ok:
        f.foreigns.append(decl)


def _global(f, c, word, line):
    cpp = c.need("word", "the C++ name of the global object")
    if word == "trace":
        name = c.need("string", "the quoted trace facility name")
        c.done('trace CPPNAME "NAME"')
        if line.ok:
            f.globals.append(GlobalTrace(cpp, name.value))
    elif word == "global":
        c.need("word", "'String'", "String")
        value = c.need("string", "the quoted value")
        c.done('global CPPNAME String "VALUE"')
        if line.ok:
            f.globals.append(GlobalString(cpp, value.value))
    else:
        usage = 'log CPPNAME "NAME" SEVERITY "FORMAT" "EXPLANATION" ACTION'
        name = c.need("string", "the quoted handle name")
        severity = c.need("number", "the severity")
        fmt = c.need("string", "the quoted format")
        explanation = c.need("string", "the quoted explanation")
        action = c.peek()
        if action is None or action.kind not in ("word", "string"):
            line.fail_at(action, f"expected the recommended action; {usage}")
            return
        c.take()
        c.done(usage)
        if not line.ok:
            return
        if re.search(r"%[^s%]", fmt.value) or fmt.value.count("%s") > 4:
            line.fail_at(fmt, "a log format takes at most four %s placeholders and nothing else")
        elif action.kind == "word" and action.text not in ACTIONS:
            line.fail_at(action, f"unknown recommended action {action.text}; quote a literal text")
        else:
            f.globals.append(GlobalLog(cpp, name.value, int(severity.text), fmt.value, explanation.value,
                                       action.value, action.kind == "string"))


def _enumerator(decl, line):
    tok = line.toks[0]
    if tok.kind != "word" or not IDENT.fullmatch(tok.text):
        line.fail_at(tok, "expected an enumerator name")
    elif len(line.toks) > 1:
        line.fail_at(line.toks[1], "one enumerator per line")
    else:
        decl.enumerators.append(tok)


def _flag(decl, line):
    c = _Cursor(line)
    name = c.need("word", "a flag name")
    bit = c.need("number", "the flag's bit, such as 0x004")
    c.done("NAME BIT")
    if line.ok:
        decl.enumerators.append((name, bit))


def _member(line, doc):
    c = _Cursor(line)
    first = c.peek()
    if first.text == "fn":
        return _fn(line, c, doc)
    if first.text == "cpp":
        # A hand-written data member of the generated class: not an attribute, no id, not reflected.
        c.take()
        name = c.need("word", "the member's name")
        rest = line.raw[line.toks[c.i].col - 1:].split("#", 1)[0].strip() if c.peek() else ""
        if name and not rest:
            line.fail(len(line.raw.rstrip()) + 1, "expected the member's C++ type")
        if not line.ok:
            return None
        return MemberSyntax(members.HandWritten, name, line.number, line.raw.strip(), doc, cpp_type=rest)
    if first.text == "reserve" and len(line.toks) > 1 and line.toks[1].kind == "number":
        # Attribute positions kept free for members that do not exist yet, so later ones keep their ids.
        c.take()
        count = c.take()
        c.done("reserve COUNT")
        if line.ok and (not count.text.isdigit() or int(count.text) < 1):
            line.fail_at(count, f"reserve takes a count of positions from 1, not {count.text}")
        if not line.ok:
            return None
        return MemberSyntax(members.Reserve, first, line.number, line.raw.strip(), doc, count=int(count.text))
    name = c.need("word", "a member name")
    if name is None:
        return None
    kind_tok = c.peek()
    if kind_tok is None:
        line.fail_at(None, f"expected the type of {name.text}")
        return None
    kind = members.KINDS.get(kind_tok.text)
    if kind is not None:
        c.take()
    else:
        kind = members.Plain
    syntax = MemberSyntax(kind, name, line.number, line.raw.strip(), doc)
    for _ in range(kind.TYPE_WORDS):
        t = _type(c, f"a type name ({kind.USAGE})")
        if t is not None:
            syntax.types.append(t)
    while line.ok and c.peek() is not None:
        flag = c.take()
        if flag.text in VALUE_FLAGS:
            val = c.take()
            if val is None:
                line.fail_at(flag, f"'{flag.text}' needs a value")
                break
            syntax.flags[flag.text] = val
        elif flag.text in PLAIN_FLAGS:
            syntax.flags[flag.text] = flag
        else:
            line.fail_at(flag, f"unknown flag '{flag.text}'")
    if not line.ok:
        return None
    # Two flags make a plain member another kind; every other flag is checked by the kind itself.
    if "ctor" in syntax.flags and "const" in syntax.flags:
        line.fail_at(syntax.flags["const"], "'const' cannot be combined with 'ctor'")
        return None
    for flag, cls in (("ctor", members.Ctor), ("const", members.Const)):
        if flag in syntax.flags:
            if syntax.kind is not members.Plain:
                line.fail_at(syntax.flags[flag], f"'{flag}' applies to plain attributes only")
                return None
            syntax.kind = cls
    syntax.flags.pop("ctor", None)
    return syntax


def _fn(line, c, doc):
    usage = "fn NAME(TYPE NAME, ...) [const|static] -> TYPE [hidden|virtual|override]"
    c.take()
    name = c.need("word", f"the operation's name; {usage}")
    syntax = MemberSyntax(members.Function, name, line.number, line.raw.strip(), doc)
    if name is None or not c.need("punct", f"'('; {usage}", "("):
        return None
    while line.ok and not (c.peek() and c.peek().text == ")"):
        if syntax.params and not c.need("punct", "',' or ')'", ","):
            return None
        ptype = _type(c, "a parameter type")
        pname = c.need("word", "a parameter name")
        if ptype and pname:
            syntax.params.append((ptype, pname))
    if not c.need("punct", "')'", ")"):
        return None
    if c.peek() is not None and c.peek().text in ("const", "static"):
        syntax.qualifier = c.take().text
    if not c.need("punct", f"'->' and the result type; {usage}", "->"):
        return None
    syntax.ret = _type(c, "the result type (Void for none)")
    while c.peek() is not None and c.peek().text in ("hidden", "virtual", "override"):
        flag = c.take()
        syntax.flags[flag.text] = flag
    c.done(usage)
    return syntax if line.ok else None
