// A hand-written key order for the feature schema: shorter strings first, equal lengths by their bytes.
#pragma once

#include "Zat/String.h"

namespace ZatgenTest {

struct ShortFirst {
   bool operator()(Zat::String const& a, Zat::String const& b) const {
      return a.size() != b.size() ? a.size() < b.size() : a < b;
   }
};

}  // namespace ZatgenTest
