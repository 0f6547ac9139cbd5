// Bad input against every exported function: invalid handles, a closed port,
// a valid handle with its upper 32 bits set, null pointers and extreme
// numbers. Each function is one row of a table (its name and a call of it);
// every scenario walks the whole table, and the table is checked against the
// list of exports, so a function cannot be left out.
//
// Every call must give its documented result, return promptly, throw nothing,
// send nothing to the board when it refuses its arguments, and leave the
// caller's outputs alone when it refuses them before a transaction. A call
// that does not return within kHangMs ends the process, naming the function.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sim/board.h"
#include "zorenc.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();

// A refused call does no I/O: it has no reason to take long, even on a busy
// machine under a sanitizer. A transaction ends within its 1000 ms deadline.
constexpr double kQuickMs = 300;
constexpr double kTransactionMs = 1500;
constexpr int kHangMs = 10000;

// A raw read of INT_MAX bytes gathers into a heap block of that size first.
// Natively that costs nothing until it is written; the sanitizers' allocators
// spend most of a second on each allocation and release of 2 GiB, and close
// to four on two loaded cores.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kHugeBlockMs = 6000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr double kHugeBlockMs = 6000;
#else
constexpr double kHugeBlockMs = 0;
#endif
#else
constexpr double kHugeBlockMs = 0;
#endif
constexpr int32_t kHugeLength = 1 << 24;

// Outcomes that are not a single code.
constexpr uint64_t kNotACode = uint64_t{1} << 40;      // a double result that holds no code
constexpr uint64_t kAnyStatus = uint64_t{1} << 41;     // any status byte of the board, 0 to 255
constexpr uint64_t kAbortedOrFull = uint64_t{1} << 42; // aborted, or refused for want of memory

constexpr uint16_t kScratchRegister = 0xF00A; // the trigger mode: read and write, no side effects

bool IsDocumented(uint64_t code)
{
    switch (code) {
    case ZORENC_ERR_PARAM:
    case ZORENC_ERR_NOT_OPEN:
    case ZORENC_ERR_ABORTED:
    case ZORENC_ERR_CHANNEL:
    case ZORENC_ERR_FRAME:
    case ZORENC_ERR_TIMEOUT:
        return true;
    default:
        return code <= 0xFF;
    }
}

bool Matches(uint64_t code, uint64_t expected)
{
    if (expected == kAnyStatus) {
        return code <= 0xFF;
    }
    if (expected == kAbortedOrFull) {
        return code == ZORENC_ERR_ABORTED || code == ZORENC_ERR_PARAM;
    }
    return code == expected;
}

std::string Hex(uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%" PRIX64, value);
    return text;
}

// Every result as one number: codes as they are, booleans 0 or 1, handles as
// their bits; the one double result must hold a code exactly.
uint64_t Code(uint32_t result)
{
    return result;
}
uint64_t Code(int32_t result)
{
    return static_cast<uint32_t>(result);
}
uint64_t Code(bool result)
{
    return result ? 1 : 0;
}
uint64_t Code(intptr_t handle)
{
    return static_cast<uint64_t>(handle);
}
uint64_t Code(double result)
{
    if (result >= 0.0 && result < 4294967296.0 && result == std::floor(result)) {
        return static_cast<uint64_t>(result);
    }
    return kNotACode;
}

void ZORENC_CALL Seen(const unsigned char *, int32_t) {}

// What a row's function gets. Each row takes the fields its function has;
// the scenarios change one kind of field at a time from these good values.
struct Probe {
    std::string port;
    bool nullPointers = false; // every pointer argument null
    bool nullFlag = false;     // only the abort flag null
    int32_t channel = 1;
    int32_t input = 5;
    int32_t index = 7;
    int32_t value = 3;
    int32_t multiplier = 4;
    double period = 20.0;
    int32_t position = 1000;
    int32_t convert = 1;
    double hundredths = -1.5;
    double thousandths = 1.5;
    unsigned char command = 'R';
    unsigned short address = kScratchRegister;
    uint32_t word = 5;
    int32_t reserved = 0;
    int32_t length = 4;
    unsigned char terminator = '\n';
    volatile unsigned char flag = 1; // raised: a raw read ends after its first port read
    TriggerControls controlsIn{};

    // The outputs, filled with a pattern so that untouched ones can be told.
    struct Outputs {
        int32_t ints[7];
        uint32_t word;
        double real;
        TriggerControls controls;
        unsigned char buffer[256]; // raw reads; ZorEncReadUntil needs 128
    } outputs;

    Probe()
    {
        std::memset(&outputs, 0xA5, sizeof outputs);
        controlsIn.nibble0 = 3;
    }
    bool Untouched() const
    {
        Outputs pattern;
        std::memset(&pattern, 0xA5, sizeof pattern);
        return std::memcmp(&pattern, &outputs, sizeof outputs) == 0;
    }

    int32_t *Int(int n = 0) { return nullPointers ? nullptr : &outputs.ints[n]; }
    uint32_t *Word() { return nullPointers ? nullptr : &outputs.word; }
    double *Real() { return nullPointers ? nullptr : &outputs.real; }
    TriggerControls *ControlsOut() { return nullPointers ? nullptr : &outputs.controls; }
    const TriggerControls *Controls() { return nullPointers ? nullptr : &controlsIn; }
    unsigned char *Buffer() { return nullPointers ? nullptr : outputs.buffer; }
    const volatile unsigned char *Flag() { return nullPointers || nullFlag ? nullptr : &flag; }
    const char *Port() { return nullPointers ? nullptr : port.c_str(); }
    ZorEncEventCallback Callback() { return nullPointers ? nullptr : &Seen; }
};

// What a function answers, by the state of the handle it is given.
enum class Kind {
    Transaction,  // result code; ZORENC_ERR_NOT_OPEN without an open port, else the board's
    RawRead,      // the same; on an open port the raised flag ends it with ZORENC_ERR_ABORTED
    Register,     // ZORENC_ERR_PARAM on an invalid handle, else ZORENC_OK
    IsValid,      // bool: the slot is held
    IsOpen,       // bool: the slot is held and its port open (ZorEncIsOpen, ZorEncPurge)
    Open,         // bool: the port is open afterwards
    Close,        // 0, or ZORENC_ERR_NOT_OPEN for an invalid handle
    CloseHandler, // nothing; frees the slot
    Create,       // a handle: the lowest free slot
    Release,      // nothing; empties the table
};

// The kinds of argument a function has, for the scenarios that vary them.
enum Axis : unsigned {
    kChannel = 1u << 0,      // channel 0..3
    kInput = 1u << 1,        // digital input 0..6
    kIndex = 1u << 2,        // index trigger 0..0xEF
    kValue = 1u << 3,        // 32-bit integers carried unchanged or in offset binary
    kMultiplier = 1u << 4,   // the divisor of a position conversion, bounded, never refused
    kPeriod = 1u << 5,       // the scale of a position conversion, finite
    kHundredths = 1u << 6,   // a double sent as signed hundredths
    kThousandths = 1u << 7,  // a double sent as unsigned thousandths
    kMicrometer = 1u << 8,   // a trigger position in micrometres
    kLength = 1u << 9,       // the count of a raw read
    kRegister = 1u << 10,    // raw command, address and value
    kPointer = 1u << 11,     // has pointer arguments
    kNullRefused = 1u << 12, // a null pointer is refused rather than skipped
    kFlag = 1u << 13,        // the abort flag of a raw read
    kNoReply = 1u << 14      // sends a request without waiting for the reply
};

struct Row {
    const char *name;
    Kind kind;
    unsigned axes;
    uint64_t (*call)(ZorEncHandle, Probe &);
};

// The function is named once: the row's name is the function it calls.
// clang-format off
#define ROW(fn, kind, axes, ...) \
    Row{#fn, Kind::kind, axes, [](ZorEncHandle h, Probe &p) { return Code(fn(h, __VA_ARGS__)); }}
#define ROW_HANDLE(fn, kind) \
    Row{#fn, Kind::kind, 0, [](ZorEncHandle h, Probe &) { return Code(fn(h)); }}
#define ROW_VOID(fn, kind) \
    Row{#fn, Kind::kind, 0, [](ZorEncHandle h, Probe &) { fn(h); return uint64_t{0}; }}
// clang-format on

const std::vector<Row> &Rows()
{
    static const std::vector<Row> rows = {
        // handler table
        Row{"ZorEncCreateHandler", Kind::Create, 0,
            [](ZorEncHandle, Probe &) { return Code(ZorEncCreateHandler()); }},
        ROW_HANDLE(ZorEncIsValidHandle, IsValid),
        ROW_VOID(ZorEncCloseHandler, CloseHandler),
        Row{"ZorEncRelease", Kind::Release, 0,
            [](ZorEncHandle, Probe &) {
                ZorEncRelease();
                return uint64_t{0};
            }},
        // connection and register transactions
        ROW(ZorEncOpen, Open, kPointer | kNullRefused, p.Port()),
        ROW_HANDLE(ZorEncClose, Close),
        ROW_HANDLE(ZorEncIsOpen, IsOpen),
        ROW(ZorEncSendData, Transaction, kPointer | kRegister, p.command, p.address, p.word,
            p.Word()),
        ROW(ZorEncSendOnly, Transaction, kRegister | kNoReply, p.command, p.address, p.word),
        ROW(ZorEncSendRead, Transaction, kPointer | kRegister, p.address, p.word, p.Word()),
        ROW(ZorEncSendWrite, Transaction, kPointer | kRegister, p.address, p.word, p.Word()),
        // raw stream reads and callbacks
        ROW_HANDLE(ZorEncPurge, IsOpen),
        ROW(ZorEncRead, RawRead, kPointer | kNullRefused | kLength | kFlag, p.Buffer(), p.reserved,
            p.length, p.Flag()),
        ROW(ZorEncReadUntil, RawRead, kPointer | kNullRefused | kFlag, p.Buffer(), p.terminator,
            p.Flag()),
        ROW(ZorEncRegisterSendEvent, Register, kPointer, p.Callback()),
        ROW(ZorEncRegisterRecvEvent, Register, kPointer, p.Callback()),
        ROW(ZorEncRegisterErrorEvent, Register, kPointer, p.Callback()),
        // encoder channels
        ROW(ZorEncGetEncoderPosition, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncGetEncoderPositionForAnalog, Transaction,
            kChannel | kMultiplier | kPeriod | kPointer, p.channel, p.multiplier, p.period,
            p.Int()),
        ROW(ZorEncGetEncoderPositionMicrometer, Transaction,
            kChannel | kMultiplier | kPeriod | kPointer, p.channel, p.multiplier, p.period,
            p.Int()),
        ROW(ZorEncGetEncoderDirection, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncSetEncoderDirection, Transaction, kChannel | kValue, p.channel, p.value),
        ROW(ZorEncGetEncoderInversion, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncSetEncoderInversion, Transaction, kChannel | kValue, p.channel, p.value),
        ROW(ZorEncGetEncoderMultiForAnalog, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncSetEncoderMultiForAnalog, Transaction, kChannel | kValue, p.channel, p.value),
        ROW(ZorEncGetEncoderResetValue, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncSetEncoderResetValue, Transaction, kChannel | kValue, p.channel, p.value),
        ROW(ZorEncStartCalibration, Transaction, kChannel, p.channel),
        ROW(ZorEncStopCalibration, Transaction, kChannel, p.channel),
        // device settings and maintenance
        ROW(ZorEncGetEncoderResolution, Transaction, kPointer, p.Real()),
        ROW(ZorEncSetEncoderResolution, Transaction, kThousandths, p.thousandths),
        ROW(ZorEncGetFirmwareVersion, Transaction, kPointer, p.Real()),
        ROW(ZorEncGetLogicVersion, Transaction, kPointer, p.Real()),
        ROW(ZorEncGetPositiveRun, Transaction, kPointer, p.Int()),
        ROW(ZorEncSetPositiveRun, Transaction, kValue, p.value),
        ROW(ZorEncGetNegativeRun, Transaction, kPointer, p.Int()),
        ROW(ZorEncSetNegativeRun, Transaction, kValue, p.value),
        ROW(ZorEncGetTrgMode, Transaction, kPointer, p.Int()),
        ROW(ZorEncSetTrgMode, Transaction, kValue, p.value),
        ROW(ZorEncGetVirtualEncoderFrequency, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncSetVirtualEncoderFrequency, Transaction, kChannel | kValue, p.channel, p.value),
        ROW_HANDLE(ZorEncLoadDefaultParameters, Transaction),
        ROW_HANDLE(ZorEncSaveFlash, Transaction),
        ROW_HANDLE(ZorEncLoadFlash, Transaction),
        // trigger channels
        ROW(ZorEncGetTriggerControls, Transaction, kChannel | kPointer, p.channel, p.ControlsOut()),
        ROW(ZorEncSetTriggerControls, Transaction, kChannel | kPointer | kNullRefused, p.channel,
            p.Controls()),
        ROW(ZorEncSetTriggerControlsEachTrigger, Transaction, kChannel | kValue, p.channel, p.value,
            p.value, p.value, p.value, p.value, p.value, p.value, p.value, p.value),
        ROW(ZorEncGetTriggerGenerator, Transaction, kChannel | kPointer, p.channel, p.Int(0),
            p.Int(1)),
        ROW(ZorEncSetTriggerGenerator, Transaction, kChannel | kValue, p.channel, p.value, p.value),
        ROW(ZorEncGetTriggerGeneratorRoll, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncSetTriggerGeneratorRoll, Transaction, kChannel | kValue, p.channel, p.value),
        ROW(ZorEncGetTriggerOutputMode, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncSetTriggerOutputMode, Transaction, kChannel | kValue, p.channel, p.value),
        ROW(ZorEncGetTriggerPosition0, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncSetTriggerPosition0, Transaction, kChannel | kValue, p.channel, p.value),
        ROW(ZorEncGetTriggerPosition1, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncSetTriggerPosition1, Transaction, kChannel | kValue, p.channel, p.value),
        ROW(ZorEncSetTriggerPositionMicrometer0, Transaction, kChannel | kMicrometer, p.channel,
            p.position, p.multiplier, p.period, p.convert),
        ROW(ZorEncSetTriggerPositionMicrometer1, Transaction, kChannel | kMicrometer, p.channel,
            p.position, p.multiplier, p.period, p.convert),
        ROW(ZorEncGetTriggerPulseWidth, Transaction, kChannel | kPointer, p.channel, p.Real()),
        ROW(ZorEncSetTriggerPulseWidth, Transaction, kChannel | kHundredths, p.channel,
            p.hundredths),
        ROW(ZorEncGetTriggerDelay, Transaction, kChannel | kPointer, p.channel, p.Real()),
        ROW(ZorEncSetTriggerDelay, Transaction, kChannel | kHundredths, p.channel, p.hundredths),
        ROW(ZorEncGetIndexTriggerLastIndex, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncSetIndexTriggerLastIndex, Transaction, kChannel | kValue, p.channel, p.value),
        ROW(ZorEncGetIndexTriggerPosition, Transaction, kChannel | kIndex | kPointer, p.channel,
            p.index, p.Int()),
        ROW(ZorEncSetIndexTriggerPosition, Transaction, kChannel | kIndex | kValue, p.channel,
            p.index, p.value),
        // digital inputs, counters and clears
        ROW(ZorEncGetDI, Transaction, kPointer, p.Int(0), p.Int(1), p.Int(2), p.Int(3), p.Int(4),
            p.Int(5), p.Int(6)),
        ROW(ZorEncGetDIState, Transaction, kInput | kPointer, p.input, p.Int()),
        ROW(ZorEncGetDiCount, Transaction, kInput | kPointer, p.input, p.Int()),
        ROW(ZorEncGetTriggerCount, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW(ZorEncGetTriggerErrorCount, Transaction, kChannel | kPointer, p.channel, p.Int()),
        ROW_HANDLE(ZorEncClearAll, Transaction),
        ROW_HANDLE(ZorEncClearDiAll, Transaction),
        ROW(ZorEncClearDiCount, Transaction, kInput, p.input),
        ROW_HANDLE(ZorEncClearTriggerAll, Transaction),
        ROW(ZorEncClearTriggerCount, Transaction, kChannel, p.channel),
        ROW_HANDLE(ZorEncClearEncoderPositionAll, Transaction),
        ROW(ZorEncClearEncoderPosition, Transaction, kChannel, p.channel),
        ROW_HANDLE(ZorEncClearErrorCountAll, Transaction),
        ROW(ZorEncClearErrorCount, Transaction, kChannel, p.channel),
    };
    return rows;
}

bool TakesHandle(const Row &row)
{
    return row.kind != Kind::Create && row.kind != Kind::Release;
}

bool GivesCode(const Row &row)
{
    return row.kind == Kind::Transaction || row.kind == Kind::RawRead || row.kind == Kind::Register;
}

// The answer to a handle that names no held slot.
uint64_t OnInvalid(Kind kind)
{
    switch (kind) {
    case Kind::Transaction:
    case Kind::RawRead:
    case Kind::Close:
        return ZORENC_ERR_NOT_OPEN;
    case Kind::Register:
        return ZORENC_ERR_PARAM;
    default:
        return 0; // false, or nothing
    }
}

// The answer to a held slot whose port is closed.
uint64_t OnClosed(Kind kind)
{
    switch (kind) {
    case Kind::Transaction:
    case Kind::RawRead:
        return ZORENC_ERR_NOT_OPEN;
    case Kind::IsValid:
    case Kind::Open:
        return 1;
    default:
        return 0;
    }
}

// The answer to slot 1, open on the board, with good arguments (slot 2 free).
uint64_t OnOpen(Kind kind)
{
    switch (kind) {
    case Kind::RawRead:
        return ZORENC_ERR_ABORTED;
    case Kind::IsValid:
    case Kind::IsOpen:
    case Kind::Open:
        return 1;
    case Kind::Create:
        return 2;
    default:
        return ZORENC_OK;
    }
}

// Argument values by axis: those refused before any transaction, and extreme
// ones that fit and are carried to the board.
struct Extreme {
    unsigned axis;
    const char *what;
    void (*apply)(Probe &);
    uint64_t expected;
};

// clang-format off
#define EXTREME(axis, expected, ...) \
    Extreme{axis, #__VA_ARGS__, [](Probe &p) { __VA_ARGS__; }, expected}
// clang-format on

const std::vector<Extreme> &Refused()
{
    static const std::vector<Extreme> refused = {
        EXTREME(kChannel, ZORENC_ERR_CHANNEL, p.channel = -1),
        EXTREME(kChannel, ZORENC_ERR_CHANNEL, p.channel = 4),
        EXTREME(kChannel, ZORENC_ERR_CHANNEL, p.channel = 256), // channel 0's block mod 0x10000
        EXTREME(kChannel, ZORENC_ERR_CHANNEL, p.channel = INT_MIN),
        EXTREME(kChannel, ZORENC_ERR_CHANNEL, p.channel = INT_MAX),
        EXTREME(kInput, ZORENC_ERR_CHANNEL, p.input = -1),
        EXTREME(kInput, ZORENC_ERR_CHANNEL, p.input = 7),
        EXTREME(kInput, ZORENC_ERR_CHANNEL, p.input = INT_MIN),
        EXTREME(kInput, ZORENC_ERR_CHANNEL, p.input = INT_MAX),
        EXTREME(kIndex, ZORENC_ERR_CHANNEL, p.index = -1),
        EXTREME(kIndex, ZORENC_ERR_CHANNEL, p.index = 0xF0),
        EXTREME(kIndex, ZORENC_ERR_CHANNEL, p.index = 0x10000 + 7),
        EXTREME(kIndex, ZORENC_ERR_CHANNEL, p.index = INT_MIN),
        EXTREME(kIndex, ZORENC_ERR_CHANNEL, p.index = INT_MAX),
        EXTREME(kPeriod, ZORENC_ERR_PARAM, p.period = kNaN),
        EXTREME(kPeriod, ZORENC_ERR_PARAM, p.period = kInf),
        EXTREME(kPeriod, ZORENC_ERR_PARAM, p.period = -kInf),
        EXTREME(kHundredths, ZORENC_ERR_PARAM, p.hundredths = kNaN),
        EXTREME(kHundredths, ZORENC_ERR_PARAM, p.hundredths = kInf),
        EXTREME(kHundredths, ZORENC_ERR_PARAM, p.hundredths = -kInf),
        EXTREME(kHundredths, ZORENC_ERR_PARAM, p.hundredths = kMax),
        EXTREME(kHundredths, ZORENC_ERR_PARAM, p.hundredths = -1e300),
        EXTREME(kHundredths, ZORENC_ERR_PARAM, p.hundredths = 21474836.48),
        EXTREME(kHundredths, ZORENC_ERR_PARAM, p.hundredths = -21474836.49),
        EXTREME(kThousandths, ZORENC_ERR_PARAM, p.thousandths = kNaN),
        EXTREME(kThousandths, ZORENC_ERR_PARAM, p.thousandths = kInf),
        EXTREME(kThousandths, ZORENC_ERR_PARAM, p.thousandths = -kInf),
        EXTREME(kThousandths, ZORENC_ERR_PARAM, p.thousandths = kMax),
        EXTREME(kThousandths, ZORENC_ERR_PARAM, p.thousandths = 4294967.296),
        EXTREME(kThousandths, ZORENC_ERR_PARAM, p.thousandths = -0.5),
        EXTREME(kThousandths, ZORENC_ERR_PARAM, p.thousandths = -0.0001),
        EXTREME(kMicrometer, ZORENC_ERR_PARAM, p.period = kNaN),
        EXTREME(kMicrometer, ZORENC_ERR_PARAM, p.period = kInf),
        EXTREME(kMicrometer, ZORENC_ERR_PARAM, p.period = -kInf),
        EXTREME(kMicrometer, ZORENC_ERR_PARAM, p.period = 0.0),
        EXTREME(kMicrometer, ZORENC_ERR_PARAM, p.period = -0.0),
        EXTREME(kMicrometer, ZORENC_ERR_PARAM, p.period = 1e-300),
        EXTREME(kMicrometer, ZORENC_ERR_PARAM,
                (p.position = INT_MAX, p.multiplier = INT_MAX, p.period = 1.0)),
        EXTREME(kMicrometer, ZORENC_ERR_PARAM,
                (p.position = INT_MIN, p.multiplier = -1, p.period = 1.0)),
        EXTREME(kLength, ZORENC_ERR_PARAM, p.length = 0),
        EXTREME(kLength, ZORENC_ERR_PARAM, p.length = -1),
        EXTREME(kLength, ZORENC_ERR_PARAM, p.length = INT_MIN),
        EXTREME(kFlag, ZORENC_ERR_PARAM, p.nullFlag = true),
    };
    return refused;
}

const std::vector<Extreme> &Carried()
{
    static const std::vector<Extreme> carried = {
        EXTREME(kValue, ZORENC_OK, p.value = INT_MIN),
        EXTREME(kValue, ZORENC_OK, p.value = INT_MAX),
        EXTREME(kValue, ZORENC_OK, p.value = -1),
        EXTREME(kMultiplier, ZORENC_OK, p.multiplier = INT_MIN),
        EXTREME(kMultiplier, ZORENC_OK, p.multiplier = INT_MAX),
        EXTREME(kMultiplier, ZORENC_OK, p.multiplier = 0),
        EXTREME(kPeriod, ZORENC_OK, p.period = 0.0),
        EXTREME(kPeriod, ZORENC_OK, p.period = -kMax),
        EXTREME(kPeriod, ZORENC_OK, p.period = 1e-300),
        EXTREME(kHundredths, ZORENC_OK, p.hundredths = 21474836.47),
        EXTREME(kHundredths, ZORENC_OK, p.hundredths = -21474836.48),
        EXTREME(kHundredths, ZORENC_OK, p.hundredths = -0.0),
        EXTREME(kHundredths, ZORENC_OK, p.hundredths = 1e-300),
        EXTREME(kThousandths, ZORENC_OK, p.thousandths = 4294967.295),
        EXTREME(kThousandths, ZORENC_OK, p.thousandths = 0.0),
        EXTREME(kThousandths, ZORENC_OK, p.thousandths = -0.0),
        EXTREME(kMicrometer, ZORENC_OK, (p.convert = 0, p.period = kNaN, p.position = INT_MIN)),
        EXTREME(kMicrometer, ZORENC_OK, (p.convert = 0, p.period = 0.0, p.position = INT_MAX)),
        EXTREME(kMicrometer, ZORENC_OK,
                (p.convert = INT_MIN, p.position = INT_MAX, p.multiplier = 1, p.period = 1.0)),
        EXTREME(kMicrometer, ZORENC_OK,
                (p.position = INT_MIN, p.multiplier = INT_MIN, p.period = -kMax)),
        EXTREME(kLength, kAbortedOrFull, p.length = INT_MAX),
        EXTREME(kLength, kAbortedOrFull, (p.length = INT_MAX - 1, p.reserved = INT_MIN)),
        EXTREME(kLength, ZORENC_ERR_ABORTED, (p.length = 1, p.reserved = INT_MAX)),
        EXTREME(kRegister, kAnyStatus, p.address = 0xFFFF),
        EXTREME(kRegister, kAnyStatus, p.address = 0),
        EXTREME(kRegister, kAnyStatus, p.word = 0xFFFFFFFFu),
        EXTREME(kRegister, kAnyStatus, p.command = 0),
        EXTREME(kRegister, kAnyStatus, p.command = 0xFF),
    };
    return carried;
}

// Sends what the library prints (connected!!!!!, close_handle() ...) to
// /dev/null while it lives.
class Quiet {
public:
    Quiet()
    {
        Flush();
        saved_ = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~Quiet()
    {
        Flush();
        dup2(saved_, 1);
        close(saved_);
    }
    Quiet(const Quiet &) = delete;
    Quiet &operator=(const Quiet &) = delete;

private:
    static void Flush()
    {
        std::cout.flush();
        std::fflush(stdout);
    }
    int saved_;
};

// Ends the process when an armed call has not returned in time: a call that
// hangs must fail the run, naming itself, rather than stall it.
class Watchdog {
public:
    Watchdog() : thread_([this] { Watch(); }) {}
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void Arm(const char *what)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        what_ = what;
        deadline_ = Clock::now() + std::chrono::milliseconds(kHangMs);
        armed_ = true;
        changed_.notify_all();
    }
    void Disarm()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        armed_ = false;
    }

private:
    void Watch()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_) {
            if (armed_ && Clock::now() >= deadline_) {
                std::fprintf(stderr, "%s has not returned after %d ms\n", what_, kHangMs);
                std::abort();
            }
            if (armed_) {
                changed_.wait_until(lock, deadline_);
            } else {
                changed_.wait(lock);
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    bool armed_ = false;
    const char *what_ = "";
    Clock::time_point deadline_;
    std::thread thread_;
};

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class Sweep : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        board_ = new zorsim::Board();
        if (!board_->Start()) {
            std::fprintf(stderr, "cannot start the simulated board\n");
            std::abort();
        }
        watchdog_ = new Watchdog();
    }
    static void TearDownTestSuite()
    {
        {
            Quiet quiet;
            ZorEncRelease();
        }
        delete watchdog_;
        board_->Stop();
        delete board_;
    }
    void TearDown() override
    {
        Quiet quiet;
        ZorEncRelease();
    }

    Probe NewProbe() const
    {
        Probe probe;
        probe.port = board_->SlavePath();
        return probe;
    }

    // Slot 1 open on the board, slot 2 freed, nothing else: handle 2 is a
    // freed slot and 3 lies beyond the table. The board's moving parts are
    // stopped and its record of requests emptied.
    bool Establish()
    {
        bool ready = false;
        {
            Quiet quiet;
            ZorEncRelease();
            const ZorEncHandle open = ZorEncCreateHandler();
            const ZorEncHandle freed = ZorEncCreateHandler();
            const bool opened = ZorEncOpen(open, board_->SlavePath().c_str());
            ZorEncCloseHandler(freed);
            ready = open == 1 && freed == 2 && opened;
        }
        if (!ready) {
            ADD_FAILURE() << "cannot set up the handler table on " << board_->SlavePath();
            return false;
        }
        for (int channel = 0; channel < zorsim::kChannels; ++channel) {
            board_->Set(static_cast<uint16_t>(zorsim::reg::kVencFrequency + channel), 0);
            board_->Set(static_cast<uint16_t>(zorsim::reg::kEncPosition + channel),
                        zorsim::kOffsetBinaryZero);
        }
        board_->ClearFaults();
        // A request sent without waiting (ZorEncSendOnly) is on the line until
        // the board has answered one that comes after it.
        uint32_t value = 0;
        if (ZorEncSendRead(1, kScratchRegister, 0, &value) != ZORENC_OK) {
            ADD_FAILURE() << "the board does not answer";
            return false;
        }
        board_->ClearRequests();
        return true;
    }

    // The requests the board received since Establish, counted once a
    // transaction of its own has been answered after them. After a request
    // that `last` sent without waiting, its reply is awaited and purged first:
    // it would be taken for the reply of the next request.
    size_t SentSince(const Row &last, bool accepted = false)
    {
        ZorEncHandle handle = 1;
        if (!ZorEncIsOpen(handle)) {
            Quiet quiet;
            handle = ZorEncCreateHandler();
            ZorEncOpen(handle, board_->SlavePath().c_str());
        }
        if (accepted && (last.axes & kNoReply) != 0) {
            TakeStrayReply(handle);
        }
        uint32_t value = 0;
        EXPECT_EQ(ZorEncSendRead(handle, kScratchRegister, 0, &value), ZORENC_OK);
        return board_->Requests().size() - 1;
    }

    // Reads the reply to a request sent without waiting off the line, up to
    // its final 0x03 (the one unescaped 0x03 of a frame), within a second.
    static void TakeStrayReply(ZorEncHandle handle)
    {
        volatile unsigned char flag = 0;
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
        std::thread bound([&] {
            std::unique_lock<std::mutex> lock(mutex);
            if (!changed.wait_for(lock, std::chrono::seconds(1), [&] { return done; })) {
                __atomic_store_n(&flag, 1, __ATOMIC_RELEASE);
            }
        });
        unsigned char line[128];
        const ZorEncResult result = ZorEncReadUntil(handle, line, 0x03, &flag);
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        changed.notify_all();
        bound.join();
        EXPECT_EQ(result, ZORENC_OK) << "no reply to the request sent without waiting";
    }

    // Calls a row: quiet, timed, watched, and with any exception caught as a
    // failure of its own.
    uint64_t Call(const Row &row, ZorEncHandle handle, Probe &probe, double &ms)
    {
        uint64_t code = kNotACode;
        bool threw = false;
        {
            Quiet quiet;
            watchdog_->Arm(row.name);
            const Clock::time_point start = Clock::now();
            try {
                code = row.call(handle, probe);
            } catch (...) {
                threw = true;
            }
            ms = MsSince(start);
            watchdog_->Disarm();
        }
        EXPECT_FALSE(threw) << row.name << " let an exception out";
        if (GivesCode(row)) {
            EXPECT_TRUE(IsDocumented(code)) << row.name << " gave " << Hex(code);
        }
        EXPECT_LT(ms, kTransactionMs + (probe.length >= kHugeLength ? kHugeBlockMs : 0))
            << row.name;
        return code;
    }

    static zorsim::Board *board_;
    static Watchdog *watchdog_;
};

zorsim::Board *Sweep::board_ = nullptr;
Watchdog *Sweep::watchdog_ = nullptr;

TEST_F(Sweep, EveryExportHasOneRow)
{
    const std::vector<std::string> exported = {
#define ZORENC_FN(name, bytes) #name,
#include "exports.inc"
#undef ZORENC_FN
    };
    EXPECT_EQ(exported.size(), 82u);
    std::set<std::string> rows;
    for (const Row &row : Rows()) {
        EXPECT_TRUE(rows.insert(row.name).second) << "two rows call " << row.name;
    }
    EXPECT_EQ(rows, std::set<std::string>(exported.begin(), exported.end()));
}

TEST_F(Sweep, InvalidHandlesAreRefusedAndChangeNothing)
{
    const ZorEncHandle invalid[] = {
        0,
        -1,
        2,    // a freed slot
        3,    // just beyond the table
        1000, // far beyond it
        INT32_MAX,
        INT32_MIN,
        static_cast<ZorEncHandle>(uint64_t{1} << 32),       // low 32 bits 0
        static_cast<ZorEncHandle>((uint64_t{1} << 32) | 2), // the freed slot, upper bits set
        static_cast<ZorEncHandle>(0x80000000FFFFFFFFull),   // low 32 bits -1
        static_cast<ZorEncHandle>(0x7FFFFFFF80000000ull),   // low 32 bits INT32_MIN
        std::numeric_limits<ZorEncHandle>::min(),
    };
    for (const Row &row : Rows()) {
        if (!TakesHandle(row)) {
            continue;
        }
        SCOPED_TRACE(row.name);
        if (!Establish()) {
            return;
        }
        for (const ZorEncHandle handle : invalid) {
            SCOPED_TRACE("handle " + Hex(static_cast<uint64_t>(handle)));
            Probe probe = NewProbe();
            double ms = 0;
            EXPECT_EQ(Call(row, handle, probe, ms), OnInvalid(row.kind));
            EXPECT_LT(ms, kQuickMs);
            EXPECT_TRUE(ZorEncIsOpen(1));
            EXPECT_FALSE(ZorEncIsValidHandle(2));
        }
        EXPECT_EQ(SentSince(row), 0u);
    }
}

TEST_F(Sweep, AClosedPortIsRefusedAndKeepsItsHandler)
{
    for (const Row &row : Rows()) {
        if (!TakesHandle(row)) {
            continue;
        }
        SCOPED_TRACE(row.name);
        if (!Establish()) {
            return;
        }
        ASSERT_EQ(ZorEncClose(1), 0);
        Probe probe = NewProbe();
        double ms = 0;
        EXPECT_EQ(Call(row, 1, probe, ms), OnClosed(row.kind));
        if (row.kind == Kind::Open) {
            EXPECT_TRUE(ZorEncIsOpen(1));
        } else if (row.kind == Kind::CloseHandler) {
            EXPECT_FALSE(ZorEncIsValidHandle(1));
        } else {
            EXPECT_LT(ms, kQuickMs);
            EXPECT_TRUE(ZorEncIsValidHandle(1));
            EXPECT_FALSE(ZorEncIsOpen(1));
        }
        EXPECT_EQ(SentSince(row), 0u);
    }
}

TEST_F(Sweep, OnlyTheLow32BitsOfAHandleCount)
{
    const uint64_t upper[] = {0, uint64_t{1} << 32, 0x7FFFFFFFull << 32, 0x80000000ull << 32,
                              0xFFFFFFFFull << 32};
    for (const Row &row : Rows()) {
        SCOPED_TRACE(row.name);
        for (const uint64_t bits : upper) {
            if (!TakesHandle(row) && bits != 0) {
                continue;
            }
            const auto handle = static_cast<ZorEncHandle>(bits | 1);
            SCOPED_TRACE("handle " + Hex(bits | 1));
            if (!Establish()) {
                return;
            }
            Probe probe = NewProbe();
            double ms = 0;
            EXPECT_EQ(Call(row, handle, probe, ms), OnOpen(row.kind));
            // What the call did, it did to slot 1.
            switch (row.kind) {
            case Kind::Close:
                EXPECT_TRUE(ZorEncIsValidHandle(1));
                EXPECT_FALSE(ZorEncIsOpen(1));
                break;
            case Kind::CloseHandler:
            case Kind::Release:
                EXPECT_FALSE(ZorEncIsValidHandle(1));
                break;
            case Kind::Create:
                EXPECT_TRUE(ZorEncIsValidHandle(2));
                EXPECT_FALSE(ZorEncIsOpen(2));
                break;
            default:
                EXPECT_TRUE(ZorEncIsOpen(1));
                break;
            }
            if (row.kind == Kind::Transaction) {
                EXPECT_EQ(SentSince(row, true), 1u);
            }
        }
    }
}

TEST_F(Sweep, NullPointersAreSkippedOrRefused)
{
    for (const Row &row : Rows()) {
        if ((row.axes & kPointer) == 0) {
            continue;
        }
        SCOPED_TRACE(row.name);
        if (!Establish()) {
            return;
        }
        Probe probe = NewProbe();
        probe.nullPointers = true;
        double ms = 0;
        const uint64_t code = Call(row, 1, probe, ms);
        EXPECT_TRUE(ZorEncIsOpen(1));
        if ((row.axes & kNullRefused) != 0) {
            EXPECT_EQ(code, row.kind == Kind::Open ? 0 : ZORENC_ERR_PARAM);
            EXPECT_LT(ms, kQuickMs);
            EXPECT_EQ(SentSince(row), 0u);
        } else {
            // Skipped outputs: the transaction takes place all the same.
            EXPECT_EQ(code, OnOpen(row.kind));
            EXPECT_EQ(SentSince(row), row.kind == Kind::Transaction ? 1u : 0u);
        }
    }
}

TEST_F(Sweep, OutOfRangeNumbersAreRefusedBeforeTheLine)
{
    std::set<const Extreme *> used;
    for (const Row &row : Rows()) {
        bool established = false;
        for (const Extreme &extreme : Refused()) {
            if ((row.axes & extreme.axis) == 0) {
                continue;
            }
            used.insert(&extreme);
            SCOPED_TRACE(std::string(row.name) + " with " + extreme.what);
            if (!established && !(established = Establish())) {
                return;
            }
            Probe probe = NewProbe();
            extreme.apply(probe);
            double ms = 0;
            EXPECT_EQ(Call(row, 1, probe, ms), extreme.expected);
            EXPECT_LT(ms, kQuickMs);
            EXPECT_TRUE(probe.Untouched());
        }
        if (established) {
            SCOPED_TRACE(row.name);
            EXPECT_EQ(SentSince(row), 0u);
        }
    }
    EXPECT_EQ(used.size(), Refused().size()) << "a value that no row takes";
}

TEST_F(Sweep, ExtremeNumbersThatFitAreCarried)
{
    std::set<const Extreme *> used;
    for (const Row &row : Rows()) {
        for (const Extreme &extreme : Carried()) {
            if ((row.axes & extreme.axis) == 0) {
                continue;
            }
            used.insert(&extreme);
            SCOPED_TRACE(std::string(row.name) + " with " + extreme.what);
            if (!Establish()) {
                return;
            }
            Probe probe = NewProbe();
            extreme.apply(probe);
            double ms = 0;
            const uint64_t code = Call(row, 1, probe, ms);
            EXPECT_TRUE(Matches(code, extreme.expected)) << Hex(code);
            if (row.kind == Kind::RawRead) {
                EXPECT_TRUE(probe.Untouched()); // aborted reads copy nothing
            }
            EXPECT_EQ(SentSince(row, true), row.kind == Kind::Transaction ? 1u : 0u);
        }
    }
    EXPECT_EQ(used.size(), Carried().size()) << "a value that no row takes";
}

TEST_F(Sweep, RawReadsEndSoonAfterTheirFlagIsRaised)
{
    struct Case {
        const char *what;
        ZorEncResult (*read)(unsigned char *, const volatile unsigned char *);
        bool huge;
    };
    const Case cases[] = {
        {"ZorEncRead of 4",
         [](unsigned char *b, const volatile unsigned char *f) {
             return ZorEncRead(1, b, 0, 4, f);
         },
         false},
        {"ZorEncRead of INT_MAX",
         [](unsigned char *b, const volatile unsigned char *f) {
             return ZorEncRead(1, b, 0, INT_MAX, f);
         },
         true},
        {"ZorEncReadUntil",
         [](unsigned char *b, const volatile unsigned char *f) {
             return ZorEncReadUntil(1, b, '\n', f);
         },
         false},
    };
    constexpr int kRaiseAfterMs = 100;
    // The reads look at the flag at least every 50 ms: well within 100 ms of
    // the raise, plus room for a loaded machine.
    constexpr double kWithinMs = 250;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (!Establish()) {
            return;
        }
        Probe probe = NewProbe();
        probe.flag = 0;
        Clock::time_point raisedAt;
        std::thread raiser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(kRaiseAfterMs));
            raisedAt = Clock::now();
            __atomic_store_n(&probe.flag, 1, __ATOMIC_RELEASE);
        });
        watchdog_->Arm(c.what);
        const ZorEncResult result = c.read(probe.outputs.buffer, &probe.flag);
        const Clock::time_point end = Clock::now();
        watchdog_->Disarm();
        raiser.join();
        if (c.huge && result == ZORENC_ERR_PARAM) {
            continue; // no memory for the count: refused at once
        }
        EXPECT_EQ(result, ZORENC_ERR_ABORTED);
        EXPECT_GE(end, raisedAt);
        EXPECT_LT(MsSince(raisedAt) - MsSince(end), kWithinMs + (c.huge ? kHugeBlockMs : 0));
        EXPECT_TRUE(probe.Untouched());
    }
}

} // namespace
