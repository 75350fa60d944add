// Event log: operator-facing messages, one LogHandle per kind of event, rate limited per handle.
//
//    static Zat::LogHandle routeLimit("VEL_ROUTE_LIMIT", 4, "VRF %s exceeded %s routes",
//                                     "The VRF holds more routes than its limit allows.",
//                                     Zat::CallSupportIfPersists, 0, 1.0, 1, 0);
//    Zat::logEvent(routeLimit, vrfName, limitText);
//
// Unlike trace lines, event-log messages are behaviour: operators and tools act on them. logEvent works
// in a fixed order so that a refused message costs little and leaves nothing behind:
//  1. the leading rateLimitArgsMask() arguments are put in their slots of a LogString;
//  2. their hash h is taken (logArgsHash);
//  3. the rate limiter is asked about the key idHash() ^ h; if it refuses, nothing more happens (the other
//     slots are never filled);
//  4. the other slots are filled, h is stored in the LogString, and the handle's log() formats the
//     message and hands it to the log sink.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Zat/String.h"
#include "Zat/System.h"

namespace Zat {

// Recommended actions shared by most messages.
inline String const ContactSupport{"Contact your support representative."};
inline String const CallSupportIfPersists{"If the problem persists, contact your support representative."};
inline String const NoActionRequired{"No action is required."};

// The arguments of one message in slots 0..3, and the hash of those that key its rate limit. Most
// messages name three things; a few name a fourth (the switch of a programming error), which takes the
// fourth slot. At most the three leading arguments key a rate limit.
class LogString {
 public:
   static constexpr unsigned slotCount = 4;
   static constexpr unsigned maxRateLimitArgs = 3;

   // Raise PreconditionException for a slot outside 0..3.
   String const& arg(unsigned slot) const;
   void argIs(unsigned slot, String value);

   std::uint32_t hash() const noexcept { return hash_; }
   void hashIs(std::uint32_t hash) noexcept { hash_ = hash; }

 private:
   String args_[slotCount];
   std::uint32_t hash_ = 0;
};

// The hash of slots 0..n-1 (0 for n == 0). Raises PreconditionException for n above maxRateLimitArgs.
std::uint32_t logArgsHash(LogString const& logString, unsigned n);

class LogHandle;

// Decides whether a message goes out. `key` is handle.idHash() ^ the hash of the rate-limiting
// arguments; `pending` holds those arguments (and only those) at the time of the call.
using RateLimiter = std::function<bool(LogHandle const& handle, std::uint32_t key, LogString const& pending)>;
// Installs the limiter every handle asks; an empty function restores the default, which lets a key
// through at most once per the handle's minInterval() seconds of System::currentTime().
void rateLimiterIs(RateLimiter limiter);

// Receives every message that passed its rate limit, with `text` the format filled with its arguments.
using LogSink = std::function<void(LogHandle const& handle, LogString const& logString, String const& text)>;
// Installs the sink; an empty function restores the default, which writes "%NAME-SEVERITY: text" to
// stderr.
void logSinkIs(LogSink sink);

// One kind of event. Handles are built once, at load time, and register themselves by name so tools can
// find them; several may share a name, and find() returns the first still alive.
class LogHandle {
 public:
   static constexpr int maxSeverity = 7;
   static constexpr unsigned maxArgs = LogString::slotCount;

   // Raises PreconditionException, registering nothing, for an empty name, a severity outside
   // 0..maxSeverity, a format with a directive other than %s (%% is a percent sign) or with more than
   // four %s, a negative or NaN minInterval, or rateLimitArgs above three.
   LogHandle(String name, int severity, String format, String explanation, String recommendedAction,
             Seconds minInterval, double doubleParam, unsigned rateLimitArgs, unsigned unsignedParam);
   ~LogHandle();
   LogHandle(LogHandle const&) = delete;
   LogHandle& operator=(LogHandle const&) = delete;

   String const& name() const noexcept { return name_; }
   int severity() const noexcept { return severity_; }
   String const& format() const noexcept { return format_; }
   String const& explanation() const noexcept { return explanation_; }
   String const& recommendedAction() const noexcept { return recommendedAction_; }
   Seconds minInterval() const noexcept { return minInterval_; }
   // Kept for tools; the runtime gives these two no meaning.
   double doubleParam() const noexcept { return doubleParam_; }
   unsigned unsignedParam() const noexcept { return unsignedParam_; }

   // Stable across runs and platforms: the hash of the name.
   std::uint32_t idHash() const noexcept { return idHash_; }
   // How many leading arguments (0..maxRateLimitArgs) key the rate limit.
   unsigned rateLimitArgsMask() const noexcept { return rateLimitArgs_; }
   // How many %s the format has.
   unsigned argCount() const noexcept { return argCount_; }

   // Asks the installed rate limiter, or the default one.
   bool okToLog(std::uint32_t key, LogString const& pending) const;
   // The format filled with slots 0.. in order.
   String text(LogString const& logString) const;
   // Hands the message to the log sink, whatever the rate limit.
   void log(LogString const& logString) const;

   static LogHandle const* find(std::string_view name);
   // The names of the live handles, sorted, each once.
   static std::vector<String> names();

 private:
   bool defaultOkToLog(std::uint32_t key) const;

   String name_;
   int severity_;
   String format_;
   String explanation_;
   String recommendedAction_;
   Seconds minInterval_;
   double doubleParam_;
   unsigned rateLimitArgs_;
   unsigned unsignedParam_;
   std::uint32_t idHash_;
   unsigned argCount_ = 0;

   // The default limiter's memory: when each key last went out.
   mutable std::mutex limitMutex_;
   mutable std::unordered_map<std::uint32_t, Seconds> lastLogged_;
   // Keys whose interval has passed are forgotten once this many are remembered.
   static constexpr std::size_t limiterPruneSize = 4096;
   mutable std::size_t pruneAt_ = limiterPruneSize;
};

// Logs one event of `handle` with up to four arguments, in the order described at the top of this file.
void logEvent(LogHandle const& handle, String a0 = {}, String a1 = {}, String a2 = {}, String a3 = {});

}  // namespace Zat
