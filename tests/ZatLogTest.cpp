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
using Strings = std::vector<std::string>;

namespace {

std::string argsOf(LogString const& s) {
   return s.arg(0).str() + "," + s.arg(1).str() + "," + s.arg(2).str() + "|" + std::to_string(s.hash());
}

// Records the sink's messages as "args|hash|text" and the limiter's questions as "key|args|hash" of what
// it may see, answering them from a script (yes once the script runs out); then puts the defaults back.
struct LogCapture {
   Strings logged, asked;
   std::vector<bool> answers;
   explicit LogCapture(bool limit = true) {
      logSinkIs([this](LogHandle const&, LogString const& s, String const& text) {
         logged.push_back(argsOf(s) + "|" + text.str());
      });
      if (!limit) return;
      rateLimiterIs([this](LogHandle const&, std::uint32_t key, LogString const& pending) {
         asked.push_back(std::to_string(key) + "|" + argsOf(pending));
         return asked.size() > answers.size() || answers[asked.size() - 1];
      });
   }
   ~LogCapture() {
      logSinkIs({});
      rateLimiterIs({});
   }
   // The texts logged since the last call.
   Strings texts() {
      Strings out;
      for (std::string const& s : logged) out.push_back(s.substr(s.rfind('|') + 1));
      logged.clear();
      return out;
   }
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

TEST(ZatLog, HandlesKeepTheirFieldsAndRegisterByName) {
   EXPECT_EQ(LogHandle::find("ZAT_LOG_TEST_FIELDS"), nullptr);
   {
      LogHandle h("ZAT_LOG_TEST_FIELDS", 4, "peer %s went %s", "A peer changed state.", CallSupportIfPersists,
                  2.5, 1.5, 2, 7);
      EXPECT_EQ(h.name(), String("ZAT_LOG_TEST_FIELDS"));
      EXPECT_EQ(h.severity(), 4);
      EXPECT_EQ(h.format(), String("peer %s went %s"));
      EXPECT_EQ(h.explanation(), String("A peer changed state."));
      EXPECT_EQ(h.recommendedAction(), CallSupportIfPersists);
      EXPECT_EQ(h.minInterval(), 2.5);
      EXPECT_EQ(h.doubleParam(), 1.5);
      EXPECT_EQ(h.unsignedParam(), 7u);
      EXPECT_EQ(h.rateLimitArgsMask(), 2u);
      EXPECT_EQ(h.argCount(), 2u);
      // The same on every run and platform: the hash of the name.
      EXPECT_EQ(h.idHash(), hashSingleAttr(0, std::string_view("ZAT_LOG_TEST_FIELDS")));
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
   EXPECT_EQ(preconditionText(make(3, "%s", 0, 4)),
             "log ZAT_LOG_TEST_BAD: 4 rate-limiting arguments, at most 3 are allowed");
   for (char const* format : {"trailing %", "%5s", "%S", "% s", "%ls", "50% off"}) {
      EXPECT_THROW(make(3, format, 0, 0)(), PreconditionException) << format;
   }
   EXPECT_THROW(make(-1, "", 0, 0)(), PreconditionException);
   EXPECT_THROW(make(8, "", 0, 0)(), PreconditionException);
   EXPECT_THROW(make(3, "", -1, 0)(), PreconditionException);
   EXPECT_THROW(make(3, "", NAN, 0)(), PreconditionException);
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
// arguments.
TEST(ZatLog, TheLimiterSeesOnlyTheKeyingArguments) {
   LogCapture capture;
   capture.answers = {false};
   LogHandle one("ZAT_LOG_TEST_ONE", 3, "%s is %s (%s)", "", ContactSupport, 0, 1.0, 1, 0);
   LogHandle none("ZAT_LOG_TEST_NONE", 6, "%s/%s", "", NoActionRequired, 0, 1.0, 0, 0);
   LogHandle all("ZAT_LOG_TEST_ALL", 6, "%s/%s/%s", "", NoActionRequired, 0, 1.0, 3, 0);
   std::uint32_t const first = logArgsHash(logStringOf("p", "", ""), 1);
   std::uint32_t const three = logArgsHash(logStringOf("a", "b", "c"), 3);
   logEvent(one, "p", "down", "timer");
   logEvent(one, "p", "down", "timer");
   logEvent(none, "a", "b");
   logEvent(all, "a", "b", "c");
   auto key = [](LogHandle const& h, std::uint32_t args) { return std::to_string(h.idHash() ^ args) + "|"; };
   EXPECT_EQ(capture.asked, (Strings{key(one, first) + "p,,|0", key(one, first) + "p,,|0",
                                     key(none, 0) + ",,|0", key(all, three) + "a,b,c|0"}));
   EXPECT_EQ(capture.logged, (Strings{"p,down,timer|" + std::to_string(first) + "|p is down (timer)",
                                      "a,b,|0|a/b", "a,b,c|" + std::to_string(three) + "|a/b/c"}));
}

TEST(ZatLog, DefaultLimiterAllowsAKeyOncePerInterval) {
   LogCapture capture(false);
   Seconds now = 0;
   System::clockIs([&] { return now; });
   LogHandle h("ZAT_LOG_TEST_LIMIT", 4, "vrf %s: %s", "", ContactSupport, 10, 1.0, 1, 0);
   LogHandle other("ZAT_LOG_TEST_LIMIT_OTHER", 4, "vrf %s: %s", "", ContactSupport, 10, 1.0, 1, 0);
   now = 100;
   logEvent(h, "red", "first");
   logEvent(h, "red", "again at once");
   // The key is the leading argument only; the rest does not matter.
   logEvent(h, "blue", "first");
   logEvent(other, "red", "other handle");
   EXPECT_EQ(capture.texts(), (Strings{"vrf red: first", "vrf blue: first", "vrf red: other handle"}));
   now = 109.999;
   logEvent(h, "red", "just before");
   EXPECT_TRUE(capture.texts().empty());
   now = 110;
   logEvent(h, "red", "on the interval");
   logEvent(h, "red", "and not twice");
   EXPECT_EQ(capture.texts(), Strings{"vrf red: on the interval"});
   // A clock set back does not mute the key until it catches up.
   now = 50;
   logEvent(h, "red", "clock went back");
   logEvent(h, "red", "but still limited");
   EXPECT_EQ(capture.texts(), Strings{"vrf red: clock went back"});
   LogHandle unlimited("ZAT_LOG_TEST_UNLIMITED", 4, "%s", "", ContactSupport, 0, 1.0, 1, 0);
   logEvent(unlimited, "x");
   logEvent(unlimited, "x");
   EXPECT_EQ(capture.texts(), (Strings{"x", "x"}));
   System::clockIs({});
}

TEST(ZatLog, DefaultSinkWritesToStderr) {
   LogHandle h("ZAT_LOG_TEST_STDERR", 3, "link %s is %s", "", ContactSupport, 0, 1.0, 0, 0);
   testing::internal::CaptureStderr();
   logEvent(h, "et1", "down");
   h.log(logStringOf("et2", "up", "ignored"));
   EXPECT_EQ(testing::internal::GetCapturedStderr(),
             "%ZAT_LOG_TEST_STDERR-3: link et1 is down\n%ZAT_LOG_TEST_STDERR-3: link et2 is up\n");
}
