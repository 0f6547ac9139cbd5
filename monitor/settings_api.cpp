#include "settings_api.h"

#include "failure.h"

namespace zorenc::monitor {

using companion::Field;
using companion::Scope;
using companion::Setting;
using companion::SettingReading;
using companion::SettingRequest;
using companion::ValueForm;
using companion::ValueKind;
using companion::ValueSpec;

namespace {

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

const char *KindName(ValueKind kind)
{
    switch (kind) {
    case ValueKind::kInteger:
        return "integer";
    case ValueKind::kWord:
        return "word";
    case ValueKind::kScaled:
        return "decimal";
    case ValueKind::kPeriod:
        return "number";
    }
    return "?";
}

Json FormJson(const ValueForm &form)
{
    Json names = Json::array();
    Json values = Json::array();
    for (const ValueSpec &desc : form) {
        names.push_back(desc.name);
        Json value = {{"name", desc.name}, {"kind", KindName(desc.kind)}};
        if (desc.kind == ValueKind::kInteger || desc.kind == ValueKind::kScaled) {
            value["min"] = desc.min;
            value["max"] = desc.max;
            value["places"] = desc.places;
        }
        values.push_back(value);
    }
    return {{"names", names}, {"values", values}};
}

// The name of the path, checked first: an unknown one is not there at all.
const Setting &Lookup(const std::string &name)
{
    const Setting *s = companion::FindSetting(name);
    if (s == nullptr) {
        throw companion::NotFoundFailure("unknown setting '" + name + "'");
    }
    return *s;
}

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

Json ReadingsJson(const Setting &s, const std::vector<SettingReading> &readings)
{
    Json list = Json::array();
    for (const SettingReading &r : readings) {
        Json object = companion::ReadingObject(s, r);
        object.erase("setting");
        Json text = Json::object();
        for (const Field &field : r.reading) {
            text[field.name] = companion::FieldText(field);
        }
        object["text"] = text;
        list.push_back(object);
    }
    return {{"setting", s.name}, {"readings", list}};
}

} // namespace

Json SettingsTable()
{
    Json list = Json::array();
    for (const Setting &s : companion::Settings()) {
        Json forms = Json::array();
        for (const ValueForm &form : s.setForms) {
            forms.push_back(FormJson(form));
        }
        Json getArgs = Json::array();
        for (const ValueSpec &desc : s.getArgs) {
            getArgs.push_back(desc.name);
        }
        list.push_back({{"name", s.name},
                        {"scope", ScopeName(s.scope)},
                        {"readable", s.Readable()},
                        {"writable", s.Writable()},
                        {"get_args", getArgs},
                        {"set_forms", forms},
                        {"read_back", s.ReadBack().name},
                        {"help", s.help},
                        {"values", companion::ValuesText(s)}});
    }
    return list;
}

SettingRequest ParseSettingRead(const std::string &name,
                                const std::map<std::string, std::string> &query)
{
    Json request = {{"setting", Lookup(name).name}};
    for (const char *key : {"channel", "index", "input"}) {
        const auto it = query.find(key);
        if (it != query.end() && !it->second.empty()) {
            request[key] = it->second;
        }
    }
    const auto args = query.find("args");
    request["args"] = Split(args == query.end() ? std::string() : args->second, ',');
    return companion::ParseRead(request);
}

SettingRequest ParseSettingWrite(const std::string &name, const Json &body)
{
    if (!body.is_object()) {
        throw companion::UsageFailure("the request body must be a JSON object");
    }
    Json request = body;
    request["setting"] = Lookup(name).name;
    return companion::ParseWrite(request);
}

Json AnswerRead(ZorEncHandle handle, const SettingRequest &read)
{
    return ReadingsJson(*read.setting, companion::ReadSetting(handle, read));
}

Json AnswerWrite(ZorEncHandle handle, const SettingRequest &write)
{
    Json answer = ReadingsJson(write.setting->ReadBack(), {companion::WriteSetting(handle, write)});
    if (!write.note.empty()) {
        answer["note"] = write.note;
    }
    return answer;
}

} // namespace zorenc::monitor
