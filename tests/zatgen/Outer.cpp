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

namespace ZatgenTest {

bool Ranked::operator<(Ranked const& o) const { return o.rank_ < rank_; }

Zat::String Base::describe() const { return "base " + std::to_string(level_); }
Zat::String Base::kind() const { return "kind of " + describe().str(); }
Zat::String Base::levelName(std::uint32_t level) { return "level " + std::to_string(level); }
Zat::String Derived::describe() const { return "derived " + std::to_string(code_); }

Zat::String joinNames(Zat::String const& first, Zat::String const& second) { return first + "+" + second.view(); }

}  // namespace ZatgenTest

namespace ZatgenTest {

Zat::Ptr<Watcher> Root::watch(Zat::Ptr<Member const> const& target, Zat::Ptr<Child> const& latest) {
   Zat::Ptr<Watcher> w = watchersIs(target);
   w->latestIs(latest);
   return w;
}

}  // namespace ZatgenTest
