// SPDX-License-Identifier: MIT
#pragma once
// Child processes for the tests that share a device between processes: a
// child runs a function that reports to its parent through a pipe; and
// standard output sent to /dev/null (the name listings' count lines).
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>

namespace testing_support {

// Writes all of `text` to `fd`; a child that cannot report exits with 3.
inline void write_all(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t k = ::write(fd, text.data() + done, text.size() - done);
        if (k <= 0) ::_exit(3);
        done += static_cast<std::size_t>(k);
    }
}

// Standard output goes to /dev/null for good (in a child).
inline void silence_stdout() {
    std::fflush(stdout);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::close(null);
}

// Standard output goes to /dev/null while this lives.
class quiet_stdout {
public:
    quiet_stdout() : saved_(::dup(1)) { silence_stdout(); }
    ~quiet_stdout() {
        std::cout.flush();
        std::fflush(stdout);
        ::dup2(saved_, 1);
        ::close(saved_);
    }
    quiet_stdout(const quiet_stdout&) = delete;
    quiet_stdout& operator=(const quiet_stdout&) = delete;

private:
    int saved_;
};

// A forked child that runs `body(out)`, writing its report to the pipe end
// `out`, and exits with 0 when the body returns, with 4 when it throws.
class child_process {
public:
    explicit child_process(const std::function<void(int out)>& body) {
        int ends[2];
        if (::pipe(ends) != 0) throw std::runtime_error("pipe failed");
        pid_ = ::fork();
        if (pid_ < 0) throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            // The child is a copy of the whole test program: whatever happens
            // in `body`, it must end here and never return into the test
            // runner, which would go on to run the remaining tests (their
            // set-up resets the device) alongside the parent.
            ::close(ends[0]);
            try {
                body(ends[1]);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "child %d: %s\n", static_cast<int>(::getpid()), e.what());
                ::_exit(4);
            } catch (...) {
                ::_exit(4);
            }
            ::_exit(0);
        }
        ::close(ends[1]);
        report_ = ends[0];
    }
    child_process(const child_process&) = delete;
    child_process& operator=(const child_process&) = delete;
    child_process(child_process&& other) noexcept : pid_(other.pid_), report_(other.report_) { other.report_ = -1; }
    ~child_process() {
        if (report_ >= 0) ::close(report_);
    }

    pid_t pid() const { return pid_; }

    // The read end of the child's report.
    int report() const { return report_; }

    // The whole report, up to the child's exit.
    std::string read_report() const {
        std::string text;
        char buffer[4096];
        for (ssize_t k; (k = ::read(report_, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(k));
        return text;
    }

    // Waits for the child's end; its wait status, or -1 when waiting fails.
    int wait() const {
        int status = 0;
        return ::waitpid(pid_, &status, 0) == pid_ ? status : -1;
    }

private:
    pid_t pid_ = -1;
    int report_ = -1;
};

// Whether a wait status is a plain exit with 0.
inline bool exited_cleanly(int status) { return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

}  // namespace testing_support
