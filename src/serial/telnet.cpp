#include "serial/telnet.h"

namespace zorenc::telnet {

size_t Decoder::Feed(const uint8_t *in, size_t length, uint8_t *out, Handler &handler)
{
    size_t produced = 0;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = in[i];
        switch (state_) {
        case State::Data:
            if (b == kIac) {
                state_ = State::Iac;
            } else {
                out[produced++] = b;
            }
            break;
        case State::Iac:
            if (b == kIac) {
                out[produced++] = b; // a doubled 0xFF is one data byte
                state_ = State::Data;
            } else if (b >= kWill && b <= kDont) {
                verb_ = b;
                state_ = State::Option;
            } else if (b == kSb) {
                subLength_ = 0;
                state_ = State::Sub;
            } else {
                state_ = State::Data; // NOP, GA, BRK and the like carry nothing for us
            }
            break;
        case State::Option:
            handler.OnCommand(verb_, b);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == kIac) {
                state_ = State::SubIac;
            } else if (subLength_ < kMaxSubnegotiation) {
                sub_[subLength_++] = b;
            }
            break;
        case State::SubIac:
            if (b == kSe) {
                handler.OnSubnegotiation(sub_, subLength_);
                state_ = State::Data;
            } else {
                // IAC IAC is a 0xFF of the body; anything else is malformed
                // and kept as it stands.
                if (subLength_ < kMaxSubnegotiation) {
                    sub_[subLength_++] = b;
                }
                state_ = State::Sub;
            }
            break;
        }
    }
    return produced;
}

size_t EscapeData(const uint8_t *in, size_t length, uint8_t *out)
{
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        out[n++] = in[i];
        if (in[i] == kIac) {
            out[n++] = kIac;
        }
    }
    return n;
}

} // namespace zorenc::telnet
