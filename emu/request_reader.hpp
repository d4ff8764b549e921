// SPDX-License-Identifier: MIT
#pragma once
// Typed reading of a request. The request region was written by the client
// and is checked before each value: a missing value, a value of another type
// and a value cut short are each a failure with its own code and a message
// naming the argument.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <boost/any.hpp>
#include <tarn/fb/commands.hpp>
#include <tarn/fb/fifo.hpp>

namespace fbemu {

// A request's arguments, by kind, each in the order of the request.
struct arguments {
    std::vector<std::string> texts;  // also the optional text and the texts to the end
    std::vector<unsigned int> uint32s;
    std::vector<int> int32s;
    std::vector<std::pair<std::string, boost::any>> named_values;
};

class request_reader {
public:
    // `f` pops from the request region.
    explicit request_reader(tarn::fb::fifo& f) : f_(f) {}

    std::string text(const std::string& what);
    int int32(const std::string& what);
    unsigned int uint32(const std::string& what);
    // One value of any type the device stores (see value_types.hpp).
    boost::any value(const std::string& what);

    // The arguments of command `c`, read in the shape its table entry gives.
    arguments read(const tarn::fb::protocol::command& c);

    // Whether the request has no unread bytes left.
    bool at_end() const;

private:
    // The next tag, not consumed; fails when fewer than 4 bytes are left.
    std::uint32_t peek_tag(const std::string& what) const;
    template <class T>
    T take(const std::string& what, const char* type_name);

    tarn::fb::fifo& f_;
};

}  // namespace fbemu
