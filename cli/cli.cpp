#include "cli.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "device/registers.h"
#include "failure.h"

namespace zorenc::cli {

namespace {

bool LooksNumeric(const char *word)
{
    // -5, -0x10, -.5: values, never options.
    return word[0] == '-' && (std::isdigit(static_cast<unsigned char>(word[1])) || word[1] == '.');
}

std::string Quote(const std::string &text)
{
    return "'" + text + "'";
}

} // namespace

const char *OptionName(CommandOption option)
{
    switch (option) {
    case kOptWatch:
        return "--watch";
    case kOptFor:
        return "--for";
    case kOptInterval:
        return "--interval";
    case kOptAll:
        return "--all";
    case kOptProbe:
        return "--probe";
    case kOptFlash:
        return "--flash";
    case kOptForce:
        return "--force";
    case kOptListen:
        return "--listen";
    case kOptAllowHost:
        return "--allow-host";
    }
    return "?";
}

Invocation ParseCommandLine(int argc, char **argv)
{
    Invocation inv;
    std::vector<std::string> words;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (!options || word.empty() || word[0] != '-' || word == "-" || LooksNumeric(argv[i])) {
            words.push_back(word);
            continue;
        }
        if (word == "--") {
            options = false;
            continue;
        }
        std::string value;
        bool inlineValue = false;
        const size_t eq = word.find('=');
        if (word.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = word.substr(eq + 1);
            word = word.substr(0, eq);
            inlineValue = true;
        }
        auto takeValue = [&](const char *meaning) {
            if (inlineValue) {
                return value;
            }
            if (i + 1 >= argc) {
                throw UsageFailure(word + " needs " + meaning);
            }
            return std::string(argv[++i]);
        };
        auto noValue = [&] {
            if (inlineValue) {
                throw UsageFailure(word + " takes no value");
            }
        };
        if (word == "--port") {
            inv.port = takeValue("a port name, such as COM3 or /dev/ttyUSB0");
            if (inv.port.empty()) {
                throw UsageFailure("--port needs a port name, such as COM3 or /dev/ttyUSB0");
            }
            inv.ports.push_back(inv.port);
        } else if (word == "--candidates") {
            const std::string list = takeValue("port names separated by commas, such as P1,P2");
            size_t start = 0;
            while (start <= list.size()) {
                const size_t comma = std::min(list.find(',', start), list.size());
                if (comma == start) {
                    throw UsageFailure("--candidates needs port names separated by commas, not " +
                                       Quote(list));
                }
                inv.candidates.push_back(list.substr(start, comma - start));
                start = comma + 1;
            }
        } else if (word == "--probe") {
            noValue();
            inv.options |= kOptProbe;
        } else if (word == "--sim") {
            noValue();
            inv.sim = true;
        } else if (word == "--json") {
            noValue();
            inv.json = true;
        } else if (word == "--trace") {
            noValue();
            inv.trace = true;
        } else if (word == "--capture") {
            inv.capture = takeValue("the path of the pcapng file to write");
            if (inv.capture.empty()) {
                throw UsageFailure("--capture needs the path of the pcapng file to write");
            }
        } else if (word == "--help" || word == "-h") {
            noValue();
            inv.help = true;
        } else if (word == "--version") {
            noValue();
            inv.version = true;
        } else if (word == "--watch") {
            noValue();
            inv.options |= kOptWatch;
        } else if (word == "--all") {
            noValue();
            inv.options |= kOptAll;
        } else if (word == "--flash") {
            noValue();
            inv.options |= kOptFlash;
        } else if (word == "--force") {
            noValue();
            inv.options |= kOptForce;
        } else if (word == "--for") {
            const double seconds = ParseReal(takeValue("a number of seconds"), "--for");
            if (!(seconds > 0 && seconds <= 86400)) {
                throw UsageFailure("--for takes seconds from above 0 to 86400, not " +
                                   std::to_string(seconds));
            }
            inv.forSeconds = seconds;
            inv.options |= kOptFor;
        } else if (word == "--listen") {
            inv.listen = takeValue("an address and port, such as 0.0.0.0:8330");
            inv.options |= kOptListen;
        } else if (word == "--allow-host") {
            inv.allowHosts.push_back(takeValue("a host name, such as monitor.example"));
            inv.options |= kOptAllowHost;
        } else if (word == "--interval") {
            inv.intervalMs = static_cast<int>(
                ParseInteger(takeValue("milliseconds"), "--interval (ms)", 50, 10000));
            inv.options |= kOptInterval;
        } else {
            throw UsageFailure("unknown option " + Quote(word));
        }
    }
    if (!words.empty()) {
        inv.command = words.front();
        inv.args.assign(words.begin() + 1, words.end());
    }
    return inv;
}

} // namespace zorenc::cli
