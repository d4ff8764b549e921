// SPDX-License-Identifier: MIT
#include "workload.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <list>
#include <mutex>
#include <set>
#include <sstream>
#include <utility>

#include <gtest/gtest.h>
#include <tarn/fb/entries.hpp>

#include "processes.hpp"

namespace stress {
namespace {

namespace fb = tarn::fb;
using names = std::set<std::string>;

// Two factories of the default network, with the property each worker
// writes and the input it connects.
struct kind {
    const char* factory;
    const char* property;
    const char* input;
    std::vector<std::string> properties;
};
const kind kinds[] = {
    {"gain", "level", "in", {"level", "mute"}},
    {"mixer", "master", "in1", {"master", "channels"}},
};
const names factories{"audio_out", "biquad_filter", "gain", "mixer", "sine_osc", "splitter"};
// The blocks of the default network, by factory.
const std::map<std::string, names> default_blocks{{"gain", {"volume"}}, {"mixer", {"mix"}}};

constexpr const char* source = "osc1.out";
constexpr double unreadable = 3e20;

bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

// The connections of `port` in a port listing of `block`, read with the
// session locked; empty when the port is not listed.
std::vector<std::string> port_connections(fb::driver& session, bool outputs, const std::string& block,
                                          const std::string& port) {
    const fb::locked_reply held =
        outputs ? session.list_func_outputs(block, fb::keep_lock) : session.list_func_inputs(block, fb::keep_lock);
    fb::fifo& reply = held.reply();
    std::vector<std::string> found;
    const int count = reply.pop<int>();
    for (int i = 0; i < count; ++i) {
        fb::port_entry e = fb::pop_port_entry(reply);
        if (e.name == port) found = std::move(e.connections);
    }
    return found;
}

}  // namespace

workload::workload(fb::driver& session, int id) : session_(session), id_(id) {}

void workload::check(bool ok, const std::string& what) {
    if (!ok) record_.failures.push_back(what);
}

void workload::round(int r) {
    try {
        run_round(r);
    } catch (const std::exception& e) {
        record_.failures.push_back("round " + std::to_string(r) + ": " + e.what());
    }
}

void workload::run_round(int r) {
    const kind& k = kinds[id_ % 2];
    const std::string name = "w" + std::to_string(id_) + "_" + std::to_string(r);
    const std::string value_name = name + "." + k.property;
    const std::string input = name + "." + k.input;
    const float value = static_cast<float>(id_ * 1000 + r) + 0.25f;
    long& ops = record_.operations;

    const unsigned int ticket = session_.create(k.factory, name);
    ++ops;
    record_.tickets.push_back(ticket);
    session_.write_func_props(name, {std::make_pair(std::string(k.property), value)});
    ++ops;
    check(session_.value(value_name) == value, name + ": value() read another value");
    check(session_.value_str(value_name) == std::to_string(value), name + ": value_str() read another value");
    std::vector<double> values;
    session_.value({value_name, "osc1.frequency", name + ".missing"}, values);
    check(values == std::vector<double>{value, 440.0, unreadable}, name + ": multi-value read returned other values");
    ops += 3;

    {
        const fb::locked_reply held = session_.list_func_props(name, fb::keep_lock);
        fb::fifo& reply = held.reply();
        std::vector<std::string> listed;
        const int count = reply.pop<int>();
        for (int i = 0; i < count; ++i) {
            const fb::property_entry p = fb::pop_property_entry(reply);
            listed.push_back(p.name);
            if (p.name == k.property) check(p.value == std::to_string(value), name + ": listed another value");
        }
        check(listed == k.properties, name + ": listed the properties of another block");
        ++ops;
    }

    session_.connect(source, input);
    ++ops;
    check(port_connections(session_, false, name, k.input) == std::vector<std::string>{source},
          name + ": input listing without its connection");
    check(contains(port_connections(session_, true, "osc1", "out"), input), name + ": output listing without it");
    check(session_.list_output_cons(source).count(input) == 1, name + ": output connections without it");
    check(session_.list_funcs(k.factory).count(name) == 1, name + ": not among its factory's blocks");
    check(session_.list_factories() == factories, name + ": factory list changed");
    ops += 5;

    if (r % 2 == 0) {
        session_.destroy(ticket);
        check(session_.list_funcs(k.factory).count(name) == 0, name + ": still listed after destroy");
        check(session_.value_str(value_name) == "nil", name + ": a value after destroy");
        check(session_.list_output_cons(source).count(input) == 0, name + ": connection kept after destroy");
        ops += 4;
        record_.destroyed.push_back(name);
    } else {
        record_.alive[name] = {k.factory, k.property, k.input, value};
    }
}

std::vector<std::string> check_network(fb::driver& session, const std::vector<record>& records) {
    std::vector<std::string> wrong;
    std::map<std::string, names> expected_blocks = default_blocks;
    names expected_inputs{"mix.in1"};
    std::set<unsigned int> tickets;
    std::size_t ticket_count = 0;
    for (const record& r : records) {
        for (const auto& [name, b] : r.alive) {
            expected_blocks[b.factory].insert(name);
            expected_inputs.insert(name + "." + b.input);
            const std::string value_name = name + "." + b.property;
            if (session.value(value_name) != b.value) wrong.push_back(value_name + " lost its value");
        }
        tickets.insert(r.tickets.begin(), r.tickets.end());
        ticket_count += r.tickets.size();
    }
    for (const auto& [factory, blocks] : expected_blocks)
        if (session.list_funcs(factory) != blocks) wrong.push_back("the blocks of " + factory + " differ");
    if (session.list_output_cons(source) != expected_inputs) wrong.push_back("the connections of osc1.out differ");
    if (tickets.size() != ticket_count || tickets.count(0) != 0) wrong.push_back("a ticket was given twice or was 0");
    return wrong;
}

long report(const std::vector<record>& records, const std::vector<std::string>& wrong, int rounds) {
    long operations = 0;
    for (const record& r : records) {
        operations += r.operations;
        for (const auto& f : r.failures) ADD_FAILURE() << f;
        EXPECT_EQ(r.tickets.size(), static_cast<std::size_t>(rounds));
    }
    for (const auto& w : wrong) ADD_FAILURE() << w;
    return operations;
}

// A record as lines of text, one fact per line, for the way back from a child.
std::string to_text(const stress::record& r) {
    std::ostringstream out;
    out << "operations " << r.operations << '\n';
    for (unsigned int t : r.tickets) out << "ticket " << t << '\n';
    for (const auto& [name, b] : r.alive) {
        char value[32];
        std::snprintf(value, sizeof value, "%.9g", static_cast<double>(b.value));
        out << "alive " << name << ' ' << b.factory << ' ' << b.property << ' ' << b.input << ' ' << value << '\n';
    }
    for (const auto& f : r.failures) out << "failure " << f << '\n';
    return out.str();
}

stress::record from_text(const std::string& text) {
    stress::record r;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string what;
        fields >> what;
        if (what == "operations") {
            fields >> r.operations;
        } else if (what == "ticket") {
            unsigned int t;
            fields >> t;
            r.tickets.push_back(t);
        } else if (what == "alive") {
            std::string name, value;
            stress::record::block b;
            fields >> name >> b.factory >> b.property >> b.input >> value;
            b.value = std::strtof(value.c_str(), nullptr);
            r.alive[name] = b;
        } else {
            r.failures.push_back(line);
        }
    }
    return r;
}

std::vector<unsigned long> create_at_once(int processes, int creates) {
    std::vector<testing_support::child_process> children;
    for (int k = 0; k < processes; ++k)
        children.emplace_back([k, creates](int report) {
            testing_support::silence_stdout();
            fb::driver mine;
            std::string tickets;
            for (int i = 0; i < creates; ++i)
                tickets +=
                    std::to_string(mine.create("gain", "c" + std::to_string(k) + "_" + std::to_string(i))) + "\n";
            testing_support::write_all(report, tickets);
        });
    std::vector<unsigned long> tickets;
    for (const auto& c : children) {
        std::istringstream lines(c.read_report());
        for (std::string line; std::getline(lines, line);) tickets.push_back(std::stoul(line));
        EXPECT_TRUE(testing_support::exited_cleanly(c.wait()));
    }
    return tickets;
}

int rounds() {
    const char* v = std::getenv("STRESS_ROUNDS");
    return v ? std::atoi(v) : 24;
}

}  // namespace stress
