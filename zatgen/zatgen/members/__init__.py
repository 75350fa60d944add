"""Member kinds: one class per kind of member a schema can declare. Each class owns everything about its
kind: the checks of its schema line, its declarations and definitions, its row in the type table, its
case of the generic attribute operation and its generic cursor. A new kind is one new class here and
one word in KINDS.
"""
from .base import HandWritten, Member, Reserve  # noqa: F401
from .collections import EntityCollection, KeyedValues, OrderedEntityMap, OrderedValueMap, ValueMap, ValueSet
from .function import Function  # noqa: F401
from .owned import Owned
from .scalar import Const, Ctor, Plain  # noqa: F401

# The word after a member's name that selects its kind; any other word is the type of a plain member.
KINDS = {
    "set": ValueSet,
    "map": ValueMap,
    "coll": EntityCollection,
    "ordered": OrderedEntityMap,
    "orderedmap": OrderedValueMap,
    "keyed": KeyedValues,
    "owned": Owned,
}
