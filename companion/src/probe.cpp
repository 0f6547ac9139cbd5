// The parallel probe: every port on a thread of its own, one handler each.
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>

#include "library_quiet.h"
#include "ports.h"
#include "results.h"
#include "threads.h"
#include "zorenc.h"
#include "zorenc_codes.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zorenc::companion {

namespace {

// A probe waits at most this long for its threads: about one deadline per
// transaction (open, firmware and logic versions, close) and a margin.
constexpr std::chrono::milliseconds kProbeBound{5000};

// ZorEncOpen says only that it failed: find out whether another program
// holds the port (the exclusive lock the library's own open takes on Linux,
// a sharing refusal on Windows) or why else it cannot be opened.
ProbeResult OpenFailure(const std::string &name)
{
#if defined(_WIN32)
    const std::string path = name.rfind("\\\\.\\", 0) == 0 ? name : "\\\\.\\" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    const DWORD code = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    if (code == ERROR_ACCESS_DENIED) {
        return {"busy", std::nullopt, std::nullopt, "another program holds the port"};
    }
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
        return {"error", std::nullopt, std::nullopt, "no such port"};
    }
    return {"error", std::nullopt, std::nullopt,
            code == 0 ? "the port could not be configured"
                      : "the port could not be opened (error " + std::to_string(code) + ")"};
#else
    struct stat st;
    if (stat(name.c_str(), &st) != 0) {
        return {"error", std::nullopt, std::nullopt,
                errno == ENOENT ? "no such port" : std::strerror(errno)};
    }
    const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {"error", std::nullopt, std::nullopt,
                errno == EACCES ? "permission denied (is the user in the port's group, such as "
                                  "dialout?)"
                                : std::strerror(errno)};
    }
    const bool busy = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    if (busy) {
        return {"busy", std::nullopt, std::nullopt, "another program holds the port"};
    }
    return {"error", std::nullopt, std::nullopt,
            S_ISCHR(st.st_mode) ? "the port could not be opened or configured"
                                : "not a serial device"};
#endif
}

ProbeResult ProbeOne(ZorEncHandle handle, const std::string &name)
{
    if (!ZorEncOpen(handle, name.c_str())) {
        return OpenFailure(name);
    }
    ProbeResult probe;
    double firmware = 0;
    const ZorEncResult result = ZorEncGetFirmwareVersion(handle, &firmware);
    if (result == ZORENC_OK) {
        probe.result = "board";
        probe.firmwareVersion = firmware;
        double logic = 0;
        if (ZorEncGetLogicVersion(handle, &logic) == ZORENC_OK) {
            probe.logicVersion = logic;
        }
    } else if (PortGone(handle, name, result)) {
        probe.result = "error";
        probe.error = "the port went away during the probe";
    } else if (result == ZORENC_ERR_TIMEOUT) {
        probe.result = "no-answer";
    } else {
        probe.result = "error";
        probe.error = ResultText(result);
    }
    ZorEncClose(handle);
    return probe;
}

} // namespace

std::vector<ProbeResult> ProbePorts(const std::vector<std::string> &names)
{
    // What the probing threads share with this one. A thread stuck in its
    // driver beyond every bound of the library (a port whose cancelled I/O
    // never completes) is left running, so the state is owned jointly.
    struct Run {
        Mutex mutex;
        ConditionVariable changed;
        std::vector<ProbeResult> results;
        std::vector<bool> finished;
        std::size_t left = 0;
    };
    auto run = std::make_shared<Run>();
    run->results.resize(names.size());
    run->finished.assign(names.size(), false);
    run->left = names.size();

    // Handlers are created and destroyed here, on the calling thread, so the
    // threads only open, read and close ports of their own handlers.
    // Set before any handler exists and any thread starts: the opens and
    // closes below print nothing unless the program asked for the lines.
    QuietLibrary(false);
    std::vector<ZorEncHandle> handles(names.size(), 0);
    for (auto &handle : handles) {
        handle = ZorEncCreateHandler();
    }
    std::vector<Thread> threads;
    std::vector<std::size_t> threadPort; // the port each thread probes
    threads.reserve(names.size());
    {
        for (std::size_t i = 0; i < names.size(); ++i) {
            const ZorEncHandle handle = handles[i];
            const std::string name = names[i];
            auto body = [run, i, handle, name] {
                ProbeResult result;
                if (handle == 0) {
                    result = {"error", std::nullopt, std::nullopt, "no handler: out of memory"};
                } else {
                    try {
                        result = ProbeOne(handle, name);
                    } catch (const std::exception &error) {
                        result = {"error", std::nullopt, std::nullopt, error.what()};
                    }
                }
                std::lock_guard<Mutex> lock(run->mutex);
                run->results[i] = std::move(result);
                run->finished[i] = true;
                --run->left;
                run->changed.NotifyAll();
            };
            try {
                threads.emplace_back(body);
                threadPort.push_back(i);
            } catch (const std::exception &error) {
                std::lock_guard<Mutex> lock(run->mutex);
                run->results[i] = {"error", std::nullopt, std::nullopt, error.what()};
                run->finished[i] = true;
                --run->left;
            }
        }
        std::unique_lock<Mutex> lock(run->mutex);
        run->changed.WaitFor(lock, kProbeBound, [&] { return run->left == 0; });
        for (std::size_t t = 0; t < threads.size(); ++t) {
            if (run->finished[threadPort[t]]) {
                threads[t].Join(); // it has returned, or is about to
            } else {
                threads[t].Detach();
            }
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (!run->finished[i]) {
                // Its handler stays with the stuck thread.
                run->results[i] = {"error", std::nullopt, std::nullopt,
                                   "the port's driver did not return within " +
                                       std::to_string(kProbeBound.count() / 1000) + " s"};
            } else if (handles[i] != 0) {
                ZorEncCloseHandler(handles[i]);
            }
        }
    }
    std::lock_guard<Mutex> lock(run->mutex);
    return run->results;
}

} // namespace zorenc::companion
