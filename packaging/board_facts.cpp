// zorenc-board-facts python|csharp OUTPUT: writes the board's counts (channels,
// digital inputs, index-trigger positions per channel) and the simulated
// board's status codes as a Python module or a C# file, from the same headers
// the library and the simulated board are compiled from
// (device/registers.h, device/sim_statuses.inc). The Python package and the
// .NET library take them from there instead of typing them again. OUTPUT is
// rewritten only when its text changes.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "device/registers.h"

namespace {

struct Status {
    const char *name; // CamelCase, as after kStatus
    unsigned code;
    const char *meaning;
};

const Status kStatuses[] = {
#define ZORSIM_STATUS(name, code, meaning) {#name, code, meaning},
#include "device/sim_statuses.inc"
};

// ReadOnly -> READ_ONLY
std::string UpperSnake(const std::string &camel)
{
    std::string out;
    for (size_t i = 0; i < camel.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(camel[i]);
        if (i > 0 && std::isupper(c)) {
            out += '_';
        }
        out += static_cast<char>(std::toupper(c));
    }
    return out;
}

std::string Hex(unsigned code)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

const char *const kOrigin = "src/device/registers.h and src/device/sim_statuses.inc";

std::string Python()
{
    std::ostringstream out;
    out << "\"\"\"The board's counts and the simulated board's status codes.\n\n"
        << "Generated at build time from " << kOrigin << "\nby zorenc-board-facts; do not edit.\n"
        << "\"\"\"\n\nimport enum\n\n"
        << "#: Number of encoder and trigger channels (0.." << BOARD_CHANNELS - 1 << ").\n"
        << "CHANNELS = " << BOARD_CHANNELS << "\n"
        << "#: Number of digital inputs (0.." << BOARD_DIGITAL_INPUTS - 1 << ").\n"
        << "DIGITAL_INPUTS = " << BOARD_DIGITAL_INPUTS << "\n"
        << "#: Index-trigger positions per channel (indices 0.." << BOARD_INDEX_TRIGGERS - 1
        << ").\nINDEX_TRIGGERS = " << BOARD_INDEX_TRIGGERS << "\n\n\n"
        << "class Status(enum.IntEnum):\n"
        << "    \"\"\"Status bytes of the simulated board's replies.\"\"\"\n\n";
    for (const Status &s : kStatuses) {
        out << "    " << UpperSnake(s.name) << " = " << Hex(s.code) << "  #: " << s.meaning << "\n";
    }
    return out.str();
}

std::string CSharp()
{
    std::ostringstream out;
    out << "// Generated at build time from " << kOrigin
        << "\n// by zorenc-board-facts; do not edit.\n"
        << "#nullable enable\n"
        << "namespace Zorenc {\npublic sealed partial class Board {\n"
        << "    /// <summary>Number of encoder and trigger channels (0.." << BOARD_CHANNELS - 1
        << ").</summary>\n    public const int Channels = " << BOARD_CHANNELS << ";\n\n"
        << "    /// <summary>Number of digital inputs (0.." << BOARD_DIGITAL_INPUTS - 1
        << ").</summary>\n    public const int DigitalInputs = " << BOARD_DIGITAL_INPUTS << ";\n\n"
        << "    /// <summary>Index-trigger positions per channel (indexes 0.."
        << BOARD_INDEX_TRIGGERS - 1
        << ").</summary>\n    public const int IndexTriggers = " << BOARD_INDEX_TRIGGERS
        << ";\n}\n\n"
        << "/// <summary>Status bytes of the simulated board's (zorenc-sim) replies, as\n"
        << "/// <see cref=\"ZorEncStatusException.Status\"/> carries them.</summary>\n"
        << "internal enum SimStatus : byte {\n";
    for (const Status &s : kStatuses) {
        out << "    /// <summary>" << s.meaning << "</summary>\n    " << s.name << " = "
            << Hex(s.code) << ",\n";
    }
    out << "}\n\n"
        << "/// <summary>The meaning of each status, for messages.</summary>\n"
        << "internal static class SimStatusNames {\n"
        << "    internal static string? Of(byte status)\n    {\n        switch (status) {\n";
    for (const Status &s : kStatuses) {
        out << "        case " << Hex(s.code) << ":\n            return \"" << s.meaning << "\";\n";
    }
    out << "        default:\n            return null;\n        }\n    }\n}\n}\n";
    return out.str();
}

} // namespace

int main(int argc, char **argv)
{
    const std::string kind = argc == 3 ? argv[1] : "";
    if (kind != "python" && kind != "csharp") {
        std::cerr << "usage: zorenc-board-facts python|csharp OUTPUT\n";
        return 2;
    }
    const std::string text = kind == "python" ? Python() : CSharp();
    std::ifstream old(argv[2], std::ios::binary);
    std::stringstream held;
    held << old.rdbuf();
    if (old && held.str() == text) {
        return 0;
    }
    old.close();
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
        std::cerr << "zorenc-board-facts: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
