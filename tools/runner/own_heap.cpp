// The runner's count of what the game's own code holds on the heap: every
// new and delete of the program passes through here. The GL driver, SDL and
// the other C libraries allocate with malloc and stay out of the count, so
// a long session's readings tell the game's memory from the driver's caches.
// The driver's shader compiler is C++ and counts with the game: the count
// errs towards too much, never too little. The address sanitizer brings its
// own new and delete and keeps them.
#include "own_heap.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "platform/sanitizer.h"

#if defined(ZIRPEL_ASAN)

OwnHeapCounter OwnHeapCounterOrNull() {
  return nullptr;
}

#else

namespace {

std::atomic<std::size_t> g_live{0};

std::size_t LiveBytes() {
  return g_live.load(std::memory_order_relaxed);
}

void* Take(std::size_t n, std::size_t align) {
  if (n == 0) n = 1;
  void* p = nullptr;
  if (align <= alignof(std::max_align_t)) {
    p = std::malloc(n);
  } else if (::posix_memalign(&p, align, n) != 0) {
    p = nullptr;
  }
  if (p) g_live.fetch_add(::malloc_usable_size(p), std::memory_order_relaxed);
  return p;
}

void* TakeOrThrow(std::size_t n, std::size_t align) {
  for (;;) {
    if (void* p = Take(n, align)) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void Give(void* p) noexcept {
  if (!p) return;
  g_live.fetch_sub(::malloc_usable_size(p), std::memory_order_relaxed);
  std::free(p);
}

constexpr std::size_t kPlain = alignof(std::max_align_t);

}  // namespace

OwnHeapCounter OwnHeapCounterOrNull() {
  return &LiveBytes;
}

void* operator new(std::size_t n) {
  return TakeOrThrow(n, kPlain);
}
void* operator new[](std::size_t n) {
  return TakeOrThrow(n, kPlain);
}
void* operator new(std::size_t n, std::align_val_t a) {
  return TakeOrThrow(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a) {
  return TakeOrThrow(n, static_cast<std::size_t>(a));
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return Take(n, kPlain);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return Take(n, kPlain);
}
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Take(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Take(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept {
  Give(p);
}
void operator delete[](void* p) noexcept {
  Give(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Give(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Give(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  Give(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  Give(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  Give(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  Give(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Give(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Give(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  Give(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  Give(p);
}

#endif
