#include "setting_access.h"

#include <algorithm>
#include <cstring>

#include "config.h"
#include "device/registers.h"
#include "failure.h"
#include "setting_table.h"

namespace zorenc::companion {

namespace {

const Setting &Named(const Json &request)
{
    const Json name = request.value("setting", Json());
    const Setting *s = name.is_string() ? FindSetting(name.get<std::string>()) : nullptr;
    if (s == nullptr) {
        throw Failure("usage", "unknown setting " + name.dump(), {{"setting", name}});
    }
    return *s;
}

int32_t Number(const Json &request, const char *name, int32_t count)
{
    const Json value = request.value(name, Json());
    if (!value.is_number_integer() || value.get<int64_t>() < 0 || value.get<int64_t>() >= count) {
        throw UsageFailure(std::string(name) + " " + value.dump() + " is out of range 0.." +
                           std::to_string(count - 1) + " (ZORENC_ERR_CHANNEL)");
    }
    return value.get<int32_t>();
}

Key KeyOf(const Setting &s, const Json &request)
{
    Key key;
    switch (s.scope) {
    case Scope::kBoard:
        break;
    case Scope::kChannel:
        key.number = Number(request, "channel", BOARD_CHANNELS);
        break;
    case Scope::kChannelIndex:
        key.number = Number(request, "channel", BOARD_CHANNELS);
        key.index = Number(request, "index", BOARD_INDEX_TRIGGERS);
        break;
    case Scope::kInput:
        key.number = Number(request, "input", BOARD_DIGITAL_INPUTS);
        break;
    }
    return key;
}

// Numbers as the text zorenc set would have been given.
Args ArgsOf(const std::string &types, const Json &values)
{
    Args args;
    for (size_t i = 0; i < types.size(); ++i) {
        const Json &v = values[i];
        if (!v.is_number()) {
            throw UsageFailure("value " + v.dump() + " is not a number");
        }
        const std::string text = v.is_number_float() ? FormatReal(v.get<double>()) : v.dump();
        args.push_back(ParseArg(types[i], text, "value"));
    }
    return args;
}

Json Answer(const Setting &s, const Key &key, const Reading &reading)
{
    Json object = {{"setting", s.name}};
    if (s.scope == Scope::kInput) {
        object["input"] = key.number;
    } else if (s.scope != Scope::kBoard) {
        object["channel"] = key.number;
    }
    if (s.scope == Scope::kChannelIndex) {
        object["index"] = key.index;
    }
    for (const Field &f : reading) {
        object[f.name] = f.kind == FieldKind::kReal ? Json(f.real) : Json(f.integer);
    }
    return object;
}

} // namespace

Json GetSetting(ZorEncHandle handle, const Json &request)
{
    const Setting &s = Named(request);
    if (s.get == nullptr) {
        throw UsageFailure(std::string(s.name) + " can only be set; read " + s.readBack);
    }
    const Key key = KeyOf(s, request);
    const Json extra = request.value("args", Json::array());
    if (!extra.is_array() || extra.size() != std::strlen(s.getTypes)) {
        throw UsageFailure(std::string(s.name) + " takes " +
                           std::to_string(std::strlen(s.getTypes)) + " args");
    }
    return Answer(s, key, ReadOne(handle, s, key, ArgsOf(s.getTypes, extra)));
}

Json SetSetting(ZorEncHandle handle, const Json &request)
{
    const Setting &s = Named(request);
    if (s.set == nullptr) {
        throw UsageFailure(std::string(s.name) + " is read only");
    }
    const Key key = KeyOf(s, request);
    const Json values = request.contains("values") ? request["values"]
                                                   : Json::array({request.value("value", Json())});
    std::string form;
    const std::string types = s.setTypes;
    for (size_t start = 0; start <= types.size();) {
        const size_t end = std::min(types.find('|', start), types.size());
        if (values.is_array() && end - start == values.size()) {
            form = types.substr(start, end - start);
            break;
        }
        start = end + 1;
    }
    if (form.empty()) {
        throw UsageFailure(std::string("wrong number of values for ") + s.name + " (" + s.setNames +
                           ")");
    }
    CheckResult(s.set(handle, key, ArgsOf(form, values)), "cannot set " + Subject(s, key));
    const Setting &back = s.readBack != nullptr ? *FindSetting(s.readBack) : s;
    return Answer(back, key, ReadOne(handle, back, key));
}

} // namespace zorenc::companion
