#pragma once

// A test that cannot run because this machine lacks something it needs (an X server, a daemon,
// a locale, root) is skipped on a developer's machine. CI sets CI and prepares the machine to
// have all of it, so there the same lack is a failure: a skip there would hide a test that never
// ran.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace ornavel::testing {

inline bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string_view(ci) != "" && std::string_view(ci) != "0" &&
           std::string_view(ci) != "false";
}

}  // namespace ornavel::testing

// Skips the test with `why`, or fails it with `why` when CI is set. Returns from the function,
// as GTEST_SKIP() does.
#define SKIP_OR_FAIL_IN_CI(why)                                          \
    do {                                                                 \
        if (::ornavel::testing::InCi()) {                                \
            FAIL() << (why) << " (CI is set, where this test must run)"; \
        }                                                                \
        GTEST_SKIP() << (why);                                           \
    } while (false)
