// Twin trace: one statement that writes the same text as a debug trace line and as a ring record.
//
//    ZAT_TWINTRACE(th, 6, "route ", prefix, " metric ", metric);
//
// Parts follow the ring rules (RingTrace.h): char arrays are literal text, every other part an
// argument. Arguments that are not strings are rendered once, by a RingTraceConverter (numbers in fixed
// notation), and that text goes to both places: the trace line is the parts joined, the ring record
// keeps the arguments. Each half is on or off by its own switch (the handle's level; the default ring
// handle, its trace file and the message's enable bit); the parts are evaluated only when at least one
// half is on.
#pragma once

#include <ios>
#include <sstream>
#include <string>
#include <type_traits>

#include "Zat/RingTrace.h"
#include "Zat/Trace.h"

namespace Zat {

// Renders twin-trace arguments: strings as they are, characters as themselves, bools as true/false,
// other integers in decimal, floating point in fixed notation, anything else through its operator<<.
// Formatting state an operator<< leaves on the stream is undone before the next argument.
class RingTraceConverter {
 public:
   RingTraceConverter();

   template <class T>
   std::string convert(T const& v) {
      if constexpr (detail::TraceCharPointer<T>) {
         return v ? std::string(v) : std::string("(null)");
      } else if constexpr (detail::TraceStringLike<T>) {
         return std::string(std::string_view(v));
      } else if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
                           sizeof(T) == 1) {
         // A one-byte integer is a number here, not a character.
         return streamed(int(v));
      } else {
         return streamed(v);
      }
   }

 private:
   template <class T>
   std::string streamed(T const& v) {
      static_assert(detail::TraceStreamable<T>, "a traced value needs an operator<<(std::ostream&, T)");
      twinTraceFixed_ << v;
      std::string text = twinTraceFixed_.str();
      reset();
      return text;
   }
   void reset();

   std::ostringstream twinTraceFixed_;
   std::ios_base::fmtflags flags_;
   std::streamsize precision_;
};

namespace detail {

// Writes the ring record (when `ring` is on) and the trace line (when `trace` is not null).
void twinEmit(TraceHandle const* trace, int level, char const* file, int line, char const* function,
              RingTarget const& ring, RingMsgNumber& number, RingPart const* parts, std::size_t count);

template <class T>
RingPart twinPart(RingTraceConverter& converter, T const& part, std::string& scratch) {
   if constexpr (isRingLiteral<T>) {
      return {true, std::string_view(part)};
   } else {
      scratch = converter.convert(part);
      return {false, scratch};
   }
}

template <class... A>
void twinTrace(TraceHandle const* trace, int level, char const* file, int line, char const* function,
               RingTarget const& ring, RingMsgNumber& number, A const&... parts) {
   RingTraceConverter converter;
   std::string scratch[sizeof...(A)];
   std::size_t i = 0;
   RingPart const views[] = {twinPart(converter, parts, scratch[i++])...};
   twinEmit(trace, level, file, line, function, ring, number, views, sizeof...(A));
}

}  // namespace detail

}  // namespace Zat

// ZAT_TWINTRACE(handle, level, part, part, ...): a trace line through `handle` at `level` and a ring
// record, each when its side is on.
#define ZAT_TWINTRACE(handle, level, ...)                                                             \
   do {                                                                                               \
      static ::Zat::RingMsgNumber zatTwinMsg_{0};                                                     \
      auto const& zatTwinHandle_ = (handle);                                                          \
      int const zatTwinLevel_ = (level);                                                              \
      bool const zatTwinTrace_ = zatTwinHandle_.enabled(zatTwinLevel_);                               \
      ::Zat::detail::RingTarget const zatTwinRing_(zatTwinMsg_);                                      \
      if (zatTwinTrace_ || zatTwinRing_) {                                                            \
         ::Zat::detail::twinTrace(zatTwinTrace_ ? &zatTwinHandle_ : nullptr, zatTwinLevel_, __FILE__, \
                                  __LINE__, __func__, zatTwinRing_, zatTwinMsg_, __VA_ARGS__);        \
      }                                                                                               \
   } while (0)
