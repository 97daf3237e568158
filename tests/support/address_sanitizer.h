#pragma once
// ORV_TEST_ADDRESS_SANITIZER is 1 in a build with AddressSanitizer, under GCC (which defines
// __SANITIZE_ADDRESS__) and clang (which answers __has_feature instead).
#if defined(__SANITIZE_ADDRESS__)
#define ORV_TEST_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORV_TEST_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef ORV_TEST_ADDRESS_SANITIZER
#define ORV_TEST_ADDRESS_SANITIZER 0
#endif
