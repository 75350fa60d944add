// Second-generation keys and small values: names in a device key and readable texts; the platform values:
// readable texts, value contract, generation-id order, the group name's bound. (Text forms, orders and
// hashes of generated values are the compiler's, checked by its own tests.)
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "Platform/KroGenIdOrder.h"
#include "Platform/VelL3V2Platform.h"
#include "Vel/VelL3V2LocalTypes.h"
#include "support/TextChecks.h"

using namespace VelL3V2;
using testing_text::rangeError;
using Zat::String;

TEST(VelL3V2Keys, DeviceKeyCarriesTwoNamesAndKeysReadAsTheirNames) {
   EXPECT_FALSE(bool(DeviceKey()));
   EXPECT_EQ(DeviceKey().getSourceName(), String(""));
   EXPECT_EQ(DeviceKey("fw1").getSourceName(), String("fw1"));
   EXPECT_EQ(DeviceKey("fw1").getDeviceName(), String(""));
   DeviceKey k(DeviceKey::encode("a:b", "c"));
   EXPECT_EQ(k.value(), String("a\\:b:c"));
   EXPECT_EQ(k.getSourceName(), String("a:b"));
   EXPECT_EQ(k.getDeviceName(), String("c"));
   EXPECT_EQ(k.stringValue(), String(" Device: a\\:b:c"));
   DeviceKeySet s;
   EXPECT_EQ(s.stringValue(), String(""));
   s.deviceKeyIs(DeviceKey("a"));
   s.deviceKeyIs(DeviceKey("a"));
   EXPECT_EQ(s.stringValue(), String(" Device: a, "));
   EXPECT_EQ(DeviceNetVrfKey(DeviceKey("d"), "red").stringValue(), String(" Device: d NetVRF: red"));
}

TEST(VelL3V2Keys, PlatformValueTexts) {
   using namespace VelL3::V2;
   EXPECT_EQ(KroGenId(7, 42).stringValue(), String("7:42"));
   EXPECT_EQ(FlowOrder(0, 9870).stringValue(), String(" Preference: 0 Priority: 9870"));
   EXPECT_EQ(KroTimestamp(KroGenId(1, 2), 1712345678.123456789).stringValue(),
             String(" GenId: 1:2 Timestamp: 1712345678.1234567165"));
   EXPECT_EQ(KroTimestamp(KroGenId(), 0.5).stringValue(), String(" GenId: 0:0 Timestamp: 0.5"));
   // The 16 bytes behind the uuid text: high, then low, most significant byte first.
   EXPECT_EQ(KroGenId(0x0123456789abcdefu, 0xfedcba9876543210u).uuidText(),
             String("01234567-89ab-cdef-fedc-ba9876543210"));
}

TEST(VelL3V2Keys, KroTimestampEqualsItsCopyAndHashesByValue) {
   using namespace VelL3::V2;
   KroGenId const g(UINT64_MAX, 3);
   KroTimestamp const zero(g, 0.0), negZero(g, -0.0), nan(g, std::nan("")), otherNan(g, -std::nan("7"));
   KroTimestamp const copy = nan;
   EXPECT_EQ(zero, negZero);
   EXPECT_EQ(zero.hash(0), negZero.hash(0));
   EXPECT_EQ(nan, copy);
   EXPECT_EQ(nan, otherNan);
   EXPECT_EQ(nan.hash(5), otherNan.hash(5));
   EXPECT_TRUE(KroTimestamp(g, INFINITY) < nan && !(nan < copy));
   for (KroTimestamp const& t : {zero, nan, KroTimestamp(g, -INFINITY), KroTimestamp(g, 1e-7)}) {
      EXPECT_EQ(Zat::strepToValue<KroTimestamp>(valueToStrep(t).view()), t);
   }
   // A value that fails part-way leaves the range where the value began.
   std::string const text =
       "[Value('VelL3::V2::KroTimestamp', ** {'genId': Value('VelL3::V2::KroGenId', ** "
       "{'high': 1, 'low': 2}), 'timestamp': 1})]";
   Zat::CharRange r(text);
   r.needString("[");
   EXPECT_EQ(
       rangeError([&] { Zat::parseValue<KroTimestamp>(r); }),
       "attribute 'timestamp': number 1 is not written as Python writes it: expected 1.0 at offset 116");
   EXPECT_EQ(r.offset(), 1u);
}

// Maps keyed by generation ids walk them in the order of their uuid texts: the comparator must agree
// with comparing the texts, on every byte position and with the top bit of any byte set.
TEST(VelL3V2Keys, KroGenIdTextOrderIsTheOrderOfItsUuidText) {
   using VelL3::V2::KroGenId;
   VelL3::V2::KroGenIdTextOrder const less;
   std::mt19937_64 rng(20240611);
   std::vector<KroGenId> ids = {KroGenId(),
                                KroGenId(0, 1),
                                KroGenId(1, 0),
                                KroGenId(0, 0x80),
                                KroGenId(0, 0x7f00000000000000u),
                                KroGenId(0x8000000000000000u, 0),
                                KroGenId(UINT64_MAX, UINT64_MAX)};
   for (int i = 0; i < 200; ++i) {
      // Many ids share their high number, so that the low one decides.
      std::uint64_t const high = i % 4 == 0 ? 5 : rng();
      ids.emplace_back(high, rng() >> (rng() % 64));
   }
   for (KroGenId const& a : ids) {
      for (KroGenId const& b : ids) {
         std::string const ta = a.uuidText().str(), tb = b.uuidText().str();
         ASSERT_EQ(less(a, b), ta < tb) << ta << " " << tb;
         ASSERT_EQ(ta == tb, a == b) << ta << " " << tb;
      }
   }
}

// A group name holds at most 63 bytes, from a constructor or from text; an over-long one is refused and
// changes nothing.
TEST(VelL3V2Keys, GroupNameBoundTextAndOrder) {
   using VelL3::V2::GroupName;
   std::string const longest(63, 'g'), tooLong(64, 'g');
   EXPECT_EQ(GroupName(longest).size(), 63u);
   EXPECT_EQ(rangeError([&] { GroupName{tooLong}; }),
             "Zat::String::bytes > maxLength() not allowed: string of 64 bytes is longer than its limit of "
             "63 bytes");
   testing_text::expectParseFailsUntouched(testing_text::quoted(tooLong), GroupName("servers"));
   // Text form, stream output (the name alone) and unsigned byte order.
   EXPECT_EQ(valueToStrep(GroupName("it's")), String("'it\\'s'"));
   for (GroupName const& g : {GroupName(), GroupName("it's"), GroupName(longest), GroupName("a\xff\n")}) {
      EXPECT_EQ(Zat::strepToValue<GroupName>(valueToStrep(g).view()), g);
   }
   std::ostringstream os;
   os << GroupName("servers");
   EXPECT_EQ(os.str(), "servers");
   EXPECT_TRUE(GroupName("a") < GroupName("\xff"));
   EXPECT_FALSE(GroupName("b") < GroupName("ab"));
}
