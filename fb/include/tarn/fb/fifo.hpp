// SPDX-License-Identifier: MIT
#pragma once
// tarn::fb::fifo: typed values written into the request region (push) and
// read from the reply region (pop) of the shared window.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <boost/any.hpp>
#include <tarn/exception.hpp>
#include <tarn/fb/export.hpp>
#include <tarn/fb/region.hpp>
#include <tarn/fb/wire.hpp>

namespace tarn {
namespace fb {

class TARN_FB_EXPORT fifo {
public:
    // Thrown by every failed push, pop or conversion.
    class TARN_FB_EXPORT error : public tarn::exception::exception {
    public:
        explicit error(const std::string& message);
        ~error() override;
    };

    using array = std::vector<boost::any>;
    using object = std::unordered_map<std::string, boost::any>;

    fifo(void* request, void* reply)
        : request_header(static_cast<unsigned char*>(request)), reply_header(static_cast<unsigned char*>(reply)) {}

    // Fixed-size values; strings, numeric vectors, arrays and objects are
    // specialised below.
    template <class T>
    void push(const T& value);
    template <class T>
    T pop();

    // pop<std::string>() and pop<std::vector<...>>() into an object that the
    // caller keeps: its storage is reused, so that a value no larger than
    // the last one is read without allocating. On failure it is unchanged.
    void pop_into(std::string& value);
    void pop_into(std::vector<float>& value);
    void pop_into(std::vector<double>& value);

    // Dynamic values.
    void push_any(const boost::any& value);
    boost::any pop_any();

    // The next value of any scalar type as a number or as text.
    double pop_as_double();
    std::string pop_as_string();

    unsigned char* request_header;  // push side
    unsigned char* reply_header;    // pop side

private:
    [[noreturn]] static void fail(const char* op, const char* type_name);
};

template <class T>
inline void fifo::push(const T& value) {
    using w = wire<T>;
    detail::region r(request_header);
    r.add(detail::push_count, 1);
    const auto space = r.free_space(4);
    if (!space) fail("push", w::name());
    detail::store32(space->at, w::tag);
    r.add(detail::write_cursor, 4);
    if (space->size - 4 < w::size) fail("push", w::name());
    w::encode(space->at + 4, value);
    r.add(detail::write_cursor, w::size);
}

template <class T>
inline T fifo::pop() {
    using w = wire<T>;
    detail::region r(reply_header);
    r.add(detail::pop_count, 1);
    const auto in = r.unread(4);
    if (!in) fail("pop", w::name());
    const std::uint32_t t = detail::load32(in->at);
    r.add(detail::read_cursor, 4);
    if (t != w::tag || in->size - 4 < w::size) fail("pop", w::name());
    T value = w::decode(in->at + 4);
    r.add(detail::read_cursor, w::size);
    return value;
}

// Calls f with the value when `v` holds one of the value types (wire.hpp);
// false when it holds none of them (an array, an object, nothing).
template <class F, class... T>
bool visit_held(const boost::any& v, F&& f, type_list<T...>) {
    const auto held = [&](auto type) {
        const auto* x = boost::any_cast<typename decltype(type)::type>(&v);
        if (x != nullptr) f(*x);
        return x != nullptr;
    };
    return (... || held(type_tag<T>{}));
}
template <class F>
bool visit_held(const boost::any& v, F&& f) {
    return visit_held(v, f, value_types{});
}

// Explicitly exported: the visibility of a specialisation would otherwise
// follow that of its template arguments (boost::any is not marked).
template <>
TARN_FB_EXPORT void fifo::push<std::string>(const std::string& value);
template <>
TARN_FB_EXPORT void fifo::push<std::vector<float>>(const std::vector<float>& value);
template <>
TARN_FB_EXPORT void fifo::push<std::vector<double>>(const std::vector<double>& value);
template <>
TARN_FB_EXPORT void fifo::push<fifo::array>(const array& value);
template <>
TARN_FB_EXPORT void fifo::push<fifo::object>(const object& value);

template <>
TARN_FB_EXPORT std::string fifo::pop<std::string>();
template <>
TARN_FB_EXPORT std::vector<float> fifo::pop<std::vector<float>>();
template <>
TARN_FB_EXPORT std::vector<double> fifo::pop<std::vector<double>>();
template <>
TARN_FB_EXPORT fifo::array fifo::pop<fifo::array>();
template <>
TARN_FB_EXPORT fifo::object fifo::pop<fifo::object>();

}  // namespace fb
}  // namespace tarn
