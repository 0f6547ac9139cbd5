// config save, diff and apply: the companion library's configuration documents
// (companion/src/config.h) to and from files.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "config.h"
#include "failure.h"
#include "plans.h"
#include "session.h"

namespace zorenc::cli {

namespace {

// The whole of a file, or of stdin for "-"; read before the port is opened,
// and no further than one byte past the most a configuration may hold.
std::string ReadInput(const std::string &path)
{
    errno = 0;
    std::FILE *in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        throw UsageFailure("cannot read " + path + ": " + std::strerror(errno));
    }
    std::string text;
    char buffer[65536];
    size_t got = 0;
    while (text.size() <= companion::kMaxJsonBytes &&
           (got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        text.append(buffer, got);
    }
    const bool failed = std::ferror(in) != 0;
    if (in != stdin) {
        std::fclose(in);
    }
    if (failed) {
        throw UsageFailure("cannot read " + path + ": " + std::strerror(errno));
    }
    return text;
}

// A failure as the document --json prints in place of a result:
// {"error": {"kind", "message", details...}}.
void PrintFailure(const Failure &failure)
{
    companion::Json error = {{"kind", failure.Kind()}, {"message", failure.what()}};
    error.update(failure.Details());
    PrintJson({{"error", error}});
}

// A file that cannot be made stops the tool with its reason before the
// port is opened (exit status 2), as --capture does. The file is written only
// once the board has been read: a check that had to make it removes it again.
void CheckWritable(const std::string &path)
{
    if (path == "-") {
        return;
    }
    struct stat status;
    const bool existed = ::stat(path.c_str(), &status) == 0;
    errno = 0;
    std::FILE *out = std::fopen(path.c_str(), "ab");
    if (out == nullptr) {
        throw UsageFailure("cannot write " + path + ": " + std::strerror(errno));
    }
    std::fclose(out);
    if (!existed) {
        std::remove(path.c_str());
    }
}

// A faulty file: every fault on stderr (with --json, as a document on
// stdout), then the usage error (exit 2) that names the file. A file that is
// taken has its warnings on stderr.
companion::Config CheckFile(const std::string &path, bool json)
{
    const std::string name = path == "-" ? "stdin" : path;
    try {
        companion::Config config = companion::CheckConfigText(ReadInput(path));
        for (const std::string &warning : config.warnings) {
            std::fprintf(stderr, "%s: warning: %s\n", name.c_str(), warning.c_str());
        }
        return config;
    } catch (const companion::Failure &failure) {
        const companion::Json faults =
            failure.Details().value("faults", companion::Json::array({failure.what()}));
        if (json) {
            PrintFailure(failure);
        } else {
            for (const auto &fault : faults) {
                std::fprintf(stderr, "%s: %s\n", name.c_str(), fault.get<std::string>().c_str());
            }
        }
        companion::Json details = failure.Details();
        details["faults"] = faults;
        throw Failure("usage",
                      name + ": refused, " + std::to_string(faults.size()) +
                          (faults.size() == 1 ? " fault" : " faults") +
                          " (nothing was sent to the board)",
                      details);
    }
}

void WriteOutput(const std::string &path, const std::string &text)
{
    if (path == "-") {
        std::fputs(text.c_str(), stdout);
        return;
    }
    errno = 0;
    std::FILE *out = std::fopen(path.c_str(), "wb");
    bool ok = out != nullptr && std::fwrite(text.data(), 1, text.size(), out) == text.size();
    ok = out != nullptr && std::fclose(out) == 0 && ok;
    if (!ok) {
        // The board was read; the file is what failed (a full disk): exit 1.
        throw companion::Failure("internal",
                                 "cannot write " + path + ": " +
                                     (errno != 0 ? std::strerror(errno) : "short write"));
    }
}

std::string Labels(const companion::Json &labels)
{
    std::string text;
    for (const auto &label : labels) {
        text += (text.empty() ? "" : ", ") + label.get<std::string>();
    }
    return text.empty() ? "none" : text;
}

std::string Cell(const companion::Json &value)
{
    return value.is_null() ? "" : companion::DumpLine(value);
}

} // namespace

Action PlanConfig(const Invocation &inv)
{
    const std::string verb = inv.args.empty() ? "" : inv.args[0];
    if (inv.args.size() != 2 || (verb != "save" && verb != "diff" && verb != "apply")) {
        throw UsageFailure("usage: zorenc config save|diff|apply FILE");
    }
    if (verb != "apply" && inv.options != 0) {
        throw UsageFailure("--flash and --force are options of config apply");
    }
    const std::string path = inv.args[1];
    const bool json = inv.json;
    if (verb == "save") {
        CheckWritable(path);
        return [path](Session &session) {
            const companion::Json document =
                companion::SaveConfig(session.Handle(), session.Port(), nullptr);
            WriteOutput(path, companion::ConfigText(document));
            if (path != "-") {
                std::fprintf(stderr, "zorenc: configuration saved to %s\n", path.c_str());
            }
        };
    }
    const companion::Config config = CheckFile(path, json);
    if (verb == "diff") {
        return [config, json](Session &session) {
            const companion::Json differences = companion::DiffConfig(session.Handle(), config);
            if (json) {
                PrintJson(differences);
            } else if (!differences.empty()) {
                Table table({"setting", "channel", "index", "board", "file"});
                for (const auto &d : differences) {
                    table.Add({d["setting"].get<std::string>(), Cell(d["channel"]),
                               Cell(d["index"]), Cell(d["board"]), Cell(d["file"])});
                }
                table.Print();
            } else {
                std::printf("the board matches the file\n");
            }
            if (!differences.empty()) {
                throw ExitWith{kExitDiffers};
            }
        };
    }
    companion::ApplyOptions options;
    options.flash = (inv.options & kOptFlash) != 0;
    options.force = (inv.options & kOptForce) != 0;
    return [config, options, json](Session &session) {
        companion::Json result;
        try {
            result = companion::ApplyConfig(session.Handle(), config, options);
        } catch (const companion::Failure &failure) {
            if (json) {
                PrintFailure(failure);
            }
            const companion::Json &d = failure.Details();
            std::string message = failure.what();
            if (d.value("reason", "") == "version") {
                message += " (--force applies it anyway)";
            } else if (d.contains("verified") && !json) {
                message += "\nverified (written and read back): " + Labels(d["verified"]) +
                           "\nunconfirmed (sent, outcome unknown: read them or apply again): " +
                           Labels(d["unconfirmed"]) + "\nnot sent: " + Labels(d["not_sent"]);
            }
            throw Failure(failure.Kind(), message);
        }
        if (json) {
            PrintJson(result);
            return;
        }
        const size_t written = result["written"].size();
        std::printf("%s setting%s written and verified, %s unchanged\n",
                    std::to_string(written).c_str(), written == 1 ? "" : "s",
                    result["unchanged"].dump().c_str());
        std::printf(options.flash ? "saved to flash\n"
                                  : "not yet saved to flash: the board loses them at power-off "
                                    "(zorenc flash save, or apply with --flash)\n");
    };
}

} // namespace zorenc::cli
