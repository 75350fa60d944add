#include "Zat/CharRange.h"

#include <cerrno>
#include <cstdlib>
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
}  // namespace

String CharRange::parseQuoted() {
   if (peek() != '\'') fail("expected a quoted string");
   std::size_t const start = pos_;
   ++pos_;
   std::string out;
   for (;;) {
      if (atEnd()) {
         pos_ = start;
         fail("unterminated string");
      }
      char c = text_[pos_++];
      if (c == '\'') break;
      if (c != '\\') {
         out.push_back(c);
         continue;
      }
      if (atEnd()) {
         pos_ = start;
         fail("unterminated string");
      }
      char e = text_[pos_++];
      switch (e) {
         case '\\': out.push_back('\\'); break;
         case '\'': out.push_back('\''); break;
         case '"': out.push_back('"'); break;
         case 'n': out.push_back('\n'); break;
         case 'r': out.push_back('\r'); break;
         case 't': out.push_back('\t'); break;
         case 'x': {
            int hi = pos_ < text_.size() ? hexDigit(text_[pos_]) : -1;
            int lo = pos_ + 1 < text_.size() ? hexDigit(text_[pos_ + 1]) : -1;
            if (hi < 0 || lo < 0) {
               pos_ -= 2;
               fail("bad \\x escape");
            }
            out.push_back(static_cast<char>(hi * 16 + lo));
            pos_ += 2;
            break;
         }
         default:
            pos_ -= 2;
            fail("unknown escape");
      }
   }
   return String(std::move(out));
}

std::uint64_t CharRange::parseUnsigned(std::uint64_t max) {
   std::size_t const start = pos_;
   std::uint64_t v = 0;
   bool overflow = false;
   while (!atEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      unsigned d = unsigned(text_[pos_] - '0');
      if (v > (max - d) / 10) overflow = true;
      else v = v * 10 + d;
      ++pos_;
   }
   if (pos_ == start) fail("expected a number");
   if (overflow) {
      std::string digits(text_.substr(start, pos_ - start));
      pos_ = start;
      fail("number " + digits + " out of range 0.." + std::to_string(max));
   }
   return v;
}

std::uint64_t CharRange::parseUnsignedOrHex(std::uint64_t max) {
   if (!skipString("0x") && !skipString("0X")) return parseUnsigned(max);
   std::size_t const start = pos_;
   std::uint64_t v = 0;
   bool overflow = false;
   int d;
   while (!atEnd() && (d = hexDigit(text_[pos_])) >= 0) {
      if (v > (max - unsigned(d)) / 16) overflow = true;
      else v = v * 16 + unsigned(d);
      ++pos_;
   }
   if (pos_ == start) fail("expected hexadecimal digits");
   if (overflow) {
      pos_ = start - 2;
      fail("number out of range 0.." + std::to_string(max));
   }
   return v;
}

double CharRange::parseDouble() {
   // strtod needs a terminated buffer and would skip leading blanks, which the text forms never have.
   std::string buf(rest().substr(0, 64));
   if (buf.empty() || buf[0] == ' ' || buf[0] == '\t' || buf[0] == '\n') fail("expected a number");
   char* end = nullptr;
   errno = 0;
   double v = std::strtod(buf.c_str(), &end);
   if (end == buf.c_str()) fail("expected a number");
   pos_ += std::size_t(end - buf.c_str());
   return v;
}

}  // namespace Zat
