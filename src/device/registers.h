// The board's register map: every register the library touches, the address
// arithmetic and the bits of the clear register. Self-contained (only
// <cstdint>), so that the simulated board, the command-line tool and the tests
// can share it with the library.
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

// ---- Channel block: offsets from channel x 0x100 -------------------------------------------
inline constexpr uint16_t REG_TRG_CONTROL = 0x00;        // trigger-control word
inline constexpr uint16_t REG_TRG_GENERATOR = 0x01;      // upper and lower 16-bit halves
inline constexpr uint16_t REG_TRG_POSITION0 = 0x02;      // offset binary
inline constexpr uint16_t REG_TRG_POSITION1 = 0x03;      // offset binary
inline constexpr uint16_t REG_ENC_MULTI_ANALOG = 0x04;   // raw
inline constexpr uint16_t REG_ENC_CALIBRATION = 0x05;    // write: 1 starts, 0 stops
inline constexpr uint16_t REG_ENC_DIRECTION = 0x07;      // raw; also the inversion
inline constexpr uint16_t REG_TRG_OUTPUT_MODE = 0x08;    // raw
inline constexpr uint16_t REG_TRG_PULSE_WIDTH = 0x09;    // signed hundredths
inline constexpr uint16_t REG_TRG_DELAY = 0x0A;          // signed hundredths
inline constexpr uint16_t REG_ENC_RESET_VALUE = 0x0B;    // offset binary
inline constexpr uint16_t REG_IDX_TRG_LAST_INDEX = 0x0C; // raw
inline constexpr uint16_t REG_IDX_TRG_POSITION = 0x10;   // + index, offset binary

// ---- Global block: base + channel or input number ------------------------------------------
inline constexpr uint16_t REG_VENC_FREQUENCY = 0x0400;  // + channel, raw
inline constexpr uint16_t REG_DI_STATE = 0x0500;        // bit n: digital input n
inline constexpr uint16_t REG_DI_COUNT = 0x0501;        // + input, raw, read only
inline constexpr uint16_t REG_TRG_COUNT = 0x0508;       // + channel, raw, read only
inline constexpr uint16_t REG_ENC_POSITION = 0x050C;    // + channel, offset binary, read only
inline constexpr uint16_t REG_TRG_ERROR_COUNT = 0x0510; // + channel, raw, read only

// ---- Board-wide registers ------------------------------------------------------------------
inline constexpr uint16_t REG_FIRMWARE_VERSION = 0xF000; // low 16 bits: version x 100
inline constexpr uint16_t REG_LOGIC_VERSION = 0xF001;    // version x 100, unsigned
inline constexpr uint16_t REG_LOAD_DEFAULTS = 0xF002;    // write 1
inline constexpr uint16_t REG_SAVE_FLASH = 0xF003;       // write 1
inline constexpr uint16_t REG_LOAD_FLASH = 0xF004;       // write 1
inline constexpr uint16_t REG_CLEAR = 0xF005;            // write a clear mask
inline constexpr uint16_t REG_ENC_RESOLUTION = 0xF006;   // unsigned thousandths
inline constexpr uint16_t REG_POSITIVE_RUN = 0xF008;     // raw
inline constexpr uint16_t REG_NEGATIVE_RUN = 0xF009;     // raw
inline constexpr uint16_t REG_TRG_MODE = 0xF00A;         // raw

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
