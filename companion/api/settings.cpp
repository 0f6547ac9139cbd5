// The C interface of single settings by name: the one request path of
// every front end (src/setting_request.h).
#include "answer.h"
#include "setting_request.h"
#include "zorenc_tools.h"

namespace companion = zorenc::companion;

extern "C" {

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsGetSetting(ZorEncHandle handle, const char *request)
{
    return companion::Answer([&] {
        const companion::SettingRequest read =
            companion::ParseRead(companion::ParseRequest(request));
        companion::Json answers = companion::Json::array();
        for (const companion::SettingReading &r : companion::ReadSetting(handle, read)) {
            answers.push_back(companion::ReadingObject(*read.setting, r));
        }
        return read.every ? answers : answers[0];
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsSetSetting(ZorEncHandle handle, const char *request)
{
    return companion::Answer([&] {
        const companion::SettingRequest write =
            companion::ParseWrite(companion::ParseRequest(request));
        return companion::WrittenObject(write, companion::WriteSetting(handle, write));
    });
}

} // extern "C"
