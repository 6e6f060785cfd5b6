// ZIRPEL_ASAN is defined when the address sanitizer is built in: GCC names
// it with a macro, clang with a feature.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define ZIRPEL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZIRPEL_ASAN 1
#endif
#endif
