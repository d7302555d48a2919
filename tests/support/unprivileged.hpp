#pragma once

// Runs part of a test as an unprivileged user, since the superuser ignores file modes: a
// read-only or foreign file, or a folder that takes no new file, is only what it is for others.
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

namespace ornavel::testing {

// The account the tests run as when started by the superuser; created on first use.
constexpr char kTestUser[] = "ornavel-test";

struct TestUser {
    uid_t uid = 0;
    gid_t gid = 0;
};

// The unprivileged user, creating the account when it is missing. Under another user than the
// superuser, that user itself.
inline TestUser UnprivilegedUser() {
    if (geteuid() != 0) return {geteuid(), getegid()};
    // Another test may be adding the account at the same time; then this one waits for it.
    for (int attempt = 0; attempt < 5 && getpwnam(kTestUser) == nullptr; ++attempt) {
        if (attempt > 0) sleep(1);
        const pid_t child = fork();
        if (child == 0) {
            const char* argv[] = {"useradd", "--system",          "--no-create-home",
                                  "--shell", "/usr/sbin/nologin", kTestUser,
                                  nullptr};
            execvp(argv[0], const_cast<char* const*>(argv));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    const passwd* user = getpwnam(kTestUser);
    if (user == nullptr) return {};
    return {user->pw_uid, user->pw_gid};
}

// Runs `body` in a child process as the unprivileged user and fails the test when any of its
// expectations fails there; the child's messages appear in the test's output.
inline void AsUnprivilegedUser(const std::function<void()>& body) {
    const TestUser user = UnprivilegedUser();
    ASSERT_NE(user.uid, 0u) << "no unprivileged user to run as";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(user.gid) != 0 || setuid(user.uid) != 0)) {
            _exit(2);
        }
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the part run as the unprivileged user failed (status " << status << ")";
}

}  // namespace ornavel::testing
