// The settings table over HTTP: what it holds, and reads and writes of one
// setting checked exactly as `zorenc get` and `zorenc set` check them (same
// table, same parsing), before anything is sent to the board.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "api_error.h"
#include "json.h"
#include "settings.h"

namespace zorenc::monitor {

using Json = companion::Json;

// Every setting: name, scope, arguments, whether it reads and writes, help.
Json SettingsTable();

struct SettingRead {
    const cli::Setting *setting = nullptr;
    std::vector<cli::Key> keys; // all channels or inputs when none was named
    cli::Args extra;
};

struct SettingWrite {
    const cli::Setting *setting = nullptr;
    const cli::Setting *readBack = nullptr;
    cli::Key key;
    cli::Args values;
};

// From a GET's query (channel, index, input, args=a,b). Throws ApiError.
SettingRead ParseSettingRead(const std::string &name,
                             const std::map<std::string, std::string> &query);
// From a POST's body {"channel": 1, "index": 5, "input": 2, "values": ["1.5"]}.
// Values are strings (exact decimals) or numbers. Throws ApiError.
SettingWrite ParseSettingWrite(const std::string &name, const Json &body);

// On the board thread. Throw ApiError (502) when the board fails.
Json ReadSetting(ZorEncHandle handle, const SettingRead &read);
Json WriteSetting(ZorEncHandle handle, const SettingWrite &write);

// "cannot read trigger-delay of channel 1: no reply ... (ZORENC_ERR_TIMEOUT)"
ApiError BoardFailure(const std::string &what, ZorEncResult result);

} // namespace zorenc::monitor
