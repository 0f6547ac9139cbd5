// Configuration documents between simulated boards: what save reads, what
// apply writes (and does not write), the faults a file is refused for, and
// the exact counts of awkward decimals.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "config.h"
#include "failure.h"
#include "protocol/codec.h"
#include "sim/board.h"

namespace companion = zorenc::companion;

namespace {

using companion::Json;

// Every register a configuration covers.
std::vector<uint16_t> CoveredRegisters()
{
    std::vector<uint16_t> list;
    for (int ch = 0; ch < BOARD_CHANNELS; ++ch) {
        for (uint16_t offset : {0x0, 0x1, 0x2, 0x3, 0x4, 0x7, 0x8, 0x9, 0xA, 0xB, 0xC}) {
            list.push_back(ChannelRegister(ch, offset));
        }
        for (int i = 0; i < BOARD_INDEX_TRIGGERS; ++i) {
            list.push_back(IndexTriggerRegister(ch, i));
        }
        list.push_back(GlobalRegister(REG_VENC_FREQUENCY, ch));
    }
    for (uint16_t a : {REG_ENC_RESOLUTION, REG_POSITIVE_RUN, REG_NEGATIVE_RUN, REG_TRG_MODE}) {
        list.push_back(a);
    }
    return list;
}

// A simulated board opened through the library.
struct Sim {
    zorsim::Board board;
    ZorEncHandle handle = 0;
    Sim()
    {
        EXPECT_TRUE(board.Start());
        handle = ZorEncCreateHandler();
        EXPECT_TRUE(ZorEncOpen(handle, board.SlavePath().c_str()));
        board.ClearRequests();
    }
    ~Sim()
    {
        ZorEncCloseHandler(handle);
        board.Stop();
    }
    size_t Writes()
    {
        size_t writes = 0;
        for (const auto &frame : board.Requests()) {
            const auto request =
                zorenc::protocol::DecodeReply(frame.data(), static_cast<int32_t>(frame.size()));
            writes += request.command == 'W' ? 1 : 0;
        }
        return writes;
    }
};

std::vector<std::string> FaultsOf(const Json &document)
{
    try {
        companion::CheckConfig(document);
    } catch (const companion::Failure &failure) {
        EXPECT_EQ(failure.Kind(), "usage");
        return failure.Details()["faults"].get<std::vector<std::string>>();
    }
    return {};
}

TEST(Config, CloneCopiesEveryRegisterAndAnIdenticalApplyWritesNothing)
{
    Sim a;
    Sim b;
    uint32_t n = 1;
    for (uint16_t address : CoveredRegisters()) {
        // Every value changed from its default and within what its setting
        // takes: the control word's nibble 2 one the board shows (0, 2 or
        // 4), the frequency small, multiplier and last index in range.
        uint32_t value = 0x9E3779B9u * n++;
        const uint16_t offset = address < 0x400 ? address & 0xFF : 0xFFFF;
        value = offset == REG_TRG_CONTROL ? (value & 0xFFFFF0FFu) | 0x400u : value;
        value = offset == REG_ENC_MULTI_ANALOG ? value & 0x7FFFFFFFu : value;
        value = offset == REG_IDX_TRG_LAST_INDEX ? n % BOARD_INDEX_TRIGGERS : value;
        value = address >= REG_VENC_FREQUENCY && address < 0x404 ? n : value;
        a.board.Set(address, value);
    }
    const std::string text = companion::ConfigText(companion::SaveConfig(a.handle, "A", nullptr));
    const companion::Config config = companion::CheckConfigText(text);
    EXPECT_EQ(config.entries.size(), 12u * 4 + 4 + 960);

    const Json result = companion::ApplyConfig(b.handle, config, {true, false});
    EXPECT_EQ(result["written"].size(), config.entries.size());
    for (uint16_t address : CoveredRegisters()) {
        EXPECT_EQ(a.board.Get(address), b.board.Get(address)) << std::hex << address;
    }
    EXPECT_TRUE(companion::DiffConfig(b.handle, config).empty());

    b.board.ClearRequests();
    const Json again = companion::ApplyConfig(b.handle, config, {});
    EXPECT_TRUE(again["written"].empty());
    EXPECT_EQ(b.Writes(), 0u);
}

TEST(Config, EveryFaultOfAFileIsListed)
{
    Sim b;
    const Json good = companion::SaveConfig(b.handle, nullptr, nullptr);
    EXPECT_TRUE(FaultsOf(good).empty());
    Json bad = good;
    bad["format"] = "other";
    bad["version"] = 2;
    bad["settings"]["bogus"] = 1;
    bad["settings"].erase("trg-mode");
    bad["settings"]["trigger-delay"] = {0, 0, 0};                        // wrong shape
    bad["settings"]["trigger-output-mode"][1] = "2";                     // wrong type
    bad["settings"]["trigger-position0"][2] = 3000000000u;               // out of range
    bad["settings"]["virtual-encoder-frequency"][3] = -200;              // out of range
    bad["settings"]["trigger-controls"][0] = {{"word", 0x100}};          // not representable
    bad["settings"]["trigger-generator"][1] = {{"upper", 1}, {"lo", 2}}; // fields
    const std::vector<std::string> expected = {
        "format: expected",
        "version: 2 is not a version",
        "settings.bogus: unknown setting",
        "settings.trg-mode: missing",
        "settings.trigger-delay: expected an array of 4",
        "settings.trigger-output-mode[1]: expected an integer",
        "settings.trigger-position0[2]: value 3000000000 is out of range",
        "settings.virtual-encoder-frequency[3]: value -200 is out of range 0..2147483647",
        "settings.trigger-controls[0].word: nibble2 1 cannot be read back",
        "settings.trigger-generator[1]: unknown field \"lo\"",
        "settings.trigger-generator[1]: missing field \"lower\"",
    };
    const std::vector<std::string> faults = FaultsOf(bad);
    ASSERT_EQ(faults.size(), expected.size()) << Json(faults).dump(2);
    for (const std::string &e : expected) {
        bool found = false;
        for (const std::string &f : faults) {
            found = found || f.rfind(e, 0) == 0;
        }
        EXPECT_TRUE(found) << e << " not in " << Json(faults).dump(2);
    }
    try {
        companion::CheckConfigText("{\n  \"format\": zorenc\n}");
        FAIL() << "a syntax error was accepted";
    } catch (const companion::Failure &failure) {
        EXPECT_EQ(failure.Details()["line"], 2);
        EXPECT_EQ(failure.Details()["column"], 13);
    }
    EXPECT_EQ(b.Writes(), 0u);
}

// More decimals than the unit: taken as zorenc set takes them, cut to the
// unit, with a warning that says what the board is given.
TEST(Config, ExtraDecimalsAreCutToTheUnitWithAWarning)
{
    Sim b;
    Json document = companion::SaveConfig(b.handle, nullptr, nullptr);
    document["settings"]["trigger-pulse-width"][3] = 0.295;
    const companion::Config config = companion::CheckConfig(document);
    ASSERT_EQ(config.warnings.size(), 1u);
    EXPECT_EQ(config.warnings[0], "settings.trigger-pulse-width[3]: 0.295 is stored as 0.29 "
                                  "(trigger-pulse-width is kept in hundredths)");
    const Json result = companion::ApplyConfig(b.handle, config, {});
    EXPECT_EQ(result["written"], Json::array({"trigger-pulse-width 3"}));
    EXPECT_EQ(result["warnings"], Json(config.warnings));
    EXPECT_EQ(b.board.Get(0x0309), 29u);
}

TEST(Config, AnotherFirmwareIsAppliedOnlyWhenForced)
{
    Sim b;
    Json document = companion::SaveConfig(b.handle, nullptr, nullptr);
    document["board"]["firmware_version"] = 1.49;
    document["settings"]["trg-mode"] = 5;
    const companion::Config config = companion::CheckConfig(document);
    try {
        companion::ApplyConfig(b.handle, config, {true, false});
        FAIL() << "applied without force";
    } catch (const companion::Failure &failure) {
        EXPECT_EQ(failure.Details()["reason"], "version");
        EXPECT_NE(std::string(failure.what()).find("firmware 1.49"), std::string::npos);
    }
    EXPECT_EQ(b.Writes(), 0u);
    companion::ApplyConfig(b.handle, config, {false, true});
    EXPECT_EQ(b.board.Get(REG_TRG_MODE), 5u);
}

// A board that takes a write, or its read-back, and never answers: the
// setting is unconfirmed (the board holds it all the same), every one before
// it verified, every one after it not sent.
TEST(Config, AFailureMidwaySplitsTheSettingsIntoVerifiedUnconfirmedAndNotSent)
{
    Sim b;
    Json document = companion::SaveConfig(b.handle, nullptr, nullptr);
    for (int ch = 0; ch < BOARD_CHANNELS; ++ch) {
        for (int i = 0; i < BOARD_INDEX_TRIGGERS; ++i) {
            document["settings"]["index-trigger-position"][ch][i] = 1000 + i;
        }
    }
    const companion::Config config = companion::CheckConfig(document);
    // After the plan (2 version reads and one read per entry), writes and
    // read-backs alternate: 20 requests later the next is a write, 21 later
    // a read-back.
    const size_t planned = 2 + config.entries.size();
    for (const size_t silenced : {planned + 20, planned + 21}) {
        SCOPED_TRACE(silenced);
        for (int i = 0; i < BOARD_INDEX_TRIGGERS; ++i) {
            b.board.Set(IndexTriggerRegister(0, i), 0x80000000u);
        }
        b.board.ClearRequests();
        std::thread saboteur([&b, silenced] {
            if (b.board.WaitForRequests(silenced, 10000)) {
                b.board.InjectFault(zorsim::Fault::kSilence);
            }
        });
        try {
            companion::ApplyConfig(b.handle, config, {});
            ADD_FAILURE() << "the apply did not fail";
        } catch (const companion::Failure &failure) {
            const Json &d = failure.Details();
            EXPECT_EQ(d["reason"], "write");
            ASSERT_EQ(d["unconfirmed"].size(), 1u) << d.dump();
            EXPECT_EQ(d["setting"], d["unconfirmed"][0]);
            EXPECT_EQ(d["verified"].size() + 1 + d["not_sent"].size(), 960u);
            EXPECT_GE(d["verified"].size(), 9u);
            EXPECT_EQ(d["written"], d["verified"]);
            Json notWritten = d["unconfirmed"];
            notWritten.insert(notWritten.end(), d["not_sent"].begin(), d["not_sent"].end());
            EXPECT_EQ(d["not_written"], notWritten);
            // The labels run in the plan's order: channel 0's index i is the
            // i-th, and the board holds what it took.
            const size_t taken = d["verified"].size() + 1;
            EXPECT_EQ(d["unconfirmed"][0], "index-trigger-position 0 " + std::to_string(taken - 1));
            EXPECT_EQ(d["not_sent"].back(), "index-trigger-position 3 239");
            EXPECT_EQ(b.board.Get(IndexTriggerRegister(0, static_cast<int>(taken - 1))),
                      0x80000000u + 1000 + (taken - 1))
                << "the unconfirmed write reached the board";
            EXPECT_EQ(b.board.Get(IndexTriggerRegister(0, static_cast<int>(taken))), 0x80000000u)
                << "not sent";
        }
        saboteur.join();
    }
}

// Every reader of JSON refuses what it cannot hold, as a usage failure with
// the place: the stack, the memory and the meaning of a document stay
// bounded.
TEST(Config, TheReaderRefusesWhatItCannotHoldWithItsPlace)
{
    struct Case {
        std::string text;
        const char *fault;
        int line; // 0: no place
        int column;
    };
    const Case cases[] = {
        {"{\"settings\": " + std::string(100000, '['), "nested deeper than 16 levels", 1, 29},
        {"{\n  \"version\": 1e309\n}", "the number 1e309 is beyond the range", 2, 14},
        {"{\"a\": [-1e400]}", "the number -1e400 is beyond", 1, 8},
        {"{\"format\": 1, \"format\": 2}", "the key \"format\" is given twice", 1, 22},
        {"{\"a\\u0000b\": 1}", "a key holds the character U+0000", 1, 11},
        {"{\"saved\": \"x\\u0000\"}", "a string holds the character U+0000", 1, 19},
        {"{\"format\": zorenc}", "syntax error while parsing value", 1, 12},
        {std::string(companion::kMaxJsonBytes + 1, ' '), "larger than 1048576 bytes", 0, 0},
        {"{\"version\": 1.0}", "version: 1.0 is not a version", 0, 0},
        {"{\"colour\": 1}", "colour: unknown key", 0, 0},
        {"{\"board\": {\"colour\": 1}}", "board.colour: unknown key", 0, 0},
        {"{\"saved\": 7}", "saved: expected the time as text", 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        try {
            companion::CheckConfigText(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const companion::Failure &failure) {
            EXPECT_EQ(failure.Kind(), "usage");
            const Json &d = failure.Details();
            std::string faults;
            for (const Json &fault : d["faults"]) {
                faults += fault.get<std::string>() + "\n";
            }
            EXPECT_NE(faults.find(c.fault), std::string::npos) << faults;
            if (c.line != 0) {
                EXPECT_EQ(d["line"], c.line);
                EXPECT_EQ(d["column"], c.column);
                const std::string place = "line " + std::to_string(c.line) + ", column " +
                                          std::to_string(c.column) + ": ";
                EXPECT_NE(std::string(failure.what()).find(place), std::string::npos)
                    << failure.what();
            }
        }
    }
}

// Decimals whose binary neighbour lies below them: each keeps the count it
// was written with, through set and through a save and apply.
TEST(Config, DecimalsKeepTheirExactCounts)
{
    struct Case {
        const char *setting;
        const char *text;
        int64_t count;
        uint16_t address;
    };
    const Case cases[] = {
        {"trigger-delay", "0.29", 29, 0x000A},
        {"trigger-delay", "0.57", 57, 0x000A},
        {"trigger-delay", "1.13", 113, 0x000A},
        {"trigger-delay", "1.005", 100, 0x000A},
        {"trigger-delay", "-1.239", -123, 0x000A},
        {"trigger-delay", "21474836.47", 2147483647, 0x000A},
        {"trigger-pulse-width", "-21474836.47", -2147483647, 0x0009},
        {"encoder-resolution", "1.005", 1005, REG_ENC_RESOLUTION},
        {"encoder-resolution", "4.097", 4097, REG_ENC_RESOLUTION},
        {"encoder-resolution", "4294967.295", 4294967295, REG_ENC_RESOLUTION},
        {"encoder-resolution", "0.001", 1, REG_ENC_RESOLUTION},
    };
    Sim a;
    Sim b;
    for (const Case &c : cases) {
        const companion::Setting &s = *companion::FindSetting(c.setting);
        const companion::Args args = {companion::ParseValue(s.setForms[0][0], c.text)};
        const companion::Key key = {s.scope == companion::Scope::kBoard ? -1 : 0, -1};
        ASSERT_EQ(s.set(a.handle, key, args), ZORENC_OK) << c.text;
        EXPECT_EQ(a.board.Get(c.address), static_cast<uint32_t>(c.count)) << c.text;
        const companion::Config config = companion::CheckConfigText(
            companion::ConfigText(companion::SaveConfig(a.handle, nullptr, nullptr)));
        companion::ApplyConfig(b.handle, config, {});
        EXPECT_EQ(b.board.Get(c.address), static_cast<uint32_t>(c.count)) << c.text;
    }
}

} // namespace
