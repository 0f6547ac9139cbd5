// pcapng files of zorenc traffic: one section, one interface of link type
// 252 (exported PDU) named after the port, and one enhanced packet block per
// frame whose exported-PDU header names the "zorenc" dissector. Plain C++
// with no dependency, so that the simulated board can read what the companion library
// writes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorenc::companion {
namespace pcapng {

constexpr uint32_t kLinkTypeUpperPdu = 252;
constexpr const char *kDissector = "zorenc";

// Direction bits of a packet's flags (epb_flags bits 0-1).
enum class Direction : uint32_t { kUnknown = 0, kInbound = 1, kOutbound = 2 };

// A file that cannot be written or read, with the reason.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Writer {
public:
    // Creates (or truncates) path and writes the section header and the
    // interface. Throws FileError.
    Writer(const std::string &path, const std::string &interfaceName,
           const std::string &application);
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // One frame, time in microseconds since 1970, an optional comment.
    // Each packet reaches the file before it returns, so that a process that
    // dies keeps what came before. Throws FileError. After a failed write
    // (a full disk) the file is cut back to its last whole block and every
    // later packet is refused, so that the part written still opens.
    void Packet(uint64_t micros, const uint8_t *data, size_t length, Direction direction,
                const std::string &comment = {});

private:
    void Put(const std::vector<uint8_t> &block);
    FILE *file_ = nullptr;
    std::string path_;
    uint64_t complete_ = 0; // bytes of whole blocks in the file
    std::string failed_;    // the first write that failed, after which none is made
};

struct Packet {
    uint64_t micros = 0;
    std::vector<uint8_t> payload; // the frame, the exported-PDU header taken off
    Direction direction = Direction::kUnknown;
    std::string comment; // comments joined by newlines
};

// The largest file ReadFile reads.
constexpr size_t kMaxFile = size_t{256} << 20;

// Every packet of a file for the zorenc dissector, in file order; packets of
// other interfaces or dissectors are skipped. Reads files of either byte
// order and several sections. Throws FileError on an unreadable or damaged
// file, one that is not a regular file (a device, a pipe) or one larger than
// kMaxFile.
std::vector<Packet> ReadFile(const std::string &path);

} // namespace pcapng
} // namespace zorenc::companion
