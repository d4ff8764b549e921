// SPDX-License-Identifier: MIT
// Loading and saving the network under the device lock: the process's copy
// of the network, brought up to date from the snapshot and the journal.
#include "state_store.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "crash_hook.hpp"
#include "failure.hpp"
#include "journal.hpp"
#include "network_json.hpp"

namespace fbemu {
namespace {

std::string reason(int error) { return std::strerror(error); }

snapshot_id id_of(const struct stat& st) {
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
            static_cast<unsigned long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

enum class presence { exists, missing, unknown };

presence stat_file(const std::string& path, snapshot_id& id) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? presence::missing : presence::unknown;
    id = id_of(st);
    return presence::exists;
}

// The whole file and what identifies the version read, or false with errno
// set (ENOENT when it does not exist).
bool read_file(const std::string& path, std::string& out, snapshot_id* id = nullptr) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (id && ::fstat(fd, &st) == 0) *id = id_of(st);
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

// Bytes [from, from + size) of a file, or false.
bool read_range(const std::string& path, std::size_t from, std::size_t size, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    out.assign(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, &out[done], size - done, static_cast<off_t>(from + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return done == size;
}

// Writes `text` to a new file `temporary` and renames it to `path`; returns
// what identifies the file written. Throws failure (state unwritable).
snapshot_id replace_file(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw failure(err_state_unwritable, "cannot write " + temporary + ": " + reason(errno));
    const bool written = write_steps(fd, text.data(), text.size());
    int e = errno;
    struct stat st {};
    const bool identified = written && ::fstat(fd, &st) == 0;
    if (written && !identified) e = errno;
    if (::close(fd) != 0 || !identified) {
        ::unlink(temporary.c_str());
        throw failure(err_state_unwritable, "cannot write " + temporary + ": " + reason(identified ? errno : e));
    }
    crash_point();
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int r = errno;
        ::unlink(temporary.c_str());
        throw failure(err_state_unwritable, "cannot replace " + path + ": " + reason(r));
    }
    return id_of(st);
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

// A file changed twice within the file system's timestamp granularity may
// keep its size and modification time: a file younger than this is read
// again at every load.
constexpr long long settle_ns = 2000000000LL;

bool settled(const snapshot_id& id) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec - id.mtime_ns > settle_ns;
}

std::size_t size_from_env(const char* name, std::size_t otherwise) {
    const std::string v = non_empty_env(name);
    return v.empty() ? otherwise : static_cast<std::size_t>(std::strtoull(v.c_str(), nullptr, 10));
}

// Whether a change writes the whole network instead of a journal record.
// Below FBEMU_JOURNAL_FROM bytes (default 16 KiB) a snapshot is written as
// fast as a record, and the state file alone then holds the whole network.
// Past FBEMU_JOURNAL_LIMIT bytes of journal (default the snapshot's size,
// at least 1 MiB, so that a snapshot's cost is spread over as many bytes of
// records) the journal is folded into a new snapshot.
bool snapshot_due(std::size_t snapshot_size, std::size_t journal_size) {
    if (snapshot_size < size_from_env("FBEMU_JOURNAL_FROM", 16u << 10)) return true;
    return journal_size > size_from_env("FBEMU_JOURNAL_LIMIT", std::max<std::size_t>(snapshot_size, 1u << 20));
}

// The process's copy of the network and what it was made from.
struct cached_state {
    bool valid = false;
    std::string state, catalog;  // the files it belongs to
    bool has_snapshot = false;   // else it came from the catalog or is the default
    snapshot_id base;            // the snapshot or catalog file read
    bool trusted = false;        // whether an unchanged `base` means unchanged contents
    std::size_t snapshot_size = 0;
    bool has_journal = false;
    unsigned long long journal_inode = 0;
    std::size_t journal_end = 0;  // the bytes of the journal applied
    network net;
};

cached_state& cache() {
    static cached_state c;
    return c;
}

// The lock file keeps other processes out; this keeps other threads of this
// one away from the cache (the flock does too, but it is no fence to a
// race detector).
std::mutex& process_mutex() {
    static std::mutex m;
    return m;
}

void report_damage(const std::string& journal, std::size_t at, std::size_t cut, const std::string& why) {
    std::fprintf(stderr, "fbemu: state journal %s: damaged at byte %zu (%s); %zu bytes cut off\n", journal.c_str(), at,
                 why.c_str(), cut);
}

// Applies the journal to a freshly read snapshot; cuts a damaged end and
// removes a journal that belongs to another snapshot (the leftover of a
// replaced state file or of a new snapshot written by a process that died
// before it could remove the old journal).
void replay_whole_journal(const device_files& files, cached_state& c) {
    c.has_journal = false;
    c.journal_end = 0;
    std::string text;
    snapshot_id journal_id;
    if (!read_file(files.journal, text, &journal_id)) {
        if (errno == ENOENT) return;
        throw failure(err_state_unreadable, "state journal " + files.journal + ": cannot read: " + reason(errno));
    }
    snapshot_id header;
    std::size_t start = 0;
    const bool has_header = read_journal_header(text, header, start);
    if (!c.has_snapshot || !has_header || !(header == c.base)) {
        if (!has_header) report_damage(files.journal, 0, text.size(), "no header");
        ::unlink(files.journal.c_str());
        return;
    }
    const replay_result r = replay_journal(text, start, c.net);
    if (!r.damage.empty()) {
        report_damage(files.journal, r.end, text.size() - r.end, r.damage);
        if (::truncate(files.journal.c_str(), static_cast<off_t>(r.end)) != 0)
            throw failure(err_state_unwritable, "cannot cut " + files.journal + ": " + reason(errno));
    }
    c.has_journal = true;
    c.journal_inode = journal_id.inode;
    c.journal_end = r.end;
}

// The lock file holds what identifies the last snapshot the emulator wrote:
// a snapshot that still matches it is trusted at once, younger or not.
void note_snapshot_written(int lock_fd, const snapshot_id& id) {
    (void)::pwrite(lock_fd, &id, sizeof id, 0);  // without it the snapshot is merely read again more often
}
bool written_by_emulator(int lock_fd, const snapshot_id& id) {
    snapshot_id noted;
    return ::pread(lock_fd, &noted, sizeof noted, 0) == static_cast<ssize_t>(sizeof noted) && noted == id;
}

// Reads the network afresh: snapshot (or catalog, or default) and journal.
void reload(const device_files& files, int lock_fd, cached_state& c) {
    c.valid = false;
    std::string text;
    if (read_file(files.state, text, &c.base)) {
        c.net = parse_network(files.state, text, "state file", err_state_unreadable);
        c.has_snapshot = true;
        c.trusted = settled(c.base) || written_by_emulator(lock_fd, c.base);
        c.snapshot_size = text.size();
    } else if (errno != ENOENT) {
        throw failure(err_state_unreadable, "state file " + files.state + ": cannot read: " + reason(errno));
    } else if (files.catalog.empty()) {
        c.net = default_network();
        c.has_snapshot = false;
        c.trusted = true;
    } else {
        if (!read_file(files.catalog, text, &c.base))
            throw failure(err_catalog_unreadable, "catalog file " + files.catalog + ": cannot read: " + reason(errno));
        c.net = parse_network(files.catalog, text, "catalog file", err_catalog_unreadable);
        c.has_snapshot = false;
        c.trusted = settled(c.base);
    }
    replay_whole_journal(files, c);
    c.net.changes.clear();
    c.state = files.state;
    c.catalog = files.catalog;
    c.valid = true;
}

// Whether the cached network still is what the files hold, reading what
// other processes appended to the journal since; false when it must be
// read afresh.
bool up_to_date(const device_files& files, cached_state& c) {
    if (!c.valid || !c.trusted || !c.net.changes.empty() || c.state != files.state || c.catalog != files.catalog)
        return false;
    snapshot_id now;
    const presence snapshot = stat_file(files.state, now);
    if (snapshot == presence::unknown || (snapshot == presence::exists) != c.has_snapshot) return false;
    if (!c.has_snapshot && !files.catalog.empty() && stat_file(files.catalog, now) != presence::exists) return false;
    if (!files.catalog.empty() || c.has_snapshot)
        if (!(now == c.base)) return false;

    snapshot_id journal;
    const presence j = stat_file(files.journal, journal);
    if (j == presence::missing) return !c.has_journal;
    if (j == presence::unknown || !c.has_journal || journal.inode != c.journal_inode || journal.size < c.journal_end)
        return false;
    if (journal.size == c.journal_end) return true;
    std::string tail;
    if (!read_range(files.journal, c.journal_end, journal.size - c.journal_end, tail)) return false;
    const replay_result r = replay_journal(tail, 0, c.net);
    if (!r.damage.empty()) return false;  // read afresh, which reports and cuts it
    c.journal_end += r.end;
    return true;
}

// Appends `records` to the journal, which is created with its header when
// there is none.
void append(const device_files& files, cached_state& c, const std::string& records) {
    if (!c.has_journal) {
        const std::string text = journal_header(c.base) + records;
        const snapshot_id id = replace_file(files.journal, text);
        c.has_journal = true;
        c.journal_inode = id.inode;
        c.journal_end = text.size();
        return;
    }
    const int fd = ::open(files.journal.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) throw failure(err_state_unwritable, "cannot write " + files.journal + ": " + reason(errno));
    if (!write_steps(fd, records.data(), records.size())) {
        const int e = errno;
        // Whatever part was written goes again, so that nothing is applied in part.
        (void)::ftruncate(fd, static_cast<off_t>(c.journal_end));
        ::close(fd);
        throw failure(err_state_unwritable, "cannot write " + files.journal + ": " + reason(e));
    }
    ::close(fd);
    c.journal_end += records.size();
}

// Writes the whole network as the new snapshot and removes the journal.
void write_snapshot(const device_files& files, int lock_fd, cached_state& c) {
    std::string text;
    try {
        text = network_to_json(c.net).dump(1) + "\n";
    } catch (const json::exception& e) {
        // Names and texts must be UTF-8 to be stored.
        throw failure(err_state_unwritable, std::string("cannot store the network: ") + e.what());
    }
    c.base = replace_file(files.state, text);
    note_snapshot_written(lock_fd, c.base);
    c.has_snapshot = true;
    c.trusted = true;
    c.snapshot_size = text.size();
    crash_point();
    if (::unlink(files.journal.c_str()) != 0 && errno != ENOENT)
        throw failure(err_state_unwritable, "cannot remove " + files.journal + ": " + reason(errno));
    c.has_journal = false;
    c.journal_end = 0;
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
    files.journal = files.state + ".journal";
    files.catalog = non_empty_env("FBEMU_CATALOG");
    return files;
}

state_store::state_store(device_files files) : files_(std::move(files)) {
    process_mutex().lock();
    lock_fd_ = ::open(files_.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_fd_ < 0) {
        const int e = errno;
        process_mutex().unlock();
        throw failure(err_state_unwritable, "cannot open the lock file " + files_.lock + ": " + reason(e));
    }
    while (::flock(lock_fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        const int e = errno;
        ::close(lock_fd_);
        process_mutex().unlock();
        throw failure(err_state_unwritable, "cannot lock " + files_.lock + ": " + reason(e));
    }
}

state_store::~state_store() {
    ::close(lock_fd_);
    process_mutex().unlock();
}

network& state_store::load() {
    cached_state& c = cache();
    try {
        if (!up_to_date(files_, c)) reload(files_, lock_fd_, c);
    } catch (...) {
        c.valid = false;
        throw;
    }
    return c.net;
}

void state_store::save(network& net) {
    cached_state& c = cache();
    if (net.changes.empty()) return;
    try {
        if (&net != &c.net || !c.valid) throw failure(err_internal, "saving a network that was not loaded");
        std::string records;
        for (const change& ch : net.changes) records += journal_record(ch, net);
        if (!c.has_snapshot || snapshot_due(c.snapshot_size, c.journal_end + records.size()))
            write_snapshot(files_, lock_fd_, c);
        else
            append(files_, c, records);
        net.changes.clear();
    } catch (...) {
        c.valid = false;
        throw;
    }
}

}  // namespace fbemu
