// SPDX-License-Identifier: MIT
// patchbay: lists the device's function-block network and runs the
// interactive test session.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include <tarn/fb/failure_text.hpp>

#include "frontends.hpp"

namespace {

// The listings reachable from the command line, with the argument count each
// needs and the message for a wrong count.
struct listing_action {
    const char* word;
    int argc;
    const char* wrong_count;
};
constexpr listing_action listing_actions[] = {
    {"fac", 3, "list fac: wrong number of parameter (must be 2)"},
    {"fb", 4, "list fb: wrong number of parameter (must be 3)"},
    {"prop", 4, "list prop: wrong number of parameter (must be 3)"},
    {"out", 4, "list out: wrong number of parameter (must be 3)"},
};

void list(int argc, const std::string& action, const std::string& name) {
    for (const auto& a : listing_actions) {
        if (action != a.word) continue;
        if (argc == a.argc)
            fb_list(a.word, a.argc == 3 ? std::string() : name, argc);
        else
            std::cout << a.wrong_count << std::endl;
        return;
    }
    std::cout << "unknown listing command ..." << std::endl;
}

void dispatch(int argc, char** argv) {
    // A missing word counts as the empty word.
    auto word = [&](int i) { return i < argc ? std::string(argv[i]) : std::string(); };
    const std::string option = word(1);
    if (option == "-l") {
        list(argc, word(2), word(3));
    } else if (option == "-c") {
        const std::string action = word(2);
        if (action == "test")
            test_mode();
        else
            std::cout << "unknown execute command:  " << action << std::endl;
    } else if (option == "-h") {
        print_help();
    } else {
        std::cout << "unknown command ...." << std::endl;
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) std::printf("argv[%d]: %s\n", i, argv[i]);
    std::printf("patchbay: argc = %d\n", argc);
    try {
        dispatch(argc, argv);
    } catch (const std::exception& e) {
        // Scripts rely on the status: 1 means the request was not carried out.
        std::cout.flush();
        std::cerr << "patchbay: " << tarn::fb::describe_failure(e) << std::endl;
        return 1;
    }
    std::cout << "patchbay finished" << std::endl;
    return 0;
}
