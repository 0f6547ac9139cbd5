// Frame codec of the board's serial link.
//
// Every register access is one request frame and one reply frame of eleven
// bytes before stuffing:
//
//   0     1        2-3              4-7            8       9         10
//   0x02  command  address (LE)     value (LE)     status  checksum  0x03
//
// The checksum is the sum of bytes 1 to 8 modulo 256. On the wire every byte
// from 1 to 9 that equals 0x02, 0x03 or 0x7D is sent as 0x7D, byte ^ 0x20, so
// a stuffed frame is 11 to 20 bytes long.
//
// Pure functions: no I/O, no state. Only DecodeReply allocates, and only the
// exception it throws.
#ifndef ZORENC_PROTOCOL_CODEC_H
#define ZORENC_PROTOCOL_CODEC_H

#include <cstdint>
#include <exception>

namespace zorenc {
namespace protocol {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kEscByte = 0x7D;
constexpr uint8_t kEscXor = 0x20;
// The same bytes under the names the line's documentation uses.
constexpr uint8_t STX = kStx;
constexpr uint8_t ETX = kEtx;
constexpr uint8_t ESC_BYTE = kEscByte;

constexpr uint8_t kCommandRead = 'R';
constexpr uint8_t kCommandWrite = 'W';

constexpr int32_t kFrameSize = 11; // unstuffed
constexpr int32_t kMaxFrame = 20;  // stuffed, all nine inner bytes escaped
// Status given to a decoded reply whose checksum does not match.
constexpr uint8_t kChecksumStatus = 0xFA;

// A decoded frame (a reply, or for the board a request).
struct EncReply {
    uint8_t command;
    uint16_t address;
    uint32_t value;
    uint8_t status;   // as received, or kChecksumStatus on a checksum mismatch
    uint8_t checksum; // as received
};

// Thrown by DecodeReply on a malformed frame; carries no information.
class FrameError : public std::exception {
public:
    const char *what() const noexcept override;
};

// Sum of bytes 1 to 8 of an unstuffed frame, modulo 256.
uint8_t Checksum(const uint8_t *frame);

// Stuffs an unstuffed eleven-byte frame, whatever its checksum byte holds,
// into dest (at least kMaxFrame bytes). Returns the stuffed length.
int32_t StuffFrame(const uint8_t *frame, uint8_t *dest);

// Encodes a request (status 0) into dest (at least kMaxFrame bytes). Returns
// the stuffed length, 11 to 20.
int32_t EncodeFrame(uint8_t command, uint16_t address, uint32_t value, uint8_t *dest);

// The same with a status byte, for replies.
int32_t EncodeFrame(uint8_t command, uint16_t address, uint32_t value, uint8_t status,
                    uint8_t *dest);

// Decodes the bytes a reader collected up to a final 0x03. Bytes ahead of the
// first 0x02 are skipped and bytes after the first unescaped 0x03 ignored.
// Throws FrameError when there is no 0x02, the last byte is not 0x03, an
// escape swallows the final 0x03, or fewer than ten bytes (0x02 through the
// checksum) decode ahead of the terminator. A checksum mismatch is not an
// error: status becomes kChecksumStatus. Reads nothing beyond count.
EncReply DecodeReply(const uint8_t *data, int32_t count);

// Incremental frame finder for a byte stream (the board's receiver). Unlike
// DecodeReply it never throws and it resynchronises: a bare 0x02 inside a
// frame starts a new frame, and more than kMaxFrame bytes without a
// terminator are malformed.
enum class ScanStatus {
    kNeedMore,  // no complete frame yet; bytes ahead of begin are garbage
    kFrame,     // a frame occupies [begin, end); frame holds its fields
    kMalformed, // [begin, end) is a broken frame to be dropped
};

struct ScanResult {
    ScanStatus status;
    int32_t begin; // offset of the frame's 0x02 (count when there is none)
    int32_t end;   // one past the frame's last byte (kFrame, kMalformed)
    EncReply frame;
    bool checksumOk; // kFrame: the checksum matched (frame.status is then as sent)
};

ScanResult ScanFrame(const uint8_t *data, int32_t count);

} // namespace protocol
} // namespace zorenc

#endif
