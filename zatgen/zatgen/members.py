"""Collection members shared by value types and entities.

A collection inside a value type changes silently; on an entity each change is published with the
collection's attribute id and the key, unless the collection is declared silent.
"""
from .cpp import cpp_type, param_type


def coll_cpp(unit, decl, a):
    """The C++ type of a collection attribute."""
    key = cpp_type(unit, a.type)
    if a.kind == "set":
        return f"Zat::ValueSet<{key}, {a.hash_const}u>"
    if a.kind == "map":
        return f"Zat::ValueMap<{key}, {cpp_type(unit, a.value_type)}, {a.hash_const}u>"
    if a.kind == "coll":
        return f"Zat::EntityCollection<{key}, {a.hash_const}u>"
    if a.kind == "ordered":
        target = unit.find(a.type)
        return f"Zat::OrderedMap<{key}, {cpp_type(unit, target.key_attr.type)}>"
    if a.kind == "orderedmap":
        k, v = cpp_type(unit, a.type), cpp_type(unit, a.value_type)
        return f"Zat::OrderedMap<Zat::OrderedValueNode<{k}, {v}>, {k}>"
    raise AssertionError(a.kind)


def key_type(unit, a):
    if a.is_entity_collection:
        return unit.find(a.type).key_attr.type
    return a.type


def publishes(decl, a):
    return decl.kind == "entity" and not a.silent


def declare(unit, decl, a, w):
    """Declarations of one collection's members inside the owner's class."""
    n = a.name
    kp = param_type(unit, key_type(unit, a))
    w(f"// {n}: {a.kind} collection")
    if a.kind == "set":
        w(f"void {n}Is({kp} key);")
        w(f"bool {n}Del({kp} key);")
        w(f"bool {n}Has({kp} key) const noexcept {{ return {n}_.contains(key); }}")
    elif a.kind == "map":
        vp = param_type(unit, a.value_type)
        v = cpp_type(unit, a.value_type)
        w(f"void {n}Is({kp} key, {vp} value);")
        w(f"bool {n}Del({kp} key);")
        w(f"bool {n}Has({kp} key) const noexcept {{ return {n}_.contains(key); }}")
        w("// The value of `key`, or the default value when absent.")
        w(f"{v} {n}({kp} key) const;")
    elif a.kind == "orderedmap":
        vp = param_type(unit, a.value_type)
        v = cpp_type(unit, a.value_type)
        w(f"void {n}Is({kp} key, {vp} value);")
        w("// Removes `key`; answers the value it had, or the default value when it was absent.")
        w(f"{v} {n}Del({kp} key);")
        w(f"bool {n}Has({kp} key) const {{ return {n}_.find(key) != nullptr; }}")
        w(f"{v} {n}({kp} key) const;")
    else:
        target = unit.find(a.type)
        params = ", ".join(f"{param_type(unit, c.type)} {c.name}" for c in target.ctor_attrs)
        w("// Finds or creates the member; different constructor attributes for an existing key are refused.")
        w(f"Zat::Ptr<{a.type}> {n}Is({params});")
        w(f"Zat::Ptr<{a.type}> {n}Del({kp} key);")
        w(f"bool {n}Has({kp} key) const {{ return {n}_.find(key) != nullptr; }}")
        w(f"Zat::Ptr<{a.type}> {n}({kp} key) const {{ return Zat::Ptr<{a.type}>({n}_.find(key)); }}")
    w(f"void {n}DelAll();")
    w(f"std::size_t {n}Size() const noexcept {{ return {n}_.size(); }}")

    w(f"{coll_cpp(unit, decl, a)} const& {n}Collection() const noexcept {{ return {n}_; }}")
    w(f"auto {n}Iter() const {{ return {n}_.cursor(); }}")


def define(unit, decl, a, w):
    """Out-of-line definitions of one collection's members."""
    T, n = decl.name, a.name
    kp = param_type(unit, key_type(unit, a))
    pub = publishes(decl, a)

    def publish(key="key", present="true"):
        hook = f"{n}OnChange({key}, {present});" if a.hook else ""
        return (f"publishChange({a.id}, {key});" if pub else "") + (" " + hook if hook and pub else hook)

    if a.kind == "set":
        w(f"void {T}::{n}Is({kp} key) {{").indent()
        w(f"if ({n}_.insert(key)) {{ {publish()} }}" if publish() else f"{n}_.insert(key);")
        w.dedent()("}")
        w(f"bool {T}::{n}Del({kp} key) {{").indent()
        w(f"if (!{n}_.erase(key)) return false;")
        if publish():
            w(publish(present="false"))
        w("return true;")
        w.dedent()("}")
    elif a.kind == "map":
        vp = param_type(unit, a.value_type)
        v = cpp_type(unit, a.value_type)
        w(f"void {T}::{n}Is({kp} key, {vp} value) {{").indent()
        w(f"if ({n}_.set(key, value)) {{ {publish()} }}" if publish() else f"{n}_.set(key, value);")
        w.dedent()("}")
        w(f"bool {T}::{n}Del({kp} key) {{").indent()
        w(f"if (!{n}_.erase(key)) return false;")
        if publish():
            w(publish(present="false"))
        w("return true;")
        w.dedent()("}")
        w(f"{v} {T}::{n}({kp} key) const {{").indent()
        w(f"{v} const* v = {n}_.find(key);")
        w(f"return v ? *v : {v}{{}};")
        w.dedent()("}")
    elif a.kind == "orderedmap":
        vp = param_type(unit, a.value_type)
        v = cpp_type(unit, a.value_type)
        node = f"Zat::OrderedValueNode<{cpp_type(unit, a.type)}, {v}>"
        w(f"void {T}::{n}Is({kp} key, {vp} value) {{").indent()
        w(f"if (auto* node = {n}_.find(key)) {{").indent()
        w("if (node->value() == value) return;")
        w("node->valueIs(value);")
        w.dedent()("} else {").indent()
        w(f"{n}_.memberNewChild(Zat::Ptr<{node}>(new {node}(key, value)));")
        w.dedent()("}")
        if publish():
            w(publish())
        w.dedent()("}")
        w(f"{v} {T}::{n}Del({kp} key) {{").indent()
        w(f"auto node = {n}_.memberDel(key);")
        w(f"if (!node) return {v}{{}};")
        if publish():
            w(publish(present="false"))
        w("return node->value();")
        w.dedent()("}")
        w(f"{v} {T}::{n}({kp} key) const {{").indent()
        w(f"auto const* node = {n}_.find(key);")
        w(f"return node ? node->value() : {v}{{}};")
        w.dedent()("}")
    else:
        _define_entity_collection(unit, decl, a, w, kp, publish)
    # Delete-all: one notification per member when watched; dropped at once when nobody watches.
    w(f"void {T}::{n}DelAll() {{").indent()
    if pub or a.is_entity_collection or a.hook:
        cond = "!hasNotifiees()" if pub else "true"
        if a.hook:
            cond = "false"  # the owner hears each removal
        if a.is_entity_collection and unit.find(a.type).base == "Zat::Entity":
            cond = "false"  # children must be unlinked one by one
        w(f"if ({cond}) {{").indent()
        w(f"{n}_.{'memberClearAll' if a.kind in ('ordered', 'orderedmap') else 'clear'}();")
        w("return;")
        w.dedent()("}")
        w(f"for (auto c = {n}_.cursor(); c; ++c) {n}Del(c.key());")
    else:
        w(f"{n}_.{'memberClearAll' if a.kind in ('ordered', 'orderedmap') else 'clear'}();")
    w.dedent()("}")
    w()


def _define_entity_collection(unit, decl, a, w, kp, publish):
    T, n, E = decl.name, a.name, a.type
    target = unit.find(E)
    key = target.key_attr
    ctor = target.ctor_attrs
    params = ", ".join(f"{param_type(unit, c.type)} {c.name}" for c in ctor)
    args = ", ".join(c.name for c in ctor)
    is_entity = target.base == "Zat::Entity"
    w(f"Zat::Ptr<{E}> {T}::{n}Is({params}) {{").indent()
    w(f"if ({E}* existing = {n}_.find({key.name})) {{").indent()
    for c in ctor[1:]:
        w(f"if (!(existing->{c.name}() == {c.name})) {{").indent()
        if c.type == "String":
            w(f'Zat::throwMutatorReinstantiating("{unit.namespace}::{E}", "{c.name}", existing->{c.name}(), {c.name});')
        else:
            w(f'Zat::throwMutatorReinstVal("{unit.namespace}::{E}", "{c.name}", '
              f"Zat::strepOf(existing->{c.name}()).view(), Zat::strepOf({c.name}).view());")
        w.dedent()("}")
    w(f"return Zat::Ptr<{E}>(existing);")
    w.dedent()("}")
    if a.kind == "coll":
        w(f"Zat::Ptr<{E}> e = {E}::{E}Is({args});")
        w(f"{n}_.findOrInsert({key.name}, [&] {{ return e; }});")
    else:
        w(f"Zat::Ptr<{E}> e = {E}::{E}Is({args});")
        w(f"{n}_.memberNewChild(e);")
    if is_entity:
        w("e->parentIs(Zat::Ptr<Zat::Entity>(this));")
    if publish(key.name):
        w(publish(key.name))
    w("return e;")
    w.dedent()("}")
    w(f"Zat::Ptr<{E}> {T}::{n}Del({kp} key) {{").indent()
    w(f"Zat::Ptr<{E}> e = {n}_.{'erase' if a.kind == 'coll' else 'memberDel'}(key);")
    w("if (!e) return e;")
    if is_entity:
        w("e->parentIs(nullptr);")
    if publish():
        w(publish(present="false"))
    w("return e;")
    w.dedent()("}")


def declare_hook(unit, a, w):
    n = a.name
    kp = param_type(unit, key_type(unit, a))
    w(f"// Hand-written: told of every key that enters ({n}Is) or leaves ({n}Del, {n}DelAll).")
    w(f"void {n}OnChange({kp} key, bool present);")


def declare_owned(unit, a, w):
    n, E = a.name, a.type
    target = unit.find(E)
    params = ", ".join(f"{param_type(unit, c.type)} {c.name}" for c in target.ctor_attrs)
    w(f"// {n}: single owned entity")
    w(f"Zat::Ptr<{E}> const& {n}() const noexcept {{ return {n}_; }}")
    w("// Keeps the present one when its constructor attributes are these; otherwise replaces it with a new one.")
    w(f"Zat::Ptr<{E}> {n}Is({params});")
    w("// Drops the entity and returns it (null when there was none).")
    w(f"Zat::Ptr<{E}> {n}Del();")


def define_owned(unit, decl, a, w):
    T, n, E = decl.name, a.name, a.type
    target = unit.find(E)
    ctor = target.ctor_attrs
    params = ", ".join(f"{param_type(unit, c.type)} {c.name}" for c in ctor)
    args = ", ".join(c.name for c in ctor)
    same = " && ".join(f"{n}_->{c.name}() == {c.name}" for c in ctor) or "true"
    pub = "" if a.silent else f"publishChange({a.id});"
    w(f"Zat::Ptr<{E}> {T}::{n}Is({params}) {{").indent()
    w(f"if ({n}_ && {same}) return {n}_;")
    w(f"{n}_ = {E}::{E}Is({args});")
    if target.base == "Zat::Entity":
        w(f"{n}_->parentIs(Zat::Ptr<Zat::Entity>(this));")
    if pub:
        w(pub)
    w(f"return {n}_;")
    w.dedent()("}")
    w(f"Zat::Ptr<{E}> {T}::{n}Del() {{").indent()
    w(f"Zat::Ptr<{E}> old = std::move({n}_);")
    w(f"{n}_ = nullptr;")
    if pub:
        w(f"if (old) {pub}")
    w("return old;")
    w.dedent()("}")
    w()
