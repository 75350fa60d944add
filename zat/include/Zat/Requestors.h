// The requestor-counted pattern, written once for every level that uses it.
//
// Several parts of an agent (requestors, each known by a name) ask for the same child of a level; the
// child exists while at least one requestor holds it and goes, with everything below it, when the last
// one lets go. A level may also keep request sets: per requestor, the text of every child key it asked
// for, so that it can tell which requestors still hold anything.
//
// A level describes itself with a binding (the type compiler writes one for a collection declared
// `requested`; a level of another shape writes its own):
//
//    struct Level {
//       using Owner, Key, Child, Name;          // Name: the type of the child's requestor names
//       static constexpr bool hasRequestSets;
//       static Ptr<Child> child(Owner const&, Key const&);     // or null
//       static Ptr<Child> childIs(Owner&, Key const&);         // find or create
//       static void childDel(Owner&, Key const&);
//       // with request sets: the owner's request-set collection, keyed by requestor name
//       static Ptr<RequestSet> requestSet(Owner const&, String const&);  // or null
//       static Ptr<RequestSet> requestSetIs(Owner&, String const&);
//       static void requestSetDel(Owner&, String const&);
//    };
//
// The child answers requestorIs, requestorDel and requestorSize; a request set requestIs, requestDel and
// requestSize. Removing what is absent changes nothing, and the counts are sets, not numbers: adding
// the same key for the same requestor twice and removing it once removes it.
#pragma once

#include <concepts>
#include <type_traits>

#include "Zat/Ptr.h"
#include "Zat/Strep.h"
#include "Zat/String.h"

namespace Zat {

// The text a request set keeps for a child key: a string as it is, a VNI by its number, a name or
// one-string key by its string, anything else by its readable text or its text form. A key that holds
// its text answers a reference to it, valid while the key is, so that a lookup copies nothing.
inline String const& requestText(String const& k) noexcept { return k; }
template <class K>
decltype(auto) requestText(K const& k) {
   if constexpr (requires { k.stringValue(false); }) return String(k.stringValue(false));
   else if constexpr (std::is_convertible_v<K const&, String const&>) return static_cast<String const&>(k);
   else if constexpr (requires { { k.value() } -> std::convertible_to<String const&>; }) return k.value();
   else if constexpr (requires { k.stringValue(); }) return String(k.stringValue());
   else return strepOf(k);
}

// What a removal did, so that the level's own code can say so (its trace lines).
struct Released {
   bool child = false;       // the child lost its last requestor and was deleted
   bool requestSet = false;  // the requestor's request set lost its last key and was deleted
};

template <class Level>
struct Requestors {
   using Owner = typename Level::Owner;
   using Key = typename Level::Key;
   using Name = typename Level::Name;

   // Finds or creates the child of `k`, records `requestor` on it and, with request sets, the key's
   // text in the requestor's set. Returns the child.
   static auto add(Owner& level, Key const& k, Name const& requestor) {
      auto child = Level::childIs(level, k);
      child->requestorIs(requestor);
      if constexpr (Level::hasRequestSets) request(level, requestText(k), requestor);
      return child;
   }

   // Drops `requestor` from the child of `k`, deleting the child when nobody holds it any more; with
   // request sets, drops the key's text from the requestor's set whether or not there was a child.
   static Released remove(Owner& level, Key const& k, Name const& requestor) {
      Released out;
      if (auto child = Level::child(level, k)) {
         child->requestorDel(requestor);
         if (child->requestorSize() == 0) {
            Level::childDel(level, k);
            out.child = true;
         }
      }
      if constexpr (Level::hasRequestSets) out.requestSet = releaseRequest(level, requestText(k), requestor);
      return out;
   }

   // Whether `requestor` holds anything at this level.
   static bool has(Owner const& level, String const& requestor) requires Level::hasRequestSets {
      return Level::requestSet(level, requestor) != nullptr;
   }

   // The request-set steps alone, for children whose life is decided elsewhere.
   static void request(Owner& level, String const& text, String const& requestor) requires Level::hasRequestSets {
      Level::requestSetIs(level, requestor)->requestIs(text);
   }
   static bool releaseRequest(Owner& level, String const& text, String const& requestor)
      requires Level::hasRequestSets {
      auto set = Level::requestSet(level, requestor);
      if (!set) return false;
      set->requestDel(text);
      if (set->requestSize() != 0) return false;
      Level::requestSetDel(level, requestor);
      return true;
   }
};

}  // namespace Zat
