// Event log: operator-facing messages, one LogHandle per kind of event, rate limited.
//
//    static Zat::LogHandle routeLimit("VEL_ROUTE_LIMIT", 4, "VRF %s exceeded %s routes",
//                                     "The VRF holds more routes than its limit allows.",
//                                     Zat::CallSupportIfPersists, 0, 1.0, 0, 0);
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
//
// The default rate limit is a token bucket per key: a key starts with burst() tokens, earns burst()
// tokens per period() of System::currentTime() (never more than burst() in hand), and each message spends
// one; a message that finds less than one token is dropped. With the numbers generated handles pass
// (0, 1.0, 0, 0) that is "the same message about the same things at most once every ten seconds": repeats
// from a flapping switch or a retry loop are dropped, while messages about another policy, host or VRF
// go out. handleBurst(), when not 0, adds one bucket of that size for the whole handle, whatever the
// arguments, so that a storm of distinct messages (a thousand policies failing at once) is capped too.
// A message spends from both buckets or from neither. A clock set back refills a key's bucket rather
// than muting it until the clock catches up. A key whose bucket has refilled is forgotten, so the
// limiter's memory follows the keys active within one period.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
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
// Installs the limiter every handle asks and returns the one it replaces; an empty function restores
// the default token buckets described at the top of this file.
RateLimiter rateLimiterIs(RateLimiter limiter);
// Makes every live handle's default limiter forget what it let through, as if no message had been sent.
void logRateLimitsReset();

// Receives every message that passed its rate limit, with `text` the format filled with its arguments.
// It may be called from several threads at once.
using LogSink = std::function<void(LogHandle const& handle, LogString const& logString, String const& text)>;
// Installs the sink and returns the one it replaces; an empty function restores the default, which
// writes logLineText(handle, text, System::currentTime()) and a newline to stderr in one write.
LogSink logSinkIs(LogSink sink);

// The syslog name of a severity: EMERG, ALERT, CRIT, ERROR, WARNING, NOTICE, INFO, DEBUG.
std::string_view severityName(int severity);
// One message as the default sink writes it, without the newline: the time in UTC to the millisecond,
// the handle's name, its severity's name and the message.
//    2024-05-01T12:00:00.250Z KRO_VEL_RULE_PROGRAMMED INFO: VEL rule for policy p of firewall s/fw, VRF b was
//    installed
String logLineText(LogHandle const& handle, String const& text, Seconds time);

// One kind of event. Handles are built once, at load time, and register themselves by name so tools can
// find them; several may share a name, and find() returns the first still alive.
class LogHandle {
 public:
   static constexpr int maxSeverity = 7;
   static constexpr unsigned maxArgs = LogString::slotCount;

   // The default limiter's period when a handle gives 0.
   static constexpr double defaultPeriod = 10.0;

   // The four numbers drive the default rate limit (top of this file): `period` (0 for defaultPeriod),
   // `burst` (messages per key per period, at least 1), `rateLimitArgs` (how many leading arguments
   // key the limit, 1 to 3; 0 for every argument of the format up to three) and `handleBurst` (messages
   // of the handle per period whatever the arguments; 0 for no such cap).
   // Raises PreconditionException, registering nothing, for an empty name, a severity outside
   // 0..maxSeverity, a format with a directive other than %s (%% is a percent sign) or with more than
   // four %s, a negative or NaN period, a burst below 1 or not finite, or rateLimitArgs above three.
   LogHandle(String name, int severity, String format, String explanation, String recommendedAction,
             Seconds period, double burst, unsigned rateLimitArgs, unsigned handleBurst);
   ~LogHandle();
   LogHandle(LogHandle const&) = delete;
   LogHandle& operator=(LogHandle const&) = delete;

   String const& name() const noexcept { return name_; }
   int severity() const noexcept { return severity_; }
   String const& format() const noexcept { return format_; }
   String const& explanation() const noexcept { return explanation_; }
   String const& recommendedAction() const noexcept { return recommendedAction_; }
   // The period in force: the one given, or defaultPeriod for 0.
   Seconds period() const noexcept { return period_; }
   double burst() const noexcept { return burst_; }
   unsigned handleBurst() const noexcept { return handleBurst_; }

   // Stable across runs and platforms: the hash of the name.
   std::uint32_t idHash() const noexcept { return idHash_; }
   // How many leading arguments (0..maxRateLimitArgs) key the rate limit; 0 only for a format without
   // arguments.
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
   friend void logRateLimitsReset();
   struct Bucket {
      double tokens;
      Seconds at;  // when `tokens` was last brought up to date
   };
   bool defaultOkToLog(std::uint32_t key) const;
   // `bucket` brought up to `now` for a bucket of `size`; true when it holds a token.
   bool refilled(Bucket& bucket, double size, Seconds now) const;
   void limiterReset() const;

   String name_;
   int severity_;
   String format_;
   String explanation_;
   String recommendedAction_;
   Seconds period_;
   double burst_;
   unsigned rateLimitArgs_;
   unsigned handleBurst_;
   std::uint32_t idHash_;
   unsigned argCount_ = 0;

   // The default limiter's memory: the buckets of the keys seen lately, and the handle's own.
   mutable std::mutex limitMutex_;
   mutable std::unordered_map<std::uint32_t, Bucket> buckets_;
   mutable Bucket handleBucket_;
   // Full buckets are forgotten once this many keys are remembered.
   static constexpr std::size_t limiterPruneSize = 4096;
   mutable std::size_t pruneAt_ = limiterPruneSize;
};

// Captures, while it lives, every message that reaches the sink instead of letting it go to the sink
// installed before, which it puts back when it ends. Starting a capture clears every handle's rate-limit
// memory (logRateLimitsReset), so a test sees what its own calls do.
class LogCapture {
 public:
   struct Message {
      String name;
      int severity = 0;
      String text;
      LogString args;
   };
   LogCapture();
   ~LogCapture();
   LogCapture(LogCapture const&) = delete;
   LogCapture& operator=(LogCapture const&) = delete;

   // The messages captured since the last take(), oldest first, and forgets them.
   std::vector<Message> take();
   // The same as "NAME: text" lines.
   std::vector<std::string> takeLines();

 private:
   std::mutex mutex_;
   std::vector<Message> messages_;
   LogSink previous_;
};

// Logs one event of `handle` with up to four arguments, in the order described at the top of this file.
void logEvent(LogHandle const& handle, String a0 = {}, String a1 = {}, String a2 = {}, String a3 = {});

}  // namespace Zat
