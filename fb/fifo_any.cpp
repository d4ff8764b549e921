// SPDX-License-Identifier: MIT
// Dynamic values: a boost::any of any writable type, arrays of them and
// objects of named ones. Arrays and objects nest; both directions walk the
// nesting with an explicit stack on the heap, so the depth a caller can read
// or write does not depend on the thread's stack, and both stop at
// max_depth levels.
#include <syslog.h>

#include <typeinfo>

#include <tarn/fb/fifo.hpp>

namespace tarn {
namespace fb {

using detail::region;
using detail::store32;

namespace {

constexpr std::size_t max_depth = 256;

// What tells an array from an object in the stream and in messages.
struct container {
    std::uint32_t begin, end;
    const char* name;
    const char* begin_expected;
    const char* end_expected;
};
constexpr container array_kind{tag_array_begin, tag_array_end, "std::vector<boost::any> ", " array begin expected",
                               " array end expected"};
constexpr container object_kind{tag_object_begin, tag_object_end,
                                "std::unordered_map<std::__cxx11::basic_string<char>, boost::any> ",
                                " object begin expected", " object end expected"};

const container* container_opened_by(std::uint32_t tag) {
    if (tag == tag_array_begin) return &array_kind;
    if (tag == tag_object_begin) return &object_kind;
    return nullptr;
}

[[noreturn]] void fail(const char* op, const container& c, const char* what) {
    std::string message(op);
    message += '<';
    message += c.name;
    message += '>';
    message += what;
    throw fifo::error(message);
}

// ---- writing ----

// A rejected value is logged before it is thrown.
[[noreturn]] void reject(const std::string& message) {
    ::syslog(LOG_WARNING, "%s", message.c_str());
    throw fifo::error(message);
}

// Writes a bare marker tag; markers leave push_count alone.
void write_marker(unsigned char* header, const container& c, std::uint32_t tag) {
    region r(header);
    const auto space = r.free_space(4);
    if (!space) fail("push", c, " failed");
    store32(space->at, tag);
    r.add(detail::write_cursor, 4);
}

// An array or object whose begin marker has been written, and how far its
// elements have been written.
struct open_for_writing {
    const container* kind;
    const fifo::array* items;
    std::size_t next_item;
    const fifo::object* entries;
    fifo::object::const_iterator next_entry;
};

class tree_writer {
public:
    explicit tree_writer(fifo& f) : f_(f) {}

    // push_any: the held type is matched exactly, in this order.
    using writable =
        type_list<fifo::object, fifo::array, float, double, unsigned char, unsigned int, unsigned long long,
                  signed char, short, int, long long, std::string, const char*, char*, bool>;

    void any(const boost::any& value) {
        // Comparing type_info objects that differ compares their names'
        // text, once per candidate; the same type normally has one name in
        // the whole process, so the address of the name finds it first. The
        // full comparison, in the same order, decides when that finds nothing.
        const char* held = value.type().name();
        if (!first_with_name(held, value, writable{}) && !first_match(value, writable{}))
            reject(std::string("push_any: unknown type ") + held);
    }

    void value(const fifo::array& a) {
        open(array_kind);
        open_.back().items = &a;
    }
    void value(const fifo::object& o) {
        open(object_kind);
        open_.back().entries = &o;
        open_.back().next_entry = o.begin();
    }
    void value(const char* s) {
        if (s == nullptr) reject("push_any: null string");
        f_.push(std::string(s));
    }
    void value(char* s) { value(static_cast<const char*>(s)); }
    template <class T>
    void value(const T& v) {
        f_.push(v);
    }

    // Writes the elements of every open array or object and closes them.
    void finish() {
        while (!open_.empty()) {
            open_for_writing& top = open_.back();
            if (top.kind == &array_kind) {
                if (top.next_item < top.items->size()) {
                    any((*top.items)[top.next_item++]);
                    continue;
                }
            } else if (top.next_entry != top.entries->end()) {
                const auto& entry = *top.next_entry++;
                key(entry.first);
                any(entry.second);
                continue;
            }
            write_marker(f_.request_header, *top.kind, top.kind->end);
            open_.pop_back();
        }
    }

private:
    template <class... T>
    bool first_with_name(const char* held, const boost::any& v, type_list<T...>) {
        return (... || (held == typeid(T).name() && match<T>(v)));
    }
    template <class... T>
    bool first_match(const boost::any& v, type_list<T...>) {
        return (... || match<T>(v));
    }
    template <class T>
    bool match(const boost::any& v) {
        const T* held = boost::any_cast<T>(&v);
        if (held == nullptr) return false;
        value(*held);
        return true;
    }

    void open(const container& c) {
        if (open_.size() == max_depth) fail("push", c, " nesting too deep");
        write_marker(f_.request_header, c, c.begin);
        open_.push_back({&c, nullptr, 0, nullptr, {}});
    }

    // An object key is a string value; its failure carries the object's name.
    void key(const std::string& k) {
        try {
            f_.push(k);
        } catch (const fifo::error&) {
            fail("push", object_kind, " failed");
        }
    }

    fifo& f_;
    std::vector<open_for_writing> open_;
};

// ---- reading ----

constexpr const char* no_tag_message = "pop_as_string: could no retrieve type";

void skip_marker(unsigned char* header) { region(header).add(detail::read_cursor, 4); }

// The typed pop of the value type with this tag, its result boxed; nullptr
// for the markers and unknown tags.
using scalar_reader = boost::any (*)(fifo&);
template <class T>
boost::any read_boxed(fifo& f) {
    return f.pop<T>();
}
scalar_reader reader_for(std::uint32_t tag) {
    scalar_reader r = nullptr;
    visit_tag(tag, [&r](auto type) { r = &read_boxed<typename decltype(type)::type>; });
    return r;
}

// Destroys a tree one level at a time: every array and object is emptied
// into a work list before it goes, so no destructor recurses through the
// levels below it. Trees read here are discarded this way (after a failure,
// or under a repeated key), so that a small thread stack suffices.
void dismantle(boost::any&& tree) {
    const auto nests = [](const boost::any& v) {
        const auto* a = boost::any_cast<fifo::array>(&v);
        const auto* o = boost::any_cast<fifo::object>(&v);
        return (a != nullptr && !a->empty()) || (o != nullptr && !o->empty());
    };
    if (!nests(tree)) return;
    std::vector<boost::any> work;
    work.push_back(std::move(tree));
    while (!work.empty()) {
        boost::any v = std::move(work.back());
        work.pop_back();
        if (auto* a = boost::any_cast<fifo::array>(&v)) {
            for (boost::any& e : *a)
                if (nests(e)) work.push_back(std::move(e));
        } else if (auto* o = boost::any_cast<fifo::object>(&v)) {
            for (auto& e : *o)
                if (nests(e.second)) work.push_back(std::move(e.second));
        }
    }
}

// An array or object being read: its begin marker is consumed, its end
// marker not yet.
struct open_for_reading {
    explicit open_for_reading(const container& c) : kind(&c) {}

    void store(boost::any&& v) {
        if (kind == &array_kind) {
            items.push_back(std::move(v));
            return;
        }
        // A repeated key: the later value wins.
        auto [at, inserted] = entries.try_emplace(std::move(key), std::move(v));
        if (!inserted) {
            boost::any earlier = std::move(at->second);
            at->second = std::move(v);
            dismantle(std::move(earlier));
        }
    }
    boost::any take() {
        if (kind == &array_kind) return std::move(items);
        return std::move(entries);
    }

    const container* kind;
    fifo::array items;
    fifo::object entries;
    std::string key;
};

class tree_reader {
public:
    explicit tree_reader(fifo& f) : f_(f) {}

    // Reads the begin marker of an array or object that the caller asked for.
    void begin(const container& c) {
        region r(f_.reply_header);
        const auto t = r.next_tag();
        if (!t) fail("pop", c, c.begin_expected);
        r.add(detail::read_cursor, 4);
        if (*t != c.begin) fail("pop", c, c.begin_expected);
        open_.emplace_back(c);
    }

    // Reads one value of whatever type comes next. A scalar is returned; an
    // array or object is opened instead and the result is empty.
    boost::any any() {
        const auto t = region(f_.reply_header).next_tag();
        if (!t) throw fifo::error(no_tag_message);
        if (const container* c = container_opened_by(*t)) {
            if (open_.size() == max_depth) fail("pop", *c, " nesting too deep");
            skip_marker(f_.reply_header);
            open_.emplace_back(*c);
            return {};
        }
        if (scalar_reader read = reader_for(*t)) return read(f_);
        throw fifo::error("pop_any unknown type");
    }

    // Reads the elements of every open array or object up to the outermost
    // one's end marker and returns that one.
    open_for_reading finish() {
        try {
            return read_to_end();
        } catch (...) {
            for (open_for_reading& partly_read : open_) dismantle(partly_read.take());
            throw;
        }
    }

    bool nothing_open() const { return open_.empty(); }

private:
    open_for_reading read_to_end() {
        for (;;) {
            open_for_reading& top = open_.back();
            const auto t = region(f_.reply_header).next_tag();
            if (!t) fail("pop", *top.kind, top.kind->end_expected);
            if (*t == top.kind->end) {
                skip_marker(f_.reply_header);
                open_for_reading done = std::move(top);
                open_.pop_back();
                if (open_.empty()) return done;
                open_.back().store(done.take());
                continue;
            }
            if (top.kind == &object_kind) top.key = key();
            boost::any v = any();
            if (!v.empty()) open_.back().store(std::move(v));
        }
    }

    std::string key() {
        try {
            return f_.pop<std::string>();
        } catch (const fifo::error&) {
            fail("pop", object_kind, " key expected");
        }
    }

    fifo& f_;
    std::vector<open_for_reading> open_;
};

}  // namespace

void fifo::push_any(const boost::any& value) {
    tree_writer w(*this);
    w.any(value);
    w.finish();
}

template <>
void fifo::push<fifo::array>(const array& value) {
    tree_writer w(*this);
    w.value(value);
    w.finish();
}

template <>
void fifo::push<fifo::object>(const object& value) {
    tree_writer w(*this);
    w.value(value);
    w.finish();
}

boost::any fifo::pop_any() {
    tree_reader r(*this);
    boost::any v = r.any();
    if (r.nothing_open()) return v;
    return r.finish().take();
}

template <>
fifo::array fifo::pop<fifo::array>() {
    tree_reader r(*this);
    r.begin(array_kind);
    return std::move(r.finish().items);
}

template <>
fifo::object fifo::pop<fifo::object>() {
    tree_reader r(*this);
    r.begin(object_kind);
    return std::move(r.finish().entries);
}

}  // namespace fb
}  // namespace tarn
