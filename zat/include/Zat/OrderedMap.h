// OrderedMap: an ordered collection of nested entity nodes, each holding its own key (a red-black tree,
// std::set, under it). It backs both ordered entity maps (the nodes are the owned entities) and ordered
// value maps whose entries are small node entities holding key and value.
//
// Its cursor holds a counted reference to the node it stands on, so the node outlives its deletion while
// the cursor is there; when the map changed since the cursor last moved, the next step finds the first
// node after the current key.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "Zat/Exception.h"
#include "Zat/Ptr.h"

namespace Zat {

[[noreturn]] void throwDupKey(std::string_view where);

// Node: derives from PtrInterface, `Key const& zatKey() const`. Less: strict order of keys.
template <class Node, class KeyT, class Less = std::less<KeyT>>
class OrderedMap {
  public:
   using Key = KeyT;
   using NodeType = Node;
   struct NodeLess {
      using is_transparent = void;
      bool operator()(Ptr<Node> const& a, Ptr<Node> const& b) const { return Less()(a->zatKey(), b->zatKey()); }
      bool operator()(Ptr<Node> const& a, Key const& b) const { return Less()(a->zatKey(), b); }
      bool operator()(Key const& a, Ptr<Node> const& b) const { return Less()(a, b->zatKey()); }
   };
   using Tree = std::set<Ptr<Node>, NodeLess>;

   OrderedMap() = default;
   OrderedMap(OrderedMap const&) = delete;
   OrderedMap& operator=(OrderedMap const&) = delete;

   std::size_t size() const noexcept { return tree_.size(); }
   bool empty() const noexcept { return tree_.empty(); }
   std::uint32_t version() const noexcept { return version_; }

   Node* find(Key const& k) const {
      auto it = tree_.find(k);
      return it == tree_.end() ? nullptr : it->get();
   }
   // Inserts a node whose key is not yet present; a present key is a caller's error (assertDupKey).
   void memberNewChild(Ptr<Node> node) {
      // Tables are often filled in key order: appending after the last key needs no search.
      if (!tree_.empty() && Less()((*tree_.rbegin())->zatKey(), node->zatKey())) {
         tree_.emplace_hint(tree_.end(), std::move(node));
      } else if (!tree_.insert(std::move(node)).second) {
         throwDupKey("OrderedMap::memberNewChild");
      }
      ++version_;
   }
   // Removes and returns the node of `k`, or null.
   Ptr<Node> memberDel(Key const& k) {
      auto it = tree_.find(k);
      if (it == tree_.end()) return nullptr;
      Ptr<Node> n = *it;
      tree_.erase(it);
      ++version_;
      return n;
   }
   void memberClearAll() noexcept {
      tree_.clear();
      ++version_;
   }

   typename Tree::const_iterator begin() const noexcept { return tree_.begin(); }
   typename Tree::const_iterator end() const noexcept { return tree_.end(); }
   Node* first() const noexcept { return tree_.empty() ? nullptr : tree_.begin()->get(); }

   class Cursor {
     public:
      Cursor() = default;
      Cursor(OrderedMap const* m, typename Tree::const_iterator it) : m_(m) { land(it); }
      explicit operator bool() const noexcept { return bool(node_); }
      Node* node() const noexcept { return node_.get(); }
      Ptr<Node> const& nodePtr() const noexcept { return node_; }
      Key const& key() const {
         if (!node_) throwPreconditionException("cursor is at the end");
         return node_->zatKey();
      }
      Cursor& operator++() {
         if (!node_) return *this;
         land(m_->version_ == version_ ? std::next(it_) : m_->tree_.upper_bound(node_->zatKey()));
         return *this;
      }
      bool operator==(Cursor const& o) const noexcept { return m_ == o.m_ && node_ == o.node_; }
      OrderedMap const* map() const noexcept { return m_; }

     private:
      void land(typename Tree::const_iterator it) {
         it_ = it;
         version_ = m_->version_;
         node_ = it == m_->tree_.end() ? Ptr<Node>() : *it;
      }
      OrderedMap const* m_ = nullptr;
      typename Tree::const_iterator it_{};
      std::uint32_t version_ = 0;
      Ptr<Node> node_;
   };

   Cursor cursor() const { return Cursor(this, tree_.begin()); }
   // From `k`, or the first key after it.
   Cursor cursor(Key const& k) const { return Cursor(this, tree_.lower_bound(k)); }
   Cursor endCursor() const { return Cursor(this, tree_.end()); }

  private:
   Tree tree_;
   std::uint32_t version_ = 0;
};

// The node of an ordered value map: a small nested entity holding one key and its value.
template <class K, class V>
class OrderedValueNode : public PtrInterface {
  public:
   OrderedValueNode(K key, V value) : key_(std::move(key)), value_(std::move(value)) {}
   K const& zatKey() const noexcept { return key_; }
   V const& value() const noexcept { return value_; }
   void valueIs(V v) { value_ = std::move(v); }

  private:
   K key_;
   V value_;
};

}  // namespace Zat
