#include "Zat/Exception.h"

#include <string>

namespace Zat {

namespace {
std::string s(std::string_view v) { return std::string(v); }
}  // namespace

void throwRangeException(std::string const& text) { throw RangeException(text); }

void throwPreconditionException(std::string const& text) { throw PreconditionException(text); }

void throwNewEntityArgsException(std::string_view typeName) {
   throw NewEntityArgsException(s(typeName) + " is created by name only: constructor arguments not allowed");
}

void throwMutatorReinstantiating(std::string_view entity, std::string_view attribute, String const& oldValue,
                                 String const& newValue) {
   throw ReinstantiationException(s(entity) + ": attribute " + s(attribute) + " is '" + s(oldValue.view()) +
                                  "', cannot re-instantiate with '" + s(newValue.view()) + "'");
}

void throwMutatorReinstVal(std::string_view entity, std::string_view attribute, std::string_view oldValue,
                           std::string_view newValue) {
   throw ReinstantiationException(s(entity) + ": attribute " + s(attribute) + " is " + s(oldValue) +
                                  ", cannot re-instantiate with " + s(newValue));
}

void throwDenseEnumBoolSetRangeException(std::string_view typeName, unsigned value) {
   throw RangeException(std::to_string(value) + " is not a value of " + s(typeName));
}

void throwTypeException(std::string_view expected, std::string_view actual) {
   throw TypeException("expected a value of type " + s(expected) + ", got " + s(actual));
}

void throwUnhashableException(std::string_view typeName) {
   throw UnhashableException(s(typeName) + " is not hashable: it holds a collection");
}

void throwSetFalseValueException(std::string_view typeName, std::string_view attribute) {
   throw SetFalseValueException(s(typeName) + "::" + s(attribute) +
                                ": a set member can only be set to true; delete it instead");
}

}  // namespace Zat
