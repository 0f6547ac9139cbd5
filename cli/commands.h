// The tool's commands: each checks its arguments first (plan) and only then
// gets the board to work on (the action it returns).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli.h"

namespace zorenc::cli {

class Session;

using Action = std::function<void(Session &)>;

struct Command {
    const char *name;
    const char *synopsis; // arguments after the name
    const char *summary;  // one line for the tool's help
    const char *details;  // the rest of the command's help
    unsigned options;     // CommandOption bits it takes
    // Checks the arguments (throwing a usage Failure) and returns the work; a
    // command that needs no board does its work here and returns no action.
    Action (*plan)(const Invocation &);
};

const std::vector<Command> &Commands();
const Command *FindCommand(const std::string &name);

// "(--port NAME | --sim) " for a command that works on a board, "" else.
const char *BoardOptions(const Command &command);

std::string ToolHelp();
std::string CommandHelp(const Command &command);

} // namespace zorenc::cli
