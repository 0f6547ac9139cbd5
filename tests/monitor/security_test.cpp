// Who the monitor lets in: Host, Origin, token and secret checks.
#include <gtest/gtest.h>

#include <string>

#include "security.h"

namespace monitor = zorenc::monitor;

namespace {

using monitor::HttpRequest;
using monitor::Security;

HttpRequest Request(const std::string &host, const std::string &origin = {},
                    const std::string &token = {}, const std::string &query = {})
{
    HttpRequest r;
    r.method = "GET";
    r.path = "/api/state";
    if (!host.empty()) {
        r.header["host"] = host;
    }
    if (!origin.empty()) {
        r.header["origin"] = origin;
    }
    if (!token.empty()) {
        r.header["x-zorenc-token"] = token;
    }
    if (!query.empty()) {
        r.query["secret"] = query;
    }
    return r;
}

TEST(Security, LoopbackHostsAndOrigins)
{
    const Security s("127.0.0.1", 8330);
    EXPECT_TRUE(s.Loopback());
    EXPECT_TRUE(s.Secret().empty());
    EXPECT_EQ(s.Url(), "http://127.0.0.1:8330/");
    struct Case {
        const char *host;
        const char *origin;
        bool allowed;
    } cases[] = {
        {"127.0.0.1:8330", "", true},
        {"LOCALHOST:8330", "http://localhost:8330", true},
        {"[::1]:8330", "http://[::1]:8330", true},
        {"127.0.0.1:8331", "", false},    // another port
        {"127.0.0.1", "", false},         // no port
        {"", "", false},                  // no Host at all
        {"evil.example:8330", "", false}, // DNS rebinding
        {"192.168.1.5:8330", "", false},  // not a wildcard listen
        {"127.0.0.1:8330", "http://evil.example", false},
        {"127.0.0.1:8330", "http://localhost:8330", false}, // Origin must name this Host
        {"127.0.0.1:8330", "null", false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(s.Refusal(Request(c.host, c.origin), false).empty(), c.allowed)
            << c.host << " / " << c.origin;
    }
}

TEST(Security, ChangesNeedTheToken)
{
    const Security s("127.0.0.1", 8330);
    EXPECT_FALSE(s.Refusal(Request("127.0.0.1:8330"), true).empty());
    EXPECT_FALSE(s.Refusal(Request("127.0.0.1:8330", "", "x" + s.Token()), true).empty());
    EXPECT_FALSE(s.Refusal(Request("127.0.0.1:8330", "", s.Token().substr(1)), true).empty());
    EXPECT_TRUE(s.Refusal(Request("127.0.0.1:8330", "", s.Token()), true).empty());
    EXPECT_NE(Security("127.0.0.1", 8330).Token(), s.Token()); // one per run
}

TEST(Security, BeyondLoopbackEveryRequestNeedsTheSecret)
{
    const Security s("0.0.0.0", 9000);
    EXPECT_FALSE(s.Loopback());
    ASSERT_EQ(s.Secret().size(), 64u);
    EXPECT_NE(s.Url().find("?secret=" + s.Secret()), std::string::npos);
    const std::string host = "10.1.2.3:9000"; // any IP literal on a wildcard address
    EXPECT_FALSE(s.Refusal(Request(host), false).empty());
    EXPECT_FALSE(s.Refusal(Request(host, "", "", s.Secret() + "0"), false).empty());
    EXPECT_TRUE(s.Refusal(Request(host, "", "", s.Secret()), false).empty());
    EXPECT_FALSE(s.Refusal(Request("rebind.example:9000", "", "", s.Secret()), false).empty());

    HttpRequest cookie = Request(host);
    cookie.header["cookie"] = "a=b; zorenc_secret=" + s.Secret() + "; c=d";
    EXPECT_TRUE(s.Refusal(cookie, false).empty());
    cookie.header["cookie"] = "zorenc_secret_x=" + s.Secret();
    EXPECT_FALSE(s.Refusal(cookie, false).empty());
    HttpRequest header = Request(host);
    header.header["x-zorenc-secret"] = s.Secret();
    EXPECT_TRUE(s.Refusal(header, false).empty());

    // The answer to the URL with the secret hands it on as a cookie.
    bool set = false;
    for (const auto &[name, value] : s.AnswerHeaders(Request(host, "", "", s.Secret()))) {
        set = set || (name == "Set-Cookie" && value.find("HttpOnly") != std::string::npos &&
                      value.find("SameSite=Strict") != std::string::npos);
        EXPECT_EQ(name.rfind("Access-Control-", 0), std::string::npos);
    }
    EXPECT_TRUE(set);
}

} // namespace
