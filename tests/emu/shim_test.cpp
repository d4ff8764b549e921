// SPDX-License-Identifier: MIT
// The shim seen through the system calls a client makes. This file is
// compiled with 64-bit file offsets and time, so on 32-bit machines it calls
// open64, mmap64 and __ioctl_time64, the other names the shim must answer to.
#include <errno.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <set>
#include <string>

#include "device_fixture.hpp"

namespace {

constexpr const char* device = "/dev/functionblocks";

class emu_shim : public device_test {};

TEST_F(emu_shim, the_device_is_a_descriptor_with_a_low_window) {
    const int fd = ::open(device, O_RDWR);
    ASSERT_GE(fd, 0);
    errno = 0;
    EXPECT_EQ(::ioctl(fd, 1), -1) << "ioctl before the window is mapped";
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0), MAP_FAILED);
    EXPECT_EQ(errno, EINVAL);

    void* window = ::mmap(nullptr, tarn::fb::window_size, PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_LOCKED | MAP_NORESERVE | MAP_POPULATE, fd, 0);
    ASSERT_NE(window, MAP_FAILED);
    EXPECT_LT(reinterpret_cast<std::uint64_t>(window) + tarn::fb::window_size, 0x100000000ull);
    errno = 0;
    EXPECT_EQ(::ioctl(fd, 7), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(::munmap(window, tarn::fb::window_size), 0);
    EXPECT_EQ(::ioctl(fd, 1), -1) << "ioctl after the window is gone";
    EXPECT_EQ(::close(fd), 0);

    // The descriptor number, reused for a plain file, is no longer the device.
    const int plain = ::open(path("plain").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(plain, fd);
    void* page = ::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, plain, 0);
    EXPECT_NE(page, MAP_FAILED);
    if (page != MAP_FAILED) ::munmap(page, 4096);
    ::close(plain);
}

TEST_F(emu_shim, other_files_are_left_to_the_system) {
    const std::string file = path("plain");
    const int fd = ::openat(AT_FDCWD, file.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "abc", 3), 3);
    EXPECT_EQ(::close(fd), 0);
    EXPECT_EQ(read_file(file), "abc");
    EXPECT_LT(::open("/dev/functionblocks-not", O_RDWR), 0);
}

TEST_F(emu_shim, two_sessions_at_once_share_the_network) {
    tarn::fb::driver a, b;
    a.create("gain", "from_a");
    b.create("gain", "from_b");
    EXPECT_EQ(a.list_funcs("gain"), (std::set<std::string>{"from_a", "from_b", "volume"}));
    EXPECT_NE(a.shm, b.shm);
}

}  // namespace
