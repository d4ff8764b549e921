// SPDX-License-Identifier: MIT
#pragma once
// What the API does to the device, through the library's network model and
// typed writes, one operation at a time: an operation's exchanges never
// interleave with another request's.
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <tarn/fb/network.hpp>
#include <tarn/fb/ticket_registry.hpp>

#include "requests.hpp"

namespace fbweb {

// A block the device does not have (answered with 404).
class not_found : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A plan and whether it was carried out.
struct restore_result {
    std::vector<std::string> plan;  // plan lines, then the blocks kept
    bool applied = false;
};

class device_api {
public:
    // Opens the device session now, so that a device the process may not use
    // (no permission on the node, locked-memory limit too low) stops the
    // server at its start with the cause and fix; a missing device is left to
    // the requests, which answer 503 until it appears.
    void open_session();
    // The whole network, read in one walk (network_watch shares it).
    tarn::fb::network whole_network();
    // One block as the document shows it; not_found when there is no such block.
    std::string block_document(const std::string& name);
    // The new block's ticket, recorded in the device's ticket registry (a
    // registry that cannot be written is reported on standard error: the
    // block exists either way).
    unsigned int create(const create_request& request);
    // Destroys `name` by the ticket the registry holds; not_found when the
    // device has no such block, tarn::fb::ticket_unknown when its ticket is
    // not known (or the one known is stale, and dropped).
    void destroy(const std::string& name);
    // Switches `name` on or off; not_found when there is no such block.
    void activate(const std::string& name, bool active);
    // The values of "block.property" names read in one exchange, as numbers;
    // none for a name that has no value readable as a number.
    std::vector<std::optional<double>> values(const std::vector<std::string>& names);
    // The registry's entries whose block is still in its recorded factory:
    // the blocks destroy() can remove.
    std::vector<tarn::fb::ticket_entry> destroyable();
    // Converts every value to its property's declared type before anything is
    // written (tarn::fb::value_error), then writes them in one bulk write.
    void write_properties(const std::string& block, const std::vector<tarn::fb::wanted_property>& values);
    void connect(const connection_request& request);
    void disconnect(const connection_request& request);
    // The plan that brings the device to `wanted`; carried out all or nothing
    // unless `dry_run`.
    restore_result restore(const tarn::fb::wanted_network& wanted, bool dry_run);

    explicit device_api(std::string registry = tarn::fb::ticket_registry::default_path());

private:
    // Rethrows a device's refusal as not_found when one of `blocks` does not
    // exist, else as it was. Called from a catch block.
    [[noreturn]] void refused(const std::vector<std::string>& blocks);
    // Connects or disconnects, as `edit` does.
    void edit_connection(const connection_request& request,
                         void (tarn::fb::driver::*edit)(const std::string&, const std::string&));

    std::mutex exchanges_;
    tarn::fb::ticket_registry tickets_;
};

}  // namespace fbweb
