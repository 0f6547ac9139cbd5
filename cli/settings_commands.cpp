// get, set, clear, calibration, flash, read, write and dump. Settings,
// clears and flash go through the companion library's request paths, so the
// tool checks and words them as the monitor and the C interface do; the tool
// only turns its words into requests and adds hints of its own.
#include <cstdio>
#include <cstring>

#include "actions.h"
#include "device/registers.h"
#include "plans.h"
#include "register_map.h"
#include "session.h"
#include "setting_request.h"

namespace zorenc::cli {

using companion::ClearRequest;
using companion::ClearTarget;
using companion::Encoding;
using companion::FormatHex;
using companion::RegisterAt;
using companion::SettingReading;
using companion::SettingRequest;

void PrintJson(const Json &json)
{
    std::printf("%s\n", companion::DumpLine(json).c_str());
    std::fflush(stdout);
}

std::string Snake(std::string name)
{
    for (char &c : name) {
        c = c == '-' ? '_' : c;
    }
    return name;
}

namespace {

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
    return s.Readable() && (s.scope == Scope::kChannel || s.scope == Scope::kInput) &&
           s.getArgs.empty();
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
    return Join(
        {"get", s.name, KeyOptional(s) ? "[" + key + "]" : key, companion::FormNames(s.getArgs)});
}

std::string SetSynopsis(const Setting &s)
{
    std::string usage;
    for (const companion::ValueForm &form : s.setForms) {
        usage += (usage.empty() ? "" : " or: zorenc ") +
                 Join({"set", s.name, KeyNames(s.scope), companion::FormNames(form)});
    }
    return usage;
}

// The request that words after the setting's name make: the key words the
// setting's scope takes first, then its arguments or values (under list).
Json Request(const std::string &name, const std::vector<std::string> &words, const char *list)
{
    Json request = {{"setting", name}};
    const Setting *s = FindSetting(name);
    size_t used = 0;
    auto key = [&](const char *what) {
        if (used < words.size()) {
            request[what] = words[used++];
        }
    };
    switch (s != nullptr ? s->scope : Scope::kBoard) {
    case Scope::kBoard:
        break;
    case Scope::kChannel:
        key("channel");
        break;
    case Scope::kChannelIndex:
        key("channel");
        key("index");
        break;
    case Scope::kInput:
        key("input");
        break;
    }
    request[list] =
        Json(std::vector<std::string>(words.begin() + static_cast<long>(used), words.end()));
    return request;
}

// Parses through the companion's path; a refusal gets the tool's hint after it.
template <typename Parse>
SettingRequest Parsed(Parse parse, const Json &request, const char *command)
{
    try {
        return parse(request);
    } catch (const Failure &failure) {
        const Setting *s = FindSetting(request["setting"].get<std::string>());
        std::string hint;
        if (s == nullptr) {
            hint = std::string(" (zorenc help ") + command + " lists them)";
        } else if (std::strcmp(command, "set") == 0 && !s->Writable()) {
            const char *clear = std::strstr(s->help, "clear with: ");
            hint = clear != nullptr ? "; " + std::string(clear, std::strlen(clear) - 1) : "";
        } else if (std::strcmp(command, "get") == 0 ? s->Readable() : s->Writable()) {
            hint = "; usage: zorenc " +
                   (std::strcmp(command, "get") == 0 ? GetSynopsis(*s) : SetSynopsis(*s));
        }
        throw Failure(failure.Kind(), failure.what() + hint, failure.Details());
    }
}

void PrintReadings(const Setting &s, const std::vector<SettingReading> &rows, bool json, bool many)
{
    if (json) {
        if (!many) {
            PrintJson(companion::ReadingObject(s, rows.front()));
            return;
        }
        Json list = Json::array();
        for (const SettingReading &row : rows) {
            list.push_back(companion::ReadingObject(s, row));
        }
        PrintJson(list);
        return;
    }
    const bool single = rows.front().reading.size() == 1;
    std::vector<std::string> header;
    if (s.scope != Scope::kBoard) {
        header.push_back(s.scope == Scope::kInput ? "input" : "channel");
    }
    if (s.scope == Scope::kChannelIndex) {
        header.push_back("index");
    }
    for (const Field &f : rows.front().reading) {
        header.push_back(single ? s.name : f.name);
    }
    Table table(header);
    for (const SettingReading &row : rows) {
        std::vector<std::string> cells;
        if (s.scope != Scope::kBoard) {
            cells.push_back(std::to_string(row.key.number));
        }
        if (s.scope == Scope::kChannelIndex) {
            cells.push_back(std::to_string(row.key.index));
        }
        for (const Field &f : row.reading) {
            cells.push_back(companion::FieldText(f));
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
        throw UsageFailure(inv.command + " takes no arguments");
    }
}

// text as lines of at most width characters after indent, broken at spaces.
std::string Wrapped(const std::string &text, size_t indent, size_t width)
{
    std::string out;
    std::string line;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += std::string(indent, ' ') + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    return out + (line.empty() ? "" : std::string(indent, ' ') + line + "\n");
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
        if (s.Writable()) {
            values = s.Readable() ? "" : "set only: ";
            for (size_t f = 0; f < s.setForms.size(); ++f) {
                values += (f ? " or " : "") + companion::FormNames(s.setForms[f]);
            }
        } else {
            values = s.getArgs.empty() ? std::string("read only")
                                       : "read only, get: " + companion::FormNames(s.getArgs);
        }
        table.Add({s.name, key, values});
        const std::string takes = companion::ValuesText(s);
        about.push_back(Wrapped(s.help, 6, 86) + (takes.empty() ? "" : Wrapped(takes, 6, 86)));
    }
    const std::vector<std::string> lines = table.Lines();
    std::string text = "  " + lines[0] + "\n";
    for (size_t i = 1; i < lines.size(); ++i) {
        text += "  " + lines[i] + "\n" + about[i - 1];
    }
    return text;
}

Action PlanGet(const Invocation &inv)
{
    if (inv.args.empty()) {
        throw UsageFailure("get needs a SETTING (zorenc help get lists them)");
    }
    const std::vector<std::string> words(inv.args.begin() + 1, inv.args.end());
    const SettingRequest read =
        Parsed(companion::ParseRead, Request(inv.args[0], words, "args"), "get");
    const bool json = inv.json;
    return [read, json](Session &session) {
        PrintReadings(*read.setting, companion::ReadSetting(session.Handle(), read), json,
                      read.every);
    };
}

Action PlanSet(const Invocation &inv)
{
    if (inv.args.empty()) {
        throw UsageFailure("set needs a SETTING and its value (zorenc help set lists them)");
    }
    const std::vector<std::string> words(inv.args.begin() + 1, inv.args.end());
    const SettingRequest write =
        Parsed(companion::ParseWrite, Request(inv.args[0], words, "values"), "set");
    const bool json = inv.json;
    return [write, json](Session &session) {
        // What the board holds now, which may differ from what was asked:
        // 0.299 is stored as 29 hundredths, and the note says so.
        const SettingReading back = companion::WriteSetting(session.Handle(), write);
        if (json) {
            PrintJson(companion::WrittenObject(write, back));
            return;
        }
        PrintReadings(write.setting->ReadBack(), {back}, false, false);
        if (!write.note.empty()) {
            std::fprintf(stderr, "zorenc: note: %s\n", write.note.c_str());
        }
    };
}

std::string ClearTargetsHelp()
{
    Table table({"", ""});
    for (const ClearTarget &t : companion::ClearTargets()) {
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
        throw UsageFailure("clear needs to know what: all, positions, triggers, errors, inputs, "
                           "or one counter (zorenc help clear)");
    }
    Json request = {{"what", inv.args[0]}};
    const ClearTarget *target = nullptr;
    for (const ClearTarget &t : companion::ClearTargets()) {
        target = inv.args[0] == t.name ? &t : target;
    }
    const size_t most = target == nullptr || target->scope == Scope::kBoard ? 1 : 2;
    if (target != nullptr && inv.args.size() > most) {
        throw UsageFailure("too many arguments for clear " + inv.args[0]);
    }
    if (inv.args.size() == 2) {
        request[target->scope == Scope::kInput ? "input" : "channel"] = inv.args[1];
    }
    ClearRequest clear;
    try {
        clear = companion::ParseClear(request);
    } catch (const Failure &failure) {
        throw UsageFailure(failure.what() + std::string(" (zorenc help clear)"));
    }
    const bool json = inv.json;
    return [clear, json](Session &session) {
        const Json done = companion::RunClear(session.Handle(), clear);
        PrintDone(json, "cleared " + companion::ClearSubject(clear), done);
    };
}

Action PlanCalibration(const Invocation &inv)
{
    if (inv.args.size() != 2 || (inv.args[0] != "start" && inv.args[0] != "stop")) {
        throw UsageFailure("usage: zorenc calibration start|stop CH");
    }
    const bool start = inv.args[0] == "start";
    const int32_t channel = companion::ParseKeyNumber(inv.args[1], "channel", BOARD_CHANNELS);
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

Action PlanFlash(const Invocation &inv)
{
    if (inv.args.size() != 1) {
        throw UsageFailure("usage: zorenc flash save|load|defaults");
    }
    const companion::FlashOp &op = companion::ParseFlash(Json{{"action", inv.args[0]}});
    const bool json = inv.json;
    return [&op, json](Session &session) {
        companion::RunFlash(session.Handle(), op);
        PrintDone(json, op.done, Json{{"flash", op.name}});
    };
}

namespace {

uint16_t ParseAddress(const std::string &text)
{
    if (text.rfind("REG_", 0) == 0) {
        const RegisterAt r = companion::FindRegisterByName(text);
        if (r.info == nullptr) {
            throw UsageFailure("no board-wide register is named " + text +
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
        object[r.info->placement == companion::Placement::kPerInput ? "input" : "channel"] =
            r.channel;
    }
    if (r.index >= 0) {
        object["index"] = r.index;
    }
    object["raw"] = raw;
    object["value"] = companion::DecodeJson(r.info ? r.info->encoding : Encoding::kRaw, raw);
    return object;
}

std::vector<std::string> RegisterCells(const RegisterAt &r, uint32_t raw)
{
    return {FormatHex(r.address, 4), r.Label(), FormatHex(raw),
            companion::DecodeText(r.info ? r.info->encoding : Encoding::kRaw, raw)};
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
        throw UsageFailure("usage: zorenc read ADDR");
    }
    const RegisterAt r = companion::FindRegister(ParseAddress(inv.args[0]));
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
        throw UsageFailure("usage: zorenc write ADDR VALUE");
    }
    const RegisterAt r = companion::FindRegister(ParseAddress(inv.args[0]));
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
        for (const RegisterAt &r : companion::ReadableRegisters(all)) {
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
