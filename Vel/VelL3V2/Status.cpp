// Status aggregation: one switch's result for an object (SwitchStatus), the fold of every switch's result
// into the object's status (StatusBase), and where hosts, flows and flow sets find a switch's result in the
// directories the switches publish.
//
// A fabric has up to thousands of switches and the agent folds their results for every host, flow and
// flow set, so the walks are loops of lookups: a switch's directory is found by its name written in place,
// entity types are told apart by their type tables, what a walk needs of the root and of the object is
// looked up once per walk, the latest switch's walk reuses the time stamps the generation's walk read,
// and the switches kept pending are gathered in a buffer that the next fold reuses. Once warm, nothing
// is allocated per switch.
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
Zat::Ptr<Zat::Entity> switchEntry(Zat::Dir const* dir, SystemId const& s, std::string_view netVrfName) {
   if (!dir) Zat::throwPreconditionException("statusDir");
   Ipkit::EthAddr::Text const name = s.text();
   // The directory never stores null, so a missing entity is a missing entry.
   Zat::Ptr<Zat::Entity> entry = dir->entityPtr(std::string_view(name.data(), name.size()));
   if (!entry) return nullptr;
   if (!entry->fwkType().isA(Zat::Dir::typeInfo())) Zat::throwPreconditionException("switchStatus");
   return static_cast<Zat::Dir const&>(*entry).entityPtr(netVrfName);
}

Zat::Ptr<LocalData> root() {
   return Zat::Entity::singleton<LocalData>();
}

VelL3::V2::FlowSourceStatus const* flowSource(Zat::Dir const* fragments, SystemId const& switchId,
                                              Zat::String const& netVrfName, DeviceKey const& deviceKey) {
   auto fragment = entityAs<VelL3::V2::FragmentStatus>(switchEntry(fragments, switchId, netVrfName.view()));
   return fragment ? fragment->flowSourceCollection().find(deviceKey.value()) : nullptr;
}

// A switch's result for one object as a walk reads it. The fold asks only whether there is a message,
// so a walk leaves the text out of `status` and notes it in `hasMessage`; getSwitchStatus copies it.
struct SwitchRead {
   SwitchStatus status;
   bool hasMessage = false;

   // Whether the result differs from that of a switch that reported nothing.
   bool present() const { return hasMessage || bool(status); }
   void clear(SystemId const& s) {
      status = SwitchStatus(s);
      hasMessage = false;
   }
   void messageIs(Zat::String const& m, bool copy) {
      if (copy) {
         status.messageIs(m);
      } else {
         hasMessage = !m.empty();
      }
   }
};

// Each kind's result on a switch, read out of the status directory `dir`: `out` is the default when
// the switch has none. The collections are searched in place, so a read takes no reference counts.
void readHost(HostStatus const& h, Zat::Dir const* dir, SystemId const& s, SwitchRead& out, bool message) {
   out.clear(SystemId());
   auto groupSet = entityAs<VelL3::V2::GroupSetStatus>(switchEntry(dir, s, h.netVrfName().view()));
   auto group = groupSet ? groupSet->groupCollection().find(h.groupName()) : nullptr;
   auto memberSet = group ? group->memberSetCollection().find(h.vni()) : nullptr;
   if (auto member = memberSet ? memberSet->memberCollection().find(h.hostKey()) : nullptr) {
      out.clear(s);
      out.status.stateIs(member->state());
      out.status.readyToDeleteIs(member->readyToDelete());
      out.messageIs(member->message(), message);
      out.status.kroTimestampIs(member->kroTimestamp());
   }
}

void readFlow(FlowStatus const& f, Zat::Dir const* dir, SystemId const& s, SwitchRead& out, bool message) {
   out.clear(SystemId());
   auto source = flowSource(dir, s, f.netVrfName(), f.deviceKey());
   if (auto flow = source ? source->flowCollection().find(f.flowKey()) : nullptr) {
      out.clear(s);
      out.status.orderIs(flow->order());
      out.status.stateIs(flow->state());
      out.messageIs(flow->message(), message);
      out.status.readyToDeleteIs(flow->readyToDelete());
   }
}

void readFlowSet(FlowSetStatus const& f, Zat::Dir const* dir, SystemId const& s, SwitchRead& out) {
   out.clear(SystemId());
   if (auto source = flowSource(dir, s, f.netVrfName(), f.deviceKey())) {
      out.clear(s);
      out.status.stateIs(source->state());
      out.status.readyToDeleteIs(source->readyToDelete());
      out.status.kroTimestampIs(source->kroTimestamp());
   }
}

// Reads the switches' results for one object during one walk of a fold. For the three kinds this file
// knows, the root's directory is looked up once per walk rather than once per switch. Any other kind
// (one that overrides getSwitchStatus again), and every walk while the per-switch trace lines are on,
// goes through the virtual getSwitchStatus, so that its trace lines stay as they are.
class SwitchReader {
 public:
   explicit SwitchReader(StatusBase const& status) : status_(status) {
      if (velL3V2Trace.enabled(6) || velL3V2Trace.enabled(7) || velL3V2Trace.enabled(8)) return;
      Zat::TypeInfo const* const type = &status.fwkType();
      if (type == &HostStatus::typeInfo()) {
         kind_ = host;
         dir_ = root()->globalGroupSetStatusDir();
      } else if (type == &FlowStatus::typeInfo()) {
         kind_ = flow;
         dir_ = root()->globalFragmentStatusDir();
      } else if (type == &FlowSetStatus::typeInfo()) {
         kind_ = flowSet;
         dir_ = root()->globalFragmentStatusDir();
      }
   }

   // Whether the reads skip getSwitchStatus (and so emit none of its trace lines).
   bool direct() const { return kind_ != generic; }

   // Switch `s`'s result; valid until the next read.
   SwitchRead const& read(SystemId const& s) {
      switch (kind_) {
         case host:
            readHost(static_cast<HostStatus const&>(status_), dir_.get(), s, read_, false);
            break;
         case flow:
            readFlow(static_cast<FlowStatus const&>(status_), dir_.get(), s, read_, false);
            break;
         case flowSet:
            readFlowSet(static_cast<FlowSetStatus const&>(status_), dir_.get(), s, read_);
            break;
         case generic:
            read_.status = status_.getSwitchStatus(s);
            read_.hasMessage = false;
            break;
      }
      return read_;
   }

 private:
   enum Kind { generic, host, flow, flowSet };
   StatusBase const& status_;
   Kind kind_ = generic;
   Zat::Ptr<Zat::Dir const> dir_;
   SwitchRead read_;
};

// A vector that goes back to a per-thread spare when it ends, so that the next walk that needs one finds
// it at its size and a warm fold allocates nothing; a walk that starts inside another (a getSwitchStatus
// that folds) gets one of its own.
template <class T>
class ReusedVector {
 public:
   ReusedVector() : items_(std::exchange(spare(), {})) { items_.clear(); }
   ~ReusedVector() {
      if (items_.capacity() > spare().capacity()) spare() = std::move(items_);
   }
   ReusedVector(ReusedVector const&) = delete;
   ReusedVector& operator=(ReusedVector const&) = delete;

   std::vector<T>& items() { return items_; }
   std::vector<T> const& items() const { return items_; }

 private:
   static std::vector<T>& spare() {
      thread_local std::vector<T> buffer;
      return buffer;
   }
   std::vector<T> items_;
};

// The switches one fold keeps pending, in the order the fold walks them, which is ascending (even when
// the collection changes under it), so the list is searched by bisection.
class KeptSwitches {
 public:
   void add(SystemId const& s) { kept_.items().push_back(s); }
   bool has(SystemId const& s) const {
      return std::binary_search(kept_.items().begin(), kept_.items().end(), s);
   }
   std::vector<SystemId> const& all() const noexcept { return kept_.items(); }

 private:
   ReusedVector<SystemId> kept_;
};

// Where getLatestKroGenId keeps the time stamps it reads, in walk order, when getLatestSwitchId asks it
// to, so that the latest switch's walk over the same switches reads each once. Only a walk that reads
// directly asks: one through getSwitchStatus shows every read in its trace. Taken (and cleared) as the
// generation's walk starts, so that no walk nested in it keeps stamps there.
thread_local std::vector<KroTimestamp>* stampsWanted = nullptr;

class StampsWanted {
 public:
   explicit StampsWanted(std::vector<KroTimestamp>* to) : previous_(std::exchange(stampsWanted, to)) {}
   ~StampsWanted() { stampsWanted = previous_; }
   StampsWanted(StampsWanted const&) = delete;
   StampsWanted& operator=(StampsWanted const&) = delete;

 private:
   std::vector<KroTimestamp>* previous_;
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
   std::vector<KroTimestamp>* const stamps = std::exchange(stampsWanted, nullptr);
   bool const filtered = switchFilter.switchIdSize() != 0;
   KroGenId const local = root()->kroGenId();
   KroTimestamp const none;
   KroGenIdToCountMap counts;
   SwitchReader reader(*this);
   for (auto c = netVrf->switchVrfIter(); c; ++c) {
      SystemId const& s = c.key();
      if (filtered && !switchFilter.switchIdHas(s)) {
         ZAT_TRACE(velL3V2Trace, 6, " Skip " << s.stringValue());
         continue;
      }
      KroTimestamp const& t = reader.read(s).status.kroTimestamp();
      if (stamps) stamps->push_back(t);
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
   SwitchReader reader(*this);
   // The generation's walk goes over the same switches in the same order, and stops early only when a
   // switch reports the root's generation; the stamps it kept are those of the first switches here.
   ReusedVector<KroTimestamp> stamps;
   KroGenId latest;
   {
      StampsWanted const keep(reader.direct() ? &stamps.items() : nullptr);
      latest = getLatestKroGenId(netVrf, switchFilter);
   }
   std::size_t walked = 0;
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
      std::vector<KroTimestamp> const& kept = stamps.items();
      KroTimestamp const& t = walked < kept.size() ? kept[walked] : reader.read(s).status.kroTimestamp();
      ++walked;
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
   SwitchReader reader(*this);
   for (auto c = netVrf->switchVrfIter(); c; ++c) {
      SystemId const s = c.key();
      SwitchRead const& read = reader.read(s);
      SwitchStatus const& r = read.status;
      ZAT_TRACE(velL3V2Trace, 6,
                " Has switchStatus: " << read.present() << " SwitchStatus: " << r.stringValue()
                                      << " switch isDryrun: " << isDryrunState(r.state())
                                      << " switch isDeleting: " << r.readyToDelete());
      bool const current = haveLatest && read.present() && r.order() == ref.order() &&
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
      kept.add(s);
   }
   // Applied only once every switch has been read: a switch whose result cannot be read (a broken
   // directory raises) leaves the status as it was.
   for (SystemId const& s : kept.all()) pendingSwitchIs(s);
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
   return flowSource(root()->globalFragmentStatusDir().get(), switchId, netVrfName, deviceKey);
}

SwitchStatus HostStatus::getSwitchStatus(SystemId const& switchId) const {
   ZAT_TRACE(velL3V2Trace, 8, " SwitchId: " << switchId.stringValue());
   SwitchRead result;
   readHost(*this, root()->globalGroupSetStatusDir().get(), switchId, result, true);
   ZAT_TRACE(velL3V2Trace, 7, " return " << result.status.stringValue());
   return std::move(result.status);
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
   SwitchRead result;
   readFlow(*this, root()->globalFragmentStatusDir().get(), switchId, result, true);
   ZAT_TRACE(velL3V2Trace, 7, " return " << result.status.stringValue());
   return std::move(result.status);
}

SwitchStatus FlowSetStatus::getSwitchStatus(SystemId const& switchId) const {
   ZAT_TRACE(velL3V2Trace, 8, " SwitchId: " << switchId.stringValue());
   SwitchRead result;
   readFlowSet(*this, root()->globalFragmentStatusDir().get(), switchId, result);
   ZAT_TRACE(velL3V2Trace, 7, " return " << result.status.stringValue());
   return std::move(result.status);
}

}  // namespace VelL3V2
