// The register table (src/device/register_table.inc) against itself and
// against docs/registers.md, whose two register tables are written by hand
// around it (with the functions that use each register).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "device/registers.h"

namespace {

// Every instance of every register has an address of its own, and a
// channel's registers stay inside that channel's block.
TEST(RegisterTable, EveryInstanceHasAnAddressOfItsOwn)
{
    std::map<uint16_t, std::string> owner;
    std::set<std::string> names;
    for (const RegisterSpec &desc : kRegisterTable) {
        EXPECT_TRUE(names.insert(desc.name).second) << desc.name << " twice";
        ForEachInstance(
            desc.placement, desc.address, [&](uint16_t address, int32_t number, int32_t index) {
                const std::string label = std::string(desc.name) + "[" + std::to_string(number) +
                                          "][" + std::to_string(index) + "]";
                const auto [at, fresh] = owner.emplace(address, label);
                EXPECT_TRUE(fresh) << label << " and " << at->second << " share " << address;
                if (desc.placement == RegisterPlacement::kChannelBlock ||
                    desc.placement == RegisterPlacement::kIndexTable) {
                    EXPECT_EQ(address >> 8, number) << label;
                }
            });
    }
    // 12 channel-block registers and 240 index triggers per channel, 4 + 7 +
    // 4 + 4 + 4 in the global block, 11 board-wide ones (REG_DI_STATE among them).
    EXPECT_EQ(owner.size(), 4u * (12 + 240) + 23 + 11);
}

struct DocumentedRegister {
    std::string address; // "0x00", "0x0400" + channel
    std::string access;
    std::string encoding;
    RegisterPlacement placement;
};

// The rows of the "Channel block" and "Global registers" tables by name.
std::map<std::string, DocumentedRegister> DocumentedRegisters()
{
    std::ifstream in(std::string(ZORENC_SOURCE_DIR) + "/docs/registers.md");
    EXPECT_TRUE(in);
    std::map<std::string, DocumentedRegister> rows;
    const std::regex row(
        R"(^\| `(0x[0-9A-F]+)`( \+ (channel|input|index))? \| `(REG_\w+)` \| (RW|R|W) \| ([^|]+) \|.*)");
    std::string section;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("## ", 0) == 0) {
            section = line;
        }
        std::smatch m;
        if (!std::regex_match(line, m, row)) {
            continue;
        }
        const std::string step = m[3];
        RegisterPlacement placement = RegisterPlacement::kBoard;
        if (section.find("Channel block") != std::string::npos) {
            placement =
                step == "index" ? RegisterPlacement::kIndexTable : RegisterPlacement::kChannelBlock;
        } else if (step == "channel") {
            placement = RegisterPlacement::kPerChannel;
        } else if (step == "input") {
            placement = RegisterPlacement::kPerInput;
        }
        EXPECT_EQ(rows.count(m[4]), 0u) << m[4] << " listed twice";
        rows[m[4]] = {m[1], m[5], m[6], placement};
    }
    return rows;
}

std::string Hex(uint16_t address, int digits)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%0*X", digits, address);
    return text;
}

// How the page words each encoding: the start of its Encoding cell.
const char *EncodingWords(RegisterEncoding encoding)
{
    switch (encoding) {
    case RegisterEncoding::kRaw:
        return "raw";
    case RegisterEncoding::kOffsetBinary:
        return "offset binary";
    case RegisterEncoding::kHundredths:
        return "hundredths, signed";
    case RegisterEncoding::kThousandths:
        return "thousandths, unsigned";
    case RegisterEncoding::kFirmware:
        return "version x 100 in the low 16 bits";
    case RegisterEncoding::kLogic:
        return "version x 100, unsigned";
    case RegisterEncoding::kControls:
        return "trigger-control word";
    case RegisterEncoding::kGenerator:
        return "two 16-bit halves";
    case RegisterEncoding::kInputs:
        return "bit n: digital input n";
    case RegisterEncoding::kCommand:
        return "command";
    case RegisterEncoding::kClearMask:
        return "clear mask";
    }
    return "?";
}

TEST(RegisterTable, TheRegisterPageListsEveryRegisterAsTheTableHasIt)
{
    std::map<std::string, DocumentedRegister> rows = DocumentedRegisters();
    for (const RegisterSpec &desc : kRegisterTable) {
        SCOPED_TRACE(desc.name);
        const auto row = rows.find(desc.name);
        ASSERT_NE(row, rows.end()) << "docs/registers.md does not list it";
        const DocumentedRegister &doc = row->second;
        const bool offset = desc.placement == RegisterPlacement::kChannelBlock ||
                            desc.placement == RegisterPlacement::kIndexTable;
        EXPECT_EQ(doc.address, Hex(desc.address, offset ? 2 : 4));
        EXPECT_EQ(static_cast<int>(doc.placement), static_cast<int>(desc.placement));
        const char *access = desc.access == RegisterAccess::kReadWrite ? "RW"
                             : desc.access == RegisterAccess::kRead    ? "R"
                                                                       : "W";
        EXPECT_EQ(doc.access, access);
        const std::string words = EncodingWords(desc.encoding);
        EXPECT_EQ(doc.encoding.compare(0, words.size(), words), 0)
            << "'" << doc.encoding << "' is not " << words;
        rows.erase(row);
    }
    for (const auto &[name, doc] : rows) {
        ADD_FAILURE() << "docs/registers.md lists " << name << ", which the table has not";
    }
}

} // namespace

namespace {

// Both pages about the simulated board list each of its status codes.
TEST(SimStatuses, TheSimulatorPagesListEveryStatus)
{
    const unsigned codes[] = {
#define ZORSIM_STATUS(name, code, meaning) code,
#include "device/sim_statuses.inc"
    };
    for (const char *page : {"docs/simulator.md", "sim/README.md"}) {
        std::ifstream in(std::string(ZORENC_SOURCE_DIR) + "/" + page);
        ASSERT_TRUE(in) << page;
        std::set<unsigned> listed;
        const std::regex row(R"(^\| `?0x([0-9A-F]{2})`? \|.*)");
        for (std::string line; std::getline(in, line);) {
            std::smatch m;
            if (std::regex_match(line, m, row)) {
                listed.insert(static_cast<unsigned>(std::stoul(m[1], nullptr, 16)));
            }
        }
        for (unsigned code : codes) {
            EXPECT_EQ(listed.count(code), 1u) << page << " does not list status " << code;
        }
    }
}

} // namespace
