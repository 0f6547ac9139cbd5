#include "setting_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "device/registers.h"
#include "failure.h"
#include "json.h"
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

// The kinds of value the settings take.
ValueSpec Int32(const char *name)
{
    return {name, ValueKind::kInteger, INT32_MIN, INT32_MAX};
}
ValueSpec Word(const char *name)
{
    return {name, ValueKind::kWord};
}
ValueSpec Range(const char *name, int64_t min, int64_t max)
{
    return {name, ValueKind::kInteger, min, max};
}
ValueSpec Hundredths(const char *name)
{
    // The count must fit the register's 32 signed bits either way round.
    return {name, ValueKind::kScaled, -INT32_MAX, INT32_MAX, 2};
}
ValueSpec Thousandths(const char *name)
{
    return {name, ValueKind::kScaled, 0, UINT32_MAX, 3};
}
ValueSpec Period(const char *name)
{
    return {name, ValueKind::kPeriod};
}

const ValueForm kNone = {};
const ValueForm kMultiplierPeriod = {Int32("MULTIPLIER"), Period("PERIOD")};
const ValueForm kMicrometres = {Int32("MICROMETRES"), Int32("MULTIPLIER"), Period("PERIOD")};
const ValueForm kControlFields = {Range("N0", 0, 15), Range("N1", 0, 15),   Range("N2CODE", 0, 15),
                                  Range("N3", 0, 15), Range("N4", 0, 15),   Range("N5", 0, 15),
                                  Range("N6", 0, 15), Range("BIT30", 0, 1), Range("BIT31", 0, 1)};

std::vector<ValueForm> One(ValueSpec desc)
{
    return {ValueForm{desc}};
}
const std::vector<ValueForm> kReadOnly = {};

// clang-format off
const std::vector<Setting> kSettings = {
    // Encoder channels.
    {"encoder-position", kC, kNone, kReadOnly, nullptr,
     GetChannelInt<ZorEncGetEncoderPosition>, nullptr,
     "the channel's position counter, in counts, -2147483648..2147483647 "
     "(clear with: clear encoder-position CH)"},
    {"encoder-position-micrometer", kC, kMultiplierPeriod, kReadOnly, nullptr,
     GetPositionMicrometer, nullptr,
     "the position in micrometres: counts x PERIOD / MULTIPLIER, PERIOD being the micrometres "
     "of MULTIPLIER counts (MULTIPLIER 2 or 4; any other counts as 1)"},
    {"encoder-position-for-analog", kC, kMultiplierPeriod, kReadOnly, nullptr,
     GetPositionForAnalog, nullptr,
     "the position of an analog encoder in PERIOD's unit: counts x PERIOD / MULTIPLIER "
     "(MULTIPLIER held to 8..1023)"},
    {"encoder-direction", kC, kNone, One(Word("DIRECTION")), nullptr,
     GetChannelInt<ZorEncGetEncoderDirection>, SetChannelInt<ZorEncSetEncoderDirection>,
     "counting direction: 0 counts up; other values are the board's (the simulated board "
     "counts down); the register of encoder-inversion too", true},
    {"encoder-inversion", kC, kNone, One(Word("INVERSION")), nullptr,
     GetChannelInt<ZorEncGetEncoderInversion>, SetChannelInt<ZorEncSetEncoderInversion>,
     "inversion: the encoder-direction register under its other name"},
    {"encoder-multi-for-analog", kC, kNone, One(Range("MULTIPLIER", 0, INT32_MAX)), nullptr,
     GetChannelInt<ZorEncGetEncoderMultiForAnalog>, SetChannelInt<ZorEncSetEncoderMultiForAnalog>,
     "the channel's multiplier for analog encoders, a whole number of the board's, "
     "not negative", true},
    {"encoder-reset-value", kC, kNone, One(Int32("POSITION")), nullptr,
     GetChannelInt<ZorEncGetEncoderResetValue>, SetChannelInt<ZorEncSetEncoderResetValue>,
     "the position, in counts, that a clear of the position counter sets", true},
    {"virtual-encoder-frequency", kC, kNone, One(Range("FREQUENCY", 0, INT32_MAX)), nullptr,
     GetChannelInt<ZorEncGetVirtualEncoderFrequency>,
     SetChannelInt<ZorEncSetVirtualEncoderFrequency>,
     "frequency of the channel's virtual encoder, in the board's unit (the simulated board "
     "counts this many per second); 0 stops it", true},

    // Board-wide settings and versions.
    {"encoder-resolution", kB, kNone, One(Thousandths("RESOLUTION")), nullptr,
     GetBoardReal<ZorEncGetEncoderResolution>, SetBoardReal<ZorEncSetEncoderResolution>,
     "encoder resolution, in the board's unit, kept in thousandths of it (1.005 is stored "
     "as 1005)", true},
    {"firmware-version", kB, kNone, kReadOnly, nullptr,
     GetBoardReal<ZorEncGetFirmwareVersion>, nullptr,
     "firmware version, two decimal places, 0..655.35"},
    {"logic-version", kB, kNone, kReadOnly, nullptr,
     GetBoardReal<ZorEncGetLogicVersion>, nullptr,
     "logic version, two decimal places, 0..42949672.95"},
    {"positive-run", kB, kNone, One(Word("RUN")), nullptr,
     GetBoardInt<ZorEncGetPositiveRun>, SetBoardInt<ZorEncSetPositiveRun>,
     "positive run, in the board's unit: the board gives it its meaning, the library passes "
     "it through unchanged", true},
    {"negative-run", kB, kNone, One(Word("RUN")), nullptr,
     GetBoardInt<ZorEncGetNegativeRun>, SetBoardInt<ZorEncSetNegativeRun>,
     "negative run, in the board's unit: the board gives it its meaning, the library passes "
     "it through unchanged", true},
    {"trg-mode", kB, kNone, One(Word("MODE")), nullptr,
     GetBoardInt<ZorEncGetTrgMode>, SetBoardInt<ZorEncSetTrgMode>,
     "trigger mode of the board, a code the board defines (the library passes it through "
     "unchanged)", true},

    // Trigger channels.
    {"trigger-controls", kC, kNone, {ValueForm{Word("WORD")}, kControlFields}, nullptr,
     GetControls, SetControls,
     "control word: nibbles 0-6 (bits 0-27) and bits 30 and 31, whose meanings the board "
     "defines; set the whole WORD, or its fields (N2CODE 2 stores 1, 4 stores 2, others 0; "
     "nibble2 reads back only as 2 or 4, else 0)", true},
    {"trigger-generator", kC, kNone, {ValueForm{Range("UPPER", 0, 0xFFFF), Range("LOWER", 0, 0xFFFF)}},
     nullptr, GetGenerator, SetGenerator,
     "trigger generator as its upper (bits 16-31) and lower (bits 0-15) halves, values the "
     "board defines", true},
    {"trigger-generator-roll", kC, kNone, One(Word("WORD")), nullptr, GetRoll,
     SetChannelInt<ZorEncSetTriggerGeneratorRoll>,
     "trigger generator as one 32-bit word (the register of trigger-generator)"},
    {"trigger-output-mode", kC, kNone, One(Word("MODE")), nullptr,
     GetChannelInt<ZorEncGetTriggerOutputMode>, SetChannelInt<ZorEncSetTriggerOutputMode>,
     "trigger output mode, a code the board defines (the library passes it through "
     "unchanged)", true},
    {"trigger-position0", kC, kNone, One(Int32("POSITION")), nullptr,
     GetChannelInt<ZorEncGetTriggerPosition0>, SetChannelInt<ZorEncSetTriggerPosition0>,
     "first trigger position, in counts of the channel's encoder", true},
    {"trigger-position1", kC, kNone, One(Int32("POSITION")), nullptr,
     GetChannelInt<ZorEncGetTriggerPosition1>, SetChannelInt<ZorEncSetTriggerPosition1>,
     "second trigger position, in counts of the channel's encoder", true},
    {"trigger-position0-micrometer", kC, kNone, {kMicrometres}, "trigger-position0",
     nullptr, SetPositionMicrometer0,
     "sets trigger-position0 from micrometres: MICROMETRES x MULTIPLIER / PERIOD counts, "
     "PERIOD being the micrometres of MULTIPLIER counts"},
    {"trigger-position1-micrometer", kC, kNone, {kMicrometres}, "trigger-position1",
     nullptr, SetPositionMicrometer1,
     "sets trigger-position1 from micrometres: MICROMETRES x MULTIPLIER / PERIOD counts, "
     "PERIOD being the micrometres of MULTIPLIER counts"},
    {"trigger-pulse-width", kC, kNone, One(Hundredths("WIDTH")), nullptr, GetPulseWidth,
     SetChannelReal<ZorEncSetTriggerPulseWidth>,
     "trigger pulse width, in the board's unit, kept in hundredths of it (1.5 is stored as "
     "150)", true},
    {"trigger-delay", kC, kNone, One(Hundredths("DELAY")), nullptr,
     GetChannelReal<ZorEncGetTriggerDelay>, SetChannelReal<ZorEncSetTriggerDelay>,
     "trigger delay, in the board's unit, kept in hundredths of it (1.5 is stored as 150)",
     true},
    {"index-trigger-last-index", kC, kNone, One(Range("INDEX", 0, BOARD_INDEX_TRIGGERS - 1)),
     nullptr, GetChannelInt<ZorEncGetIndexTriggerLastIndex>,
     SetChannelInt<ZorEncSetIndexTriggerLastIndex>,
     "the last index of the channel's index-trigger table in use", true},
    {"index-trigger-position", Scope::kChannelIndex, kNone, One(Int32("POSITION")), nullptr,
     GetIndexPosition, SetIndexPosition,
     "position of index trigger INDEX (0..239), in counts of the channel's encoder", true},

    // Counters and inputs, read only.
    {"trigger-count", kC, kNone, kReadOnly, nullptr,
     GetChannelInt<ZorEncGetTriggerCount, true>, nullptr,
     "triggers fired on the channel, a count, 0..4294967295 "
     "(clear with: clear trigger-count CH)"},
    {"trigger-error-count", kC, kNone, kReadOnly, nullptr,
     GetChannelInt<ZorEncGetTriggerErrorCount, true>, nullptr,
     "trigger errors of the channel, a count the board keeps, 0..4294967295 "
     "(clear with: clear trigger-error-count CH)"},
    {"di-state", Scope::kInput, kNone, kReadOnly, nullptr, GetDiState, nullptr,
     "state of digital input INPUT (0..6): 1 on, 0 off"},
    {"di-count", Scope::kInput, kNone, kReadOnly, nullptr, GetDiCount, nullptr,
     "the board's counter of digital input INPUT (0..6), 0..4294967295 (the simulated board "
     "counts rising edges) (clear with: clear di-count INPUT)"},
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

const Setting &Setting::ReadBack() const
{
    return readBack != nullptr ? *FindSetting(readBack) : *this;
}

namespace {

const char *UnitName(int places)
{
    return places == 2 ? "hundredths" : "thousandths";
}

} // namespace

std::string ScaledText(int64_t count, int places)
{
    std::string digits = std::to_string(count < 0 ? -count : count);
    if (places > 0) {
        digits.insert(
            0, static_cast<size_t>(std::max(0, places + 1 - static_cast<int>(digits.size()))), '0');
        digits.insert(digits.size() - static_cast<size_t>(places), ".");
        digits.erase(digits.find_last_not_of('0') + 1);
        if (digits.back() == '.') {
            digits.pop_back();
        }
    }
    return (count < 0 ? "-" : "") + digits;
}

std::string RangeText(const ValueSpec &desc)
{
    switch (desc.kind) {
    case ValueKind::kInteger:
        return std::to_string(desc.min) + ".." + std::to_string(desc.max);
    case ValueKind::kWord:
        return "any 32-bit word, " + std::to_string(INT32_MIN) + ".." + std::to_string(UINT32_MAX);
    case ValueKind::kScaled:
        return ScaledText(desc.min, desc.places) + ".." + ScaledText(desc.max, desc.places) +
               ", kept in " + UnitName(desc.places);
    case ValueKind::kPeriod:
        return "any number but 0";
    }
    return "";
}

std::string ValuesText(const Setting &s)
{
    std::string text;
    for (const ValueForm &form : s.setForms) {
        std::string part;
        // Neighbours with the same range share it: "N0 N1 ... N6: 0..15".
        for (size_t i = 0; i < form.size();) {
            size_t j = i + 1;
            std::string names = form[i].name;
            while (j < form.size() && RangeText(form[j]) == RangeText(form[i])) {
                names += " " + std::string(form[j++].name);
            }
            part += (part.empty() ? "" : "; ") + names + ": " + RangeText(form[i]);
            i = j;
        }
        text += (text.empty() ? "" : "; or ") + part;
    }
    return text;
}

std::string StoredText(const ValueSpec &desc, const std::string &written, const Arg &arg,
                       const std::string &what)
{
    if (arg.exact || desc.kind != ValueKind::kScaled) {
        return "";
    }
    return written + " is stored as " + ScaledText(arg.integer, desc.places) + " (" + what +
           " is kept in " + UnitName(desc.places) + ")";
}

Arg ParseValue(const ValueSpec &desc, const std::string &text, const std::string &given)
{
    const std::string what = given.empty() ? std::string(desc.name) : given;
    Arg a;
    switch (desc.kind) {
    case ValueKind::kInteger:
        a.integer = ParseInteger(text, what, desc.min, desc.max);
        break;
    case ValueKind::kWord:
        a.integer = ParseWord(text, what);
        break;
    case ValueKind::kScaled: {
        if (!ParseDecimal(text, desc.places, a.integer, a.exact)) {
            throw UsageFailure("'" + text + "' is not a valid " + what + " (expected a number)");
        }
        // Below a range that starts at 0 is anything negative but an exact 0.
        const bool negative = !text.empty() && text[0] == '-' && (a.integer != 0 || !a.exact);
        if (a.integer < desc.min || a.integer > desc.max || (desc.min >= 0 && negative)) {
            throw UsageFailure(
                what + " " + text + " is out of range " + ScaledText(desc.min, desc.places) + ".." +
                ScaledText(desc.max, desc.places) + " (kept in " + UnitName(desc.places) + ")");
        }
        a.real = MiddleOf(a.integer, desc.places);
        return a;
    }
    case ValueKind::kPeriod:
        a.real = ParseReal(text, what);
        if (a.real == 0) {
            throw UsageFailure(what + " must not be 0");
        }
        return a;
    }
    a.real = static_cast<double>(a.integer);
    return a;
}

std::string FormNames(const ValueForm &form)
{
    std::string names;
    for (const ValueSpec &desc : form) {
        names += (names.empty() ? "" : " ") + std::string(desc.name);
    }
    return names;
}

std::string FieldText(const Field &field)
{
    switch (field.kind) {
    case FieldKind::kHex:
        return FormatHex(static_cast<uint32_t>(field.integer));
    case FieldKind::kReal:
        return FormatReal(field.real);
    default:
        return std::to_string(field.integer);
    }
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
