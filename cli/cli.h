// The command line: options, the command and its arguments, numbers, and the
// two kinds of failure with their exit statuses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "failure.h"
#include "numbers.h"

namespace zorenc::cli {

enum ExitStatus { kExitOk = 0, kExitBoard = 1, kExitUsage = 2, kExitDiffers = 3 };

// Ends a command that did its work with a status other than 0 (config diff
// when the board and the file differ).
struct ExitWith {
    int status;
};

// Failures are the companion library's: a usage failure (the tool was used
// wrongly: unknown command or option, a missing or malformed argument, a
// number out of range) exits with status 2, any other with status 1.
using companion::BoardFailure;
using companion::Failure;
using companion::UsageFailure;

// Options that only some commands take.
enum CommandOption : unsigned {
    kOptWatch = 1u << 0,
    kOptFor = 1u << 1,
    kOptInterval = 1u << 2,
    kOptAll = 1u << 3,
    kOptProbe = 1u << 4,
    kOptFlash = 1u << 5,
    kOptForce = 1u << 6,
    kOptListen = 1u << 7,
    kOptAllowHost = 1u << 8,
};

struct Invocation {
    std::string port;                    // a name, or an identity: auto, serial:SN, usb:VVVV:PPPP
    std::vector<std::string> ports;      // every --port, in order (monitor takes several)
    std::vector<std::string> candidates; // --candidates P1,P2: more ports for auto
    bool sim = false;
    bool json = false;
    bool trace = false;
    std::string capture; // --capture FILE: pcapng of every frame
    bool help = false;
    bool version = false;

    unsigned options = 0; // CommandOption bits given
    double forSeconds = 0;
    int intervalMs = 250;
    std::string listen;                  // --listen ADDR:PORT
    std::vector<std::string> allowHosts; // --allow-host NAME, each

    std::string command;
    std::vector<std::string> args;
};

// Splits argv into options and positional words. Options may stand anywhere;
// a word such as -5 or -0.5 is a number, not an option. "--" ends options.
Invocation ParseCommandLine(int argc, char **argv);

// The name of an option bit, for messages ("--watch").
const char *OptionName(CommandOption option);

// Numbers: decimal, or hexadecimal with 0x; the companion library's parsers, whose
// failures are usage errors. "what" names the argument in messages
// ("POSITION", "ADDR").
using companion::ParseInteger;
using companion::ParseReal;
using companion::ParseWord;

} // namespace zorenc::cli
