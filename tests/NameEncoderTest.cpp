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

namespace {

// Builds a set from (index, name) pairs, in the order given.
NameSet setOf(std::vector<std::pair<std::uint32_t, String>> const& entries) {
   NameSet set;
   for (auto const& [index, name] : entries) set.nameIs(index, name);
   return set;
}

// The entries of a set in the order iteration yields them.
std::vector<std::pair<std::uint32_t, String>> entriesOf(NameSet const& set) {
   std::vector<std::pair<std::uint32_t, String>> entries;
   for (auto const& [index, name] : set) entries.emplace_back(index, name);
   return entries;
}

using Entries = std::vector<std::pair<std::uint32_t, String>>;

}  // namespace

TEST(NameEncoderNameSet, OverwriteLookupOrderAndEquality) {
   NameSet set;
   EXPECT_TRUE(set.empty());
   EXPECT_EQ(set.size(), 0u);
   EXPECT_EQ(set.name(0), nullptr);
   EXPECT_EQ(set.begin(), set.end());
   EXPECT_EQ(set, NameSet());

   // Inserted out of order, walked in ascending index order; the top index is a valid key too.
   set.nameIs(7, "seven");
   set.nameIs(0xffffffffu, "top");
   set.nameIs(0, "zero");
   set.nameIs(3, "three");
   EXPECT_FALSE(set.empty());
   EXPECT_EQ(set.size(), 4u);
   EXPECT_EQ(entriesOf(set), (Entries{{0, "zero"}, {3, "three"}, {7, "seven"}, {0xffffffffu, "top"}}));
   ASSERT_NE(set.name(3), nullptr);
   EXPECT_EQ(*set.name(3), String("three"));
   EXPECT_EQ(set.name(1), nullptr);
   EXPECT_EQ(set.name(8), nullptr);

   // Overwriting keeps the size and the position, replaces the name, and may store an empty name.
   set.nameIs(3, "THREE");
   set.nameIs(7, "");
   EXPECT_EQ(set.size(), 4u);
   EXPECT_EQ(entriesOf(set), (Entries{{0, "zero"}, {3, "THREE"}, {7, ""}, {0xffffffffu, "top"}}));
   ASSERT_NE(set.name(7), nullptr);
   EXPECT_TRUE(set.name(7)->empty());

   // Equality looks at both indices and names, not at the order of insertion.
   EXPECT_EQ(setOf({{1, "b"}, {0, "a"}}), setOf({{0, "a"}, {1, "b"}}));
   EXPECT_FALSE(setOf({{0, "a"}, {1, "b"}}) == setOf({{0, "a"}, {2, "b"}}));
   EXPECT_FALSE(setOf({{0, "a"}, {1, "b"}}) == setOf({{0, "a"}, {1, "c"}}));
   EXPECT_FALSE(setOf({{0, "a"}}) == setOf({{0, "a"}, {1, ""}}));
   EXPECT_FALSE(setOf({{0, ""}}) == NameSet());
}

TEST(NameEncoder, EmptyInputsAndEmptyNames) {
   EXPECT_EQ(NameEncoder::encode(NameSet()), String(""));
   EXPECT_TRUE(NameEncoder::decode("").empty());

   // A lone empty name leaves nothing behind, so it comes back as no names at all.
   EXPECT_EQ(NameEncoder::encode(setOf({{0, ""}})), String(""));
   EXPECT_EQ(NameEncoder::encode(setOf({{5, ""}})), String(""));
   EXPECT_TRUE(NameEncoder::decode(NameEncoder::encode(setOf({{0, ""}}))).empty());

   // Two or more empty names are only separators.
   EXPECT_EQ(NameEncoder::encode(setOf({{0, ""}, {1, ""}})), String(":"));
   EXPECT_EQ(NameEncoder::encode(setOf({{0, ""}, {1, ""}, {2, ""}})), String("::"));
   EXPECT_EQ(entriesOf(NameEncoder::decode(":")), (Entries{{0, ""}, {1, ""}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("::")), (Entries{{0, ""}, {1, ""}, {2, ""}}));

   // Empty names at either end or in the middle keep their place.
   EXPECT_EQ(entriesOf(NameEncoder::decode(":a")), (Entries{{0, ""}, {1, "a"}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("a:")), (Entries{{0, "a"}, {1, ""}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("a::b")), (Entries{{0, "a"}, {1, ""}, {2, "b"}}));
   EXPECT_EQ(NameEncoder::encode(setOf({{0, ""}, {1, "a"}})), String(":a"));
   EXPECT_EQ(NameEncoder::encode(setOf({{0, "a"}, {1, ""}})), String("a:"));
}

TEST(NameEncoder, EncodesInIndexOrderAndEscapesOnlyBackslashAndColon) {
   EXPECT_EQ(NameEncoder::encode(setOf({{0, "a"}})), String("a"));
   EXPECT_EQ(NameEncoder::encode(setOf({{0, "a"}, {1, "b"}})), String("a:b"));
   EXPECT_EQ(NameEncoder::encode(setOf({{1, "b"}, {0, "a"}})), String("a:b"));
   // Indices are not written: gaps vanish and decoding renumbers from zero.
   EXPECT_EQ(NameEncoder::encode(setOf({{3, "a"}, {7, "b"}})), String("a:b"));
   EXPECT_EQ(entriesOf(NameEncoder::decode(NameEncoder::encode(setOf({{3, "a"}, {7, "b"}})))),
             (Entries{{0, "a"}, {1, "b"}}));
   EXPECT_EQ(NameEncoder::encode(setOf({{9, "c"}, {2, "a"}, {4, "b"}})), String("a:b:c"));

   EXPECT_EQ(NameEncoder::encode(setOf({{0, "x:y"}})), String("x\\:y"));
   EXPECT_EQ(NameEncoder::encode(setOf({{0, "c\\d"}})), String("c\\\\d"));
   EXPECT_EQ(NameEncoder::encode(setOf({{0, ":"}})), String("\\:"));
   EXPECT_EQ(NameEncoder::encode(setOf({{0, "\\"}})), String("\\\\"));
   EXPECT_EQ(NameEncoder::encode(setOf({{0, "a\\"}, {1, ":b"}})), String("a\\\\:\\:b"));
   EXPECT_EQ(NameEncoder::encode(setOf({{0, "\\:\\:"}})), String("\\\\\\:\\\\\\:"));
   // A name ending in a colon keeps its escape when it is the last one: only the bare separator goes.
   EXPECT_EQ(NameEncoder::encode(setOf({{0, "a:"}})), String("a\\:"));

   // Every other byte passes through untouched, NUL and high bytes included.
   std::string const others("\0\x01/|\"'\t\n \x7f\x80\xff", 12);
   EXPECT_EQ(NameEncoder::encode(setOf({{0, String(others)}})), String(others));
   EXPECT_EQ(NameEncoder::encode(setOf({{0, String(std::string_view("a\0", 2))}, {1, "\xc3\xa9"}})),
             String(std::string_view("a\0:\xc3\xa9", 5)));
}

TEST(NameEncoder, DecodesEscapesSeparatorsAndLooseBackslashes) {
   EXPECT_EQ(entriesOf(NameEncoder::decode("a")), (Entries{{0, "a"}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("a:b:c")), (Entries{{0, "a"}, {1, "b"}, {2, "c"}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("x\\:y")), (Entries{{0, "x:y"}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("c\\\\d")), (Entries{{0, "c\\d"}}));

   // An escaped ordinary byte stands for itself.
   EXPECT_EQ(entriesOf(NameEncoder::decode("\\a")), (Entries{{0, "a"}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("x\\yz")), (Entries{{0, "xyz"}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode(String(std::string_view("\\\0\\\xff", 4)))),
             (Entries{{0, String(std::string_view("\0\xff", 2))}}));

   // A backslash as the very last byte is dropped, wherever it leaves the current name.
   EXPECT_EQ(entriesOf(NameEncoder::decode("ab\\")), (Entries{{0, "ab"}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("a:b\\")), (Entries{{0, "a"}, {1, "b"}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("a:\\")), (Entries{{0, "a"}, {1, ""}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("\\")), (Entries{{0, ""}}));
   // An escaped backslash at the end is a real backslash, not a loose one.
   EXPECT_EQ(entriesOf(NameEncoder::decode("a\\\\")), (Entries{{0, "a\\"}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("a\\\\\\")), (Entries{{0, "a\\"}}));

   // Backslash backslash colon: one backslash ends the name, the colon separates.
   EXPECT_EQ(entriesOf(NameEncoder::decode("a\\\\:b")), (Entries{{0, "a\\"}, {1, "b"}}));
   EXPECT_EQ(entriesOf(NameEncoder::decode("\\\\:")), (Entries{{0, "\\"}, {1, ""}}));
   // Three backslashes and a colon: an escaped backslash, then an escaped colon.
   EXPECT_EQ(entriesOf(NameEncoder::decode("\\\\\\:")), (Entries{{0, "\\:"}}));

   // Names longer than the decoder's initial reservation come through whole.
   std::string const longName(1000, 'n');
   std::string const longEscaped = longName + "\\:" + longName;
   EXPECT_EQ(entriesOf(NameEncoder::decode(String(longEscaped + ":" + longName))),
             (Entries{{0, String(longName + ":" + longName)}, {1, String(longName)}}));

   // Many names: n separators give n + 1 names numbered 0..n.
   std::string many;
   for (int i = 0; i < 5000; ++i) many += "x:";
   NameSet const decoded = NameEncoder::decode(String(many));
   ASSERT_EQ(decoded.size(), 5001u);
   ASSERT_NE(decoded.name(4999), nullptr);
   EXPECT_EQ(*decoded.name(4999), String("x"));
   ASSERT_NE(decoded.name(5000), nullptr);
   EXPECT_TRUE(decoded.name(5000)->empty());
}

TEST(NameEncoder, RandomNameSetsRoundTrip) {
   // Heavy in the two special bytes, with NUL and high bytes in the mix.
   static constexpr std::string_view alphabet("::\\\\\\ab\0\x80\xff", 11);
   std::mt19937 rng(20240611);
   std::uniform_int_distribution<int> nameCount(0, 6);
   std::uniform_int_distribution<int> nameLength(0, 8);
   std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
   std::uniform_int_distribution<std::uint32_t> gap(0, 3);

   int checkedSets = 0;
   for (int round = 0; round < 4000; ++round) {
      NameSet original;
      NameSet renumbered;
      std::uint32_t index = gap(rng);
      int const count = nameCount(rng);
      for (int n = 0; n < count; ++n) {
         String name;
         for (int length = nameLength(rng); length > 0; --length) name.append(alphabet[pick(rng)]);
         original.nameIs(index, name);
         renumbered.nameIs(static_cast<std::uint32_t>(n), name);
         index += 1 + gap(rng);
      }

      String const encoded = NameEncoder::encode(original);
      NameSet const decoded = NameEncoder::decode(encoded);
      // The one set that cannot survive: a lone empty name encodes exactly like no names.
      bool const loneEmpty = renumbered.size() == 1 && renumbered.name(0)->empty();
      if (loneEmpty) {
         EXPECT_TRUE(encoded.empty());
         EXPECT_TRUE(decoded.empty());
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
