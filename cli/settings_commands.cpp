// get, set, clear, calibration, flash, read, write and dump.
#include <cstdio>
#include <cstring>

#include "device/registers.h"
#include "plans.h"
#include "register_map.h"
#include "session.h"

namespace zorenc::cli {

void PrintJson(const Json &json)
{
    std::printf("%s\n", companion::DumpLine(json).c_str());
    std::fflush(stdout);
}

std::string FieldText(const Field &field)
{
    switch (field.kind) {
    case FieldKind::kHex:
        return FormatHex(static_cast<uint32_t>(field.integer));
    case FieldKind::kReal:
        return FormatReal(field.real);
    default:
        return std::to_string(field.integer);
    }
}

Json FieldJson(const Field &field)
{
    return field.kind == FieldKind::kReal ? Json(field.real) : Json(field.integer);
}

std::string Snake(std::string name)
{
    for (char &c : name) {
        c = c == '-' ? '_' : c;
    }
    return name;
}

namespace {

std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

size_t KeyCount(Scope scope)
{
    switch (scope) {
    case Scope::kBoard:
        return 0;
    case Scope::kChannelIndex:
        return 2;
    default:
        return 1;
    }
}

const char *KeyNames(Scope scope)
{
    switch (scope) {
    case Scope::kBoard:
        return "";
    case Scope::kChannel:
        return "CH";
    case Scope::kChannelIndex:
        return "CH INDEX";
    case Scope::kInput:
        return "INPUT";
    }
    return "";
}

bool KeyOptional(const Setting &s)
{
    return s.get != nullptr && (s.scope == Scope::kChannel || s.scope == Scope::kInput) &&
           s.getTypes[0] == '\0';
}

std::string Join(std::initializer_list<std::string> words)
{
    std::string text;
    for (const std::string &w : words) {
        if (!w.empty()) {
            text += (text.empty() ? "" : " ") + w;
        }
    }
    return text;
}

std::string GetSynopsis(const Setting &s)
{
    const std::string key = KeyNames(s.scope);
    return Join({"get", s.name, KeyOptional(s) ? "[" + key + "]" : key, s.getNames});
}

std::vector<std::string> SetSynopses(const Setting &s)
{
    std::vector<std::string> list;
    if (s.setNames != nullptr) {
        for (const std::string &names : Split(s.setNames, '|')) {
            list.push_back(Join({"set", s.name, KeyNames(s.scope), names}));
        }
    }
    return list;
}

const Setting &LookupSetting(const std::string &name, const char *command)
{
    const Setting *s = FindSetting(name);
    if (s == nullptr) {
        throw UsageError("unknown setting '" + name + "' (zorenc help " + command + " lists them)",
                         command);
    }
    return *s;
}

Key ParseKey(Scope scope, const std::vector<std::string> &words)
{
    Key key;
    switch (scope) {
    case Scope::kBoard:
        break;
    case Scope::kChannel:
        key.number = ParseChannel(words[0]);
        break;
    case Scope::kChannelIndex:
        key.number = ParseChannel(words[0]);
        key.index = ParseIndexTrigger(words[1]);
        break;
    case Scope::kInput:
        key.number = ParseInput(words[0]);
        break;
    }
    return key;
}

Args ParseArgs(const std::string &types, const std::string &names,
               const std::vector<std::string> &words, size_t first)
{
    const std::vector<std::string> name = Split(names, ' ');
    Args args;
    for (size_t i = 0; i < types.size(); ++i) {
        args.push_back(ParseArg(types[i], words[first + i], i < name.size() ? name[i] : "value"));
    }
    return args;
}

Reading ReadSetting(Session &session, const Setting &s, const Key &key, const Args &extra)
{
    Reading reading;
    session.Check(s.get(session.Handle(), key, extra, reading), "cannot read " + Subject(s, key));
    return reading;
}

struct Row {
    Key key;
    Reading reading;
};

void PrintReadings(const Setting &s, const std::vector<Row> &rows, bool json, bool many)
{
    const bool single = rows.front().reading.size() == 1;
    if (json) {
        auto object = [&s](const Row &row) {
            Json o = {{"setting", s.name}};
            if (s.scope == Scope::kInput) {
                o["input"] = row.key.number;
            } else if (s.scope != Scope::kBoard) {
                o["channel"] = row.key.number;
            }
            if (s.scope == Scope::kChannelIndex) {
                o["index"] = row.key.index;
            }
            for (const Field &f : row.reading) {
                o[f.name] = FieldJson(f);
            }
            return o;
        };
        if (!many) {
            PrintJson(object(rows.front()));
            return;
        }
        Json list = Json::array();
        for (const Row &row : rows) {
            list.push_back(object(row));
        }
        PrintJson(list);
        return;
    }
    std::vector<std::string> header;
    for (const std::string &k : Split(KeyNames(s.scope), ' ')) {
        if (!k.empty()) {
            header.push_back(k == "CH" ? "channel" : k == "INDEX" ? "index" : "input");
        }
    }
    for (const Field &f : rows.front().reading) {
        header.push_back(single ? s.name : f.name);
    }
    Table table(header);
    for (const Row &row : rows) {
        std::vector<std::string> cells;
        if (s.scope != Scope::kBoard) {
            cells.push_back(std::to_string(row.key.number));
        }
        if (s.scope == Scope::kChannelIndex) {
            cells.push_back(std::to_string(row.key.index));
        }
        for (const Field &f : row.reading) {
            cells.push_back(FieldText(f));
        }
        table.Add(cells);
    }
    table.Print();
}

// A confirmation: a sentence for people, an object for scripts.
void PrintDone(bool json, const std::string &text, const Json &object)
{
    if (json) {
        PrintJson(object);
    } else {
        std::printf("%s\n", text.c_str());
    }
}

void NoArguments(const Invocation &inv)
{
    if (!inv.args.empty()) {
        throw UsageError(inv.command + " takes no arguments", inv.command);
    }
}

} // namespace

std::string SettingsHelp()
{
    Table table({"setting", "key", "values"});
    std::vector<std::string> about;
    for (const Setting &s : Settings()) {
        std::string key = KeyNames(s.scope);
        if (KeyOptional(s) && !key.empty()) {
            key = "[" + key + "]";
        }
        std::string values;
        if (s.setNames != nullptr) {
            values = s.get == nullptr ? "set only: " : "";
            for (char c : std::string(s.setNames)) {
                values += c == '|' ? std::string(" or ") : std::string(1, c);
            }
        } else {
            values = s.getNames[0] != '\0' ? std::string("read only, get: ") + s.getNames
                                           : std::string("read only");
        }
        table.Add({s.name, key, values});
        about.push_back(s.help);
    }
    const std::vector<std::string> lines = table.Lines();
    std::string text = "  " + lines[0] + "\n";
    for (size_t i = 1; i < lines.size(); ++i) {
        text += "  " + lines[i] + "\n      " + about[i - 1] + "\n";
    }
    return text;
}

Action PlanGet(const Invocation &inv)
{
    if (inv.args.empty()) {
        throw UsageError("get needs a SETTING (zorenc help get lists them)", "get");
    }
    const Setting &s = LookupSetting(inv.args[0], "get");
    if (s.get == nullptr) {
        throw UsageError(std::string(s.name) + " can only be set; read it back with: get " +
                             s.readBack + " CH",
                         "get");
    }
    const std::vector<std::string> words(inv.args.begin() + 1, inv.args.end());
    const size_t keys = KeyCount(s.scope);
    const size_t extra = std::strlen(s.getTypes);
    std::vector<Key> list;
    Args args;
    bool many = false;
    if (words.size() == keys + extra) {
        list.push_back(ParseKey(s.scope, words));
        args = ParseArgs(s.getTypes, s.getNames, words, keys);
    } else if (words.empty() && KeyOptional(s)) {
        const int32_t count = s.scope == Scope::kInput ? BOARD_DIGITAL_INPUTS : BOARD_CHANNELS;
        for (int32_t n = 0; n < count; ++n) {
            list.push_back(Key{n, -1});
        }
        many = true;
    } else {
        throw UsageError("wrong number of arguments; usage: zorenc " + GetSynopsis(s), "get");
    }
    const bool json = inv.json;
    return [&s, list, args, many, json](Session &session) {
        std::vector<Row> rows;
        for (const Key &key : list) {
            rows.push_back(Row{key, ReadSetting(session, s, key, args)});
        }
        PrintReadings(s, rows, json, many);
    };
}

Action PlanSet(const Invocation &inv)
{
    if (inv.args.empty()) {
        throw UsageError("set needs a SETTING and its value (zorenc help set lists them)", "set");
    }
    const Setting &s = LookupSetting(inv.args[0], "set");
    if (s.set == nullptr) {
        std::string message = std::string(s.name) + " is read only";
        const char *hint = std::strstr(s.help, "clear with: ");
        if (hint != nullptr) {
            message += "; " + std::string(hint, std::strlen(hint) - 1);
        }
        throw UsageError(message, "set");
    }
    const std::vector<std::string> words(inv.args.begin() + 1, inv.args.end());
    const size_t keys = KeyCount(s.scope);
    const std::vector<std::string> forms = Split(s.setTypes, '|');
    const std::vector<std::string> names = Split(s.setNames, '|');
    Key key;
    Args args;
    bool matched = false;
    for (size_t f = 0; f < forms.size() && !matched; ++f) {
        if (words.size() == keys + forms[f].size()) {
            key = ParseKey(s.scope, words);
            args = ParseArgs(forms[f], names[f], words, keys);
            matched = true;
        }
    }
    if (!matched) {
        std::string usage;
        for (const std::string &line : SetSynopses(s)) {
            usage += (usage.empty() ? "" : " or: zorenc ") + line;
        }
        throw UsageError("wrong number of arguments; usage: zorenc " + usage, "set");
    }
    const Setting &back = s.readBack != nullptr ? *FindSetting(s.readBack) : s;
    const bool json = inv.json;
    return [&s, &back, key, args, json](Session &session) {
        session.Check(s.set(session.Handle(), key, args), "cannot set " + Subject(s, key));
        // What the board holds now, which may differ from what was asked:
        // 0.299 is stored as 29 hundredths.
        PrintReadings(back, {Row{key, ReadSetting(session, back, key, {})}}, json, false);
    };
}

namespace {

const std::vector<ClearTarget> kClearTargets = {
    {"all", Scope::kBoard, ZorEncClearAll, nullptr, "every counter and position"},
    {"positions", Scope::kBoard, ZorEncClearEncoderPositionAll, nullptr,
     "the positions of all channels"},
    {"triggers", Scope::kBoard, ZorEncClearTriggerAll, nullptr,
     "the trigger counts of all channels"},
    {"errors", Scope::kBoard, ZorEncClearErrorCountAll, nullptr,
     "the trigger error counts of all channels"},
    {"inputs", Scope::kBoard, ZorEncClearDiAll, nullptr, "the counts of all digital inputs"},
    {"encoder-position", Scope::kChannel, ZorEncClearEncoderPositionAll, ZorEncClearEncoderPosition,
     "the position (to its encoder-reset-value)"},
    {"trigger-count", Scope::kChannel, ZorEncClearTriggerAll, ZorEncClearTriggerCount,
     "the trigger count"},
    {"trigger-error-count", Scope::kChannel, ZorEncClearErrorCountAll, ZorEncClearErrorCount,
     "the trigger error count"},
    {"di-count", Scope::kInput, ZorEncClearDiAll, ZorEncClearDiCount, "the count"},
};

} // namespace

const std::vector<ClearTarget> &ClearTargets()
{
    return kClearTargets;
}

std::string ClearTargetsHelp()
{
    Table table({"", ""});
    for (const ClearTarget &t : kClearTargets) {
        const std::string number = t.scope == Scope::kChannel ? " [CH]"
                                   : t.scope == Scope::kInput ? " [INPUT]"
                                                              : "";
        const std::string whose = t.scope == Scope::kChannel ? " of channel CH, or of all channels"
                                  : t.scope == Scope::kInput ? " of digital input INPUT, or of all"
                                                             : "";
        table.Add({std::string(t.name) + number, t.what + whose});
    }
    std::string text;
    for (const std::string &line : table.Lines()) {
        text += "  " + line + "\n";
    }
    return text;
}

Action PlanClear(const Invocation &inv)
{
    if (inv.args.empty()) {
        throw UsageError("clear needs to know what: all, positions, triggers, errors, inputs, "
                         "or one counter (zorenc help clear)",
                         "clear");
    }
    const ClearTarget *target = nullptr;
    for (const ClearTarget &t : kClearTargets) {
        target = inv.args[0] == t.name ? &t : target;
    }
    if (target == nullptr) {
        throw UsageError("unknown clear target '" + inv.args[0] + "' (zorenc help clear)", "clear");
    }
    const size_t most = target->scope == Scope::kBoard ? 1 : 2;
    if (inv.args.size() > most) {
        throw UsageError("too many arguments for clear " + inv.args[0], "clear");
    }
    int32_t number = -1;
    if (inv.args.size() == 2) {
        number =
            target->scope == Scope::kChannel ? ParseChannel(inv.args[1]) : ParseInput(inv.args[1]);
    }
    const bool json = inv.json;
    return [target, number, json](Session &session) {
        const char *unit = target->scope == Scope::kInput ? "input" : "channel";
        std::string subject = target->name;
        if (number >= 0) {
            subject += " of " + std::string(unit) + " " + std::to_string(number);
        }
        const ZorEncResult r =
            number >= 0 ? target->one(session.Handle(), number) : target->all(session.Handle());
        session.Check(r, "cannot clear " + subject);
        Json object = {{"cleared", target->name}};
        if (number >= 0) {
            object[unit] = number;
        }
        PrintDone(json, "cleared " + subject, object);
    };
}

Action PlanCalibration(const Invocation &inv)
{
    if (inv.args.size() != 2 || (inv.args[0] != "start" && inv.args[0] != "stop")) {
        throw UsageError("usage: zorenc calibration start|stop CH", "calibration");
    }
    const bool start = inv.args[0] == "start";
    const int32_t channel = ParseChannel(inv.args[1]);
    const bool json = inv.json;
    return [start, channel, json](Session &session) {
        const ZorEncResult r = start ? ZorEncStartCalibration(session.Handle(), channel)
                                     : ZorEncStopCalibration(session.Handle(), channel);
        const std::string ch = "channel " + std::to_string(channel);
        session.Check(r, std::string("cannot ") + (start ? "start" : "stop") +
                             " the calibration of " + ch);
        PrintDone(json, std::string("calibration ") + (start ? "started" : "stopped") + " on " + ch,
                  Json{{"calibration", start ? "start" : "stop"}, {"channel", channel}});
    };
}

const std::vector<FlashOp> &FlashOps()
{
    static const std::vector<FlashOp> ops = {
        {"save", ZorEncSaveFlash, "cannot save the settings to flash", "settings saved to flash"},
        {"load", ZorEncLoadFlash, "cannot load the settings from flash",
         "settings loaded from flash"},
        {"defaults", ZorEncLoadDefaultParameters, "cannot load the default settings",
         "default settings loaded (save them to keep them: zorenc flash save)"},
    };
    return ops;
}

Action PlanFlash(const Invocation &inv)
{
    const FlashOp *op = nullptr;
    for (const FlashOp &o : FlashOps()) {
        op = inv.args.size() == 1 && inv.args[0] == o.name ? &o : op;
    }
    if (op == nullptr) {
        throw UsageError("usage: zorenc flash save|load|defaults", "flash");
    }
    const bool json = inv.json;
    return [op, json](Session &session) {
        session.Check(op->fn(session.Handle()), op->failure);
        PrintDone(json, op->done, Json{{"flash", op->name}});
    };
}

namespace {

uint16_t ParseAddress(const std::string &text)
{
    if (text.rfind("REG_", 0) == 0) {
        const RegisterAt r = FindRegisterByName(text);
        if (r.info == nullptr) {
            throw UsageError("no board-wide register is named " + text +
                             "; give the address of a channel's register (zorenc dump shows "
                             "them)");
        }
        return r.address;
    }
    return static_cast<uint16_t>(ParseInteger(text, "ADDR", 0, 0xFFFF));
}

Json RegisterJson(const RegisterAt &r, uint32_t raw)
{
    Json object = {{"address", r.address}};
    object["register"] = r.info ? Json(r.info->name) : Json();
    if (r.channel >= 0) {
        object[r.info->placement == Placement::kPerInput ? "input" : "channel"] = r.channel;
    }
    if (r.index >= 0) {
        object["index"] = r.index;
    }
    object["raw"] = raw;
    object["value"] = DecodeJson(r.info ? r.info->encoding : Encoding::kRaw, raw);
    return object;
}

std::vector<std::string> RegisterCells(const RegisterAt &r, uint32_t raw)
{
    return {FormatHex(r.address, 4), r.Label(), FormatHex(raw),
            DecodeText(r.info ? r.info->encoding : Encoding::kRaw, raw)};
}

std::string RegisterSubject(const RegisterAt &r)
{
    if (r.info == nullptr) {
        return FormatHex(r.address, 4) + " (not in the register map)";
    }
    return FormatHex(r.address, 4) + " (" + r.Label() + (r.info->readable ? "" : ", written only") +
           ")";
}

uint32_t ReadRegister(Session &session, const RegisterAt &r)
{
    uint32_t raw = 0;
    session.Check(ZorEncSendRead(session.Handle(), r.address, 0, &raw),
                  "cannot read register " + RegisterSubject(r));
    return raw;
}

} // namespace

Action PlanRead(const Invocation &inv)
{
    if (inv.args.size() != 1) {
        throw UsageError("usage: zorenc read ADDR", "read");
    }
    const RegisterAt r = FindRegister(ParseAddress(inv.args[0]));
    const bool json = inv.json;
    return [r, json](Session &session) {
        const uint32_t raw = ReadRegister(session, r);
        if (json) {
            PrintJson(RegisterJson(r, raw));
            return;
        }
        Table table({"address", "register", "raw", "value"});
        table.Add(RegisterCells(r, raw));
        table.Print();
    };
}

Action PlanWrite(const Invocation &inv)
{
    if (inv.args.size() != 2) {
        throw UsageError("usage: zorenc write ADDR VALUE", "write");
    }
    const RegisterAt r = FindRegister(ParseAddress(inv.args[0]));
    const uint32_t value = static_cast<uint32_t>(ParseWord(inv.args[1], "VALUE"));
    const bool json = inv.json;
    return [r, value, json](Session &session) {
        uint32_t reply = 0;
        session.Check(ZorEncSendWrite(session.Handle(), r.address, value, &reply),
                      "cannot write " + FormatHex(value) + " to register " + RegisterSubject(r));
        if (json) {
            PrintJson(Json{{"address", r.address},
                           {"register", r.info ? Json(r.info->name) : Json()},
                           {"value", value},
                           {"reply", reply}});
            return;
        }
        Table table({"address", "register", "written", "reply"});
        table.Add({FormatHex(r.address, 4), r.Label(), FormatHex(value), FormatHex(reply)});
        table.Print();
    };
}

Action PlanDump(const Invocation &inv)
{
    NoArguments(inv);
    const bool all = (inv.options & kOptAll) != 0;
    const bool json = inv.json;
    return [all, json](Session &session) {
        Json list = Json::array();
        Table table({"address", "register", "raw", "value"});
        for (const RegisterAt &r : ReadableRegisters(all)) {
            const uint32_t raw = ReadRegister(session, r);
            list.push_back(RegisterJson(r, raw));
            table.Add(RegisterCells(r, raw));
        }
        if (json) {
            PrintJson(list);
        } else {
            table.Print();
        }
    };
}

} // namespace zorenc::cli
