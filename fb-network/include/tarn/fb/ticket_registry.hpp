// SPDX-License-Identifier: MIT
#pragma once
// The device's ticket registry: the ticket of every block a front end
// created, in one file all front ends share, so that any of them can destroy
// what another made.
#include <string>
#include <vector>

#include <tarn/exception.hpp>
#include <tarn/fb/driver.hpp>
#include <tarn/fb/export.hpp>

namespace tarn {
namespace fb {

struct TARN_FB_EXPORT ticket_entry {
    unsigned int ticket = 0;
    std::string factory;  // the factory the block was created from
    std::string block;
};

// The registry file cannot be read or written (missing directory, no
// permission). The message names the file and the reason.
class TARN_FB_EXPORT registry_error : public tarn::exception::exception {
public:
    explicit registry_error(const std::string& message);
    ~registry_error() override;
};

// A block that cannot be destroyed by name: no ticket is known for it, or the
// one known is stale. The message says which and why.
class TARN_FB_EXPORT ticket_unknown : public tarn::exception::exception {
public:
    explicit ticket_unknown(const std::string& message);
    ~ticket_unknown() override;
};

// The file holds one line per block, "TICKET FACTORY BLOCK", names written as
// plan lines write them (in double quotes when they hold a blank, a quote or
// a control character); lines starting with '#' are comments. Every change
// rewrites it whole (a new file renamed over the old) while holding an
// exclusive flock on "FILE.lock", so concurrent programs never lose or mix an
// entry and a reader never sees half a file.
//
// An entry is trusted only as far as the device confirms it: before a
// destroy the block must still exist in the recorded factory, and the device
// must take the ticket. Tickets are not reused while the device lives (the
// emulator numbers them on per state file, a board until it reboots), and
// the registry lives exactly as long: under /run on a board, beside the
// emulator's state file otherwise. So a block destroyed elsewhere and made
// again under the same name by a program that keeps no registry (patchbay's
// test session) has a new ticket; the old one is refused and its entry
// dropped, and the new block is never destroyed by it.
class TARN_FB_EXPORT ticket_registry {
public:
    explicit ticket_registry(std::string path);

    // The registry of the device this process talks to: beside the emulator's
    // state file ("$FBEMU_STATE.tickets") when FBEMU_STATE is set (fbemu run
    // sets it), else /run/patchbay/tickets.
    static std::string default_path();

    const std::string& path() const { return path_; }

    // Every entry, by block name. A missing file is an empty registry; lines
    // that cannot be read are skipped. Throws registry_error.
    std::vector<ticket_entry> entries() const;

    // The entries whose block the device still lists in the recorded factory
    // (one listing per factory): the blocks destroy() can remove, unless
    // the name was made again by a program that keeps no registry. Throws
    // the session's error when the device cannot be reached, registry_error.
    std::vector<ticket_entry> live(driver& session) const;

    // Records a created block, replacing an entry of the same block name.
    // Throws registry_error.
    void record(const ticket_entry& entry);

    // Drops the entry that holds `ticket`, if any (a block destroyed by its
    // ticket). Throws registry_error.
    void forget(unsigned int ticket);

    // Destroys `block` by its recorded ticket and drops the entry. When
    // `factory` is not empty, the entry must name it. Throws ticket_unknown
    // (dropping a stale entry first) when no usable ticket is known, the
    // session's error when the device cannot be reached, registry_error.
    ticket_entry destroy(driver& session, const std::string& block, const std::string& factory = {});

private:
    std::string path_;
};

}  // namespace fb
}  // namespace tarn
