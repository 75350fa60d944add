#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <string>

#include "Zat/String.h"

using Zat::String;

// Sizes around the 15 bytes kept inline, so that every case runs on both representations.
constexpr std::size_t kSizes[] = {0, 1, 14, 15, 16, 17, 40};

std::string textOf(std::size_t n, char first = 'a') {
   std::string s;
   for (std::size_t i = 0; i < n; ++i) s.push_back(char(first + i % 26));
   return s;
}

TEST(ZatString, HoldsCopiesAndMovesEverySize) {
   static_assert(sizeof(String) == 16);
   for (std::size_t n : kSizes) {
      SCOPED_TRACE(n);
      std::string const t = textOf(n);
      String s(t);
      EXPECT_EQ(s.view(), t);
      EXPECT_EQ(std::strlen(s.c_str()), n);
      String copy(s);
      EXPECT_EQ(copy, s);
      String moved(std::move(copy));
      EXPECT_EQ(moved.view(), t);
      EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): a moved-from string is empty
      String assigned("zz");
      assigned = s;
      assigned = assigned;
      EXPECT_EQ(assigned.view(), t);
      assigned = String(textOf(40, 'k'));
      EXPECT_EQ(assigned.view(), textOf(40, 'k'));
      EXPECT_EQ(s.view(), t);
   }
}

TEST(ZatString, ShrinksToEqualTheSameTextBuiltAnew) {
   String s("abcdefghijklmnop");
   s.pop_back();
   EXPECT_EQ(s, String("abcdefghijklmno"));  // kept on the heap, equal to the same text held inline
   String small("abc");
   small.pop_back();
   EXPECT_EQ(small, String("ab"));  // inline strings compare as sixteen bytes: the dropped byte is cleared
   small.clear();
   EXPECT_THROW(small.pop_back(), std::out_of_range);
   EXPECT_EQ(small, String());
}

TEST(ZatString, ComparesBytesUnsignedWithNulsAsText) {
   EXPECT_NE(String("a\0", 2), String("a"));
   EXPECT_EQ(String("a\0b", 3).size(), 3u);
   EXPECT_LT(String("a"), String("a\0", 2));
   EXPECT_LT(String("a"), String("\xff"));
   EXPECT_GT(String("\xff").compare(String("a")), 0);
   EXPECT_LT(String(textOf(15)), String(textOf(16)));
   EXPECT_NE(String(textOf(16)), String(textOf(16, 'b')));
   EXPECT_EQ(String(nullptr), String(""));
}

// Random edits across both representations, against std::string: every growth and shrink path.
TEST(ZatString, MatchesStdStringOverRandomEdits) {
   std::mt19937 rng(1603);
   String s, other;
   std::string model, otherModel;
   for (int step = 0; step < 20000; ++step) {
      std::string const t = textOf(rng() % 20, char('a' + rng() % 26));
      std::size_t const pos = rng() % (model.size() + 1);
      char const c = char(rng() % 256);
      switch (rng() % 9) {
         case 0:
            s.append(t), model += t;
            break;
         case 1:
            s += c, model += c;
            break;
         case 2:
            if (model.size() < 64) s.append(s.view()), model += model;
            break;
         case 3:
            if (!model.empty()) s.pop_back(), model.pop_back();
            break;
         case 4:
            if (rng() % 8 == 0) s.clear(), model.clear();
            break;
         case 5:
            s.reserve(rng() % 40);
            break;
         case 6:
            other = s, otherModel = model;
            break;
         case 7:
            std::swap(s, other), std::swap(model, otherModel);
            break;
         case 8:
            s = s.substr(pos), model = model.substr(pos);
            break;
      }
      ASSERT_EQ(s.view(), std::string_view(model)) << step;
      ASSERT_EQ(s == other, model == otherModel) << step;
      ASSERT_EQ(s < other, model < otherModel) << step;
      ASSERT_EQ(s.c_str()[s.size()], '\0') << step;
   }
}
