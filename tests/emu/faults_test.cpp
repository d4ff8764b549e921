// SPDX-License-Identifier: MIT
// Injected faults as the client library meets them.
#include <stdlib.h>

#include <set>
#include <string>

#include "device_fixture.hpp"

namespace {

using names = std::set<std::string>;

class emu_faults : public device_test {
protected:
    static void inject(const char* text) { ::setenv("FBEMU_FAULT", text, 1); }
};

TEST_F(emu_faults, ioctl_fails_once_without_executing) {
    inject("ioctl");
    tarn::fb::driver d;
    expect_device_error([&] { d.create("gain", "g"); }, 0, "create: ioctl failed");
    EXPECT_EQ(d.list_funcs("gain"), (names{"volume"}));
}

TEST_F(emu_faults, failure_statuses_without_executing) {
    tarn::fb::driver d;
    inject("status");
    expect_device_error([&] { d.create("gain", "g"); }, 42, "create: injected fault");
    inject("status-bare");
    expect_device_error([&] { d.list_factories(); }, 0, "list_factories: error code and/or message not found");
    inject("status-code");
    expect_device_error([&] { d.connect("osc1.out", "mix.in4"); }, 0, "connect: error code and/or message not found");
    EXPECT_EQ(d.list_funcs("gain"), (names{"volume"}));
    EXPECT_EQ(d.list_output_cons("osc1.out"), (names{"mix.in1"}));
}

TEST_F(emu_faults, the_nth_ioctl_counts_from_one) {
    inject("status@3");
    tarn::fb::driver d;
    d.list_factories();
    d.list_factories();
    expect_device_error([&] { d.list_factories(); }, 42, "injected fault");
    d.list_factories();
}

TEST_F(emu_faults, damaged_replies_fail_in_the_value_stream) {
    tarn::fb::driver d;
    // truncate: the count and the first name read, the last name cut short.
    inject("truncate");
    tarn::fb::fifo& f = d.list_func_props("volume");
    EXPECT_EQ(f.pop<int>(), 2);
    EXPECT_EQ(f.pop<std::string>(), "level");
    EXPECT_EQ(f.pop<std::string>(), "float");
    f.pop<float>();
    EXPECT_EQ(f.pop<std::string>(), "mute");
    EXPECT_EQ(f.pop<std::string>(), "uint8");
    EXPECT_THROW(f.pop<unsigned char>(), tarn::fb::fifo::error);

    inject("corrupt");
    EXPECT_THROW(d.list_factories(), tarn::fb::fifo::error);  // the count's tag
    inject("corrupt@1x");
    expect_device_error([&] { d.list_factories(); }, 33, "FBEMU_FAULT: '1x' is not an ioctl number");
    inject("corrupt");
    EXPECT_THROW(d.disconnect("osc1.out", "mix.in1"), tarn::fb::fifo::error);  // no result: the status's tag
    inject("cursor");
    EXPECT_THROW(d.list_factories(), tarn::fb::fifo::error);
    EXPECT_EQ(d.list_funcs("gain"), (names{"volume"}));
}

TEST_F(emu_faults, an_unknown_kind_is_reported_on_every_ioctl) {
    inject("explode");
    tarn::fb::driver d;
    for (int i = 0; i < 2; ++i)
        expect_device_error([&] { d.list_factories(); }, 33, "FBEMU_FAULT: unknown fault kind 'explode'");
}

}  // namespace
