// CSerial against the scripted platform: call order, arguments, result codes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/fake.h"
#include "serial/serial.h"

namespace {

using Names = std::vector<std::string>;
using Args = std::vector<uint64_t>;

const fake::Call *FindCall(const std::string &fn)
{
    for (const fake::Call &call : fake::Calls()) {
        if (call.fn == fn) {
            return &call;
        }
    }
    return nullptr;
}

class SerialTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }

    // Opens COM3 and forgets the calls that took.
    void OpenPort(bool overlapped = true)
    {
        ASSERT_EQ(port.Open("COM3", 0, 0, overlapped), 0);
        fake::ClearCalls();
    }

    CSerial port;
};

TEST_F(SerialTest, OpenMakesItsCallsInOrder)
{
    fake::Timeouts().WriteTotalTimeoutMultiplier = 3;
    fake::Timeouts().WriteTotalTimeoutConstant = 77;
    struct Case {
        bool overlapped;
        Names names;
        uint64_t flags;
    };
    const Case cases[] = {
        {true,
         {"CreateFileA", "CreateEventA", "SetCommMask", "GetCommTimeouts", "SetCommTimeouts",
          "GetDefaultCommConfigA", "SetCommConfig"},
         FILE_FLAG_OVERLAPPED},
        {false,
         {"CreateFileA", "SetCommMask", "GetCommTimeouts", "SetCommTimeouts",
          "GetDefaultCommConfigA", "SetCommConfig"},
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.overlapped);
        fake::ClearCalls();
        CSerial serial;
        EXPECT_EQ(serial.Open("COM3", 0, 0, c.overlapped), 0);
        EXPECT_EQ(fake::Names(), c.names);
        EXPECT_EQ(FindCall("CreateFileA")->args, (Args{0xC0000000u, 0, OPEN_EXISTING, c.flags}));
        EXPECT_EQ(FindCall("SetCommMask")->args, (Args{0xC1}));
        // Read members non-blocking; the write members keep the driver's values.
        EXPECT_EQ(FindCall("SetCommTimeouts")->args, (Args{MAXDWORD, 0, 0, 3, 77}));
        EXPECT_EQ(FindCall("GetDefaultCommConfigA")->args,
                  (Args{sizeof(COMMCONFIG), sizeof(COMMCONFIG)}));
        EXPECT_EQ(FindCall("SetCommConfig")->args, (Args{sizeof(COMMCONFIG)}));
        if (c.overlapped) {
            EXPECT_EQ(FindCall("CreateEventA")->args, (Args{TRUE, FALSE}));
        }
        EXPECT_TRUE(serial.IsOpen());
        EXPECT_EQ(serial.GetEventMask(), 0xC1u);
    }
}

// Both spellings of a long name reach the platform as \\.\COM12.
TEST_F(SerialTest, OpenPrefixesNamesOfFiveCharactersOrMoreOnce)
{
    const std::pair<const char *, const char *> cases[] = {
        {"COM3", "COM3"},
        {"COM9", "COM9"},
        {"COM10", "\\\\.\\COM10"},
        {"COM12", "\\\\.\\COM12"},
        {"\\\\.\\COM12", "\\\\.\\COM12"},
        {"\\\\?\\COM12", "\\\\?\\COM12"},
        {"\\\\.\\COM3", "\\\\.\\COM3"},
        {"\\\\.COM12", "\\\\.\\\\\\.COM12"}, // not the prefix: one is added
        {"/dev/ttyUSB0", "\\\\.\\/dev/ttyUSB0"},
    };
    for (const auto &c : cases) {
        fake::ClearCalls();
        CSerial serial;
        serial.Open(c.first, 0, 0, true);
        EXPECT_EQ(FindCall("CreateFileA")->text, c.second);
        EXPECT_EQ(FindCall("GetDefaultCommConfigA")->text, c.second);
    }
}

TEST_F(SerialTest, OpenSizesQueuesOnlyWhenAsked)
{
    const std::pair<DWORD, DWORD> cases[] = {{0, 0}, {1024, 0}, {0, 512}, {4096, 2048}};
    for (const auto &c : cases) {
        fake::ClearCalls();
        CSerial serial;
        EXPECT_EQ(serial.Open("COM3", c.first, c.second, true), 0);
        const fake::Call *setup = FindCall("SetupComm");
        if (c.first == 0 && c.second == 0) {
            EXPECT_EQ(setup, nullptr);
        } else {
            ASSERT_NE(setup, nullptr);
            EXPECT_EQ(setup->args, (Args{c.first, c.second}));
        }
    }
}

TEST_F(SerialTest, OpenFailures)
{
    struct Case {
        const char *fn;
        DWORD code;
        int32_t result;
        bool open;
        Names names;
    };
    const Case cases[] = {
        {"CreateFileA", ERROR_FILE_NOT_FOUND, 2, false, {"CreateFileA"}},
        {"CreateEventA",
         ERROR_NOT_ENOUGH_MEMORY,
         8,
         false,
         {"CreateFileA", "CreateEventA", "CloseHandle"}},
        {"SetupComm",
         ERROR_INVALID_PARAMETER,
         87,
         false,
         {"CreateFileA", "CreateEventA", "SetupComm", "CloseHandle", "CloseHandle"}},
        // Default steps never close the port; only the read mode is reported.
        {"SetCommMask", ERROR_GEN_FAILURE, 0, true, {}},
        {"GetCommTimeouts", ERROR_GEN_FAILURE, 31, true, {}},
        {"SetCommTimeouts", ERROR_ACCESS_DENIED, 5, true, {}},
        {"GetDefaultCommConfigA", ERROR_GEN_FAILURE, 0, true, {}},
        {"SetCommConfig", ERROR_GEN_FAILURE, 0, true, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fn);
        fake::Reset();
        fake::FailNext(c.fn, c.code);
        CSerial serial;
        EXPECT_EQ(serial.Open("COM3", 16, 16, true), c.result);
        EXPECT_EQ(serial.LastError(), c.result);
        EXPECT_EQ(serial.IsOpen(), c.open);
        if (!c.open) {
            EXPECT_EQ(fake::Names(), c.names);
            EXPECT_EQ(fake::OpenHandles(), 0);
        }
    }
}

TEST_F(SerialTest, FailedDefaultStepsLeaveTheirTraces)
{
    fake::FailNext("SetCommMask", ERROR_GEN_FAILURE);
    fake::FailNext("GetDefaultCommConfigA", ERROR_GEN_FAILURE);
    EXPECT_EQ(port.Open("COM3", 0, 0, true), 0);
    EXPECT_EQ(port.GetEventMask(), 0u); // the failed mask was not recorded
    EXPECT_EQ(FindCall("SetCommConfig"), nullptr);
}

TEST_F(SerialTest, OpenOnAnOpenPortChangesNothing)
{
    OpenPort();
    EXPECT_EQ(port.Open("COM4", 0, 0, false), 1247);
    EXPECT_TRUE(fake::Calls().empty());
    EXPECT_EQ(port.Purge(), 0);
}

TEST_F(SerialTest, OpenWithoutNameMakesNoCall)
{
    EXPECT_EQ(port.Open(nullptr, 0, 0, true), 87);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(fake::Calls().empty());
}

TEST_F(SerialTest, CloseAndDestruction)
{
    OpenPort();
    EXPECT_EQ(port.Close(), 0);
    ASSERT_EQ(fake::Names(), (Names{"CloseHandle", "CloseHandle"}));
    EXPECT_EQ(fake::Calls()[0].args, (Args{0x2000})); // the event first
    EXPECT_EQ(fake::Calls()[1].args, (Args{0x1000}));
    EXPECT_FALSE(port.IsOpen());
    fake::ClearCalls();
    EXPECT_EQ(port.Close(), 0);
    EXPECT_TRUE(fake::Calls().empty());

    {
        CSerial open;
        open.Open("COM3", 0, 0, true);
    }
    EXPECT_EQ(fake::OpenHandles(), 0);
    fake::ClearCalls();
    {
        CSerial closed;
    }
    EXPECT_TRUE(fake::Calls().empty());
}

TEST_F(SerialTest, ClosedPortFailsWithoutPlatformCalls)
{
    OVERLAPPED overlapped{};
    char buffer[4];
    struct Case {
        const char *what;
        std::function<int64_t()> call;
        int64_t failure;
    };
    const Case cases[] = {
        {"Setup", [&] { return port.Setup(CBR_115200, 8, 0, 0); }, 6},
        {"SetEventChar", [&] { return port.SetEventChar('x', true); }, 6},
        {"SetMask", [&] { return port.SetMask(1); }, 6},
        {"WaitEvent", [&] { return port.WaitEvent(&overlapped, 10); }, 6},
        {"SetupHandshaking", [&] { return port.SetupHandshaking(7); }, 6},
        {"SetupReadTimeouts", [&] { return port.SetupReadTimeouts(0); }, 6},
        {"GetBaudRate", [&] { return port.GetBaudRate(); }, 0xFFFFFFFF},
        {"GetDataBits", [&] { return port.GetDataBits(); }, -1},
        {"GetParity", [&] { return port.GetParity(); }, -1},
        {"GetStopBits", [&] { return port.GetStopBits(); }, -1},
        {"GetHandshaking", [&] { return port.GetHandshaking(); }, -1},
        {"GetEventMask", [&] { return port.GetEventMask(); }, 0},
        {"GetEventChar", [&] { return port.GetEventChar(); }, 0},
        {"WriteString", [&] { return port.WriteString("x"); }, 6},
        {"Purge", [&] { return port.Purge(); }, 6},
        {"PurgeRx", [&] { return port.PurgeRx(); }, 6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), c.failure);
        EXPECT_EQ(port.LastError(), 6);
    }
    DWORD count = 99;
    EXPECT_EQ(port.Write("ab", 2, &count), 6);
    EXPECT_EQ(count, 0u);
    count = 99;
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count), 6);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(fake::Calls().empty());
}

TEST_F(SerialTest, GettersReadTheDriverEveryTime)
{
    OpenPort();
    DCB &dcb = fake::Dcb();
    dcb.BaudRate = 57600;
    dcb.ByteSize = 7;
    dcb.StopBits = TWOSTOPBITS;
    dcb.EvtChar = '\n';
    EXPECT_EQ(port.GetBaudRate(), 57600u);
    EXPECT_EQ(port.GetDataBits(), 7);
    EXPECT_EQ(port.GetStopBits(), 2);
    EXPECT_EQ(port.GetEventChar(), '\n');
    EXPECT_EQ(fake::Names(), Names(4, "GetCommState"));

    // Parity counts only with fParity set.
    const struct {
        unsigned fParity;
        BYTE parity;
        int expected;
    } parities[] = {{0, EVENPARITY, 0}, {1, EVENPARITY, 2}, {1, MARKPARITY, 3}, {0, 0, 0}};
    for (const auto &c : parities) {
        dcb.fParity = c.fParity;
        dcb.Parity = c.parity;
        EXPECT_EQ(port.GetParity(), c.expected);
    }

    // Hardware needs both DTR and RTS in handshake mode; software both X flags.
    const struct {
        unsigned dtr, rts, outX, inX;
        int expected;
    } handshakes[] = {
        {DTR_CONTROL_HANDSHAKE, RTS_CONTROL_HANDSHAKE, 0, 0, 1},
        {DTR_CONTROL_HANDSHAKE, RTS_CONTROL_ENABLE, 0, 0, 0},
        {DTR_CONTROL_ENABLE, RTS_CONTROL_HANDSHAKE, 0, 0, 0},
        {DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE, 1, 1, 2},
        {DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE, 1, 0, 0},
        {DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE, 0, 1, 0},
        {DTR_CONTROL_HANDSHAKE, RTS_CONTROL_HANDSHAKE, 1, 1, 1},
    };
    for (const auto &c : handshakes) {
        dcb.fDtrControl = c.dtr;
        dcb.fRtsControl = c.rts;
        dcb.fOutX = c.outX;
        dcb.fInX = c.inX;
        EXPECT_EQ(port.GetHandshaking(), c.expected);
    }

    fake::FailNext("GetCommState", ERROR_GEN_FAILURE, 6);
    EXPECT_EQ(port.GetBaudRate(), 0xFFFFFFFFu);
    EXPECT_EQ(port.LastError(), 31);
    EXPECT_EQ(port.GetDataBits(), -1);
    EXPECT_EQ(port.GetParity(), -1);
    EXPECT_EQ(port.GetStopBits(), -1);
    EXPECT_EQ(port.GetHandshaking(), -1);
    EXPECT_EQ(port.GetEventChar(), 0);
    EXPECT_EQ(port.LastError(), 31);
    EXPECT_EQ(port.GetEventMask(), 0xC1u);
    EXPECT_EQ(port.LastError(), 0);
}

TEST_F(SerialTest, SetupWritesTheLineFormat)
{
    OpenPort();
    fake::Dcb().XonLim = 1234; // a member Setup does not name keeps its value
    const struct {
        int dataBits, parity, stopBits;
        uint64_t byteSize, parityByte, fParity;
    } cases[] = {
        {8, NOPARITY, ONESTOPBIT, 8, 0, 0},
        {7, EVENPARITY, TWOSTOPBITS, 7, 2, 1},
        {0x108, 0x100, 0, 8, 0, 1}, // low bytes only; fParity from all 32 bits
    };
    for (const auto &c : cases) {
        fake::ClearCalls();
        EXPECT_EQ(port.Setup(CBR_115200, c.dataBits, c.parity, c.stopBits), 0);
        ASSERT_EQ(fake::Names(), (Names{"GetCommState", "SetCommState"}));
        const Args &a = fake::Calls()[1].args;
        EXPECT_EQ(a[0], CBR_115200);
        EXPECT_EQ(a[1], c.byteSize);
        EXPECT_EQ(a[2], c.parityByte);
        EXPECT_EQ(a[3], static_cast<uint64_t>(c.stopBits & 0xFF));
        EXPECT_EQ(a[4], c.fParity);
    }
    EXPECT_EQ(fake::Dcb().XonLim, 1234);

    fake::ClearCalls();
    fake::FailNext("GetCommState", ERROR_GEN_FAILURE);
    EXPECT_EQ(port.Setup(CBR_9600, 8, 0, 0), 31);
    EXPECT_EQ(fake::Names(), (Names{"GetCommState"}));
    fake::FailNext("SetCommState", ERROR_INVALID_PARAMETER);
    EXPECT_EQ(port.Setup(12345, 8, 0, 0), 87);
}

TEST_F(SerialTest, HandshakingModes)
{
    OpenPort();
    fake::Dcb().fTXContinueOnXoff = 1;
    fake::Dcb().XonChar = 0x21;
    // fOutxCtsFlow, fOutxDsrFlow, fDtrControl, fRtsControl, fOutX, fInX.
    const std::pair<int, Args> cases[] = {
        {CSerial::HandshakeHardware, {1, 1, 2, 2, 0, 0}},
        {CSerial::HandshakeSoftware, {0, 0, 0, 0, 1, 1}},
        {CSerial::HandshakeOff, {0, 0, 0, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        fake::ClearCalls();
        EXPECT_EQ(port.SetupHandshaking(c.first), 0);
        const Args &a = FindCall("SetCommState")->args;
        EXPECT_EQ(Args(a.begin() + 5, a.begin() + 11), c.second);
        EXPECT_EQ(port.GetHandshaking(), c.first);
    }
    EXPECT_EQ(fake::Dcb().fTXContinueOnXoff, 1u);
    EXPECT_EQ(fake::Dcb().XonChar, 0x21);

    fake::ClearCalls();
    EXPECT_EQ(port.SetupHandshaking(3), static_cast<int32_t>(E_INVALIDARG));
    EXPECT_EQ(port.SetupReadTimeouts(2), static_cast<int32_t>(E_INVALIDARG));
    EXPECT_EQ(FindCall("SetCommState"), nullptr);
    EXPECT_EQ(FindCall("SetCommTimeouts"), nullptr);
}

TEST_F(SerialTest, ReadTimeoutModes)
{
    OpenPort();
    fake::Timeouts().WriteTotalTimeoutConstant = 9;
    EXPECT_EQ(port.SetupReadTimeouts(CSerial::ReadBlocking), 0);
    EXPECT_EQ(FindCall("SetCommTimeouts")->args, (Args{0, 0, 0, 0, 9}));
    fake::ClearCalls();
    EXPECT_EQ(port.SetupReadTimeouts(CSerial::ReadNonBlocking), 0);
    EXPECT_EQ(FindCall("SetCommTimeouts")->args, (Args{MAXDWORD, 0, 0, 0, 9}));
}

TEST_F(SerialTest, EventCharAndMask)
{
    OpenPort();
    EXPECT_EQ(port.SetEventChar('\r', true), 0);
    EXPECT_EQ(fake::Names(), (Names{"GetCommState", "SetCommMask", "SetCommState"}));
    EXPECT_EQ(FindCall("SetCommMask")->args, (Args{0xC3}));
    EXPECT_EQ(port.GetEventMask(), 0xC3u);
    EXPECT_EQ(port.GetEventChar(), '\r');

    fake::ClearCalls();
    EXPECT_EQ(port.SetEventChar('!', false), 0);
    EXPECT_EQ(FindCall("SetCommMask"), nullptr);
    EXPECT_EQ(port.GetEventMask(), 0xC3u);

    // The DCB write's failure wins over the mask's; the mask's is kept otherwise.
    fake::FailNext("SetCommMask", ERROR_GEN_FAILURE);
    EXPECT_EQ(port.SetEventChar('a', true), 31);
    fake::FailNext("SetCommMask", ERROR_GEN_FAILURE);
    fake::FailNext("SetCommState", ERROR_ACCESS_DENIED);
    EXPECT_EQ(port.SetEventChar('a', true), 5);

    fake::FailNext("SetCommMask", ERROR_GEN_FAILURE);
    EXPECT_EQ(port.SetMask(EV_RXCHAR), 31);
    EXPECT_EQ(port.GetEventMask(), 0xC3u);
    EXPECT_EQ(port.SetMask(EV_RXCHAR | EV_RING), 0);
    EXPECT_EQ(port.GetEventMask(), EV_RXCHAR | EV_RING);
}

TEST_F(SerialTest, SynchronousPortRefusesOverlappedForms)
{
    OpenPort(false);
    OVERLAPPED overlapped{};
    char buffer[8];
    DWORD count = 0;
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, nullptr, 500), 1);
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, &overlapped), 1);
    EXPECT_EQ(port.Write("x", 1, &count, nullptr, 0), 1);
    EXPECT_EQ(port.WaitEvent(&overlapped), 1);
    EXPECT_EQ(port.WaitEvent(nullptr, 10), 1);
    EXPECT_TRUE(fake::Calls().empty());

    fake::QueueRx("ab", 2);
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count), 0);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(port.Write("xyz", 3, &count), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(fake::Names(), (Names{"ReadFile", "WriteFile"}));
    EXPECT_EQ(fake::Calls()[0].args, (Args{8, 0}));
}

TEST_F(SerialTest, ImmediateCompletionSignalsTheEvent)
{
    OpenPort();
    char buffer[8];
    DWORD count = 99;
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count), 0);
    EXPECT_EQ(count, 0u);
    fake::QueueRx("abc", 3);
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(fake::Names(), (Names{"ReadFile", "SetEvent", "ReadFile", "SetEvent"}));
    EXPECT_EQ(fake::Calls()[1].args, (Args{0x2000}));

    // With the caller's OVERLAPPED, its own event is left signalled.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    EXPECT_EQ(port.Write("hi", 2, &count, &overlapped), 0);
    EXPECT_EQ(count, 2u);
    EXPECT_TRUE(fake::IsSignalled(event));
    ResetEvent(event);
    fake::QueueRx("z", 1);
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, &overlapped, 10), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(fake::IsSignalled(event));
    EXPECT_EQ(fake::TakeTx(), (std::vector<uint8_t>{'h', 'i'}));

    // Null counts and empty texts.
    EXPECT_EQ(port.Write("abc", 3), 0);
    EXPECT_EQ(port.WriteString(""), 0);
    EXPECT_EQ(fake::TakeTx(), (std::vector<uint8_t>{'a', 'b', 'c'}));
    CloseHandle(event);
}

TEST_F(SerialTest, PendingOnTheCallersOverlappedReturnsAtOnce)
{
    OpenPort();
    port.SetupReadTimeouts(CSerial::ReadBlocking);
    fake::SetPendMode(fake::Pend::Always);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    char buffer[4];
    DWORD count = 0;
    fake::QueueRx("wxyz", 4, 5);
    fake::ClearCalls();
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, &overlapped, 1), 0);
    EXPECT_EQ(fake::Names(), (Names{"ReadFile"}));
    EXPECT_EQ(WaitForSingleObject(event, 100), WAIT_OBJECT_0);
    EXPECT_TRUE(GetOverlappedResult(reinterpret_cast<HANDLE>(0x1000), &overlapped, &count, FALSE));
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(fake::Now(), 5u);
    CloseHandle(event);
}

TEST_F(SerialTest, InternalWaitCompletes)
{
    OpenPort();
    fake::SetPendMode(fake::Pend::Always);
    DWORD count = 0;
    EXPECT_EQ(port.Write("frame", 5, &count), 0);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(fake::Names(), (Names{"WriteFile", "WaitForSingleObject", "GetOverlappedResult"}));
    EXPECT_EQ(fake::Calls()[1].args, (Args{0x2000, INFINITE}));
    EXPECT_EQ(fake::Calls()[2].args, (Args{FALSE}));
    EXPECT_EQ(fake::TakeTx().size(), 5u);

    fake::FailNext("GetOverlappedResult", ERROR_GEN_FAILURE);
    EXPECT_EQ(port.Write("x", 1, &count), 31);
}

// An internal wait that ends without the event cancels the operation and
// waits a bounded time for it to end before returning; the count keeps what
// was moved.
TEST_F(SerialTest, TimedOutInternalWaitIsCancelledAndAwaited)
{
    OpenPort();
    char buffer[10];
    DWORD count = 0;
    const Names cancelPath{"WaitForSingleObject", "CancelIo", "WaitForSingleObject",
                           "GetOverlappedResult"};

    port.SetupReadTimeouts(CSerial::ReadBlocking);
    fake::QueueRx("abc", 3);
    fake::ClearCalls();
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, nullptr, 50), 1460);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    Names expected{"ReadFile"};
    expected.insert(expected.end(), cancelPath.begin(), cancelPath.end());
    EXPECT_EQ(fake::Names(), expected);
    EXPECT_EQ(fake::Calls()[1].args, (Args{0x2000, 50}));
    EXPECT_EQ(fake::Calls()[3].args, (Args{0x2000, CSerial::CancelGraceMs}));
    EXPECT_EQ(fake::Calls()[4].args, (Args{FALSE}));
    EXPECT_EQ(fake::Now(), 50u);

    // Every internally waited operation, and a failed wait as well.
    fake::SetPendMode(fake::Pend::Stall);
    const struct {
        const char *what;
        const char *start;
        std::function<int32_t()> call;
        int32_t result;
        DWORD waitFailure;
    } cases[] = {
        {"write", "WriteFile", [&] { return port.Write("abc", 3, &count, nullptr, 20); }, 1460, 0},
        {"read", "ReadFile", [&] { return port.Read(buffer, sizeof(buffer), &count, nullptr, 20); },
         1460, 0},
        {"wait", "WaitCommEvent", [&] { return port.WaitEvent(nullptr, 20); }, 1460, 0},
        {"failed wait", "ReadFile",
         [&] { return port.Read(buffer, sizeof(buffer), &count, nullptr, 20); }, 6,
         ERROR_INVALID_HANDLE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake::ClearCalls();
        if (c.waitFailure != 0) {
            fake::FailNext("WaitForSingleObject", c.waitFailure);
        }
        EXPECT_EQ(c.call(), c.result);
        Names names{c.start};
        names.insert(names.end(), cancelPath.begin(), cancelPath.end());
        EXPECT_EQ(fake::Names(), names);
        EXPECT_FALSE(fake::Stalled());
    }

    // The object stays usable.
    fake::SetPendMode(fake::Pend::Never);
    port.SetupReadTimeouts(CSerial::ReadNonBlocking);
    fake::QueueRx("ok", 2);
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, nullptr, 20), 0);
    EXPECT_EQ(count, 2u);
}

// A driver that never completes a cancel keeps the operation and the memory
// it was given. After the grace period the operation fails with
// ERROR_IO_INCOMPLETE and the port is closed; the memory stays the port's, so
// a late completion writes neither into the caller's buffer nor into freed
// memory (the sanitizer builds see the latter).
TEST_F(SerialTest, DriverThatKeepsACancelledOperation)
{
    char buffer[8];
    DWORD count = 0;
    const struct {
        const char *what;
        std::function<int32_t()> call;
    } cases[] = {
        {"write", [&] { return port.Write("abc", 3, &count, nullptr, 20); }},
        {"read", [&] { return port.Read(buffer, sizeof(buffer), &count, nullptr, 20); }},
        {"wait", [&] { return port.WaitEvent(nullptr, 20); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        OpenPort();
        fake::SetPendMode(fake::Pend::Stall);
        fake::SetKeepsCancelled(true);
        std::memset(buffer, 0, sizeof(buffer));
        const uint64_t start = fake::Now();
        EXPECT_EQ(c.call(), 996);
        EXPECT_EQ(fake::Now() - start, 20u + CSerial::CancelGraceMs);
        EXPECT_FALSE(fake::Stalled());
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(fake::OpenHandles(), 0);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count), 6);
        EXPECT_EQ(port.Close(), 0);
        EXPECT_EQ(fake::FinishKept(), 1);
        EXPECT_EQ(std::string(buffer, sizeof(buffer)), std::string(sizeof(buffer), '\0'));
        fake::SetPendMode(fake::Pend::Never);
        fake::SetKeepsCancelled(false);
    }

    // Opened again, the port works.
    OpenPort();
    fake::QueueRx("ok", 2);
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, nullptr, 20), 0);
    EXPECT_EQ(count, 2u);

    // A cancelled read that the driver ends within the grace period: the
    // time-out stands, with what the read took, and the port stays open.
    port.SetupReadTimeouts(CSerial::ReadBlocking);
    fake::SetKeepsCancelled(true);
    fake::QueueRx("abcd", 4, 30);
    const uint64_t start = fake::Now();
    EXPECT_EQ(port.Read(buffer, 4, &count, nullptr, 20), 1460);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(fake::Now() - start, 30u);
    EXPECT_TRUE(port.IsOpen());
}

// Transfers longer than the port's own buffer move in pieces, all within
// the one time-out.
TEST_F(SerialTest, LongTransfersMoveInPieces)
{
    OpenPort();
    std::vector<uint8_t> out(2 * CSerial::IoChunk + 100);
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<uint8_t>(i * 7 + i / 251);
    }
    DWORD count = 0;
    EXPECT_EQ(port.Write(out.data(), out.size(), &count, nullptr, 100), 0);
    EXPECT_EQ(count, out.size());
    EXPECT_EQ(fake::TakeTx(), out);

    std::vector<uint8_t> in(out.size() + 50);
    fake::QueueRx(out);
    EXPECT_EQ(port.Read(in.data(), in.size(), &count, nullptr, 100), 0);
    ASSERT_EQ(count, out.size());
    EXPECT_EQ(std::vector<uint8_t>(in.begin(), in.begin() + count), out);

    port.SetupReadTimeouts(CSerial::ReadBlocking);
    fake::QueueRx(out.data(), CSerial::IoChunk + 10, 30);
    const uint64_t start = fake::Now();
    EXPECT_EQ(port.Read(in.data(), 2 * CSerial::IoChunk, &count, nullptr, 100), 1460);
    EXPECT_EQ(count, CSerial::IoChunk + 10);
    EXPECT_EQ(fake::Now() - start, 100u);
}

// Wine lets an immediate-return overlapped read pend until bytes arrive; a
// finite time-out bounds it.
TEST_F(SerialTest, ReadThatPendsOnAnEmptyQueueIsBounded)
{
    OpenPort();
    fake::SetPendMode(fake::Pend::WhenEmpty);
    char buffer[16];
    DWORD count = 0;
    fake::QueueRx("reply", 5, 30);
    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, nullptr, 100), 0);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(fake::Now(), 30u);

    EXPECT_EQ(port.Read(buffer, sizeof(buffer), &count, nullptr, 100), 1460);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(fake::Now(), 130u);
}

TEST_F(SerialTest, WaitEventForReceivedCharacters)
{
    OpenPort();
    fake::QueueRx("x", 1, 20);
    EXPECT_EQ(port.WaitEvent(nullptr, 100), 0);
    EXPECT_EQ(port.ReceivedEvents(), EV_RXCHAR);
    EXPECT_EQ(fake::Names(), (Names{"WaitCommEvent", "WaitForSingleObject"}));
    EXPECT_EQ(fake::Now(), 20u);

    // Already queued: completes at once and signals the event.
    fake::ClearCalls();
    EXPECT_EQ(port.WaitEvent(), 0);
    EXPECT_EQ(fake::Names(), (Names{"WaitCommEvent", "SetEvent"}));

    fake::FailNext("WaitCommEvent", ERROR_INVALID_PARAMETER);
    EXPECT_EQ(port.WaitEvent(nullptr, 100), 87);
}

TEST_F(SerialTest, PurgeFlags)
{
    OpenPort();
    fake::QueueRx("stale", 5);
    EXPECT_EQ(port.PurgeRx(), 0);
    EXPECT_EQ(fake::RxQueued(), 0u);
    EXPECT_EQ(port.Purge(), 0);
    EXPECT_EQ(fake::Names(), (Names{"PurgeComm", "PurgeComm"}));
    EXPECT_EQ(fake::Calls()[0].args, (Args{PURGE_RXCLEAR}));
    EXPECT_EQ(fake::Calls()[1].args, (Args{PURGE_TXCLEAR | PURGE_RXCLEAR}));
    fake::FailNext("PurgeComm", ERROR_GEN_FAILURE, 2);
    EXPECT_EQ(port.Purge(), 31);
    EXPECT_EQ(port.PurgeRx(), 31);
}

} // namespace
