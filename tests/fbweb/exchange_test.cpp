// SPDX-License-Identifier: MIT
// Request targets and headers as the routes read them.
#include <gtest/gtest.h>

#include "exchange.hpp"

namespace {

using fbweb::request;

TEST(request_target, path_and_query_are_split_and_decoded) {
    request r;
    ASSERT_TRUE(fbweb::read_target("/api/blocks/my%20block?dry_run=1&name=a+b&name=c%26d&flag", r));
    EXPECT_EQ(r.path, "/api/blocks/my block");
    EXPECT_EQ(r.param("dry_run"), "1");
    EXPECT_EQ(r.param("name"), "a b");  // the first of two
    EXPECT_EQ(r.query.count("name"), 2U);
    EXPECT_EQ(r.query.count("flag"), 1U);
    EXPECT_EQ(r.param("missing"), "");
    // '+' is a blank in the query only.
    ASSERT_TRUE(fbweb::read_target("/a+b", r));
    EXPECT_EQ(r.path, "/a+b");
    EXPECT_TRUE(r.query.empty());
}

TEST(request_target, malformed_targets_are_refused) {
    request r;
    for (const char* target : {"", "api/network", "*", "/%", "/%4", "/%zz", "/ok?x=%g1", "/ok?%"})
        EXPECT_FALSE(fbweb::read_target(target, r)) << target;
}

TEST(request_headers, names_match_in_any_case_and_set_replaces) {
    request r;
    r.headers = {{"content-type", "application/json"}, {"X-Twice", "1"}, {"x-twice", "2"}};
    EXPECT_EQ(r.header("Content-Type"), "application/json");
    EXPECT_EQ(r.header("X-TWICE"), "1");
    EXPECT_EQ(r.header("Host"), "");

    fbweb::response res;
    res.set_header("ETag", "\"1\"");
    res.set_header("etag", "\"2\"");
    ASSERT_EQ(res.headers.size(), 1U);
    EXPECT_EQ(res.headers[0].second, "\"2\"");
}

}  // namespace
