// CharRange: a cursor over text being parsed. Every parser of the runtime reads from one and raises
// RangeException, naming the offset, at the first byte it cannot accept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Zat/String.h"

namespace Zat {

class CharRange {
 public:
   explicit CharRange(std::string_view text) noexcept : text_(text) {}

   std::string_view text() const noexcept { return text_; }
   std::string_view rest() const noexcept { return text_.substr(pos_); }
   std::size_t offset() const noexcept { return pos_; }
   bool atEnd() const noexcept { return pos_ == text_.size(); }
   // The next byte, or NUL at the end.
   char peek() const noexcept { return atEnd() ? '\0' : text_[pos_]; }
   char next();
   void advance(std::size_t n);

   // Consumes `literal`, which must stand next; raises RangeException otherwise and consumes nothing.
   void needString(std::string_view literal);
   // Consumes `literal` if it stands next; answers whether it did.
   bool skipString(std::string_view literal) noexcept;
   // Raises RangeException if any text is left.
   void checkAllDataConsumed() const;

   // A single-quoted string literal with Python's backslash escapes (\\ \' \" \n \r \t \xNN).
   String parseQuoted();
   // Decimal digits without sign, at most `max`.
   std::uint64_t parseUnsigned(std::uint64_t max);
   // A decimal or, with the prefix 0x, hexadecimal number without sign, at most `max`.
   std::uint64_t parseUnsignedOrHex(std::uint64_t max);
   // A floating-point number as std::strtod reads it (no leading blank).
   double parseDouble();

   // Raises RangeException with `what` and the current offset.
   [[noreturn]] void fail(std::string_view what) const;

 private:
   std::string_view text_;
   std::size_t pos_ = 0;
};

}  // namespace Zat
