// SPDX-License-Identifier: MIT
// Executing one request: check the request region, run the command under the
// device lock, and place the reply (or a failure reply) in the reply region.
#include "executor.hpp"

#include <cerrno>
#include <cstdint>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/fifo.hpp>
#include <tarn/fb/region.hpp>

#include "commands.hpp"
#include "failure.hpp"
#include "faults.hpp"
#include "request_reader.hpp"
#include "state_store.hpp"

namespace fbemu {
namespace {

using tarn::fb::detail::region;

// The request region header must describe the request region of this window
// exactly as the client lays it out, with both cursors inside it.
void check_request_region(unsigned char* window) {
    using namespace tarn::fb::detail;
    region r(window);
    const std::uint32_t base = address_of(window);
    const std::uint32_t b = r.word(begin), e = r.word(end), rc = r.word(read_cursor), wc = r.word(write_cursor);
    if (b != base + tarn::fb::region_header_size || e != base + tarn::fb::region_size)
        throw failure(err_bad_region, "request region header: begin or end is not where the request region is");
    if (rc < b || wc < rc || wc > e)
        throw failure(err_bad_region, "request region header: cursors outside the request region");
}

// Runs the request's command and pushes status 0 and its results.
void run(tarn::fb::fifo& io, unsigned long request) {
    request_reader in(io);
    const command* cmd;
    if (request == 1) {
        const int code = in.int32("command code");
        cmd = command_with_code(code);
        if (!cmd) throw failure(err_unknown_command, "unknown command code " + std::to_string(code));
    } else {
        const std::string name = in.text("command name");
        cmd = command_named(name);
        if (!cmd) throw failure(err_unknown_command, "unknown command '" + name + "'");
    }
    state_store store(files_from_environment());
    network& net = store.load();
    io.push<int>(0);
    const arguments args = in.read(cmd->form);
    call c{args, net, io};
    cmd->run(c);
    if (!in.at_end()) throw failure(err_trailing_values, "unexpected values after the arguments");
    if (cmd->changes_network) store.save(net);
}

// Replaces whatever the reply region holds with a failure reply.
void write_failure(tarn::fb::fifo& io, int code, const std::string& message) {
    region(io.request_header).format(tarn::fb::region_size);  // the reply region
    io.push<int>(1);
    io.push<int>(code);
    io.push<std::string>(message.size() > 4096 ? message.substr(0, 4096) + "..." : message);
}

}  // namespace

int execute(unsigned char* window, unsigned long request) {
    const auto base = reinterpret_cast<std::uintptr_t>(window);
    if (window == nullptr || base > 0xffffffffu - tarn::fb::window_size) {
        errno = EFAULT;
        return -1;
    }
    if (request > 1) {
        errno = ENOTTY;
        return -1;
    }
    // The client's roles swapped: push writes the reply, pop reads the request.
    unsigned char* const reply_header = window + tarn::fb::reply_offset;
    tarn::fb::fifo io(reply_header, window);
    region(reply_header).format(tarn::fb::region_size);

    fault f = fault::none;
    try {
        f = next_fault();
        if (f == fault::ioctl) {
            errno = EIO;
            return -1;
        }
        if (replaces_reply(f)) {
            write_fault_reply(f, io);
            return 0;
        }
        check_request_region(window);
        run(io, request);
    } catch (const failure& e) {
        write_failure(io, e.code, e.what());
    } catch (const tarn::fb::fifo::error&) {
        write_failure(io, err_reply_too_large, "reply too large");
    } catch (const std::exception& e) {
        write_failure(io, err_internal, std::string("internal error: ") + e.what());
    }
    damage_reply(f, reply_header);
    return 0;
}

}  // namespace fbemu
