// SPDX-License-Identifier: MIT
#pragma once
// A fresh emulated device for each test: its own state file in a temporary
// directory, no catalog and no fault; helpers to check device errors.
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>
#include <tarn/fb/driver.hpp>
#include <tarn/fb/region.hpp>

#include "scratch_state.hpp"

inline void write_file(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}
inline std::string read_file(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class device_test : public ::testing::Test {
protected:
    void TearDown() override { ::unsetenv("FBEMU_FAULT"); }

    std::string path(const std::string& name) const { return dir + "/" + name; }

    const fbemu::scratch_state scratch;
    const std::string& dir = scratch.dir();
    const std::string& state = scratch.state();
};

// Runs `f`, which must throw tarn::fb::driver::error with `code` and a
// message containing `fragment`.
template <class F>
void expect_device_error(F&& f, int code, const std::string& fragment) {
    try {
        f();
        ADD_FAILURE() << "no error; expected code " << code << " with \"" << fragment << "\"";
    } catch (const tarn::fb::driver::error& e) {
        EXPECT_EQ(e.code, code) << e.what();
        EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
}

// Whether everything the device placed in the reply region has been read.
inline bool reply_consumed(tarn::fb::fifo& f) {
    tarn::fb::detail::region r(f.reply_header);
    return r.word(tarn::fb::detail::read_cursor) == r.word(tarn::fb::detail::write_cursor);
}
