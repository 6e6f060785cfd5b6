// The key buffer shared by both backends.
#include "platform/platform.h"

namespace plat {

void KeyBuffer::Push(const std::string& key) {
  if (count == kCapacity) {  // full: the oldest entry makes room
    head = (head + 1) % kCapacity;
    --count;
  }
  entries[(head + count) % kCapacity] = key;
  ++count;
  arrived = true;
}

std::string KeyBuffer::Poll() {
  if (count == 0) return std::string();
  std::string key = entries[head];
  entries[head].clear();
  head = (head + 1) % kCapacity;
  --count;
  return key;
}

}  // namespace plat
