// Helpers shared by the memory-space tests.
#ifndef TESTS_OSAL_MSPACE_SUPPORT_H
#define TESTS_OSAL_MSPACE_SUPPORT_H

#include <gtest/gtest.h>

#include <string>

#include "mspace_internal.h"
#include "osal/osal_assert.h"
#include "osal/vmm.h"

// Callbacks that take a space's memory straight from the page layer.
inline void *pagesAllocate(uintptr_t, size_t *size) { return vmmAllocate(*size); }
inline int pagesFree(uintptr_t, void *base, size_t size) { return vmmFree(base, size) == 0 ? 0 : -1; }

// Checks every invariant of a space nobody else is using at the moment.
#define EXPECT_SPACE_SOUND(space)                                                                  \
    do {                                                                                           \
        const char *fault_ = mspace::checkConsistency(space);                                     \
        EXPECT_EQ(fault_, nullptr) << (fault_ ? fault_ : "");                                      \
    } while (0)

// Turns assertion reports into a count for as long as it lives, so that a test can see a usage
// error being reported and the caller carrying on.
class AssertCatcher {
public:
    AssertCatcher() : previous_(setAssertHook(&AssertCatcher::hook)) {
        reports = 0;
        lastExpression.clear();
        lastMessage.clear();
        lastFunction.clear();
    }
    ~AssertCatcher() { setAssertHook(previous_); }
    AssertCatcher(const AssertCatcher &) = delete;
    AssertCatcher &operator=(const AssertCatcher &) = delete;

    static inline int reports = 0;
    static inline std::string lastExpression;
    static inline std::string lastMessage;
    static inline std::string lastFunction;

private:
    static int hook(const char *expression, const char *, int, const char *function, const char *message) {
        ++reports;
        lastExpression = expression ? expression : "";
        lastFunction = function ? function : "";
        lastMessage = message ? message : "";
        return 0;
    }
    AssertHook previous_;
};

#endif
