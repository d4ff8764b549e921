// SPDX-License-Identifier: MIT
#pragma once
// Who may use the server: the token from its file, the comparison of a
// request's token with it, and whether an address is loopback only.
#include <stdexcept>
#include <string>

namespace fbweb {

// A token file that cannot be used; what() says why.
class token_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The first line of `file`, without blanks around it. Throws token_error when
// the file cannot be read, is empty, or grants group or others any access.
std::string read_token_file(const std::string& file);

// Whether an Authorization header carries "Bearer <token>"; takes the same
// time whatever the first wrong character, so the token cannot be guessed
// byte by byte from response times.
bool bearer_matches(const std::string& authorization, const std::string& token);

// Whether a scrape of the metrics may be answered: by anyone when neither
// the API's token nor the scrape token is set, else with either of them.
bool may_scrape(const std::string& authorization, const std::string& token, const std::string& scrape_token);

// Whether listening on `host` reaches only this machine (127.0.0.0/8, ::1,
// localhost).
bool is_loopback(const std::string& host);

}  // namespace fbweb
