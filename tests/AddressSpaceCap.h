#pragma once

#include <QTest>

// The address sanitizer reserves terabytes of shadow memory at start-up and
// aborts instead of throwing std::bad_alloc, so a child process that caps its
// address space with RLIMIT_AS cannot show what the program does when memory
// runs out. g++ defines __SANITIZE_ADDRESS__; clang answers __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define ORVENLA_UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVENLA_UNDER_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef ORVENLA_UNDER_ADDRESS_SANITIZER
inline constexpr bool addressSpaceCapWorks = false;
#else
inline constexpr bool addressSpaceCapWorks = true;
#endif

// Put first in a test that runs a child process under an RLIMIT_AS cap.
#define SKIP_UNLESS_ADDRESS_SPACE_CAP_WORKS()                                                      \
    do {                                                                                           \
        if constexpr (!addressSpaceCapWorks)                                                       \
            QSKIP("An RLIMIT_AS cap cannot run under the address sanitizer, which reserves "       \
                  "terabytes of shadow memory and aborts instead of failing an allocation.");      \
    } while (false)
