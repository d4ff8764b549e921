// SPDX-License-Identifier: MIT
// Carrying a plan out on the device, and undoing what was done when a change
// fails, so that the device ends as it was.
#include <list>
#include <stdexcept>

#include <tarn/fb/network.hpp>

namespace tarn {
namespace fb {

apply_error::apply_error(const std::string& message, std::size_t failed_, std::vector<std::string> left_changed_)
    : tarn::exception::exception(message), failed(failed_), left_changed(std::move(left_changed_)) {}
apply_error::~apply_error() = default;

namespace {

// One step of an apply: one editing command, covering the plan's changes
// [first, last); all of one kind, property writes all of one block.
struct step {
    std::size_t first = 0;
    std::size_t last = 0;
    unsigned int ticket = 0;  // a creation's ticket, for its undo
};

// The changes from `first` that go out as one command.
std::size_t step_end(const std::vector<change>& changes, std::size_t first) {
    std::size_t last = first + 1;
    if (changes[first].what != change::kind::set) return last;
    while (last < changes.size() && changes[last].what == change::kind::set &&
           changes[last].block == changes[first].block)
        ++last;
    return last;
}

std::list<property> values(const std::vector<change>& changes, const step& s, bool old) {
    std::list<property> out;
    for (std::size_t i = s.first; i < s.last; ++i)
        out.push_back(to_property(changes[i].property, old ? changes[i].old_value : changes[i].new_value));
    return out;
}

class applier {
public:
    applier(driver& session, const plan& p, ticket_registry* tickets)
        : session_(session), changes_(p.changes), tickets_(tickets) {}

    apply_counts run() {
        apply_counts& counts = counts_;
        for (std::size_t first = 0; first < changes_.size();) {
            step s{first, step_end(changes_, first), 0};
            try {
                perform(s);
            } catch (const std::exception& e) {
                // A reply that could not be read may follow a command that
                // ran: that step is undone too, quietly.
                const bool maybe_done = dynamic_cast<const driver::error*>(&e) == nullptr;
                fail(s, e.what(), maybe_done);
            }
            done_.push_back(s);
            ++counts.exchanges;
            counts.changes += s.last - s.first;
            first = s.last;
        }
        return counts_;
    }

private:
    void perform(step& s) {
        const change& c = changes_[s.first];
        switch (c.what) {
        case change::kind::create:
            s.ticket = session_.create(c.factory, c.block);
            note([&] { tickets_->record({s.ticket, c.factory, c.block}); }, "record the ticket of", c.block);
            break;
        case change::kind::destroy:
            if (tickets_ != nullptr)
                tickets_->destroy(session_, c.block, c.factory);
            else
                session_.destroy(c.ticket);
            break;
        case change::kind::set: session_.write_func_props(c.block, values(changes_, s, false)); break;
        case change::kind::disconnect: session_.disconnect(c.source, c.destination); break;
        case change::kind::connect: session_.connect(c.source, c.destination); break;
        }
    }

    // Throws when the undo fails.
    void undo(const step& s) {
        const change& c = changes_[s.first];
        switch (c.what) {
        case change::kind::create:
            if (s.ticket == 0) throw std::runtime_error("its ticket is unknown");
            session_.destroy(s.ticket);
            note([&] { tickets_->forget(s.ticket); }, "forget the ticket of", c.block);
            break;
        case change::kind::destroy: throw std::runtime_error("a destroyed block cannot be made again");
        case change::kind::set:
            // A block this apply created goes with its destruction.
            if (!c.old_value.empty()) session_.write_func_props(c.block, values(changes_, s, true));
            break;
        case change::kind::disconnect: session_.connect(c.source, c.destination); break;
        case change::kind::connect: session_.disconnect(c.source, c.destination); break;
        }
    }

    // Runs a registry update; a failure is a warning, since the device has
    // already changed.
    template <class Update>
    void note(Update update, const char* what, const std::string& block) {
        if (tickets_ == nullptr) return;
        try {
            update();
        } catch (const registry_error& e) {
            counts_.warnings.push_back(std::string("could not ") + what + " block " + block + ": " + e.what());
        }
    }

    std::vector<std::string> lines(const step& s) const {
        std::vector<std::string> out;
        for (std::size_t i = s.first; i < s.last; ++i) out.push_back(describe(changes_[i]));
        return out;
    }

    [[noreturn]] void fail(const step& failed, const std::string& reason, bool maybe_done) {
        std::vector<std::string> left;
        std::string undo_errors;
        const auto undo_or_record = [&](const step& s, bool quietly) {
            try {
                undo(s);
            } catch (const std::exception& e) {
                if (quietly && changes_[s.first].what != change::kind::create) return;
                for (std::string& line : lines(s)) left.push_back(std::move(line));
                undo_errors += "; undo of '" + describe(changes_[s.first]) + "' failed: " + e.what();
            }
        };
        if (maybe_done) undo_or_record(failed, true);
        for (auto it = done_.rbegin(); it != done_.rend(); ++it) undo_or_record(*it, false);

        std::string message = describe(changes_[failed.first]) + ": " + reason;
        if (left.empty()) {
            message += " (every change undone, the device is as it was)";
        } else {
            message += undo_errors + "; left changed:";
            for (const std::string& line : left) message += " [" + line + "]";
        }
        throw apply_error(message, failed.first, std::move(left));
    }

    driver& session_;
    const std::vector<change>& changes_;
    ticket_registry* tickets_;
    std::vector<step> done_;
    apply_counts counts_;
};

}  // namespace

apply_counts apply(driver& session, const plan& p, ticket_registry* tickets) {
    return applier(session, p, tickets).run();
}

}  // namespace fb
}  // namespace tarn
