// SPDX-License-Identifier: MIT
// What exists on the device: factories, blocks, properties, ports, connections.
#include <sys/ioctl.h>

#include <iostream>

#include "exchange.hpp"

namespace tarn {
namespace fb {

namespace {

constexpr unsigned long request_named_cmd = 0;

// Pops `count` names into a set. Devices tend to send names in order, so each
// is offered at the end first, which costs one comparison when it belongs
// there instead of a search from the root.
std::set<std::string> pop_name_set(tarn::fb::fifo& f, int count) {
    std::set<std::string> names;
    for (int i = 0; i < count; ++i) names.emplace_hint(names.end(), f.pop<std::string>());
    return names;
}

}  // namespace

// Pops the count, reports it on standard output, then pops that many names.
std::set<std::string> driver::pop_names(const char* count_label) {
    const int count = fifo->pop<int>();
    std::cout << count_label << count << std::endl;
    return pop_name_set(*fifo, count);
}

std::set<std::string> driver::list_factories() {
    std::lock_guard<std::mutex> lock(mutex);
    send(16, "list_factories");
    return pop_names("list factories: count = ");
}

std::set<std::string> driver::list_funcs(const std::string& factory) {
    std::lock_guard<std::mutex> lock(mutex);
    send(17, "list_funcs", factory);
    return pop_names("list funcs: count = ");
}

tarn::fb::fifo& driver::list_func_props(const std::string& block) {
    std::unique_lock<std::mutex> held;
    return list_func_props(block, held);
}

tarn::fb::fifo& driver::list_func_outputs(const std::string& block) {
    std::unique_lock<std::mutex> held;
    return list_func_outputs(block, held);
}

tarn::fb::fifo& driver::list_func_inputs(const std::string& block) {
    std::unique_lock<std::mutex> held;
    return list_func_inputs(block, held);
}

tarn::fb::fifo& driver::list_func_props(const std::string& block, std::unique_lock<std::mutex>& held) {
    held = std::unique_lock<std::mutex>();
    std::unique_lock<std::mutex> lock(mutex);
    send(18, "list_func_props", block);
    held = std::move(lock);
    return *fifo;
}

tarn::fb::fifo& driver::list_func_outputs(const std::string& block, std::unique_lock<std::mutex>& held) {
    held = std::unique_lock<std::mutex>();
    std::unique_lock<std::mutex> lock(mutex);
    send(19, "list_outputs", block);
    held = std::move(lock);
    return *fifo;
}

tarn::fb::fifo& driver::list_func_inputs(const std::string& block, std::unique_lock<std::mutex>& held) {
    held = std::unique_lock<std::mutex>();
    std::unique_lock<std::mutex> lock(mutex);
    send(20, "list_inputs", block);
    held = std::move(lock);
    return *fifo;
}

namespace {

// The string-named command: its name, then the argument, executed with
// request 0; leaves the reply positioned at the count.
int named_command_count(driver& session, const std::string& command, const std::string& name) {
    session.reset_request();
    session.fifo->push(command);
    session.fifo->push(name);
    if (::ioctl(session.fd, request_named_cmd) != 0) throw driver::error(0, "list_output_cons: ioctl failed");
    if (session.fifo->pop<int>() != 0) throw driver::error(0, "list_output_cons: bad return value");
    return session.fifo->pop<int>();
}

}  // namespace

std::set<std::string> driver::list_output_cons(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    static const std::string command("list_output_cons");
    return pop_name_set(*fifo, named_command_count(*this, command, name));
}

int driver::output_connections_count(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    static const std::string command("list_output_cons");
    return named_command_count(*this, command, name);
}

}  // namespace fb
}  // namespace tarn
