// SPDX-License-Identifier: MIT
// The ticket registry file: reading and writing it under its lock, and
// destroying a block by the ticket it records once the device confirms it.
#include <tarn/fb/ticket_registry.hpp>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <tarn/fb/network.hpp>
#include <tarn/fb/plan_words.hpp>

namespace tarn {
namespace fb {

registry_error::registry_error(const std::string& message) : tarn::exception::exception(message) {}
registry_error::~registry_error() = default;
ticket_unknown::ticket_unknown(const std::string& message) : tarn::exception::exception(message) {}
ticket_unknown::~ticket_unknown() = default;

namespace {

using entry_map = std::map<std::string, ticket_entry>;  // by block name

const char* const header = "# ticket registry of /dev/functionblocks: TICKET FACTORY BLOCK, one block a line\n";

[[noreturn]] void fail(const std::string& what, const std::string& file) {
    throw registry_error("ticket registry " + file + ": " + what + ": " + std::strerror(errno));
}

// An exclusive flock on FILE.lock for as long as it lives. Readers need none:
// the file is only ever replaced whole.
class file_lock {
public:
    explicit file_lock(const std::string& file) {
        const std::string lock = file + ".lock";
        fd_ = ::open(lock.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0660);
        if (fd_ < 0) fail("cannot open " + lock, file);
        ::fchmod(fd_, 0660);  // the group's other members lock it too, whatever the umask
        while (::flock(fd_, LOCK_EX) != 0)
            if (errno != EINTR) {
                ::close(fd_);
                fail("cannot lock " + lock, file);
            }
    }
    ~file_lock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    file_lock(const file_lock&) = delete;
    file_lock& operator=(const file_lock&) = delete;

private:
    int fd_ = -1;
};

// One word of a line from `pos`, as plan_word wrote it; false when there is
// none or it is cut short.
bool read_word(const std::string& line, std::size_t& pos, std::string& word) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos >= line.size()) return false;
    word.clear();
    if (line[pos] != '"') {
        const std::size_t end = line.find(' ', pos);
        word = line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? line.size() : end;
        return true;
    }
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c != '\\') {
            word += c;
            continue;
        }
        if (++pos >= line.size()) return false;
        switch (line[pos]) {
        case 'n': word += '\n'; break;
        case 'r': word += '\r'; break;
        case 't': word += '\t'; break;
        case 'x': {
            if (pos + 2 >= line.size()) return false;
            const std::string hex = line.substr(pos + 1, 2);
            char* end = nullptr;
            const long value = std::strtol(hex.c_str(), &end, 16);
            if (end != hex.c_str() + 2) return false;
            word += static_cast<char>(value);
            pos += 2;
            break;
        }
        default: word += line[pos];
        }
    }
    return false;
}

bool parse_line(const std::string& line, ticket_entry& e) {
    if (line.empty() || line[0] == '#') return false;
    std::size_t pos = 0;
    std::string ticket;
    if (!read_word(line, pos, ticket) || !read_word(line, pos, e.factory) || !read_word(line, pos, e.block))
        return false;
    std::string rest;
    if (read_word(line, pos, rest)) return false;
    if (ticket.empty() || ticket.find_first_not_of("0123456789") != std::string::npos || ticket.size() > 10)
        return false;
    const unsigned long long n = std::strtoull(ticket.c_str(), nullptr, 10);
    if (n == 0 || n > 0xffffffffULL) return false;
    e.ticket = static_cast<unsigned int>(n);
    return true;
}

entry_map load(const std::string& file) {
    entry_map out;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) return out;
        fail("cannot open", file);
    }
    std::string line;
    while (std::getline(in, line)) {
        ticket_entry e;
        if (parse_line(line, e)) out[e.block] = std::move(e);
    }
    return out;
}

void store(const std::string& file, const entry_map& entries) {
    std::ostringstream text;
    text << header;
    for (const auto& [name, e] : entries)
        text << e.ticket << ' ' << plan_word(e.factory) << ' ' << plan_word(name) << '\n';
    const std::string body = text.str();
    const std::string temporary = file + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0660);
    if (fd < 0) fail("cannot create " + temporary, file);
    // Every member of the device's group may change it, whatever the umask.
    ::fchmod(fd, 0660);
    std::size_t written = 0;
    while (written < body.size()) {
        const ssize_t n = ::write(fd, body.data() + written, body.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(temporary.c_str());
            fail("cannot write " + temporary, file);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        fail("cannot replace", file);
    }
}

// A request that did not reach the device, as opposed to its refusal.
bool unreachable(const driver::error& e) { return std::string(e.what()).find("ioctl failed") != std::string::npos; }

// The blocks the device lists in `factory`; none for a factory it does not know.
std::set<std::string> blocks_of(driver& session, const std::string& factory) {
    try {
        return block_names(session, factory);
    } catch (const driver::error& e) {
        if (unreachable(e)) throw;
        return {};
    }
}

}  // namespace

ticket_registry::ticket_registry(std::string path) : path_(std::move(path)) {}

std::string ticket_registry::default_path() {
    const char* state = std::getenv("FBEMU_STATE");
    if (state != nullptr && *state != '\0') return std::string(state) + ".tickets";
    return "/run/patchbay/tickets";
}

std::vector<ticket_entry> ticket_registry::entries() const {
    std::vector<ticket_entry> out;
    for (auto& [name, e] : load(path_)) out.push_back(std::move(e));
    return out;
}

std::vector<ticket_entry> ticket_registry::live(driver& session) const {
    std::map<std::string, std::set<std::string>> listed;  // factory -> its blocks
    std::vector<ticket_entry> out;
    for (ticket_entry& e : entries()) {
        auto it = listed.find(e.factory);
        if (it == listed.end()) it = listed.emplace(e.factory, blocks_of(session, e.factory)).first;
        if (it->second.count(e.block) != 0) out.push_back(std::move(e));
    }
    return out;
}

void ticket_registry::record(const ticket_entry& entry) {
    const file_lock lock(path_);
    entry_map entries = load(path_);
    entries[entry.block] = entry;
    store(path_, entries);
}

void ticket_registry::forget(unsigned int ticket) {
    const file_lock lock(path_);
    entry_map entries = load(path_);
    for (auto it = entries.begin(); it != entries.end(); ++it)
        if (it->second.ticket == ticket) {
            entries.erase(it);
            store(path_, entries);
            return;
        }
}

ticket_entry ticket_registry::destroy(driver& session, const std::string& block, const std::string& factory) {
    // Held across the check and the destroy, so that two programs never both
    // use one entry.
    const file_lock lock(path_);
    entry_map entries = load(path_);
    const auto it = entries.find(block);
    if (it == entries.end())
        throw ticket_unknown("no ticket is known for block " + block +
                             ": it was not made by fbrestore, fbweb or tarnfb since the device started "
                             "(patchbay's test session keeps its tickets to itself)");
    ticket_entry e = it->second;
    const auto drop = [&](const std::string& why) {
        entries.erase(block);
        store(path_, entries);
        throw ticket_unknown("the ticket recorded for block " + block + " is stale: " + why);
    };
    if (!factory.empty() && e.factory != factory)
        drop("it was made from factory " + e.factory + ", the device has it in " + factory);
    if (blocks_of(session, e.factory).count(block) == 0)
        drop("factory " + e.factory + " has no block " + block + " any more (destroyed or made again elsewhere)");
    try {
        session.destroy(e.ticket);
    } catch (const driver::error& refusal) {
        if (unreachable(refusal)) throw;
        // Tickets are never reused: the block of this name was made again by
        // a program that keeps no registry, and its ticket is not this one.
        drop("the device refused ticket " + std::to_string(e.ticket) + " (" + refusal.what() +
             "); the block was made again by a program that keeps its tickets to itself");
    }
    entries.erase(block);
    store(path_, entries);
    return e;
}

}  // namespace fb
}  // namespace tarn
