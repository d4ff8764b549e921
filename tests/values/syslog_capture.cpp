// Interposes syslog (and its fortified form) for the test program.
#include "syslog_capture.hpp"

#include <cstdarg>
#include <cstdio>

std::vector<syslog_capture::entry>& syslog_capture::entries() {
    static std::vector<entry> captured;
    return captured;
}

namespace {
void record(int priority, const char* format, va_list ap) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, ap);
    syslog_capture::entries().push_back({priority, format, text});
}
}  // namespace

extern "C" void syslog(int priority, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    record(priority, format, ap);
    va_end(ap);
}

extern "C" void __syslog_chk(int priority, int, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    record(priority, format, ap);
    va_end(ap);
}
