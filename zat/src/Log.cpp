#include "Zat/Log.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <utility>

#include "Zat/Exception.h"
#include "Zat/Hash.h"
#include "Zat/Strep.h"

namespace Zat {

namespace {

// Handles register from other units at load time and deregister at exit in no set order, so this
// state is never destroyed.
struct LogGlobals {
   std::mutex mutex;
   std::vector<LogHandle*> handles;  // in registration order
   std::shared_ptr<RateLimiter const> limiter;
   std::shared_ptr<LogSink const> sink;
};

LogGlobals& globals() {
   static LogGlobals& g = *new LogGlobals;
   return g;
}

void checkSlot(unsigned slot) {
   if (slot >= LogString::slotCount) {
      throwPreconditionException("log argument slot " + std::to_string(slot) + " is outside 0..3");
   }
}

// The number of %s in `format`; raises for anything else after a '%'.
unsigned countArgs(String const& name, String const& format) {
   unsigned count = 0;
   std::string_view f = format.view();
   for (std::size_t i = 0; i < f.size(); ++i) {
      if (f[i] != '%') continue;
      char const d = i + 1 < f.size() ? f[i + 1] : '\0';
      if (d == 's') {
         ++count;
      } else if (d != '%') {
         throwPreconditionException("log " + name.str() + ": format '" + format.str() +
                                    "' may use only %s (offset " + std::to_string(i) + ")");
      }
      ++i;
   }
   if (count > LogHandle::maxArgs) {
      throwPreconditionException("log " + name.str() + ": format '" + format.str() + "' has " +
                                 std::to_string(count) + " arguments, at most 4 are allowed");
   }
   return count;
}

template <class F>
std::shared_ptr<F const> installed(std::shared_ptr<F const> LogGlobals::*member) {
   auto& g = globals();
   std::lock_guard lock(g.mutex);
   return g.*member;
}

template <class F>
F install(std::shared_ptr<F const> LogGlobals::*member, F f) {
   std::shared_ptr<F const> next;
   if (f) next = std::make_shared<F const>(std::move(f));
   auto& g = globals();
   {
      std::lock_guard lock(g.mutex);
      (g.*member).swap(next);
   }
   // `next` holds the previous one, copied out and released outside the lock.
   return next ? *next : F();
}

// The calendar form of `time` in UTC to the millisecond; a time the calendar cannot hold is written as
// its number of seconds.
std::string utcText(Seconds time) {
   double const t = double(time);
   if (!std::isfinite(t) || std::fabs(t) > 1e15) return std::to_string(t);
   double const whole = std::floor(t);
   auto millis = static_cast<int>((t - whole) * 1000.0);
   std::time_t const secs = static_cast<std::time_t>(whole);
   std::tm tm{};
   if (!gmtime_r(&secs, &tm)) return std::to_string(t);
   char buf[64];
   std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                 tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, std::min(millis, 999));
   return buf;
}

}  // namespace

String const& LogString::arg(unsigned slot) const {
   checkSlot(slot);
   return args_[slot];
}

void LogString::argIs(unsigned slot, String value) {
   checkSlot(slot);
   args_[slot] = std::move(value);
}

std::uint32_t logArgsHash(LogString const& logString, unsigned n) {
   if (n > LogString::maxRateLimitArgs) {
      throwPreconditionException("at most 3 arguments key a rate limit, not " + std::to_string(n));
   }
   if (n == 0) return 0;
   Hash h(0);
   for (unsigned i = 0; i < n; ++i) {
      std::string_view arg = logString.arg(i).view();
      // Mixing the length first keeps ("ab", "c") and ("a", "bc") apart.
      h.hashMix<4>(std::uint32_t(arg.size()));
      h.mixNi(arg);
   }
   return h.result();
}

RateLimiter rateLimiterIs(RateLimiter limiter) {
   return install(&LogGlobals::limiter, std::move(limiter));
}

LogSink logSinkIs(LogSink sink) {
   return install(&LogGlobals::sink, std::move(sink));
}

void logRateLimitsReset() {
   auto& g = globals();
   std::lock_guard lock(g.mutex);
   for (LogHandle const* h : g.handles) h->limiterReset();
}

std::string_view severityName(int severity) {
   static constexpr std::string_view names[] = {"EMERG",   "ALERT",  "CRIT", "ERROR",
                                                "WARNING", "NOTICE", "INFO", "DEBUG"};
   return severity >= 0 && severity <= LogHandle::maxSeverity ? names[severity] : "UNKNOWN";
}

String logLineText(LogHandle const& handle, String const& text, Seconds time) {
   std::string line = utcText(time);
   line.append(" ").append(handle.name().view()).append(" ").append(severityName(handle.severity()));
   line.append(": ").append(text.view());
   return String(std::move(line));
}

LogHandle::LogHandle(String name, int severity, String format, String explanation, String recommendedAction,
                     Seconds period, double burst, unsigned rateLimitArgs, unsigned handleBurst)
    : name_(std::move(name)),
      severity_(severity),
      format_(std::move(format)),
      explanation_(std::move(explanation)),
      recommendedAction_(std::move(recommendedAction)),
      period_(period == 0 ? Seconds(defaultPeriod) : period),
      burst_(burst),
      rateLimitArgs_(rateLimitArgs),
      handleBurst_(handleBurst),
      idHash_(hashSingleAttr(0, name_.view())),
      handleBucket_{double(handleBurst), 0} {
   if (name_.empty()) throwPreconditionException("a log handle needs a name");
   if (severity_ < 0 || severity_ > maxSeverity) {
      throwPreconditionException("log " + name_.str() + ": severity " + std::to_string(severity_) +
                                 " is outside 0..7");
   }
   argCount_ = countArgs(name_, format_);
   if (period_.isNan() || period_ < 0) {
      throwPreconditionException("log " + name_.str() + ": the rate-limit period must be 0 or more seconds");
   }
   if (!(burst_ >= 1) || !std::isfinite(burst_)) {
      throwPreconditionException("log " + name_.str() + ": the burst must be a finite number of 1 or more");
   }
   if (rateLimitArgs_ > LogString::maxRateLimitArgs) {
      throwPreconditionException("log " + name_.str() + ": " + std::to_string(rateLimitArgs_) +
                                 " rate-limiting arguments, at most 3 are allowed");
   }
   if (rateLimitArgs_ == 0) rateLimitArgs_ = std::min(argCount_, LogString::maxRateLimitArgs);
   auto& g = globals();
   std::lock_guard lock(g.mutex);
   g.handles.push_back(this);
}

LogHandle::~LogHandle() {
   auto& g = globals();
   std::lock_guard lock(g.mutex);
   std::erase(g.handles, this);
}

bool LogHandle::okToLog(std::uint32_t key, LogString const& pending) const {
   if (auto limiter = installed(&LogGlobals::limiter)) return (*limiter)(*this, key, pending);
   return defaultOkToLog(key);
}

bool LogHandle::refilled(Bucket& bucket, double size, Seconds now) const {
   if (now < bucket.at) {
      bucket.tokens = size;
   } else {
      bucket.tokens = std::min(size, bucket.tokens + double(now - bucket.at) / double(period_) * size);
   }
   bucket.at = now;
   return bucket.tokens >= 1;
}

bool LogHandle::defaultOkToLog(std::uint32_t key) const {
   Seconds const now = System::currentTime();
   std::lock_guard lock(limitMutex_);
   auto it = buckets_.find(key);
   bool const known = it != buckets_.end();
   if (!known && buckets_.size() >= pruneAt_) {
      // A bucket that has refilled is the same as no bucket at all.
      for (auto b = buckets_.begin(); b != buckets_.end();) {
         refilled(b->second, burst_, now);
         b = b->second.tokens >= burst_ ? buckets_.erase(b) : std::next(b);
      }
      // Waiting for the map to double again keeps the pruning cost per message constant however many
      // distinct keys arrive within one period.
      pruneAt_ = std::max(limiterPruneSize, 2 * buckets_.size());
   }
   Bucket fresh{burst_, now};
   Bucket& bucket = known ? it->second : fresh;
   if (!refilled(bucket, burst_, now)) return false;
   if (handleBurst_ != 0) {
      if (!refilled(handleBucket_, handleBurst_, now)) return false;
      handleBucket_.tokens -= 1;
   }
   bucket.tokens -= 1;
   if (!known) buckets_.emplace(key, fresh);
   return true;
}

void LogHandle::limiterReset() const {
   std::lock_guard lock(limitMutex_);
   buckets_.clear();
   pruneAt_ = limiterPruneSize;
   handleBucket_ = {double(handleBurst_), 0};
}

String LogHandle::text(LogString const& logString) const {
   std::string_view args[maxArgs];
   for (unsigned i = 0; i < argCount_; ++i) args[i] = logString.arg(i).view();
   std::string out;
   detail::fmtInto(out, format_.view(), args, argCount_);
   return String(std::move(out));
}

void LogHandle::log(LogString const& logString) const {
   String const message = text(logString);
   if (auto sink = installed(&LogGlobals::sink)) {
      (*sink)(*this, logString, message);
      return;
   }
   std::string line = logLineText(*this, message, System::currentTime()).str();
   line.push_back('\n');
   // One write per message keeps messages from several threads whole.
   std::fwrite(line.data(), 1, line.size(), stderr);
}

LogHandle const* LogHandle::find(std::string_view name) {
   auto& g = globals();
   std::lock_guard lock(g.mutex);
   for (LogHandle const* h : g.handles) {
      if (h->name_.view() == name) return h;
   }
   return nullptr;
}

std::vector<String> LogHandle::names() {
   std::vector<String> out;
   {
      auto& g = globals();
      std::lock_guard lock(g.mutex);
      for (LogHandle const* h : g.handles) out.push_back(h->name_);
   }
   std::sort(out.begin(), out.end());
   out.erase(std::unique(out.begin(), out.end()), out.end());
   return out;
}

void logEvent(LogHandle const& handle, String a0, String a1, String a2, String a3) {
   String* const args[LogString::slotCount] = {&a0, &a1, &a2, &a3};
   unsigned const n = handle.rateLimitArgsMask();
   LogString logString;
   for (unsigned i = 0; i < n; ++i) logString.argIs(i, std::move(*args[i]));
   std::uint32_t const h = logArgsHash(logString, n);
   if (!handle.okToLog(handle.idHash() ^ h, logString)) return;
   for (unsigned i = n; i < LogString::slotCount; ++i) logString.argIs(i, std::move(*args[i]));
   logString.hashIs(h);
   handle.log(logString);
}

LogCapture::LogCapture() {
   logRateLimitsReset();
   previous_ = logSinkIs([this](LogHandle const& handle, LogString const& logString, String const& text) {
      std::lock_guard lock(mutex_);
      messages_.push_back({handle.name(), handle.severity(), text, logString});
   });
}

LogCapture::~LogCapture() {
   logSinkIs(std::move(previous_));
}

std::vector<LogCapture::Message> LogCapture::take() {
   std::lock_guard lock(mutex_);
   return std::exchange(messages_, {});
}

std::vector<std::string> LogCapture::takeLines() {
   std::vector<std::string> out;
   for (Message const& m : take()) out.push_back(m.name.str() + ": " + m.text.str());
   return out;
}

}  // namespace Zat
