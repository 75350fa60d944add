// The hand-written operation declared by the test schema, as a unit's own C++ would define it.
#include "ZatgenTest/ZatgenTestTypes.h"

namespace ZatgenTest {

Zat::String Outer::describe(Zat::String const& prefix, std::uint32_t n) const {
   return prefix + key_.value().view() + "#" + std::to_string(n);
}

}  // namespace ZatgenTest

namespace ZatgenTest {

std::uint32_t Root::total(std::uint32_t extra) const { return count_ + std::uint32_t(scoreSize()) + extra; }

}  // namespace ZatgenTest
