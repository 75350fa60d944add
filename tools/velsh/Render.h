// What velsh prints about types, values and entities.
#pragma once

#include <iosfwd>
#include <string>

#include "Zat/GenericIf.h"

namespace velsh {

// A type's attributes in id order (its bases' first), constants with their values, operations with
// their signatures, enumerators, and how it is created.
void describe(std::ostream& out, Zat::TypeInfo const& type);
// A value's text form; for an entity, or a value holding collections, an indented tree of its attributes
// and collections, entities nested down to `depth` levels.
void show(std::ostream& out, Zat::Any const& a, int depth);
// One element a cursor stands on: "KEY" for a set, "KEY: VALUE" otherwise.
std::string elementLine(Zat::GenericIterator const& it, Zat::AttrInfo const& attr);

}  // namespace velsh
