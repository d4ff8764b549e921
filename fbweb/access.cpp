// SPDX-License-Identifier: MIT
// The token file, the token comparison and the loopback test.
#include "access.hpp"

#include <sys/stat.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace fbweb {

std::string read_token_file(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) throw token_error(file + ": " + std::strerror(errno));
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        throw token_error(file + ": readable or writable by group or others (chmod 600 " + file + ")");
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) throw token_error(file + ": cannot read a token");
    const auto first = line.find_first_not_of(" \t\r");
    const auto last = line.find_last_not_of(" \t\r");
    if (first == std::string::npos) throw token_error(file + ": the first line is empty");
    return line.substr(first, last - first + 1);
}

bool may_scrape(const std::string& authorization, const std::string& token, const std::string& scrape_token) {
    if (token.empty() && scrape_token.empty()) return true;
    return bearer_matches(authorization, token) || bearer_matches(authorization, scrape_token);
}

bool bearer_matches(const std::string& authorization, const std::string& token) {
    static const std::string scheme = "Bearer ";
    if (token.empty() || authorization.compare(0, scheme.size(), scheme) != 0) return false;
    const std::string given = authorization.substr(scheme.size());
    // Every byte of the longer text is looked at; the lengths count too.
    const std::size_t n = std::max(given.size(), token.size());
    unsigned char diff = given.size() == token.size() ? 0 : 1;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char a = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        const unsigned char b = i < token.size() ? static_cast<unsigned char>(token[i]) : 0;
        diff = static_cast<unsigned char>(diff | (a ^ b));
    }
    return diff == 0;
}

bool is_loopback(const std::string& host) {
    if (host == "localhost") return true;
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

}  // namespace fbweb
