// The platform stand-ins: the switches' published status tree as status lookups follow it, with the hash
// constants of the switches' own collections; a network VRF's switches in SystemId order; the
// first-generation values, the scheduler and the policy status types; and what tools reach of them
// through the generic interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Platform/OrvPlatform.h"
#include "Platform/VelL3Platform.h"
#include "Platform/VelL3V1Platform.h"
#include "Platform/VelL3V2Platform.h"
#include "Platform/VelL3V2Policy.h"
#include "Zat/GenericIf.h"

using Ipkit::SystemId;
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

// A switch's directory holds a GroupSetStatus and a FragmentStatus per network VRF, by its name; below
// them, keys built afresh find a host's and a flow's result again.
TEST(Platform, SwitchStatusTree) {
   auto hosts = Zat::Ptr<Zat::Dir>(new Zat::Dir("00:1c:73:00:00:01"));
   auto flows = Zat::Ptr<Zat::Dir>(new Zat::Dir("00:1c:73:00:00:01"));
   hosts->entryIs("red", V2::groupSetStatusFactory("red"));
   flows->entryIs("red", V2::fragmentStatusFactory("red"));
   auto* groups = dynamic_cast<V2::GroupSetStatus*>(hosts->entityPtr("red").get());
   ASSERT_NE(groups, nullptr);
   EXPECT_EQ(groups->parent(), hosts.get());
   EXPECT_EQ(dynamic_cast<V2::GroupSetStatus*>(flows->entityPtr("red").get()), nullptr);
   auto member =
       groups->groupIs(V2::GroupName("web"))->memberSetIs(Ipkit::Vni(5000))->memberIs(V2::MemberKey("h1"));
   auto found = groups->group(V2::GroupName("web"))->memberSet(Ipkit::Vni(5000))->member(V2::MemberKey("h1"));
   EXPECT_EQ(found, member);
   EXPECT_FALSE(groups->group(V2::GroupName("we")));

   auto source = dynamic_cast<V2::FragmentStatus*>(flows->entityPtr("red").get())->flowSourceIs("fw1");
   source->flowIs(V2::FlowKey("allow-web"))->orderIs(V2::FlowOrder(0, 9870));
   EXPECT_EQ(source->flow(V2::FlowKey("allow-web"))->order(), V2::FlowOrder(0, 9870));
   EXPECT_FALSE(source->flow(V2::FlowKey("deny-all")));
}

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

   // Down to a member's state.
   auto member = db->memberSetIs(Ipkit::Vni(7))->memberIs(V2::MemberKey("h1"));
   member->stateIs(V2::HardwareState::dryrunSuccess);
   Any state;
   EXPECT_EQ(Zat::attrOp(V2::MemberStatus::typeInfo(), member.get(), V2::MemberStatus::AttrId::state,
                         Zat::AttrOp::read, {}, state),
             Zat::attrOpDone);
   EXPECT_EQ(state.strep(), String("'dryrunSuccess'"));

   // A network VRF's switches, walked in ascending SystemId order whatever the order they came in.
   auto vrf = VelL3::networkVrfStatusFactory("red");
   for (char const* id :
        {"00:00:00:00:00:03", "00:00:00:00:00:01", "00:00:00:00:00:0a", "00:00:00:00:00:02"}) {
      vrf->switchVrfIs(SystemId(id));
   }
   std::vector<std::string> order;
   for (auto it = VelL3::NetworkVrfStatus::typeInfo().methods->iterator(
            vrf.get(), VelL3::NetworkVrfStatus::AttrId::switchVrf, nullptr);
        it->notAtEnd(); it->advance()) {
      order.push_back(it->key().as<SystemId>().stringValue().str());
   }
   EXPECT_EQ(order, (std::vector<std::string>{"00:00:00:00:00:01", "00:00:00:00:00:02", "00:00:00:00:00:03",
                                              "00:00:00:00:00:0a"}));
   EXPECT_EQ(vrf->switchVrfSize(), 4u);
   EXPECT_EQ(vrf->name(), String("red"));
}

// The first-generation values, the scheduler and the policy status types as their users hold them.
TEST(Platform, FirstGenerationValuesSchedulerAndPolicyStatus) {
   VelL3::V1::FlowStatus f;
   f.installedIs(true);
   f.messageIs("it's in");
   EXPECT_NE(f, VelL3::V1::FlowStatus());
   EXPECT_EQ(valueToStrep(f),
             String("Value('VelL3::V1::FlowStatus', ** {'installed': True, 'message': 'it\\'s in'})"));
   EXPECT_EQ(Zat::strepToValue<VelL3::V1::FlowStatus>(valueToStrep(f).view()), f);
   VelL3::V1::MemberStatus m;
   m.messageIs("pending");
   EXPECT_EQ(Zat::strepToValue<VelL3::V1::MemberStatus>(valueToStrep(m).view()), m);

   Zat::Ptr<Orv::TaskScheduler> held = Orv::taskSchedulerFactory("agent");
   EXPECT_EQ(held->name(), String("agent"));

   auto ip = VelL3V2::velIpStatusFactory(Ipkit::IpGenAddr("10.0.0.1"));
   EXPECT_EQ(ip->ipAddr(), Ipkit::IpGenAddr("10.0.0.1"));
   auto flow = VelL3V2::velFlowStatusFactory("allow-web");
   flow->pendingSwitchIs(SystemId("00:00:00:00:00:02"));
   flow->pendingSwitchIs(SystemId("00:00:00:00:00:01"));
   EXPECT_EQ(flow->name(), String("allow-web"));
   EXPECT_EQ(flow->pendingSwitchSize(), 2u);
}
