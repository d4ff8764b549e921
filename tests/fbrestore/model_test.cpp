// SPDX-License-Identifier: MIT
// The network model against the emulated device: conversions to a declared
// type, and an apply that fails at each of its exchanges in turn and must
// leave the device exactly as it was.
#include <stdlib.h>

#include <cstdio>
#include <iostream>
#include <limits>

#include <tarn/fb/network.hpp>
#include <tarn/fb/ticket_registry.hpp>

#include "device_fixture.hpp"
#include "document_reader.hpp"
#include "json_output.hpp"

namespace {

using namespace tarn::fb;
using reason = value_error::reason;

// The reason convert_value refuses `loose` with; fails the test when it does not.
reason refusal(const declared_type& d, const boost::any& loose) {
    try {
        convert_value(d, loose);
    } catch (const value_error& e) {
        return e.why;
    }
    ADD_FAILURE() << d.type << " took the value";
    return reason::not_writable;
}

TEST(fbrestore_conversions, names_and_ranges_are_checked_and_told_apart) {
    const declared_type waveform{"enum", {"sine", "square"}};
    EXPECT_EQ(boost::any_cast<int>(convert_value(waveform, std::string("square"))), 1);
    EXPECT_EQ(boost::any_cast<int>(convert_value(waveform, 0LL)), 0);
    EXPECT_EQ(refusal(waveform, std::string("saw")), reason::unknown_choice);
    EXPECT_EQ(refusal(waveform, 2LL), reason::out_of_range);
    EXPECT_EQ(refusal(waveform, 1.0), reason::wrong_type);

    EXPECT_EQ(boost::any_cast<unsigned char>(convert_value({"uint8", {}}, 255ULL)), 255);
    EXPECT_EQ(refusal({"uint8", {}}, 300LL), reason::out_of_range);
    EXPECT_EQ(refusal({"uint32", {}}, -1LL), reason::out_of_range);
    EXPECT_EQ(refusal({"uint32", {}}, 5.0), reason::wrong_type);
    EXPECT_EQ(refusal({"int16", {}}, 40000LL), reason::out_of_range);
    EXPECT_EQ(boost::any_cast<int>(convert_value({"int8", {}}, -128LL)), -128);
    EXPECT_EQ(boost::any_cast<long long>(convert_value({"int64", {}}, std::numeric_limits<long long>::min())),
              std::numeric_limits<long long>::min());

    EXPECT_EQ(boost::any_cast<float>(convert_value({"float", {}}, 3LL)), 3.0f);
    EXPECT_TRUE(same_value(convert_value({"float", {}}, std::string("nan")), convert_value({"float", {}}, 0.0 / 0.0)));
    EXPECT_EQ(refusal({"float", {}}, 1e39), reason::out_of_range);
    EXPECT_EQ(refusal({"float", {}}, std::string("fast")), reason::wrong_type);
    EXPECT_EQ(refusal({"bool", {}}, true), reason::not_writable);
    EXPECT_EQ(value_text({"float", {}}, 0.8f), "0.8");
    EXPECT_EQ(value_text({"string", {}}, std::string("a \"b\"")), "\"a \\\"b\\\"\"");
}

class fbrestore_model : public device_test {};

TEST_F(fbrestore_model, converted_write_refuses_unknown_properties_before_writing) {
    driver d;
    write_converted(d, "osc1", "waveform", std::string("triangle"));
    EXPECT_EQ(d.value("osc1.waveform"), 3.0);
    try {
        write_converted(d, "osc1", "pitch", 1.0);
        ADD_FAILURE() << "an unknown property was written";
    } catch (const value_error& e) {
        EXPECT_EQ(e.why, reason::unknown_property);
    }
}

// Every kind of change, for blocks on the device and a new one.
const char* const edit = R"({"factories": [
  {"name": "sine_osc", "blocks": [
    {"name": "osc3", "properties": [{"name": "frequency", "value": 110}, {"name": "waveform", "value": "sawtooth"}],
     "outputs": [{"name": "out", "connections": ["mix.in4"]}]},
    {"name": "osc1", "properties": [{"name": "amplitude", "value": 0.5}], "outputs": [{"name": "out"}]}]},
  {"name": "gain", "blocks": [{"name": "volume", "properties": [{"name": "mute", "value": 1}, {"name": "level", "value": 2.5}]}]}]})";

std::string document(driver& d) { return fbjson::to_json(read_network(d), false); }

TEST_F(fbrestore_model, a_fault_at_any_exchange_of_an_apply_leaves_the_device_as_it_was) {
    driver d;
    const wanted_network wanted = fbjson::read_document(edit);
    const std::string before = document(d);
    const plan p = make_plan(read_network(d), wanted, {true});
    const std::size_t exchanges = apply(d, p).exchanges;
    ASSERT_GE(exchanges, 5u);  // create, two bulk writes, disconnect, connect
    const std::string after = document(d);
    EXPECT_NE(after, before);

    int tried = 0, left_unknown_ticket = 0;
    for (const char* kind : {"status", "ioctl", "status-bare", "truncate", "corrupt"}) {
        for (std::size_t n = 1; n <= exchanges; ++n) {
            std::remove(state.c_str());  // the default network again
            const std::string fault = std::string(kind) + "@" + std::to_string(n);
            ::setenv("FBEMU_FAULT", fault.c_str(), 1);
            try {
                apply(d, p);
                ADD_FAILURE() << fault << ": no failure";
            } catch (const apply_error& e) {
                EXPECT_EQ(e.failed < p.changes.size(), true);
                // Only a creation whose reply was unreadable may leave a
                // block behind: its ticket never arrived.
                if (!e.left_changed.empty()) {
                    EXPECT_EQ(p.changes[e.failed].what, change::kind::create) << fault << ": " << e.what();
                    ++left_unknown_ticket;
                    continue;
                }
            }
            ::unsetenv("FBEMU_FAULT");
            EXPECT_EQ(document(d), before) << fault;
            ++tried;
        }
    }
    std::cout << tried << " fault positions left the device as it was, " << left_unknown_ticket
              << " reported a block left behind\n";
    EXPECT_LE(left_unknown_ticket, 2);  // the creation's reply truncated or corrupted
}

// The registry follows an apply: a creation is recorded, an undone one
// forgotten; an exact plan destroys only a block whose ticket it holds for
// the block's own factory, last, and the destruction is forgotten too.
TEST_F(fbrestore_model, the_ticket_registry_follows_applies_undos_and_destructions) {
    driver d;
    ticket_registry tickets(ticket_registry::default_path());
    const std::string before = document(d);
    const plan p = make_plan(read_network(d), fbjson::read_document(edit), {true});
    const std::size_t exchanges = apply(d, p, &tickets).exchanges;
    ASSERT_EQ(tickets.entries().size(), 1u);
    EXPECT_EQ(tickets.entries()[0].block, "osc3");
    EXPECT_EQ(tickets.entries()[0].factory, "sine_osc");

    std::remove(state.c_str());  // the default network again
    tickets.forget(tickets.entries()[0].ticket);
    ::setenv("FBEMU_FAULT", ("status@" + std::to_string(exchanges)).c_str(), 1);
    EXPECT_THROW(apply(d, p, &tickets), apply_error);
    ::unsetenv("FBEMU_FAULT");
    EXPECT_EQ(document(d), before);
    EXPECT_TRUE(tickets.entries().empty());

    apply(d, p, &tickets);
    tickets.record({2, "gain", "osc2"});  // osc2 is a sine_osc: this entry is not its
    plan_options exact{true, tickets.entries()};
    const plan down = make_plan(read_network(d), fbjson::read_document(R"({"factories": [
      {"name": "sine_osc", "blocks": [{"name": "osc1", "inputs": [{"name": "fm"}]}]}]})"),
                                exact);
    ASSERT_FALSE(down.changes.empty());
    EXPECT_EQ(describe(down.changes.back()), "destroy sine_osc osc3");
    ASSERT_EQ(down.kept.size(), 1u);
    EXPECT_EQ(down.kept[0].name, "osc2");
    exact.exact = false;
    EXPECT_EQ(make_plan(read_network(d), fbjson::read_document(edit), exact).kept.size(), 1u);

    apply(d, down, &tickets);
    EXPECT_EQ(read_network(d).block("osc3"), nullptr);
    ASSERT_EQ(tickets.entries().size(), 1u);
    EXPECT_EQ(tickets.entries()[0].block, "osc2");
    // A document that connects with a block the plan destroys cannot be reached.
    apply(d, make_plan(read_network(d), fbjson::read_document(edit), {true}), &tickets);
    EXPECT_THROW(make_plan(read_network(d), fbjson::read_document(R"({"factories": [
      {"name": "gain", "blocks": [{"name": "volume", "inputs": [{"name": "in", "connections": ["osc3.out"]}]}]},
      {"name": "sine_osc", "blocks": [{"name": "osc1"}, {"name": "osc2"}]}]})"),
                           {true, tickets.entries()}),
                 plan_error);
}

}  // namespace
