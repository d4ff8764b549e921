#pragma once
// Captures what the program writes to the system log instead of sending it.
#include <string>
#include <vector>

namespace syslog_capture {

struct entry {
    int priority;
    std::string format;
    std::string text;
};

// Entries written since the last clear().
std::vector<entry>& entries();
inline void clear() { entries().clear(); }

}  // namespace syslog_capture
