#include "commands.h"

#include "plans.h"
#include "zorenc.h"

namespace zorenc::cli {

namespace {

// clang-format off
const std::vector<Command> kCommands = {
    {"info", "",
     "firmware and logic versions, encoder resolution, trigger mode, runs",
     "Reads the board's versions and board-wide settings.\n"
     "--json prints one object: port, firmware_version, logic_version, encoder_resolution,\n"
     "trg_mode, positive_run, negative_run.\n",
     0, PlanInfo},
    {"status", "[--watch [--for SECONDS] [--interval MS]]",
     "positions, trigger and error counts, directions, digital inputs",
     "Per channel: position, trigger count, trigger error count and direction; then the state\n"
     "of the seven digital inputs.\n"
     "\n"
     "  --watch          refresh the view in place until Ctrl-C\n"
     "  --for SECONDS    with --watch: stop after SECONDS\n"
     "  --interval MS    with --watch: refresh every MS milliseconds (50..10000, default 250)\n"
     "\n"
     "Either way the port is closed cleanly and the exit status is 0. When the port is gone\n"
     "(an adapter unplugged, a network connection closed), --watch says so on stderr, opens it\n"
     "again every half second and goes on once it is back; --for's end while it is gone is exit\n"
     "status 1, \"the port NAME is gone\". --json prints one object\n"
     "{\"channels\": [{channel, position, trigger_count, trigger_error_count, direction}...],\n"
     "\"inputs\": [7 states]}; with --watch one such object per line, with \"elapsed\" seconds.\n",
     kOptWatch | kOptFor | kOptInterval, PlanStatus},
    {"get", "SETTING [CH [INDEX] | INPUT] [ARGS...]",
     "read a setting or counter (zorenc help get lists them)",
     "Reads a setting. Settings of a channel or an input without the number read all four\n"
     "channels (or all seven inputs). --json prints {\"setting\", \"channel\"/\"input\",\n"
     "\"value\"} (fields such as \"upper\" and \"lower\" in place of \"value\" where a setting has\n"
     "several), or an array of them for all channels.\n",
     0, PlanGet},
    {"set", "SETTING [CH [INDEX]] VALUE...",
     "write a setting, then show what the board holds",
     "Writes a setting, then reads it back and prints it as get does. Decimals are kept as\n"
     "written, cut to their unit: a delay of 0.29 is 29 hundredths; 0.299 is stored as 0.29\n"
     "and a note on stderr says so (--json: \"note\"). Integers are decimal or 0x hexadecimal;\n"
     "negative numbers are fine where the setting takes them (set trigger-position0 0 -1500).\n"
     "A value outside what the setting takes is refused with its range (exit status 2,\n"
     "nothing written); each setting's values are listed below.\n",
     0, PlanSet},
    {"clear", "WHAT [CH | INPUT]",
     "clear counters or positions",
     "WHAT is one of:\n"
     "\n"
     "%CLEAR%",
     0, PlanClear},
    {"calibration", "start|stop CH",
     "start or stop the calibration of a channel's encoder",
     "Starts or stops the calibration of the encoder of channel CH (0..3).\n",
     0, PlanCalibration},
    {"flash", "save|load|defaults",
     "save the settings to flash, load them from flash, or load the defaults",
     "  save       the board keeps its current settings across power cycles\n"
     "  load       the settings saved last replace the current ones\n"
     "  defaults   the default settings replace the current ones (not saved)\n",
     0, PlanFlash},
    {"read", "ADDR",
     "read one register by address (0xF000, 61440) or board-wide name (REG_LOGIC_VERSION)",
     "Reads one register and shows its raw value and, for a register of the map, its name\n"
     "and decoded value. --json: {address, register, channel/input/index, raw, value}.\n",
     0, PlanRead},
    {"write", "ADDR VALUE",
     "write one register by address (raw; no checks beyond the board's)",
     "Writes VALUE (32 bits, decimal or 0x hexadecimal, negative allowed) to the register at\n"
     "ADDR and shows the value the board replied with. --json: {address, register, value,\n"
     "reply}.\n",
     0, PlanWrite},
    {"dump", "[--all]",
     "every readable register of the map with its name and decoded value",
     "Reads every readable register of the map, in address order. The 960 index-trigger\n"
     "positions (240 per channel) only with --all. --json prints an array of the objects\n"
     "that read prints.\n",
     kOptAll, PlanDump},
    {"ports", "[--probe] [--candidates P1,P2] [PORT...]",
     "the serial ports with their USB identity; --probe asks each for a board",
     "Lists the machine's serial ports: name, transport (usb, native, bluetooth, virtual,\n"
     "unknown), USB vendor:product id, serial number, bus location, the adapter's latency\n"
     "timer and a description. Needs no --port. PORTs named here are added even when the system\n"
     "does not list them (a simulated board's pseudo-terminal).\n"
     "\n"
     "  --probe              ask every port at once whether a board is there (about 1 s in\n"
     "                       all): board (with its versions), no-answer, busy (another\n"
     "                       program holds it) or error\n"
     "  --candidates P1,P2   more ports to list and probe, as PORT arguments are (the same\n"
     "                       option gives --port auto ports the system does not list)\n"
     "\n"
     "--json prints an array of {name, description, transport, vid, pid, manufacturer, product,\n"
     "serial_number, location, latency_timer_ms}, with --probe also \"probe\": {result,\n"
     "firmware_version, logic_version, error}. A latency timer above 2 ms is warned about on\n"
     "stderr with how to lower it. No port: an empty list, exit status 0.\n",
     kOptProbe, PlanPorts},
    {"config", "save FILE | diff FILE | apply FILE [--flash] [--force]",
     "save the board's configuration to a file, compare it with one, or apply one",
     "FILE is a JSON document (docs/config.md); - is stdout for save, stdin for diff and apply.\n"
     "\n"
     "  save FILE    reads every setting the board keeps in flash and writes the file\n"
     "  diff FILE    prints each setting that differs (setting, channel, index, board, file);\n"
     "               exit status 3 when any differs, 0 when none does\n"
     "  apply FILE   checks the whole file first (any fault: exit status 2, every fault listed,\n"
     "               nothing sent), refuses a file saved from other firmware or logic versions\n"
     "               (exit status 1) unless --force, then writes the settings that differ and\n"
     "               reads each back; on a failure it stops and lists the settings verified,\n"
     "               unconfirmed (sent, outcome unknown: read them or apply again) and not\n"
     "               sent (exit status 1)\n"
     "  --flash      with apply: save to flash once every setting is written and verified\n"
     "  --force      with apply: apply a file saved from other firmware or logic versions\n"
     "\n"
     "With --json a faulty file or a failed apply prints {\"error\": {...}} with its faults or\n"
     "lists. Files above 1 MiB or nested beyond 16 levels are refused (docs/config.md).\n"
     "\n"
     "Clone a board: zorenc --port A config save - | zorenc --port B config apply - --flash\n",
     kOptFlash | kOptForce, PlanConfig},
    {"tour", "[--for SECONDS] [--interval MS]",
     "a short demonstration: info, a trigger, the virtual encoder, live status",
     "Shows the board's info, sets a trigger on channel 0 (positions 500 and 1500), runs the\n"
     "virtual encoder of channel 0 at 1000 counts/s, turning the axis back at 0 and 2000, and\n"
     "shows the live status for SECONDS (default 5) while the position moves and the trigger\n"
     "count rises; then stops the encoder. Each step shows the command that does the same.\n"
     "It changes channel 0's trigger and encoder settings (not saved to flash): meant for\n"
     "--sim. Exit status 1 when the position did not move or no trigger fired.\n",
     kOptFor | kOptInterval, PlanTour},
    {"monitor", "[--listen ADDR:PORT] [--allow-host NAME]...",
     "serve the board live to a browser: samples, settings, actions",
     "Serves the monitor over HTTP and prints its URL; runs until Ctrl-C (exit status 0).\n"
     "One thread talks to the board; every browser gets the same pushed samples.\n"
     "--port may be given up to 16 times, as --port NAME=PORT to name a board: one thread\n"
     "per board, an overview of all at /, each board's page at /board/NAME/. GET /metrics\n"
     "serves every board to Prometheus (docs/metrics.md).\n"
     "\n"
     "  --listen ADDR:PORT   listen there instead of 127.0.0.1:8330 (or the next free port);\n"
     "                       any address but loopback prints a warning and puts a secret in\n"
     "                       the URL, without which every request is refused\n"
     "  --allow-host NAME    let clients name the monitor NAME in their requests' Host, such\n"
     "                       as a proxy's name or a DNS name of this machine (repeatable);\n"
     "                       loopback names, the listened address, this machine's name and\n"
     "                       the address a client reached are let in without it\n"
     "\n"
     "Endpoints and the security model: docs/monitor.md.\n",
     kOptListen | kOptAllowHost, PlanMonitor},
};
// clang-format on

std::string Replace(std::string text, const std::string &what, const std::string &with)
{
    const size_t at = text.find(what);
    return at == std::string::npos ? text : text.replace(at, what.size(), with);
}

} // namespace

const std::vector<Command> &Commands()
{
    return kCommands;
}

const Command *FindCommand(const std::string &name)
{
    for (const Command &c : kCommands) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

const char *BoardOptions(const Command &command)
{
    return command.plan == PlanPorts ? "" : "(--port NAME | --sim) ";
}

std::string ToolHelp()
{
    std::string text =
        "zorenc " ZORENC_VERSION_STRING
        ": commission an encoder-and-trigger board from the command line\n"
        "\n"
        "usage: zorenc (--port NAME | --sim) [--json] [--trace] COMMAND [ARGS...]\n"
        "       zorenc help [COMMAND]      zorenc COMMAND --help\n"
        "\n"
        "The board (one of the two is required by every command):\n"
        "  --port NAME   the board's serial port: COM3, \\\\.\\COM12, /dev/ttyUSB0, or the slave\n"
        "                path that zorenc-sim prints on its first line; or by identity:\n"
        "                serial:SN (the USB adapter with that serial number), usb:VVVV:PPPP\n"
        "                (the adapter with those ids), auto (the one port with a board)\n"
        "  --candidates P1,P2  with --port auto: more ports to probe than the system lists\n"
        "  --sim         a simulated board started in this process (Linux builds only)\n"
        "\n"
        "Options:\n"
        "  --json        print data as JSON on stdout (messages stay on stderr)\n"
        "  --trace       print every frame sent (tx) and received (rx) in hex on stderr\n"
        "  --capture FILE  write every frame sent and received to FILE (pcapng) for Wireshark\n"
        "                with the zorenc dissector, or for zorenc-sim --replay\n"
        "  -h, --help    this help, or a command's with a command\n"
        "  --version     the tool's version\n"
        "Options may stand anywhere on the line; -5 and -0.5 are numbers, not options.\n"
        "\n"
        "Commands:\n";
    Table table({"", ""});
    for (const Command &c : kCommands) {
        table.Add({c.name, c.summary});
    }
    for (const std::string &line : table.Lines()) {
        text += "  " + line + "\n";
    }
    text += "\n"
            "Examples:\n"
            "  zorenc --port /dev/ttyUSB0 info\n"
            "  zorenc --port COM3 set trigger-delay 0 1.5\n"
            "  zorenc --port COM3 get trigger-controls 2\n"
            "  zorenc --port COM3 clear trigger-count 2\n"
            "  zorenc --port COM3 status --watch\n"
            "  zorenc --sim tour\n"
            "  zorenc ports --probe\n"
            "  zorenc --port serial:A1B2C3 info\n"
            "\n"
            "Exit status:\n"
            "  0  success (also when Ctrl-C ends status --watch or the tour)\n"
            "  1  the port or the board failed: the port cannot be opened, no reply in time, a\n"
            "     refused or malformed reply\n"
            "  2  usage error: unknown command, option or setting, a missing argument, a value\n"
            "     that does not parse, a channel, input or index out of range, a faulty\n"
            "     configuration file; the board is not touched\n"
            "  3  config diff: the board and the file differ\n";
    return text;
}

std::string CommandHelp(const Command &command)
{
    std::string text = "usage: zorenc " + std::string(BoardOptions(command)) +
                       "[--json] [--trace] " + std::string(command.name) +
                       (command.synopsis[0] ? " " + std::string(command.synopsis) : "") + "\n\n" +
                       command.summary + ".\n\n" +
                       Replace(command.details, "%CLEAR%", ClearTargetsHelp());
    const std::string name = command.name;
    if (name == "get" || name == "set") {
        text += "\nSettings (CH 0..3, INPUT 0..6, INDEX 0..239; [CH] may be left out by get):\n" +
                SettingsHelp();
    }
    return text;
}

} // namespace zorenc::cli
