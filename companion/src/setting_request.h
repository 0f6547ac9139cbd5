// One path for every request on one setting, whichever front end it comes
// from (the tool's get and set, the monitor's settings endpoints, the C
// interface's ZorToolsGetSetting and ZorToolsSetSetting): parse, check,
// encode, write, read back, answer. Everything is checked before the board
// is asked anything; the messages are the same everywhere.
#pragma once

#include <vector>

#include "json.h"
#include "setting_table.h"
#include "zorenc.h"

namespace zorenc::companion {

// A request checked in full.
struct SettingRequest {
    const Setting *setting = nullptr;
    std::vector<Key> keys; // several for a read of every channel or input
    Args args;             // a read's extra arguments, or the values to write
    bool every = false;    // no channel or input was named: all of them
    // A write's values that the board cannot hold as written, and what it is
    // given instead: "0.299 is stored as 0.29 (DELAY is kept in hundredths)".
    std::string note;
};

// A read: {"setting": NAME, "channel": CH, "index": I, "input": N, "args":
// [...]} with the keys the setting needs. A read of a channel's or an
// input's setting that takes no arguments reads them all when none is named.
// Keys, arguments and values may be JSON numbers or decimal strings (strings
// keep exact decimals and 0x hexadecimal). Throws a usage Failure.
SettingRequest ParseRead(const Json &request);
// A write: the same keys and "values": [...] (one of the setting's forms),
// or "value" for a single value.
SettingRequest ParseWrite(const Json &request);

struct SettingReading {
    Key key;
    Reading reading;
};

// Reads every key of a read request; a board Failure when the library fails.
std::vector<SettingReading> ReadSetting(ZorEncHandle handle, const SettingRequest &request);
// Writes, then reads the written register back (the setting's ReadBack()),
// since the board may hold something else than was asked (0.299 is kept as
// 29 hundredths).
SettingReading WriteSetting(ZorEncHandle handle, const SettingRequest &request);

// Reads one setting at one key; a board Failure when the library fails.
Reading ReadOne(ZorEncHandle handle, const Setting &s, const Key &key, const Args &extra = {});

// {"setting": NAME, "channel"|"input": N, "index": I, FIELD: VALUE...}, as
// `zorenc get --json` prints a reading.
Json ReadingObject(const Setting &s, const SettingReading &reading);

// The answer to a write: the ReadingObject of what the board holds after
// it, with "note" (the request's note) when a value was not stored as
// written.
Json WrittenObject(const SettingRequest &write, const SettingReading &reading);

// A field's value as JSON: a number.
Json FieldJson(const Field &field);

// The number of a key word: "channel", "input" or "index", 0 to count - 1,
// as a JSON number or a decimal string. Throws a usage Failure naming
// ZORENC_ERR_CHANNEL, the code the library gives such numbers.
int32_t ParseKeyNumber(const Json &value, const char *what, int32_t count);

} // namespace zorenc::companion
