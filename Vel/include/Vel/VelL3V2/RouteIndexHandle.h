// RouteIndexHandle: a RouteTable's index of its routes, held through a pointer.
//
// The index (per-family tries, in the route engine) is internal to the library, so the public header of
// the unit names only this handle; the index type is complete in RouteTable.cpp alone, which defines
// everything here that needs it. A table makes its index with its first route, so that the many tables
// that stay empty pay one pointer for it.
#pragma once

#include <memory>

namespace VelL3V2 {

class RouteIndexHandle {
 public:
   struct Index;

   RouteIndexHandle() noexcept;
   ~RouteIndexHandle();
   RouteIndexHandle(RouteIndexHandle&&) noexcept;
   RouteIndexHandle& operator=(RouteIndexHandle&&) noexcept;

   // The index, or nullptr while the table has had no route.
   Index* get() const noexcept { return index_.get(); }
   // The index, made on first use.
   Index& made();

 private:
   std::unique_ptr<Index> index_;
};

}  // namespace VelL3V2
