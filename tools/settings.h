// Every setting and counter the library exposes, as one table that get, set,
// help and the tests share: its kebab-case name, what it is keyed by, the
// arguments it takes, and the library calls behind it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zorenc.h"

namespace zortool {

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

// A parsed argument: integer and real form (see the type letters below).
struct Arg {
    int64_t integer = 0;
    double real = 0;
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
};

const std::vector<Setting> &Settings();
const Setting *FindSetting(const std::string &name);

// Parses one argument of the given type letter; "what" names it in messages.
Arg ParseArg(char type, const std::string &text, const std::string &what);

} // namespace zortool
