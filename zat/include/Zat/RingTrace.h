// Ring trace: compact records of recent events, kept in a fixed-size ring so that it can stay on in
// production and be read after the fact.
//
//    ZAT_RTRACE("route ", prefix, " added to ", vrfName);
//
// The parts of a statement are literal text or arguments. A char array (a string literal) is literal
// text: it goes into the message's format once, when the statement is first used, and is never copied
// into a record. Every other part is an argument, rendered to text on each use and stored in the record
// (strings as they are, numbers in decimal, anything else through operator<<). To record the contents
// of a char buffer, pass it as std::string_view(buffer) or a char pointer.
//
// Each statement owns a message number, 0 until its first use; the first use registers the format
// ("route %s added to %s" above; a '%' in literal text is kept as such) and numbers the message. Numbers
// and formats are process-wide, so a statement keeps its number when the ring is replaced, and a record
// read back from any ring can be turned into text.
//
// A statement does nothing, and evaluates none of its parts, when there is no default RingTrace handle
// (none is installed until someone calls RingTrace::defaultHandleIs), when that handle has no trace file
// for its mode, or when the trace file has the message disabled.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Zat/String.h"
#include "Zat/Trace.h"

namespace Zat {

// The message number a ring statement owns; 0 until the statement is first used. Its address identifies
// the statement for the life of the process, so it must have static storage duration.
using RingMsgNumber = std::atomic<std::uint32_t>;

class RingTraceFile;

// The format of a ring message under construction: the literal text, with "%s" where each argument
// goes. A '%' in the literal text is written "%%" so that it never reads as a directive.
class MsgFormatString {
 public:
   MsgFormatString& operator<<(std::string_view literal);
   // Marks the place of the next argument.
   MsgFormatString& put();

   String const& format() const noexcept { return format_; }
   unsigned argCount() const noexcept { return argCount_; }

 private:
   String format_;
   unsigned argCount_ = 0;
};

// Everything a ring statement tells the trace file on its first use.
class MsgDesc : public MsgFormatString {
 public:
   // Raises PreconditionException for a null `number`.
   MsgDesc(RingTraceFile& traceFile, RingMsgNumber* number, String file, int line);

   RingMsgNumber* numberAddress() const noexcept { return number_; }
   String const& file() const noexcept { return file_; }
   int line() const noexcept { return line_; }

   // Registers the format with the trace file and stores the message number the statement keeps.
   // Finishing the same statement again (two threads reaching it first) gives the same number.
   std::uint32_t finish();

 private:
   RingTraceFile* traceFile_;
   RingMsgNumber* number_;
   String file_;
   int line_;
};

// A numbered message, as registered by its statement.
struct RingMsgInfo {
   std::uint32_t number = 0;
   String file;
   int line = 0;
   String format;
   unsigned argCount = 0;
};

// The number of messages registered in the process so far (numbers run from 1 to this).
std::uint32_t ringMsgCount();
// Raises PreconditionException for a number no statement has been given.
RingMsgInfo ringMsgInfo(std::uint32_t number);

// One record as read back from a ring.
struct RingRecord {
   std::uint32_t msg = 0;
   std::vector<String> args;
};

// A ring of the last capacity() records, and the messages disabled for it. Safe to share between
// threads.
class RingTraceFile {
 public:
   static constexpr std::size_t maxCapacity = std::size_t(1) << 24;

   // Raises PreconditionException for a capacity of 0 or above maxCapacity.
   explicit RingTraceFile(std::size_t capacity);
   RingTraceFile(RingTraceFile const&) = delete;
   RingTraceFile& operator=(RingTraceFile const&) = delete;

   std::size_t capacity() const noexcept { return slots_.size(); }

   // Registers the statement's format and returns its process-wide message number.
   std::uint32_t registerMsg(MsgDesc const& desc);

   // Every message is enabled until disabled here; 0 (a statement not yet numbered) always is.
   bool msgEnabled(std::uint32_t number) const noexcept;
   // Raises PreconditionException for a number no statement has been given.
   void msgEnabledIs(std::uint32_t number, bool enabled);

   // Records held, at most capacity().
   std::size_t size() const;
   // Records ever written, those overwritten included.
   std::uint64_t recordsWritten() const;
   // The records held, oldest first.
   std::vector<RingRecord> records() const;
   // The records held as text, oldest first: each message's format filled with its arguments.
   std::vector<String> dump() const;
   void clear();

 private:
   friend class RingBuf;
   struct Slot {
      std::uint32_t msg = 0;
      std::string args;  // each argument as a 4-byte length then its bytes
   };
   void commit(std::uint32_t msg, std::string_view args);

   mutable std::mutex mutex_;
   std::vector<Slot> slots_;
   std::uint64_t written_ = 0;
   std::set<std::uint32_t> disabled_;
   // Lets msgEnabled skip the lock while nothing is disabled, which is nearly always.
   std::atomic<std::size_t> disabledCount_{0};
};

// Writes one record: startMsg, one put per argument in order, endMsg. A record that is not ended (the
// writer is destroyed first) is dropped.
class RingBuf {
 public:
   // Raises PreconditionException for a number no statement has been given.
   static RingBuf startMsg(RingTraceFile& traceFile, std::uint32_t number);
   RingBuf(RingBuf&&) = default;
   RingBuf& operator=(RingBuf&&) = default;

   // Raises PreconditionException once the message has all its arguments or has ended.
   RingBuf& put(std::string_view arg);
   // Commits the record. Raises PreconditionException, committing nothing, when arguments are missing
   // or the record has already ended.
   void endMsg();

 private:
   RingBuf(RingTraceFile& traceFile, std::uint32_t msg, unsigned argCount)
       : traceFile_(&traceFile), msg_(msg), argCount_(argCount) {}

   RingTraceFile* traceFile_;
   std::uint32_t msg_;
   unsigned argCount_;
   unsigned argsPut_ = 0;
   bool ended_ = false;
   std::string args_;
};

// Where ring statements write: a trace file for single-threaded operation and one for multi-threaded
// operation; either may be absent, and a statement writes to the one for the current mode.
class RingTrace {
 public:
   explicit RingTrace(std::shared_ptr<RingTraceFile> traceFile,
                      std::shared_ptr<RingTraceFile> mtTraceFile = {}, bool multiThreaded = false)
       : traceFile_(std::move(traceFile)),
         mtTraceFile_(std::move(mtTraceFile)),
         multiThreaded_(multiThreaded) {}

   RingTraceFile* traceFile() const noexcept { return traceFile_.get(); }
   RingTraceFile* mtTraceFile() const noexcept { return mtTraceFile_.get(); }
   bool multiThreaded() const noexcept { return multiThreaded_.load(std::memory_order_relaxed); }
   void multiThreadedIs(bool on) noexcept { multiThreaded_.store(on, std::memory_order_relaxed); }
   // The trace file statements write to now, or null.
   RingTraceFile* activeTraceFile() const noexcept { return multiThreaded() ? mtTraceFile() : traceFile(); }

   // The handle ring statements use; null (the default) turns them all off.
   static void defaultHandleIs(std::shared_ptr<RingTrace> handle);
   static std::shared_ptr<RingTrace> defaultHandle();

 private:
   std::shared_ptr<RingTraceFile> traceFile_;
   std::shared_ptr<RingTraceFile> mtTraceFile_;
   std::atomic<bool> multiThreaded_;
};

namespace detail {

// The trace file a statement writes to on this use, if any; keeps the handle alive meanwhile.
class RingTarget {
 public:
   explicit RingTarget(RingMsgNumber const& number);
   explicit operator bool() const noexcept { return file_ != nullptr; }
   RingTraceFile& file() const noexcept { return *file_; }

 private:
   std::shared_ptr<RingTrace> handle_;
   RingTraceFile* file_ = nullptr;
};

struct RingPart {
   bool literal;
   std::string_view text;
};

template <class T>
inline constexpr bool isRingLiteral =
    std::is_array_v<T>&& std::is_same_v<std::remove_cv_t<std::remove_extent_t<T>>, char>;

template <class T>
RingPart ringPart(T const& part, std::string& scratch) {
   if constexpr (isRingLiteral<T>) {
      return {true, std::string_view(part)};
   } else if constexpr (TraceCharPointer<T>) {
      return {false, part ? std::string_view(part) : std::string_view("(null)")};
   } else if constexpr (TraceStringLike<T>) {
      return {false, std::string_view(part)};
   } else {
      appendTraceText(scratch, part);
      return {false, scratch};
   }
}

// Numbers the message on its first use, then writes the record unless the message is disabled.
void ringWrite(RingTarget const& target, RingMsgNumber& number, char const* file, int line,
               RingPart const* parts, std::size_t count);

template <class... A>
void ringRecord(RingTarget const& target, RingMsgNumber& number, char const* file, int line,
                A const&... parts) {
   std::string scratch[sizeof...(A)];
   std::size_t i = 0;
   RingPart const views[] = {ringPart(parts, scratch[i++])...};
   ringWrite(target, number, file, line, views, sizeof...(A));
}

}  // namespace detail

}  // namespace Zat

// ZAT_RTRACE(part, part, ...): one ring record; see the top of this file for parts.
#define ZAT_RTRACE(...)                                                                           \
   do {                                                                                           \
      static ::Zat::RingMsgNumber zatRingMsg_{0};                                                 \
      ::Zat::detail::RingTarget const zatRingTarget_(zatRingMsg_);                                \
      if (zatRingTarget_) {                                                                       \
         ::Zat::detail::ringRecord(zatRingTarget_, zatRingMsg_, __FILE__, __LINE__, __VA_ARGS__); \
      }                                                                                           \
   } while (0)
