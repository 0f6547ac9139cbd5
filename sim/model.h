// The board's registers and what they do, without any I/O of the line: the
// serving thread hands it requests together with the time they arrived.
#ifndef ZORSIM_MODEL_H
#define ZORSIM_MODEL_H

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "board.h"

namespace zorsim {

using Clock = std::chrono::steady_clock;

enum class Access { kNone, kReadWrite, kReadOnly, kWriteOnly };
Access AccessOf(uint16_t address);
// Documented power-up value of a read/write register.
uint32_t DefaultOf(uint16_t address);

// The settings kept in flash: every read/write register.
using Settings = std::vector<std::pair<uint16_t, uint32_t>>;

class Model {
public:
    // flashFile empty: flash lives in memory and survives PowerUp only.
    explicit Model(std::string flashFile);

    // Settings from flash (defaults where flash has none), counters zero,
    // each position at its channel's reset value.
    void PowerUp(Clock::time_point now, uint32_t inputs);

    // One 'R' or 'W' request; returns the status, value is the reply's value.
    uint8_t Read(uint16_t address, uint32_t &value, Clock::time_point now);
    uint8_t Write(uint16_t address, uint32_t &value, Clock::time_point now);

    uint32_t Peek(uint16_t address, Clock::time_point now);
    void Poke(uint16_t address, uint32_t value, Clock::time_point now);
    void SetInputs(uint32_t bits);

private:
    struct Encoder {
        int64_t anchorPosition = 0;
        Clock::time_point anchorTime{};
        int64_t position = 0; // as of the last Advance
    };

    int64_t PositionAt(int channel, Clock::time_point now) const;
    void Advance(Clock::time_point now);
    void Reanchor(int channel, Clock::time_point now);
    void SetPosition(int channel, int32_t position, Clock::time_point now);
    void Clear(uint32_t mask, Clock::time_point now);
    void LoadDefaults(Clock::time_point now);
    bool ApplyFlash(Clock::time_point now);
    bool SaveFlash();
    std::optional<Settings> ReadFlash(bool &ok) const;
    void Store(uint16_t address, uint32_t value, Clock::time_point now);

    std::string flashFile_;
    std::optional<Settings> flashMemory_;
    std::vector<uint32_t> registers_;
    std::array<Encoder, kChannels> encoders_{};
    Clock::time_point lastAdvance_{};
};

} // namespace zorsim

#endif
