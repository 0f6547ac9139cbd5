// The board's register map as the front ends show it: every register by name,
// where its instances lie, whether it can be read, and how its value reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/registers.h"
#include "json.h"

namespace zorenc::companion {

// The table's own types (device/registers.h, one row per register in
// device/register_table.inc).
using Encoding = ::RegisterEncoding;
using Placement = ::RegisterPlacement;

struct RegisterInfo {
    const char *name; // REG_...
    uint16_t base;    // offset in the channel block, or address
    Placement placement;
    Encoding encoding;
    bool readable;
    bool writable;
};

// One register instance at an address.
struct RegisterAt {
    const RegisterInfo *info = nullptr; // null: not in the map
    uint16_t address = 0;
    int32_t channel = -1; // or input; -1 for board-wide registers
    int32_t index = -1;   // index-trigger number, -1 elsewhere

    std::string Label() const; // REG_TRG_DELAY[2], REG_IDX_TRG_POSITION[1][17]
};

const std::vector<RegisterInfo> &RegisterMap();

// The register at an address; info null when the map has none there.
RegisterAt FindRegister(uint16_t address);
// A board-wide register by its name (REG_LOGIC_VERSION); info null if none.
RegisterAt FindRegisterByName(const std::string &name);

// Every readable register instance in address order; the 960 index-trigger
// positions only when withIndexTable.
std::vector<RegisterAt> ReadableRegisters(bool withIndexTable);

// A register value as its encoding reads: text for tables, JSON for scripts.
std::string DecodeText(Encoding encoding, uint32_t raw);
Json DecodeJson(Encoding encoding, uint32_t raw);

} // namespace zorenc::companion
