#pragma once

#include "Sanitizers.h"

#include <QTest>

// The address sanitizer reserves terabytes of shadow memory at start-up and
// aborts instead of throwing std::bad_alloc, so a child process that caps its
// address space with RLIMIT_AS cannot show what the program does when memory
// runs out.
inline constexpr bool addressSpaceCapWorks = !underAddressSanitizer;

// Put first in a test that runs a child process under an RLIMIT_AS cap.
#define SKIP_UNLESS_ADDRESS_SPACE_CAP_WORKS()                                                      \
    do {                                                                                           \
        if constexpr (!addressSpaceCapWorks)                                                       \
            QSKIP("An RLIMIT_AS cap cannot run under the address sanitizer, which reserves "       \
                  "terabytes of shadow memory and aborts instead of failing an allocation.");      \
    } while (false)
