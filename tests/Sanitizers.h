#pragma once

// Whether the test is built with the address or the thread sanitizer. g++
// defines __SANITIZE_ADDRESS__ and __SANITIZE_THREAD__; clang answers
// __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define ORVENLA_UNDER_ADDRESS_SANITIZER 1
#endif
#if defined(__SANITIZE_THREAD__)
#define ORVENLA_UNDER_THREAD_SANITIZER 1
#endif
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVENLA_UNDER_ADDRESS_SANITIZER 1
#endif
#if __has_feature(thread_sanitizer)
#define ORVENLA_UNDER_THREAD_SANITIZER 1
#endif
#endif

#ifdef ORVENLA_UNDER_ADDRESS_SANITIZER
inline constexpr bool underAddressSanitizer = true;
#else
inline constexpr bool underAddressSanitizer = false;
#endif
#ifdef ORVENLA_UNDER_THREAD_SANITIZER
inline constexpr bool underThreadSanitizer = true;
#else
inline constexpr bool underThreadSanitizer = false;
#endif
