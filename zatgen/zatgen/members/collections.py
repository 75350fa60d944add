"""Keyed collections: value sets and maps, entity collections, ordered entity maps and ordered value maps.

Inside a value type a collection changes silently; on an entity each change is published with the
collection's attribute id and the key, unless the collection is silent. A `hook` collection also tells
its owner's hand-written `<name>OnChange(key, present)` of every key that enters or leaves, before the
change is published.
"""
from ..writer import lambda_text
from .base import Member


class Collection(Member):
    IS_COLLECTION = True
    IN_VALUE = True
    TABLE_KIND = "collection"
    HASHED = True            # a hash collection, which needs its constant
    HOLDS_ENTITIES = False
    FLAGS = {"hidden", "silent", "hook", "readonly", "hash"}

    def allowed_flags(self):
        flags = set(self.FLAGS)
        if not self.HASHED:
            flags.discard("hash")
        if not self.owner.is_entity:
            flags -= {"silent", "hook"}
        return flags

    def flag_refusal(self, flag):
        if flag == "hash":
            return f"'{self.describe()}' collection {self.owner.name}::{self.name} is ordered and takes no hash constant"
        return super().flag_refusal(flag)

    def resolve(self, r):
        super().resolve(r)
        self.owner.holds_collection = True
        self.constant = None
        if self.HASHED:
            tok = self.flags.get("hash")
            if tok is None:
                r.error(self.syntax.name, f"hash collection {self.owner.name}::{self.name} needs its constant ('hash N')")
            elif not tok.text.isdigit() or int(tok.text) > 0xFFFFFFFF:
                r.error(tok, f"hash constant {tok.text} is not a 32-bit unsigned number")
            else:
                self.constant = int(tok.text)
        if self.HOLDS_ENTITIES and not self.owner.is_entity:
            r.error(self.syntax.name, f"value {self.owner.name} cannot hold entities ({self.name})")

    @property
    def hook(self):
        return "hook" in self.flags

    @property
    def readonly(self):
        return "readonly" in self.flags

    @property
    def key(self):
        """The TypeRef of the key."""
        return self.type

    def table_type(self):
        return self.key.table_name

    def table_flags(self):
        return super().table_flags() + (["readonly"] if self.readonly else [])

    def check_key(self, r, tok):
        ref = self.type
        if ref is None:
            return
        if ref.is_entity:
            r.error(tok, f"key type {ref.name} of {self.name} is an entity; use 'coll' or 'ordered'")
        elif self.HASHED and not ref.hashable:
            r.error(tok, f"key type {ref.name} holds a collection and cannot be hashed"
                    if ref.holds_collection else f"key type {ref.name} cannot be hashed")
        elif not self.HASHED and not ref.ordered:
            r.error(tok, f"key type {ref.name} has no order")

    def cpp(self):
        raise NotImplementedError

    def less(self):
        """`, ORDER` when an ordered collection names a hand-written key order (`less ORDER`)."""
        tok = self.flags.get("less")
        return f", {tok.text}" if tok else ""

    # ----- its part in a value type: compared, and rendered as None
    def eq_term(self):
        return f"{self.name}_ == o.{self.name}_"

    def strep_arg(self):
        return '"None"'

    def storage(self):
        return (self.cpp(), "")

    def publish(self, key="key", present="true"):
        """The statements that tell the world of a change at `key`: the owner's hook first, so that what
        it keeps in step with the collection is in step before any watcher hears of the change."""
        parts = []
        if self.hook:
            parts.append(f"{self.name}OnChange({key}, {present});")
        if self.publishes:
            parts.append(f"publishChange(AttrId::{self.name}, {key});")
        return " ".join(parts)

    # ----- declarations
    def declare(self, w):
        self.declare_ops(w)
        n = self.name
        w(f"void {n}DelAll();")
        w.function("std::size_t", f"{n}Size() const noexcept", f"return {n}_.size();")
        w.function(f"{self.cpp()} const&", f"{n}Collection() const noexcept", f"return {n}_;")
        w(f"auto {n}Iter() const {{ return {n}_.cursor(); }}")

    def declare_private(self, w):
        if self.hook:
            w(f"// Hand-written: told of every key that enters ({self.name}Is) or leaves ({self.name}Del, "
              f"{self.name}DelAll).")
            w(f"void {self.name}OnChange({self.key.param} key, bool present);")

    def define(self, w):
        self.define_ops(w)
        self.define_del_all(w)
        w()

    def unlinks_children(self):
        return False

    def define_del_all(self, w):
        # One notification per member when watched; dropped at once when nobody needs to hear of each.
        n = self.name
        clear = f"{n}_.{self.CLEAR}();"
        each = f"for (auto c = {n}_.cursor(); c; ++c) {n}Del(c.key());"
        w(f"void {self.owner.name}::{n}DelAll() {{").indent()
        if self.hook or self.unlinks_children():
            w(each)
        elif self.publishes:
            w("if (!hasNotifiees()) {").indent()
            w(clear)
            w("return;")
            w.dedent()("}")
            w(each)
        else:
            w(clear)
        w.dedent()("}")

    CLEAR = "clear"

    # ----- generic interface
    def lambda_key(self, call):
        return lambda_text(f"[&]({self.key.cpp} const& k)", call)

    def generic_case(self, g):
        coll = f"self.{self.name}Collection()"
        if self.readonly:
            return "Zat::gen::readOnlyCollection", ["op", coll, "key", "value"]
        return self.mutable_case(g, coll)

    def generic_cursor(self, g):
        coll = f"self.{self.name}Collection()"
        if self.readonly:
            return "Zat::gen::iterator", [coll, "from"]
        return "Zat::gen::iterator", [coll, "from", f"[&self]({self.key.cpp} const& k) {{ self.{self.name}Del(k); }}"]


class ValueSet(Collection):
    USAGE = "NAME set KEY hash N [flags]"

    def describe(self):
        return "set"

    def resolve(self, r):
        super().resolve(r)
        self.check_key(r, self.syntax.types[0])

    def cpp(self):
        return f"Zat::ValueSet<{self.key.cpp}, {self.constant}u>"

    def declare_ops(self, w):
        n, kp = self.name, self.key.param
        w(f"void {n}Is({kp} key);")
        w(f"bool {n}Del({kp} key);")
        w.inline(f"bool {n}Has({kp} key) const noexcept", f"return {n}_.contains(key);")

    def define_ops(self, w):
        T, n, kp = self.owner.name, self.name, self.key.param
        publish = self.publish()
        w(f"void {T}::{n}Is({kp} key) {{").indent()
        w(f"if ({n}_.insert(key)) {{ {publish} }}" if publish else f"{n}_.insert(key);")
        w.dedent()("}")
        define_erase(w, self)

    def mutable_case(self, g, coll):
        n = self.name
        return "Zat::gen::set", ["op", coll, self.lambda_key(f"self.{n}Is(k);"), self.lambda_key(f"self.{n}Del(k);"),
                                 "key", "value", f'"{self.owner.full_name}"', f'"{n}"']


def define_erase(w, c):
    w.call(f"bool {c.owner.name}::{c.name}Del", [f"{c.key.param} key"], " {").indent()
    w(f"if (!{c.name}_.erase(key)) return false;")
    if c.publish():
        w(c.publish(present="false"))
    w("return true;")
    w.dedent()("}")


class MapBase(Collection):
    TYPE_WORDS = 2

    def resolve(self, r):
        super().resolve(r)
        self.check_key(r, self.syntax.types[0])
        self.value = r.type_ref(self.syntax.types[1], self.owner)
        if self.value is not None and self.value.is_entity:
            r.error(self.syntax.types[1], f"map {self.name} cannot hold entity values; use 'coll'")

    def type_refs(self):
        return [t for t in (self.type, self.value) if t is not None]

    def lambda_key_value(self, call):
        return lambda_text(f"[&]({self.key.cpp} const& k, {self.value.cpp} const& v)", call)

    def table_element(self):
        return self.value

    def mutable_case(self, g, coll):
        n = self.name
        return "Zat::gen::map", ["op", coll, self.lambda_key_value(f"self.{n}Is(k, v);"),
                                 self.lambda_key(f"self.{n}Del(k);"), "key", "value"]


class ValueMap(MapBase):
    USAGE = "NAME map KEY VALUE hash N [flags]"
    FLAGS = Collection.FLAGS | {"delreturns"}

    def describe(self):
        return "map"

    @property
    def returns_removed(self):
        """`delreturns`: <name>Del answers the removed value (the default when absent), not a bool."""
        return "delreturns" in self.flags

    def cpp(self):
        return f"Zat::ValueMap<{self.key.cpp}, {self.value.cpp}, {self.constant}u>"

    def declare_insert(self, w):
        w(f"void {self.name}Is({self.key.param} key, {self.value.param} value);")

    def declare_ops(self, w):
        n, kp, v = self.name, self.key.param, self.value
        self.declare_insert(w)
        if self.returns_removed:
            w("// Removes `key`; answers the value it had, or the default value when it was absent.")
            w(f"{v.cpp} {n}Del({kp} key);")
        else:
            w(f"bool {n}Del({kp} key);")
        w.inline(f"bool {n}Has({kp} key) const noexcept", f"return {n}_.contains(key);")
        w("// The value stored under `key`, or the default value when absent.")
        w(f"{v.cpp} {n}({kp} key) const;")

    def define_ops(self, w):
        T, n, kp, v = self.owner.name, self.name, self.key.param, self.value
        publish = self.publish()
        w(f"void {T}::{n}Is({kp} key, {v.param} value) {{").indent()
        w(f"if ({n}_.set(key, value)) {{ {publish} }}" if publish else f"{n}_.set(key, value);")
        w.dedent()("}")
        self.define_ops_after_insert(w)

    def define_ops_after_insert(self, w):
        T, n, kp, v = self.owner.name, self.name, self.key.param, self.value
        if self.returns_removed:
            w.call(f"{v.cpp} {T}::{n}Del", [f"{kp} key"], " {").indent()
            w(f"{v.cpp} const* stored = {n}_.find(key);")
            w(f"if (!stored) return {v.cpp}{{}};")
            w(f"{v.cpp} removed = *stored;")
            w(f"{n}_.erase(key);")
            if self.publish():
                w(self.publish(present="false"))
            w("return removed;")
            w.dedent()("}")
        else:
            define_erase(w, self)
        w(f"{v.cpp} {T}::{n}({kp} key) const {{").indent()
        w(f"{v.cpp} const* v = {n}_.find(key);")
        w(f"return v ? *v : {v.cpp}{{}};")
        w.dedent()("}")


class OrderedValueMap(MapBase):
    """`NAME orderedmap KEY VALUE [less ORDER]`: values in key order. On an entity the entries are small
    nested nodes (OrderedMap); inside a value type a SortedMap, copied and compared with the value."""
    HASHED = False
    CLEAR = "memberClearAll"
    USAGE = "NAME orderedmap KEY VALUE [less ORDER] [flags]"
    FLAGS = Collection.FLAGS | {"less"}

    def describe(self):
        return "orderedmap"


    def check_key(self, r, tok):
        # A hand-written key order stands in for the key type's own.
        if "less" not in self.flags:
            super().check_key(r, tok)

    def node(self):
        return f"Zat::OrderedValueNode<{self.key.cpp}, {self.value.cpp}>"

    def cpp(self):
        if not self.owner.is_entity:
            return f"Zat::SortedMap<{self.key.cpp}, {self.value.cpp}{self.less()}>"
        return f"Zat::OrderedMap<{self.node()}, {self.key.cpp}{self.less()}>"

    def define_del_all(self, w):
        if not self.owner.is_entity:
            w(f"void {self.owner.name}::{self.name}DelAll() {{ {self.name}_.clear(); }}")
            return
        super().define_del_all(w)

    def declare_ops(self, w):
        n, kp, v = self.name, self.key.param, self.value
        w(f"void {n}Is({kp} key, {v.param} value);")
        w("// Removes `key`; answers the value it had, or the default value when it was absent.")
        w(f"{v.cpp} {n}Del({kp} key);")
        w.inline(f"bool {n}Has({kp} key) const", f"return {n}_.find(key) != nullptr;")
        w(f"{v.cpp} {n}({kp} key) const;")

    def define_ops(self, w):
        if not self.owner.is_entity:
            self.define_value_ops(w)
            return
        T, n, kp, v = self.owner.name, self.name, self.key.param, self.value
        w(f"void {T}::{n}Is({kp} key, {v.param} value) {{").indent()
        w(f"if (auto* node = {n}_.find(key)) {{").indent()
        w("if (node->value() == value) return;")
        w("node->valueIs(value);")
        w.dedent()("} else {").indent()
        w(f"using Node = {self.node()};")
        w(f"{n}_.memberNewChild(Zat::Ptr<Node>(new Node(key, value)));")
        w.dedent()("}")
        if self.publish():
            w(self.publish())
        w.dedent()("}")
        w.call(f"{v.cpp} {T}::{n}Del", [f"{kp} key"], " {").indent()
        w(f"auto node = {n}_.memberDel(key);")
        w(f"if (!node) return {v.cpp}{{}};")
        if self.publish():
            w(self.publish(present="false"))
        w("return node->value();")
        w.dedent()("}")
        w(f"{v.cpp} {T}::{n}({kp} key) const {{").indent()
        w(f"auto const* node = {n}_.find(key);")
        w(f"return node ? node->value() : {v.cpp}{{}};")
        w.dedent()("}")

    def define_value_ops(self, w):
        T, n, kp, v = self.owner.name, self.name, self.key.param, self.value
        w.inline(f"void {T}::{n}Is({kp} key, {v.param} value)", f"{n}_.set(key, value);")
        w.call(f"{v.cpp} {T}::{n}Del", [f"{kp} key"], " {").indent()
        w(f"{v.cpp} const* stored = {n}_.find(key);")
        w(f"if (!stored) return {v.cpp}{{}};")
        w(f"{v.cpp} removed = *stored;")
        w(f"{n}_.erase(key);")
        w("return removed;")
        w.dedent()("}")
        w(f"{v.cpp} {T}::{n}({kp} key) const {{").indent()
        w(f"{v.cpp} const* stored = {n}_.find(key);")
        w(f"return stored ? *stored : {v.cpp}{{}};")
        w.dedent()("}")


class EntityMembers(Collection):
    """What entity collections and ordered entity maps share: members created by the owner from their
    creation arguments and keyed by their first constructor attribute or their name."""
    HOLDS_ENTITIES = True

    def resolve(self, r):
        super().resolve(r)
        target = self.type
        self.target = None
        if target is None:
            return
        decl = target.decl
        tok = self.syntax.types[0]
        if not target.is_entity:
            r.error(tok, f"'{self.describe()}' collection {self.name} needs an entity type, not {target.name}")
            return
        if decl.is_root:
            r.error(tok, f"root entity {target.name} cannot be held in a collection")
            return
        if "key" in self.flags:
            key = self.named_key(r, decl)
            if key is None:
                return
        else:
            key = decl.key
        if key is None:
            r.error(tok, f"entity {target.name} has no key (a first ctor attribute) to be held in {self.name}")
            return
        self.target, (self.key_ref, self.key_name) = decl, key
        if not self.key_ref.hashable if self.HASHED else not (self.key_ref.ordered or "less" in self.flags):
            need = "hashed" if self.HASHED else "ordered"
            r.error(tok, f"the key {self.key_name} of {target.name} cannot be {need} to hold it in {self.name}")

    def named_key(self, r, decl):
        tok = self.flags["key"]
        attr = next((m for m in decl.ctor_members if m.name == tok.text), None)
        if attr is None:
            r.error(tok, f"{tok.text} is no constructor attribute of {decl.name}")
            return None
        return attr.type, attr.name

    @property
    def key(self):
        return self.key_ref

    def unlinks_children(self):
        return self.target.derives_from_entity

    def unlink_on_destruction(self):
        if not self.unlinks_children():
            return None
        return f"for (auto const& child : {self.name}_) child->parentIs(nullptr);"

    def declare_ops(self, w):
        n, kp, E = self.name, self.key.param, self.type.cpp
        params = [f"{t.param} {name}" for t, name in self.target.creator]
        w("// Finds or creates the member; different constructor attributes for an existing key are refused.")
        w.call(f"Zat::Ptr<{E}> {n}Is", params, ";")
        w(f"Zat::Ptr<{E}> {n}Del({kp} key);")
        w.inline(f"bool {n}Has({kp} key) const", f"return {n}_.find(key) != nullptr;")
        w.inline(f"Zat::Ptr<{E}> {n}({kp} key) const", f"return Zat::Ptr<{E}>({n}_.find(key));")

    def define_ops(self, w):
        T, n, E = self.owner.name, self.name, self.type.cpp
        creator = self.target.creator
        w.call(f"Zat::Ptr<{E}> {T}::{n}Is", [f"{t.param} {name}" for t, name in creator], " {").indent()
        if self.HASHED:
            # One probe: the member is made inside the insertion, only when its key is absent.
            w(f"Zat::Ptr<{E}> e;")
            w(f"auto [existing, inserted] = {n}_.findOrInsert({self.key_name}, [&] {{").indent()
            w.call(f"e = {E}::{self.target.name}Is", [name for _, name in creator], ";")
            w("return e;")
            w.dedent()("});")
            w("if (!inserted) {").indent()
        else:
            w(f"if ({E}* existing = {n}_.find({self.key_name})) {{").indent()
        for t, name in creator:
            if name == self.key_name:
                continue
            w(f"if (!(existing->{name}() == {name})) {{").indent()
            where = [f'"{self.target.full_name}"', f'"{name}"']
            if t.literal == "string":
                w.call("Zat::throwMutatorReinstantiating", where + [f"existing->{name}()", name], ";")
            else:
                values = [f"Zat::strepOf(existing->{name}()).view()", f"Zat::strepOf({name}).view()"]
                w.call("Zat::throwMutatorReinstVal", where + values, ";")
            w.dedent()("}")
        w(f"return Zat::Ptr<{E}>(existing);")
        w.dedent()("}")
        if not self.HASHED:
            w.call(f"Zat::Ptr<{E}> e = {E}::{self.target.name}Is", [name for _, name in creator], ";")
            w(self.insert_new(self.key_name))
        if self.target.derives_from_entity:
            w("e->parentIs(Zat::Ptr<Zat::Entity>(this));")
        if self.publish(self.key_name):
            w(self.publish(self.key_name))
        w("return e;")
        w.dedent()("}")
        w.call(f"Zat::Ptr<{E}> {T}::{n}Del", [f"{self.key.param} key"], " {").indent()
        w(f"Zat::Ptr<{E}> e = {n}_.{self.ERASE}(key);")
        w("if (!e) return e;")
        if self.target.derives_from_entity:
            w("e->parentIs(nullptr);")
        if self.publish():
            w(self.publish(present="false"))
        w("return e;")
        w.dedent()("}")

    def table_element(self):
        return self.type

    def creation_rest(self):
        """The creation arguments beyond the key, which a generic write takes in the value."""
        return [(t, name) for t, name in self.target.creator if name != self.key_name]

    def table_params(self):
        return [] if self.readonly or self.target is None else self.creation_rest()

    def mutable_case(self, g, coll):
        # The key comes as the key; any further creation arguments come in the value, in order.
        n = self.name
        rest = self.creation_rest()
        args, i = [], 0
        for t, name in self.target.creator:
            if name == self.key_name:
                args.append("k")
            else:
                args.append(g.argument("value", i, len(rest), t))
                i += 1
        call = f"return self.{n}Is({', '.join(args)}).get();"
        if len(call) > 90:  # one argument a line
            call = f"return self.{n}Is(\n" + ",\n".join(f"         {a}" for a in args) + ").get();"
        create = self.lambda_key(call)
        return "Zat::gen::entities", ["op", coll, create, self.lambda_key(f"self.{n}Del(k);"), "key", "value"]


class EntityCollection(EntityMembers):
    ERASE = "erase"
    USAGE = "NAME coll ENTITY hash N [key ATTR] [requested [requests SETS]] [flags]"
    FLAGS = Collection.FLAGS | {"key", "requested", "requests"}

    def finish(self, r):
        """`requested`: members are held for named requestors (Zat::Requestors), each recording its
        requestors in its `requestor` set; `requests SETS` names the owner's collection of request sets."""
        self.request_sets = None
        if "requests" in self.flags and "requested" not in self.flags:
            r.error(self.flags["requests"], "'requests' goes with 'requested'")
        if "requested" not in self.flags or self.target is None:
            return
        tok = self.flags["requested"]
        requestor = next((m for m in self.target.members if m.name == "requestor"), None)
        if not isinstance(requestor, ValueSet):
            r.error(tok, f"'requested': {self.target.name} needs a 'requestor' set of the requestors' names")
            return
        if [name for _, name in self.target.creator] != [self.key_name]:
            r.error(tok, f"'requested': {self.target.name} must be made from its key alone")
            return
        self.requestor_name = requestor.key
        sets = self.flags.get("requests")
        if sets is None:
            return
        holder = next((m for m in self.owner.members if m.name == sets.text), None)
        if not isinstance(holder, EntityCollection) or holder.target is None:
            r.error(sets, f"{sets.text} is no entity collection of {self.owner.name}")
            return
        request = next((m for m in holder.target.members if m.name == "request"), None)
        if not isinstance(request, ValueSet) or holder.key.literal != "string" or request.key.literal != "string":
            r.error(sets, f"the request sets {holder.target.name} need a String key and a 'request' set of String")
            return
        self.request_sets = holder

    def requests_name(self):
        return self.name[0].upper() + self.name[1:] + "Requests"

    def declare_requests(self, w):
        n, E, O = self.name, self.type.cpp, self.owner.name
        w.comment(f"{n} is held for named requestors: Zat::Requestors<{self.requests_name()}> adds and removes.")
        w(f"struct {self.requests_name()} {{").indent()
        w(f"using Owner = {O};")
        w(f"using Key = {self.key.cpp};")
        w(f"using Child = {E};")
        w(f"using Name = {self.requestor_name.cpp};")
        sets = self.request_sets
        w(f"static constexpr bool hasRequestSets = {'true' if sets else 'false'};")
        w.inline("static Zat::Ptr<Child> child(Owner const& o, Key const& k)", f"return o.{n}(k);")
        w.inline("static Zat::Ptr<Child> childIs(Owner& o, Key const& k)", f"return o.{n}Is(k);")
        w.inline("static void childDel(Owner& o, Key const& k)", f"o.{n}Del(k);")
        if sets:
            s, S = sets.name, sets.type.cpp
            w.inline(f"static Zat::Ptr<{S}> requestSet(Owner const& o, Zat::String const& r)", f"return o.{s}(r);")
            w.inline(f"static Zat::Ptr<{S}> requestSetIs(Owner& o, Zat::String const& r)", f"return o.{s}Is(r);")
            w.inline("static void requestSetDel(Owner& o, Zat::String const& r)", f"o.{s}Del(r);")
        w.dedent()("};")

    def describe(self):
        return "coll"

    def key_of(self):
        """The nested struct that finds a member's key when it is not the member's first one."""
        return self.name[0].upper() + self.name[1:] + "KeyOf" if "key" in self.flags else None

    def cpp(self):
        key_of = f", {self.key_of()}" if self.key_of() else ""
        return f"Zat::EntityCollection<{self.type.cpp}, {self.constant}u{key_of}>"

    def declare_ops(self, w):
        if "requested" in self.flags:
            self.declare_requests(w)
        if self.key_of():
            w(f"// Members of {self.name} are keyed by their {self.key_name}.")
            w(f"struct {self.key_of()} {{").indent()
            w.inline(f"static {self.key.cpp} const& key({self.type.cpp} const& e) noexcept",
                     f"return e.{self.key_name}();")
            w.dedent()("};")
        super().declare_ops(w)


class OrderedEntityMap(EntityMembers):
    HASHED = False
    ERASE = "memberDel"
    CLEAR = "memberClearAll"
    USAGE = "NAME ordered ENTITY [less ORDER] [flags]"
    FLAGS = Collection.FLAGS | {"less"}

    def describe(self):
        return "ordered"

    def cpp(self):
        return f"Zat::OrderedMap<{self.type.cpp}, {self.key.cpp}{self.less()}>"

    def insert_new(self, key):
        return f"{self.name}_.memberNewChild(e);"

    def declare_ops(self, w):
        super().declare_ops(w)
        n = self.name
        w("// Removes the member a cursor stands on; the cursor then moves on to the next one.")
        w.inline(f"Zat::Ptr<{self.type.cpp}> {n}Del({self.cpp()}::Cursor const& at)", f"return {n}Del(at.key());")


class KeyedValues(ValueMap):
    """`NAME keyed VALUE key FIELD hash N`: values stored under one of their own fields; <name>Is(value)
    stores the value under its field, replacing the value stored there."""
    TYPE_WORDS = 1
    USAGE = "NAME keyed VALUE key FIELD hash N [flags]"
    FLAGS = ValueMap.FLAGS | {"key"}

    def describe(self):
        return "keyed"

    def resolve(self, r):
        Collection.resolve(self, r)
        self.value = self.type
        tok = self.flags.get("key")
        self.field = None
        if self.value is None:
            return
        if tok is None:
            r.error(self.syntax.name, f"keyed collection {self.name} needs the field that keys it ('key FIELD')")
            return
        decl = self.value.decl
        if decl is None or not decl.is_value:
            r.error(self.syntax.types[0], f"keyed collection {self.name} holds values of a schema's value type, "
                                          f"not {self.value.name}")
            return
        field = next((m for m in decl.value_members if m.name == tok.text and not m.IS_COLLECTION), None)
        if field is None:
            r.error(tok, f"{tok.text} is no attribute of {decl.name}")
            return
        self.field = field
        self.type = field.type
        self.check_key(r, tok)

    def type_refs(self):
        return [t for t in (self.value, self.type) if t is not None]

    def declare_insert(self, w):
        w(f"// Stores `value` under its {self.field.name}, replacing the value stored there.")
        w(f"void {self.name}Is({self.value.param} value);")

    def define_ops(self, w):
        T, n, v = self.owner.name, self.name, self.value
        publish = self.publish(f"value.{self.field.name}()")
        w(f"void {T}::{n}Is({v.param} value) {{").indent()
        store = f"{n}_.set(value.{self.field.name}(), value)"
        if publish:
            w.guard(store, publish, braces=True)
        else:
            w(f"{store};")
        w.dedent()("}")
        super().define_ops_after_insert(w)

    def mutable_case(self, g, coll):
        n, f = self.name, self.field.name
        insert = [f"if (!(v.{f}() == k))", f"   Zat::throwPreconditionException(\"the key is not the value's {f}\");",
                  f"self.{n}Is(v);"]
        return "Zat::gen::map", ["op", coll, self.lambda_key_value(insert), self.lambda_key(f"self.{n}Del(k);"),
                                 "key", "value"]
