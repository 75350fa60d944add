// Zat::String: the runtime's byte string, and bounded strings that refuse over-long text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>

namespace Zat {

// A byte string. Any byte, NUL included, may appear; comparisons are bytewise (unsigned).
//
// Sixteen bytes, against std::string's thirty-two: keys are stored in every collection slot and every
// entity that owns them, so the size of a string is much of the size of a model. Up to 15 bytes are kept
// inline; longer text goes to the heap.
//
// Layout. Inline: the bytes, zero padding, and in the last byte 15 minus the size (so a 15-byte string's
// last byte doubles as its terminator). On the heap: the text's address, its 32-bit size, and the tag
// kLarge in the last byte; the capacity sits in the heap block just before the text. Inline strings are
// always zero-padded, so two of them are equal exactly when their sixteen bytes are.
class String {
 public:
   static constexpr std::size_t npos = std::string_view::npos;

   String() noexcept { setInline(0); }
   String(char const* s) : String(s ? std::string_view(s) : std::string_view()) {}
   String(char const* s, std::size_t n) : String(std::string_view(s, n)) {}
   String(std::string const& s) : String(std::string_view(s)) {}
   String(std::string_view s) {
      if (s.size() <= kInline) {
         setInline(s.size());
         if (!s.empty()) std::memcpy(b_, s.data(), s.size());
      } else {
         initLarge(s, s.size());
      }
   }
   String(String const& o) {
      if (o.isInline())
         std::memcpy(b_, o.b_, sizeof b_);
      else
         initLarge(o.view(), o.size());
   }
   String(String&& o) noexcept {
      std::memcpy(b_, o.b_, sizeof b_);
      o.setInline(0);
   }
   String& operator=(String const& o) {
      if (this != &o) {
         String copy(o);
         swap(copy);
      }
      return *this;
   }
   String& operator=(String&& o) noexcept {
      if (this != &o) {
         freeLarge();
         std::memcpy(b_, o.b_, sizeof b_);
         o.setInline(0);
      }
      return *this;
   }
   ~String() { freeLarge(); }

   void swap(String& o) noexcept {
      char t[sizeof b_];
      std::memcpy(t, b_, sizeof b_);
      std::memcpy(b_, o.b_, sizeof b_);
      std::memcpy(o.b_, t, sizeof b_);
   }

   std::string_view view() const noexcept { return {data(), size()}; }
   std::string str() const { return std::string(view()); }
   char const* data() const noexcept { return isInline() ? b_ : largeData(); }
   char const* c_str() const noexcept { return data(); }
   std::size_t size() const noexcept { return isInline() ? kInline - tag() : largeSize(); }
   bool empty() const noexcept { return size() == 0; }
   char operator[](std::size_t i) const { return data()[i]; }

   String& append(std::string_view s);
   String& append(char c) { return append(std::string_view(&c, 1)); }
   String& operator+=(std::string_view s) { return append(s); }
   String& operator+=(char c) { return append(c); }
   void clear() noexcept { resize(0); }
   void reserve(std::size_t n);
   // Refused on an empty string.
   void pop_back();

   String substr(std::size_t pos, std::size_t n = npos) const { return String(view().substr(pos, n)); }
   std::size_t rfind(char c, std::size_t pos = npos) const noexcept { return view().rfind(c, pos); }
   std::size_t rfind(std::string_view s, std::size_t pos = npos) const noexcept {
      return view().rfind(s, pos);
   }
   std::size_t find(std::string_view s, std::size_t pos = 0) const noexcept { return view().find(s, pos); }
   // Negative when this string orders before `o`, 0 when equal, positive after.
   int compare(String const& o) const noexcept { return view().compare(o.view()); }

   operator std::string_view() const noexcept { return view(); }

   friend bool operator==(String const& a, String const& b) noexcept {
      if (a.isInline() && b.isInline()) return std::memcmp(a.b_, b.b_, sizeof a.b_) == 0;
      return a.view() == b.view();
   }
   friend bool operator<(String const& a, String const& b) noexcept { return a.view() < b.view(); }
   friend auto operator<=>(String const& a, String const& b) noexcept { return a.view() <=> b.view(); }
   friend String operator+(String a, std::string_view b) { return a.append(b); }

 private:
   static constexpr std::size_t kInline = 15;
   static constexpr unsigned char kLarge = 0xff;

   unsigned char tag() const noexcept { return static_cast<unsigned char>(b_[kInline]); }
   bool isInline() const noexcept { return tag() != kLarge; }
   void setInline(std::size_t n) noexcept {
      std::memset(b_, 0, sizeof b_);
      b_[kInline] = static_cast<char>(kInline - n);
   }
   char* largeData() const noexcept {
      char* p;
      std::memcpy(&p, b_, sizeof p);
      return p;
   }
   std::size_t largeSize() const noexcept {
      std::uint32_t n;
      std::memcpy(&n, b_ + 8, sizeof n);
      return n;
   }
   void setLargeSize(std::size_t n) noexcept;
   std::size_t capacity() const noexcept;
   // Puts `text` in a new heap block with room for `capacity` bytes; whatever this held is not freed.
   void initLarge(std::string_view text, std::size_t capacity);
   void freeLarge() noexcept {
      if (!isInline()) freeBlock(largeData());
   }
   static void freeBlock(char* text) noexcept;
   // Shrinks to `n` bytes (n <= size()), keeping the representation.
   void resize(std::size_t n) noexcept;

   alignas(8) char b_[16];
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
