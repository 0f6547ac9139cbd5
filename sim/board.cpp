// The board's line: the pty, the serving thread, faults, pacing and the test
// commands. What the registers do is model.cpp's.
#include "board.h"

#include <sys/prctl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>

#include "model.h"
#include "protocol/codec.h"

namespace zorsim {

namespace proto = zorenc::protocol;

namespace {

// One byte of 115200 8N1 on the wire: start bit, eight data bits, stop bit.
constexpr std::chrono::nanoseconds kByteTime(86806);
// Longest single wait of the serving thread; Stop wakes it sooner.
constexpr std::chrono::milliseconds kPollSlice(100);
// Longest the line may refuse bytes (nobody reading) before they are dropped.
constexpr std::chrono::milliseconds kWriteDeadline(1000);
constexpr int kSendRawTimeoutMs = 5000;
constexpr size_t kRawScriptLimit = 4096;
constexpr std::chrono::milliseconds kRawGap{50};
constexpr size_t kMaxInput = 4096;
constexpr uint32_t kDefaultGarbage = 4;
// Garbage that never holds 0x02 or 0x03.
constexpr uint8_t kGarbage[] = {0x00, 0xFF, 0x55, 0xAA, 0x7E, 0x11, 0x80, 0x40};

void SleepUntil(Clock::time_point t)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch());
    timespec ts;
    ts.tv_sec = static_cast<time_t>(ns.count() / 1000000000);
    ts.tv_nsec = static_cast<long>(ns.count() % 1000000000);
    // steady_clock is CLOCK_MONOTONIC; retry only a few interruptions.
    for (int i = 0; i < 100; ++i) {
        if (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) != EINTR) {
            return;
        }
    }
}

bool IsTestCommand(uint8_t command)
{
    switch (command) {
    case kCmdPoke:
    case kCmdPeek:
    case kCmdFault:
    case kCmdInputs:
    case kCmdCount:
    case kCmdLength:
    case kCmdQuery:
    case kCmdClearRequests:
    case kCmdReset:
    case kCmdAppendRaw:
    case kCmdSendRaw:
        return true;
    default:
        return false;
    }
}

struct FaultSlot {
    uint32_t param = 0;
    int remaining = 0;
};

// A reply or raw bytes waiting for their time on the line.
struct Output {
    Clock::time_point due;
    std::vector<uint8_t> bytes;
    bool blocking; // nothing else is served until it is sent
};

} // namespace

struct Board::Impl {
    explicit Impl(Options o) : options(std::move(o)), model(options.flashFile)
    {
        model.PowerUp(Clock::now(), options.inputs);
        if (!options.requestLog.empty()) {
            requestLog = std::fopen(options.requestLog.c_str(), "w");
        }
    }
    ~Impl()
    {
        if (requestLog != nullptr) {
            std::fclose(requestLog);
        }
    }

    const Options options;

    // Shared between the serving thread and the callers.
    mutable std::mutex mu;
    std::condition_variable changed;
    Model model;
    std::array<FaultSlot, kFaultKinds> faults{};
    std::vector<std::vector<uint8_t>> requests;
    std::FILE *requestLog = nullptr; // Options::requestLog
    std::deque<std::vector<uint8_t>> raw;
    std::vector<uint8_t> rawScript; // gathered by 'A', sent by 'S'
    uint64_t rawQueued = 0;
    uint64_t rawWritten = 0;
    std::string slavePath;
    bool serving = false;

    // Start and Stop hold lifeMu; the serving thread runs between them.
    std::mutex lifeMu;
    int master = -1;
    int slave = -1; // kept open so that the master never sees a hang-up
    int wake[2] = {-1, -1};
    std::thread thread;
    std::atomic<bool> stopping{false};

    // The serving thread's own.
    std::vector<uint8_t> input;
    std::vector<Clock::time_point> arrival; // of each input byte, paced receive only
    Clock::time_point rxFree{};
    std::vector<Output> pending; // by due time
    bool lineDead = false;

    bool Start();
    void Stop();
    void Wake();
    void PowerUp();

    void Serve();
    void LogRequest(const proto::ScanResult &scan, const std::vector<uint8_t> &frame);
    void ReadInput();
    void ProcessInput(Clock::time_point &wakeAt);
    void HandleFrame(const proto::ScanResult &scan, std::vector<uint8_t> frame);
    std::pair<uint8_t, uint32_t> TestCommand(const proto::EncReply &f, Clock::time_point now);
    void Queue(Clock::time_point due, std::vector<uint8_t> bytes, bool blocking);
    bool Blocked() const;
    void FlushDue();
    void FlushRaw();
    void WriteLine(const std::vector<uint8_t> &bytes);
    bool WriteAll(const uint8_t *data, size_t count);
};

// ---- lifecycle ------------------------------------------------------------

bool Board::Impl::Start()
{
    std::lock_guard<std::mutex> life(lifeMu);
    if (thread.joinable()) {
        return true;
    }
    int m = -1;
    int s = -1;
    if (openpty(&m, &s, nullptr, nullptr, nullptr) != 0) {
        return false;
    }
    char name[128];
    termios tio;
    if (ptsname_r(m, name, sizeof name) != 0 || tcgetattr(s, &tio) != 0 ||
        pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        close(m);
        close(s);
        return false;
    }
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    tcsetattr(s, TCSANOW, &tio);
    fcntl(m, F_SETFL, fcntl(m, F_GETFL) | O_NONBLOCK);
    fcntl(m, F_SETFD, FD_CLOEXEC);
    fcntl(s, F_SETFD, FD_CLOEXEC);
    master = m;
    slave = s;
    if (!options.link.empty()) {
        unlink(options.link.c_str());
        if (symlink(name, options.link.c_str()) != 0) {
            close(m);
            close(s);
            close(wake[0]);
            close(wake[1]);
            master = slave = wake[0] = wake[1] = -1;
            return false;
        }
    }
    input.clear();
    arrival.clear();
    pending.clear();
    lineDead = false;
    stopping = false;
    {
        std::lock_guard<std::mutex> lock(mu);
        slavePath = name;
        serving = true;
    }
    thread = std::thread([this] { Serve(); });
    return true;
}

void Board::Impl::Stop()
{
    std::lock_guard<std::mutex> life(lifeMu);
    if (!thread.joinable()) {
        return;
    }
    stopping = true;
    Wake();
    thread.join();
    {
        std::lock_guard<std::mutex> lock(mu);
        serving = false;
        slavePath.clear();
        raw.clear();
        rawWritten = rawQueued; // release SendRaw callers
    }
    changed.notify_all();
    if (!options.link.empty()) {
        unlink(options.link.c_str());
    }
    for (int *fd : {&master, &slave, &wake[0], &wake[1]}) {
        close(*fd);
        *fd = -1;
    }
    pending.clear();
}

void Board::Impl::Wake()
{
    const uint8_t b = 1;
    if (write(wake[1], &b, 1) < 0) {
        // Full pipe: a wake-up is pending anyway.
    }
}

void Board::Impl::PowerUp()
{
    model.PowerUp(Clock::now(), options.inputs);
    faults = {};
    requests.clear();
}

// ---- serving thread -------------------------------------------------------

void Board::Impl::Serve()
{
    // The line's timing to the microsecond: no timer slack on this thread.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    while (!stopping) {
        Clock::time_point wakeAt = Clock::now() + kPollSlice;
        if (!Blocked()) {
            ProcessInput(wakeAt);
        }
        FlushDue();
        FlushRaw();
        if (!pending.empty()) {
            wakeAt = std::min(wakeAt, pending.front().due);
        }
        pollfd fds[2] = {{wake[0], POLLIN, 0}, {master, POLLIN, 0}};
        const bool listen = !lineDead && !Blocked() && input.size() < kMaxInput;
        const auto wait = std::max(wakeAt - Clock::now(), Clock::duration::zero());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        const timespec timeout{static_cast<time_t>(ns / 1000000000),
                               static_cast<long>(ns % 1000000000)};
        if (ppoll(fds, listen ? 2 : 1, &timeout, nullptr) <= 0) {
            continue;
        }
        if (fds[0].revents & POLLIN) {
            uint8_t drain[64];
            while (read(wake[0], drain, sizeof drain) > 0) {
            }
        }
        if (listen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            ReadInput();
        }
    }
}

void Board::Impl::ReadInput()
{
    uint8_t buffer[512];
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            lineDead = true; // cannot happen while we hold the slave; never spin on it
        }
        return;
    }
    input.insert(input.end(), buffer, buffer + n);
    if (options.pacedReceive) {
        // The host wrote at pty speed; take the bytes as the wire would bring them.
        Clock::time_point t = std::max(rxFree, Clock::now());
        for (ssize_t i = 0; i < n; ++i) {
            t += kByteTime;
            arrival.push_back(t);
        }
        rxFree = t;
    }
}

void Board::Impl::ProcessInput(Clock::time_point &wakeAt)
{
    size_t pos = 0;
    while (pos < input.size()) {
        const proto::ScanResult scan =
            proto::ScanFrame(input.data() + pos, static_cast<int32_t>(input.size() - pos));
        if (scan.status == proto::ScanStatus::kNeedMore) {
            pos += static_cast<size_t>(scan.begin);
            break;
        }
        const size_t begin = pos + static_cast<size_t>(scan.begin);
        const size_t end = pos + static_cast<size_t>(scan.end);
        if (options.pacedReceive && arrival[end - 1] > Clock::now()) {
            wakeAt = std::min(wakeAt, arrival[end - 1]);
            pos = begin;
            break;
        }
        HandleFrame(scan, std::vector<uint8_t>(input.begin() + static_cast<ptrdiff_t>(begin),
                                               input.begin() + static_cast<ptrdiff_t>(end)));
        pos = end;
        if (Blocked()) {
            break;
        }
    }
    input.erase(input.begin(), input.begin() + static_cast<ptrdiff_t>(pos));
    if (options.pacedReceive) {
        arrival.erase(arrival.begin(), arrival.begin() + static_cast<ptrdiff_t>(pos));
    }
}

void Board::Impl::LogRequest(const proto::ScanResult &scan, const std::vector<uint8_t> &frame)
{
    if (requestLog == nullptr) {
        return;
    }
    if (scan.status == proto::ScanStatus::kFrame && scan.checksumOk) {
        const proto::EncReply &f = scan.frame;
        std::fprintf(requestLog, "%c %04X %08X\n", std::isprint(f.command) ? f.command : '?',
                     f.address, f.value);
    } else {
        std::fputs("bad", requestLog);
        for (uint8_t b : frame) {
            std::fprintf(requestLog, " %02X", b);
        }
        std::fputc('\n', requestLog);
    }
    std::fflush(requestLog);
}

void Board::Impl::HandleFrame(const proto::ScanResult &scan, std::vector<uint8_t> frame)
{
    const Clock::time_point now = Clock::now();
    const proto::EncReply &f = scan.frame;
    std::unique_lock<std::mutex> lock(mu);
    if (scan.status == proto::ScanStatus::kFrame && scan.checksumOk && options.testCommands &&
        IsTestCommand(f.command)) {
        const auto [status, value] = TestCommand(f, now);
        std::vector<uint8_t> script;
        if (f.command == kCmdSendRaw) {
            script.swap(rawScript);
        }
        lock.unlock();
        uint8_t reply[proto::kMaxFrame];
        const int32_t n = proto::EncodeFrame(f.command, f.address, value, status, reply);
        Queue(now, std::vector<uint8_t>(reply, reply + n), false);
        if (!script.empty()) {
            // A host takes a reply as complete when its last byte is the
            // terminator, so the raw bytes follow after a gap: the first part,
            // then the rest after the pause.
            const size_t split = std::min<size_t>(f.address, script.size());
            const Clock::time_point first = now + kRawGap;
            Queue(first, std::vector<uint8_t>(script.begin(), script.begin() + split), false);
            Queue(first + std::chrono::milliseconds(f.value),
                  std::vector<uint8_t>(script.begin() + split, script.end()), false);
        }
        return;
    }
    LogRequest(scan, frame);
    requests.push_back(std::move(frame));
    changed.notify_all();
    if (scan.status != proto::ScanStatus::kFrame || options.silent) {
        return; // a broken frame gets no answer
    }
    if (options.responder && scan.checksumOk && !IsTestCommand(f.command)) {
        lock.unlock();
        std::vector<uint8_t> bytes;
        if (options.responder(f.command, f.address, f.value, bytes)) {
            Queue(now, std::move(bytes), false);
        }
        return;
    }

    std::array<FaultSlot, kFaultKinds> active{};
    for (int k = 1; k < kFaultKinds; ++k) {
        if (faults[k].remaining > 0) {
            --faults[k].remaining;
            active[k] = {faults[k].param, 1};
        }
    }
    auto on = [&active](Fault kind) { return active[static_cast<int>(kind)].remaining > 0; };
    auto param = [&active](Fault kind) { return active[static_cast<int>(kind)].param; };

    uint32_t value = f.value;
    uint8_t status = kStatusUnknownCommand;
    if (!scan.checksumOk) {
        status = kStatusBadChecksum;
    } else if (f.command == proto::kCommandRead) {
        status = model.Read(f.address, value, now);
    } else if (f.command == proto::kCommandWrite) {
        status = model.Write(f.address, value, now);
    }
    lock.unlock();
    if (status != kStatusOk) {
        value = 0;
    }
    if (on(Fault::kSilence)) {
        return;
    }
    if (on(Fault::kStatus)) {
        status = static_cast<uint8_t>(param(Fault::kStatus));
    }
    uint8_t plain[proto::kFrameSize] = {proto::kStx,
                                        f.command,
                                        static_cast<uint8_t>(f.address),
                                        static_cast<uint8_t>(f.address >> 8),
                                        static_cast<uint8_t>(value),
                                        static_cast<uint8_t>(value >> 8),
                                        static_cast<uint8_t>(value >> 16),
                                        static_cast<uint8_t>(value >> 24),
                                        status,
                                        0,
                                        proto::kEtx};
    plain[9] = proto::Checksum(plain);
    if (on(Fault::kBadChecksum)) {
        ++plain[9];
    }
    uint8_t stuffed[proto::kMaxFrame];
    std::vector<uint8_t> reply(stuffed, stuffed + proto::StuffFrame(plain, stuffed));
    if (on(Fault::kTruncate)) {
        const uint32_t cut = std::max<uint32_t>(param(Fault::kTruncate), 1);
        reply.resize(reply.size() - std::min<size_t>(cut, reply.size()));
    }
    if (on(Fault::kDoubleReply)) {
        const std::vector<uint8_t> once = reply;
        reply.insert(reply.end(), once.begin(), once.end());
    }
    if (on(Fault::kGarbage)) {
        const uint32_t n = param(Fault::kGarbage) ? param(Fault::kGarbage) : kDefaultGarbage;
        std::vector<uint8_t> garbage(std::min<uint32_t>(n, 4096));
        for (size_t i = 0; i < garbage.size(); ++i) {
            garbage[i] = kGarbage[i % sizeof kGarbage];
        }
        reply.insert(reply.begin(), garbage.begin(), garbage.end());
    }
    Clock::time_point due = now;
    if (on(Fault::kDelay)) {
        due += std::chrono::milliseconds(param(Fault::kDelay));
    }
    if (on(Fault::kLate)) {
        due += std::chrono::milliseconds(param(Fault::kLate));
    }
    Queue(due, std::move(reply), on(Fault::kDelay));
}

std::pair<uint8_t, uint32_t> Board::Impl::TestCommand(const proto::EncReply &f,
                                                      Clock::time_point now)
{
    const size_t recorded = requests.size();
    switch (f.command) {
    case kCmdPoke:
        model.Poke(f.address, f.value, now);
        return {kStatusOk, f.value};
    case kCmdPeek:
        return {AccessOf(f.address) == Access::kNone ? kStatusUnknownAddress : kStatusOk,
                model.Peek(f.address, now)};
    case kCmdFault: {
        const unsigned kind = f.address & 0xFF;
        const int count = (f.address >> 8) ? (f.address >> 8) : 1;
        if (kind >= kFaultKinds) {
            return {kStatusBadValue, 0};
        }
        if (kind == 0) {
            faults = {};
        } else {
            faults[kind] = {f.value, count};
        }
        return {kStatusOk, f.value};
    }
    case kCmdInputs:
        model.SetInputs(f.value);
        return {kStatusOk, model.Peek(reg::kDiState, now)};
    case kCmdCount:
        return {kStatusOk, static_cast<uint32_t>(recorded)};
    case kCmdLength:
        if (f.address >= recorded) {
            return {kStatusUnknownAddress, 0};
        }
        return {kStatusOk, static_cast<uint32_t>(requests[recorded - 1 - f.address].size())};
    case kCmdQuery:
        if (f.value >= recorded || f.address >= requests[recorded - 1 - f.value].size()) {
            return {kStatusUnknownAddress, 0};
        }
        return {kStatusOk, requests[recorded - 1 - f.value][f.address]};
    case kCmdClearRequests:
        requests.clear();
        return {kStatusOk, 0};
    case kCmdReset:
        PowerUp();
        rawScript.clear();
        return {kStatusOk, 0};
    case kCmdAppendRaw:
        if (f.address < 1 || f.address > 4 || rawScript.size() >= kRawScriptLimit) {
            return {kStatusBadValue, 0};
        }
        for (unsigned i = 0; i < f.address; ++i) {
            rawScript.push_back(static_cast<uint8_t>(f.value >> (8 * i)));
        }
        return {kStatusOk, static_cast<uint32_t>(rawScript.size())};
    case kCmdSendRaw:
        return {kStatusOk, static_cast<uint32_t>(rawScript.size())};
    default:
        return {kStatusUnknownCommand, 0};
    }
}

void Board::Impl::Queue(Clock::time_point due, std::vector<uint8_t> bytes, bool blocking)
{
    auto at = std::upper_bound(pending.begin(), pending.end(), due,
                               [](Clock::time_point t, const Output &o) { return t < o.due; });
    pending.insert(at, Output{due, std::move(bytes), blocking});
}

bool Board::Impl::Blocked() const
{
    return std::any_of(pending.begin(), pending.end(), [](const Output &o) { return o.blocking; });
}

void Board::Impl::FlushDue()
{
    while (!pending.empty() && !stopping && pending.front().due <= Clock::now()) {
        const Output out = std::move(pending.front());
        pending.erase(pending.begin());
        WriteLine(out.bytes);
    }
}

void Board::Impl::FlushRaw()
{
    std::deque<std::vector<uint8_t>> batch;
    {
        std::lock_guard<std::mutex> lock(mu);
        batch.swap(raw);
    }
    if (batch.empty()) {
        return;
    }
    for (const auto &bytes : batch) {
        WriteLine(bytes);
    }
    {
        std::lock_guard<std::mutex> lock(mu);
        rawWritten += batch.size();
    }
    changed.notify_all();
}

void Board::Impl::WriteLine(const std::vector<uint8_t> &bytes)
{
    if (!options.paced) {
        WriteAll(bytes.data(), bytes.size());
        return;
    }
    // One byte at a time, each handed over once its wire time has passed, as
    // a UART delivers it at its stop bit. Absolute deadlines keep the rate
    // exact however late a wake-up comes.
    Clock::time_point t = Clock::now();
    for (uint8_t b : bytes) {
        t += kByteTime;
        SleepUntil(t);
        if (stopping || !WriteAll(&b, 1)) {
            return;
        }
    }
}

bool Board::Impl::WriteAll(const uint8_t *data, size_t count)
{
    const Clock::time_point deadline = Clock::now() + kWriteDeadline;
    while (count > 0) {
        const ssize_t n = write(master, data, count);
        if (n > 0) {
            data += n;
            count -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        if (Clock::now() >= deadline || stopping) {
            return false; // nobody reads the port: the bytes are lost
        }
        pollfd fd = {master, POLLOUT, 0};
        poll(&fd, 1, 20);
    }
    return true;
}

// ---- public interface -----------------------------------------------------

Board::Board(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Board::~Board()
{
    impl_->Stop();
}

bool Board::Start()
{
    return impl_->Start();
}

void Board::Stop()
{
    impl_->Stop();
}

std::string Board::SlavePath() const
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->slavePath;
}

uint32_t Board::Get(uint16_t address)
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->model.Peek(address, Clock::now());
}

void Board::Set(uint16_t address, uint32_t value)
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->model.Poke(address, value, Clock::now());
}

void Board::SetInputs(uint32_t bits)
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->model.SetInputs(bits);
}

void Board::InjectFault(Fault kind, uint32_t param, int count)
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (kind == Fault::kNone) {
        impl_->faults = {};
        return;
    }
    impl_->faults[static_cast<int>(kind)] = {param, count};
}

void Board::ClearFaults()
{
    InjectFault(Fault::kNone);
}

std::vector<std::vector<uint8_t>> Board::Requests()
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->requests;
}

void Board::ClearRequests()
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->requests.clear();
}

bool Board::WaitForRequests(size_t n, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(impl_->mu);
    return impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [this, n] { return impl_->requests.size() >= n; });
}

bool Board::SendRaw(const std::vector<uint8_t> &bytes)
{
    std::unique_lock<std::mutex> lock(impl_->mu);
    if (!impl_->serving) {
        return false;
    }
    impl_->raw.push_back(bytes);
    const uint64_t ticket = ++impl_->rawQueued;
    impl_->Wake();
    return impl_->changed.wait_for(lock, std::chrono::milliseconds(kSendRawTimeoutMs),
                                   [this, ticket] { return impl_->rawWritten >= ticket; }) &&
           impl_->serving;
}

void Board::Unplug()
{
    impl_->Stop();
}

bool Board::Restart()
{
    impl_->Stop();
    Reset();
    return impl_->Start();
}

void Board::Reset()
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->PowerUp();
}

} // namespace zorsim
