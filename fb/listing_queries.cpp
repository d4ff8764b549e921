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

// Pops the count, reports it on standard output, then pops that many names.
std::set<std::string> pop_names(tarn::fb::fifo& f, const char* count_label) {
    const int count = f.pop<int>();
    std::cout << count_label << count << std::endl;
    return pop_name_set(f, count);
}

// A property or port query: its results stay in the reply region, read under
// the lock that comes with them.
template <const protocol::command& C>
locked_reply query_block(driver& session, const std::string& block) {
    std::unique_lock<std::mutex> lock(session.mutex);
    detail::send<C>(session, block);
    return locked_reply(std::move(lock), *session.fifo);
}

}  // namespace

std::set<std::string> driver::list_factories() {
    std::lock_guard<std::mutex> lock(mutex);
    detail::send<protocol::list_factories>(*this);
    return pop_names(*fifo, "list factories: count = ");
}

std::set<std::string> driver::list_funcs(const std::string& factory) {
    std::lock_guard<std::mutex> lock(mutex);
    detail::send<protocol::list_funcs>(*this, factory);
    return pop_names(*fifo, "list funcs: count = ");
}

// Without keep_lock the lock goes with the temporary; the results stay.
tarn::fb::fifo& driver::list_func_props(const std::string& block) {
    return query_block<protocol::list_func_props>(*this, block).reply();
}
tarn::fb::fifo& driver::list_func_outputs(const std::string& block) {
    return query_block<protocol::list_outputs>(*this, block).reply();
}
tarn::fb::fifo& driver::list_func_inputs(const std::string& block) {
    return query_block<protocol::list_inputs>(*this, block).reply();
}

locked_reply driver::list_func_props(const std::string& block, keep_lock_t) {
    return query_block<protocol::list_func_props>(*this, block);
}
locked_reply driver::list_func_outputs(const std::string& block, keep_lock_t) {
    return query_block<protocol::list_outputs>(*this, block);
}
locked_reply driver::list_func_inputs(const std::string& block, keep_lock_t) {
    return query_block<protocol::list_inputs>(*this, block);
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
    static const std::string command(protocol::list_output_cons.name);
    return pop_name_set(*fifo, named_command_count(*this, command, name));
}

int driver::output_connections_count(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    static const std::string command(protocol::list_output_cons.name);
    return named_command_count(*this, command, name);
}

}  // namespace fb
}  // namespace tarn
