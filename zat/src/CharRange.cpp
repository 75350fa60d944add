#include "Zat/CharRange.h"

#include <charconv>
#include <limits>
#include <string>

#include "Zat/Exception.h"
#include "Zat/Strep.h"

namespace Zat {

void CharRange::fail(std::string_view what) const {
   throwRangeException(std::string(what) + " at offset " + std::to_string(pos_));
}

char CharRange::next() {
   if (atEnd()) fail("unexpected end of text");
   return text_[pos_++];
}

void CharRange::advance(std::size_t n) {
   if (n > text_.size() - pos_) fail("unexpected end of text");
   pos_ += n;
}

void CharRange::needString(std::string_view literal) {
   if (!skipString(literal)) {
      fail("expected " + std::string(valueToStrep(literal).view()));
   }
}

bool CharRange::skipString(std::string_view literal) noexcept {
   if (rest().substr(0, literal.size()) != literal) return false;
   pos_ += literal.size();
   return true;
}

void CharRange::checkAllDataConsumed() const {
   if (!atEnd()) {
      fail("unexpected text " + std::string(valueToStrep(rest().substr(0, 20)).view()) + " after value");
   }
}

namespace {

int hexDigit(char c) {
   if (c >= '0' && c <= '9') return c - '0';
   if (c >= 'a' && c <= 'f') return c - 'a' + 10;
   if (c >= 'A' && c <= 'F') return c - 'A' + 10;
   return -1;
}

bool isDigit(char c) {
   return c >= '0' && c <= '9';
}

// Text from the input shown in a message: long runs are cut so that a message stays readable.
std::string shown(std::string_view text) {
   if (text.size() <= 40) return std::string(text);
   return std::string(text.substr(0, 40)) + "...";
}

std::string byteName(unsigned char c) {
   static char const hex[] = "0123456789abcdef";
   return std::string("byte 0x") + hex[c >> 4] + hex[c & 15];
}

// The two bytes of an escape as a message shows them: the backslash and a printable byte, or a name.
std::string escapeName(char e) {
   unsigned char const c = static_cast<unsigned char>(e);
   if (c >= 0x20 && c < 0x7f) return std::string("\\") + e;
   return "\\ and " + byteName(c);
}

}  // namespace

void CharRange::failAt(std::size_t offset, std::string_view what) const {
   throwRangeException(std::string(what) + " at offset " + std::to_string(offset));
}

String CharRange::parseQuoted() {
   std::size_t const start = pos_;
   if (peek() != '\'') fail("expected a quoted string");
   std::string out;
   std::string canonical;
   std::size_t i = start + 1;
   for (;;) {
      if (i == text_.size()) failAt(start, "unterminated string");
      std::size_t const at = i;
      unsigned char c = static_cast<unsigned char>(text_[i++]);
      if (c == '\'') break;
      if (c != '\\') {
         if (c < 0x20 || c >= 0x7f) {
            canonical.clear();
            detail::appendQuotedByte(canonical, c);
            failAt(at, byteName(c) + " in a string: expected " + canonical);
         }
         out.push_back(char(c));
         continue;
      }
      if (i == text_.size()) failAt(start, "unterminated string");
      char const e = text_[i++];
      switch (e) {
         case '\\':
            c = '\\';
            break;
         case '\'':
            c = '\'';
            break;
         case '"':
            c = '"';
            break;
         case 'n':
            c = '\n';
            break;
         case 'r':
            c = '\r';
            break;
         case 't':
            c = '\t';
            break;
         case 'x': {
            int const hi = i < text_.size() ? hexDigit(text_[i]) : -1;
            int const lo = i + 1 < text_.size() ? hexDigit(text_[i + 1]) : -1;
            if (hi < 0 || lo < 0) failAt(at, "bad \\x escape: expected two hex digits");
            c = static_cast<unsigned char>(hi * 16 + lo);
            i += 2;
            break;
         }
         default:
            failAt(at, "unknown escape " + escapeName(e) + ": expected \\\\, \\', \\n, \\r, \\t or \\xNN");
      }
      // One spelling per byte: \x41 for A, \" or \x0a for a newline are refused, naming the right one.
      canonical.clear();
      detail::appendQuotedByte(canonical, c);
      if (text_.substr(at, i - at) != canonical) {
         failAt(at,
                "escape " + std::string(text_.substr(at, i - at)) + " in a string: expected " + canonical);
      }
      out.push_back(char(c));
   }
   pos_ = i;
   return String(std::move(out));
}

std::uint64_t CharRange::parseUnsigned(std::uint64_t max) {
   std::size_t end = pos_;
   while (end < text_.size() && isDigit(text_[end])) ++end;
   if (end == pos_) fail("expected a number");
   std::string_view const digits = text_.substr(pos_, end - pos_);
   if (digits.size() > 1 && digits[0] == '0') {
      std::size_t const firstNonZero = digits.find_first_not_of('0');
      std::string_view const plain =
          firstNonZero == std::string_view::npos ? "0" : digits.substr(firstNonZero);
      fail("number " + shown(digits) + " has a leading zero: expected " + shown(plain));
   }
   std::uint64_t v = 0;
   for (char c : digits) {
      unsigned const d = unsigned(c - '0');
      if (d > max || v > (max - d) / 10)
         fail("number " + shown(digits) + " out of range 0.." + std::to_string(max));
      v = v * 10 + d;
   }
   pos_ = end;
   return v;
}

std::uint64_t CharRange::parseUnsignedOrHex(std::uint64_t max) {
   std::size_t const start = pos_;
   if (!rest().starts_with("0x") && !rest().starts_with("0X")) return parseUnsigned(max);
   std::size_t i = start + 2;
   std::uint64_t v = 0;
   int d;
   while (i < text_.size() && (d = hexDigit(text_[i])) >= 0) {
      if (unsigned(d) > max || v > (max - unsigned(d)) / 16)
         fail("number out of range 0.." + std::to_string(max));
      v = v * 16 + unsigned(d);
      ++i;
   }
   if (i == start + 2) failAt(i, "expected hexadecimal digits");
   pos_ = i;
   return v;
}

double CharRange::parseDouble() {
   // The extent of the number is every byte a float's text could hold, so that 1.5x, 0x1p3 or 1e5e5 are
   // judged whole rather than read in part.
   std::size_t end = pos_;
   for (; end < text_.size(); ++end) {
      char const c = text_[end];
      bool const alnum = isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      if (!alnum && c != '.' && c != '+' && c != '-') break;
   }
   std::string_view const token = text_.substr(pos_, end - pos_);
   if (token.empty()) fail("expected a number");
   double v;
   if (token == "nan") {
      v = std::numeric_limits<double>::quiet_NaN();
   } else if (token == "inf" || token == "-inf") {
      v = token[0] == '-' ? -std::numeric_limits<double>::infinity()
                          : std::numeric_limits<double>::infinity();
   } else {
      auto const [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
      if (ec == std::errc::result_out_of_range) fail("number " + shown(token) + " out of range of a double");
      if (ec != std::errc() || ptr != token.data() + token.size()) {
         fail("expected a number like 0.5, 1e+16 or inf, not " + shown(token));
      }
   }
   // Python's repr is one text per double; any other spelling of the same number is refused.
   String const canonical = valueToStrep(v);
   if (canonical.view() != token) {
      fail("number " + shown(token) + " is not written as Python writes it: expected " +
           std::string(canonical.view()));
   }
   pos_ = end;
   return v;
}

}  // namespace Zat
