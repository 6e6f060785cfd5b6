// What the game's own code holds on the heap, counted by the runner's new
// and delete; null where the count is not kept (under the address
// sanitizer, which brings its own).
#pragma once

#include <cstddef>

using OwnHeapCounter = std::size_t (*)();
OwnHeapCounter OwnHeapCounterOrNull();
