// The monitor's configuration requests: download, diff and apply, through the
// toolkit's configuration code (the checks and messages of `zorenc config`).
#pragma once

#include <string>

#include "api_error.h"
#include "config.h"
#include "zorenc.h"

namespace zorenc::monitor {

// A diff or apply request, checked in full: {"config": document} or
// {"text": a file's text}, and for an apply "flash" and "force". Throws a 400
// ApiError whose "faults" list every fault; the board is not asked anything.
struct ConfigRequest {
    companion::Config config;
    companion::ApplyOptions options;
};
ConfigRequest ParseConfigRequest(const companion::Json &body, bool apply);

// On the board thread. Each throws an ApiError: 502 "board" when the board
// fails, 409 "board" when apply refuses a file of other versions (nothing
// written), with the details of the toolkit's failure.
companion::Json DownloadConfig(ZorEncHandle handle, const std::string &port);
companion::Json DiffConfig(ZorEncHandle handle, const ConfigRequest &request);
companion::Json ApplyConfig(ZorEncHandle handle, const ConfigRequest &request);

// The download as a file to save: the text `zorenc config save` writes.
std::string ConfigFileText(const companion::Json &document);

} // namespace zorenc::monitor
