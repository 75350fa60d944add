// SwitchReadsHandle: where a status last found each switch's result, held through a pointer.
//
// A fold reads every switch's result for one object several times, and the results sit deep in the
// switches' directories. The handle remembers, per switch, the entity that holds the object's result
// (or that there is none), for as long as no directory tree changed shape (Zat::Dir::treeVersion), so
// that a fold over an unchanged tree reads each result directly. Its contents are internal to
// Status.cpp, which defines everything here that needs them; a status that is never folded pays one
// pointer for it.
#pragma once

#include <memory>

namespace VelL3V2 {

class SwitchReadsHandle {
 public:
   struct Reads;

   SwitchReadsHandle() noexcept;
   ~SwitchReadsHandle();
   SwitchReadsHandle(SwitchReadsHandle&&) noexcept;
   SwitchReadsHandle& operator=(SwitchReadsHandle&&) noexcept;

   // The remembered reads, made on first use. A cache: a const status keeps it too.
   Reads& made() const;

 private:
   mutable std::unique_ptr<Reads> reads_;
};

}  // namespace VelL3V2
