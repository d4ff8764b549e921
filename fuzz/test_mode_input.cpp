// SPDX-License-Identifier: MIT
// Arbitrary standard input to the interactive test session, against the
// emulated device (the shim is linked in) with a throwaway state file that
// every run starts without.
//
// The session must end when its input ends, and it must not go round its
// menu without reading: every pass but the last consumes at least one byte,
// so it shows its menu at most once more than the input has bytes. Whatever
// goes wrong is reported inside the session; nothing may leave test_mode.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>

#include "frontends.hpp"
#include "input.hpp"
#include "scratch_state.hpp"

namespace {

// Discards what is written, counting the menus shown (their last line).
class menu_counter : public std::streambuf {
public:
    long menus() const { return menus_; }

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) see(static_cast<char>(c));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i) see(s[i]);
        return n;
    }

private:
    void see(char c) {
        static const std::string last_line = "11 : exit\n";
        matched_ = c == last_line[matched_] ? matched_ + 1 : (c == last_line[0] ? 1 : 0);
        if (matched_ == last_line.size()) {
            ++menus_;
            matched_ = 0;
        }
    }
    std::size_t matched_ = 0;
    long menus_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fbemu::scratch_state state;
    state.reset();
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    menu_counter output;
    std::streambuf* const keyboard = std::cin.rdbuf(input.rdbuf());
    std::streambuf* const console = std::cout.rdbuf(&output);
    std::cin.clear();
    const int result = test_mode();
    std::cin.rdbuf(keyboard);
    std::cout.rdbuf(console);
    std::cin.clear();
    std::cout.clear();
    fuzzing::require(result == 1, "test_mode did not return 1");
    fuzzing::require(output.menus() <= static_cast<long>(size) + 1, "the menu came back without reading input");
    return 0;
}
