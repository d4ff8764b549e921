// SPDX-License-Identifier: MIT
#pragma once
// tarn::fb::driver: the session with the function-block device. It maps the
// device's 1 MiB window, lays the request and reply regions into it and runs
// one command exchange at a time under its mutex.
#include <list>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <boost/any.hpp>
#include <boost/variant.hpp>
#include <tarn/exception.hpp>
#include <tarn/fb/export.hpp>
#include <tarn/fb/fifo.hpp>
#include <tarn/fb/locked_reply.hpp>

namespace tarn {
namespace fb {

// Size of the shared window and the offset of the reply region in it.
constexpr std::uint32_t window_size = 0x100000;
constexpr std::uint32_t reply_offset = 0x80000;

// One element of a bulk property write: a property name and its value.
using property =
    boost::variant<std::pair<std::string, int>, std::pair<std::string, unsigned int>, std::pair<std::string, long long>,
                   std::pair<std::string, unsigned long long>, std::pair<std::string, unsigned char>,
                   std::pair<std::string, float>, std::pair<std::string, double>, std::pair<std::string, std::string>,
                   std::pair<std::string, std::unordered_map<std::string, boost::any>>,
                   std::pair<std::string, std::vector<float>>>;

class TARN_FB_EXPORT driver {
public:
    // Thrown by every device operation. `code` is the device's error code, or
    // 0 for a failure the client found itself.
    class TARN_FB_EXPORT error : public tarn::exception::exception {
    public:
        error(int code, const char* message);
        ~error() override;
        int code;
    };

    // The process-wide session, opened by the first call that succeeds.
    static driver& instance();

    driver();
    ~driver();
    driver(const driver&) = delete;
    driver& operator=(const driver&) = delete;

    // Executes the pushed int-coded command and consumes the status word;
    // throws driver::error on failure. The caller holds `mutex`.
    int ioctl_with_int_cmd(const char* name);

    // Listing queries.
    std::set<std::string> list_factories();
    std::set<std::string> list_funcs(const std::string& factory);
    // These three leave their results in the reply region: the count (int),
    // then that many property or port entries. They release `mutex` once the
    // command has executed, so the caller must read the results before any
    // other operation on the session starts.
    tarn::fb::fifo& list_func_props(const std::string& block);
    tarn::fb::fifo& list_func_outputs(const std::string& block);
    tarn::fb::fifo& list_func_inputs(const std::string& block);
    // The same for threads that share a session: the result holds `mutex`,
    // still locked, so no other exchange replaces the results until it is
    // released or destroyed. On failure nothing stays locked.
    locked_reply list_func_props(const std::string& block, keep_lock_t);
    locked_reply list_func_outputs(const std::string& block, keep_lock_t);
    locked_reply list_func_inputs(const std::string& block, keep_lock_t);
    std::set<std::string> list_output_cons(const std::string& name);
    int output_connections_count(const std::string& name);

    // Network editing.
    unsigned int create(const std::string& factory, const std::string& name);
    void destroy(unsigned int ticket);
    void connect(const std::string& source, const std::string& destination);
    void connect_unchecked(const std::string& source, const std::string& destination);
    void disconnect(const std::string& source, const std::string& destination);
    void activate(const std::string& block, bool active);
    void write_resource_meth(const std::string& text1, const std::string& text2, const std::string& text3,
                             const std::string& text4, unsigned int number);

    // Property and value transfer.
    void write_func_props(const std::string& block, const std::list<property>& props);
    double value(const std::string& name);
    std::string value_str(const std::string& name);
    void value(const std::vector<std::string>& names, std::vector<double>& values);

    tarn::fb::fifo* fifo;
    void* shm;
    int fd;
    std::mutex mutex;

    // Empties the request region before a command.
    void reset_request();
};

}  // namespace fb
}  // namespace tarn
