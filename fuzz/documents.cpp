// SPDX-License-Identifier: MIT
// Hostile network documents through the whole reader and the planner, as
// fbrestore, fbweb's restore and tarnfb's restore take them, against a fixed
// network in memory (no device).
//
// Input: the document's text. The reader either reads it or refuses it with
// document_error; what it reads is planned, which either gives a plan or
// refuses with plan_error. Any other exception, a crash or a leak is a
// finding. A plan must describe every change and keep only device blocks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <tarn/fb/network.hpp>

#include "document_reader.hpp"

namespace {

using namespace tarn::fb;

void check(bool holds) {
    if (!holds) std::abort();
}

port_entry port(const std::string& name, std::vector<std::string> connections = {}) {
    return {name, static_cast<int>(connections.size()), std::move(connections)};
}

// Two oscillators into a mixer, with an enum, a float, integers, text and a
// float vector among the properties.
network device() {
    block_state osc1{"osc1",
                     {{"frequency", "float", 440.0F, {}},
                      {"waveform", "enum", 0, {"sine", "square", "sawtooth"}},
                      {"label", "string", std::string("lead"), {}}},
                     {port("gate")},
                     {port("out", {"mix.in1"})}};
    block_state osc2 = osc1;
    osc2.name = "osc2";
    osc2.outputs = {port("out", {"mix.in2"})};
    block_state mix{"mix",
                    {{"channels", "uint32", 4U, {}},
                     {"order", "uint8", static_cast<unsigned char>(2), {}},
                     {"taps", "float_vector", std::vector<float>{0.5F, 0.25F}, {}}},
                    {port("in1", {"osc1.out"}), port("in2", {"osc2.out"}), port("in3")},
                    {port("out")}};
    return {{{"mixer", {mix}}, {"sine_osc", {osc1, osc2}}}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const network on_device = device();
    wanted_network wanted;
    try {
        wanted = fbjson::read_document(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const fbjson::document_error&) {
        return 0;
    }
    for (const bool exact : {false, true}) {
        try {
            const plan p = make_plan(on_device, wanted, {exact});
            for (const change& c : p.changes) check(!describe(c).empty());
            for (const block_state& b : p.kept) check(on_device.block(b.name) != nullptr);
        } catch (const plan_error&) {
        }
    }
    return 0;
}
