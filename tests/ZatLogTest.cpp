#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Zat/Exception.h"
#include "Zat/Hash.h"
#include "Zat/Log.h"
#include "Zat/System.h"
#include "support/TextChecks.h"

using namespace Zat;
using Strings = std::vector<std::string>;
using testing_text::refusal;

namespace {

std::string argsOf(LogString const& s) {
   return s.arg(0).str() + "," + s.arg(1).str() + "," + s.arg(2).str() + "|" + std::to_string(s.hash());
}

// Records the limiter's questions as "key|args|hash" of what it may see, answering them from a script
// (yes once the script runs out), and the messages as "args|hash|text"; then puts the defaults back.
struct ScriptedLimiter {
   LogCapture capture;
   Strings asked;
   std::vector<bool> answers;
   ScriptedLimiter() {
      rateLimiterIs([this](LogHandle const&, std::uint32_t key, LogString const& pending) {
         asked.push_back(std::to_string(key) + "|" + argsOf(pending));
         return asked.size() > answers.size() || answers[asked.size() - 1];
      });
   }
   ~ScriptedLimiter() { rateLimiterIs({}); }
   Strings logged() {
      Strings out;
      for (auto const& m : capture.take()) out.push_back(argsOf(m.args) + "|" + m.text.str());
      return out;
   }
};

// A fake clock for the test's duration.
struct FakeClock {
   Seconds now = 0;
   FakeClock() {
      System::clockIs([this] { return now; });
   }
   ~FakeClock() { System::clockIs({}); }
};

LogString logStringOf(String a0, String a1, String a2) {
   LogString s;
   s.argIs(0, std::move(a0));
   s.argIs(1, std::move(a1));
   s.argIs(2, std::move(a2));
   return s;
}

}  // namespace

// What a handle carries is read by the limiter and the sinks (checked below); here, what only the
// registry and the event catalogue read.
TEST(ZatLog, HandlesRegisterByNameAndKeepTheirTexts) {
   EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_FIELDS"), nullptr);
   {
      LogHandle h("ZAT_LOG_TEST_FIELDS", 4, "peer %s went %s", "A peer changed state.", CallSupportIfPersists,
                  2.5, 1.5, 2, 7);
      EXPECT_EQ(h.explanation(), String("A peer changed state."));
      EXPECT_EQ(h.recommendedAction(), CallSupportIfPersists);
      // The same on every run and platform: the hash of the name.
      EXPECT_EQ(h.idHash(), hashSingleAttr(0, std::string_view("ZAT_LOG_TEST_FIELDS")));
      {
         LogHandle twin("ZAT_LOG_TEST_FIELDS", 6, "%s", "", NoActionRequired, 0, 1.0, 0, 0);
         EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_FIELDS"), &h);
         auto names = LogHandle::names();
         EXPECT_EQ(std::count(names.begin(), names.end(), String("ZAT_LOG_TEST_FIELDS")), 1);
         EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
      }
      EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_FIELDS"), &h);
   }
   EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_FIELDS"), nullptr);
}

TEST(ZatLog, BadHandlesAreRefusedAndNotRegistered) {
   auto make = [](int severity, char const* format, Seconds period, double burst, unsigned rateArgs) {
      return [=] {
         LogHandle("ZAT_LOG_TEST_BAD", severity, format, "", ContactSupport, period, burst, rateArgs, 0);
      };
   };
   EXPECT_EQ(refusal(make(3, "count %d", 0, 1, 0)),
             "log ZAT_LOG_TEST_BAD: format 'count %d' may use only %s (offset 6)");
   EXPECT_EQ(refusal(make(3, "%s%s%s%s%s", 0, 1, 0)),
             "log ZAT_LOG_TEST_BAD: format '%s%s%s%s%s' has 5 arguments, at most 4 are allowed");
   EXPECT_EQ(refusal(make(3, "%s", 0, 1, 4)),
             "log ZAT_LOG_TEST_BAD: 4 rate-limiting arguments, at most 3 are allowed");
   EXPECT_EQ(refusal(make(3, "", -1, 1, 0)),
             "log ZAT_LOG_TEST_BAD: the rate-limit period must be 0 or more seconds");
   EXPECT_EQ(refusal(make(3, "", 0, 0.999, 0)),
             "log ZAT_LOG_TEST_BAD: the burst must be a finite number of 1 or more");
   for (char const* format : {"trailing %", "%5s", "%S", "% s", "%ls", "50% off"}) {
      EXPECT_THROW(make(3, format, 0, 1, 0)(), PreconditionException) << format;
   }
   EXPECT_THROW(make(-1, "", 0, 1, 0)(), PreconditionException);
   EXPECT_THROW(make(8, "", 0, 1, 0)(), PreconditionException);
   EXPECT_THROW(make(3, "", NAN, 1, 0)(), PreconditionException);
   EXPECT_THROW(make(3, "", 0, NAN, 0)(), PreconditionException);
   EXPECT_THROW(make(3, "", 0, INFINITY, 0)(), PreconditionException);
   EXPECT_THROW(LogHandle("", 3, "", "", ContactSupport, 0, 1.0, 0, 0), PreconditionException);
   EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_BAD"), nullptr);
   // The edges that are fine.
   LogHandle percent("ZAT_LOG_TEST_PERCENT", 0, "100%% of %s%s%s", "", ContactSupport, 0, 1.0, 3, 0);
   EXPECT_EQ(percent.argCount(), 3u);
   EXPECT_NO_THROW(LogHandle("ZAT_LOG_TEST_SEVEN", 7, "", "", ContactSupport, 0, 1.0, 0, 0));
}

TEST(ZatLog, LogStringSlotsAndArgsHash) {
   LogString s;
   EXPECT_EQ(s.hash(), 0u);
   EXPECT_THROW(s.argIs(4, "x"), PreconditionException);
   EXPECT_THROW(s.arg(4), PreconditionException);
   LogString const abc = logStringOf("ab", "c", "z");
   EXPECT_EQ(logArgsHash(abc, 0), 0u);
   EXPECT_THROW(logArgsHash(abc, 4), PreconditionException);
   // Only the first n slots count, and where one argument ends matters.
   EXPECT_EQ(logArgsHash(abc, 2), logArgsHash(logStringOf("ab", "c", "other"), 2));
   EXPECT_NE(logArgsHash(abc, 3), logArgsHash(logStringOf("ab", "c", "other"), 3));
   EXPECT_NE(logArgsHash(abc, 2), logArgsHash(logStringOf("a", "bc", "z"), 2));
   EXPECT_NE(logArgsHash(logStringOf("", "", ""), 1), logArgsHash(logStringOf("", "", ""), 2));
}

// The limiter is asked about the handle's key mixed with the leading arguments, and sees only those; a
// refused message goes no further, an allowed one reaches the sink whole, with the hash of those
// arguments. A fourth argument never keys the limit.
TEST(ZatLog, TheLimiterSeesOnlyTheKeyingArguments) {
   ScriptedLimiter limiter;
   limiter.answers = {false};
   LogHandle one("ZAT_LOG_TEST_ONE", 3, "%s is %s (%s)", "", ContactSupport, 0, 1.0, 1, 0);
   LogHandle none("ZAT_LOG_TEST_NONE", 6, "restart timed out", "", NoActionRequired, 0, 1.0, 0, 0);
   LogHandle all("ZAT_LOG_TEST_ALL", 6, "%s/%s/%s on %s", "", NoActionRequired, 0, 1.0, 0, 0);
   std::uint32_t const first = logArgsHash(logStringOf("p", "", ""), 1);
   std::uint32_t const three = logArgsHash(logStringOf("a", "b", "c"), 3);
   logEvent(one, "p", "down", "timer");
   logEvent(one, "p", "down", "timer");
   logEvent(none);
   logEvent(all, "a", "b", "c", "d");
   auto key = [](LogHandle const& h, std::uint32_t args) { return std::to_string(h.idHash() ^ args) + "|"; };
   EXPECT_EQ(limiter.asked, (Strings{key(one, first) + "p,,|0", key(one, first) + "p,,|0",
                                     key(none, 0) + ",,|0", key(all, three) + "a,b,c|0"}));
   EXPECT_EQ(limiter.logged(),
             (Strings{"p,down,timer|" + std::to_string(first) + "|p is down (timer)",
                      ",,|0|restart timed out", "a,b,c|" + std::to_string(three) + "|a/b/c on d"}));
}

// A key's bucket holds `burst` messages and earns `burst` per period; another key, or another handle, has
// its own; the handle's own bucket caps them all together.
TEST(ZatLog, DefaultLimiterIsATokenBucketPerKey) {
   LogCapture capture;
   FakeClock clock;
   clock.now = 100;
   LogHandle h("ZAT_LOG_TEST_LIMIT", 4, "vrf %s: %s", "", ContactSupport, 10, 2.0, 1, 0);
   LogHandle other("ZAT_LOG_TEST_LIMIT_OTHER", 4, "vrf %s: %s", "", ContactSupport, 10, 2.0, 1, 0);
   for (char const* text : {"1", "2", "3"}) logEvent(h, "red", text);
   // The key is the leading argument only; the rest does not matter.
   logEvent(h, "blue", "1");
   logEvent(other, "red", "1");
   EXPECT_EQ(capture.takeLines(),
             (Strings{"ZAT_LOG_TEST_LIMIT: vrf red: 1", "ZAT_LOG_TEST_LIMIT: vrf red: 2",
                      "ZAT_LOG_TEST_LIMIT: vrf blue: 1", "ZAT_LOG_TEST_LIMIT_OTHER: vrf red: 1"}));
   // Two per ten seconds: one token back after five.
   clock.now = 104.9;
   logEvent(h, "red", "early");
   clock.now = 105;
   logEvent(h, "red", "refilled");
   logEvent(h, "red", "spent");
   EXPECT_EQ(capture.takeLines(), Strings{"ZAT_LOG_TEST_LIMIT: vrf red: refilled"});
   // A clock set back refills the key instead of muting it until the clock catches up.
   clock.now = 50;
   for (char const* text : {"back 1", "back 2", "back 3"}) logEvent(h, "red", text);
   EXPECT_EQ(capture.takeLines().size(), 2u);

   // The handle's own cap: three messages per period whatever the arguments, spent only when both allow.
   LogHandle capped("ZAT_LOG_TEST_CAPPED", 3, "%s", "", ContactSupport, 30, 1.0, 0, 3);
   for (char const* key : {"a", "a", "b", "c", "d"}) logEvent(capped, key);
   clock.now = 60;
   logEvent(capped, "d");
   EXPECT_EQ(capture.takeLines(), (Strings{"ZAT_LOG_TEST_CAPPED: a", "ZAT_LOG_TEST_CAPPED: b",
                                           "ZAT_LOG_TEST_CAPPED: c", "ZAT_LOG_TEST_CAPPED: d"}));

   // The default period: the same message about the same things once every ten seconds.
   LogHandle plain("ZAT_LOG_TEST_PLAIN", 6, "%s", "", NoActionRequired, 0, 1.0, 0, 0);
   logEvent(plain, "x");
   clock.now = 69.999;
   logEvent(plain, "x");
   clock.now = 70;
   logEvent(plain, "x");
   EXPECT_EQ(capture.takeLines().size(), 2u);
   logRateLimitsReset();
   logEvent(plain, "x");
   EXPECT_EQ(capture.takeLines().size(), 1u);
}

// Forgetting refilled buckets, once thousands of keys are remembered, must not forget one still short.
TEST(ZatLog, DefaultLimiterForgetsOnlyRefilledKeys) {
   LogCapture capture;
   FakeClock clock;
   LogHandle h("ZAT_LOG_TEST_MANY", 4, "%s", "", ContactSupport, 10, 1.0, 1, 0);
   logEvent(h, "busy");
   clock.now = 5;
   for (int i = 0; i < 5000; ++i) logEvent(h, "key" + std::to_string(i));
   logEvent(h, "busy");
   EXPECT_EQ(capture.take().size(), 5001u);
   clock.now = 10;
   logEvent(h, "busy");
   EXPECT_EQ(capture.takeLines(), Strings{"ZAT_LOG_TEST_MANY: busy"});
}

TEST(ZatLog, DefaultSinkWritesOneTimestampedLineToStderr) {
   FakeClock clock;
   clock.now = 1714564800.25;
   LogHandle h("ZAT_LOG_TEST_STDERR", 3, "link %s is %s", "", ContactSupport, 0, 1.0, 0, 0);
   testing::internal::CaptureStderr();
   logEvent(h, "et1", "down");
   clock.now = -0.5;
   h.log(logStringOf("et2", "up", "ignored"));
   EXPECT_EQ(testing::internal::GetCapturedStderr(),
             "2024-05-01T12:00:00.250Z ZAT_LOG_TEST_STDERR ERROR: link et1 is down\n"
             "1969-12-31T23:59:59.500Z ZAT_LOG_TEST_STDERR ERROR: link et2 is up\n");
   EXPECT_EQ(severityName(0), "EMERG");
   EXPECT_EQ(severityName(6), "INFO");
   EXPECT_EQ(severityName(8), "UNKNOWN");
}
