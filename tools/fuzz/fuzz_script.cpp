// libFuzzer entry for the headless runner's script language. The input is a
// script. A script that loads is written out in its plain form, which must
// load again and give the same plain form: every command, number and name
// the reader accepted means one thing. The run stops with a trap otherwise.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/headless/headless.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  if (!headless::LoadScript(text, error)) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  const std::string plain = headless::DescribeScript();
  if (!headless::LoadScript(plain, error)) __builtin_trap();
  if (headless::DescribeScript() != plain) __builtin_trap();
  return 0;
}
