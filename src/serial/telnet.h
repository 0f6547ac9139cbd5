// The Telnet layer of RFC 2217 ports: splitting received bytes into data and
// commands, whatever the split of the stream into segments, and doubling
// 0xFF in data to be sent. Also the RFC 2217 names the network port uses.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorenc::telnet {

constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kSe = 240;

constexpr uint8_t kOptBinary = 0;
constexpr uint8_t kOptEcho = 1;
constexpr uint8_t kOptSuppressGoAhead = 3;
constexpr uint8_t kOptComPort = 44;

// COM-PORT-OPTION commands from the client; the server answers each with the
// same code plus 100.
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kPurgeData = 12;
constexpr uint8_t kServerOffset = 100;

// Longest subnegotiation kept; longer ones are cut to this (no COM-PORT
// answer comes near it).
constexpr size_t kMaxSubnegotiation = 64;

class Decoder {
public:
    class Handler {
    public:
        virtual void OnCommand(uint8_t verb, uint8_t option) = 0; // DO, DONT, WILL, WONT
        virtual void OnSubnegotiation(const uint8_t *body, size_t length) = 0; // option first

    protected:
        ~Handler() = default;
    };

    // Decodes length received bytes: data bytes go to out (room for length
    // bytes is enough), commands to the handler. Returns the count of data
    // bytes. State carries over to the next call.
    size_t Feed(const uint8_t *in, size_t length, uint8_t *out, Handler &handler);

private:
    enum class State { Data, Iac, Option, Sub, SubIac };
    State state_ = State::Data;
    uint8_t verb_ = 0;
    uint8_t sub_[kMaxSubnegotiation] = {};
    size_t subLength_ = 0;
};

// Copies length bytes to out with every 0xFF doubled; out needs room for
// 2 * length bytes. Returns the count written.
size_t EscapeData(const uint8_t *in, size_t length, uint8_t *out);

} // namespace zorenc::telnet
