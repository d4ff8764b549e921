// SPDX-License-Identifier: MIT
// msgpack-c, the peer: each sample packed into a preallocated buffer and
// unpacked into the same C++ type, with the unpacking zone kept from one
// iteration to the next (its fastest use).
#include <msgpack.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "registry.hpp"

namespace bench {

namespace {

// A preallocated output buffer behind msgpack-c's packer.
struct fixed_buffer {
    std::vector<char> bytes = std::vector<char>(1 << 20);
    std::size_t size = 0;
};
int write_fixed(void* data, const char* from, size_t n) {
    auto* b = static_cast<fixed_buffer*>(data);
    if (n > b->bytes.size() - b->size) return -1;
    std::memcpy(b->bytes.data() + b->size, from, n);
    b->size += n;
    return 0;
}

void pack(msgpack_packer& p, int v) { msgpack_pack_int(&p, v); }
void pack(msgpack_packer& p, double v) { msgpack_pack_double(&p, v); }
void pack(msgpack_packer& p, const std::string& v) { msgpack_pack_str_with_body(&p, v.data(), v.size()); }
void pack(msgpack_packer& p, const std::vector<float>& v) {
    msgpack_pack_array(&p, v.size());
    for (float x : v) msgpack_pack_float(&p, x);
}
void pack_entry(msgpack_packer& p, const boost::any& v) {
    if (const auto* x = boost::any_cast<double>(&v))
        msgpack_pack_double(&p, *x);
    else if (const auto* x = boost::any_cast<float>(&v))
        msgpack_pack_float(&p, *x);
    else if (const auto* x = boost::any_cast<int>(&v))
        msgpack_pack_int(&p, *x);
    else if (const auto* x = boost::any_cast<unsigned int>(&v))
        msgpack_pack_unsigned_int(&p, *x);
    else if (const auto* x = boost::any_cast<long long>(&v))
        msgpack_pack_long_long(&p, *x);
    else if (const auto* x = boost::any_cast<unsigned char>(&v))
        msgpack_pack_uint8(&p, *x);
    else if (const auto* x = boost::any_cast<bool>(&v))
        *x ? msgpack_pack_true(&p) : msgpack_pack_false(&p);
    else if (const auto* x = boost::any_cast<std::string>(&v))
        pack(p, *x);
    else
        throw std::logic_error("msgpack: a sample entry of an unexpected type");
}
void pack(msgpack_packer& p, const object& v) {
    msgpack_pack_map(&p, v.size());
    for (const auto& entry : v) {
        pack(p, entry.first);
        pack_entry(p, entry.second);
    }
}

[[noreturn]] void wrong_type() { throw std::runtime_error("msgpack: unpacked an unexpected type"); }

std::string text_of(const msgpack_object& o) {
    if (o.type != MSGPACK_OBJECT_STR) wrong_type();
    return std::string(o.via.str.ptr, o.via.str.size);
}

boost::any entry_of(const msgpack_object& o) {
    switch (o.type) {
    case MSGPACK_OBJECT_POSITIVE_INTEGER: return static_cast<unsigned long long>(o.via.u64);
    case MSGPACK_OBJECT_NEGATIVE_INTEGER: return static_cast<long long>(o.via.i64);
    case MSGPACK_OBJECT_FLOAT32: return static_cast<float>(o.via.f64);
    case MSGPACK_OBJECT_FLOAT64: return o.via.f64;
    case MSGPACK_OBJECT_BOOLEAN: return o.via.boolean;
    case MSGPACK_OBJECT_STR: return text_of(o);
    default: wrong_type();
    }
}

// Unpacked values converted to the sample's type.
template <class T>
struct from_msgpack;
template <>
struct from_msgpack<int> {
    static int convert(const msgpack_object& o) {
        if (o.type != MSGPACK_OBJECT_POSITIVE_INTEGER && o.type != MSGPACK_OBJECT_NEGATIVE_INTEGER) wrong_type();
        return static_cast<int>(o.via.i64);
    }
};
template <>
struct from_msgpack<double> {
    static double convert(const msgpack_object& o) {
        if (o.type != MSGPACK_OBJECT_FLOAT64) wrong_type();
        return o.via.f64;
    }
};
template <>
struct from_msgpack<std::string> {
    static std::string convert(const msgpack_object& o) { return text_of(o); }
};
template <>
struct from_msgpack<std::vector<float>> {
    static std::vector<float> convert(const msgpack_object& o) {
        if (o.type != MSGPACK_OBJECT_ARRAY) wrong_type();
        std::vector<float> v;
        v.reserve(o.via.array.size);
        for (std::uint32_t i = 0; i < o.via.array.size; ++i) {
            const msgpack_object& e = o.via.array.ptr[i];
            if (e.type != MSGPACK_OBJECT_FLOAT32) wrong_type();
            v.push_back(static_cast<float>(e.via.f64));
        }
        return v;
    }
};
template <>
struct from_msgpack<object> {
    static object convert(const msgpack_object& o) {
        if (o.type != MSGPACK_OBJECT_MAP) wrong_type();
        object v;
        for (std::uint32_t i = 0; i < o.via.map.size; ++i)
            v[text_of(o.via.map.ptr[i].key)] = entry_of(o.via.map.ptr[i].val);
        return v;
    }
};

class codec {
public:
    codec() {
        msgpack_packer_init(&packer_, &out_, write_fixed);
        msgpack_zone_init(&zone_, MSGPACK_ZONE_CHUNK_SIZE);
    }
    ~codec() { msgpack_zone_destroy(&zone_); }
    codec(const codec&) = delete;
    codec& operator=(const codec&) = delete;

    template <class T>
    T round_trip(const T& value) {
        out_.size = 0;
        pack(packer_, value);
        msgpack_zone_clear(&zone_);
        std::size_t offset = 0;
        msgpack_object o;
        if (msgpack_unpack(out_.bytes.data(), out_.size, &offset, &zone_, &o) != MSGPACK_UNPACK_SUCCESS)
            throw std::runtime_error("msgpack: unpack failed");
        return from_msgpack<T>::convert(o);
    }

private:
    fixed_buffer out_;
    msgpack_packer packer_;
    msgpack_zone zone_;
};

template <class T>
void pack_unpack(benchmark::State& state, const T& value) {
    codec c;
    for (auto _ : state) {
        T out = c.round_trip(value);
        benchmark::DoNotOptimize(out);
    }
    if (!same_value(c.round_trip(value), value)) state.SkipWithError("the value did not come back");
}

}  // namespace

void register_msgpack() {
    register_per_sample("msgpack-c", "pack+unpack", [](benchmark::State& s, const auto& v) { pack_unpack(s, v); });
}

}  // namespace bench
