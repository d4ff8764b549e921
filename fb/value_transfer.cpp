// Data between the client and the blocks: the bulk property write and the
// value reads, as a number, as text, or many at once as numbers.
#include <stdexcept>

#include "exchange.hpp"

namespace tarn {
namespace fb {

namespace {

constexpr int write_props_code = 8;
constexpr int value_code = 10;

// Stands in for every value of a multi-value read that cannot be read as a
// number.
constexpr double unreadable_value = 3e20;

// The exchange pattern for argument lists whose length is known only at run
// time: the caller holds the lock; `push_arguments` pushes after the code.
template <class PushArguments>
void send_list(driver& session, int code, const char* name, PushArguments push_arguments) {
    session.reset_request();
    session.fifo->push<int>(code);
    push_arguments(*session.fifo);
    session.ioctl_with_int_cmd(name);
}

}  // namespace

void driver::write_func_props(const std::string& block, const std::list<property>& props) {
    std::lock_guard<std::mutex> lock(mutex);
    send_list(*this, write_props_code, "write_func_props", [&](tarn::fb::fifo& f) {
        f.push(block);
        for (const property& p : props) {
            boost::apply_visitor(
                [&f](const auto& named) {
                    f.push(named.first);
                    f.push(named.second);
                },
                p);
        }
    });
}

double driver::value(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    send(value_code, "value", name);
    return fifo->pop_as_double();
}

std::string driver::value_str(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    send(value_code, "value", name);
    return fifo->pop_as_string();
}

void driver::value(const std::vector<std::string>& names, std::vector<double>& values) {
    std::lock_guard<std::mutex> lock(mutex);
    send_list(*this, value_code, "value", [&names](tarn::fb::fifo& f) {
        for (const std::string& n : names) f.push(n);
    });
    values.clear();
    values.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        // A failed read leaves the read cursor where it stopped; the next
        // value is read on from there.
        double v;
        try {
            v = fifo->pop_as_double();
        } catch (const std::runtime_error&) {
            v = unreadable_value;
        }
        values.push_back(v);
    }
}

}  // namespace fb
}  // namespace tarn
