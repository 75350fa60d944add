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

   // Each reader below accepts exactly the text the matching valueToStrep writes, so that every value
   // has one text form, and on failure raises RangeException naming what it expected, at the offset of
   // the first byte it cannot accept, with the range left where it was.

   // A single-quoted string: printable ASCII as itself, and the escapes \\ \' \n \r \t and \xNN
   // (lower-case hex) for every other byte.
   String parseQuoted();
   // Decimal digits without sign or leading zero, at most `max`.
   std::uint64_t parseUnsigned(std::uint64_t max);
   // parseUnsigned's decimal or, after the prefix 0x or 0X, hexadecimal digits of either case, at most
   // `max`. Only text constructors read this: no text form is hexadecimal.
   std::uint64_t parseUnsignedOrHex(std::uint64_t max);
   // A double as Python's repr writes it (0.5, 100.0, 1e+16, 1.5e-07, -2.0), or inf, -inf, nan.
   double parseDouble();

   // Raises RangeException with `what` and the current offset.
   [[noreturn]] void fail(std::string_view what) const;
   // Raises RangeException with `what` and `offset`, the place of the fault; the range does not move.
   [[noreturn]] void failAt(std::size_t offset, std::string_view what) const;

 private:
   std::string_view text_;
   std::size_t pos_ = 0;
};

}  // namespace Zat
