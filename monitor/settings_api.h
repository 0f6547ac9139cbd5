// The settings table over HTTP: what it holds, and reads and writes of one
// setting through the companion library's request path, so that they are
// checked and worded as `zorenc get` and `zorenc set` and the C interface
// check and word them, before anything is sent to the board.
#pragma once

#include <map>
#include <string>

#include "json.h"
#include "setting_request.h"

namespace zorenc::monitor {

using Json = companion::Json;

// Every setting: name, scope, arguments, whether it reads and writes, help
// (meaning and unit), values (what each value takes).
Json SettingsTable();

// From a GET's query (channel, index, input, args=a,b). Usage Failure.
companion::SettingRequest ParseSettingRead(const std::string &name,
                                           const std::map<std::string, std::string> &query);
// From a POST's body {"channel": 1, "index": 5, "input": 2, "values": ["1.5"]};
// values are strings (exact decimals, hex) or numbers. Usage Failure.
companion::SettingRequest ParseSettingWrite(const std::string &name, const Json &body);

// On the board thread: {"setting", "readings": [{"channel", FIELD..., "text":
// {FIELD: TEXT}}]}. Board Failure when the board fails.
Json AnswerRead(ZorEncHandle handle, const companion::SettingRequest &read);
// Writes, then answers the read-back as AnswerRead does, with "note" when a
// value was not stored as written (0.299 as 0.29).
Json AnswerWrite(ZorEncHandle handle, const companion::SettingRequest &write);

} // namespace zorenc::monitor
