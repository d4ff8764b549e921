// SPDX-License-Identifier: MIT
// Loading and saving the network under the device lock.
#include "state_store.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "failure.hpp"
#include "network_json.hpp"

namespace fbemu {
namespace {

std::string reason(int error) { return std::strerror(error); }

// The whole file, or false with errno set (ENOENT when it does not exist).
bool read_file(const std::string& path, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    out.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            ::close(fd);
            errno = e;
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Parses and checks a network file; `kind` and `code` say which file it is.
network parse_network(const std::string& path, const std::string& text, const char* kind, int code) {
    try {
        return network_from_json(json::parse(text));
    } catch (const std::exception& e) {
        throw failure(code, std::string(kind) + " " + path + ": " + e.what());
    }
}

std::string non_empty_env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : "";
}

}  // namespace

device_files files_from_environment() {
    device_files files;
    files.state = non_empty_env("FBEMU_STATE");
    if (files.state.empty()) {
        const std::string runtime = non_empty_env("XDG_RUNTIME_DIR");
        const std::string dir = runtime.empty() ? "/tmp/fbemu-" + std::to_string(::getuid()) : runtime + "/fbemu";
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
            throw failure(err_state_unwritable, "cannot create the state directory " + dir + ": " + reason(errno));
        files.state = dir + "/state.json";
    }
    files.lock = files.state + ".lock";
    files.catalog = non_empty_env("FBEMU_CATALOG");
    return files;
}

state_store::state_store(device_files files) : files_(std::move(files)) {
    lock_fd_ = ::open(files_.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_fd_ < 0)
        throw failure(err_state_unwritable, "cannot open the lock file " + files_.lock + ": " + reason(errno));
    while (::flock(lock_fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        const int e = errno;
        ::close(lock_fd_);
        throw failure(err_state_unwritable, "cannot lock " + files_.lock + ": " + reason(e));
    }
}

state_store::~state_store() { ::close(lock_fd_); }

network state_store::load() const {
    std::string text;
    if (read_file(files_.state, text)) return parse_network(files_.state, text, "state file", err_state_unreadable);
    if (errno != ENOENT)
        throw failure(err_state_unreadable, "state file " + files_.state + ": cannot read: " + reason(errno));
    if (files_.catalog.empty()) return default_network();
    if (!read_file(files_.catalog, text))
        throw failure(err_catalog_unreadable, "catalog file " + files_.catalog + ": cannot read: " + reason(errno));
    return parse_network(files_.catalog, text, "catalog file", err_catalog_unreadable);
}

void state_store::save(const network& net) const {
    std::string text;
    try {
        text = network_to_json(net).dump(1) + "\n";
    } catch (const json::exception& e) {
        // Names and texts must be UTF-8 to be stored.
        throw failure(err_state_unwritable, std::string("cannot store the network: ") + e.what());
    }
    const std::string temporary = files_.state + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw failure(err_state_unwritable, "cannot write " + temporary + ": " + reason(errno));
    const bool written = write_all(fd, text);
    const int e = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(temporary.c_str());
        throw failure(err_state_unwritable, "cannot write " + temporary + ": " + reason(written ? errno : e));
    }
    if (::rename(temporary.c_str(), files_.state.c_str()) != 0) {
        const int r = errno;
        ::unlink(temporary.c_str());
        throw failure(err_state_unwritable, "cannot replace " + files_.state + ": " + reason(r));
    }
}

}  // namespace fbemu
