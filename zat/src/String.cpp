#include "Zat/String.h"

#include <algorithm>
#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>

#include "Zat/Exception.h"

namespace Zat {

namespace {

// A heap text is preceded by its capacity; the block holds capacity + 1 bytes of text, for the NUL.
constexpr std::size_t kHeader = sizeof(std::size_t);

char* blockOf(char* text) noexcept {
   return text - kHeader;
}

}  // namespace

std::size_t String::capacity() const noexcept {
   if (isInline()) return kInline;
   std::size_t c;
   std::memcpy(&c, blockOf(largeData()), sizeof c);
   return c;
}

void String::initLarge(std::string_view text, std::size_t capacity) {
   if (capacity > std::numeric_limits<std::uint32_t>::max())
      throw std::length_error("Zat::String: longer than 4 GiB");
   auto* block = static_cast<char*>(::operator new(kHeader + capacity + 1));
   std::memcpy(block, &capacity, sizeof capacity);
   char* data = block + kHeader;
   std::memcpy(data, text.data(), text.size());
   data[text.size()] = '\0';
   std::memset(b_, 0, sizeof b_);
   std::memcpy(b_, &data, sizeof data);
   b_[kInline] = static_cast<char>(kLarge);
   setLargeSize(text.size());
}

void String::setLargeSize(std::size_t n) noexcept {
   auto const size = static_cast<std::uint32_t>(n);
   std::memcpy(b_ + 8, &size, sizeof size);
}

void String::freeBlock(char* text) noexcept {
   ::operator delete(blockOf(text));
}

void String::resize(std::size_t n) noexcept {
   if (isInline()) {
      std::memset(b_ + n, 0, kInline - n);
      b_[kInline] = static_cast<char>(kInline - n);
   } else {
      largeData()[n] = '\0';
      setLargeSize(n);
   }
}

void String::pop_back() {
   if (empty()) throw std::out_of_range("Zat::String::pop_back: the string is empty");
   resize(size() - 1);
}

String& String::append(std::string_view s) {
   std::size_t const n = size();
   if (s.size() > std::numeric_limits<std::uint32_t>::max() - n)
      throw std::length_error("Zat::String: longer than 4 GiB");
   std::size_t const total = n + s.size();
   if (total > capacity()) {
      // The new block is filled before the old one goes: `s` may point into it.
      String grown;
      grown.initLarge(view(), std::max(total, 2 * capacity()));
      grown.append(s);
      swap(grown);
   } else if (isInline()) {
      if (!s.empty()) std::memcpy(b_ + n, s.data(), s.size());
      b_[kInline] = static_cast<char>(kInline - total);
   } else {
      char* data = largeData();
      if (!s.empty()) std::memcpy(data + n, s.data(), s.size());
      data[total] = '\0';
      setLargeSize(total);
   }
   return *this;
}

void String::reserve(std::size_t n) {
   if (n <= capacity()) return;
   String grown;
   grown.initLarge(view(), n);
   swap(grown);
}

std::ostream& operator<<(std::ostream& os, String const& s) {
   return os << s.view();
}

// The runtime's own words come first: tools and operators match on them; the rest says by how much.
void throwStringTooLong(std::size_t size, std::size_t maxLength) {
   throw RangeException("Zat::String::bytes > maxLength() not allowed: string of " + std::to_string(size) +
                        " bytes is longer than its limit of " + std::to_string(maxLength) + " bytes");
}

}  // namespace Zat
