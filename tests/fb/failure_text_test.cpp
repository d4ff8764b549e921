// SPDX-License-Identifier: MIT
// describe_failure(): the session's own messages stay as they are, and the
// cause and fix follow them only for a node the process may not open and a
// locked-memory limit below the window.
#include <sys/resource.h>

#include <cerrno>
#include <stdexcept>

#include <gtest/gtest.h>
#include <tarn/fb/driver.hpp>
#include <tarn/fb/failure_text.hpp>

#include "fake_device.hpp"

using tarn::fb::describe_failure;
using tarn::fb::driver;

namespace {

const std::string open_failure = "driver(): could not open /dev/functionblocks";
const std::string map_failure = "driver(): could not map /dev/functionblocks";
const std::string permission_hint = ": permission denied; join the functionblocks group (adduser USER functionblocks)";

// The message and the described text of a failed session construction.
struct failure {
    std::string message;
    std::string described;
};
failure construct() {
    try {
        driver session;
    } catch (const driver::error& e) {
        return {e.what(), describe_failure(e)};
    }
    return {};
}

// Sets the soft locked-memory limit for the test's lifetime.
class memlock_limit {
public:
    explicit memlock_limit(rlim_t bytes) {
        getrlimit(RLIMIT_MEMLOCK, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        set_ = setrlimit(RLIMIT_MEMLOCK, &lowered) == 0;
    }
    ~memlock_limit() { setrlimit(RLIMIT_MEMLOCK, &saved_); }
    bool set() const { return set_; }

private:
    rlimit saved_{};
    bool set_ = false;
};

class fb_failure_text : public ::testing::Test {
protected:
    void SetUp() override { fake_device::set_present(true); }
    void TearDown() override {
        fake_device::refuse(0, 0);
        fake_device::set_present(true);
    }
};

}  // namespace

TEST_F(fb_failure_text, a_node_without_permission_names_the_group) {
    for (int refusal : {EACCES, EPERM}) {
        fake_device::refuse(refusal, 0);
        const failure f = construct();
        EXPECT_EQ(f.message, open_failure);
        EXPECT_EQ(f.described, open_failure + permission_hint);
    }
    // A missing node, or one refused for another reason, is said as it is.
    fake_device::refuse(0, 0);
    fake_device::set_present(false);
    EXPECT_EQ(construct().described, open_failure);
    fake_device::set_present(true);
    fake_device::refuse(EBUSY, 0);
    EXPECT_EQ(construct().described, open_failure);
}

TEST_F(fb_failure_text, a_locked_memory_limit_below_the_window_names_the_limit) {
    fake_device::refuse(0, EAGAIN);
    {
        const memlock_limit low(512 * 1024);
        ASSERT_TRUE(low.set());
        const failure f = construct();
        EXPECT_EQ(f.message, map_failure);
        EXPECT_EQ(f.described, map_failure +
                                   ": locked-memory limit 512 KiB is below the 1024 KiB window; raise it (ulimit -l "
                                   "1024, LimitMEMLOCK=1M or /etc/security/limits.d)");
    }
    {
        // The window fits: the limit is not the cause.
        const memlock_limit enough(1024 * 1024);
        if (enough.set()) {
            EXPECT_EQ(construct().described, map_failure);
        }
    }
    {
        // A mapping refused for another reason under a low limit.
        const memlock_limit low(64 * 1024);
        fake_device::refuse(0, ENODEV);
        if (low.set()) {
            EXPECT_EQ(construct().described, map_failure);
        }
    }
}

TEST_F(fb_failure_text, other_failures_and_stale_causes_are_said_as_they_are) {
    fake_device::refuse(EACCES, 0);
    construct();
    // The device's own refusal with the same text, and other exceptions.
    EXPECT_EQ(describe_failure(driver::error(13, open_failure.c_str())), open_failure);
    EXPECT_EQ(describe_failure(std::runtime_error(open_failure)), open_failure);
    // A session that opens forgets the earlier cause.
    fake_device::refuse(0, 0);
    { driver session; }
    EXPECT_EQ(describe_failure(driver::error(0, open_failure.c_str())), open_failure);
}
