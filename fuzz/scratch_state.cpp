// SPDX-License-Identifier: MIT
#include "scratch_state.hpp"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace fuzzing {

scratch_state::scratch_state() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fbemu-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("scratch_state: mkdtemp");
        std::abort();
    }
    dir_ = pattern;
    state_ = dir_ + "/state.json";
    ::setenv("FBEMU_STATE", state_.c_str(), 1);
    ::unsetenv("FBEMU_CATALOG");
    ::unsetenv("FBEMU_FAULT");
}

scratch_state::~scratch_state() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void scratch_state::reset() const { ::unlink(state_.c_str()); }

bool scratch_state::stored() const {
    struct stat s;
    return ::stat(state_.c_str(), &s) == 0;
}

}  // namespace fuzzing
