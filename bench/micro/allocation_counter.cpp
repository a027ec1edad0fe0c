#include "micro/allocation_counter.hpp"

#include <cstdlib>
#include <new>

namespace korvane::bench {
namespace {

thread_local uint64_t allocations = 0;

void* Allocate(std::size_t size) {
  ++allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

uint64_t AllocationCount() { return allocations; }

}  // namespace korvane::bench

void* operator new(std::size_t size) { return korvane::bench::Allocate(size); }
void* operator new[](std::size_t size) { return korvane::bench::Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
