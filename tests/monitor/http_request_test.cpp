// Reading requests from a connection's bytes: what is taken, what is refused
// with which status, and the same whether the bytes come at once or one by
// one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http_request.h"

namespace monitor = zorenc::monitor;

namespace {

using monitor::RequestReader;
using Step = RequestReader::Step;

const std::string kHost = "Host: 127.0.0.1:8330\r\n";

// What a reader makes of input: each request's "METHOD target body" or the
// refusal's status, and whether a 100 Continue was asked for.
struct Outcome {
    std::vector<std::string> requests;
    int refused = 0;
    bool continued = false;
};

Outcome Read(const std::string &input, size_t piece)
{
    RequestReader reader;
    Outcome outcome;
    for (size_t at = 0; at <= input.size(); at += piece) {
        const std::string bytes = input.substr(at, piece);
        Step step = reader.Feed(bytes.data(), bytes.size());
        while (step == Step::kDone) {
            const monitor::HttpRequest r = reader.Take();
            outcome.requests.push_back(r.method + " " + r.target + " " + r.body);
            step = reader.Feed(nullptr, 0);
        }
        outcome.continued = outcome.continued || step == Step::kContinue;
        if (step == Step::kRefused) {
            outcome.refused = reader.Refusal().status;
            break;
        }
    }
    return outcome;
}

TEST(RequestReader, TakesOrRefusesAlikeInOnePieceOrByteByByte)
{
    const std::string post = "POST /api/clear HTTP/1.1\r\n" + kHost;
    struct Case {
        const char *name;
        std::string input;
        std::vector<std::string> requests;
        int refused;
    } cases[] = {
        {"get", "GET /api/state?a=1 HTTP/1.1\r\n" + kHost + "\r\n", {"GET /api/state?a=1 "}, 0},
        {"pipelined",
         "GET /a HTTP/1.1\r\n" + kHost + "\r\n" + post + "Content-Length: 2\r\n\r\n{}",
         {"GET /a ", "POST /api/clear {}"},
         0},
        {"chunked",
         post + "Transfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n",
         {"POST /api/clear {}"},
         0},
        {"head", "HEAD / HTTP/1.1\r\n" + kHost + "\r\n", {"HEAD / "}, 0},
        {"utf-8 target", "GET /\xc3\xa9 HTTP/1.1\r\n" + kHost + "\r\n", {"GET /\xc3\xa9 "}, 0},
        {"target not utf-8", "GET /\xff\xfe HTTP/1.1\r\n" + kHost + "\r\n", {}, 400},
        {"overlong utf-8", "GET /\xc0\xaf HTTP/1.1\r\n" + kHost + "\r\n", {}, 400},
        {"query not utf-8", "GET /a?channel=%ff HTTP/1.1\r\n" + kHost + "\r\n", {}, 400},
        {"two hosts", "GET / HTTP/1.1\r\n" + kHost + "Host: evil.example\r\n\r\n", {}, 400},
        {"two tokens",
         "GET / HTTP/1.1\r\n" + kHost + "X-Zorenc-Token: a\r\nX-Zorenc-Token: b\r\n\r\n",
         {},
         400},
        {"trailer",
         post + "Transfer-Encoding: chunked\r\n\r\n0\r\nX-Zorenc-Token: t\r\n\r\n",
         {},
         400},
        // Beast would throw length_error for a field of 64 KB or more.
        {"trailer of 64 KB",
         post + "Transfer-Encoding: chunked\r\n\r\n0\r\nX: " + std::string(65540, 'a') + "\r\n\r\n",
         {},
         431},
        {"header over 16 KB",
         "GET / HTTP/1.1\r\nX: " + std::string(17000, 'a') + "\r\n\r\n",
         {},
         431},
        {"body over 256 KB", post + "Content-Length: 262145\r\n\r\n", {}, 413},
        {"chunks over 256 KB", post + "Transfer-Encoding: chunked\r\n\r\n40001\r\n", {}, 413},
        {"continue",
         post + "Expect: 100-continue\r\nContent-Length: 2\r\n\r\n{}",
         {"POST /api/clear {}"},
         0},
        {"another expectation", post + "Expect: tea\r\nContent-Length: 2\r\n\r\n{}", {}, 417},
        {"not http", "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", {}, 400},
        {"bad length", post + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n", {}, 400},
    };
    for (const Case &c : cases) {
        for (const size_t piece : {c.input.size() + 1, size_t{1}}) {
            const Outcome outcome = Read(c.input, piece);
            EXPECT_EQ(outcome.requests, c.requests) << c.name << ", pieces of " << piece;
            EXPECT_EQ(outcome.refused, c.refused) << c.name << ", pieces of " << piece;
            // Asked for only while the body is still to come.
            if (piece == 1) {
                EXPECT_EQ(outcome.continued, std::string(c.name) == "continue") << c.name;
            }
        }
    }
}

TEST(RequestReader, RequestAsTheRoutesSeeIt)
{
    const std::string input = "GET /api/settings/x?channel=1&args=a%2Cb&flag HTTP/1.0\r\n" + kHost +
                              "Cookie: a=1\r\nCookie: b=2\r\nAccept: x\r\nACCEPT: y\r\n\r\n";
    RequestReader reader;
    ASSERT_EQ(reader.Feed(input.data(), input.size()), Step::kDone);
    const monitor::HttpRequest r = reader.Take();
    EXPECT_EQ(r.path, "/api/settings/x");
    EXPECT_EQ(r.query.at("channel"), "1");
    EXPECT_EQ(r.query.at("args"), "a,b");
    EXPECT_EQ(r.query.count("flag"), 1u);
    EXPECT_EQ(r.Header("cookie"), "a=1; b=2");
    EXPECT_EQ(r.Header("accept"), "x, y");
    EXPECT_EQ(r.version, 10u);
    EXPECT_FALSE(r.keepAlive);
    EXPECT_TRUE(reader.Idle());
}

TEST(RequestReader, Utf8)
{
    struct Case {
        std::string text;
        bool valid;
        const char *shown;
    } cases[] = {
        {"/dev/ttyUSB0", true, "/dev/ttyUSB0"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", true,
         "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"port-\xff", false, "port-\\xff"},
        {"\xc3", false, "\\xc3"},                            // cut short
        {"\xe0\x80\xaf", false, "\\xe0\\x80\\xaf"},          // overlong
        {"\xed\xa0\x80", false, "\\xed\\xa0\\x80"},          // a surrogate
        {"\xf4\x90\x80\x80", false, "\\xf4\\x90\\x80\\x80"}, // beyond U+10FFFF
    };
    for (const Case &c : cases) {
        EXPECT_EQ(monitor::ValidUtf8(c.text), c.valid) << c.shown;
        EXPECT_EQ(monitor::EscapeInvalidUtf8(c.text), c.shown);
    }
}

} // namespace
