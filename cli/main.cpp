// zorenc: commission an encoder-and-trigger board from the command line.
#include <cstdio>
#include <exception>
#include <string>

#include "cli.h"
#include "commands.h"
#include "failure.h"
#include "library_quiet.h"
#include "plans.h"
#include "session.h"
#include "zorenc.h"

namespace zorenc::cli {
namespace {

// A usage failure points at the command on the line, or at the tool's help.
int Usage(const Failure &failure, const std::string &current)
{
    std::fprintf(stderr, "zorenc: %s\n", failure.what());
    if (failure.Details().contains("faults")) {
        // The faults of a file or document, listed already: the command line
        // itself was right.
        return kExitUsage;
    }
    const Command *command = FindCommand(current);
    if (command != nullptr) {
        std::fprintf(stderr, "usage: zorenc %s%s%s%s\n", BoardOptions(*command), command->name,
                     command->synopsis[0] ? " " : "", command->synopsis);
        std::fprintf(stderr, "more: zorenc help %s\n", command->name);
    } else {
        std::fprintf(stderr, "usage: zorenc (--port NAME | --sim) [--json] [--trace] COMMAND "
                             "[ARGS...]\nmore: zorenc --help\n");
    }
    return kExitUsage;
}

int Run(int argc, char **argv, std::string &current)
{
    const Invocation inv = ParseCommandLine(argc, argv);
    current = inv.command;
    if (inv.version) {
        std::printf("zorenc %s\n", ZORENC_VERSION_STRING);
        return kExitOk;
    }
    if (inv.command.empty() || inv.command == "help") {
        if (inv.command.empty() && !inv.help) {
            throw UsageFailure("no command given");
        }
        if (inv.args.empty()) {
            std::fputs(ToolHelp().c_str(), stdout);
            return kExitOk;
        }
        const Command *command = FindCommand(inv.args[0]);
        if (command == nullptr || inv.args.size() > 1) {
            throw UsageFailure("no help on '" + inv.args.back() +
                               "'; the commands are listed by "
                               "zorenc --help");
        }
        std::fputs(CommandHelp(*command).c_str(), stdout);
        return kExitOk;
    }
    const Command *command = FindCommand(inv.command);
    if (command == nullptr) {
        throw UsageFailure("unknown command '" + inv.command + "'");
    }
    if (inv.help) {
        std::fputs(CommandHelp(*command).c_str(), stdout);
        return kExitOk;
    }
    const unsigned stray = inv.options & ~command->options;
    for (unsigned bit = 1; bit != 0 && stray != 0; bit <<= 1) {
        if (stray & bit) {
            throw UsageFailure(std::string(OptionName(static_cast<CommandOption>(bit))) +
                               " is not an option of " + command->name);
        }
    }
    // Only the monitor watches several boards; any other command would
    // silently use one of them.
    Invocation opened = inv;
    if (command->plan == PlanMonitor && !inv.ports.empty()) {
        opened.port = MonitorFirstPort(inv);
    } else if (inv.ports.size() > 1) {
        throw UsageFailure("--port is given " + std::to_string(inv.ports.size()) + " times: " +
                           command->name + " works on one board (only monitor takes several)");
    }
    // Every argument is checked before the port is opened.
    const Action action = command->plan(inv);
    if (!action) {
        return kExitOk;
    }
    Session session(opened);
    int status = kExitOk;
    try {
        session.Run(action);
    } catch (const ExitWith &exit) {
        status = exit.status;
    }
    std::fflush(stdout);
    // A capture that could not be written whole is a failure of the run.
    return session.EndCapture() ? status : kExitBoard;
}

} // namespace
} // namespace zorenc::cli

int main(int argc, char **argv)
{
    using namespace zorenc::cli;
    // The tool's stdout is its output (JSON above all): the library's
    // "connected!!!!!" and close lines never belong there. Set before any
    // thread starts; whatever the environment said.
    zorenc::companion::QuietLibrary(true);
    std::string current;
    try {
        return Run(argc, argv, current);
    } catch (const Failure &failure) {
        std::fflush(stdout);
        if (failure.IsUsage()) {
            return Usage(failure, current);
        }
        std::fprintf(stderr, "zorenc: %s\n", failure.what());
        return kExitBoard;
    } catch (const std::exception &error) {
        std::fflush(stdout);
        std::fprintf(stderr, "zorenc: %s\n", error.what());
        return kExitBoard;
    }
}
