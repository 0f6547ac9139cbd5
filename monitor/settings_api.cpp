#include "settings_api.h"

#include <cstring>

#include "api_error.h"
#include "failure.h"
#include "cli.h"
#include "device/registers.h"
#include "plans.h"
#include "session.h"

namespace zorenc::monitor {

using cli::Arg;
using cli::Args;
using cli::Field;
using cli::FieldKind;
using cli::Key;
using cli::Reading;
using cli::Scope;
using cli::Setting;

namespace {

std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    if (text.empty()) {
        return parts;
    }
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

const char *ScopeName(Scope scope)
{
    switch (scope) {
    case Scope::kBoard:
        return "board";
    case Scope::kChannel:
        return "channel";
    case Scope::kChannelIndex:
        return "channel-index";
    case Scope::kInput:
        return "input";
    }
    return "?";
}

const Setting &Lookup(const std::string &name)
{
    const Setting *s = cli::FindSetting(name);
    if (s == nullptr) {
        throw ApiError(404, "not-found", "unknown setting '" + name + "'");
    }
    return *s;
}

// Runs a parse of the tool's, turning its usage errors into ours.
template <typename Fn> auto Checked(Fn fn) -> decltype(fn())
{
    try {
        return fn();
    } catch (const cli::UsageError &error) {
        throw UsageFailure(error.what());
    } catch (const companion::Failure &error) {
        if (error.Kind() != "usage") {
            throw;
        }
        throw UsageFailure(error.what());
    }
}

// A key from text fields: "channel", "index", "input" as the scope needs.
Key ParseKey(Scope scope, const std::string &channel, const std::string &index,
             const std::string &input)
{
    auto need = [](const std::string &text, const char *what) {
        if (text.empty()) {
            throw UsageFailure(std::string("this setting needs \"") + what + "\"");
        }
        return text;
    };
    Key key;
    Checked([&] {
        switch (scope) {
        case Scope::kBoard:
            break;
        case Scope::kChannel:
            key.number = cli::ParseChannel(need(channel, "channel"));
            break;
        case Scope::kChannelIndex:
            key.number = cli::ParseChannel(need(channel, "channel"));
            key.index = cli::ParseIndexTrigger(need(index, "index"));
            break;
        case Scope::kInput:
            key.number = cli::ParseInput(need(input, "input"));
            break;
        }
        return 0;
    });
    return key;
}

Args ParseArgs(const std::string &types, const std::string &names,
               const std::vector<std::string> &words)
{
    const std::vector<std::string> name = Split(names, ' ');
    return Checked([&] {
        Args args;
        for (size_t i = 0; i < types.size(); ++i) {
            args.push_back(
                cli::ParseArg(types[i], words[i], i < name.size() ? name[i] : "value"));
        }
        return args;
    });
}

// A JSON key field as text; numbers as written.
std::string KeyText(const Json &body, const char *name)
{
    const auto it = body.find(name);
    if (it == body.end() || it->is_null()) {
        return {};
    }
    if (it->is_number_integer()) {
        return it->dump();
    }
    if (it->is_string()) {
        return it->get<std::string>();
    }
    throw UsageFailure(std::string("\"") + name + "\" must be a number");
}

Json FieldValue(const Field &field)
{
    return field.kind == FieldKind::kReal ? Json(field.real) : Json(field.integer);
}

Json ReadingJson(const Setting &s, const Key &key, const Reading &reading)
{
    Json object = Json::object();
    if (s.scope == Scope::kInput) {
        object["input"] = key.number;
    } else if (s.scope != Scope::kBoard) {
        object["channel"] = key.number;
    }
    if (s.scope == Scope::kChannelIndex) {
        object["index"] = key.index;
    }
    Json text = Json::object();
    for (const Field &field : reading) {
        object[field.name] = FieldValue(field);
        text[field.name] = cli::FieldText(field);
    }
    object["text"] = text;
    return object;
}

} // namespace

ApiError BoardFailure(const std::string &what, ZorEncResult result)
{
    return ApiError(502, "board", what + ": " + cli::ResultText(result));
}

Json SettingsTable()
{
    Json list = Json::array();
    for (const Setting &s : cli::Settings()) {
        Json forms = Json::array();
        if (s.setTypes != nullptr) {
            const std::vector<std::string> types = Split(s.setTypes, '|');
            const std::vector<std::string> names = Split(s.setNames, '|');
            for (size_t f = 0; f < types.size(); ++f) {
                forms.push_back(
                    {{"types", types[f]}, {"names", Split(f < names.size() ? names[f] : "", ' ')}});
            }
        }
        Json entry = {{"name", s.name},
                      {"scope", ScopeName(s.scope)},
                      {"readable", s.get != nullptr},
                      {"writable", s.set != nullptr},
                      {"get_args", Split(s.getNames, ' ')},
                      {"set_forms", forms},
                      {"read_back", s.readBack != nullptr ? Json(s.readBack) : Json(s.name)},
                      {"help", s.help}};
        list.push_back(entry);
    }
    return list;
}

SettingRead ParseSettingRead(const std::string &name,
                             const std::map<std::string, std::string> &query)
{
    SettingRead read;
    const Setting &s = Lookup(name);
    if (s.get == nullptr) {
        throw UsageFailure(std::string(s.name) + " can only be written; read " + s.readBack);
    }
    read.setting = &s;
    auto field = [&query](const char *key) {
        const auto it = query.find(key);
        return it == query.end() ? std::string() : it->second;
    };
    const std::vector<std::string> extra = Split(field("args"), ',');
    if (extra.size() != std::strlen(s.getTypes)) {
        throw UsageFailure(std::string(s.name) + " takes " +
                           std::to_string(std::strlen(s.getTypes)) + " args (" + s.getNames + ")");
    }
    read.extra = ParseArgs(s.getTypes, s.getNames, extra);
    const bool all =
        s.getTypes[0] == '\0' && ((s.scope == Scope::kChannel && field("channel").empty()) ||
                                  (s.scope == Scope::kInput && field("input").empty()));
    if (all) {
        const int32_t count = s.scope == Scope::kInput ? BOARD_DIGITAL_INPUTS : BOARD_CHANNELS;
        for (int32_t n = 0; n < count; ++n) {
            read.keys.push_back(Key{n, -1});
        }
    } else {
        read.keys.push_back(ParseKey(s.scope, field("channel"), field("index"), field("input")));
    }
    return read;
}

SettingWrite ParseSettingWrite(const std::string &name, const Json &body)
{
    if (!body.is_object()) {
        throw UsageFailure("the request body must be a JSON object");
    }
    const Setting &s = Lookup(name);
    if (s.set == nullptr) {
        throw UsageFailure(std::string(s.name) + " is read only");
    }
    SettingWrite write;
    write.setting = &s;
    write.readBack = s.readBack != nullptr ? cli::FindSetting(s.readBack) : &s;
    write.key =
        ParseKey(s.scope, KeyText(body, "channel"), KeyText(body, "index"), KeyText(body, "input"));
    const auto values = body.find("values");
    if (values == body.end() || !values->is_array()) {
        throw UsageFailure("\"values\" must be an array of the setting's values");
    }
    std::vector<std::string> words;
    for (const Json &v : *values) {
        if (v.is_string()) {
            words.push_back(v.get<std::string>());
        } else if (v.is_number()) {
            words.push_back(v.dump()); // shortest form that reads back the same
        } else {
            throw UsageFailure("each value must be a number or a string");
        }
    }
    const std::vector<std::string> forms = Split(s.setTypes, '|');
    const std::vector<std::string> names = Split(s.setNames, '|');
    for (size_t f = 0; f < forms.size(); ++f) {
        if (words.size() == forms[f].size()) {
            write.values = ParseArgs(forms[f], f < names.size() ? names[f] : "", words);
            return write;
        }
    }
    std::string expected;
    for (size_t f = 0; f < names.size(); ++f) {
        expected += (f ? " or [" : "[") + names[f] + "]";
    }
    throw UsageFailure(std::string(s.name) + " takes the values " + expected + ", got " +
                       std::to_string(words.size()));
}

Json ReadSetting(ZorEncHandle handle, const SettingRead &read)
{
    const Setting &s = *read.setting;
    Json readings = Json::array();
    for (const Key &key : read.keys) {
        Reading reading;
        const ZorEncResult r = s.get(handle, key, read.extra, reading);
        if (r != ZORENC_OK) {
            throw BoardFailure("cannot read " + Subject(s, key), r);
        }
        readings.push_back(ReadingJson(s, key, reading));
    }
    return {{"setting", s.name}, {"readings", readings}};
}

Json WriteSetting(ZorEncHandle handle, const SettingWrite &write)
{
    const Setting &s = *write.setting;
    const ZorEncResult r = s.set(handle, write.key, write.values);
    if (r != ZORENC_OK) {
        throw BoardFailure("cannot set " + Subject(s, write.key), r);
    }
    // What the board holds now, which may differ from what was asked: 0.29
    // is kept as 28 hundredths.
    SettingRead back;
    back.setting = write.readBack;
    back.keys.push_back(write.key);
    return ReadSetting(handle, back);
}

} // namespace zorenc::monitor
