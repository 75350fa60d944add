// RouteEngine: the route table's index (next-hop lookup at any time) and the summary rebuild.
//
// The summary of a route table keeps, for every destination that no other destination of the table
// covers, one route. It is defined by a literal walk over a hash set (see updateSummaryRoute), so its
// events and, when the set was edited by hand, even its contents depend on the set's walk order. The
// rebuild here gives exactly what that walk gives, without the walk's cost of (routes x summary): it runs
// over a per-family path-compressed binary trie of the table, in which preorder is route order and the
// routes covering a destination are the ones on its root path.
//
// Internal to the library. The engine is written against RouteTraits<R>, so the generated route value
// type can take RouteKey's place without touching the algorithm.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <type_traits>
#include <utility>

#include "Ipkit/IpGenAddr.h"
#include "Ipkit/IpGenPrefix.h"
#include "Zat/Collections.h"
#include "Zat/Exception.h"
#include "Zat/Hash.h"

namespace VelL3V2::detail {

// A route: where to (destination) and through whom (via).
struct RouteKey {
   Ipkit::IpGenPrefix destination;
   Ipkit::IpGenAddr via;

   friend bool operator==(RouteKey const&, RouteKey const&) = default;
   // Route order: destination, then via.
   friend bool operator<(RouteKey const& a, RouteKey const& b) noexcept {
      if (a.destination != b.destination) return a.destination < b.destination;
      return a.via < b.via;
   }
   // The same value the generated route type's hash gives, so both walk a summary set in one order.
   std::uint32_t hash(std::uint32_t seed) const noexcept {
      return Zat::Hash(seed).hashMix<4>(destination.hashContribution()).hashMix<4>(via.addrHash()).result();
   }
};
std::ostream& operator<<(std::ostream& os, RouteKey const& r);

// 0.0.0.0/0 or ::/0. A destination with no family is never a default one.
bool isDefaultDestination(Ipkit::IpGenPrefix const& p) noexcept;

// Whether prefix `a` contains prefix `b`: same family (IPv4 or IPv6), `b` at least as long, and the
// first length(a) bits equal. A prefix includes itself; prefixes with no family take no part.
bool includes(Ipkit::IpGenPrefix const& a, Ipkit::IpGenPrefix const& b) noexcept;

// How the engine reads and builds a route type. The generated route type has destination()/via()
// accessors and a (destination, via) constructor; RouteKey has plain fields.
template <class R>
struct RouteTraits {
   static Ipkit::IpGenPrefix destination(R const& r) { return r.destination(); }
   static Ipkit::IpGenAddr via(R const& r) { return r.via(); }
   static R make(Ipkit::IpGenPrefix const& d, Ipkit::IpGenAddr const& v) { return R(d, v); }
};
template <>
struct RouteTraits<RouteKey> {
   static Ipkit::IpGenPrefix const& destination(RouteKey const& r) noexcept { return r.destination; }
   static Ipkit::IpGenAddr const& via(RouteKey const& r) noexcept { return r.via; }
   static RouteKey make(Ipkit::IpGenPrefix const& d, Ipkit::IpGenAddr const& v) { return {d, v}; }
};

// What a summary rebuild reports, in the order the literal walk would. The summary holds the state the
// walk has at that point (the route being removed is still in it; the route being added is not yet).
// Handlers must not change the summary: the rebuild refuses to go on if one does (PreconditionException).
// A handler that throws stops the rebuild where it stands: the summary keeps the steps already taken and
// the table is untouched, so a later rebuild starts from that summary like from any other.
template <class R>
class SummaryEvents {
 public:
   virtual ~SummaryEvents() = default;
   virtual void skipDefault(R const& /*r*/) {}
   virtual void skipIncluded(R const& /*r*/, R const& /*by*/) {}
   virtual void removal(R const& /*r*/, R const& /*removed*/) {}
   virtual void adding(R const& /*r*/) {}
   virtual void removingStale(R const& /*s*/) {}
};

// The table's routes by destination, per family, in path-compressed binary tries. Routes are kept as
// (destination, via); a destination keeps its vias in ascending order. Every operation answers for the
// table as it is now: there is no batch step to wait for.
class RouteTrie {
 public:
   RouteTrie();
   ~RouteTrie();
   RouteTrie(RouteTrie&&) noexcept;
   RouteTrie& operator=(RouteTrie&&) noexcept;
   RouteTrie(RouteTrie const&) = delete;
   RouteTrie& operator=(RouteTrie const&) = delete;

   // Answer whether the table changed.
   bool add(Ipkit::IpGenPrefix const& destination, Ipkit::IpGenAddr const& via);
   bool remove(Ipkit::IpGenPrefix const& destination, Ipkit::IpGenAddr const& via) noexcept;
   bool contains(Ipkit::IpGenPrefix const& destination, Ipkit::IpGenAddr const& via) const noexcept;
   // The via of the first route in route order whose destination includes `p`: the shortest such
   // destination and its smallest via. No family, or nothing including `p`: the empty address.
   Ipkit::IpGenAddr lookup(Ipkit::IpGenPrefix const& p) const noexcept;
   // The same for a single address (a full-length prefix).
   Ipkit::IpGenAddr lookup(Ipkit::IpGenAddr const& a) const noexcept;
   void clear() noexcept;
   std::size_t size() const noexcept;
   // Heap bytes held, capacity included.
   std::size_t bytesUsed() const noexcept;
   // Trie nodes in use: one per destination with a family, plus the forks between them.
   std::size_t nodeCount() const noexcept;

   struct Impl;
   Impl const& impl() const noexcept;

 private:
   std::unique_ptr<Impl> impl_;
};

// The rebuild's view of a summary set and of its event handler, in RouteKey terms, so that the algorithm
// is compiled once for every route type.
class SummaryPort {
 public:
   class Visitor {
    public:
      virtual void member(RouteKey const& s) = 0;

    protected:
      ~Visitor() = default;
   };
   virtual ~SummaryPort() = default;
   // Every member in walk order; the set does not change during the walk.
   virtual void walk(Visitor& v) const = 0;
   virtual bool contains(RouteKey const& k) const = 0;
   virtual void insert(RouteKey const& k) = 0;
   virtual void erase(RouteKey const& k) = 0;
   // Walk order is ascending (walkHash, route order).
   virtual std::uint32_t walkHash(RouteKey const& k) const = 0;
   virtual bool hasEvents() const noexcept = 0;
   virtual void skipDefault(RouteKey const& r) = 0;
   virtual void skipIncluded(RouteKey const& r, RouteKey const& by) = 0;
   virtual void removal(RouteKey const& r, RouteKey const& removed) = 0;
   virtual void adding(RouteKey const& r) = 0;
   virtual void removingStale(RouteKey const& s) = 0;
};

// The rebuild over a port: drops summary routes missing from the table, then applies the summary step
// to every table route in route order, with the literal walk's results and events.
void recomputeSummaryCore(RouteTrie const& table, SummaryPort& summary);

[[noreturn]] void throwSummaryChangedByHandler();

// The table index for routes of type R.
template <class R = RouteKey>
class RouteIndex {
 public:
   using Traits = RouteTraits<R>;

   bool add(R const& r) { return trie_.add(Traits::destination(r), Traits::via(r)); }
   bool remove(R const& r) noexcept { return trie_.remove(Traits::destination(r), Traits::via(r)); }
   bool contains(R const& r) const noexcept { return trie_.contains(Traits::destination(r), Traits::via(r)); }
   Ipkit::IpGenAddr lookup(Ipkit::IpGenPrefix const& p) const noexcept { return trie_.lookup(p); }
   Ipkit::IpGenAddr lookup(Ipkit::IpGenAddr const& a) const noexcept { return trie_.lookup(a); }
   void clear() noexcept { trie_.clear(); }
   std::size_t size() const noexcept { return trie_.size(); }
   std::size_t bytesUsed() const noexcept { return sizeof(*this) + trie_.bytesUsed(); }
   std::size_t nodeCount() const noexcept { return trie_.nodeCount(); }
   RouteTrie const& trie() const noexcept { return trie_; }

 private:
   RouteTrie trie_;
};

// Adapts a Zat::ValueSet of routes and an optional handler to the port.
template <class R, std::uint32_t Constant>
class ValueSetPort final : public SummaryPort {
 public:
   using Set = Zat::ValueSet<R, Constant>;
   using Traits = RouteTraits<R>;

   ValueSetPort(Set& set, SummaryEvents<R>* events) noexcept
       : set_(set), events_(events), seed_(Zat::hashSeed32() ^ Constant) {}

   void walk(Visitor& v) const override {
      for (R const& s : set_) {
         if constexpr (std::is_same_v<R, RouteKey>) {
            v.member(s);
         } else {
            v.member(RouteKey{Traits::destination(s), Traits::via(s)});
         }
      }
   }
   bool contains(RouteKey const& k) const override { return set_.contains(route(k)); }
   void insert(RouteKey const& k) override { set_.insert(route(k)); }
   void erase(RouteKey const& k) override { set_.erase(route(k)); }
   // The set's stored hash: its low bit is forced on (0 marks an empty slot), which can make two hashes
   // equal and leave the order to the routes themselves.
   std::uint32_t walkHash(RouteKey const& k) const override { return Zat::keyHash(seed_, route(k)) | 1u; }
   bool hasEvents() const noexcept override { return events_ != nullptr; }
   void skipDefault(RouteKey const& r) override {
      guarded([&] { events_->skipDefault(route(r)); });
   }
   void skipIncluded(RouteKey const& r, RouteKey const& by) override {
      guarded([&] { events_->skipIncluded(route(r), route(by)); });
   }
   void removal(RouteKey const& r, RouteKey const& removed) override {
      guarded([&] { events_->removal(route(r), route(removed)); });
   }
   void adding(RouteKey const& r) override {
      guarded([&] { events_->adding(route(r)); });
   }
   void removingStale(RouteKey const& s) override {
      guarded([&] { events_->removingStale(route(s)); });
   }

 private:
   static R route(RouteKey const& k) {
      if constexpr (std::is_same_v<R, RouteKey>) {
         return k;
      } else {
         return Traits::make(k.destination, k.via);
      }
   }
   template <class F>
   void guarded(F&& f) {
      std::uint32_t const before = set_.version();
      f();
      if (set_.version() != before) throwSummaryChangedByHandler();
   }

   Set& set_;
   SummaryEvents<R>* events_;
   std::uint32_t seed_;
};

// Rebuilds `summary` from the table: members missing from the table go ("removing stale", in walk
// order), then every table route in route order takes the summary step. The result and the events are
// those of the literal walk for any prior summary; a summary that is already nearly right is edited,
// not rebuilt. Without a handler no event is built.
template <class R, std::uint32_t Constant>
void recomputeSummary(RouteIndex<R> const& table, Zat::ValueSet<R, Constant>& summary,
                      SummaryEvents<R>* events = nullptr) {
   ValueSetPort<R, Constant> port(summary, events);
   recomputeSummaryCore(table.trie(), port);
}

// One summary step for route `r`, as the literal walk over the summary in its walk order:
// - a default destination is skipped;
// - the first member whose destination includes r's stops the step ("skip r as included by s");
// - members whose destinations r's includes (and that come before such a stop) are removed;
// - a walk that ends without a stop adds r.
// It costs a full walk of the summary; the rebuild does not use it.
template <class R, std::uint32_t Constant>
void updateSummaryRoute(R const& r, Zat::ValueSet<R, Constant>& summary, SummaryEvents<R>* events = nullptr) {
   using Traits = RouteTraits<R>;
   auto const& dest = Traits::destination(r);
   if (isDefaultDestination(dest)) {
      if (events) events->skipDefault(r);
      return;
   }
   for (auto c = summary.cursor(); c; ++c) {
      R const s = c.key();  // a copy: removing s must not pull it from under us
      if (includes(Traits::destination(s), dest)) {
         if (events) events->skipIncluded(r, s);
         return;
      }
      if (includes(dest, Traits::destination(s))) {
         if (events) events->removal(r, s);
         summary.erase(s);
      }
   }
   if (events) events->adding(r);
   summary.insert(r);
}

}  // namespace VelL3V2::detail
