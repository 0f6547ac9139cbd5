#include "pcapng.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#define ZORENC_FILENO _fileno
#define ZORENC_FSTAT _fstat64
using FileStatus = struct _stat64;
#else
#include <unistd.h>
#define ZORENC_FILENO fileno
#define ZORENC_FSTAT fstat
using FileStatus = struct stat;
#endif

namespace zorenc::companion {
namespace pcapng {

namespace {

constexpr uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr uint32_t kInterface = 0x00000001;
constexpr uint32_t kEnhancedPacket = 0x00000006;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;

constexpr uint16_t kOptEnd = 0;
constexpr uint16_t kOptComment = 1;
constexpr uint16_t kShbUserAppl = 4;
constexpr uint16_t kIfName = 2;
constexpr uint16_t kEpbFlags = 2;

// Exported-PDU tags (big-endian type and length, value padded to 32 bits).
constexpr uint16_t kTagEnd = 0;
constexpr uint16_t kTagDissectorName = 12;

// Blocks beyond this are taken for damage, not data.
constexpr uint32_t kMaxBlock = 1u << 20;

void Put16(std::vector<uint8_t> &out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t> &out, uint32_t v)
{
    Put16(out, static_cast<uint16_t>(v));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

void Pad(std::vector<uint8_t> &out)
{
    while (out.size() % 4 != 0) {
        out.push_back(0);
    }
}

void PutOption(std::vector<uint8_t> &out, uint16_t code, const void *data, size_t length)
{
    Put16(out, code);
    Put16(out, static_cast<uint16_t>(length));
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    out.insert(out.end(), bytes, bytes + length);
    Pad(out);
}

void PutText(std::vector<uint8_t> &out, uint16_t code, const std::string &text)
{
    if (!text.empty()) {
        // Option values are limited to 16 bits of length.
        PutOption(out, code, text.data(), text.size() < 0xFFF0 ? text.size() : 0xFFF0);
    }
}

// Wraps a body into a block: type, total length, body, total length.
std::vector<uint8_t> Block(uint32_t type, const std::vector<uint8_t> &body)
{
    std::vector<uint8_t> block;
    const uint32_t total = static_cast<uint32_t>(body.size() + 12);
    Put32(block, type);
    Put32(block, total);
    block.insert(block.end(), body.begin(), body.end());
    Put32(block, total);
    return block;
}

std::string Reason()
{
    return std::strerror(errno);
}

// Cuts the file to size bytes.
bool Truncate(FILE *file, uint64_t size)
{
#if defined(_WIN32)
    return _chsize_s(ZORENC_FILENO(file), static_cast<__int64>(size)) == 0;
#else
    return ftruncate(ZORENC_FILENO(file), static_cast<off_t>(size)) == 0;
#endif
}

} // namespace

Writer::Writer(const std::string &path, const std::string &interfaceName,
               const std::string &application)
    : path_(path)
{
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        throw FileError("cannot write " + path + ": " + Reason());
    }
    // Unbuffered: each block goes to the file in one write, and a failed one
    // leaves nothing behind in a buffer for a later write to add.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    std::vector<uint8_t> section;
    Put32(section, kByteOrderMagic);
    Put16(section, 1); // version 1.0
    Put16(section, 0);
    Put32(section, 0xFFFFFFFF); // section length not given
    Put32(section, 0xFFFFFFFF);
    PutText(section, kShbUserAppl, application);
    PutOption(section, kOptEnd, nullptr, 0);

    std::vector<uint8_t> interface;
    Put16(interface, static_cast<uint16_t>(kLinkTypeUpperPdu));
    Put16(interface, 0); // reserved
    Put32(interface, 0); // no snapshot limit
    PutText(interface, kIfName, interfaceName);
    PutOption(interface, kOptEnd, nullptr, 0);
    try {
        Put(Block(kSectionHeader, section));
        Put(Block(kInterface, interface));
    } catch (...) {
        std::fclose(file_);
        throw;
    }
}

Writer::~Writer()
{
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void Writer::Put(const std::vector<uint8_t> &block)
{
    if (!failed_.empty()) {
        throw FileError(failed_);
    }
    if (std::fwrite(block.data(), 1, block.size(), file_) == block.size() &&
        std::fflush(file_) == 0) {
        complete_ += block.size();
        return;
    }
    // A full disk: the file ends with the last whole block, so that what was
    // written still opens, and nothing more is written to it.
    failed_ = "cannot write " + path_ + ": " + Reason();
    if (!Truncate(file_, complete_)) {
        failed_ += " (and it could not be cut back to its last whole block)";
    }
    throw FileError(failed_);
}

void Writer::Packet(uint64_t micros, const uint8_t *data, size_t length, Direction direction,
                    const std::string &comment)
{
    // The exported-PDU header: the dissector's name, then the end tag.
    std::vector<uint8_t> pdu;
    const size_t nameLength = std::strlen(kDissector);
    const size_t padded = (nameLength + 3) & ~size_t{3};
    pdu.push_back(0);
    pdu.push_back(static_cast<uint8_t>(kTagDissectorName));
    pdu.push_back(static_cast<uint8_t>(padded >> 8));
    pdu.push_back(static_cast<uint8_t>(padded));
    pdu.insert(pdu.end(), kDissector, kDissector + nameLength);
    pdu.resize(4 + padded, 0);
    pdu.insert(pdu.end(), {0, static_cast<uint8_t>(kTagEnd), 0, 0});
    if (data != nullptr) {
        pdu.insert(pdu.end(), data, data + length);
    }

    std::vector<uint8_t> body;
    Put32(body, 0); // interface 0
    Put32(body, static_cast<uint32_t>(micros >> 32));
    Put32(body, static_cast<uint32_t>(micros));
    Put32(body, static_cast<uint32_t>(pdu.size()));
    Put32(body, static_cast<uint32_t>(pdu.size()));
    body.insert(body.end(), pdu.begin(), pdu.end());
    Pad(body);
    const uint32_t flags = static_cast<uint32_t>(direction);
    std::vector<uint8_t> flagBytes;
    Put32(flagBytes, flags);
    PutOption(body, kEpbFlags, flagBytes.data(), flagBytes.size());
    PutText(body, kOptComment, comment);
    PutOption(body, kOptEnd, nullptr, 0);
    Put(Block(kEnhancedPacket, body));
}

namespace {

class Cursor {
public:
    Cursor(const uint8_t *data, size_t size, bool swap) : data_(data), size_(size), swap_(swap) {}
    bool Has(size_t at, size_t n) const { return at <= size_ && n <= size_ - at; }
    uint16_t U16(size_t at) const
    {
        const uint16_t v = static_cast<uint16_t>(data_[at] | data_[at + 1] << 8);
        return swap_ ? static_cast<uint16_t>(v >> 8 | v << 8) : v;
    }
    uint32_t U32(size_t at) const
    {
        const uint32_t v =
            static_cast<uint32_t>(data_[at]) | static_cast<uint32_t>(data_[at + 1]) << 8 |
            static_cast<uint32_t>(data_[at + 2]) << 16 | static_cast<uint32_t>(data_[at + 3]) << 24;
        return swap_ ? (v >> 24 | (v >> 8 & 0xFF00u) | (v << 8 & 0xFF0000u) | v << 24) : v;
    }
    const uint8_t *At(size_t at) const { return data_ + at; }

private:
    const uint8_t *data_;
    size_t size_;
    bool swap_;
};

struct InterfaceInfo {
    bool ours = false;
    uint64_t unitsPerSecond = 1000000;
};

// Options from at to end: the comment(s), the flags, if_tsresol.
void ReadOptions(const Cursor &c, size_t at, size_t end, Packet *packet, InterfaceInfo *iface)
{
    while (c.Has(at, 4) && at + 4 <= end) {
        const uint16_t code = c.U16(at);
        const uint16_t length = c.U16(at + 2);
        at += 4;
        if (code == kOptEnd || !c.Has(at, length) || at + length > end) {
            return;
        }
        if (packet != nullptr && code == kOptComment) {
            if (!packet->comment.empty()) {
                packet->comment += "\n";
            }
            packet->comment.append(reinterpret_cast<const char *>(c.At(at)), length);
        } else if (packet != nullptr && code == kEpbFlags && length == 4) {
            packet->direction = static_cast<Direction>(c.U32(at) & 3u);
        } else if (iface != nullptr && code == 9 && length >= 1) { // if_tsresol
            const uint8_t r = *c.At(at);
            const unsigned exponent = r & 0x7Fu;
            if (exponent > 18) {
                throw FileError("damaged: an interface's time resolution is out of range");
            }
            uint64_t units = 1;
            for (unsigned i = 0; i < exponent; ++i) {
                units *= (r & 0x80u) ? 2 : 10;
            }
            iface->unitsPerSecond = units;
        }
        at += (length + 3u) & ~3u;
    }
}

// Takes the exported-PDU header off; false when it does not name our
// dissector.
bool StripHeader(std::vector<uint8_t> &pdu)
{
    size_t at = 0;
    bool ours = false;
    while (at + 4 <= pdu.size()) {
        const uint16_t tag = static_cast<uint16_t>(pdu[at] << 8 | pdu[at + 1]);
        const uint16_t length = static_cast<uint16_t>(pdu[at + 2] << 8 | pdu[at + 3]);
        at += 4;
        if (tag == kTagEnd) {
            pdu.erase(pdu.begin(), pdu.begin() + static_cast<std::ptrdiff_t>(at));
            return ours;
        }
        if (length > pdu.size() - at) {
            return false;
        }
        if (tag == kTagDissectorName) {
            const std::string name(reinterpret_cast<const char *>(&pdu[at]), length);
            ours = std::string(name.c_str()) == kDissector; // padding NULs dropped
        }
        at += length;
    }
    return false;
}

} // namespace

std::vector<Packet> ReadFile(const std::string &path)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw FileError("cannot read " + path + ": " + Reason());
    }
    // A regular file of bounded size: not a device or a pipe that never ends.
    FileStatus status = {};
    if (ZORENC_FSTAT(ZORENC_FILENO(file), &status) != 0 || (status.st_mode & S_IFMT) != S_IFREG) {
        std::fclose(file);
        throw FileError(path + " is not a regular file");
    }
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    size_t n = 0;
    while (data.size() <= kMaxFile && (n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        data.insert(data.end(), chunk, chunk + n);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        throw FileError("cannot read " + path);
    }
    if (data.size() > kMaxFile) {
        throw FileError(path + " is larger than " + std::to_string(kMaxFile >> 20) +
                        " MiB, the most that is read");
    }
    const std::string damaged = path + " is not a complete pcapng file: ";

    std::vector<Packet> packets;
    std::vector<InterfaceInfo> interfaces;
    bool swap = false;
    size_t at = 0;
    while (at < data.size()) {
        if (data.size() - at < 12) {
            throw FileError(damaged + "it ends inside a block");
        }
        uint32_t type = Cursor(data.data(), data.size(), false).U32(at);
        if (type == kSectionHeader) {
            const uint32_t magic = Cursor(data.data(), data.size(), false).U32(at + 8);
            if (magic != kByteOrderMagic && magic != 0x4D3C2B1A) {
                throw FileError(damaged + "a section header has no byte-order mark");
            }
            swap = magic != kByteOrderMagic;
            interfaces.clear();
        } else if (at == 0) {
            throw FileError(path + " is not a pcapng file");
        }
        const Cursor c(data.data(), data.size(), swap);
        const uint32_t total = c.U32(at + 4);
        if (total < 12 || total % 4 != 0 || total > kMaxBlock || !c.Has(at, total)) {
            throw FileError(damaged + "a block's length is wrong or the file is cut short");
        }
        if (c.U32(at + total - 4) != total) {
            throw FileError(damaged + "a block's two lengths differ");
        }
        const size_t end = at + total - 4;
        if (type == kInterface && total >= 20) {
            InterfaceInfo iface;
            iface.ours = c.U16(at + 8) == kLinkTypeUpperPdu;
            ReadOptions(c, at + 16, end, nullptr, &iface);
            interfaces.push_back(iface);
        } else if (type == kEnhancedPacket && total >= 32) {
            const uint32_t id = c.U32(at + 8);
            const uint32_t captured = c.U32(at + 20);
            if (id >= interfaces.size() || captured > total - 32) {
                throw FileError(damaged + "a packet names no interface or overruns its block");
            }
            if (interfaces[id].ours) {
                Packet packet;
                const uint64_t stamp = static_cast<uint64_t>(c.U32(at + 12)) << 32 | c.U32(at + 16);
                const uint64_t units = interfaces[id].unitsPerSecond;
                packet.micros = units == 1000000  ? stamp
                                : units > 1000000 ? stamp / (units / 1000000)
                                                  : stamp * (1000000 / units);
                packet.payload.assign(c.At(at + 28), c.At(at + 28) + captured);
                ReadOptions(c, at + 28 + ((captured + 3u) & ~3u), end, &packet, nullptr);
                if (StripHeader(packet.payload)) {
                    packets.push_back(std::move(packet));
                }
            }
        }
        at += total;
    }
    return packets;
}

} // namespace pcapng
} // namespace zorenc::companion
