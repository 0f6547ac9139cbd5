#include "model.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>

namespace zorsim {

namespace {

constexpr int64_t kLap = int64_t{1} << 32;           // positions wrap modulo 2^32
constexpr uint32_t kInputMask = (1u << kInputs) - 1; // bits 0-6

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if (a % b != 0 && a < 0) {
        --q;
    }
    return q;
}

// How often the position passes trigger position t (modulo 2^32) when it
// moves from a to b: a trigger fires when the position arrives at it.
uint32_t Crossings(int64_t a, int64_t b, int32_t t)
{
    if (b > a) {
        return static_cast<uint32_t>(FloorDiv(b - t, kLap) - FloorDiv(a - t, kLap));
    }
    return static_cast<uint32_t>(FloorDiv(a - 1 - t, kLap) - FloorDiv(b - 1 - t, kLap));
}

int32_t FromOffsetBinary(uint32_t raw)
{
    return static_cast<int32_t>(raw - kOffsetBinaryZero);
}

const std::vector<uint16_t> &SettingAddresses()
{
    static const std::vector<uint16_t> addresses = [] {
        std::vector<uint16_t> list;
        for (uint32_t a = 0; a <= 0xFFFF; ++a) {
            if (AccessOf(static_cast<uint16_t>(a)) == Access::kReadWrite) {
                list.push_back(static_cast<uint16_t>(a));
            }
        }
        return list;
    }();
    return addresses;
}

bool FileExists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 || errno != ENOENT;
}

} // namespace

namespace {

// What the board holds at every address, from the register table; the
// RegisterSpec of each instance, null where the board has no register.
struct AddressMap {
    std::vector<const RegisterSpec *> desc = std::vector<const RegisterSpec *>(0x10000, nullptr);
    AddressMap()
    {
        for (const RegisterSpec &r : kRegisterTable) {
            ForEachInstance(r.placement, r.address,
                            [&](uint16_t address, int32_t, int32_t) { desc[address] = &r; });
        }
    }
};

const RegisterSpec *SpecAt(uint16_t address)
{
    static const AddressMap map;
    return map.desc[address];
}

} // namespace

Access AccessOf(uint16_t address)
{
    const RegisterSpec *desc = SpecAt(address);
    if (desc == nullptr) {
        return Access::kNone;
    }
    switch (desc->access) {
    case RegisterAccess::kRead:
        return Access::kReadOnly;
    case RegisterAccess::kWrite:
        return Access::kWriteOnly;
    case RegisterAccess::kReadWrite:
        break;
    }
    return Access::kReadWrite;
}

uint32_t DefaultOf(uint16_t address)
{
    const RegisterSpec *desc = SpecAt(address);
    if (desc == nullptr) {
        return 0;
    }
    const auto is = [desc](uint16_t address, RegisterPlacement placement) {
        return desc->address == address && desc->placement == placement;
    };
    if (is(REG_ENC_MULTI_ANALOG, RegisterPlacement::kChannelBlock)) {
        return 4;
    }
    if (is(REG_TRG_PULSE_WIDTH, RegisterPlacement::kChannelBlock)) {
        return 100; // 1.00
    }
    if (is(REG_ENC_RESOLUTION, RegisterPlacement::kBoard)) {
        return 1000; // 1.000
    }
    // Positions start at 0: offset binary's zero.
    return desc->encoding == RegisterEncoding::kOffsetBinary ? kOffsetBinaryZero : 0;
}

Model::Model(std::string flashFile) : flashFile_(std::move(flashFile)), registers_(0x10000, 0) {}

void Model::PowerUp(Clock::time_point now, uint32_t inputs)
{
    registers_.assign(0x10000, 0);
    for (Encoder &e : encoders_) {
        e = Encoder{0, now, 0};
    }
    lastAdvance_ = now;
    if (!ApplyFlash(now)) {
        LoadDefaults(now);
    }
    registers_[reg::kFirmwareVersion] = kFirmwareVersionValue;
    registers_[reg::kLogicVersion] = kLogicVersionValue;
    registers_[reg::kDiState] = inputs & kInputMask;
    for (int ch = 0; ch < kChannels; ++ch) {
        SetPosition(ch, FromOffsetBinary(registers_[reg::Channel(ch, reg::kEncResetValue)]), now);
    }
}

int64_t Model::PositionAt(int channel, Clock::time_point now) const
{
    const Encoder &e = encoders_[channel];
    if (now <= e.anchorTime) {
        return e.anchorPosition;
    }
    const uint64_t ns = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - e.anchorTime).count());
    const uint32_t frequency = registers_[reg::kVencFrequency + channel];
    const auto steps =
        static_cast<int64_t>(static_cast<unsigned __int128>(frequency) * ns / 1000000000u);
    const bool down = registers_[reg::Channel(channel, reg::kEncDirection)] != 0;
    return down ? e.anchorPosition - steps : e.anchorPosition + steps;
}

void Model::Advance(Clock::time_point now)
{
    if (now < lastAdvance_) {
        now = lastAdvance_; // never run the encoders backwards in time
    }
    lastAdvance_ = now;
    for (int ch = 0; ch < kChannels; ++ch) {
        Encoder &e = encoders_[ch];
        const int64_t p = PositionAt(ch, now);
        if (p == e.position) {
            continue;
        }
        uint32_t &count = registers_[reg::kTrgCount + ch];
        for (uint16_t trigger : {reg::kTrgPosition0, reg::kTrgPosition1}) {
            count +=
                Crossings(e.position, p, FromOffsetBinary(registers_[reg::Channel(ch, trigger)]));
        }
        e.position = p;
    }
}

void Model::Reanchor(int channel, Clock::time_point now)
{
    Encoder &e = encoders_[channel];
    e.anchorPosition = e.position;
    e.anchorTime = std::max(now, lastAdvance_);
}

void Model::SetPosition(int channel, int32_t position, Clock::time_point now)
{
    Advance(now);
    encoders_[channel].position = position;
    Reanchor(channel, now);
}

void Model::Store(uint16_t address, uint32_t value, Clock::time_point now)
{
    if (address >= reg::kEncPosition && address < reg::kEncPosition + kChannels) {
        SetPosition(address - reg::kEncPosition, FromOffsetBinary(value), now);
        return;
    }
    Advance(now); // crossings up to now count with the old settings
    registers_[address] = value;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (address == reg::kVencFrequency + ch ||
            address == reg::Channel(ch, reg::kEncDirection)) {
            Reanchor(ch, now);
        }
    }
}

void Model::Clear(uint32_t mask, Clock::time_point now)
{
    Advance(now);
    for (int n = 0; n < kInputs; ++n) {
        if (mask & (CLEAR_DI_COUNT << n)) {
            registers_[reg::kDiCount + n] = 0;
        }
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        if (mask & (CLEAR_TRG_COUNT << ch)) {
            registers_[reg::kTrgCount + ch] = 0;
        }
        if (mask & (CLEAR_ENC_POSITION << ch)) {
            SetPosition(ch, FromOffsetBinary(registers_[reg::Channel(ch, reg::kEncResetValue)]),
                        now);
        }
        if (mask & (CLEAR_TRG_ERROR_COUNT << ch)) {
            registers_[reg::kTrgErrorCount + ch] = 0;
        }
    }
}

void Model::LoadDefaults(Clock::time_point now)
{
    Advance(now);
    for (uint16_t a : SettingAddresses()) {
        registers_[a] = DefaultOf(a);
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        Reanchor(ch, now);
    }
}

std::optional<Settings> Model::ReadFlash(bool &ok) const
{
    ok = true;
    if (flashFile_.empty()) {
        return flashMemory_;
    }
    if (!FileExists(flashFile_)) {
        return std::nullopt; // nothing saved yet
    }
    std::ifstream in(flashFile_);
    if (!in) {
        ok = false;
        return std::nullopt;
    }
    Settings settings;
    std::string line;
    while (std::getline(in, line)) {
        unsigned address = 0;
        unsigned long value = 0;
        if (line.empty() || line[0] == '#' ||
            std::sscanf(line.c_str(), "%x %lx", &address, &value) != 2 || address > 0xFFFF) {
            continue;
        }
        settings.emplace_back(static_cast<uint16_t>(address), static_cast<uint32_t>(value));
    }
    return settings;
}

bool Model::ApplyFlash(Clock::time_point now)
{
    bool ok = false;
    const std::optional<Settings> settings = ReadFlash(ok);
    if (!ok) {
        return false;
    }
    LoadDefaults(now);
    if (settings) {
        for (const auto &[address, value] : *settings) {
            if (AccessOf(address) == Access::kReadWrite) {
                registers_[address] = value;
            }
        }
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        Reanchor(ch, now);
    }
    return true;
}

bool Model::SaveFlash()
{
    Settings settings;
    for (uint16_t a : SettingAddresses()) {
        settings.emplace_back(a, registers_[a]);
    }
    if (flashFile_.empty()) {
        flashMemory_ = std::move(settings);
        return true;
    }
    // Written aside and renamed, so a crash never leaves half a flash.
    const std::string temp = flashFile_ + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << "# zorenc-sim flash: register value (hex)\n";
        char line[32];
        for (const auto &[address, value] : settings) {
            std::snprintf(line, sizeof line, "%04X %08X\n", static_cast<unsigned>(address),
                          static_cast<unsigned>(value));
            out << line;
        }
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    return std::rename(temp.c_str(), flashFile_.c_str()) == 0;
}

uint8_t Model::Read(uint16_t address, uint32_t &value, Clock::time_point now)
{
    value = 0;
    switch (AccessOf(address)) {
    case Access::kNone:
        return kStatusUnknownAddress;
    case Access::kWriteOnly:
        return kStatusWriteOnly;
    default:
        value = Peek(address, now);
        return kStatusOk;
    }
}

uint8_t Model::Write(uint16_t address, uint32_t &value, Clock::time_point now)
{
    switch (AccessOf(address)) {
    case Access::kNone:
        return kStatusUnknownAddress;
    case Access::kReadOnly:
        return kStatusReadOnly;
    case Access::kReadWrite:
        Store(address, value, now);
        return kStatusOk;
    case Access::kWriteOnly:
        break;
    }
    if (address == reg::kClear) {
        Clear(value, now);
        return kStatusOk;
    }
    if (address == reg::kLoadDefaults || address == reg::kSaveFlash || address == reg::kLoadFlash) {
        if (value != 1) {
            return kStatusBadValue;
        }
        registers_[address] = value;
        if (address == reg::kLoadDefaults) {
            LoadDefaults(now);
            return kStatusOk;
        }
        const bool ok = address == reg::kSaveFlash ? SaveFlash() : ApplyFlash(now);
        return ok ? kStatusOk : kStatusFlashError;
    }
    // Calibration: 1 starts, 0 stops.
    if (value > 1) {
        return kStatusBadValue;
    }
    registers_[address] = value;
    return kStatusOk;
}

uint32_t Model::Peek(uint16_t address, Clock::time_point now)
{
    Advance(now);
    if (address >= reg::kEncPosition && address < reg::kEncPosition + kChannels) {
        return static_cast<uint32_t>(encoders_[address - reg::kEncPosition].position) +
               kOffsetBinaryZero;
    }
    return registers_[address];
}

void Model::Poke(uint16_t address, uint32_t value, Clock::time_point now)
{
    Store(address, value, now);
}

void Model::SetInputs(uint32_t bits)
{
    bits &= kInputMask;
    const uint32_t rising = bits & ~registers_[reg::kDiState];
    for (int n = 0; n < kInputs; ++n) {
        if (rising & (1u << n)) {
            ++registers_[reg::kDiCount + n];
        }
    }
    registers_[reg::kDiState] = bits;
}

} // namespace zorsim
