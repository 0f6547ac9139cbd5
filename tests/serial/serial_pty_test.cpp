// CSerial over the termios layer, on a pseudo-terminal pair: the test holds
// the master side and plays the device.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "serial/serial.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SerialPtyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[128] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        path = name;
        for (int fd : {master, slave}) {
            termios t{};
            ASSERT_EQ(tcgetattr(fd, &t), 0);
            cfmakeraw(&t);
            ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
        }
    }

    void TearDown() override
    {
        port.Close();
        if (master >= 0) {
            close(master);
        }
        close(slave);
    }

    void Send(const std::string &bytes)
    {
        ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // What the port has sent, collected for at most `ms`.
    std::string Receive(size_t count, int ms = 2000)
    {
        std::string got;
        const auto start = Clock::now();
        while (got.size() < count && MsSince(start) < ms) {
            pollfd pfd{master, POLLIN, 0};
            if (poll(&pfd, 1, 50) > 0) {
                char buffer[256];
                const ssize_t n = read(master, buffer, sizeof(buffer));
                if (n > 0) {
                    got.append(buffer, static_cast<size_t>(n));
                }
            }
        }
        return got;
    }

    int master = -1;
    int slave = -1; // kept open to read the line settings back
    std::string path;
    CSerial port;
};

TEST_F(SerialPtyTest, ConfiguresTheLine)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, true), 0);
    EXPECT_EQ(port.Setup(CBR_115200, 8, NOPARITY, ONESTOPBIT), 0);
    EXPECT_EQ(port.GetBaudRate(), CBR_115200);
    EXPECT_EQ(port.GetDataBits(), 8);
    EXPECT_EQ(port.GetParity(), NOPARITY);
    EXPECT_EQ(port.GetStopBits(), ONESTOPBIT);
    EXPECT_EQ(port.GetHandshaking(), CSerial::HandshakeOff);
    EXPECT_EQ(port.GetEventMask(), 0xC1u);

    EXPECT_EQ(port.Setup(CBR_9600, 7, EVENPARITY, TWOSTOPBITS), 0);
    termios t{};
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    // A pseudo-terminal keeps 8 bits without parity whatever it is told.
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(port.GetDataBits(), 7);
    EXPECT_EQ(port.GetParity(), EVENPARITY);
    EXPECT_EQ(port.GetStopBits(), TWOSTOPBITS);

    for (int mode :
         {CSerial::HandshakeHardware, CSerial::HandshakeSoftware, CSerial::HandshakeOff}) {
        EXPECT_EQ(port.SetupHandshaking(mode), 0);
        EXPECT_EQ(port.GetHandshaking(), mode);
        ASSERT_EQ(tcgetattr(slave, &t), 0);
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, mode == CSerial::HandshakeHardware);
        EXPECT_EQ((t.c_iflag & (IXON | IXOFF)) != 0, mode == CSerial::HandshakeSoftware);
    }
    EXPECT_EQ(port.SetEventChar('#'), 0);
    EXPECT_EQ(port.GetEventChar(), '#');
    EXPECT_EQ(port.GetEventMask(), 0xC3u);

    // Formats the line cannot take are refused, and the line keeps its state.
    const struct {
        DWORD baud;
        int bits, parity, stop;
        int32_t result;
    } cases[] = {
        {12345, 8, 0, 0, 87},
        {CBR_115200, 9, 0, 0, 87},
        {CBR_115200, 8, 5, 0, 87},
        {CBR_115200, 8, 0, 1, 87},
        {CBR_115200, 5, 0, 1, 0},
        {CBR_57600, 6, ODDPARITY, 0, 0},
        {CBR_57600, 8, MARKPARITY, 0, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(port.Setup(c.baud, c.bits, c.parity, c.stop), c.result) << c.baud << c.bits;
    }
    EXPECT_EQ(port.GetBaudRate(), CBR_57600);
    EXPECT_EQ(port.GetParity(), MARKPARITY);
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
}

TEST_F(SerialPtyTest, StateRoundTripsExactly)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, true), 0);
    HANDLE file = CreateFileA(("\\\\.\\" + path).c_str(), GENERIC_READ | GENERIC_WRITE, 1, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    // The port holds the device exclusively; even a shared open is refused.
    EXPECT_EQ(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    port.Close();

    file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DCB dcb{};
    ASSERT_TRUE(GetCommState(file, &dcb));
    dcb.BaudRate = CBR_38400;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fOutxDsrFlow = 1;
    dcb.XonLim = 77;
    dcb.EvtChar = 'e';
    dcb.ErrorChar = '?';
    ASSERT_TRUE(SetCommState(file, &dcb));
    DCB back{};
    ASSERT_TRUE(GetCommState(file, &back));
    EXPECT_EQ(std::memcmp(&dcb, &back, sizeof(DCB)), 0);
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(SerialPtyTest, WritesReachThePeer)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, true), 0);
    DWORD count = 0;
    EXPECT_EQ(port.Write("hello", 5, &count), 0);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(port.WriteString(" world"), 0);
    EXPECT_EQ(Receive(11), "hello world");
}

TEST_F(SerialPtyTest, NonBlockingReadReturnsAtOnce)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, true), 0);
    char buffer[32];
    DWORD count = 99;
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_LT(MsSince(start), 500);

    Send("abc");
    EXPECT_EQ(port.WaitEvent(nullptr, 2000), 0);
    EXPECT_EQ(port.ReceivedEvents() & EV_RXCHAR, EV_RXCHAR);
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, nullptr, 1000), 0);
    EXPECT_EQ(std::string(buffer, count), "abc");
}

TEST_F(SerialPtyTest, TimedOutReadKeepsItsBytesAndThePortWorks)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, true), 0);
    ASSERT_EQ(port.SetupReadTimeouts(CSerial::ReadBlocking), 0);
    char buffer[8];
    DWORD count = 0;
    Send("12");
    auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer, 4, &count, nullptr, 200), 1460);
    const int64_t waited = MsSince(start);
    EXPECT_GE(waited, 150);
    EXPECT_LT(waited, 3000);
    EXPECT_EQ(std::string(buffer, count), "12");

    Send("3456");
    EXPECT_EQ(port.Read(buffer, 4, &count, nullptr, 3000), 0);
    EXPECT_EQ(std::string(buffer, count), "3456");

    start = Clock::now();
    EXPECT_EQ(port.WaitEvent(nullptr, 100), 1460);
    EXPECT_LT(MsSince(start), 3000);
    Send("7");
    EXPECT_EQ(port.WaitEvent(nullptr, 3000), 0);
    EXPECT_EQ(port.ReceivedEvents(), EV_RXCHAR);
}

// A blocking read of bytes paced at the line's speed sleeps through their
// byte times instead of waking for each byte, and still has them all within
// a few milliseconds. The fewest wake-ups of up to a hundred tries (a
// millisecond each) is counted, so that a loaded machine delaying the device
// thread does not matter: a reader that wakes for each byte never gets there.
TEST_F(SerialPtyTest, BlockingReadOfAPacedLineWakesFewTimes)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, true), 0);
    ASSERT_EQ(port.Setup(CBR_115200, 8, NOPARITY, ONESTOPBIT), 0);
    ASSERT_EQ(port.SetupReadTimeouts(CSerial::ReadBlocking), 0);
    constexpr int kBytes = 10;
    const auto byteTime = std::chrono::nanoseconds(86806); // 10 bits at 115200
    long fewest = 1000;
    for (int attempt = 0; attempt < 100 && fewest > 3; ++attempt) {
        std::thread device([this, byteTime] {
            auto due = Clock::now();
            for (int i = 0; i < kBytes; ++i) {
                due += byteTime;
                std::this_thread::sleep_until(due);
                const char b = static_cast<char>('0' + i);
                ASSERT_EQ(write(master, &b, 1), 1);
            }
        });
        rusage before{};
        getrusage(RUSAGE_THREAD, &before);
        const auto start = Clock::now();
        char buffer[kBytes] = {};
        DWORD count = 0;
        EXPECT_EQ(port.Read(buffer, kBytes, &count, nullptr, 2000), 0);
        const int64_t elapsed = MsSince(start);
        rusage after{};
        getrusage(RUSAGE_THREAD, &after);
        device.join();
        EXPECT_EQ(std::string(buffer, count), "0123456789");
        EXPECT_LT(elapsed, 1000);
        fewest = std::min(fewest, after.ru_nvcsw - before.ru_nvcsw);
    }
    // Waking as bytes come takes four or more even where the pseudo-terminal
    // hands them over a few at a time.
    EXPECT_LE(fewest, 3);
}

TEST_F(SerialPtyTest, CallersOverlappedCompletesThroughItsEvent)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, true), 0);
    ASSERT_EQ(port.SetupReadTimeouts(CSerial::ReadBlocking), 0);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    char buffer[3];
    DWORD count = 0;
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, &overlapped), 0);
    const auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 50), WAIT_TIMEOUT);
    EXPECT_GE(MsSince(start), 40);
    Send("xyz");
    EXPECT_EQ(WaitForSingleObject(event, 3000), WAIT_OBJECT_0);
    EXPECT_EQ(overlapped.InternalHigh, 3u);
    EXPECT_EQ(std::string(buffer, 3), "xyz");
    CloseHandle(event);
}

// A line that takes no bytes (nobody reads its far end): the write pends and
// ends by the caller's time-out, and the port works once the line drains.
TEST_F(SerialPtyTest, WriteOnAFullLineEndsByTheCallersTimeout)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, true), 0);
    ASSERT_EQ(fcntl(slave, F_SETFL, fcntl(slave, F_GETFL) | O_NONBLOCK), 0);
    const std::string block(4096, 'x');
    // Full once it has taken nothing for a while: the kernel moves bytes on
    // between its buffers for a moment after a write.
    for (pollfd out{slave, POLLOUT, 0}; poll(&out, 1, 200) > 0; out.revents = 0) {
        while (write(slave, block.data(), block.size()) > 0 || write(slave, "x", 1) > 0) {
        }
    }
    for (const DWORD timeout : {50u, 400u}) {
        SCOPED_TRACE(timeout);
        DWORD count = 99;
        const auto start = Clock::now();
        EXPECT_EQ(port.Write("request", 7, &count, nullptr, timeout), 1460);
        const int64_t waited = MsSince(start);
        EXPECT_GE(waited, static_cast<int64_t>(timeout) - 10);
        EXPECT_LT(waited, static_cast<int64_t>(timeout) + 1000);
        EXPECT_EQ(count, 0u);
    }
    close(master); // the line goes away: a write fails at once
    master = -1;
    const auto start = Clock::now();
    EXPECT_NE(port.Write("request", 7, nullptr, nullptr, 5000), 0);
    EXPECT_LT(MsSince(start), 2000);
}

TEST_F(SerialPtyTest, SynchronousPortBlocksInTheCall)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, false), 0);
    ASSERT_EQ(port.SetupReadTimeouts(CSerial::ReadBlocking), 0);
    Send("sync");
    char buffer[4];
    DWORD count = 0;
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count), 0);
    EXPECT_EQ(std::string(buffer, count), "sync");
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, nullptr, 500), 1);
}

TEST_F(SerialPtyTest, PurgeDropsWhatArrived)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, true), 0);
    Send("old");
    ASSERT_EQ(port.WaitEvent(nullptr, 2000), 0);
    EXPECT_EQ(port.Purge(), 0);
    char buffer[8];
    DWORD count = 99;
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port.PurgeRx(), 0);
}

TEST_F(SerialPtyTest, OpenRefusals)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, true), 0);
    CSerial second; // as root too: the lock, not TIOCEXCL, decides
    EXPECT_EQ(second.Open(path.c_str(), 0, 0, true), 5);
    EXPECT_FALSE(second.IsOpen());
    port.Close();
    EXPECT_EQ(second.Open(path.c_str(), 0, 0, true), 0);

    CSerial missing;
    EXPECT_EQ(missing.Open("/dev/zorenc-no-such-port", 0, 0, true), 2);
    EXPECT_EQ(missing.Open("/dev/null", 0, 0, true), 2); // not a serial device
    EXPECT_EQ(missing.Open("COM250", 0, 0, true), 2);    // /dev/ttyS249
    EXPECT_FALSE(missing.IsOpen());
}

TEST_F(SerialPtyTest, HangupEndsWaitsAndReads)
{
    ASSERT_EQ(port.Open(path.c_str(), 0, 0, true), 0);
    close(master);
    master = -1;
    const auto start = Clock::now();
    EXPECT_EQ(port.WaitEvent(nullptr, 5000), 0); // ended, not timed out
    char buffer[4];
    DWORD count = 0;
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, nullptr, 5000), 1167);
    EXPECT_EQ(port.SetupReadTimeouts(CSerial::ReadBlocking), 0);
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, nullptr, 5000), 1167);
    EXPECT_EQ(count, 0u);
    EXPECT_LT(MsSince(start), 2000);
}

} // namespace
