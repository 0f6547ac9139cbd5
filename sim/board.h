// The simulated board: an encoder-and-trigger board of our own on the master
// side of a pseudo-terminal. Hosts open the slave path as their serial port.
//
// The board holds the register map, answers each request frame with one
// reply frame, moves each channel's encoder at its virtual-encoder frequency,
// counts trigger crossings and digital-input edges, and keeps its settings in
// a flash file or in memory. Tests drive it through the Board class, or over
// the line with test commands (see README.md).
//
// Every member function of Board is thread-safe: one serving thread of the
// board and any number of test threads share it.
#ifndef ZORSIM_BOARD_H
#define ZORSIM_BOARD_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/registers.h"

namespace zorsim {

// Register addresses, under the board's own short names; the library's
// register map (device/registers.h) defines them.
namespace reg {
constexpr uint16_t kTrgControl = REG_TRG_CONTROL;
constexpr uint16_t kTrgGenerator = REG_TRG_GENERATOR;
constexpr uint16_t kTrgPosition0 = REG_TRG_POSITION0;
constexpr uint16_t kTrgPosition1 = REG_TRG_POSITION1;
constexpr uint16_t kEncMultiAnalog = REG_ENC_MULTI_ANALOG;
constexpr uint16_t kEncCalibration = REG_ENC_CALIBRATION; // write only: 1 starts, 0 stops
constexpr uint16_t kEncDirection = REG_ENC_DIRECTION;     // 0 counts up, anything else down
constexpr uint16_t kTrgOutputMode = REG_TRG_OUTPUT_MODE;
constexpr uint16_t kTrgPulseWidth = REG_TRG_PULSE_WIDTH;
constexpr uint16_t kTrgDelay = REG_TRG_DELAY;
constexpr uint16_t kEncResetValue = REG_ENC_RESET_VALUE;
constexpr uint16_t kIdxTrgLastIndex = REG_IDX_TRG_LAST_INDEX;
constexpr uint16_t kIdxTrgPosition = REG_IDX_TRG_POSITION; // 0x10 to 0xFF: 240 entries

constexpr uint16_t kVencFrequency = REG_VENC_FREQUENCY;  // + channel, counts per second
constexpr uint16_t kDiState = REG_DI_STATE;              // bits 0-6
constexpr uint16_t kDiCount = REG_DI_COUNT;              // + input 0..6
constexpr uint16_t kTrgCount = REG_TRG_COUNT;            // + channel
constexpr uint16_t kEncPosition = REG_ENC_POSITION;      // + channel, offset binary
constexpr uint16_t kTrgErrorCount = REG_TRG_ERROR_COUNT; // + channel
constexpr uint16_t kFirmwareVersion = REG_FIRMWARE_VERSION;
constexpr uint16_t kLogicVersion = REG_LOGIC_VERSION;
constexpr uint16_t kLoadDefaults = REG_LOAD_DEFAULTS;
constexpr uint16_t kSaveFlash = REG_SAVE_FLASH;
constexpr uint16_t kLoadFlash = REG_LOAD_FLASH;
constexpr uint16_t kClear = REG_CLEAR;
constexpr uint16_t kEncResolution = REG_ENC_RESOLUTION;
constexpr uint16_t kPositiveRun = REG_POSITIVE_RUN;
constexpr uint16_t kNegativeRun = REG_NEGATIVE_RUN;
constexpr uint16_t kTrgMode = REG_TRG_MODE;

constexpr uint16_t Channel(int channel, uint16_t offset)
{
    return ChannelRegister(channel, offset);
}
} // namespace reg

constexpr int kChannels = BOARD_CHANNELS;
constexpr int kInputs = BOARD_DIGITAL_INPUTS;
constexpr uint32_t kOffsetBinaryZero = 0x80000000u;

// Fixed contents of the version registers.
constexpr uint32_t kFirmwareVersionValue = 0x00000096; // 1.50
constexpr uint32_t kLogicVersionValue = 0x000000CA;    // 2.02

// Status bytes of a reply: kStatusOk, kStatusUnknownAddress, ... (their codes
// and meanings are the rows of device/sim_statuses.inc).
#define ZORSIM_STATUS(name, code, meaning) constexpr uint8_t kStatus##name = code;
#include "device/sim_statuses.inc"

// Command bytes of the test commands (only with Options::testCommands).
constexpr uint8_t kCmdPoke = 'P';          // store value at address, no side effects
constexpr uint8_t kCmdPeek = 'K';          // value at address
constexpr uint8_t kCmdFault = 'F';         // address: kind | count << 8, value: parameter
constexpr uint8_t kCmdInputs = 'I';        // set the digital inputs to value
constexpr uint8_t kCmdCount = 'C';         // number of recorded requests
constexpr uint8_t kCmdLength = 'L';        // length of recorded request (address: 0 = last)
constexpr uint8_t kCmdQuery = 'Q';         // byte (address) of recorded request (value: 0 = last)
constexpr uint8_t kCmdClearRequests = 'X'; // forget the recorded requests
constexpr uint8_t kCmdReset = 'Z';         // power-cycle: settings from flash, counters zero
constexpr uint8_t kCmdAppendRaw =
    'A'; // append the value's first address (1-4) bytes to the raw buffer
constexpr uint8_t kCmdSendRaw =
    'S'; // after the reply: raw bytes [0, address), pause value ms, the rest

// Faults, each applied to the next requests. The numbers are also the kinds
// of the 'F' test command.
enum class Fault : uint8_t {
    kNone = 0,        // ('F' only) clears every fault
    kSilence = 1,     // no reply
    kDelay = 2,       // reply after param ms; the board serves nothing meanwhile
    kBadChecksum = 3, // reply checksum off by one
    kStatus = 4,      // reply status byte = param (valid checksum)
    kGarbage = 5,     // param bytes (default 4) without 0x02/0x03 ahead of the reply
    kDoubleReply = 6, // the reply sent twice
    kTruncate = 7,    // the last param bytes (default 1, the final 0x03) cut off
    kLate = 8,        // reply param ms after the request; later requests are served meanwhile
};
constexpr int kFaultKinds = 9;

struct Options {
    bool paced = false;        // send replies at 115200 8N1 wire speed
    bool pacedReceive = false; // take requests no faster than the wire could carry them
    std::string flashFile;     // empty: flash kept in memory
    bool testCommands = false; // answer the test commands
    bool silent = false;       // record requests, answer none
    std::string link;          // symlink made to the slave path
    uint32_t inputs = 0;       // digital inputs at power-up
    // Each request received is appended to this file as a line, flushed at
    // once so that another process can follow: "W 010A 00000096" (command,
    // address, value in hex) or "bad 02 57 ..." for a malformed frame.
    std::string requestLog;
    // When set, answers every 'R' or 'W' request in place of the register map
    // (a replayed capture): true with the bytes to send, false for none.
    std::function<bool(uint8_t command, uint16_t address, uint32_t value,
                       std::vector<uint8_t> &bytes)>
        responder;
};

class Board {
public:
    explicit Board(Options options = {});
    ~Board();
    Board(const Board &) = delete;
    Board &operator=(const Board &) = delete;

    // Opens a pty and starts serving it. False when no pty could be made.
    bool Start();
    // Stops serving and closes the pty; the state is kept.
    void Stop();
    // Path of the slave (the host's port), empty when not started.
    std::string SlavePath() const;

    // Register contents as a read would see them, for any address; no status.
    uint32_t Get(uint16_t address);
    // Stores a register value without side effects (counters, positions and
    // versions included).
    void Set(uint16_t address, uint32_t value);
    // Sets the digital inputs (bits 0-6); rising edges count.
    void SetInputs(uint32_t bits);

    // Applies a fault to the next count requests (replacing an earlier one of
    // the same kind). Test commands are never affected.
    void InjectFault(Fault kind, uint32_t param = 0, int count = 1);
    void ClearFaults();

    // Every request frame received, as its raw stuffed bytes from 0x02 to
    // 0x03 (malformed ones too; test commands excluded).
    std::vector<std::vector<uint8_t>> Requests();
    void ClearRequests();
    // Waits until at least n requests are recorded or timeoutMs passes.
    bool WaitForRequests(size_t n, int timeoutMs);

    // Writes bytes to the line (paced like replies). Returns once they are
    // written; false when the board is not serving.
    bool SendRaw(const std::vector<uint8_t> &bytes);

    // Closes the pty: the port disappears. State is kept.
    void Unplug();
    // Power-cycles the board on a new pty: settings from flash (defaults when
    // nothing was saved), counters, positions, faults and records cleared.
    bool Restart();
    // The same power cycle on the current pty.
    void Reset();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zorsim

#endif
