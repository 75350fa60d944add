#include "Zat/Log.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

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
void install(std::shared_ptr<F const> LogGlobals::*member, F f) {
   std::shared_ptr<F const> next;
   if (f) next = std::make_shared<F const>(std::move(f));
   auto& g = globals();
   {
      std::lock_guard lock(g.mutex);
      (g.*member).swap(next);
   }
   // `next` holds the previous one, released outside the lock.
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

void rateLimiterIs(RateLimiter limiter) {
   install(&LogGlobals::limiter, std::move(limiter));
}

void logSinkIs(LogSink sink) {
   install(&LogGlobals::sink, std::move(sink));
}

LogHandle::LogHandle(String name, int severity, String format, String explanation, String recommendedAction,
                     Seconds minInterval, double doubleParam, unsigned rateLimitArgs, unsigned unsignedParam)
    : name_(std::move(name)),
      severity_(severity),
      format_(std::move(format)),
      explanation_(std::move(explanation)),
      recommendedAction_(std::move(recommendedAction)),
      minInterval_(minInterval),
      doubleParam_(doubleParam),
      rateLimitArgs_(rateLimitArgs),
      unsignedParam_(unsignedParam),
      idHash_(hashSingleAttr(0, name_.view())) {
   if (name_.empty()) throwPreconditionException("a log handle needs a name");
   if (severity_ < 0 || severity_ > maxSeverity) {
      throwPreconditionException("log " + name_.str() + ": severity " + std::to_string(severity_) +
                                 " is outside 0..7");
   }
   argCount_ = countArgs(name_, format_);
   if (minInterval_.isNan() || minInterval_ < 0) {
      throwPreconditionException("log " + name_.str() + ": the minimum interval must be 0 or more seconds");
   }
   if (rateLimitArgs_ > LogString::maxRateLimitArgs) {
      throwPreconditionException("log " + name_.str() + ": " + std::to_string(rateLimitArgs_) +
                                 " rate-limiting arguments, at most 3 are allowed");
   }
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

bool LogHandle::defaultOkToLog(std::uint32_t key) const {
   if (minInterval_ == 0) return true;
   Seconds const now = System::currentTime();
   std::lock_guard lock(limitMutex_);
   auto it = lastLogged_.find(key);
   // A clock set back is treated as the interval having passed rather than muting the key until the
   // clock catches up.
   if (it != lastLogged_.end() && now >= it->second && now - it->second < minInterval_) return false;
   if (it == lastLogged_.end() && lastLogged_.size() >= pruneAt_) {
      std::erase_if(lastLogged_,
                    [&](auto const& e) { return now < e.second || now - e.second >= minInterval_; });
      // Keys still inside their interval stay; waiting for the map to double again keeps the pruning
      // cost per message constant however many distinct keys arrive.
      pruneAt_ = std::max(limiterPruneSize, 2 * lastLogged_.size());
   }
   lastLogged_[key] = now;
   return true;
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
   std::string line = "%" + name_.str() + "-" + std::to_string(severity_) + ": " + message.str() + "\n";
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

}  // namespace Zat
