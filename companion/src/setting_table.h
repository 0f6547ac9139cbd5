// Every setting and counter the library exposes, as one table that the
// tool's get, set and help, configuration files, the monitor and the
// companion library's C interface share: its kebab-case name, what it is
// keyed by, the arguments it takes and how they are checked, the library
// calls behind it, and whether a configuration file holds it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zorenc.h"

namespace zorenc::companion {

enum class Scope {
    kBoard,        // no key
    kChannel,      // CH 0..3
    kChannelIndex, // CH 0..3, INDEX 0..239
    kInput,        // INPUT 0..6
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

// A parsed argument: integer and real form (see the type letters below). For
// the scaled letters c and r, integer is the count the board will hold (the
// decimal as written, truncated: 0.29 is 29 hundredths) and real the value
// that makes the library's setter store exactly that count; exact is false
// when digits beyond the unit were dropped.
struct Arg {
    int64_t integer = 0;
    double real = 0;
    bool exact = true;
};
using Args = std::vector<Arg>;

using Getter = ZorEncResult (*)(ZorEncHandle, const Key &, const Args &extra, Reading &out);
using Setter = ZorEncResult (*)(ZorEncHandle, const Key &, const Args &values);

// Argument type letters, one per argument:
//   i  signed 32-bit integer          w  32-bit word, signed or unsigned
//   h  16-bit half, 0..65535          n  nibble, 0..15
//   b  bit, 0 or 1                    c  hundredths: a number whose x100 fits 32 bits
//   r  resolution: 0 to below 4294967.296
//   p  period: any number but 0
struct Setting {
    const char *name;
    Scope scope;
    const char *getTypes; // extra arguments of get after the key
    const char *getNames; // their names, space separated
    const char *setTypes; // nullptr: read-only; "|" separates alternative forms
    const char *setNames; // names of the values, "|" between the forms
    const char *readBack; // setting that set reads back; nullptr: this one
    Getter get;           // nullptr: write-only
    Setter set;
    const char *help;
    // Kept in the board's flash and held by configuration files. Of two
    // names for one register only one is saved.
    bool saved = false;
};

const std::vector<Setting> &Settings();
const Setting *FindSetting(const std::string &name);

// Parses one argument of the given type letter; "what" names it in messages.
// Throws a usage Failure for what the setting cannot take.
Arg ParseArg(char type, const std::string &text, const std::string &what);

// Decimal places of a scaled type letter (c: 2, r: 3), 0 for the others.
int Places(char type);

// The fields that get shows for a trigger-control word.
Reading ControlsReading(uint32_t word);

// "trigger-delay of channel 2", for messages.
std::string Subject(const Setting &s, const Key &key);

// Throws a board Failure "<what>: <meaning> (<code name>)", with "result",
// unless result is ZORENC_OK.
void CheckResult(ZorEncResult result, const std::string &what);

} // namespace zorenc::companion
