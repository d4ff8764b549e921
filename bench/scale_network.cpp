// SPDX-License-Identifier: MIT
// Growing the default network to the sizes the scale benchmarks measure.
#include "scale_network.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "network_json.hpp"

namespace bench {

std::string scaled_block_name(int i) { return "stage" + std::to_string(i); }

void write_scaled_network(const std::string& path, int blocks) {
    fbemu::network net = fbemu::default_network();
    std::string previous = "volume";
    for (int i = 0; net.blocks.size() < static_cast<std::size_t>(blocks); ++i) {
        const std::string name = scaled_block_name(i);
        net.create("gain", name);
        net.connect(previous + ".out", name + ".in", true);
        previous = name;
    }
    {
        std::ofstream out(path, std::ios::trunc);
        out << fbemu::network_to_json(net).dump(1) << "\n";
        if (!out.flush()) throw std::runtime_error("cannot write " + path);
    }
    std::remove((path + ".journal").c_str());
    // An old file, as a state file that has been there a while is.
    timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 60;
    times[1] = times[0];
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) throw std::runtime_error("cannot date " + path);
}

}  // namespace bench
