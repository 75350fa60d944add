#include <gtest/gtest.h>

#include <cstring>
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

TEST(ZatString, GrowsAndShrinksAcrossTheInlineLimit) {
   String s("abcdefghijklmn");  // 14 bytes
   s.append('o');
   s += "p";
   EXPECT_EQ(s.view(), "abcdefghijklmnop");
   s.pop_back();
   // Shrunk back to 15 bytes it stays on the heap, and still equals the same text held inline.
   EXPECT_EQ(s, String("abcdefghijklmno"));
   EXPECT_EQ(std::strlen(s.c_str()), 15u);
   String small("abc");
   small.pop_back();
   EXPECT_EQ(small, String("ab"));  // inline strings compare as sixteen bytes: the dropped byte is cleared
   for (std::size_t n : {std::size_t(3), std::size_t(10), std::size_t(30)}) {
      String self(textOf(n));
      self.append(self.view());  // its own text, from the buffer the append may replace
      EXPECT_EQ(self.view(), textOf(n) + textOf(n));
   }
   String r("kept");
   r.reserve(100);
   EXPECT_EQ(r.view(), "kept");
   r.append(textOf(90));
   EXPECT_EQ(r.view(), "kept" + textOf(90));
   r.clear();
   EXPECT_TRUE(r.empty());
   EXPECT_EQ(*r.c_str(), '\0');
   EXPECT_THROW(r.pop_back(), std::out_of_range);
   EXPECT_EQ(r, String());
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
