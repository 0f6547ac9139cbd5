// The Telnet layer of RFC 2217 ports and the network port names, without a
// server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/net_serial.h"
#include "serial/telnet.h"

namespace {

namespace tn = zorenc::telnet;
using Bytes = std::vector<uint8_t>;

struct Recorder : tn::Decoder::Handler {
    std::vector<std::string> events;
    void OnCommand(uint8_t verb, uint8_t option) override
    {
        events.push_back("cmd " + std::to_string(verb) + " " + std::to_string(option));
    }
    void OnSubnegotiation(const uint8_t *body, size_t length) override
    {
        events.push_back("sb " + Hex(Bytes(body, body + length)));
    }
    static std::string Hex(const Bytes &bytes)
    {
        std::string s;
        for (uint8_t b : bytes) {
            s += std::to_string(b) + ".";
        }
        return s;
    }
};

// Every split of the stream into two segments gives the same data and the
// same commands as the whole stream at once.
TEST(Telnet, DecodesAtEverySplit)
{
    struct Case {
        Bytes wire;
        Bytes data;
        std::vector<std::string> events;
    };
    const std::vector<Case> cases = {
        {{0x02, 0xFF, 0xFF, 0x03}, {0x02, 0xFF, 0x03}, {}},
        {{0xFF, 0xFF, 0xFF, 0xFF}, {0xFF, 0xFF}, {}},
        {{0x41, 0xFF, 0xFD, 0x2C, 0x42}, {0x41, 0x42}, {"cmd 253 44"}},
        {{0xFF, 0xFA, 0x2C, 0x65, 0x00, 0x01, 0xC2, 0x00, 0xFF, 0xF0, 0x07},
         {0x07},
         {"sb 44.101.0.1.194.0."}},
        // 0xFF inside a subnegotiation is doubled too.
        {{0xFF, 0xFA, 0x2C, 0x6C, 0xFF, 0xFF, 0xFF, 0xF0}, {}, {"sb 44.108.255."}},
        // NOP and go-ahead carry nothing.
        {{0x01, 0xFF, 0xF1, 0x02, 0xFF, 0xF9, 0x03}, {0x01, 0x02, 0x03}, {}},
    };
    for (const Case &c : cases) {
        for (size_t split = 0; split <= c.wire.size(); ++split) {
            SCOPED_TRACE(Recorder::Hex(c.wire) + " split at " + std::to_string(split));
            tn::Decoder decoder;
            Recorder recorder;
            Bytes out(c.wire.size());
            size_t n = decoder.Feed(c.wire.data(), split, out.data(), recorder);
            n += decoder.Feed(c.wire.data() + split, c.wire.size() - split, out.data() + n,
                              recorder);
            out.resize(n);
            EXPECT_EQ(out, c.data);
            EXPECT_EQ(recorder.events, c.events);
        }
    }
}

TEST(Telnet, DoublesFfInData)
{
    const Bytes in = {0x02, 0xFF, 0x00, 0xFF, 0xFF};
    Bytes out(2 * in.size());
    out.resize(tn::EscapeData(in.data(), in.size(), out.data()));
    EXPECT_EQ(out, (Bytes{0x02, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(NetworkNames, ParsesOrRefuses)
{
    struct Case {
        const char *name;
        int32_t code;
        bool rfc2217;
        const char *host;
        const char *port;
    };
    const Case cases[] = {
        {"rfc2217://127.0.0.1:7000", 0, true, "127.0.0.1", "7000"},
        {"RFC2217://board-3.line.local:2217", 0, true, "board-3.line.local", "2217"},
        {"socket://[::1]:65535", 0, false, "::1", "65535"},
        {"socket://[fe80::1:2]:1", 0, false, "fe80::1:2", "1"},
        {"telnet://host:23", ERROR_NOT_SUPPORTED, false, "", ""},
        {"rfc2217://host", ERROR_INVALID_PARAMETER, false, "", ""},
        {"rfc2217://host:", ERROR_INVALID_PARAMETER, false, "", ""},
        {"rfc2217://:80", ERROR_INVALID_PARAMETER, false, "", ""},
        {"rfc2217://host:0", ERROR_INVALID_PARAMETER, false, "", ""},
        {"rfc2217://host:99999", ERROR_INVALID_PARAMETER, false, "", ""},
        {"rfc2217://host:+80", ERROR_INVALID_PARAMETER, false, "", ""},
        {"rfc2217://[::1]", ERROR_INVALID_PARAMETER, false, "", ""},
        {"rfc2217://[::1]:", ERROR_INVALID_PARAMETER, false, "", ""},
        {"rfc2217://[host]:80", ERROR_INVALID_PARAMETER, false, "", ""},
        {"rfc2217://ho st:80", ERROR_INVALID_PARAMETER, false, "", ""},
        {"rfc2217://host:80?x", ERROR_INVALID_PARAMETER, false, "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(zorenc::IsNetworkName(c.name));
        zorenc::NetAddress address;
        ASSERT_EQ(zorenc::ParseNetworkName(c.name, &address), c.code);
        if (c.code == 0) {
            EXPECT_EQ(address.rfc2217, c.rfc2217);
            EXPECT_EQ(address.host, c.host);
            EXPECT_EQ(address.port, c.port);
        }
    }
    for (const char *local : {"COM3", "\\\\.\\COM12", "/dev/ttyUSB0", "://x:1", "a b://x:1"}) {
        EXPECT_FALSE(zorenc::IsNetworkName(local)) << local;
    }
}

} // namespace
