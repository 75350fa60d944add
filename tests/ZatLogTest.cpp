#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Zat/Exception.h"
#include "Zat/Hash.h"
#include "Zat/Log.h"
#include "Zat/System.h"

using namespace Zat;

namespace {

struct Logged {
   LogHandle const* handle;
   String args[3];
   std::uint32_t hash;
   String text;
};

// Collects what reaches the log sink while it lives, then puts the default sink back.
struct LogCapture {
   std::vector<Logged> logged;
   LogCapture() {
      logSinkIs([this](LogHandle const& h, LogString const& s, String const& text) {
         logged.push_back(Logged{&h, {s.arg(0), s.arg(1), s.arg(2)}, s.hash(), text});
      });
   }
   ~LogCapture() { logSinkIs({}); }
};

// A rate limiter that answers from a script and remembers every question with the slots it could see.
struct FakeLimiter {
   struct Asked {
      LogHandle const* handle;
      std::uint32_t key;
      String pending[3];
      std::uint32_t pendingHash;
   };
   std::vector<Asked> asked;
   std::vector<bool> answers;
   FakeLimiter() {
      rateLimiterIs([this](LogHandle const& h, std::uint32_t key, LogString const& pending) {
         asked.push_back(Asked{&h, key, {pending.arg(0), pending.arg(1), pending.arg(2)}, pending.hash()});
         bool const answer = answers.at(asked.size() - 1);
         return answer;
      });
   }
   ~FakeLimiter() { rateLimiterIs({}); }
};

struct ClockGuard {
   Seconds now = 0;
   ClockGuard() {
      System::clockIs([this] { return now; });
   }
   ~ClockGuard() { System::clockIs({}); }
};

std::string preconditionText(auto fn) {
   try {
      fn();
   } catch (PreconditionException const& e) {
      return e.what();
   }
   return "no exception";
}

LogString logStringOf(String a0, String a1, String a2) {
   LogString s;
   s.argIs(0, std::move(a0));
   s.argIs(1, std::move(a1));
   s.argIs(2, std::move(a2));
   return s;
}

}  // namespace

TEST(ZatLog, HandleKeepsItsFieldsAndRegistersByName) {
   EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_FIELDS"), nullptr);
   {
      LogHandle h("ZAT_LOG_TEST_FIELDS", 4, "peer %s went %s", "A peer changed state.", CallSupportIfPersists,
                  2.5, 1.0, 2, 7);
      EXPECT_EQ(h.name(), String("ZAT_LOG_TEST_FIELDS"));
      EXPECT_EQ(h.severity(), 4);
      EXPECT_EQ(h.format(), String("peer %s went %s"));
      EXPECT_EQ(h.explanation(), String("A peer changed state."));
      EXPECT_EQ(h.recommendedAction(), CallSupportIfPersists);
      EXPECT_EQ(h.minInterval(), 2.5);
      EXPECT_EQ(h.doubleParam(), 1.0);
      EXPECT_EQ(h.rateLimitArgsMask(), 2u);
      EXPECT_EQ(h.unsignedParam(), 7u);
      EXPECT_EQ(h.argCount(), 2u);
      EXPECT_EQ(h.idHash(), hashSingleAttr(0, std::string_view("ZAT_LOG_TEST_FIELDS")));
      EXPECT_NE(h.idHash(), hashSingleAttr(0, std::string_view("ZAT_LOG_TEST_FIELDs")));

      EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_FIELDS"), &h);
      {
         LogHandle twin("ZAT_LOG_TEST_FIELDS", 6, "", "", NoActionRequired, 0, 1.0, 0, 0);
         EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_FIELDS"), &h);
         auto names = LogHandle::names();
         EXPECT_EQ(std::count(names.begin(), names.end(), String("ZAT_LOG_TEST_FIELDS")), 1);
         EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
      }
      EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_FIELDS"), &h);
   }
   EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_FIELDS"), nullptr);

   // The three stock actions are distinct operator-facing sentences.
   for (String const* action : {&ContactSupport, &CallSupportIfPersists, &NoActionRequired}) {
      EXPECT_FALSE(action->empty());
      EXPECT_EQ((*action)[action->size() - 1], '.');
   }
   EXPECT_NE(ContactSupport, CallSupportIfPersists);
   EXPECT_NE(ContactSupport, NoActionRequired);
}

TEST(ZatLog, BadHandlesAreRefusedAndNotRegistered) {
   auto make = [](int severity, char const* format, Seconds interval, unsigned rateArgs) {
      return [=] {
         LogHandle("ZAT_LOG_TEST_BAD", severity, format, "", ContactSupport, interval, 1.0, rateArgs, 0);
      };
   };
   EXPECT_EQ(preconditionText(make(3, "count %d", 0, 0)),
             "log ZAT_LOG_TEST_BAD: format 'count %d' may use only %s (offset 6)");
   EXPECT_EQ(preconditionText(make(3, "%s%s%s%s%s", 0, 0)),
             "log ZAT_LOG_TEST_BAD: format '%s%s%s%s%s' has 5 arguments, at most 4 are allowed");
   for (char const* format : {"trailing %", "%5s", "%S", "% s", "%ls", "50% off"}) {
      EXPECT_THROW(make(3, format, 0, 0)(), PreconditionException) << format;
   }
   EXPECT_THROW(make(-1, "", 0, 0)(), PreconditionException);
   EXPECT_THROW(make(8, "", 0, 0)(), PreconditionException);
   EXPECT_THROW(make(3, "", -1, 0)(), PreconditionException);
   EXPECT_THROW(make(3, "", NAN, 0)(), PreconditionException);
   EXPECT_EQ(preconditionText(make(3, "%s", 0, 4)),
             "log ZAT_LOG_TEST_BAD: 4 rate-limiting arguments, at most 3 are allowed");
   EXPECT_THROW(LogHandle("", 3, "", "", ContactSupport, 0, 1.0, 0, 0), PreconditionException);
   EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_BAD"), nullptr);

   // The edges that are fine.
   LogHandle percent("ZAT_LOG_TEST_PERCENT", 0, "100%% of %s%s%s", "", ContactSupport, 0, 1.0, 3, 0);
   EXPECT_EQ(percent.argCount(), 3u);
   LogHandle severe("ZAT_LOG_TEST_SEVEN", 7, "", "", ContactSupport, 0, 1.0, 0, 0);
   EXPECT_EQ(severe.argCount(), 0u);
}

TEST(ZatLog, LogStringSlotsAndArgsHash) {
   LogString s;
   EXPECT_EQ(s.arg(2), String());
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
   EXPECT_NE(logArgsHash(abc, 1), logArgsHash(abc, 2));
   EXPECT_NE(logArgsHash(logStringOf("", "", ""), 1), logArgsHash(logStringOf("", "", ""), 2));
}

TEST(ZatLog, EmissionAsksTheLimiterBeforeFillingTheRest) {
   LogCapture capture;
   FakeLimiter limiter;
   LogHandle h("ZAT_LOG_TEST_ORDER", 3, "peer %s is %s (%s)", "", ContactSupport, 0, 1.0, 1, 0);
   std::uint32_t const firstArgHash = logArgsHash(logStringOf("1.1.1.1", "", ""), 1);

   limiter.answers = {false, true};
   logEvent(h, "1.1.1.1", "down", "hold timer");
   ASSERT_EQ(limiter.asked.size(), 1u);
   EXPECT_TRUE(capture.logged.empty());
   FakeLimiter::Asked const& refused = limiter.asked[0];
   EXPECT_EQ(refused.handle, &h);
   EXPECT_EQ(refused.key, h.idHash() ^ firstArgHash);
   EXPECT_EQ(refused.pending[0], String("1.1.1.1"));
   EXPECT_EQ(refused.pending[1], String());
   EXPECT_EQ(refused.pending[2], String());
   EXPECT_EQ(refused.pendingHash, 0u);

   logEvent(h, "1.1.1.1", "down", "hold timer");
   ASSERT_EQ(limiter.asked.size(), 2u);
   EXPECT_EQ(limiter.asked[1].pending[1], String());
   ASSERT_EQ(capture.logged.size(), 1u);
   Logged const& out = capture.logged[0];
   EXPECT_EQ(out.handle, &h);
   EXPECT_EQ(out.text, String("peer 1.1.1.1 is down (hold timer)"));
   EXPECT_EQ(out.args[0], String("1.1.1.1"));
   EXPECT_EQ(out.args[1], String("down"));
   EXPECT_EQ(out.args[2], String("hold timer"));
   EXPECT_EQ(out.hash, firstArgHash);
}

TEST(ZatLog, RateLimitArgumentCountChoosesTheKey) {
   LogCapture capture;
   FakeLimiter limiter;
   limiter.answers = {true, true};
   LogHandle none("ZAT_LOG_TEST_NONE", 6, "%s/%s", "", NoActionRequired, 0, 1.0, 0, 0);
   LogHandle all("ZAT_LOG_TEST_ALL", 6, "%s/%s/%s", "", NoActionRequired, 0, 1.0, 3, 0);

   logEvent(none, "a", "b");
   EXPECT_EQ(limiter.asked[0].key, none.idHash());
   EXPECT_EQ(limiter.asked[0].pending[0], String());

   logEvent(all, "a", "b", "c");
   std::uint32_t const h = logArgsHash(logStringOf("a", "b", "c"), 3);
   EXPECT_EQ(limiter.asked[1].key, all.idHash() ^ h);
   EXPECT_EQ(limiter.asked[1].pending[2], String("c"));

   ASSERT_EQ(capture.logged.size(), 2u);
   EXPECT_EQ(capture.logged[0].text, String("a/b"));
   EXPECT_EQ(capture.logged[0].hash, 0u);
   EXPECT_EQ(capture.logged[1].text, String("a/b/c"));
   EXPECT_EQ(capture.logged[1].hash, h);
}

TEST(ZatLog, DefaultLimiterAllowsAKeyOncePerInterval) {
   LogCapture capture;
   ClockGuard clock;
   LogHandle h("ZAT_LOG_TEST_LIMIT", 4, "vrf %s: %s", "", ContactSupport, 10, 1.0, 1, 0);
   LogHandle other("ZAT_LOG_TEST_LIMIT_OTHER", 4, "vrf %s: %s", "", ContactSupport, 10, 1.0, 1, 0);
   auto texts = [&] {
      std::vector<std::string> out;
      for (Logged const& l : capture.logged) out.push_back(l.text.str());
      capture.logged.clear();
      return out;
   };

   clock.now = 100;
   logEvent(h, "red", "first");
   logEvent(h, "red", "again at once");
   // The key is the leading argument only; the rest does not matter.
   logEvent(h, "blue", "first");
   logEvent(other, "red", "other handle");
   EXPECT_EQ(texts(),
             (std::vector<std::string>{"vrf red: first", "vrf blue: first", "vrf red: other handle"}));

   clock.now = 109.999;
   logEvent(h, "red", "just before");
   EXPECT_TRUE(texts().empty());
   clock.now = 110;
   logEvent(h, "red", "on the interval");
   logEvent(h, "red", "and not twice");
   EXPECT_EQ(texts(), std::vector<std::string>{"vrf red: on the interval"});

   // A clock set back does not mute the key until it catches up.
   clock.now = 50;
   logEvent(h, "red", "clock went back");
   logEvent(h, "red", "but still limited");
   EXPECT_EQ(texts(), std::vector<std::string>{"vrf red: clock went back"});

   LogHandle unlimited("ZAT_LOG_TEST_UNLIMITED", 4, "%s", "", ContactSupport, 0, 1.0, 1, 0);
   logEvent(unlimited, "x");
   logEvent(unlimited, "x");
   EXPECT_EQ(texts(), (std::vector<std::string>{"x", "x"}));
}

TEST(ZatLog, DefaultSinkWritesToStderr) {
   logSinkIs({});
   rateLimiterIs({});
   LogHandle h("ZAT_LOG_TEST_STDERR", 3, "link %s is %s", "", ContactSupport, 0, 1.0, 0, 0);
   testing::internal::CaptureStderr();
   logEvent(h, "et1", "down");
   h.log(logStringOf("et2", "up", "ignored"));
   EXPECT_EQ(testing::internal::GetCapturedStderr(),
             "%ZAT_LOG_TEST_STDERR-3: link et1 is down\n%ZAT_LOG_TEST_STDERR-3: link et2 is up\n");
   EXPECT_EQ(h.text(logStringOf("a", "", "")), String("link a is "));
}
