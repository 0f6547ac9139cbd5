#include "config.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <iterator>

#include "device/registers.h"
#include "failure.h"
#include "numbers.h"
#include "ports.h"
#include "results.h"
#include "setting_request.h"

namespace zorenc::companion {

namespace {

constexpr const char *kFormat = "zorenc-board-config";
constexpr int kVersion = 1;
const std::string kDocumentKeys[] = {"format", "version", "saved", "board", "settings"};
const std::string kBoardKeys[] = {"port", "firmware_version", "logic_version", "serial_number"};

// The setter's first form: the values a configuration holds.
const ValueForm &FirstForm(const Setting &s)
{
    return s.setForms.front();
}

// The control word, written whole or as its fields.
bool IsControls(const Setting &s)
{
    return s.setForms.size() > 1;
}

const ValueSpec kWordSpec = {"word", ValueKind::kWord};

// Words compare by their 32 bits, whichever sign they were written with.
int64_t Normal(const ValueSpec &desc, int64_t value)
{
    return desc.kind == ValueKind::kWord ? static_cast<int64_t>(static_cast<uint32_t>(value))
                                         : value;
}

std::vector<int64_t> CountsOf(const Setting &s, const Reading &reading)
{
    const ValueForm &form = FirstForm(s);
    std::vector<int64_t> counts;
    for (size_t i = 0; i < form.size() && i < reading.size(); ++i) {
        const Field &f = reading[i];
        counts.push_back(f.kind == FieldKind::kReal
                             ? std::llround(f.real * std::pow(10.0, form[i].places))
                             : Normal(form[i], f.integer));
    }
    return counts;
}

Args ArgsOf(const Setting &s, const std::vector<int64_t> &counts)
{
    const ValueForm &form = FirstForm(s);
    Args args;
    for (size_t i = 0; i < form.size(); ++i) {
        Arg a;
        a.integer = form[i].kind == ValueKind::kWord
                        ? static_cast<int32_t>(static_cast<uint32_t>(counts[i]))
                        : counts[i];
        a.real = form[i].places > 0 ? MiddleOf(counts[i], form[i].places)
                                    : static_cast<double>(a.integer);
        args.push_back(a);
    }
    return args;
}

// Lower-case names of the values of a multi-valued setter ("upper", "lower").
std::vector<std::string> ValueNames(const Setting &s)
{
    std::vector<std::string> names;
    for (const ValueSpec &desc : FirstForm(s)) {
        std::string name = desc.name;
        for (char &c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        names.push_back(name);
    }
    return names;
}

// Collects every fault of a document, each with where it is.
class Checker {
public:
    std::vector<std::string> faults;
    std::vector<std::string> warnings;

    void Fault(const std::string &where, const std::string &what)
    {
        faults.push_back(where + ": " + what);
    }

    // One value of a setting at one key; false when it has a fault.
    bool Value(const Setting &s, const std::string &where, const Json &value,
               std::vector<int64_t> &counts)
    {
        const ValueForm &form = FirstForm(s);
        if (IsControls(s)) {
            return Controls(where, value, counts);
        }
        if (form.size() == 1) {
            int64_t count = 0;
            if (!Number(form[0], where, value, count, s.name)) {
                return false;
            }
            counts.push_back(count);
            return true;
        }
        const std::vector<std::string> names = ValueNames(s);
        if (!Object(where, value, names, names)) {
            return false;
        }
        bool ok = true;
        for (size_t i = 0; i < form.size(); ++i) {
            int64_t count = 0;
            ok = Number(form[i], where + "." + names[i], value[names[i]], count,
                        std::string(s.name) + " " + names[i]) &&
                 ok;
            counts.push_back(count);
        }
        return ok;
    }

private:
    bool Number(const ValueSpec &desc, const std::string &where, const Json &value, int64_t &count,
                const std::string &what)
    {
        std::string text;
        const bool scaled = desc.kind == ValueKind::kScaled;
        if (value.is_number_integer()) {
            text = value.dump();
        } else if (value.is_number_float() && scaled) {
            text = FormatReal(value.get<double>());
        } else {
            Fault(where, "expected " + std::string(scaled ? "a number" : "an integer") + ", not " +
                             value.dump());
            return false;
        }
        try {
            const Arg a = ParseValue(desc, text, "value");
            const std::string stored = StoredText(desc, text, a, what);
            if (!stored.empty()) {
                warnings.push_back(where + ": " + stored);
            }
            count = Normal(desc, a.integer);
            return true;
        } catch (const Failure &failure) {
            Fault(where, failure.what());
            return false;
        }
    }

    // An object whose keys are all among allowed and include every required.
    bool Object(const std::string &where, const Json &value,
                const std::vector<std::string> &allowed, const std::vector<std::string> &required)
    {
        if (!value.is_object()) {
            Fault(where, "expected an object, not " + value.dump());
            return false;
        }
        bool ok = true;
        for (const auto &member : value.items()) {
            if (std::find(allowed.begin(), allowed.end(), member.key()) == allowed.end()) {
                Fault(where, "unknown field \"" + member.key() + "\"");
                ok = false;
            }
        }
        for (const std::string &name : required) {
            if (!value.contains(name)) {
                Fault(where, "missing field \"" + name + "\"");
                ok = false;
            }
        }
        return ok;
    }

    // The control word: "word" is written; the fields, where given, must
    // agree with it.
    bool Controls(const std::string &where, const Json &value, std::vector<int64_t> &counts)
    {
        std::vector<std::string> names;
        for (const Field &f : ControlsReading(0)) {
            names.push_back(f.name);
        }
        int64_t word = 0;
        if (!Object(where, value, names, {"word"}) ||
            !Number(kWordSpec, where + ".word", value["word"], word, "word")) {
            return false;
        }
        bool ok = true;
        for (const Field &f : ControlsReading(static_cast<uint32_t>(word))) {
            if (value.contains(f.name) && f.name != "word" && value[f.name] != f.integer) {
                Fault(where + "." + f.name, value[f.name].dump() + " disagrees with word " +
                                                std::to_string(word) + " (which has " +
                                                std::to_string(f.integer) + ")");
                ok = false;
            }
        }
        const int64_t nibble2 = (word >> 8) & 0xF;
        if (nibble2 != 0 && nibble2 != 2 && nibble2 != 4) {
            Fault(where + ".word", "nibble2 " + std::to_string(nibble2) +
                                       " cannot be read back (the board shows it only as 0, "
                                       "2 or 4)");
            ok = false;
        }
        counts.push_back(word);
        return ok;
    }
};

int64_t Hundredths(const Json &value)
{
    return value.is_number() ? std::llround(value.get<double>() * 100.0) : -1;
}

std::string VersionText(int64_t hundredths)
{
    const std::string cents = std::to_string(100 + hundredths % 100);
    return std::to_string(hundredths / 100) + "." + cents.substr(1);
}

Json ElementLabels(const std::vector<const ConfigEntry *> &entries, size_t from, size_t to)
{
    Json labels = Json::array();
    for (size_t i = from; i < to; ++i) {
        labels.push_back(EntryLabel(*entries[i]->setting, entries[i]->key));
    }
    return labels;
}

// The three lists of an apply over its plan, in the plan's order: the first
// `verified` entries were written and read back equal, the next `unconfirmed`
// were sent without that proof, the rest were not sent. "written" and
// "not_written" are the names of earlier releases: verified, and the other
// two together.
Json ApplyLists(const std::vector<const ConfigEntry *> &plan, size_t verified, size_t unconfirmed)
{
    const size_t sent = verified + unconfirmed;
    return {{"verified", ElementLabels(plan, 0, verified)},
            {"unconfirmed", ElementLabels(plan, verified, sent)},
            {"not_sent", ElementLabels(plan, sent, plan.size())},
            {"written", ElementLabels(plan, 0, verified)},
            {"not_written", ElementLabels(plan, verified, plan.size())}};
}

// Whether a write that failed with r may have reached the board. Range and
// value checks come before anything is sent, and a port that was not open
// sends nothing. Anything else went out, or may have: its reply never came
// (a board may have taken the write and lost the reply), came malformed or
// refused, or the port was lost during the call.
bool MayHaveArrived(ZorEncResult r, bool portWasOpen)
{
    if (r == ZORENC_ERR_PARAM || r == ZORENC_ERR_CHANNEL) {
        return false;
    }
    return r != ZORENC_ERR_NOT_OPEN || portWasOpen;
}

} // namespace

std::string EntryLabel(const Setting &s, const Key &key)
{
    std::string label = s.name;
    if (s.scope != Scope::kBoard) {
        label += " " + std::to_string(key.number);
    }
    if (s.scope == Scope::kChannelIndex) {
        label += " " + std::to_string(key.index);
    }
    return label;
}

Json ReadingJson(const Reading &reading)
{
    auto number = [](const Field &f) {
        return f.kind == FieldKind::kReal ? Json(f.real) : Json(f.integer);
    };
    if (reading.size() == 1 && reading[0].name == "value") {
        return number(reading[0]);
    }
    Json object = Json::object();
    for (const Field &f : reading) {
        object[f.name] = number(f);
    }
    return object;
}

Json SaveConfig(ZorEncHandle handle, const Json &port, const Json &serialNumber)
{
    const std::time_t now = std::time(nullptr);
    char saved[32] = "";
    std::strftime(saved, sizeof saved, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
    Json board = {{"port", port}};
    for (const char *name : {"firmware-version", "logic-version"}) {
        std::string key = name;
        key[key.find('-')] = '_';
        board[key] = ReadingJson(ReadOne(handle, *FindSetting(name), Key{}));
    }
    board["serial_number"] = serialNumber;
    if (serialNumber.is_null() && port.is_string()) {
        const std::string serial = UsbSerialNumber(port.get<std::string>());
        if (!serial.empty()) {
            board["serial_number"] = serial;
        }
    }
    Json settings = Json::object();
    for (const Setting &s : Settings()) {
        if (!s.saved) {
            continue;
        }
        if (s.scope == Scope::kBoard) {
            settings[s.name] = ReadingJson(ReadOne(handle, s, Key{}));
            continue;
        }
        Json channels = Json::array();
        for (int32_t ch = 0; ch < BOARD_CHANNELS; ++ch) {
            if (s.scope == Scope::kChannel) {
                channels.push_back(ReadingJson(ReadOne(handle, s, Key{ch, -1})));
                continue;
            }
            Json table = Json::array();
            for (int32_t i = 0; i < BOARD_INDEX_TRIGGERS; ++i) {
                table.push_back(ReadingJson(ReadOne(handle, s, Key{ch, i})));
            }
            channels.push_back(table);
        }
        settings[s.name] = channels;
    }
    return {{"format", kFormat},
            {"version", kVersion},
            {"saved", saved},
            {"board", board},
            {"settings", settings}};
}

std::string ConfigText(const Json &document)
{
    std::string text = "{\n";
    const char *separator = "";
    for (const auto &member : document.items()) {
        text += separator;
        text += "  " + DumpLine(Json(member.key())) + ": ";
        separator = ",\n";
        if (member.key() != "settings" || !member.value().is_object()) {
            text += DumpLine(member.value());
            continue;
        }
        text += "{\n";
        const char *inner = "";
        for (const auto &setting : member.value().items()) {
            text += inner;
            text += "    " + DumpLine(Json(setting.key())) + ": ";
            inner = ",\n";
            const Json &value = setting.value();
            if (value.is_array() && !value.empty() && value[0].is_structured()) {
                text += "[\n";
                for (size_t i = 0; i < value.size(); ++i) {
                    text += "      " + DumpLine(value[i]) + (i + 1 < value.size() ? ",\n" : "\n");
                }
                text += "    ]";
            } else {
                text += DumpLine(value);
            }
        }
        text += "\n  }";
    }
    return text + "\n}\n";
}

Config CheckConfig(const Json &document)
{
    Checker check;
    Config config;
    if (!document.is_object()) {
        check.Fault("document", "expected an object, not " + std::string(document.type_name()));
        throw Failure("usage", "not a configuration: " + check.faults[0],
                      {{"faults", check.faults}});
    }
    for (const auto &member : document.items()) {
        if (std::find(std::begin(kDocumentKeys), std::end(kDocumentKeys), member.key()) ==
            std::end(kDocumentKeys)) {
            check.Fault(member.key(), "unknown key (a configuration holds format, version, "
                                      "saved, board and settings)");
        }
    }
    const Json format = document.value("format", Json());
    if (format != kFormat) {
        check.Fault("format", "expected \"" + std::string(kFormat) + "\", not " + format.dump());
    }
    // 1, not 1.0: a version is an integer.
    const Json version = document.value("version", Json());
    if (!version.is_number_integer() || version != kVersion) {
        check.Fault("version", version.dump() + " is not a version this tool reads (it reads " +
                                   std::to_string(kVersion) + ")");
    }
    if (document.contains("saved") && !document["saved"].is_string()) {
        check.Fault("saved", "expected the time as text, not " + document["saved"].dump());
    }
    const Json board = document.value("board", Json());
    config.firmwareVersion =
        Hundredths(board.is_object() ? board.value("firmware_version", Json()) : Json());
    config.logicVersion =
        Hundredths(board.is_object() ? board.value("logic_version", Json()) : Json());
    if (config.firmwareVersion < 0 || config.logicVersion < 0) {
        check.Fault("board", "expected an object with the numbers firmware_version and "
                             "logic_version");
    }
    const Json boardKeys = board.is_object() ? board : Json::object();
    for (const auto &member : boardKeys.items()) {
        if (std::find(std::begin(kBoardKeys), std::end(kBoardKeys), member.key()) ==
            std::end(kBoardKeys)) {
            check.Fault("board." + member.key(), "unknown key (board holds port, "
                                                 "firmware_version, logic_version and "
                                                 "serial_number)");
        }
    }
    const Json given = document.value("settings", Json());
    if (!given.is_object()) {
        check.Fault("settings", "expected an object of settings, not " + given.dump());
    }
    const Json settings = given.is_object() ? given : Json::object();
    for (const auto &member : settings.items()) {
        const Setting *s = FindSetting(member.key());
        if (s == nullptr) {
            check.Fault("settings." + member.key(), "unknown setting");
        } else if (!s->saved) {
            check.Fault("settings." + member.key(),
                        "not a setting that configurations hold (counters, positions, inputs "
                        "and the second name of a register are left out)");
        }
    }
    for (const Setting &s : Settings()) {
        if (!s.saved) {
            continue;
        }
        const std::string where = std::string("settings.") + s.name;
        if (!settings.contains(s.name)) {
            if (given.is_object()) {
                check.Fault(where, "missing");
            }
            continue;
        }
        const Json &value = settings[s.name];
        auto add = [&](const std::string &at, const Key &key, const Json &element) {
            ConfigEntry entry{&s, key, {}, element};
            if (check.Value(s, at, element, entry.counts)) {
                config.entries.push_back(std::move(entry));
            }
        };
        if (s.scope == Scope::kBoard) {
            add(where, Key{}, value);
            continue;
        }
        if (!value.is_array() || value.size() != BOARD_CHANNELS) {
            check.Fault(where, "expected an array of " + std::to_string(BOARD_CHANNELS) +
                                   (s.scope == Scope::kChannel ? " values (channels 0 to 3)"
                                                               : " arrays (channels 0 to 3)"));
            continue;
        }
        for (int32_t ch = 0; ch < BOARD_CHANNELS; ++ch) {
            const std::string at = where + "[" + std::to_string(ch) + "]";
            if (s.scope == Scope::kChannel) {
                add(at, Key{ch, -1}, value[ch]);
                continue;
            }
            const Json &table = value[ch];
            if (!table.is_array() || table.size() != BOARD_INDEX_TRIGGERS) {
                check.Fault(at, "expected an array of " + std::to_string(BOARD_INDEX_TRIGGERS) +
                                    " positions");
                continue;
            }
            for (int32_t i = 0; i < BOARD_INDEX_TRIGGERS; ++i) {
                add(at + "[" + std::to_string(i) + "]", Key{ch, i}, table[i]);
            }
        }
    }
    if (!check.faults.empty()) {
        const size_t n = check.faults.size();
        throw Failure("usage",
                      "refused, " + std::to_string(n) + (n == 1 ? " fault" : " faults") +
                          " (nothing was sent to the board): " + check.faults[0],
                      {{"faults", check.faults}});
    }
    config.warnings = check.warnings;
    return config;
}

Config CheckConfigText(const std::string &text)
{
    return CheckConfig(ReadJson(text, "the configuration"));
}

Json DiffConfig(ZorEncHandle handle, const Config &config)
{
    Json differences = Json::array();
    for (const ConfigEntry &entry : config.entries) {
        const Setting &s = *entry.setting;
        const Reading reading = ReadOne(handle, s, entry.key);
        if (CountsOf(s, reading) == entry.counts) {
            continue;
        }
        differences.push_back(
            {{"setting", s.name},
             {"channel", s.scope == Scope::kBoard ? Json() : Json(entry.key.number)},
             {"index", s.scope == Scope::kChannelIndex ? Json(entry.key.index) : Json()},
             {"board", ReadingJson(reading)},
             {"file", entry.value}});
    }
    return differences;
}

Json ApplyConfig(ZorEncHandle handle, const Config &config, const ApplyOptions &options)
{
    const int64_t firmware =
        std::llround(ReadOne(handle, *FindSetting("firmware-version"), Key{})[0].real * 100.0);
    const int64_t logic =
        std::llround(ReadOne(handle, *FindSetting("logic-version"), Key{})[0].real * 100.0);
    if (!options.force && (firmware != config.firmwareVersion || logic != config.logicVersion)) {
        throw Failure("board",
                      "the file was saved from firmware " + VersionText(config.firmwareVersion) +
                          ", logic " + VersionText(config.logicVersion) +
                          "; this board has firmware " + VersionText(firmware) + ", logic " +
                          VersionText(logic) + "; nothing was written",
                      {{"reason", "version"},
                       {"verified", Json::array()},
                       {"unconfirmed", Json::array()},
                       {"not_sent", Json::array()},
                       {"written", Json::array()},
                       {"not_written", Json::array()}});
    }
    // What differs, all of it known before the first write.
    std::vector<const ConfigEntry *> plan;
    for (const ConfigEntry &entry : config.entries) {
        if (CountsOf(*entry.setting, ReadOne(handle, *entry.setting, entry.key)) != entry.counts) {
            plan.push_back(&entry);
        }
    }
    for (size_t n = 0; n < plan.size(); ++n) {
        const ConfigEntry &entry = *plan[n];
        const Setting &s = *entry.setting;
        auto stop = [&](const std::string &why, bool sent) {
            Json details = {{"reason", "write"}, {"setting", EntryLabel(s, entry.key)}};
            details.update(ApplyLists(plan, n, sent ? 1 : 0));
            throw Failure("board", why, details);
        };
        const bool open = ZorEncIsOpen(handle);
        const ZorEncResult r = s.set(handle, entry.key, ArgsOf(s, entry.counts));
        if (r != ZORENC_OK) {
            stop("cannot set " + Subject(s, entry.key) + ": " + ResultText(r),
                 MayHaveArrived(r, open));
        }
        Reading back;
        const ZorEncResult rb = s.get(handle, entry.key, {}, back);
        if (rb != ZORENC_OK) {
            stop("the board took " + Subject(s, entry.key) +
                     ", but reading it back failed: " + ResultText(rb),
                 true);
        }
        if (CountsOf(s, back) != entry.counts) {
            stop(Subject(s, entry.key) + " reads back as " + DumpLine(ReadingJson(back)) +
                     ", not " + DumpLine(entry.value),
                 true);
        }
    }
    if (options.flash) {
        const ZorEncResult r = ZorEncSaveFlash(handle);
        if (r != ZORENC_OK) {
            Json details = {{"reason", "flash"}};
            details.update(ApplyLists(plan, plan.size(), 0));
            throw Failure("board",
                          "every setting was written and verified, but saving to flash failed: " +
                              ResultText(r),
                          details);
        }
    }
    Json result = ApplyLists(plan, plan.size(), 0);
    result["unchanged"] = config.entries.size() - plan.size();
    result["flash"] = options.flash;
    result["warnings"] = config.warnings;
    return result;
}

} // namespace zorenc::companion
