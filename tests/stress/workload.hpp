// SPDX-License-Identifier: MIT
#pragma once
// One worker's share of a stress run on a shared emulated device: each round
// creates a block under a name of its own, writes it a property value of its
// own, reads it back every way the library can, lists it, connects it and,
// every other round, destroys it again. Every reply is checked against what
// this worker asked, so a reply that belongs to another exchange is caught.
#include <map>
#include <string>
#include <vector>

#include <tarn/fb/driver.hpp>

namespace stress {

// What a worker leaves on the device and what went wrong.
struct record {
    struct block {
        std::string factory;
        std::string property;
        std::string input;
        float value;
    };
    std::map<std::string, block> alive;  // by name
    std::vector<std::string> destroyed;
    std::vector<unsigned int> tickets;
    long operations = 0;
    std::vector<std::string> failures;
};

class workload {
public:
    // Worker `id` names its blocks "w<id>_<round>".
    workload(tarn::fb::driver& session, int id);

    // Runs one round; a failure is recorded, not thrown.
    void round(int r);

    const record& result() const { return record_; }

private:
    void run_round(int r);
    void check(bool ok, const std::string& what);

    tarn::fb::driver& session_;
    int id_;
    record record_;
};

// Checks the network that the workers left: every block alive with its last
// value and its connection, none of the destroyed ones, every ticket used
// once. Returns what is wrong.
std::vector<std::string> check_network(tarn::fb::driver& session, const std::vector<record>& records);

// Adds each worker's failures and each fact in `wrong` to the running test's
// failures, and checks that each worker used `rounds` tickets. Returns the
// operations the workers did.
long report(const std::vector<record>& records, const std::vector<std::string>& wrong, int rounds);

// A record as lines of text, one fact per line, and back: the way from a
// child process to its parent.
std::string to_text(const record& r);
record from_text(const std::string& text);

// `processes` processes, each with a session of its own, create `creates`
// gain blocks each ("c<process>_<n>") at once; the tickets they were given,
// as many as they reported.
std::vector<unsigned long> create_at_once(int processes, int creates);

// The rounds per worker: STRESS_ROUNDS, or 24.
int rounds();

}  // namespace stress
