// Work memory for a call, handed on from call to call.
//
// A function's work arrays hold a value per bar, up to the host's 65,500:
// hundreds of kilobytes to a few megabytes. Memory of that size comes fresh
// from the system on each allocation and goes back on each release (the C
// library maps it and unmaps it, on Windows too), so every call would fault
// its pages in again and have them cleared: on the 32-bit product that cost
// as much as the computation. A released block is therefore kept and handed
// to the next call that asks for no more (the smallest kept block that will
// do). Several are kept, the largest ones, so that calls running at the same
// time, one call's several arrays and the functions of one chart each find
// their own. The blocks kept are freed when the library unloads.
#pragma once

#include <cstddef>

namespace msx {

class WorkMemory {
 public:
  // At least bytes of memory, aligned for any type and to a cache line; its
  // content is whatever the previous user left.
  explicit WorkMemory(size_t bytes);
  ~WorkMemory();
  WorkMemory(const WorkMemory&) = delete;
  WorkMemory& operator=(const WorkMemory&) = delete;

  // The memory as count items of T, for T without construction (numbers,
  // plain structs): the caller writes before it reads.
  template <class T>
  T* As() const {
    return static_cast<T*>(data_);
  }

  // Frees the blocks kept (the library's unload does so too).
  static void FreeKept();

  // Blocks kept at most between calls.
  static constexpr int kKept = 8;

 private:
  void* data_;
};

}  // namespace msx
