// SPDX-License-Identifier: MIT
#include "scratch_state.hpp"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fbemu {

scratch_state::scratch_state(const std::string& catalog) {
    std::string pattern = (std::filesystem::temp_directory_path() / "fbemu-scratch-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a state directory: " + std::string(std::strerror(errno)));
    dir_ = pattern;
    state_ = dir_ + "/state.json";
    ::setenv("FBEMU_STATE", state_.c_str(), 1);
    if (catalog.empty())
        ::unsetenv("FBEMU_CATALOG");
    else
        ::setenv("FBEMU_CATALOG", catalog.c_str(), 1);
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

}  // namespace fbemu
