// Status aggregation: one switch's result for an object (SwitchStatus), the fold of every switch's result
// into the object's status (StatusBase), and where hosts, flows and flow sets find a switch's result in the
// directories the switches publish.
//
// A fabric has up to thousands of switches and the agent folds their results for every host, flow and
// flow set, so the walks are loops of lookups: a switch's directory is found by its name written in place,
// entity types are told apart by their type tables, and the switches kept pending are gathered in a
// buffer that the next fold reuses. Once warm, nothing is allocated per switch.
#include <algorithm>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "Vel/VelL3V2LocalTypes.h"
#include "Zat/Exception.h"
#include "Zat/TwinTrace.h"

namespace VelL3V2 {

using Ipkit::SystemId;
using VelL3::V2::HardwareState;
using VelL3::V2::KroGenId;
using VelL3::V2::KroTimestamp;

namespace {

// States below this one are those of a dry run; the real ones repeat them in the same order.
constexpr unsigned kDryrunStates = 3;
enum Role : unsigned { rolePending = 0, roleSuccess = 1, roleError = 2 };

HardwareState target(bool dryrun, Role role) {
   return HardwareState(role + (dryrun ? 0 : kDryrunStates));
}

char const* digit(bool b) {
   return b ? "1" : "0";
}

template <class T>
std::string streamed(T const& v) {
   std::ostringstream os;
   os << v;
   return os.str();
}

// `e` as a T when it is one (by its type table, which is cheaper than a dynamic_cast), else null.
template <class T>
Zat::Ptr<T const> entityAs(Zat::Ptr<Zat::Entity> const& e) {
   if (!e || !e->fwkType().isA(T::typeInfo())) return nullptr;
   return Zat::Ptr<T const>(static_cast<T const*>(e.get()));
}

// What switch `s` publishes under `netVrfName` in the root's status directory `dir`, or null. A missing
// directory, or a switch entry that is no directory, is the caller's mistake: the agent sets both
// directories before it folds any status, and switches publish directories only.
Zat::Ptr<Zat::Entity> switchEntry(Zat::Ptr<Zat::Dir const> const& dir, SystemId const& s,
                                  std::string_view netVrfName) {
   if (!dir) Zat::throwPreconditionException("statusDir");
   Ipkit::EthAddr::Text const name = s.text();
   // The directory never stores null, so a missing entity is a missing entry.
   Zat::Ptr<Zat::Entity> entry = dir->entityPtr(std::string_view(name.data(), name.size()));
   if (!entry) return nullptr;
   Zat::Ptr<Zat::Dir const> switchDir = entityAs<Zat::Dir>(entry);
   if (!switchDir) Zat::throwPreconditionException("switchStatus");
   return switchDir->entityPtr(netVrfName);
}

Zat::Ptr<LocalData> root() {
   return Zat::Entity::singleton<LocalData>();
}

// The switches one fold keeps pending, in ascending order (the order the fold walks them in). The buffer
// goes back for the next fold, so that a warm fold allocates nothing; a fold that starts inside another
// (a getSwitchStatus that folds) gets a buffer of its own.
class KeptSwitches {
 public:
   KeptSwitches() : kept_(std::exchange(spare(), {})) { kept_.clear(); }
   ~KeptSwitches() {
      if (kept_.capacity() > spare().capacity()) spare() = std::move(kept_);
   }
   KeptSwitches(KeptSwitches const&) = delete;
   KeptSwitches& operator=(KeptSwitches const&) = delete;

   // The fold walks the switches in ascending order, even when the collection changes under it.
   void add(SystemId const& s) { kept_.push_back(s); }
   bool has(SystemId const& s) const { return std::binary_search(kept_.begin(), kept_.end(), s); }

 private:
   static std::vector<SystemId>& spare() {
      thread_local std::vector<SystemId> buffer;
      return buffer;
   }
   std::vector<SystemId> kept_;
};

}  // namespace

// ----- SwitchStatus

Zat::String SwitchStatus::stringValue() const {
   Zat::String s(" SwitchId: ");
   s.append(switchId_.stringValue().view());
   s.append(" State: ").append(streamed(state_));
   s.append(" Order: ").append(streamed(order_));
   s.append(" ReadyToDelete: ").append(digit(readyToDelete_));
   s.append(" Message: ").append(message_.view());
   s.append(" KroTimestamp: ").append(kroTimestamp_.stringValue().view());
   return s;
}

// ----- StatusBase

Zat::String StatusBase::stringValue() const {
   Zat::String s(" State: ");
   s.append(streamed(state_));
   s.append(" ReadyToDelete: ").append(digit(readyToDelete_));
   s.append(" KroTimestamp: ").append(kroTimestamp_.stringValue().view());
   return s;
}

SwitchStatus StatusBase::getSwitchStatus(SystemId const&) const {
   // Only the subclasses know where a switch publishes the result for their object.
   Zat::throwPreconditionException("Not implemented");
}

bool StatusBase::isDryrunState(HardwareState s) const {
   return unsigned(s) < kDryrunStates;
}

KroGenId StatusBase::getLatestKroGenId(Zat::Ptr<VelL3::NetworkVrfStatus const> const& netVrf,
                                       VelL3Common::SwitchSet const& switchFilter) const {
   ZAT_TRACE(velL3V2Trace, 8,
             " Net Vrf: " << netVrf->name() << " SwitchFilter: " << switchFilter.switchIdSize());
   bool const filtered = switchFilter.switchIdSize() != 0;
   KroGenId const local = root()->kroGenId();
   KroTimestamp const none;
   KroGenIdToCountMap counts;
   for (auto c = netVrf->switchVrfIter(); c; ++c) {
      SystemId const& s = c.key();
      if (filtered && !switchFilter.switchIdHas(s)) {
         ZAT_TRACE(velL3V2Trace, 6, " Skip " << s.stringValue());
         continue;
      }
      KroTimestamp const t = getSwitchStatus(s).kroTimestamp();
      if (t == none) continue;  // the switch has reported nothing
      if (t.genId() == local) {
         ZAT_TRACE(velL3V2Trace, 7, " return local genId " << local.stringValue());
         return local;
      }
      counts.genIdToCountIs(t.genId(), counts.genIdToCount(t.genId()) + 1);
   }
   KroGenId latest;
   std::uint32_t best = 0;
   for (auto const& [genId, count] : counts.genIdToCountCollection()) {
      ZAT_TRACE(velL3V2Trace, 6, " GenId: " << genId.stringValue() << " count: " << count);
      if (count > best) {
         best = count;
         latest = genId;
      }
   }
   ZAT_TRACE(velL3V2Trace, 7, " return genId " << latest.stringValue());
   return latest;
}

SystemId StatusBase::getLatestSwitchId(Zat::Ptr<VelL3::NetworkVrfStatus const> const& netVrf,
                                       VelL3Common::SwitchSet const& switchFilter) const {
   ZAT_TRACE(velL3V2Trace, 8,
             " Net Vrf: " << netVrf->name() << " SwitchFilter: " << switchFilter.switchIdSize());
   KroGenId const latest = getLatestKroGenId(netVrf, switchFilter);
   bool const filtered = switchFilter.switchIdSize() != 0;
   KroTimestamp best;
   SystemId bestSwitch;
   for (auto c = netVrf->switchVrfIter(); c; ++c) {
      SystemId const& s = c.key();
      if (filtered && !switchFilter.switchIdHas(s)) {
         ZAT_TRACE(velL3V2Trace, 6, " Skip " << s.stringValue());
         continue;
      }
      // A switch that reported nothing has the all-zero generation and time, and takes part as such.
      KroTimestamp const t = getSwitchStatus(s).kroTimestamp();
      bool const take = t.genId() == best.genId() ? t.timestamp().value() > best.timestamp().value()
                                                  : best.genId() != latest;
      if (!take) continue;
      best = t;
      bestSwitch = s;
      ZAT_TRACE(velL3V2Trace, 6,
                " updating switch: " << s.stringValue() << " with kroTimestamp: " << t.stringValue());
   }
   ZAT_TRACE(velL3V2Trace, 7, " return switch: " << bestSwitch.stringValue());
   return bestSwitch;
}

void StatusBase::updateAggregateStatus(Zat::Ptr<VelL3::NetworkVrfStatus const> const& netVrf,
                                       SystemId const& latestSwitchId) {
   ZAT_TRACE(velL3V2Trace, 8,
             " Net VRF: " << netVrf->name() << " Switch VRFs: " << netVrf->switchVrfSize()
                          << " Latest switch: " << latestSwitchId.stringValue());
   SwitchStatus const ref = getSwitchStatus(latestSwitchId);
   bool const dryrun = isDryrunState(ref.state());
   bool const deleting = ref.readyToDelete();
   HardwareState const errorState = target(dryrun, roleError);
   HardwareState const pendingState = target(dryrun, rolePending);
   ZAT_TWINTRACE(velL3V2Trace, 6, " Latest switchStatus: ", ref.stringValue(), " isDryrun: ", dryrun,
                 " isDeleting: ", deleting);
   // With no reference switch every switch is stale.
   bool const haveLatest = latestSwitchId != SystemId();
   bool readyToDelete = ref.readyToDelete();
   bool errorSeen = false;
   bool pendingSeen = false;
   KeptSwitches kept;
   for (auto c = netVrf->switchVrfIter(); c; ++c) {
      SystemId const s = c.key();
      SwitchStatus const r = getSwitchStatus(s);
      ZAT_TRACE(velL3V2Trace, 6,
                " Has switchStatus: " << bool(r) << " SwitchStatus: " << r.stringValue()
                                      << " switch isDryrun: " << isDryrunState(r.state())
                                      << " switch isDeleting: " << r.readyToDelete());
      bool const current = haveLatest && bool(r) && r.order() == ref.order() &&
                           isDryrunState(r.state()) == dryrun && r.readyToDelete() == deleting &&
                           r.kroTimestamp() == ref.kroTimestamp();
      HardwareState state = r.state();
      bool switchReady = r.readyToDelete();
      if (!current) {
         ZAT_TRACE(velL3V2Trace, 6, " Using defaults");
         state = pendingState;
         switchReady = false;
      }
      if (state == errorState) {
         ZAT_TRACE(velL3V2Trace, 6, " Switch error " << s.stringValue());
         errorSeen = true;
      } else if (state == pendingState) {
         ZAT_TRACE(velL3V2Trace, 6, " Switch pending " << s.stringValue());
         pendingSeen = true;
      } else {
         continue;  // settled
      }
      if (deleting && !switchReady) {
         ZAT_TRACE(velL3V2Trace, 6, " Switch not readyToDelete: " << s.stringValue());
         readyToDelete = false;
      } else if (deleting) {
         continue;  // ready for the deletion: holds nothing back
      }
      ZAT_TRACE(velL3V2Trace, 6, " Add pending switch: " << s.stringValue());
      pendingSwitchIs(s);
      kept.add(s);
   }
   for (auto c = pendingSwitchIter(); c; ++c) {
      if (kept.has(c.key())) continue;
      SystemId const s = c.key();
      ZAT_TRACE(velL3V2Trace, 6, " Remove pending switch : " << s.stringValue());
      pendingSwitchDel(s);
   }
   HardwareState state = target(dryrun, roleSuccess);
   if (errorSeen) {
      state = errorState;
   } else if (pendingSeen || netVrf->switchVrfSize() == 0) {
      state = pendingState;
   }
   ZAT_TWINTRACE(velL3V2Trace, 7, " Aggregate state: ", state, " Aggregate readyToDelete: ", readyToDelete,
                 " latest order: ", ref.order(), " latest kroTimestamp:", ref.kroTimestamp().stringValue(),
                 " Pending switches: ", pendingSwitchSize());
   stateIs(state);
   readyToDeleteIs(readyToDelete);
   orderIs(ref.order());
   kroTimestampIs(ref.kroTimestamp());
}

// ----- where each kind of object finds a switch's result

Zat::Ptr<VelL3::V2::FlowSourceStatus const> getFlowSourceStatus(SystemId const& switchId,
                                                                Zat::String const& netVrfName,
                                                                DeviceKey const& deviceKey) {
   auto fragment = entityAs<VelL3::V2::FragmentStatus>(
       switchEntry(root()->globalFragmentStatusDir(), switchId, netVrfName.view()));
   if (!fragment) return nullptr;
   return fragment->flowSource(deviceKey.value());
}

SwitchStatus HostStatus::getSwitchStatus(SystemId const& switchId) const {
   ZAT_TRACE(velL3V2Trace, 8, " SwitchId: " << switchId.stringValue());
   SwitchStatus result;
   auto groupSet = entityAs<VelL3::V2::GroupSetStatus>(
       switchEntry(root()->globalGroupSetStatusDir(), switchId, netVrfName_.view()));
   auto group = groupSet ? groupSet->group(groupName_) : nullptr;
   auto memberSet = group ? group->memberSet(vni_) : nullptr;
   if (auto member = memberSet ? memberSet->member(hostKey_) : nullptr) {
      result = SwitchStatus(switchId);
      result.stateIs(member->state());
      result.readyToDeleteIs(member->readyToDelete());
      result.messageIs(member->message());
      result.kroTimestampIs(member->kroTimestamp());
   }
   ZAT_TRACE(velL3V2Trace, 7, " return " << result.stringValue());
   return result;
}

Zat::String FlowStatus::stringValue() const {
   Zat::String s(" Flow: ");
   s.append(flowKey_.value().view());
   s.append(" Order: ").append(order().stringValue().view());
   s.append(" State: ").append(streamed(state()));
   return s;
}

SwitchStatus FlowStatus::getSwitchStatus(SystemId const& switchId) const {
   ZAT_TRACE(velL3V2Trace, 8, " SwitchId: " << switchId.stringValue());
   SwitchStatus result;
   auto source = getFlowSourceStatus(switchId, netVrfName_, deviceKey_);
   if (auto flow = source ? source->flow(flowKey_) : nullptr) {
      result = SwitchStatus(switchId);
      result.orderIs(flow->order());
      result.stateIs(flow->state());
      result.messageIs(flow->message());
      result.readyToDeleteIs(flow->readyToDelete());
   }
   ZAT_TRACE(velL3V2Trace, 7, " return " << result.stringValue());
   return result;
}

SwitchStatus FlowSetStatus::getSwitchStatus(SystemId const& switchId) const {
   ZAT_TRACE(velL3V2Trace, 8, " SwitchId: " << switchId.stringValue());
   SwitchStatus result;
   if (auto source = getFlowSourceStatus(switchId, netVrfName_, deviceKey_)) {
      result = SwitchStatus(switchId);
      result.stateIs(source->state());
      result.readyToDeleteIs(source->readyToDelete());
      result.kroTimestampIs(source->kroTimestamp());
   }
   ZAT_TRACE(velL3V2Trace, 7, " return " << result.stringValue());
   return result;
}

}  // namespace VelL3V2
