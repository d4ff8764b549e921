// SPDX-License-Identifier: MIT
#include "samples.hpp"

#include <cmath>
#include <stdexcept>

namespace bench {

namespace {

std::vector<float> ramp(std::size_t n) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = 0.25f * static_cast<float>(i);
    return v;
}

object mixed_entries() {
    object o;
    o["gain"] = 0.75;
    o["cutoff"] = 1200.0f;
    o["channel"] = 3;
    o["ticket"] = 17u;
    o["offset"] = -40000000000LL;
    o["active"] = true;
    o["mode"] = static_cast<unsigned char>(2);
    o["label"] = std::string("lowpass-01");
    return o;
}

samples make() {
    samples s;
    s.integer = 123456;
    s.real = 3.25;
    s.short_text = "sine_osc.freq_hz";
    s.long_text.assign(1024, 'x');
    s.small_vector = ramp(64);
    s.large_vector = ramp(4096);
    s.mixed = mixed_entries();
    return s;
}

// An entry's value as a number, or NaN for text.
double number_in(const boost::any& v) {
    if (const auto* x = boost::any_cast<double>(&v)) return *x;
    if (const auto* x = boost::any_cast<float>(&v)) return *x;
    if (const auto* x = boost::any_cast<int>(&v)) return *x;
    if (const auto* x = boost::any_cast<unsigned int>(&v)) return *x;
    if (const auto* x = boost::any_cast<long long>(&v)) return static_cast<double>(*x);
    if (const auto* x = boost::any_cast<unsigned long long>(&v)) return static_cast<double>(*x);
    if (const auto* x = boost::any_cast<unsigned char>(&v)) return *x;
    if (const auto* x = boost::any_cast<bool>(&v)) return *x ? 1 : 0;
    return std::nan("");
}

}  // namespace

bool same_value(const object& a, const object& b) {
    if (a.size() != b.size()) return false;
    for (const auto& entry : a) {
        const auto other = b.find(entry.first);
        if (other == b.end()) return false;
        const auto* text = boost::any_cast<std::string>(&entry.second);
        const auto* other_text = boost::any_cast<std::string>(&other->second);
        if (text != nullptr || other_text != nullptr) {
            if (text == nullptr || other_text == nullptr || *text != *other_text) return false;
        } else if (number_in(entry.second) != number_in(other->second)) {
            return false;
        }
    }
    return true;
}

const samples& the_samples() {
    static const samples s = make();
    return s;
}

std::size_t payload_bytes(int) { return sizeof(int); }
std::size_t payload_bytes(double) { return sizeof(double); }
std::size_t payload_bytes(const std::string& s) { return s.size(); }
std::size_t payload_bytes(const std::vector<float>& v) { return v.size() * sizeof(float); }

std::size_t payload_bytes(const object& o) {
    std::size_t n = 0;
    for (const auto& entry : o) {
        const boost::any& v = entry.second;
        n += entry.first.size();
        if (const auto* s = boost::any_cast<std::string>(&v))
            n += s->size();
        else if (v.type() == typeid(double) || v.type() == typeid(long long))
            n += 8;
        else if (v.type() == typeid(unsigned char))
            n += 1;
        else if (v.type() == typeid(float) || v.type() == typeid(int) || v.type() == typeid(unsigned int) ||
                 v.type() == typeid(bool))
            n += 4;
        else
            throw std::logic_error("payload_bytes: a sample entry of an unexpected type");
    }
    return n;
}

}  // namespace bench
