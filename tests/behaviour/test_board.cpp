#include "test_board.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "capture.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace testboard {
namespace {

uint32_t Command(ZorEncHandle handle, uint8_t command, uint16_t address, uint32_t value)
{
    uint32_t out = 0;
    const ZorEncResult result = ZorEncSendData(handle, command, address, value, &out);
    if (result != ZORENC_OK) {
        std::fprintf(stderr, "test command '%c' failed with 0x%X\n", command,
                     static_cast<unsigned>(result));
        std::abort();
    }
    return out;
}

#ifndef _WIN32
zorsim::Board &LocalBoard()
{
    static zorsim::Board *board = [] {
        zorsim::Options options;
        options.testCommands = true;
        auto *b = new zorsim::Board(options);
        if (!b->Start()) {
            std::fprintf(stderr, "cannot start the simulated board\n");
            std::abort();
        }
        // Stopped before the statics it reads are destroyed at exit.
        static zorsim::Board *running = b;
        std::atexit([] { running->Stop(); });
        return b;
    }();
    return *board;
}
#endif

} // namespace

std::string PortName()
{
#ifdef _WIN32
    // COM12: a name of five characters, which the library opens through the
    // "\\.\" device namespace; "prefixed" asks for the name spelt with it.
    const char *useLong = std::getenv("ZORENC_TEST_LONG_PORT");
    if (useLong != nullptr && std::string(useLong) == "1") {
        return "COM12";
    }
    if (useLong != nullptr && std::string(useLong) == "prefixed") {
        return "\\\\.\\COM12";
    }
#endif
    const char *fromHarness = std::getenv("ZORENC_TEST_PORT");
    if (fromHarness != nullptr && *fromHarness != '\0') {
        return fromHarness;
    }
#ifdef _WIN32
    return "COM7";
#else
    return LocalBoard().SlavePath();
#endif
}

ZorEncHandle OpenFresh()
{
    StdoutCapture quiet;
    ZorEncRelease();
    const ZorEncHandle handle = ZorEncCreateHandler();
    if (!ZorEncOpen(handle, PortName().c_str())) {
        quiet.Text();
        std::fprintf(stderr, "cannot open the board on %s\n", PortName().c_str());
        std::abort();
    }
    quiet.Text();
    Command(handle, zorsim::kCmdReset, 0, 0);
    Command(handle, zorsim::kCmdFault, 0, 0);
    Command(handle, zorsim::kCmdClearRequests, 0, 0);
    return handle;
}

void Poke(ZorEncHandle handle, uint16_t address, uint32_t value)
{
    Command(handle, zorsim::kCmdPoke, address, value);
}

uint32_t Peek(ZorEncHandle handle, uint16_t address)
{
    return Command(handle, zorsim::kCmdPeek, address, 0);
}

void Fault(ZorEncHandle handle, zorsim::Fault kind, uint32_t param, int count)
{
    const uint16_t address =
        static_cast<uint16_t>(static_cast<unsigned>(kind) | (static_cast<unsigned>(count) << 8));
    Command(handle, zorsim::kCmdFault, address, param);
}

void SetInputs(ZorEncHandle handle, uint32_t bits)
{
    Command(handle, zorsim::kCmdInputs, 0, bits);
}

uint32_t RequestCount(ZorEncHandle handle)
{
    return Command(handle, zorsim::kCmdCount, 0, 0);
}

std::vector<uint8_t> Request(ZorEncHandle handle, uint32_t back)
{
    const uint32_t length = Command(handle, zorsim::kCmdLength, static_cast<uint16_t>(back), 0);
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < length; ++i) {
        bytes.push_back(static_cast<uint8_t>(
            Command(handle, zorsim::kCmdQuery, static_cast<uint16_t>(i), back)));
    }
    return bytes;
}

void ClearRequests(ZorEncHandle handle)
{
    Command(handle, zorsim::kCmdClearRequests, 0, 0);
}

void SendRawLater(ZorEncHandle handle, const std::vector<uint8_t> &first,
                  const std::vector<uint8_t> &rest, uint32_t pauseMs)
{
    auto append = [handle](const std::vector<uint8_t> &bytes) {
        for (size_t i = 0; i < bytes.size(); i += 4) {
            uint32_t value = 0;
            const size_t n = bytes.size() - i < 4 ? bytes.size() - i : 4;
            for (size_t k = 0; k < n; ++k) {
                value |= static_cast<uint32_t>(bytes[i + k]) << (8 * k);
            }
            Command(handle, zorsim::kCmdAppendRaw, static_cast<uint16_t>(n), value);
        }
    };
    append(first);
    append(rest);
    Command(handle, zorsim::kCmdSendRaw, static_cast<uint16_t>(first.size()), pauseMs);
}

namespace {
struct LaterJob {
    int ms;
    void (*fn)(void *);
    void *arg;
};
#ifdef _WIN32
DWORD WINAPI LaterMain(LPVOID p)
{
    auto *job = static_cast<LaterJob *>(p);
    SleepMs(job->ms);
    job->fn(job->arg);
    delete job;
    return 0;
}
#endif
} // namespace

Later::Later(int ms, void (*fn)(void *), void *arg)
{
    auto *job = new LaterJob{ms, fn, arg};
#ifdef _WIN32
    thread_ = CreateThread(nullptr, 0, LaterMain, job, 0, nullptr);
#else
    thread_ = new std::thread([job] {
        SleepMs(job->ms);
        job->fn(job->arg);
        delete job;
    });
#endif
}

Later::~Later()
{
    Join();
}

void Later::Join()
{
    if (thread_ == nullptr) {
        return;
    }
#ifdef _WIN32
    WaitForSingleObject(static_cast<HANDLE>(thread_), INFINITE);
    CloseHandle(static_cast<HANDLE>(thread_));
#else
    auto *t = static_cast<std::thread *>(thread_);
    t->join();
    delete t;
#endif
    thread_ = nullptr;
}

double CpuMs()
{
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME &t) {
        return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
#else
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
#endif
}

double NowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void SleepMs(int ms)
{
#ifdef _WIN32
    Sleep(static_cast<DWORD>(ms));
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
#endif
}

std::string Hex(const std::vector<uint8_t> &bytes)
{
    std::string text;
    char part[4];
    for (uint8_t b : bytes) {
        std::snprintf(part, sizeof part, "%02X ", b);
        text += part;
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

} // namespace testboard
