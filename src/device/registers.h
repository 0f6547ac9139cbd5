// The board's register map: every register the library touches (from the one
// table, register_table.inc), the address arithmetic and the bits of the clear
// register. Self-contained (only <cstdint>), so that the simulated board, the
// companion library, the generators and the tests share it with the library.
//
// A register address is an unsigned 16-bit number and a register value 32 bits.
// Each of the four channels owns a block at channel x 0x100; registers with one
// instance per channel or per digital input lie in the global block 0x04xx and
// 0x05xx at base + number; board-wide registers lie at 0xF0xx.
#pragma once

#include <cstdint>

// Channels, digital inputs and index-trigger slots per channel.
inline constexpr int32_t BOARD_CHANNELS = 4;
inline constexpr int32_t BOARD_DIGITAL_INPUTS = 7;
inline constexpr int32_t BOARD_INDEX_TRIGGERS = 0xF0; // offsets 0x10 to 0xFF of the block

// How a register's instances lie, what the board lets a host do with them, and
// how their 32 bits read (register_table.inc explains each).
enum class RegisterPlacement : uint8_t {
    kBoard,
    kChannelBlock,
    kPerChannel,
    kPerInput,
    kIndexTable
};
enum class RegisterAccess : uint8_t { kRead = 1, kWrite = 2, kReadWrite = 3 };
enum class RegisterEncoding : uint8_t {
    kRaw,          // 32-bit value, shown signed
    kOffsetBinary, // signed position: raw - 0x80000000
    kHundredths,   // signed hundredths
    kThousandths,  // unsigned thousandths
    kFirmware,     // low 16 bits: version x 100
    kLogic,        // version x 100, unsigned
    kControls,     // trigger-control word
    kGenerator,    // upper and lower 16-bit halves
    kInputs,       // bit n: digital input n
    kCommand,      // written only: a command value
    kClearMask,    // written only: the bits of the clear register (below)
};

struct RegisterSpec {
    const char *name; // REG_...
    uint16_t address; // the offset in the channel block, or the (base) address
    RegisterPlacement placement;
    RegisterAccess access;
    RegisterEncoding encoding;
};

// One REG_ constant per register: its offset in the channel block, or its
// (base) address.
#define ZORENC_REGISTER(name, address, placement, access, encoding)                                \
    inline constexpr uint16_t name = address;
#include "register_table.inc"

// The whole table, in the order of register_table.inc.
inline constexpr RegisterSpec kRegisterTable[] = {
#define ZORENC_REGISTER(name, address, placement, access, encoding)                                \
    {#name, address, RegisterPlacement::placement, RegisterAccess::access,                         \
     RegisterEncoding::encoding},
#include "register_table.inc"
};

constexpr bool Readable(RegisterAccess access)
{
    return (static_cast<uint8_t>(access) & static_cast<uint8_t>(RegisterAccess::kRead)) != 0;
}
constexpr bool Writable(RegisterAccess access)
{
    return (static_cast<uint8_t>(access) & static_cast<uint8_t>(RegisterAccess::kWrite)) != 0;
}

// Values of the command registers.
inline constexpr uint32_t CMD_CALIBRATION_START = 1;
inline constexpr uint32_t CMD_CALIBRATION_STOP = 0;
inline constexpr uint32_t CMD_EXECUTE = 1; // load defaults, save and load flash

// ---- Bits of REG_CLEAR: one per counter or position ----------------------------------------
inline constexpr uint32_t CLEAR_DI_COUNT = 0x1;            // << input (0 to 6)
inline constexpr uint32_t CLEAR_TRG_COUNT = 0x80;          // << channel
inline constexpr uint32_t CLEAR_ENC_POSITION = 0x800;      // << channel
inline constexpr uint32_t CLEAR_TRG_ERROR_COUNT = 0x8000;  // << channel
inline constexpr uint32_t CLEAR_DI_COUNT_ALL = 0x7F;       // bits 0-6
inline constexpr uint32_t CLEAR_TRG_COUNT_ALL = 0x780;     // bits 7-10
inline constexpr uint32_t CLEAR_ENC_POSITION_ALL = 0x7800; // bits 11-14
inline constexpr uint32_t CLEAR_TRG_ERROR_ALL = 0x78000;   // bits 15-18
inline constexpr uint32_t CLEAR_EVERYTHING = 0xFFFFFFFFu;  // all 32 bits

// ---- Address arithmetic: every sum is taken modulo 0x10000 ---------------------------------
constexpr uint16_t ChannelRegister(int32_t channel, uint16_t offset)
{
    return static_cast<uint16_t>(static_cast<uint32_t>(channel) * 0x100u + offset);
}

constexpr uint16_t IndexTriggerRegister(int32_t channel, int32_t index)
{
    return static_cast<uint16_t>(static_cast<uint32_t>(channel) * 0x100u + REG_IDX_TRG_POSITION +
                                 static_cast<uint32_t>(index));
}

// base + channel or input number, for the global block.
constexpr uint16_t GlobalRegister(uint16_t base, int32_t number)
{
    return static_cast<uint16_t>(base + static_cast<uint32_t>(number));
}

constexpr bool IsChannel(int32_t channel)
{
    return channel >= 0 && channel < BOARD_CHANNELS;
}
constexpr bool IsDigitalInput(int32_t input)
{
    return input >= 0 && input < BOARD_DIGITAL_INPUTS;
}
constexpr bool IsIndexTrigger(int32_t index)
{
    return index >= 0 && index < BOARD_INDEX_TRIGGERS;
}

// Calls visit(address, number, index) for every instance of a register placed
// so at (base) address, in the order of its numbers: number is the channel or input (-1 for a
// board-wide register), index the index-trigger number (-1 elsewhere).
template <typename Visit>
void ForEachInstance(RegisterPlacement placement, uint16_t address, Visit visit)
{
    switch (placement) {
    case RegisterPlacement::kBoard:
        visit(address, int32_t{-1}, int32_t{-1});
        break;
    case RegisterPlacement::kChannelBlock:
        for (int32_t ch = 0; ch < BOARD_CHANNELS; ++ch) {
            visit(ChannelRegister(ch, address), ch, int32_t{-1});
        }
        break;
    case RegisterPlacement::kPerChannel:
        for (int32_t ch = 0; ch < BOARD_CHANNELS; ++ch) {
            visit(GlobalRegister(address, ch), ch, int32_t{-1});
        }
        break;
    case RegisterPlacement::kPerInput:
        for (int32_t n = 0; n < BOARD_DIGITAL_INPUTS; ++n) {
            visit(GlobalRegister(address, n), n, int32_t{-1});
        }
        break;
    case RegisterPlacement::kIndexTable:
        for (int32_t ch = 0; ch < BOARD_CHANNELS; ++ch) {
            for (int32_t i = 0; i < BOARD_INDEX_TRIGGERS; ++i) {
                visit(ChannelRegister(ch, static_cast<uint16_t>(address + i)), ch, i);
            }
        }
        break;
    }
}
