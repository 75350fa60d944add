// The runtime's exceptions. Bad text raises RangeException; misuse by the caller (a broken precondition)
// raises one of the logic_error kinds below. The library never aborts the process.
#pragma once

#include <stdexcept>
#include <string>

#include "Zat/String.h"

namespace Zat {

// Text that does not parse, or a value outside its type's range.
class RangeException : public std::range_error {
 public:
   explicit RangeException(std::string const& what) : std::range_error(what) {}
};

// A caller broke a documented precondition.
class PreconditionException : public std::logic_error {
 public:
   explicit PreconditionException(std::string const& what) : std::logic_error(what) {}
};

// A member of an entity collection was asked for again with different constructor attributes.
class ReinstantiationException : public std::logic_error {
 public:
   explicit ReinstantiationException(std::string const& what) : std::logic_error(what) {}
};

// A generic value was converted to a type it is not.
class TypeException : public std::logic_error {
 public:
   explicit TypeException(std::string const& what) : std::logic_error(what) {}
};

// A hash was asked of a type that holds a collection.
class UnhashableException : public std::logic_error {
 public:
   explicit UnhashableException(std::string const& what) : std::logic_error(what) {}
};

// A set member was set to false through the generic interface.
class SetFalseValueException : public std::logic_error {
 public:
   explicit SetFalseValueException(std::string const& what) : std::logic_error(what) {}
};

// Constructor arguments were given to an entity that is created by name alone.
class NewEntityArgsException : public std::logic_error {
 public:
   explicit NewEntityArgsException(std::string const& what) : std::logic_error(what) {}
};

[[noreturn]] void throwRangeException(std::string const& text);
[[noreturn]] void throwPreconditionException(std::string const& text);
[[noreturn]] void throwNewEntityArgsException(std::string_view typeName);
[[noreturn]] void throwMutatorReinstantiating(std::string_view entity, std::string_view attribute,
                                              String const& oldValue, String const& newValue);
// Same as throwMutatorReinstantiating for attributes that are not strings; the values are given in
// their text form.
[[noreturn]] void throwMutatorReinstVal(std::string_view entity, std::string_view attribute,
                                        std::string_view oldValue, std::string_view newValue);
[[noreturn]] void throwDenseEnumBoolSetRangeException(std::string_view typeName, unsigned value);
[[noreturn]] void throwTypeException(std::string_view expected, std::string_view actual);
[[noreturn]] void throwUnhashableException(std::string_view typeName);
[[noreturn]] void throwSetFalseValueException(std::string_view typeName, std::string_view attribute);

}  // namespace Zat
