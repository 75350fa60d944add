// Zat::String: the runtime's byte string, and bounded strings that refuse over-long text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace Zat {

// A byte string. Any byte, NUL included, may appear; comparisons are bytewise (unsigned).
class String {
 public:
   static constexpr std::size_t npos = std::string::npos;

   String() = default;
   String(char const* s) : s_(s ? s : "") {}
   String(char const* s, std::size_t n) : s_(s, n) {}
   String(std::string s) : s_(std::move(s)) {}
   String(std::string_view s) : s_(s) {}

   std::string_view view() const noexcept { return s_; }
   std::string const& str() const noexcept { return s_; }
   char const* data() const noexcept { return s_.data(); }
   char const* c_str() const noexcept { return s_.c_str(); }
   std::size_t size() const noexcept { return s_.size(); }
   bool empty() const noexcept { return s_.empty(); }
   char operator[](std::size_t i) const { return s_[i]; }

   String& append(std::string_view s) {
      s_.append(s);
      return *this;
   }
   String& append(char c) {
      s_.push_back(c);
      return *this;
   }
   String& operator+=(std::string_view s) { return append(s); }
   String& operator+=(char c) { return append(c); }
   void clear() noexcept { s_.clear(); }
   void reserve(std::size_t n) { s_.reserve(n); }
   void pop_back() { s_.pop_back(); }

   String substr(std::size_t pos, std::size_t n = npos) const { return String(s_.substr(pos, n)); }
   std::size_t rfind(char c, std::size_t pos = npos) const noexcept { return s_.rfind(c, pos); }
   std::size_t rfind(std::string_view s, std::size_t pos = npos) const noexcept { return s_.rfind(s, pos); }
   std::size_t find(std::string_view s, std::size_t pos = 0) const noexcept { return s_.find(s, pos); }
   // Negative when this string orders before `o`, 0 when equal, positive after.
   int compare(String const& o) const noexcept { return s_.compare(o.s_); }

   operator std::string_view() const noexcept { return s_; }

   friend bool operator==(String const& a, String const& b) noexcept { return a.s_ == b.s_; }
   friend bool operator<(String const& a, String const& b) noexcept { return a.s_ < b.s_; }
   friend auto operator<=>(String const& a, String const& b) noexcept { return a.s_ <=> b.s_; }
   friend String operator+(String a, std::string_view b) { return a.append(b); }

 private:
   std::string s_;
};

std::ostream& operator<<(std::ostream& os, String const& s);

// Raised by every bounded string type when the text is longer than its bound; it names both lengths.
[[noreturn]] void throwStringTooLong(std::size_t size, std::size_t maxLength);

// A String of at most `MaxLength` bytes (VrfName, group names). Construction from longer text raises
// RangeException and leaves nothing built.
template <std::size_t MaxLength>
class BoundedString {
 public:
   static constexpr std::size_t maxLength() noexcept { return MaxLength; }

   BoundedString() = default;
   BoundedString(String s) : s_(std::move(s)) { check(); }
   BoundedString(char const* s) : s_(s) { check(); }
   BoundedString(std::string_view s) : s_(s) { check(); }

   String const& string() const noexcept { return s_; }
   std::string_view view() const noexcept { return s_.view(); }
   std::size_t size() const noexcept { return s_.size(); }
   bool empty() const noexcept { return s_.empty(); }
   operator String const&() const noexcept { return s_; }

   friend bool operator==(BoundedString const& a, BoundedString const& b) noexcept { return a.s_ == b.s_; }
   friend bool operator<(BoundedString const& a, BoundedString const& b) noexcept { return a.s_ < b.s_; }

 private:
   void check() const {
      if (s_.size() > MaxLength) throwStringTooLong(s_.size(), MaxLength);
   }
   String s_;
};

}  // namespace Zat

template <>
struct std::hash<Zat::String> {
   std::size_t operator()(Zat::String const& s) const noexcept {
      return std::hash<std::string_view>()(s.view());
   }
};
