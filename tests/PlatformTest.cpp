// The platform stand-ins: the hash constants of the switches' own collections, and what tools reach of the
// published status tree through the generic interface. (The status tree as status lookups follow it is the
// status tests'.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Platform/VelL3Platform.h"
#include "Platform/VelL3V2Platform.h"
#include "Zat/GenericIf.h"

using Zat::Any;
using Zat::String;
namespace V2 = VelL3::V2;

namespace {

template <class Coll>
constexpr std::uint32_t constantOf = 0;
template <class E, std::uint32_t C, class KeyOf>
constexpr std::uint32_t constantOf<Zat::EntityCollection<E, C, KeyOf>> = C;
template <class K, std::uint32_t C>
constexpr std::uint32_t constantOf<Zat::ValueSet<K, C>> = C;

// The hash constant of the collection that an owner's <name>Collection() answers.
template <class Owner, class Coll>
constexpr std::uint32_t hashConstant(Coll const& (Owner::*)() const noexcept) {
   return constantOf<Coll>;
}

}  // namespace

// The published collections hash with the constants of the switches' own types.
static_assert(hashConstant(&V2::GroupSetStatus::groupCollection) == 2390932565u);
static_assert(hashConstant(&V2::GroupMemberStatus::memberSetCollection) == 1121623645u);
static_assert(hashConstant(&V2::MemberSetStatus::memberCollection) == 3614507566u);
static_assert(hashConstant(&V2::FragmentStatus::flowSourceCollection) == 1321973892u);
static_assert(hashConstant(&V2::FlowSourceStatus::flowCollection) == 3103778881u);

// Tools walk and read the status entities by attribute id, with group names, member and flow keys and
// switch ids as keys; a group name read from text keeps its bound.
TEST(Platform, GenericInterfaceReachesTheStatusEntities) {
   auto groups = V2::GroupSetStatus::GroupSetStatusIs("red");
   for (char const* name : {"web", "db", "app"}) groups->groupIs(V2::GroupName(name));
   Zat::TypeInfo const& t = V2::GroupSetStatus::typeInfo();
   std::vector<std::string> names;
   for (auto it = t.methods->iterator(groups.get(), V2::GroupSetStatus::AttrId::group, nullptr);
        it->notAtEnd(); it->advance()) {
      EXPECT_EQ(it->current().asEntity<V2::GroupMemberStatus>()->groupName(), it->key().as<V2::GroupName>());
      names.push_back(it->key().strep().str());
   }
   std::sort(names.begin(), names.end());
   EXPECT_EQ(names, (std::vector<std::string>{"'app'", "'db'", "'web'"}));
   Zat::TypeInfo const& nameType = Zat::typeInfoOf<V2::GroupName>();
   EXPECT_EQ(nameType.fullName, "VelL3::V2::GroupName");
   Any value;
   EXPECT_EQ(Zat::attrOp(t, groups.get(), V2::GroupSetStatus::AttrId::group, Zat::AttrOp::read,
                         Any::parse(nameType, "'db'"), value),
             Zat::attrOpDone);
   auto db = value.asEntity<V2::GroupMemberStatus>();
   EXPECT_EQ(db, groups->group(V2::GroupName("db")));
   EXPECT_THROW(Any::parse(nameType, "'" + std::string(64, 'x') + "'"), Zat::RangeException);
}
