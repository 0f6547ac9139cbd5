#include "setting_request.h"

#include "device/registers.h"
#include "failure.h"
#include "json.h"
#include "numbers.h"
#include "results.h"

namespace zorenc::companion {

namespace {

const Setting &Named(const Json &request)
{
    const auto it = request.find("setting");
    if (it == request.end() || !it->is_string()) {
        throw UsageFailure("the request names no \"setting\"");
    }
    const std::string name = it->get<std::string>();
    const Setting *s = FindSetting(name);
    if (s == nullptr) {
        throw Failure("usage", "unknown setting '" + name + "'", {{"setting", name}});
    }
    return *s;
}

// A number or a string as the text a person would have typed.
std::string TextOf(const Json &value, const std::string &what)
{
    if (value.is_string()) {
        return value.get<std::string>();
    }
    if (value.is_number_float()) {
        return FormatReal(value.get<double>());
    }
    if (value.is_number()) {
        return value.dump();
    }
    throw UsageFailure(what + " must be a number or a string, not " + DumpLine(value));
}

const char *KeyName(Scope scope)
{
    return scope == Scope::kInput ? "input" : "channel";
}

int32_t KeyCount(Scope scope)
{
    return scope == Scope::kInput ? BOARD_DIGITAL_INPUTS : BOARD_CHANNELS;
}

int32_t Required(const Json &request, const Setting &s, const char *what, int32_t count)
{
    const auto it = request.find(what);
    if (it == request.end() || it->is_null()) {
        throw UsageFailure(std::string(s.name) + " needs " + (what[0] == 'i' ? "an " : "a ") +
                           what + " (0.." + std::to_string(count - 1) + ")");
    }
    return ParseKeyNumber(*it, what, count);
}

// The keys a request names; all channels or inputs when it names none and
// the setting allows that.
std::vector<Key> KeysOf(const Setting &s, const Json &request, bool allowEvery, bool &every)
{
    every = false;
    switch (s.scope) {
    case Scope::kBoard:
        return {Key{}};
    case Scope::kChannelIndex:
        return {Key{Required(request, s, "channel", BOARD_CHANNELS),
                    Required(request, s, "index", BOARD_INDEX_TRIGGERS)}};
    case Scope::kChannel:
    case Scope::kInput:
        break;
    }
    const char *name = KeyName(s.scope);
    const int32_t count = KeyCount(s.scope);
    const auto it = request.find(name);
    if (allowEvery && (it == request.end() || it->is_null())) {
        every = true;
        std::vector<Key> keys;
        for (int32_t n = 0; n < count; ++n) {
            keys.push_back(Key{n, -1});
        }
        return keys;
    }
    return {Key{Required(request, s, name, count), -1}};
}

// The values of a request as a list; "value" stands for a list of one.
Json ListOf(const Json &request, const char *list, const char *single)
{
    const auto it = request.find(list);
    if (it != request.end() && !it->is_null()) {
        if (!it->is_array()) {
            throw UsageFailure(std::string("\"") + list + "\" must be an array");
        }
        return *it;
    }
    const auto one = single != nullptr ? request.find(single) : request.end();
    if (one != request.end()) {
        return Json::array({*one});
    }
    return Json::array();
}

// note, when given, gathers what the board is given in place of values
// that it cannot hold as written (what names the setting).
Args ArgsOf(const ValueForm &form, const Json &values, std::string *note = nullptr,
            const char *what = "")
{
    Args args;
    for (size_t i = 0; i < form.size(); ++i) {
        const std::string text = TextOf(values[i], form[i].name);
        args.push_back(ParseValue(form[i], text));
        const std::string stored =
            StoredText(form[i], text, args.back(),
                       form.size() == 1 ? what : std::string(what) + " " + form[i].name);
        if (note != nullptr && !stored.empty()) {
            *note += (note->empty() ? "" : "; ") + stored;
        }
    }
    return args;
}

// "DELAY" or "WORD, or N0 N1 ... BIT31".
std::string FormsText(const std::vector<ValueForm> &forms)
{
    std::string text;
    for (const ValueForm &form : forms) {
        text += (text.empty() ? "" : ", or ") + (form.empty() ? "nothing" : FormNames(form));
    }
    return text;
}

std::string Count(size_t n, const char *what)
{
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

} // namespace

int32_t ParseKeyNumber(const Json &value, const char *what, int32_t count)
{
    const std::string range = "0.." + std::to_string(count - 1);
    const std::string text = value.is_string() ? value.get<std::string>() : DumpLine(value);
    int64_t number = 0;
    try {
        if (!value.is_string() && !value.is_number_integer()) {
            throw UsageFailure("not an integer");
        }
        number = ParseInteger(text, what, INT32_MIN, INT32_MAX);
    } catch (const Failure &) {
        throw UsageFailure("'" + text + "' is not a valid " + what + " (expected " + range + ")");
    }
    if (number < 0 || number >= count) {
        throw UsageFailure(std::string(what) + " " + text + " is out of range " + range +
                           " (ZORENC_ERR_CHANNEL)");
    }
    return static_cast<int32_t>(number);
}

SettingRequest ParseRead(const Json &request)
{
    SettingRequest parsed;
    const Setting &s = Named(request);
    parsed.setting = &s;
    if (!s.Readable()) {
        throw UsageFailure(std::string(s.name) + " can only be set; read " + s.ReadBack().name +
                           " instead");
    }
    parsed.keys = KeysOf(s, request, s.getArgs.empty(), parsed.every);
    const Json args = ListOf(request, "args", nullptr);
    if (args.size() != s.getArgs.size()) {
        throw UsageFailure(std::string(s.name) + " takes " +
                           (s.getArgs.empty() ? "no arguments" : FormNames(s.getArgs)) + ", got " +
                           Count(args.size(), "argument"));
    }
    parsed.args = ArgsOf(s.getArgs, args);
    return parsed;
}

SettingRequest ParseWrite(const Json &request)
{
    SettingRequest parsed;
    const Setting &s = Named(request);
    parsed.setting = &s;
    if (!s.Writable()) {
        throw UsageFailure(std::string(s.name) + " is read only");
    }
    parsed.keys = KeysOf(s, request, false, parsed.every);
    const Json values = ListOf(request, "values", "value");
    for (const ValueForm &form : s.setForms) {
        if (form.size() == values.size()) {
            parsed.args = ArgsOf(form, values, &parsed.note, s.name);
            return parsed;
        }
    }
    throw UsageFailure(std::string(s.name) + " takes " + FormsText(s.setForms) + ", got " +
                       Count(values.size(), "value"));
}

Reading ReadOne(ZorEncHandle handle, const Setting &s, const Key &key, const Args &extra)
{
    Reading reading;
    CheckResult(handle, s.get(handle, key, extra, reading), "cannot read " + Subject(s, key));
    return reading;
}

std::vector<SettingReading> ReadSetting(ZorEncHandle handle, const SettingRequest &request)
{
    std::vector<SettingReading> readings;
    for (const Key &key : request.keys) {
        readings.push_back({key, ReadOne(handle, *request.setting, key, request.args)});
    }
    return readings;
}

SettingReading WriteSetting(ZorEncHandle handle, const SettingRequest &request)
{
    const Setting &s = *request.setting;
    const Key &key = request.keys.front();
    CheckResult(handle, s.set(handle, key, request.args), "cannot set " + Subject(s, key));
    return {key, ReadOne(handle, s.ReadBack(), key)};
}

Json WrittenObject(const SettingRequest &write, const SettingReading &reading)
{
    Json object = ReadingObject(write.setting->ReadBack(), reading);
    if (!write.note.empty()) {
        object["note"] = write.note;
    }
    return object;
}

Json FieldJson(const Field &field)
{
    return field.kind == FieldKind::kReal ? Json(field.real) : Json(field.integer);
}

Json ReadingObject(const Setting &s, const SettingReading &reading)
{
    Json object = {{"setting", s.name}};
    if (s.scope != Scope::kBoard) {
        object[KeyName(s.scope)] = reading.key.number;
    }
    if (s.scope == Scope::kChannelIndex) {
        object["index"] = reading.key.index;
    }
    for (const Field &f : reading.reading) {
        object[f.name] = FieldJson(f);
    }
    return object;
}

} // namespace zorenc::companion
