// Who the monitor lets in: Host, Origin, token and secret checks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <boost/asio/ip/host_name.hpp>

#include "security.h"

namespace monitor = zorenc::monitor;

namespace {

using monitor::HttpRequest;
using monitor::Security;

HttpRequest Request(const std::string &host, const std::string &origin = {},
                    const std::string &token = {}, const std::string &query = {},
                    const std::string &local = {})
{
    HttpRequest r;
    r.local = local;
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
    const std::string host = "127.0.0.1:9000";
    EXPECT_FALSE(s.Refusal(Request(host), false).empty());
    EXPECT_FALSE(s.Refusal(Request(host, "", "", s.Secret() + "0"), false).empty());
    EXPECT_TRUE(s.Refusal(Request(host, "", "", s.Secret()), false).empty());

    // The cookie of this monitor, not of one on another port.
    HttpRequest cookie = Request(host);
    cookie.header["cookie"] = "a=b; zorenc_secret_9000=" + s.Secret() + "; c=d";
    EXPECT_TRUE(s.Refusal(cookie, false).empty());
    for (const char *name : {"zorenc_secret", "zorenc_secret_9001", "zorenc_secret_90000"}) {
        cookie.header["cookie"] = std::string(name) + "=" + s.Secret();
        EXPECT_FALSE(s.Refusal(cookie, false).empty()) << name;
    }
    HttpRequest header = Request(host);
    header.header["x-zorenc-secret"] = s.Secret();
    EXPECT_TRUE(s.Refusal(header, false).empty());

    // A scraper's bearer token: the secret itself, after "Bearer ".
    const struct {
        std::string authorization;
        bool admitted;
    } bearers[] = {{"Bearer " + s.Secret(), true},
                   {"bearer " + s.Secret(), true},
                   {"Bearer " + s.Secret() + "0", false},
                   {"Basic " + s.Secret(), false},
                   {"Bearer", false},
                   {s.Secret(), false}};
    for (const auto &bearer : bearers) {
        HttpRequest scrape = Request(host);
        scrape.path = "/metrics";
        scrape.header["authorization"] = bearer.authorization;
        EXPECT_EQ(s.Refusal(scrape, false).empty(), bearer.admitted) << bearer.authorization;
    }

    // The answer to the URL with the secret hands it on as a cookie.
    bool set = false;
    for (const auto &[name, value] : s.AnswerHeaders(Request(host, "", "", s.Secret()))) {
        set = set || (name == "Set-Cookie" && value.rfind("zorenc_secret_9000=", 0) == 0 &&
                      value.find("HttpOnly") != std::string::npos &&
                      value.find("SameSite=Strict") != std::string::npos);
        EXPECT_EQ(name.rfind("Access-Control-", 0), std::string::npos);
    }
    EXPECT_TRUE(set);
}

// Exact names only: the loopback names, the listened address, the
// machine's name, the address the client reached and --allow-host names.
TEST(Security, HostsBeyondLoopback)
{
    const std::string machine = boost::asio::ip::host_name();
    const Security wildcard("0.0.0.0", 9000, {"monitor.example", "192.0.2.7"});
    const Security one("192.168.1.5", 9000);
    const Security v6("::", 9000);
    struct Case {
        const Security &security;
        std::string host;
        const char *local; // the address the client reached
        bool allowed;
    } cases[] = {
        {wildcard, machine + ":9000", "", true},
        {wildcard, machine + ".evil.example:9000", "", false}, // rebinding
        {wildcard, machine + "x:9000", "", false},
        {wildcard, "10.1.2.3:9000", "10.1.2.3", true},  // the address reached
        {wildcard, "10.1.2.3:9000", "10.1.2.4", false}, // another address
        {wildcard, "10.1.2.3:9000", "", false},
        {wildcard, "MONITOR.example:9000", "", true}, // --allow-host
        {wildcard, "monitor.example.evil:9000", "", false},
        {wildcard, "192.0.2.7:9000", "", true},
        {wildcard, "monitor.example", "", false}, // port 9000, not 80
        {wildcard, "localhost:9000", "", true},
        {one, "192.168.1.5:9000", "192.168.1.5", true},
        {one, machine + ":9000", "", true},
        {one, "10.1.2.3:9000", "", false},
        {v6, "[fe80::1]:9000", "fe80::1", true},
        {v6, "10.0.0.5:9000", "10.0.0.5", true}, // reached as ::ffff:10.0.0.5
        {v6, "[::ffff:10.0.0.5]:9000", "10.0.0.5", true},
        {v6, "[fe80::1:9000", "fe80::1", false},
    };
    for (const Case &c : cases) {
        const HttpRequest r = Request(c.host, "", "", c.security.Secret(), c.local);
        EXPECT_EQ(c.security.Refusal(r, false).empty(), c.allowed) << c.host << " via " << c.local;
    }
}

// The port in Host and Origin: required, but for port 80 the default.
TEST(Security, PortsOfHostAndOrigin)
{
    const std::vector<std::string> names = {"localhost", "127.0.0.1", "::1"};
    struct Case {
        const char *host;
        unsigned port;
        bool allowed;
    } cases[] = {
        {"127.0.0.1:80", 80, true},    {"127.0.0.1", 80, true},        {"127.0.0.1", 8330, false},
        {"127.0.0.1:8330", 80, false}, {"127.0.0.1:", 80, false},      {"127.0.0.1:+80", 80, false},
        {"[::1]", 80, true},           {"[::1]:80", 80, true},         {"::1", 80, false},
        {"127.0.0.1:080", 80, true},   {"127.0.0.1:65616", 80, false}, {"", 80, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(monitor::HostAllowed(c.host, c.port, names), c.allowed)
            << c.host << " on " << c.port;
    }
    // The Origin of a page served from port 80 names no port.
    const Security s("127.0.0.1", 80);
    EXPECT_TRUE(s.Refusal(Request("127.0.0.1", "http://127.0.0.1"), false).empty());
    EXPECT_TRUE(s.Refusal(Request("127.0.0.1:80", "http://127.0.0.1"), false).empty());
    EXPECT_TRUE(s.Refusal(Request("127.0.0.1", "http://127.0.0.1:80"), false).empty());
    EXPECT_FALSE(s.Refusal(Request("127.0.0.1", "http://127.0.0.1:8080"), false).empty());
    EXPECT_FALSE(s.Refusal(Request("127.0.0.1", "https://127.0.0.1"), false).empty());
}

TEST(Security, AllowHostNames)
{
    struct Case {
        const char *given;
        const char *name; // empty: refused
    } cases[] = {
        {"Monitor.Example", "monitor.example"},
        {"fleet-1.lab_net.example", "fleet-1.lab_net.example"},
        {"10.0.0.5", "10.0.0.5"},
        {"[FE80::1]", "fe80::1"},
        {"fe80::1", "fe80::1"},
        {"", ""},
        {"monitor.example:8330", ""},
        {"monitor..example", ""},
        {".example", ""},
        {"monitor.example.", ""},
        {"a b", ""},
        {"[monitor.example]", ""},
        {"*.example", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(monitor::AllowedHostName(c.given), c.name) << c.given;
    }
}

} // namespace
