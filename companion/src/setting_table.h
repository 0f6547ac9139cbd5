// Every setting and counter the library exposes, as one table that every
// front end shares (the tool's get, set and help, configuration files, the
// monitor, the C interface and through it the bindings): its kebab-case name,
// what it is keyed by, the values it takes as typed specifications, the
// library calls behind it, and whether a configuration file holds it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zorenc.h"

namespace zorenc::companion {

enum class Scope {
    kBoard,        // no key
    kChannel,      // channel 0..3
    kChannelIndex, // channel 0..3, index 0..239
    kInput,        // input 0..6
};

enum class FieldKind { kSigned, kUnsigned, kHex, kReal };

// One value read from the board.
struct Field {
    std::string name; // "value" for single-valued settings
    FieldKind kind;
    int64_t integer;
    double real;
};
using Reading = std::vector<Field>;

struct Key {
    int32_t number = -1; // channel, or input for Scope::kInput
    int32_t index = -1;  // index-trigger number
};

// How a value is written and which values it takes.
enum class ValueKind {
    kInteger, // a whole number from min to max, decimal or 0x hexadecimal
    kWord,    // any 32-bit word, written signed or unsigned, kept as its bits
    kScaled,  // a decimal kept as a count of 10^-places units, min to max counts
    kPeriod,  // any finite number but 0
};

// One value of a setting: its name in usage lines and messages ("DELAY") and
// what it takes.
struct ValueSpec {
    const char *name;
    ValueKind kind;
    int64_t min = 0;
    int64_t max = 0;
    int places = 0; // kScaled: 2 for hundredths, 3 for thousandths
};
// The values of one way to write a setting, in order.
using ValueForm = std::vector<ValueSpec>;

// A value as checked. For kScaled, integer is the count the board will hold
// (the decimal as written, truncated: 0.29 is 29 hundredths) and real the
// value that makes the library's setter store exactly that count; exact is
// false when digits beyond the unit were dropped. For the others real is
// the number itself.
struct Arg {
    int64_t integer = 0;
    double real = 0;
    bool exact = true;
};
using Args = std::vector<Arg>;

using Getter = ZorEncResult (*)(ZorEncHandle, const Key &, const Args &extra, Reading &out);
using Setter = ZorEncResult (*)(ZorEncHandle, const Key &, const Args &values);

struct Setting {
    const char *name;
    Scope scope;
    ValueForm getArgs;               // extra arguments of a read, after the key
    std::vector<ValueForm> setForms; // empty: read only; else the ways to write it
    const char *readBack;            // setting that a write reads back; nullptr: this one
    Getter get;                      // nullptr: write only
    Setter set;
    const char *help;
    // Kept in the board's flash and held by configuration files. Of two
    // names for one register only one is saved.
    bool saved = false;

    bool Readable() const { return get != nullptr; }
    bool Writable() const { return !setForms.empty(); }
    // The setting a write reads back.
    const Setting &ReadBack() const;
};

const std::vector<Setting> &Settings();
const Setting *FindSetting(const std::string &name);

// Checks one value written as text (a decimal, 0x hexadecimal for integers
// and words); "what" names it in messages (the value's own name when empty).
// Throws a usage Failure for what the value cannot take.
Arg ParseValue(const ValueSpec &desc, const std::string &text, const std::string &what = {});

// The names of a form's values, space separated: "UPPER LOWER".
std::string FormNames(const ValueForm &form);

// What a value takes: "0..239", "-21474836.47..21474836.47, kept in
// hundredths", "any 32-bit word, -2147483648..4294967295", "any number but 0".
std::string RangeText(const ValueSpec &desc);
// What each of a setting's values takes, form by form: "UPPER LOWER:
// 0..65535"; empty for a read-only setting.
std::string ValuesText(const Setting &s);

// A count of 10^-places units as a decimal: -2147483647 hundredths is
// -21474836.47.
std::string ScaledText(int64_t count, int places);

// What the board is given when a decimal has digits beyond its unit:
// "0.299 is stored as 0.29 (trigger-delay is kept in hundredths)", what
// naming the value; empty when the value is stored as written.
std::string StoredText(const ValueSpec &desc, const std::string &written, const Arg &arg,
                       const std::string &what);

// The fields that a read shows for a trigger-control word.
Reading ControlsReading(uint32_t word);

// "trigger-delay of channel 2", for messages.
std::string Subject(const Setting &s, const Key &key);

// A field's value as people read it: hexadecimal words, decimals in their
// shortest form, integers.
std::string FieldText(const Field &field);

} // namespace zorenc::companion
