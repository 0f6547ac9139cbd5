// zorenc-wireshark-generate TEMPLATE OUTPUT: writes the Wireshark dissector
// zorenc.lua from its template, with the register table, the status codes,
// the number of digital inputs and the test commands taken from the register
// table (device/register_table.inc through the companion's register map),
// device/sim_statuses.inc and the simulated board's codes, so that the
// dissector never holds a copy of its own.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "register_map.h"
#include "sim/board.h"

namespace companion = zorenc::companion;

namespace {

const char *EncodingName(companion::Encoding encoding)
{
    using companion::Encoding;
    switch (encoding) {
    case Encoding::kRaw:
        return "raw";
    case Encoding::kOffsetBinary:
        return "offset_binary";
    case Encoding::kHundredths:
        return "hundredths";
    case Encoding::kThousandths:
        return "thousandths";
    case Encoding::kFirmware:
        return "firmware";
    case Encoding::kLogic:
        return "logic";
    case Encoding::kControls:
        return "controls";
    case Encoding::kGenerator:
        return "generator";
    case Encoding::kInputs:
        return "inputs";
    case Encoding::kCommand:
        return "command";
    case Encoding::kClearMask:
        return "clear_mask";
    }
    return "raw";
}

// The simulated board's test commands: their names, and what their address
// field holds ("register" for an address of the map, "fault" for a kind and
// a count, "" for nothing the dissector decodes).
std::string TestCommandTable()
{
    const struct {
        uint8_t command;
        const char *name;
        const char *address;
    } commands[] = {
        {zorsim::kCmdPoke, "test: poke", "register"},
        {zorsim::kCmdPeek, "test: peek", "register"},
        {zorsim::kCmdFault, "test: fault", "fault"},
        {zorsim::kCmdInputs, "test: set the inputs", ""},
        {zorsim::kCmdCount, "test: count the recorded requests", ""},
        {zorsim::kCmdLength, "test: length of a recorded request", ""},
        {zorsim::kCmdQuery, "test: byte of a recorded request", ""},
        {zorsim::kCmdClearRequests, "test: forget the recorded requests", ""},
        {zorsim::kCmdReset, "test: power-cycle", ""},
        {zorsim::kCmdAppendRaw, "test: append raw bytes", ""},
        {zorsim::kCmdSendRaw, "test: send the raw bytes", ""},
    };
    std::ostringstream out;
    out << "-- The simulated board's test commands (zorenc-sim --test-commands): {name, "
           "what the address holds}\nlocal TEST_COMMANDS = {\n";
    for (const auto &c : commands) {
        char line[120];
        std::snprintf(line, sizeof line, "    [\"%c\"] = {\"%s\", \"%s\"},\n", c.command, c.name,
                      c.address);
        out << line;
    }
    out << "}\n\n-- The kinds of the fault test command\nlocal FAULT_NAMES = {\n";
    const char *faults[zorsim::kFaultKinds] = {"clear all faults", "silence",  "delay",
                                               "bad checksum",     "status",   "garbage",
                                               "double reply",     "truncate", "late"};
    for (int kind = 0; kind < zorsim::kFaultKinds; ++kind) {
        out << "    [" << kind << "] = \"" << faults[kind] << "\",\n";
    }
    out << "}\n";
    return out.str();
}

std::string RegisterTable()
{
    std::ostringstream out;
    out << "-- Generated from the register map: address = {name, channel, input, index, "
           "encoding}\nlocal REGISTERS = {\n";
    for (uint32_t address = 0; address <= 0xFFFF; ++address) {
        const companion::RegisterAt r = companion::FindRegister(static_cast<uint16_t>(address));
        if (r.info == nullptr) {
            continue;
        }
        const bool input = r.info->placement == companion::Placement::kPerInput;
        char line[160];
        std::snprintf(line, sizeof line, "    [0x%04X] = {\"%s\", %d, %d, %d, \"%s\"},\n", address,
                      r.info->name, input ? -1 : r.channel, input ? r.channel : -1, r.index,
                      EncodingName(r.info->encoding));
        out << line;
    }
    out << "}\n\n-- The simulated board's status codes\nlocal STATUS_NAMES = {\n";
    const struct {
        uint8_t code;
        const char *meaning;
    } statuses[] = {
#define ZORSIM_STATUS(name, code, meaning) {code, meaning},
#include "device/sim_statuses.inc"
    };
    for (const auto &s : statuses) {
        char line[120];
        std::snprintf(line, sizeof line, "    [0x%02X] = \"%s\",\n", s.code, s.meaning);
        out << line;
    }
    out << "}\n\n-- Digital inputs of the board (bits of REG_DI_STATE)\nlocal DIGITAL_INPUTS = "
        << BOARD_DIGITAL_INPUTS << "\n\n";
    out << TestCommandTable();
    return out.str();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::cerr << "usage: zorenc-wireshark-generate TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string lua = text.str();
    const std::string marker = "-- @GENERATED_TABLES@\n";
    const size_t at = lua.find(marker);
    if (at == std::string::npos) {
        std::cerr << argv[1] << " has no " << marker;
        return 1;
    }
    lua.replace(at, marker.size(), RegisterTable());
    std::ofstream out(argv[2], std::ios::binary);
    out << lua;
    return out.good() ? 0 : 1;
}
