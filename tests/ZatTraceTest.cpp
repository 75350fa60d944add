// Debug trace handles and lines, the ring trace and the twin statement that writes to both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Zat/Exception.h"
#include "Zat/RingTrace.h"
#include "Zat/Trace.h"
#include "Zat/TwinTrace.h"
#include "support/TextChecks.h"

using namespace Zat;
using testing_text::rangeError;
using Texts = std::vector<String>;

namespace {

// Installs a default ring handle for the test and removes it afterwards.
struct RingGuard {
   std::shared_ptr<RingTrace> previous = RingTrace::defaultHandle();
   explicit RingGuard(std::shared_ptr<RingTrace> handle) { RingTrace::defaultHandleIs(std::move(handle)); }
   ~RingGuard() { RingTrace::defaultHandleIs(previous); }
};

std::shared_ptr<RingTrace> ringWith(std::shared_ptr<RingTraceFile> file,
                                    std::shared_ptr<RingTraceFile> mtFile = {}) {
   return std::make_shared<RingTrace>(std::move(file), std::move(mtFile));
}

struct Prefix {
   std::string text;
};
std::ostream& operator<<(std::ostream& os, Prefix const& p) {
   return os << "<" << p.text << ">";
}

// Leaves the stream in hex, which must not reach the arguments after it.
struct HexLeaver {};
std::ostream& operator<<(std::ostream& os, HexLeaver) {
   return os << std::hex << 255;
}

struct Throwing {};
std::ostream& operator<<(std::ostream&, Throwing) {
   throw std::runtime_error("no text");
}

// The number of the ring statement at `line` of this file, or 0 while it has none. Numbers last as long
// as the process, so a test run again (--gtest_repeat) finds its statements already numbered.
std::uint32_t numberAt(int line) {
   for (std::uint32_t n = 1; n <= ringMsgCount(); ++n) {
      RingMsgInfo const info = ringMsgInfo(n);
      if (info.line == line && info.file == String(__FILE__)) return n;
   }
   return 0;
}

// One statement each, so every call reuses the same message number.
void traceRoute(std::string_view prefix, int metric) {
   ZAT_RTRACE("route ", prefix, " metric ", metric, " is 100% up");
}
void traceCount(int* evaluated) {
   ZAT_RTRACE("count ", ++*evaluated);
}

}  // namespace

TEST(ZatTrace, LevelsGateTheStatementAndTheLineNamesItsSource) {
   TraceCapture capture;
   TraceHandle th("ZatTraceTestLevels", false);
   int evaluated = 0;
   ZAT_TRACE(th, 6, "count " << ++evaluated);
   th.levelIs(6, true);
   // clang-format off
   ZAT_TRACE(th, 6, "count " << ++evaluated << ", pair " << std::pair<int, int>(3, 4).second); int const line = __LINE__;
   // clang-format on
   ZAT_TRACE(th, 7, "level seven " << ++evaluated);
   th.levelIs(6, false);
   ZAT_TRACE(th, 6, "again " << ++evaluated);
   EXPECT_EQ(evaluated, 1);
   auto const lines = capture.take();
   ASSERT_EQ(lines.size(), 1u);
   EXPECT_EQ(lines[0].file, String(__FILE__));
   EXPECT_EQ(traceLineText(lines[0]).str(),
             "ZatTraceTestLevels/6 ZatTraceTest.cpp:" + std::to_string(line) + " TestBody: count 1, pair 4");

   // Levels 0 to 15 exist, no others.
   TraceHandle all("ZatTraceTestAll", true);
   EXPECT_TRUE(all.enabled(0) && all.enabled(15) && !all.enabled(16) && !all.enabled(-1));
   EXPECT_THROW(all.levelIs(16, false), PreconditionException);
   EXPECT_THROW(all.levelIs(-1, false), PreconditionException);
   all.levelIs(0, false);
   all.levelIs(15, false);
   EXPECT_EQ(all.levels(), 0x7ffeu);
   EXPECT_THROW(TraceHandle("", false), PreconditionException);
}

TEST(ZatTrace, PartsRenderByKindAndFailuresStayInside) {
   TraceCapture capture;
   TraceHandle th("ZatTraceTestParts", true);
   char const* nullText = nullptr;
   char buffer[] = "buf";
   std::uint8_t const prefixLength = 24;
   std::int8_t const negative = -5;
   ZAT_TRACE(th, 4,
             String("s") << std::string("t") << std::string_view("u") << buffer << nullText << '|' << true
                         << false << '|' << prefixLength << negative << ' '
                         << std::numeric_limits<std::uint64_t>::max() << ' ' << -17);
   ZAT_TRACE(th, 4,
             0.1 << ' ' << 1.0 << ' ' << 1e300 << ' ' << 1712345678.125 << ' ' << 0.1f << ' ' << -0.0 << ' '
                 << Prefix{"10.0.0.0/8"});
   // An exception from a part leaves the statement, and the half-built line is dropped.
   EXPECT_THROW(ZAT_TRACE(th, 4, "before " << Throwing{}), std::runtime_error);
   EXPECT_EQ(capture.takeTexts(),
             (std::vector<std::string>{"stubuf(null)|truefalse|24-5 18446744073709551615 -17",
                                       "0.1 1 1e+300 1712345678.125 0.1 -0 <10.0.0.0/8>"}));

   // A failing sink never reaches the traced code.
   traceSinkIs([](TraceLine const&) { throw std::runtime_error("sink down"); });
   EXPECT_NO_THROW(ZAT_TRACE(th, 4, "lost"));
}

TEST(ZatTrace, RegistrySwitchesEveryHandleOfAName) {
   EXPECT_EQ(TraceHandle::levelIs("ZatTraceTestShared", 8, true), 0u);
   {
      TraceHandle first("ZatTraceTestShared", false);
      TraceHandle other("ZatTraceTestOther", false);
      {
         TraceHandle second("ZatTraceTestShared", false);
         EXPECT_EQ(TraceHandle::find("ZatTraceTestShared"), &first);
         EXPECT_EQ(TraceHandle::levelIs("ZatTraceTestShared", 8, true), 2u);
         EXPECT_TRUE(first.enabled(8) && second.enabled(8));
         EXPECT_FALSE(other.enabled(8));
         EXPECT_THROW(TraceHandle::levelIs("ZatTraceTestShared", 16, true), PreconditionException);
         EXPECT_EQ(first.levels(), 1u << 8);
         auto names = TraceHandle::names();
         EXPECT_EQ(std::count(names.begin(), names.end(), String("ZatTraceTestShared")), 1);
         EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
      }
      EXPECT_EQ(TraceHandle::levelIs("ZatTraceTestShared", 8, false), 1u);
      EXPECT_FALSE(first.enabled(8));
   }
   EXPECT_EQ(TraceHandle::find("ZatTraceTestShared"), nullptr);
}

// Levels from a text: each entry sets its handles' levels exactly, in order, for live handles and for
// those built later; a text that does not read changes nothing.
TEST(ZatTrace, LevelsFromTextByName) {
   TraceHandle a("ZatTraceTestCfgA", true);
   TraceHandle b("ZatTraceTestCfgB", false);
   TraceHandle::levelsIs(" ZatTraceTestCfgA = 4, 6-8 ;ZatTraceTestCfgB=all;");
   EXPECT_EQ(a.levels(), 0x1d0u);
   EXPECT_EQ(b.levels(), 0xffffu);
   {
      // Remembered for a handle built later (another unit loading).
      TraceHandle late("ZatTraceTestCfgA", false);
      EXPECT_EQ(late.levels(), 0x1d0u);
   }
   TraceHandle::levelsIs("*=none;ZatTraceTestCfgB=15,0");
   EXPECT_EQ(a.levels(), 0u);
   EXPECT_EQ(b.levels(), 0x8001u);
   // Each bad entry, after a good one, and the offset within it of what does not read.
   std::pair<char const*, std::size_t> const bad[] = {
       {"ZatTraceTestCfgA=16", 17},   {"ZatTraceTestCfgA=8-6", 17}, {"ZatTraceTestCfgA=", 17},
       {"ZatTraceTestCfgA=4,,5", 19}, {"ZatTraceTestCfgA=04", 17},  {"=4", 0},
       {"ZatTraceTestCfgA", 0},       {"ZatTraceTestCfgA=x", 17}};
   for (auto [text, offset] : bad) {
      std::string const message =
          rangeError([&] { TraceHandle::levelsIs(std::string("ZatTraceTestCfgB=1;") + text); });
      EXPECT_NE(message.find("at offset " + std::to_string(offset + 19) + " "), std::string::npos) << message;
   }
   EXPECT_EQ(b.levels(), 0x8001u);
   TraceHandle later("ZatTraceTestCfgB", false);
   EXPECT_EQ(later.levels(), 0x8001u);
   // Each text replaces the one before for later handles; an empty one only forgets.
   TraceHandle::levelsIs("*=none");
   TraceHandle none("ZatTraceTestCfgC", true);
   TraceHandle::levelsIs("");
   TraceHandle all("ZatTraceTestCfgC", true);
   EXPECT_EQ(none.levels(), 0u);
   EXPECT_EQ(all.levels(), 0xffffu);
}

TEST(ZatTrace, DefaultSinkWritesOneLineToStderr) {
   traceSinkIs({});
   TraceHandle th("ZatTraceTestStderr", true);
   testing::internal::CaptureStderr();
   // clang-format off
   ZAT_TRACE(th, 7, "to stderr " << 42); int const line = __LINE__;
   // clang-format on
   EXPECT_EQ(testing::internal::GetCapturedStderr(),
             "ZatTraceTestStderr/7 ZatTraceTest.cpp:" + std::to_string(line) + " TestBody: to stderr 42\n");
}

// A statement does nothing, and is not numbered, without a handle or a file for the handle's mode; it is
// numbered once, on first use, and keeps its number in every ring.
TEST(ZatRingTrace, AStatementIsNumberedOnceOnFirstUse) {
   RingGuard none(nullptr);
   int evaluated = 0;
   // clang-format off
   int const line = __LINE__; auto add = [](int* n, int metric) { ZAT_RTRACE("add ", ++*n, " metric ", metric, " 100%"); };
   // clang-format on
   bool const fresh = numberAt(line) == 0;
   std::uint32_t const before = ringMsgCount();
   add(&evaluated, 1);
   auto plain = std::make_shared<RingTraceFile>(8);
   auto handle = ringWith(plain);
   handle->multiThreadedIs(true);  // no file for that mode
   RingTrace::defaultHandleIs(handle);
   add(&evaluated, 1);
   EXPECT_EQ(evaluated, 0);
   EXPECT_EQ(ringMsgCount(), before);

   handle->multiThreadedIs(false);
   add(&evaluated, 5);
   add(&evaluated, 20);
   EXPECT_EQ(ringMsgCount(), before + (fresh ? 1 : 0));
   auto records = plain->records();
   ASSERT_EQ(records.size(), 2u);
   std::uint32_t const number = records[0].msg;
   EXPECT_EQ(number, numberAt(line));
   EXPECT_EQ(records[0].args, (Texts{"1", "5"}));
   RingMsgInfo const info = ringMsgInfo(number);
   EXPECT_EQ(info.format, String("add %s metric %s 100%%"));
   EXPECT_TRUE(info.number == number && info.argCount == 2u);
   EXPECT_EQ(plain->dump(), (Texts{"add 1 metric 5 100%", "add 2 metric 20 100%"}));

   // Multi-threaded mode writes to its own file; the number belongs to the statement, not to the file.
   auto mt = std::make_shared<RingTraceFile>(8);
   auto both = ringWith(plain, mt);
   both->multiThreadedIs(true);
   RingTrace::defaultHandleIs(both);
   EXPECT_EQ(both->activeTraceFile(), mt.get());
   add(&evaluated, 1);
   EXPECT_EQ(plain->recordsWritten(), 2u);
   EXPECT_EQ(mt->dump(), Texts{"add 3 metric 1 100%"});
   EXPECT_THROW(ringMsgInfo(0), PreconditionException);
   EXPECT_THROW(ringMsgInfo(ringMsgCount() + 1), PreconditionException);
}

TEST(ZatRingTrace, DisabledMessagesAreSkippedPerFile) {
   auto file = std::make_shared<RingTraceFile>(16);
   RingGuard guard(ringWith(file));
   int evaluated = 0;
   traceCount(&evaluated);
   std::uint32_t const number = file->records().at(0).msg;
   file->msgEnabledIs(number, false);
   traceCount(&evaluated);
   ZAT_RTRACE("other");
   EXPECT_EQ(evaluated, 1);
   EXPECT_EQ(file->dump(), (Texts{"count 1", "other"}));

   auto other = std::make_shared<RingTraceFile>(16);
   RingTrace::defaultHandleIs(ringWith(other));
   traceCount(&evaluated);
   EXPECT_EQ(other->dump(), Texts{"count 2"});

   RingTrace::defaultHandleIs(ringWith(file));
   file->msgEnabledIs(number, true);
   traceCount(&evaluated);
   EXPECT_EQ(file->dump().back(), String("count 3"));
   EXPECT_THROW(file->msgEnabledIs(0, false), PreconditionException);
   EXPECT_THROW(file->msgEnabledIs(ringMsgCount() + 1, false), PreconditionException);
}

TEST(ZatRingTrace, TheRingKeepsTheLastRecordsAsGiven) {
   EXPECT_THROW(RingTraceFile(0), PreconditionException);
   EXPECT_THROW(RingTraceFile(RingTraceFile::maxCapacity + 1), PreconditionException);
   auto file = std::make_shared<RingTraceFile>(3);
   RingGuard guard(ringWith(file));
   for (int i = 1; i <= 5; ++i) traceRoute(i < 5 ? "p" : "q", i);
   EXPECT_EQ(file->size(), 3u);
   EXPECT_EQ(file->recordsWritten(), 5u);
   EXPECT_EQ(file->dump(), (Texts{"route p metric 3 is 100% up", "route p metric 4 is 100% up",
                                  "route q metric 5 is 100% up"}));
   file->clear();
   EXPECT_EQ(file->size(), 0u);
   EXPECT_EQ(file->recordsWritten(), 0u);

   // A char array is literal text; every other part is an argument, stored byte for byte.
   char const* nullText = nullptr;
   char buffer[] = "buf";
   std::uint8_t const length = 8;
   String const withNul(std::string_view("n\0l", 3));
   ZAT_RTRACE("a=", true, " b=", length, " c=", 0.5, " d=", Prefix{"x"}, " e=", nullText, " f=", buffer,
              " g=", std::string_view(buffer), " h=", withNul, " i=", std::string());
   auto records = file->records();
   ASSERT_EQ(records.size(), 1u);
   EXPECT_EQ(records[0].args, (Texts{"true", "8", "0.5", "<x>", "(null)", "buf", withNul, ""}));
   EXPECT_EQ(ringMsgInfo(records[0].msg).format, String("a=%s b=%s c=%s d=%s e=%s f=buf g=%s h=%s i=%s"));
   EXPECT_EQ(file->dump()[0].str(),
             "a=true b=8 c=0.5 d=<x> e=(null) f=buf g=buf h=" + std::string("n\0l", 3) + " i=");
}

TEST(ZatRingTrace, RecordWriterChecksItsMessage) {
   auto file = std::make_shared<RingTraceFile>(4);
   RingGuard guard(ringWith(file));
   traceRoute("p", 1);
   std::uint32_t const number = file->records().at(0).msg;
   RingBuf missing = RingBuf::startMsg(*file, number);
   missing.put("only one");
   EXPECT_THROW(missing.endMsg(), PreconditionException);
   RingBuf tooMany = RingBuf::startMsg(*file, number);
   tooMany.put("a").put("b");
   EXPECT_THROW(tooMany.put("c"), PreconditionException);
   tooMany.endMsg();
   EXPECT_THROW(tooMany.endMsg(), PreconditionException);
   EXPECT_THROW(tooMany.put("d"), PreconditionException);
   RingBuf::startMsg(*file, number).put("x").put("y");  // never ended: dropped
   EXPECT_EQ(file->dump(), (Texts{"route p metric 1 is 100% up", "route a metric b is 100% up"}));

   // A statement finished twice (two threads reaching it first) keeps its first number.
   static RingMsgNumber handMade{0};
   EXPECT_THROW(MsgDesc(*file, nullptr, "f.cpp", 1), PreconditionException);
   MsgDesc desc(*file, &handMade, "f.cpp", 7);
   desc << "made by hand ";
   desc.put();
   std::uint32_t const assigned = desc.finish();
   EXPECT_EQ(handMade.load(), assigned);
   EXPECT_EQ(desc.finish(), assigned);
}

TEST(ZatTwinTrace, EachSideHasItsOwnSwitchAndBothGetTheSameText) {
   TraceCapture capture;
   TraceHandle th("ZatTwinTestBoth", false);
   auto file = std::make_shared<RingTraceFile>(8);
   RingGuard guard(ringWith(file));
   int evaluated = 0;
   auto twin = [&](std::string_view prefix) {
      ZAT_TWINTRACE(th, 6, "route ", prefix, " metric ", 1.5, " up ", true, " n ", ++evaluated);
   };
   using Strings = std::vector<std::string>;

   twin("10.0.0.0/8");  // ring only
   th.levelIs(6, true);
   twin("10.1.0.0/16");  // both
   EXPECT_EQ(file->records().back().args, (Texts{"10.1.0.0/16", "1.500000", "true", "2"}));
   auto const line = capture.take();
   ASSERT_EQ(line.size(), 1u);
   EXPECT_EQ(traceLineText(line[0]).str().substr(0, 18), "ZatTwinTestBoth/6 ");
   RingTrace::defaultHandleIs(nullptr);
   twin("10.2.0.0/16");  // trace only
   th.levelIs(6, false);
   twin("10.3.0.0/16");  // neither: nothing evaluated
   EXPECT_EQ(evaluated, 3);
   EXPECT_EQ(file->dump(), (Texts{"route 10.0.0.0/8 metric 1.500000 up true n 1",
                                  "route 10.1.0.0/16 metric 1.500000 up true n 2"}));
   EXPECT_EQ(line[0].text, String("route 10.1.0.0/16 metric 1.500000 up true n 2"));
   EXPECT_EQ(capture.takeTexts(), Strings{"route 10.2.0.0/16 metric 1.500000 up true n 3"});

   // A disabled ring message turns only the ring side off.
   RingTrace::defaultHandleIs(ringWith(file));
   file->msgEnabledIs(file->records()[0].msg, false);
   twin("10.4.0.0/16");
   EXPECT_EQ(evaluated, 3);
   th.levelIs(6, true);
   twin("10.5.0.0/16");
   EXPECT_EQ(evaluated, 4);
   EXPECT_EQ(capture.takeTexts(), Strings{"route 10.5.0.0/16 metric 1.500000 up true n 4"});
   EXPECT_EQ(file->recordsWritten(), 2u);

   // One-byte integers are numbers; formatting an argument leaves behind does not reach the next.
   char const* nullText = nullptr;
   ZAT_TWINTRACE(th, 6, "", std::uint8_t(7), " ", std::int8_t(-7), " ", 'c', " ", HexLeaver{}, " ", 255, " ",
                 nullText);
   EXPECT_EQ(capture.takeTexts(), Strings{"7 -7 c ff 255 (null)"});
}
