// Status aggregation: one switch's result for an object (SwitchStatus), the fold of every switch's result
// into the object's status (StatusBase), and where hosts, flows and flow sets find a switch's result in the
// directories the switches publish.
//
// A fabric has up to thousands of switches and the agent folds their results for every host, flow and
// flow set, several walks over the switches per fold. The first walk over an unchanged directory tree
// finds each switch's result (its directory by the switch's name written in place, entity types told
// apart by their type tables, collections searched in place) and remembers the entity that holds it in
// the status's SwitchReadsHandle; every later walk, in this fold and the next ones, reads the result from
// that entity until a directory tree changes shape. The switches kept pending are gathered in a buffer
// that the next fold reuses. Once warm, nothing is allocated per switch.
#include <algorithm>
#include <array>
#include <mutex>
#include <sstream>
#include <string_view>
#include <type_traits>
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
namespace V2 = VelL3::V2;

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
T const* entityAs(Zat::Entity const* e) {
   return e && e->fwkType().isA(T::typeInfo()) ? static_cast<T const*>(e) : nullptr;
}

// What switch `s` publishes under `netVrfName` in the root's status directory `dir`, or null. A missing
// directory, or a switch entry that is no directory, is the caller's mistake: the agent sets both
// directories before it folds any status, and switches publish directories only. The walk only reads,
// so it takes no references.
Zat::Entity const* switchEntry(Zat::Dir const* dir, SystemId const& s, std::string_view netVrfName) {
   if (!dir) Zat::throwPreconditionException("statusDir");
   Ipkit::EthAddr::Text const name = s.text();
   // The directory never stores null, so a missing entity is a missing entry.
   Zat::Entity const* const entry = dir->entity(std::string_view(name.data(), name.size()));
   if (!entry) return nullptr;
   if (!entry->fwkType().isA(Zat::Dir::typeInfo())) Zat::throwPreconditionException("switchStatus");
   return static_cast<Zat::Dir const*>(entry)->entity(netVrfName);
}

Zat::Ptr<LocalData> root() {
   return Zat::Entity::singleton<LocalData>();
}

VelL3::V2::FlowSourceStatus const* flowSource(Zat::Dir const* fragments, SystemId const& switchId,
                                              Zat::String const& netVrfName, DeviceKey const& deviceKey) {
   auto fragment = entityAs<VelL3::V2::FragmentStatus>(switchEntry(fragments, switchId, netVrfName.view()));
   return fragment ? fragment->flowSourceCollection().find(deviceKey.value()) : nullptr;
}

// A switch's result for one object as a walk reads it. A walk reads the fields the fold compares into
// `status` and leaves out the switch id (kept in `id`) and the message, of which the fold asks only
// whether there is one; getSwitchStatus makes the whole SwitchStatus.
struct SwitchRead {
   SwitchStatus status;
   SystemId id;
   bool found = false;
   bool hasMessage = false;

   // Whether the result differs from that of a switch that reported nothing: one that was found
   // differs by its switch id alone, unless that is the all-zero id.
   bool present() const { return hasMessage || (found && (id != SystemId() || bool(status))); }
};

// The root's directory in which switches publish each kind's results.
Zat::Dir const* statusDir(HostStatus const&) {
   return root()->globalGroupSetStatusDir().get();
}
Zat::Dir const* statusDir(FlowStatus const&) {
   return root()->globalFragmentStatusDir().get();
}
Zat::Dir const* statusDir(FlowSetStatus const&) {
   return root()->globalFragmentStatusDir().get();
}

// Where each kind finds its result on switch `s` in the status directory `dir`: the entity that holds
// it, or null when the switch has none. The collections are searched in place, so a lookup takes no
// reference counts.
V2::MemberStatus const* resultOn(HostStatus const& h, Zat::Dir const* dir, SystemId const& s) {
   auto groupSet = entityAs<V2::GroupSetStatus>(switchEntry(dir, s, h.netVrfName().view()));
   auto group = groupSet ? groupSet->groupCollection().find(h.groupName()) : nullptr;
   auto memberSet = group ? group->memberSetCollection().find(h.vni()) : nullptr;
   return memberSet ? memberSet->memberCollection().find(h.hostKey()) : nullptr;
}

V2::FlowStatus const* resultOn(FlowStatus const& f, Zat::Dir const* dir, SystemId const& s) {
   auto source = flowSource(dir, s, f.netVrfName(), f.deviceKey());
   return source ? source->flowCollection().find(f.flowKey()) : nullptr;
}

V2::FlowSourceStatus const* resultOn(FlowSetStatus const& f, Zat::Dir const* dir, SystemId const& s) {
   return flowSource(dir, s, f.netVrfName(), f.deviceKey());
}

// The entity type that holds a result of status kind `Status`.
template <class Status>
using ResultOf = decltype(resultOn(std::declval<Status const&>(), nullptr, SystemId()));

// The fields of a switch's result that each kind's entity holds, copied into `st`; the defaults when
// there is no entity. A kind never writes the fields its entity lacks, so they stay at their defaults.
void copyResult(V2::MemberStatus const* m, SwitchStatus& st) {
   st.stateIs(m ? m->state() : HardwareState());
   st.readyToDeleteIs(m && m->readyToDelete());
   st.kroTimestampIs(m ? m->kroTimestamp() : KroTimestamp());
}

void copyResult(V2::FlowStatus const* f, SwitchStatus& st) {
   st.orderIs(f ? f->order() : V2::FlowOrder());
   st.stateIs(f ? f->state() : HardwareState());
   st.readyToDeleteIs(f && f->readyToDelete());
}

void copyResult(V2::FlowSourceStatus const* source, SwitchStatus& st) {
   st.stateIs(source ? source->state() : HardwareState());
   st.readyToDeleteIs(source && source->readyToDelete());
   st.kroTimestampIs(source ? source->kroTimestamp() : KroTimestamp());
}

Zat::String const* messageOf(V2::MemberStatus const* m) {
   return m ? &m->message() : nullptr;
}
Zat::String const* messageOf(V2::FlowStatus const* f) {
   return f ? &f->message() : nullptr;
}
Zat::String const* messageOf(V2::FlowSourceStatus const*) {
   return nullptr;
}

// A result's time stamp, all-zero when there is no result; a flow's results carry none.
KroTimestamp const& noStamp() {
   static KroTimestamp const none;
   return none;
}
KroTimestamp const& stampOf(V2::MemberStatus const* m) {
   return m ? m->kroTimestamp() : noStamp();
}
KroTimestamp const& stampOf(V2::FlowStatus const*) {
   return noStamp();
}
KroTimestamp const& stampOf(V2::FlowSourceStatus const* source) {
   return source ? source->kroTimestamp() : noStamp();
}

// What a walk reads of switch `s` from `result`, the entity holding it (null: none).
template <class Result>
void readResult(Result const* result, SystemId const& s, SwitchRead& out) {
   copyResult(result, out.status);
   out.id = s;
   out.found = result != nullptr;
   Zat::String const* const message = messageOf(result);
   out.hasMessage = message && !message->empty();
}

// The whole result of switch `s` from `result`, as getSwitchStatus answers it.
template <class Result>
SwitchStatus switchStatus(Result const* result, SystemId const& s) {
   SwitchStatus st(result ? s : SystemId());
   copyResult(result, st);
   if (Zat::String const* const message = messageOf(result)) st.messageIs(*message);
   return st;
}

namespace traced {
// Each kind's getSwitchStatus, under that name so that its trace lines carry it.
template <class Status>
SwitchStatus getSwitchStatus(Status const& status, SystemId const& switchId) {
   ZAT_TRACE(velL3V2Trace, 8, " SwitchId: " << switchId.stringValue());
   SwitchStatus result = switchStatus(resultOn(status, statusDir(status), switchId), switchId);
   ZAT_TRACE(velL3V2Trace, 7, " return " << result.stringValue());
   return result;
}
}  // namespace traced

}  // namespace

// Per switch, in the order of the network VRF's walk: the switch and the entity holding the status's
// result there (null: none). Valid for the directory `dir` while the trees' version is `treeVersion`.
// Once a walk has read every switch of `netVrf`, whose switches stood at `switchVersion`, the entries
// are that network VRF's switches in order, and a walk over it can go through them instead.
struct SwitchReadsHandle::Reads {
   struct Entry {
      SystemId id;
      bool known = false;
      Zat::PtrInterface const* result = nullptr;
   };
   Zat::Dir const* dir = nullptr;
   std::uint64_t treeVersion = 0;
   std::vector<Entry> entries;
   // Held, so that no other network VRF takes its address while the entries speak for it.
   Zat::Ptr<VelL3::NetworkVrfStatus const> netVrf;
   std::uint32_t switchVersion = 0;
   // The switches a fold found the pending set to hold exactly, applying nothing, when the set stood at
   // `pendingVersion`: while it stands there, a fold that keeps the same switches has nothing to apply.
   std::vector<SystemId> pending;
   std::uint32_t pendingVersion = 0;
   bool pendingKnown = false;

   bool walked(VelL3::NetworkVrfStatus const& v) const {
      return netVrf.get() == &v && switchVersion == v.switchVrfCollection().version();
   }
};

SwitchReadsHandle::SwitchReadsHandle() noexcept = default;
SwitchReadsHandle::~SwitchReadsHandle() = default;
SwitchReadsHandle::SwitchReadsHandle(SwitchReadsHandle&&) noexcept = default;
SwitchReadsHandle& SwitchReadsHandle::operator=(SwitchReadsHandle&&) noexcept = default;

SwitchReadsHandle::Reads& SwitchReadsHandle::made() const {
   if (!reads_) reads_ = std::make_unique<Reads>();
   return *reads_;
}

namespace {

using Entry = SwitchReadsHandle::Reads::Entry;

// Guards a status's SwitchReadsHandle, which its const walks share, and which threads may reach at the
// same time. Taken with try_lock only, and never held while anything outside this file runs (no
// notification, no virtual call), so a thread never waits for it nor takes it twice.
std::mutex& memoryLock(StatusBase const& status) {
   static std::array<std::mutex, 64> locks;
   return locks[reinterpret_cast<std::uintptr_t>(&status) / alignof(StatusBase) % locks.size()];
}

// Walks the switches of a network VRF in ascending order for one object and reads each one's result, as a
// cursor, so that each walk's body (and its trace lines) stays in the operation it belongs to. For the
// three kinds this file knows, the root's directory is looked up once per walk, and the entity holding
// each switch's result is remembered in the status's SwitchReadsHandle: while no directory tree changes
// shape, a later walk reads the result straight from it, and once a walk has read every switch of the
// network VRF, later walks over the same unchanged switches go through the remembered entries alone.
// Any other kind (one that overrides getSwitchStatus again), and every walk while the per-switch trace
// lines are on, reads through the virtual getSwitchStatus, so that its trace lines stay as they are.
class SwitchWalk {
 public:
   // A walk over the switches that `filter` names, or over all when it names none; the others are
   // passed over, and the caller traces them (see filteredOut).
   SwitchWalk(StatusBase const& status, SwitchReadsHandle const& handle,
              VelL3::NetworkVrfStatus const& netVrf, VelL3Common::SwitchSet const* filter = nullptr)
       : status_(status),
         netVrf_(netVrf),
         filter_(filter && filter->switchIdSize() != 0 ? filter : nullptr),
         cursor_(netVrf.switchVrfIter()) {
      if (velL3V2Trace.enabled(6) || velL3V2Trace.enabled(7) || velL3V2Trace.enabled(8)) return;
      Zat::TypeInfo const* const type = &status.fwkType();
      if (type == &HostStatus::typeInfo()) {
         kind_ = host;
      } else if (type == &FlowStatus::typeInfo()) {
         kind_ = flow;
      } else if (type == &FlowSetStatus::typeInfo()) {
         kind_ = flowSet;
      } else {
         return;
      }
      dir_ = Zat::Ptr<Zat::Dir const>(asKind([](auto const& st) { return statusDir(st); }));
      // Another thread may be walking for the same status (the latest generation and switch are const
      // operations); then this walk reads everything afresh and remembers nothing.
      memory_ = std::unique_lock(memoryLock(status), std::try_to_lock);
      if (!memory_.owns_lock()) return;
      reads_ = &handle.made();
      std::uint64_t const version = Zat::Dir::treeVersion();
      if (reads_->dir != dir_.get() || reads_->treeVersion != version) {
         reads_->entries.clear();
         reads_->netVrf = nullptr;
         reads_->dir = dir_.get();
         reads_->treeVersion = version;
      }
      remembered_ = reads_->walked(netVrf);
      if (remembered_) return;
      // This walk rewrites the entries from its first switch: until it has read them all, they speak for
      // no network VRF.
      reads_->netVrf = nullptr;
      if (reads_->entries.empty()) reads_->entries.reserve(netVrf.switchVrfSize());
   }

   explicit operator bool() const { return remembered_ ? at_ < reads_->entries.size() : bool(cursor_); }
   SystemId const& switchId() const { return remembered_ ? reads_->entries[at_].id : cursor_.key(); }
   // Whether the filter leaves the current switch out; the caller passes over it without reading it.
   bool filteredOut() {
      if (!filter_ || filter_->switchIdHas(switchId())) return false;
      whole_ = false;
      return true;
   }
   void next() {
      ++at_;
      if (remembered_) return;
      ++cursor_;
      if (!cursor_ && whole_ && reads_) {
         // Every switch was read: the entries are the network VRF's switches, in order.
         reads_->entries.resize(at_);
         reads_->netVrf = Zat::Ptr<VelL3::NetworkVrfStatus const>(&netVrf_);
         reads_->switchVersion = netVrf_.switchVrfCollection().version();
      }
   }

   // The current switch's result; valid until the walk moves.
   SwitchRead const& read() {
      SystemId const& s = switchId();
      if (kind_ == generic) {
         read_.status = status_.getSwitchStatus(s);
         read_.id = read_.status.switchId();
         read_.found = true;
         read_.hasMessage = false;
         return read_;
      }
      return fill(result(s), s);
   }

   // The current switch's time stamp alone (all-zero when it reported nothing), which is all the walks
   // for the latest generation and switch compare; valid until the walk moves.
   KroTimestamp const& readStamp() {
      if (kind_ == generic) return read().status.kroTimestamp();
      Zat::PtrInterface const* const r = result(switchId());
      return asKind([&](auto const& st) -> KroTimestamp const& { return stampOf(resultAs(st, r)); });
   }

 private:
   enum Kind { generic, host, flow, flowSet };

   // The entity holding switch `s`'s result, remembered or looked up (and then remembered).
   Zat::PtrInterface const* result(SystemId const& s) {
      if (!reads_) return lookup(s);
      std::vector<Entry>& entries = reads_->entries;
      if (remembered_) return entries[at_].result;
      if (at_ < entries.size() && entries[at_].known && entries[at_].id == s) return entries[at_].result;
      Zat::PtrInterface const* const found = lookup(s);
      if (at_ >= entries.size()) entries.resize(at_ + 1);
      entries[at_] = {s, true, found};
      return found;
   }

   SwitchRead const& fill(Zat::PtrInterface const* result, SystemId const& s) {
      asKind([&](auto const& st) { readResult(resultAs(st, result), s, read_); });
      return read_;
   }

   Zat::PtrInterface const* lookup(SystemId const& s) const {
      return asKind([&](auto const& st) -> Zat::PtrInterface const* { return resultOn(st, dir_.get(), s); });
   }

   // Calls `f` with the status as the kind the walk reads directly (never generic).
   template <class F>
   std::invoke_result_t<F, HostStatus const&> asKind(F&& f) const {
      switch (kind_) {
         case host:
            return f(static_cast<HostStatus const&>(status_));
         case flow:
            return f(static_cast<FlowStatus const&>(status_));
         default:
            return f(static_cast<FlowSetStatus const&>(status_));
      }
   }

   // A remembered result as the entity type of `status`'s kind.
   template <class Status>
   static ResultOf<Status> resultAs(Status const&, Zat::PtrInterface const* result) {
      return static_cast<ResultOf<Status>>(result);
   }

   StatusBase const& status_;
   std::unique_lock<std::mutex> memory_;
   VelL3::NetworkVrfStatus const& netVrf_;
   VelL3Common::SwitchSet const* filter_;
   decltype(std::declval<VelL3::NetworkVrfStatus const&>().switchVrfIter()) cursor_;
   Kind kind_ = generic;
   Zat::Ptr<Zat::Dir const> dir_;
   SwitchReadsHandle::Reads* reads_ = nullptr;
   bool remembered_ = false;
   bool whole_ = true;
   std::size_t at_ = 0;
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

// Whether the pending set, standing at `version`, is known to hold exactly `kept`.
bool pendingAsRemembered(StatusBase const& status, SwitchReadsHandle const& handle,
                         std::vector<SystemId> const& kept, std::uint32_t version) {
   std::unique_lock const memory(memoryLock(status), std::try_to_lock);
   if (!memory.owns_lock()) return false;
   SwitchReadsHandle::Reads const& reads = handle.made();
   return reads.pendingKnown && reads.pendingVersion == version && reads.pending == kept;
}

void rememberPending(StatusBase const& status, SwitchReadsHandle const& handle,
                     std::vector<SystemId> const& kept, std::uint32_t version) {
   std::unique_lock const memory(memoryLock(status), std::try_to_lock);
   if (!memory.owns_lock()) return;
   SwitchReadsHandle::Reads& reads = handle.made();
   reads.pending = kept;
   reads.pendingVersion = version;
   reads.pendingKnown = true;
}

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
   KroGenId const local = root()->kroGenId();
   KroTimestamp const none;
   // Switches report a handful of generations, mostly the same one, so the walk tallies them in a short
   // list and the ordered map is filled once at the end.
   ReusedVector<std::pair<KroGenId, std::uint32_t>> tally;
   bool localSeen = false;
   for (SwitchWalk walk(*this, switchReads_, *netVrf, &switchFilter); walk; walk.next()) {
      SystemId const& s = walk.switchId();
      if (walk.filteredOut()) {
         ZAT_TRACE(velL3V2Trace, 6, " Skip " << s.stringValue());
         continue;
      }
      KroTimestamp const& t = walk.readStamp();
      if (t == none) continue;  // the switch has reported nothing
      if (t.genId() == local) {
         localSeen = true;
         break;
      }
      auto& items = tally.items();
      auto it =
          std::find_if(items.rbegin(), items.rend(), [&](auto const& e) { return e.first == t.genId(); });
      if (it == items.rend())
         items.emplace_back(t.genId(), 1);
      else
         ++it->second;
   }
   if (localSeen) {
      ZAT_TRACE(velL3V2Trace, 7, " return local genId " << local.stringValue());
      return local;
   }
   KroGenIdToCountMap counts;
   for (auto const& [genId, count] : tally.items()) counts.genIdToCountIs(genId, count);
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
   KroTimestamp best;
   SystemId bestSwitch;
   for (SwitchWalk walk(*this, switchReads_, *netVrf, &switchFilter); walk; walk.next()) {
      SystemId const& s = walk.switchId();
      if (walk.filteredOut()) {
         ZAT_TRACE(velL3V2Trace, 6, " Skip " << s.stringValue());
         continue;
      }
      // A switch that reported nothing has the all-zero generation and time, and takes part as such.
      KroTimestamp const& t = walk.readStamp();
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
   for (SwitchWalk walk(*this, switchReads_, *netVrf); walk; walk.next()) {
      SystemId const& s = walk.switchId();
      SwitchRead const& read = walk.read();
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
   std::uint32_t const before = pendingSwitchCollection().version();
   if (!pendingAsRemembered(*this, switchReads_, kept.all(), before)) {
      for (SystemId const& s : kept.all()) pendingSwitchIs(s);
      // Every kept switch is in the set now; when the set holds nothing else, there is nothing to drop.
      for (auto c = pendingSwitchIter(); pendingSwitchSize() != kept.all().size() && c; ++c) {
         if (kept.has(c.key())) continue;
         SystemId const s = c.key();
         ZAT_TRACE(velL3V2Trace, 6, " Remove pending switch : " << s.stringValue());
         pendingSwitchDel(s);
      }
      // Nothing changed, so nothing was published and the set holds the kept switches exactly.
      if (pendingSwitchCollection().version() == before)
         rememberPending(*this, switchReads_, kept.all(), before);
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
   return traced::getSwitchStatus(*this, switchId);
}

Zat::String FlowStatus::stringValue() const {
   Zat::String s(" Flow: ");
   s.append(flowKey_.value().view());
   s.append(" Order: ").append(order().stringValue().view());
   s.append(" State: ").append(streamed(state()));
   return s;
}

SwitchStatus FlowStatus::getSwitchStatus(SystemId const& switchId) const {
   return traced::getSwitchStatus(*this, switchId);
}

SwitchStatus FlowSetStatus::getSwitchStatus(SystemId const& switchId) const {
   return traced::getSwitchStatus(*this, switchId);
}

}  // namespace VelL3V2
