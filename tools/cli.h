// The command line: options, the command and its arguments, numbers, and the
// two kinds of failure with their exit statuses.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace zortool {

enum ExitStatus { kExitOk = 0, kExitBoard = 1, kExitUsage = 2 };

// The tool was used wrongly: unknown command or option, a missing or
// malformed argument, a number out of range. Exit status 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string &message, std::string command = {})
        : std::runtime_error(message), command_(std::move(command))
    {
    }
    // The command whose usage to point at, empty for the tool's.
    const std::string &Command() const { return command_; }

private:
    std::string command_;
};

// The port could not be opened or the board did not do what was asked.
// Exit status 1.
class BoardError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Options that only some commands take.
enum CommandOption : unsigned {
    kOptWatch = 1u << 0,
    kOptFor = 1u << 1,
    kOptInterval = 1u << 2,
    kOptAll = 1u << 3,
};

struct Invocation {
    std::string port;
    bool sim = false;
    bool json = false;
    bool trace = false;
    std::string capture; // --capture FILE: pcapng of every frame
    bool help = false;
    bool version = false;

    unsigned options = 0; // CommandOption bits given
    double forSeconds = 0;
    int intervalMs = 250;

    std::string command;
    std::vector<std::string> args;
};

// Splits argv into options and positional words. Options may stand anywhere;
// a word such as -5 or -0.5 is a number, not an option. "--" ends options.
Invocation ParseCommandLine(int argc, char **argv);

// The name of an option bit, for messages ("--watch").
const char *OptionName(CommandOption option);

// Numbers: decimal, or hexadecimal with 0x. "what" names the argument in
// messages ("POSITION", "ADDR").
int64_t ParseInteger(const std::string &text, const std::string &what, int64_t min, int64_t max);
// Any 32-bit value, signed or unsigned (-2147483648..4294967295), as its bits.
int32_t ParseWord(const std::string &text, const std::string &what);
double ParseReal(const std::string &text, const std::string &what);

// Numbers checked against the board's ranges; a bad one is a usage error
// that names ZORENC_ERR_CHANNEL, the code the library uses for them.
int32_t ParseChannel(const std::string &text);
int32_t ParseInput(const std::string &text);
int32_t ParseIndexTrigger(const std::string &text);

} // namespace zortool
