// The handler table through the exported functions: slots, reuse, release,
// 64-bit handles and the diagnostic lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "capture.h"
#include "test_board.h"
#include "zorenc.h"

namespace {

// %p prints a null pointer as "(nil)" with glibc and as zeros with msvcrt.
const char *const kPointer = "(0x[0-9a-fA-F]+|[0-9A-Fa-f]{8,16})";
const char *const kNullPointer = "(\\(nil\\)|0x0|0{8,16})";

class HandlerTable : public ::testing::Test {
protected:
    void SetUp() override { Quiet(); }
    void TearDown() override { Quiet(); }
    static void Quiet()
    {
        StdoutCapture capture;
        ZorEncRelease();
        capture.Text();
    }
    static std::string Close(ZorEncHandle handle)
    {
        StdoutCapture capture;
        ZorEncCloseHandler(handle);
        return capture.Text();
    }
};

TEST_F(HandlerTable, HandsOutSlotsInOrderWithClosedPorts)
{
    EXPECT_EQ(ZorEncCreateHandler(), 1);
    EXPECT_EQ(ZorEncCreateHandler(), 2);
    EXPECT_TRUE(ZorEncIsValidHandle(1));
    EXPECT_FALSE(ZorEncIsOpen(1));
    EXPECT_FALSE(ZorEncIsOpen(2));
}

TEST_F(HandlerTable, ReusesTheLowestFreeSlotBeforeGrowing)
{
    ASSERT_EQ(ZorEncCreateHandler(), 1);
    ASSERT_EQ(ZorEncCreateHandler(), 2);
    ASSERT_EQ(ZorEncCreateHandler(), 3);
    Close(2);
    EXPECT_FALSE(ZorEncIsValidHandle(2));
    EXPECT_EQ(ZorEncCreateHandler(), 2);
    EXPECT_EQ(ZorEncCreateHandler(), 4);
    Close(1);
    Close(3);
    EXPECT_EQ(ZorEncCreateHandler(), 1);
    EXPECT_EQ(ZorEncCreateHandler(), 3);
}

TEST_F(HandlerTable, InvalidHandles)
{
    ASSERT_EQ(ZorEncCreateHandler(), 1);
    ASSERT_EQ(ZorEncCreateHandler(), 2);
    Close(2);
    const ZorEncHandle invalid[] = {0, -1, 2, 3, 1000, static_cast<ZorEncHandle>(INT32_MIN)};
    for (ZorEncHandle h : invalid) {
        EXPECT_FALSE(ZorEncIsValidHandle(h)) << "handle " << static_cast<long long>(h);
        EXPECT_FALSE(ZorEncIsOpen(h)) << "handle " << static_cast<long long>(h);
    }
}

TEST_F(HandlerTable, OnlyTheLow32BitsOfAHandleCount)
{
    if (sizeof(ZorEncHandle) < 8) {
        GTEST_SKIP() << "handles are 32 bits wide in this build";
    }
    ASSERT_EQ(ZorEncCreateHandler(), 1);
    ASSERT_EQ(ZorEncCreateHandler(), 2);
    const unsigned long long high = 0xABCD123400000000ull;
    EXPECT_TRUE(ZorEncIsValidHandle(static_cast<ZorEncHandle>(high | 1)));
    EXPECT_TRUE(ZorEncIsValidHandle(static_cast<ZorEncHandle>(high | 2)));
    EXPECT_FALSE(ZorEncIsValidHandle(static_cast<ZorEncHandle>(high | 3)));
    // Low 32 bits of all ones read as -1: no slot.
    EXPECT_FALSE(ZorEncIsValidHandle(static_cast<ZorEncHandle>(0x00000000FFFFFFFFull)));
    Close(static_cast<ZorEncHandle>(high | 1));
    EXPECT_FALSE(ZorEncIsValidHandle(1));
}

TEST_F(HandlerTable, CloseHandlerPrintsItsLines)
{
    ASSERT_EQ(ZorEncCreateHandler(), 1);
    const std::string first = Close(1);
    EXPECT_TRUE(std::regex_match(
        first, std::regex(std::string("close_handle\\(\\) - Index=0, Pointer=") + kPointer +
                          "\nclose_handle\\(\\) - delete Serial\n"
                          "close_handle\\(\\) - delete Serial\n")))
        << first;
    // The slot is free now: only the index line, with a null pointer.
    const std::string second = Close(1);
    EXPECT_TRUE(std::regex_match(
        second,
        std::regex(std::string("close_handle\\(\\) - Index=0, Pointer=") + kNullPointer + "\n")))
        << second;
    EXPECT_EQ(Close(0), "close_handle()\n");
    EXPECT_EQ(Close(-5), "close_handle()\n");
    EXPECT_EQ(Close(2), "close_handle()\n");
}

TEST_F(HandlerTable, ReleaseDeletesEverySlotAndStartsOver)
{
    ASSERT_EQ(ZorEncCreateHandler(), 1);
    ASSERT_EQ(ZorEncCreateHandler(), 2);
    ASSERT_EQ(ZorEncCreateHandler(), 3);
    Close(2);
    std::string text;
    {
        StdoutCapture capture;
        ZorEncRelease();
        text = capture.Text();
    }
    EXPECT_EQ(text, "release() - delete Serial[0]\nrelease() - delete Serial[2]\n");
    EXPECT_FALSE(ZorEncIsValidHandle(1));
    EXPECT_FALSE(ZorEncIsValidHandle(3));
    {
        StdoutCapture capture;
        ZorEncRelease();
        EXPECT_EQ(capture.Text(), "");
    }
    EXPECT_EQ(ZorEncCreateHandler(), 1);
}

// Sets ZORENC_QUIET (null: removes it) where a program would: the process's
// environment block on Windows, as .NET and Python do, the C library's
// environment elsewhere.
void SetQuiet(const char *value)
{
#ifdef _WIN32
    SetEnvironmentVariableA("ZORENC_QUIET", value);
#else
    if (value != nullptr) {
        setenv("ZORENC_QUIET", value, 1);
    } else {
        unsetenv("ZORENC_QUIET");
    }
#endif
}

// ZORENC_QUIET set to anything but empty or "0" silences every fixed line;
// unset, empty or "0", they all come as before. Each call that prints reads
// it, so it may change between calls.
TEST(DiagnosticLines, ZorencQuietSilencesEveryFixedLine)
{
    const struct {
        const char *value;
        bool quiet;
    } cases[] = {{nullptr, false}, {"", false}, {"0", false}, {"1", true}, {"no", true}};
    const std::regex every(std::string("connected!!!!!\n"
                                       "connecting failed\\.\n"
                                       "close_handle\\(\\) - Index=0, Pointer=") +
                           kPointer +
                           "\n"
                           "close_handle\\(\\) - delete Serial\n"
                           "close_handle\\(\\) - delete Serial\n"
                           "close_handle\\(\\)\n"
                           "release\\(\\) - delete Serial\\[0\\]\n");
    for (const auto &c : cases) {
        const std::string value = c.value != nullptr ? std::string("\"") + c.value + "\"" : "unset";
        SetQuiet(c.value);
        StdoutCapture capture;
        ZorEncRelease();
        const ZorEncHandle handle = ZorEncCreateHandler();
        EXPECT_TRUE(ZorEncOpen(handle, testboard::PortName().c_str())) << value;
        EXPECT_FALSE(ZorEncOpen(0, "COM1")) << value;
        ZorEncCloseHandler(handle);
        ZorEncCloseHandler(0);
        ZorEncCreateHandler();
        ZorEncRelease();
        const std::string text = capture.Text();
        if (c.quiet) {
            EXPECT_EQ(text, "") << value;
        } else {
            EXPECT_TRUE(std::regex_match(text, every)) << value << ": " << text;
        }
    }
    SetQuiet(nullptr);
}

} // namespace

// Network port names that cannot name a server: refused at once with the line
// of any failed open, and the same handler then opens the board's port.
TEST_F(HandlerTable, RefusesMalformedNetworkNamesAtOnce)
{
    const ZorEncHandle handle = ZorEncCreateHandler();
    for (const char *name :
         {"rfc2217://", "rfc2217://127.0.0.1", "rfc2217://:5000",
          "rfc2217://127.0.0.1:", "rfc2217://127.0.0.1:0", "socket://127.0.0.1:65536",
          "socket://127.0.0.1:12ab", "telnet://127.0.0.1:5000", "rfc2217://[::1:5000",
          "rfc2217://[::1]5000", "socket://a b:5000", "socket://127.0.0.1:5000/x"}) {
        StdoutCapture capture;
        const double start = testboard::NowMs();
        EXPECT_FALSE(ZorEncOpen(handle, name)) << name;
        EXPECT_LT(testboard::NowMs() - start, 200.0) << name;
        EXPECT_EQ(capture.Text(), "connecting failed.\n") << name;
        EXPECT_FALSE(ZorEncIsOpen(handle)) << name;
        EXPECT_EQ(ZorEncSendRead(handle, 0x0400, 0, nullptr), ZORENC_ERR_NOT_OPEN) << name;
    }
    StdoutCapture capture;
    EXPECT_TRUE(ZorEncOpen(handle, testboard::PortName().c_str()));
    EXPECT_EQ(capture.Text(), "connected!!!!!\n");
    uint32_t raw = 0;
    EXPECT_EQ(ZorEncSendRead(handle, 0x0400, 0, &raw), ZORENC_OK);
}
