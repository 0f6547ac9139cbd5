#include "setting_table.h"

#include <cmath>
#include <cstring>

#include "device/registers.h"
#include "failure.h"
#include "numbers.h"

namespace zorenc::companion {

namespace {

Field Signed(int64_t v)
{
    return Field{"value", FieldKind::kSigned, v, 0};
}
Field Unsigned(int32_t v)
{
    return Field{"value", FieldKind::kUnsigned, static_cast<uint32_t>(v), 0};
}
Field Hex(const char *name, uint32_t v)
{
    return Field{name, FieldKind::kHex, v, 0};
}
Field Real(double v)
{
    return Field{"value", FieldKind::kReal, 0, v};
}

int32_t I32(const Arg &a)
{
    return static_cast<int32_t>(a.integer);
}

// Shapes of the library's getters and setters.
using ChannelIntGet = ZorEncResult(ZORENC_CALL *)(ZorEncHandle, int32_t, int32_t *);
using ChannelIntSet = ZorEncResult(ZORENC_CALL *)(ZorEncHandle, int32_t, int32_t);
using ChannelRealGet = ZorEncResult(ZORENC_CALL *)(ZorEncHandle, int32_t, double *);
using ChannelRealSet = ZorEncResult(ZORENC_CALL *)(ZorEncHandle, int32_t, double);
using BoardIntGet = ZorEncResult(ZORENC_CALL *)(ZorEncHandle, int32_t *);
using BoardIntSet = ZorEncResult(ZORENC_CALL *)(ZorEncHandle, int32_t);
using BoardRealGet = ZorEncResult(ZORENC_CALL *)(ZorEncHandle, double *);
using BoardRealSet = ZorEncResult(ZORENC_CALL *)(ZorEncHandle, double);

template <ChannelIntGet Fn, bool Counter = false>
ZorEncResult GetChannelInt(ZorEncHandle h, const Key &k, const Args &, Reading &out)
{
    int32_t v = 0;
    const ZorEncResult r = Fn(h, k.number, &v);
    out = {Counter ? Unsigned(v) : Signed(v)};
    return r;
}

template <ChannelIntSet Fn> ZorEncResult SetChannelInt(ZorEncHandle h, const Key &k, const Args &a)
{
    return Fn(h, k.number, I32(a[0]));
}

template <ChannelRealGet Fn>
ZorEncResult GetChannelReal(ZorEncHandle h, const Key &k, const Args &, Reading &out)
{
    double v = 0;
    const ZorEncResult r = Fn(h, k.number, &v);
    out = {Real(v)};
    return r;
}

template <ChannelRealSet Fn>
ZorEncResult SetChannelReal(ZorEncHandle h, const Key &k, const Args &a)
{
    return Fn(h, k.number, a[0].real);
}

template <BoardIntGet Fn>
ZorEncResult GetBoardInt(ZorEncHandle h, const Key &, const Args &, Reading &out)
{
    int32_t v = 0;
    const ZorEncResult r = Fn(h, &v);
    out = {Signed(v)};
    return r;
}

template <BoardIntSet Fn> ZorEncResult SetBoardInt(ZorEncHandle h, const Key &, const Args &a)
{
    return Fn(h, I32(a[0]));
}

template <BoardRealGet Fn>
ZorEncResult GetBoardReal(ZorEncHandle h, const Key &, const Args &, Reading &out)
{
    double v = 0;
    const ZorEncResult r = Fn(h, &v);
    out = {Real(v)};
    return r;
}

template <BoardRealSet Fn> ZorEncResult SetBoardReal(ZorEncHandle h, const Key &, const Args &a)
{
    return Fn(h, a[0].real);
}

ZorEncResult GetDiCount(ZorEncHandle h, const Key &k, const Args &, Reading &out)
{
    int32_t v = 0;
    const ZorEncResult r = ZorEncGetDiCount(h, k.number, &v);
    out = {Unsigned(v)};
    return r;
}

ZorEncResult GetDiState(ZorEncHandle h, const Key &k, const Args &, Reading &out)
{
    int32_t v = 0;
    const ZorEncResult r = ZorEncGetDIState(h, k.number, &v);
    out = {Signed(v)};
    return r;
}

ZorEncResult GetPositionMicrometer(ZorEncHandle h, const Key &k, const Args &a, Reading &out)
{
    int32_t v = 0;
    const ZorEncResult r =
        ZorEncGetEncoderPositionMicrometer(h, k.number, I32(a[0]), a[1].real, &v);
    out = {Signed(v)};
    return r;
}

ZorEncResult GetPositionForAnalog(ZorEncHandle h, const Key &k, const Args &a, Reading &out)
{
    int32_t v = 0;
    const ZorEncResult r = ZorEncGetEncoderPositionForAnalog(h, k.number, I32(a[0]), a[1].real, &v);
    out = {Signed(v)};
    return r;
}

} // namespace

Reading ControlsReading(uint32_t word)
{
    Reading out = {Hex("word", word)};
    const char *names[] = {"nibble0", "nibble1", "nibble2", "nibble3",
                           "nibble4", "nibble5", "nibble6"};
    for (int n = 0; n < 7; ++n) {
        out.push_back(Field{names[n], FieldKind::kUnsigned, (word >> (4 * n)) & 0xFu, 0});
    }
    out.push_back(Field{"bit30", FieldKind::kUnsigned, (word >> 30) & 1u, 0});
    out.push_back(Field{"bit31", FieldKind::kUnsigned, (word >> 31) & 1u, 0});
    return out;
}

namespace {

ZorEncResult GetControls(ZorEncHandle h, const Key &k, const Args &, Reading &out)
{
    TriggerControls c;
    std::memset(&c, 0, sizeof c);
    const ZorEncResult r = ZorEncGetTriggerControls(h, k.number, &c);
    uint32_t word = 0;
    static_assert(sizeof c == sizeof word, "the control word is 32 bits");
    std::memcpy(&word, &c, sizeof word);
    out = ControlsReading(word);
    return r;
}

// One argument: the whole word; nine: the fields, packed by the library.
ZorEncResult SetControls(ZorEncHandle h, const Key &k, const Args &a)
{
    if (a.size() == 1) {
        const uint32_t word = static_cast<uint32_t>(a[0].integer);
        TriggerControls c;
        std::memcpy(&c, &word, sizeof c);
        return ZorEncSetTriggerControls(h, k.number, &c);
    }
    return ZorEncSetTriggerControlsEachTrigger(h, k.number, I32(a[0]), I32(a[1]), I32(a[2]),
                                               I32(a[3]), I32(a[4]), I32(a[5]), I32(a[6]),
                                               I32(a[7]), I32(a[8]));
}

ZorEncResult GetGenerator(ZorEncHandle h, const Key &k, const Args &, Reading &out)
{
    int32_t upper = 0;
    int32_t lower = 0;
    const ZorEncResult r = ZorEncGetTriggerGenerator(h, k.number, &upper, &lower);
    out = {Field{"upper", FieldKind::kUnsigned, upper, 0},
           Field{"lower", FieldKind::kUnsigned, lower, 0}};
    return r;
}

ZorEncResult SetGenerator(ZorEncHandle h, const Key &k, const Args &a)
{
    return ZorEncSetTriggerGenerator(h, k.number, I32(a[0]), I32(a[1]));
}

ZorEncResult GetRoll(ZorEncHandle h, const Key &k, const Args &, Reading &out)
{
    int32_t v = 0;
    const ZorEncResult r = ZorEncGetTriggerGeneratorRoll(h, k.number, &v);
    out = {Hex("value", static_cast<uint32_t>(v))};
    return r;
}

// ZorEncGetTriggerPulseWidth hands its result code back as a double.
ZorEncResult GetPulseWidth(ZorEncHandle h, const Key &k, const Args &, Reading &out)
{
    double v = 0;
    const double r = ZorEncGetTriggerPulseWidth(h, k.number, &v);
    out = {Real(v)};
    return static_cast<ZorEncResult>(r);
}

ZorEncResult SetPositionMicrometer0(ZorEncHandle h, const Key &k, const Args &a)
{
    return ZorEncSetTriggerPositionMicrometer0(h, k.number, I32(a[0]), I32(a[1]), a[2].real, 1);
}

ZorEncResult SetPositionMicrometer1(ZorEncHandle h, const Key &k, const Args &a)
{
    return ZorEncSetTriggerPositionMicrometer1(h, k.number, I32(a[0]), I32(a[1]), a[2].real, 1);
}

ZorEncResult GetIndexPosition(ZorEncHandle h, const Key &k, const Args &, Reading &out)
{
    int32_t v = 0;
    const ZorEncResult r = ZorEncGetIndexTriggerPosition(h, k.number, k.index, &v);
    out = {Signed(v)};
    return r;
}

ZorEncResult SetIndexPosition(ZorEncHandle h, const Key &k, const Args &a)
{
    return ZorEncSetIndexTriggerPosition(h, k.number, k.index, I32(a[0]));
}

constexpr Scope kB = Scope::kBoard;
constexpr Scope kC = Scope::kChannel;

// clang-format off
const std::vector<Setting> kSettings = {
    // Encoder channels.
    {"encoder-position", kC, "", "", nullptr, nullptr, nullptr,
     GetChannelInt<ZorEncGetEncoderPosition>, nullptr,
     "position counter, in counts (clear it with: clear encoder-position CH)"},
    {"encoder-position-micrometer", kC, "ip", "MULTIPLIER PERIOD", nullptr, nullptr, nullptr,
     GetPositionMicrometer, nullptr,
     "position in micrometres: counts x PERIOD / MULTIPLIER (MULTIPLIER 2 or 4, else 1)"},
    {"encoder-position-for-analog", kC, "ip", "MULTIPLIER PERIOD", nullptr, nullptr, nullptr,
     GetPositionForAnalog, nullptr,
     "position of an analog encoder: counts x PERIOD / MULTIPLIER (MULTIPLIER held to 8..1023)"},
    {"encoder-direction", kC, "", "", "w", "DIRECTION", nullptr,
     GetChannelInt<ZorEncGetEncoderDirection>, SetChannelInt<ZorEncSetEncoderDirection>,
     "counting direction (the same register as encoder-inversion)", true},
    {"encoder-inversion", kC, "", "", "w", "INVERSION", nullptr,
     GetChannelInt<ZorEncGetEncoderInversion>, SetChannelInt<ZorEncSetEncoderInversion>,
     "inversion (the same register as encoder-direction)"},
    {"encoder-multi-for-analog", kC, "", "", "w", "MULTIPLIER", nullptr,
     GetChannelInt<ZorEncGetEncoderMultiForAnalog>, SetChannelInt<ZorEncSetEncoderMultiForAnalog>,
     "multiplier for analog encoders", true},
    {"encoder-reset-value", kC, "", "", "i", "POSITION", nullptr,
     GetChannelInt<ZorEncGetEncoderResetValue>, SetChannelInt<ZorEncSetEncoderResetValue>,
     "position that a clear of the position counter sets, in counts", true},
    {"virtual-encoder-frequency", kC, "", "", "w", "FREQUENCY", nullptr,
     GetChannelInt<ZorEncGetVirtualEncoderFrequency>,
     SetChannelInt<ZorEncSetVirtualEncoderFrequency>,
     "frequency of the channel's virtual encoder (0 stops it)", true},

    // Board-wide settings and versions.
    {"encoder-resolution", kB, "", "", "r", "RESOLUTION", nullptr,
     GetBoardReal<ZorEncGetEncoderResolution>, SetBoardReal<ZorEncSetEncoderResolution>,
     "encoder resolution, kept in thousandths (0 to 4294967.295)", true},
    {"firmware-version", kB, "", "", nullptr, nullptr, nullptr,
     GetBoardReal<ZorEncGetFirmwareVersion>, nullptr, "firmware version"},
    {"logic-version", kB, "", "", nullptr, nullptr, nullptr,
     GetBoardReal<ZorEncGetLogicVersion>, nullptr, "logic version"},
    {"positive-run", kB, "", "", "w", "RUN", nullptr,
     GetBoardInt<ZorEncGetPositiveRun>, SetBoardInt<ZorEncSetPositiveRun>, "positive run", true},
    {"negative-run", kB, "", "", "w", "RUN", nullptr,
     GetBoardInt<ZorEncGetNegativeRun>, SetBoardInt<ZorEncSetNegativeRun>, "negative run", true},
    {"trg-mode", kB, "", "", "w", "MODE", nullptr,
     GetBoardInt<ZorEncGetTrgMode>, SetBoardInt<ZorEncSetTrgMode>, "trigger mode", true},

    // Trigger channels.
    {"trigger-controls", kC, "", "", "w|nnnnnnnbb",
     "WORD|N0 N1 N2CODE N3 N4 N5 N6 BIT30 BIT31", nullptr, GetControls, SetControls,
     "control word: set the whole WORD, or its fields (N2CODE 2 stores 1, 4 stores 2, "
     "others 0; nibble2 reads back only as 2 or 4, else 0)", true},
    {"trigger-generator", kC, "", "", "hh", "UPPER LOWER", nullptr, GetGenerator, SetGenerator,
     "trigger generator as its upper and lower 16-bit halves", true},
    {"trigger-generator-roll", kC, "", "", "w", "WORD", nullptr, GetRoll,
     SetChannelInt<ZorEncSetTriggerGeneratorRoll>, "trigger generator as one 32-bit word"},
    {"trigger-output-mode", kC, "", "", "w", "MODE", nullptr,
     GetChannelInt<ZorEncGetTriggerOutputMode>, SetChannelInt<ZorEncSetTriggerOutputMode>,
     "trigger output mode", true},
    {"trigger-position0", kC, "", "", "i", "POSITION", nullptr,
     GetChannelInt<ZorEncGetTriggerPosition0>, SetChannelInt<ZorEncSetTriggerPosition0>,
     "first trigger position, in counts", true},
    {"trigger-position1", kC, "", "", "i", "POSITION", nullptr,
     GetChannelInt<ZorEncGetTriggerPosition1>, SetChannelInt<ZorEncSetTriggerPosition1>,
     "second trigger position, in counts", true},
    {"trigger-position0-micrometer", kC, "", "", "iip", "MICROMETRES MULTIPLIER PERIOD",
     "trigger-position0", nullptr, SetPositionMicrometer0,
     "sets trigger-position0 from micrometres: MICROMETRES x MULTIPLIER / PERIOD counts"},
    {"trigger-position1-micrometer", kC, "", "", "iip", "MICROMETRES MULTIPLIER PERIOD",
     "trigger-position1", nullptr, SetPositionMicrometer1,
     "sets trigger-position1 from micrometres: MICROMETRES x MULTIPLIER / PERIOD counts"},
    {"trigger-pulse-width", kC, "", "", "c", "WIDTH", nullptr, GetPulseWidth,
     SetChannelReal<ZorEncSetTriggerPulseWidth>, "trigger pulse width, kept in hundredths", true},
    {"trigger-delay", kC, "", "", "c", "DELAY", nullptr,
     GetChannelReal<ZorEncGetTriggerDelay>, SetChannelReal<ZorEncSetTriggerDelay>,
     "trigger delay, kept in hundredths (1.5 is stored as 150)", true},
    {"index-trigger-last-index", kC, "", "", "w", "INDEX", nullptr,
     GetChannelInt<ZorEncGetIndexTriggerLastIndex>,
     SetChannelInt<ZorEncSetIndexTriggerLastIndex>, "last index of the index-trigger table", true},
    {"index-trigger-position", Scope::kChannelIndex, "", "", "i", "POSITION", nullptr,
     GetIndexPosition, SetIndexPosition,
     "position of index trigger INDEX (0..239), in counts", true},

    // Counters and inputs, read only.
    {"trigger-count", kC, "", "", nullptr, nullptr, nullptr,
     GetChannelInt<ZorEncGetTriggerCount, true>, nullptr,
     "triggers fired (clear with: clear trigger-count CH)"},
    {"trigger-error-count", kC, "", "", nullptr, nullptr, nullptr,
     GetChannelInt<ZorEncGetTriggerErrorCount, true>, nullptr,
     "trigger errors (clear with: clear trigger-error-count CH)"},
    {"di-state", Scope::kInput, "", "", nullptr, nullptr, nullptr, GetDiState, nullptr,
     "state of digital input INPUT (0..6): 0 or 1"},
    {"di-count", Scope::kInput, "", "", nullptr, nullptr, nullptr, GetDiCount, nullptr,
     "count of digital input INPUT (0..6) (clear with: clear di-count INPUT)"},
};
// clang-format on

} // namespace

const std::vector<Setting> &Settings()
{
    return kSettings;
}

const Setting *FindSetting(const std::string &name)
{
    for (const Setting &s : kSettings) {
        if (name == s.name) {
            return &s;
        }
    }
    return nullptr;
}

Arg ParseArg(char type, const std::string &text, const std::string &what)
{
    Arg a;
    switch (type) {
    case 'i':
        a.integer = ParseInteger(text, what, INT32_MIN, INT32_MAX);
        break;
    case 'w':
        a.integer = ParseWord(text, what);
        break;
    case 'h':
        a.integer = ParseInteger(text, what, 0, 0xFFFF);
        break;
    case 'n':
        a.integer = ParseInteger(text, what, 0, 15);
        break;
    case 'b':
        a.integer = ParseInteger(text, what, 0, 1);
        break;
    case 'c':
    case 'r': {
        if (!ParseDecimal(text, Places(type), a.integer, a.exact)) {
            throw UsageFailure("'" + text + "' is not a valid " + what + " (expected a number)");
        }
        const bool negative = !text.empty() && text[0] == '-';
        if (type == 'c' && (a.integer < -INT32_MAX || a.integer > INT32_MAX)) {
            throw UsageFailure(what + " " + text +
                               " is out of range (it is kept in hundredths in 32 bits: "
                               "-21474836.47..21474836.47)");
        }
        if (type == 'r' &&
            (a.integer > INT64_C(0xFFFFFFFF) || (negative && (a.integer != 0 || !a.exact)))) {
            throw UsageFailure(what + " " + text + " is out of range 0..4294967.295");
        }
        a.real = MiddleOf(a.integer, Places(type));
        return a;
    }
    case 'p':
        a.real = ParseReal(text, what);
        if (a.real == 0) {
            throw UsageFailure(what + " must not be 0");
        }
        return a;
    default:
        throw Failure("internal", "unknown argument type");
    }
    a.real = static_cast<double>(a.integer);
    return a;
}

int Places(char type)
{
    return type == 'c' ? 2 : type == 'r' ? 3 : 0;
}

std::string Subject(const Setting &s, const Key &key)
{
    std::string text = s.name;
    switch (s.scope) {
    case Scope::kBoard:
        break;
    case Scope::kChannel:
        text += " of channel " + std::to_string(key.number);
        break;
    case Scope::kChannelIndex:
        text +=
            " of channel " + std::to_string(key.number) + ", index " + std::to_string(key.index);
        break;
    case Scope::kInput:
        text += " of input " + std::to_string(key.number);
        break;
    }
    return text;
}

} // namespace zorenc::companion
