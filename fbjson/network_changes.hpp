// SPDX-License-Identifier: MIT
#pragma once
// What changed between two readings of the network, as one JSON object: the
// change events of fbweb and the lines of fbdump --watch. Also the pace at
// which a watcher reads the device, which has no change notification.
#include <chrono>
#include <string>

#include <tarn/fb/network.hpp>

namespace fbjson {

// {"etag": etag, "blocks_added": [{"factory", "name", "properties", "inputs",
// "outputs"}], "blocks_removed": [names], "properties": [{"block", "name",
// "value"}], "connections_added": [{"from": "b.p", "to": "c.q"}],
// "connections_removed": [...]} on one line without a line end; empty lists
// are left out. A block whose factory changed is removed and added; the
// connections of added and removed blocks are listed too. Empty when nothing
// changed.
std::string network_changes(const tarn::fb::network& before, const tarn::fb::network& after, const std::string& etag);

// A strong validator of a network document: 64-bit FNV-1a of its text in
// double quotes, as an HTTP ETag.
std::string etag_of(const std::string& document);

// The time between two readings by a watcher whose last reading took
// `walk`: twenty times the walk, so watching keeps the device busy at most
// one part in twenty, and never under half a second.
std::chrono::milliseconds watch_interval(std::chrono::steady_clock::duration walk);

}  // namespace fbjson
