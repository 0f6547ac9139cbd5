// A board's configuration as a document: save, check, diff and apply. What a
// configuration holds, in which units and how each value is checked comes
// from the settings table (the settings marked saved).
//
// The document: {"format": "zorenc-board-config", "version": 1, "saved":
// ISO 8601 time, "board": {"port", "firmware_version", "logic_version",
// "serial_number"}, "settings": {NAME: VALUE}} where a board-wide setting
// holds one value, a channel's setting an array of four, and the index-
// trigger table four arrays of 240; values as zorenc get --json shows them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "json.h"
#include "setting_table.h"
#include "zorenc.h"

namespace zorenc::companion {

// One register's worth of a configuration: a setting at one key, as the
// counts the board holds (hundredths, thousandths, words; the halves of the
// generator), and as the file wrote it.
struct ConfigEntry {
    const Setting *setting;
    Key key;
    std::vector<int64_t> counts;
    Json value;
};

struct Config {
    int64_t firmwareVersion = 0; // hundredths
    int64_t logicVersion = 0;    // hundredths
    std::vector<ConfigEntry> entries;
    // Values with more decimals than their unit, each with where it is and
    // what the board is given: "settings.trigger-delay[0]: 0.295 is stored
    // as 0.29 (trigger-delay is kept in hundredths)".
    std::vector<std::string> warnings;
};

// Reads every saved setting of the board into a document. port and
// serialNumber go into "board" as given; a null serialNumber is the USB
// adapter's behind port when the system tells it (else null). Throws a board
// Failure naming the setting that could not be read.
Json SaveConfig(ZorEncHandle handle, const Json &port, const Json &serialNumber);

// The document as a file: one line per setting, the index-trigger table one
// line per channel; ends with a newline.
std::string ConfigText(const Json &document);

// Checks a whole document before anything touches a board. Throws a usage
// Failure whose details hold "faults", every fault found (format, version,
// unknown, missing, wrong shape or type, out of range, not representable).
// A decimal with more digits than its unit holds is taken as zorenc set
// takes it, cut to the unit, and warned about in the Config's warnings.
Config CheckConfig(const Json &document);
// The same from file text, read by ReadJson within its limits; a syntax
// error is reported with its line and column (details "line", "column").
Config CheckConfigText(const std::string &text);

// The differences between the board and the configuration: an array of
// {"setting", "channel", "index", "board", "file"} (channel and index null
// where the setting has none).
Json DiffConfig(ZorEncHandle handle, const Config &config);

struct ApplyOptions {
    bool flash = false; // save to flash once every setting is written and verified
    bool force = false; // apply a file saved from other firmware or logic versions
};

// Writes the settings that differ, reading each back, and stops at the first
// that fails. The report lists every setting that differed, in three lists:
// "verified" (written and read back equal), "unconfirmed" (sent, but the
// outcome is unknown: the reply never came or was refused or malformed, or
// the read-back failed or differed; read it again or apply again) and
// "not_sent". "written" repeats "verified", and "not_written" holds
// "unconfirmed" then "not_sent" (the keys of earlier releases, kept for one
// more). Result: those lists, "unchanged" (a count), "flash" (saved to
// flash) and "warnings" (the Config's). Throws a board Failure: "reason" "version" when the
// versions differ (nothing written); "write" with "setting" (the one that failed) and the lists;
// "flash" with the lists when the save to flash fails.
Json ApplyConfig(ZorEncHandle handle, const Config &config, const ApplyOptions &options);

// A request that carries a configuration, as the C interface and the monitor
// take it: {"config": document} or {"text": a file's text}, checked as
// CheckConfig and CheckConfigText do. Throws a usage Failure.
Config RequestedConfig(const Json &request);
// The "flash" and "force" of such a request (false when absent).
ApplyOptions RequestedApplyOptions(const Json &request);

// "trigger-delay 2", "index-trigger-position 1 17", "encoder-resolution": a
// setting at a key as zorenc set names it.
std::string EntryLabel(const Setting &s, const Key &key);

// A reading as get --json shows its values: the number of a single "value"
// field, else an object of the fields.
Json ReadingJson(const Reading &reading);

} // namespace zorenc::companion
