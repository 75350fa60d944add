#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "VelL3V2Shared/NameEncoder.h"
#include "VelL3V2Shared/NameSet.h"

using VelL3V2Shared::NameEncoder;
using VelL3V2Shared::NameSet;
using Zat::String;
using namespace std::string_view_literals;

namespace {

using Entries = std::vector<std::pair<std::uint32_t, String>>;

// Builds a set from (index, name) pairs, in the order given.
NameSet setOf(Entries const& entries) {
   NameSet set;
   for (auto const& [index, name] : entries) set.nameIs(index, name);
   return set;
}

// The entries of a set in the order iteration yields them.
Entries entriesOf(NameSet const& set) {
   Entries entries;
   for (auto const& [index, name] : set) entries.emplace_back(index, name);
   return entries;
}

}  // namespace

TEST(NameEncoderNameSet, WalksInIndexOrderOverwritesAndComparesWhole) {
   // Inserted out of order, walked in ascending index order; the top index is a valid key too.
   NameSet set = setOf({{7, "seven"}, {0xffffffffu, "top"}, {0, "zero"}, {3, "three"}, {3, "THREE"}});
   set.nameIs(7, "");
   EXPECT_EQ(set.size(), 4u);
   EXPECT_EQ(entriesOf(set), (Entries{{0, "zero"}, {3, "THREE"}, {7, ""}, {0xffffffffu, "top"}}));
   ASSERT_NE(set.name(3), nullptr);
   EXPECT_EQ(*set.name(3), String("THREE"));
   EXPECT_EQ(set.name(1), nullptr);
   EXPECT_EQ(setOf({{1, "b"}, {0, "a"}}), setOf({{0, "a"}, {1, "b"}}));
   EXPECT_FALSE(setOf({{0, "a"}, {1, "b"}}) == setOf({{0, "a"}, {2, "b"}}));
   EXPECT_FALSE(setOf({{0, "a"}, {1, "b"}}) == setOf({{0, "a"}, {1, "c"}}));
   EXPECT_FALSE(setOf({{0, ""}}) == NameSet());
}

TEST(NameEncoder, EncodesInIndexOrderAndEscapesOnlyBackslashAndColon) {
   struct Case {
      Entries names;
      std::string_view encoded;
   } const cases[] = {
       {{}, ""},
       {{{5, ""}}, ""},  // a lone empty name leaves nothing behind, like no names at all
       {{{0, ""}, {1, ""}}, ":"},
       {{{0, ""}, {1, "a"}}, ":a"},
       {{{0, "a"}, {1, ""}}, "a:"},
       {{{9, "c"}, {2, "a"}, {4, "b"}}, "a:b:c"},  // indices are not written
       {{{0, "a\\"}, {1, ":b"}}, "a\\\\:\\:b"},
       {{{0, "\\:\\:"}}, "\\\\\\:\\\\\\:"},
       {{{0, "a:"}}, "a\\:"},  // only the bare separator after the last name goes
       // Every other byte passes through untouched, NUL and high bytes included.
       {{{0, "\0\x01/|\"'\t\n \x7f\x80\xff"sv}}, "\0\x01/|\"'\t\n \x7f\x80\xff"sv},
       {{{0, "a\0"sv}, {1, "\xc3\xa9"}}, "a\0:\xc3\xa9"sv},
   };
   for (Case const& c : cases) EXPECT_EQ(NameEncoder::encode(setOf(c.names)), String(c.encoded)) << c.encoded;
}

// What encode writes reads back (the round trip below); here, what it never writes.
TEST(NameEncoder, DecodesLooseBackslashesAndLongNames) {
   // Names longer than the decoder's initial reservation come through whole.
   std::string const longName(1000, 'n');
   std::string const longText = longName + "\\:" + longName + ":" + longName;
   struct Case {
      std::string_view encoded;
      Entries names;
   } const cases[] = {
       {"", {}},
       // An escaped ordinary byte stands for itself.
       {"x\\yz", {{0, "xyz"}}},
       {"\\\0\\\xff"sv, {{0, "\0\xff"sv}}},
       // A backslash as the very last byte is dropped, wherever it leaves the current name...
       {"ab\\", {{0, "ab"}}},
       {"a:\\", {{0, "a"}, {1, ""}}},
       {"\\", {{0, ""}}},
       // ... but an escaped backslash at the end is a real one.
       {"a\\\\\\", {{0, "a\\"}}},
       {longText, {{0, String(longName + ":" + longName)}, {1, String(longName)}}},
   };
   for (Case const& c : cases)
      EXPECT_EQ(entriesOf(NameEncoder::decode(String(c.encoded))), c.names) << c.encoded;

   // n separators give n + 1 names, numbered 0 to n.
   std::string many;
   for (int i = 0; i < 300; ++i) many += "x:";
   NameSet const decoded = NameEncoder::decode(String(many));
   EXPECT_EQ(decoded.size(), 301u);
   EXPECT_EQ(entriesOf(decoded).back(), (std::pair<std::uint32_t, String>(300, "")));
}

TEST(NameEncoder, RandomNameSetsRoundTrip) {
   // Heavy in the two special bytes, with NUL and high bytes in the mix.
   static constexpr std::string_view alphabet("::\\\\\\ab\0\x80\xff", 11);
   std::mt19937 rng(20240611);
   int checkedSets = 0;
   for (int round = 0; round < 4000; ++round) {
      NameSet original, renumbered;
      std::uint32_t index = rng() % 4;
      for (std::uint32_t n = 0, count = rng() % 7; n < count; ++n) {
         String name;
         for (unsigned length = rng() % 9; length > 0; --length)
            name.append(alphabet[rng() % alphabet.size()]);
         original.nameIs(index, name);
         renumbered.nameIs(n, name);
         index += 1 + rng() % 4;
      }
      String const encoded = NameEncoder::encode(original);
      NameSet const decoded = NameEncoder::decode(encoded);
      // The one set that cannot survive: a lone empty name encodes exactly like no names.
      if (renumbered.size() == 1 && renumbered.name(0)->empty()) {
         EXPECT_TRUE(encoded.empty() && decoded.empty());
      } else {
         ASSERT_EQ(decoded, renumbered) << "encoded: " << encoded;
         ++checkedSets;
      }
      // Whatever encode produced reads back and writes out to the same bytes.
      ASSERT_EQ(NameEncoder::encode(decoded), encoded);
   }
   // The generator must actually exercise multi-name sets, not only the degenerate ones.
   EXPECT_GT(checkedSets, 3000);
}
