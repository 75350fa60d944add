// Debug trace: named handles with sixteen levels each, and the ZAT_TRACE statement that writes one
// line through a handle when its level is on.
//
//    static Zat::TraceHandle th("VelL3V2LocalTypes", false);
//    ZAT_TRACE(th, 6, "route " << prefix << " via " << nexthop);
//
// A statement whose level is off costs one load and a test: its text is never built and the streamed
// expressions are never evaluated, so they must not carry side effects the program relies on. Trace
// lines carry no behaviour: a failing sink never reaches the traced code.
//
// Lines go to the installed sink (traceSinkIs); the default one writes
//    VelL3V2LocalTypes/6 File.cpp:123 updateSummaryRoute: route 10.0.0.0/8 via 1.1.1.1
// to stderr.
//
// Levels are switched at run time by handle name, one level at a time (TraceHandle::levelIs) or from a
// text such as an operator puts in an environment variable (TraceHandle::levelsIs):
//    VelL3V2LocalTypes=4,6-8;VelL3SharedV2=none;*=all
#pragma once

#include <atomic>
#include <charconv>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ios>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Zat/Seconds.h"
#include "Zat/String.h"

namespace Zat {

namespace detail {

template <class T>
concept TraceStringLike = std::is_convertible_v<T const&, std::string_view>;

template <class T>
concept TraceCharPointer =
    std::is_pointer_v<T> && std::is_same_v < std::remove_cv_t<std::remove_pointer_t<T>>,
char > ;

template <class T>
concept TraceStreamable = requires(std::ostream& os, T const& v) {
   os << v;
};

void appendTraceFloat(std::string& out, float v);
void appendTraceDouble(std::string& out, double v);
void appendTraceLongDouble(std::string& out, long double v);

// Appends the trace text of `v`: strings as they are, bools as true/false, every integer (the one-byte
// ones included: a uint8_t prefix length is a number, not a character) in decimal, floating point in
// the shortest form that reads back to the same value, anything else through its operator<<.
template <class T>
void appendTraceText(std::string& out, T const& v) {
   static_assert(!std::is_function_v<std::remove_pointer_t<T>>,
                 "stream manipulators have no effect in a trace statement; format the value before");
   if constexpr (TraceCharPointer<T>) {
      out.append(v ? std::string_view(v) : std::string_view("(null)"));
   } else if constexpr (TraceStringLike<T>) {
      out.append(std::string_view(v));
   } else if constexpr (std::is_same_v<T, bool>) {
      out.append(v ? "true" : "false");
   } else if constexpr (std::is_same_v<T, char>) {
      out.push_back(v);
   } else if constexpr (std::is_integral_v<T>) {
      char buf[24];
      auto res = std::to_chars(buf, buf + sizeof buf, v);
      out.append(buf, res.ptr);
   } else if constexpr (std::is_same_v<T, float>) {
      appendTraceFloat(out, v);
   } else if constexpr (std::is_same_v<T, long double>) {
      appendTraceLongDouble(out, v);
   } else if constexpr (std::is_floating_point_v<T> || std::is_same_v<T, Seconds>) {
      appendTraceDouble(out, double(v));
   } else {
      static_assert(TraceStreamable<T>, "a traced value needs an operator<<(std::ostream&, T)");
      std::ostringstream os;
      os << v;
      out.append(os.str());
   }
}

}  // namespace detail

// The text of a trace line under construction.
class TraceStream {
 public:
   template <class T>
   TraceStream& operator<<(T const& v) {
      detail::appendTraceText(text_, v);
      return *this;
   }
   std::string const& text() const noexcept { return text_; }

 private:
   std::string text_;
};

// One emitted trace line. `file` is the source file as the compiler named it (__FILE__).
struct TraceLine {
   String handleName;
   int level = 0;
   String file;
   int line = 0;
   String function;
   String text;
};

// The line as the default sink writes it, without the newline: the file is cut to its last component.
String traceLineText(TraceLine const& line);

using TraceSink = std::function<void(TraceLine const&)>;
// Installs the sink every trace line goes to and returns the one it replaces; an empty function restores
// the default (stderr). A sink may be called from several threads at once.
TraceSink traceSinkIs(TraceSink sink);

// A named set of enabled levels. Handles are built once at start-up and live as long as the unit that
// declares them; each registers itself by name so a tool can switch levels on without knowing where
// the handle lives. Several handles may share a name (units that trace under one facility); switching
// by name reaches all of them.
class TraceHandle {
 public:
   static constexpr int maxLevel = 15;

   // Raises PreconditionException for an empty name.
   TraceHandle(String name, bool enableAll);
   ~TraceHandle();
   TraceHandle(TraceHandle const&) = delete;
   TraceHandle& operator=(TraceHandle const&) = delete;

   String const& name() const noexcept { return name_; }
   // False for a level outside 0..maxLevel: nothing is ever traced there.
   bool enabled(int level) const noexcept {
      return level >= 0 && level <= maxLevel && (levels_.load(std::memory_order_relaxed) >> level & 1u);
   }
   // Raises PreconditionException for a level outside 0..maxLevel.
   void levelIs(int level, bool on);
   // Bit n set when level n is enabled.
   std::uint16_t levels() const noexcept { return levels_.load(std::memory_order_relaxed); }

   // The first registered live handle with this name, or null.
   static TraceHandle* find(std::string_view name);
   // Sets `level` on every live handle named `name` and returns how many there were. Raises
   // PreconditionException for a level outside 0..maxLevel, changing nothing.
   static std::size_t levelIs(std::string_view name, int level, bool on);
   // The names of the live handles, sorted, each once.
   static std::vector<String> names();
   // Sets the levels of handles by name from `config`: entries NAME=LEVELS separated by ';', where NAME
   // is a handle name or * for every handle, and LEVELS is none, all, or a comma-separated list of levels
   // and ranges (4,6-8). Each entry sets its handles' levels to exactly those listed, in the order of the
   // entries, so "*=none;VelL3V2LocalTypes=8" leaves level 8 of one facility on. The text is also
   // remembered for handles built later (a unit loaded afterwards), until the next call replaces it; an
   // empty text only forgets. Spaces around names and levels are ignored. Raises RangeException for a
   // text that does not read so, changing nothing.
   static void levelsIs(std::string_view config);

 private:
   String name_;
   std::atomic<std::uint16_t> levels_;
};

// Captures, while it lives, every trace line instead of letting it go to the sink installed before,
// which it puts back when it ends.
class TraceCapture {
 public:
   TraceCapture();
   ~TraceCapture();
   TraceCapture(TraceCapture const&) = delete;
   TraceCapture& operator=(TraceCapture const&) = delete;

   // The lines captured since the last take(), oldest first, and forgets them.
   std::vector<TraceLine> take();
   // Only their texts.
   std::vector<std::string> takeTexts();

 private:
   std::mutex mutex_;
   std::vector<TraceLine> lines_;
   TraceSink previous_;
};

// Builds one trace line and hands it to the sink when it is destroyed, at the end of the trace
// statement. If the statement is left by an exception (an operator<< threw), nothing is emitted.
// `file` and `function` must outlive the helper (they are the compiler's literals in ZAT_TRACE).
class TraceHelper {
 public:
   TraceHelper(TraceHandle const& handle, int level, char const* file, int line,
               char const* function) noexcept
       : handle_(handle),
         level_(level),
         file_(file),
         line_(line),
         function_(function),
         uncaught_(std::uncaught_exceptions()) {}
   ~TraceHelper();
   TraceHelper(TraceHelper const&) = delete;
   TraceHelper& operator=(TraceHelper const&) = delete;

   TraceStream& stream() noexcept { return stream_; }

 private:
   TraceHandle const& handle_;
   int level_;
   char const* file_;
   int line_;
   char const* function_;
   int uncaught_;
   TraceStream stream_;
};

}  // namespace Zat

// ZAT_TRACE(handle, level, part << part << ...): one trace line when `handle` has `level` enabled; the
// parts are not evaluated otherwise. Parts may contain commas.
#define ZAT_TRACE(handle, level, ...)                                                                       \
   do {                                                                                                     \
      auto const& zatTraceHandle_ = (handle);                                                               \
      int const zatTraceLevel_ = (level);                                                                   \
      if (zatTraceHandle_.enabled(zatTraceLevel_)) {                                                        \
         ::Zat::TraceHelper zatTraceHelper_(zatTraceHandle_, zatTraceLevel_, __FILE__, __LINE__, __func__); \
         zatTraceHelper_.stream() << __VA_ARGS__;                                                           \
      }                                                                                                     \
   } while (0)
