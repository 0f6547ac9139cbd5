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

TEST(Config, AFailureMidwayNamesWhatWasWrittenAndWhatWasNot)
{
    Sim b;
    Json document = companion::SaveConfig(b.handle, nullptr, nullptr);
    for (int ch = 0; ch < BOARD_CHANNELS; ++ch) {
        for (int i = 0; i < BOARD_INDEX_TRIGGERS; ++i) {
            document["settings"]["index-trigger-position"][ch][i] = 1000 + i;
        }
    }
    const companion::Config config = companion::CheckConfig(document);
    b.board.ClearRequests();
    // The board refuses a request once the apply has planned (2 version
    // reads and one read per entry) and written a few settings.
    const size_t planned = 2 + config.entries.size();
    std::thread saboteur([&b, planned] {
        if (b.board.WaitForRequests(planned + 20, 10000)) {
            b.board.InjectFault(zorsim::Fault::kStatus, 0x06, 1);
        }
    });
    try {
        companion::ApplyConfig(b.handle, config, {});
        ADD_FAILURE() << "the apply did not fail";
    } catch (const companion::Failure &failure) {
        const Json &d = failure.Details();
        EXPECT_EQ(d["reason"], "write");
        EXPECT_FALSE(d["written"].empty());
        EXPECT_FALSE(d["not_written"].empty());
        EXPECT_EQ(d["written"].size() + d["not_written"].size(), 960u);
        const std::string last = d["not_written"].back();
        EXPECT_EQ(last, "index-trigger-position 3 239");
        EXPECT_EQ(b.board.Get(IndexTriggerRegister(3, 239)), 0x80000000u) << "not written";
        EXPECT_EQ(b.board.Get(IndexTriggerRegister(0, 0)), 0x80000000u + 1000) << "written";
    }
    saboteur.join();
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
