// Counts the allocations one thread makes through operator new while counting is on: a frame path
// that allocates shows up, wherever in the SDK it does. This header replaces the program's global
// allocation operators, so exactly one source file of a test program includes it.
//
// AddressSanitizer brings allocation operators of its own that must not be replaced: there the
// counter does not exist (kAllocationCounting is false) and the tests that need it skip.
#pragma once

#include "kelvra/win32.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAllocationCounting = false;
#else
constexpr bool kAllocationCounting = true;
#endif

namespace allocation_counter {
inline std::atomic<DWORD> watchedThread{0};
inline std::atomic<long> allocations{0};
}  // namespace allocation_counter

// Starts counting the allocations of the thread with id thread from zero.
inline void StartCountingAllocations(DWORD thread) {
    allocation_counter::allocations.store(0);
    allocation_counter::watchedThread.store(thread);
}

// Stops counting and returns the allocations counted since the start.
inline long StopCountingAllocations() {
    allocation_counter::watchedThread.store(0);
    return allocation_counter::allocations.load();
}

#if !defined(__SANITIZE_ADDRESS__)
namespace allocation_counter {
inline void* Allocate(std::size_t size) {
    const DWORD watched = watchedThread.load(std::memory_order_relaxed);
    if (watched != 0 && GetCurrentThreadId() == watched) allocations.fetch_add(1);
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
}  // namespace allocation_counter

// These operators are the program's new and delete, built on malloc and free; GCC, seeing both
// ends inlined, takes free() for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) { return allocation_counter::Allocate(size); }
void* operator new[](std::size_t size) { return allocation_counter::Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif
