// The port that run.sh hands to a test program, against an echoing board
// (pty_echo.py): under Wine COM7 and \\.\COM12 both lead to it, natively its
// pty path; the library opens it under each name (under Wine also as COM12),
// and, on Windows, bytes written through the Win32 API come back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "zorenc.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::vector<std::string> PortNames()
{
    std::vector<std::string> names;
    for (const char *variable : {"ZORENC_TEST_PORT", "ZORENC_TEST_PORT_LONG"}) {
        if (const char *value = std::getenv(variable)) {
            names.emplace_back(value);
        }
    }
    return names;
}

class Port : public ::testing::Test {
protected:
    void SetUp() override
    {
        names_ = PortNames();
        ASSERT_EQ(names_.size(), 2u) << "run the program through tests/wine/run.sh with a port";
    }
    void TearDown() override { ZorEncRelease(); }
    std::vector<std::string> names_;
};

TEST_F(Port, NamesAreTheOnesTheHarnessPromises)
{
#ifdef _WIN32
    EXPECT_EQ(names_[0], "COM7");
    EXPECT_EQ(names_[1], "\\\\.\\COM12");
#else
    EXPECT_EQ(names_[0].rfind("/dev/", 0), 0u) << names_[0];
    EXPECT_EQ(names_[0], names_[1]);
#endif
}

TEST_F(Port, LibraryOpensAndClosesItUnderEachName)
{
    const ZorEncHandle handle = ZorEncCreateHandler();
    ASSERT_EQ(handle, 1);
    std::vector<std::string> names = names_;
#ifdef _WIN32
    names.emplace_back("COM12"); // the library adds the prefix to this spelling
#endif
    for (const std::string &name : names) {
        EXPECT_TRUE(ZorEncOpen(handle, name.c_str())) << name;
        EXPECT_TRUE(ZorEncIsOpen(handle)) << name;
        EXPECT_EQ(ZorEncClose(handle), 0) << name;
        EXPECT_FALSE(ZorEncIsOpen(handle)) << name;
    }
}

TEST_F(Port, LibraryRefusesAPortThatLeadsNowhere)
{
#ifdef _WIN32
    const char *const nowhere = "COM9";
#else
    const char *const nowhere = "/dev/zorenc-no-such-port";
#endif
    const ZorEncHandle handle = ZorEncCreateHandler();
    ASSERT_EQ(handle, 1);
    EXPECT_FALSE(ZorEncOpen(handle, nowhere));
    EXPECT_FALSE(ZorEncIsOpen(handle));
}

#ifdef _WIN32
// Writes a few bytes and reads them back, with every wait bounded.
std::string EchoThrough(const std::string &name, const std::string &bytes)
{
    const HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return "<CreateFileA failed: " + std::to_string(GetLastError()) + ">";
    }
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = 100;
    timeouts.ReadTotalTimeoutConstant = 200;
    timeouts.WriteTotalTimeoutConstant = 2000;
    SetCommTimeouts(port, &timeouts);
    DWORD written = 0;
    WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    std::string echoed;
    const DWORD started = GetTickCount();
    while (echoed.size() < bytes.size() && GetTickCount() - started < 3000) {
        char buffer[64];
        DWORD got = 0;
        if (!ReadFile(port, buffer, sizeof buffer, &got, nullptr)) {
            break;
        }
        echoed.append(buffer, got);
    }
    CloseHandle(port);
    return echoed;
}

TEST_F(Port, BytesComeBackUnderEachName)
{
    for (const std::string &name : names_) {
        const std::string frame("\x02R\x0E\x05\0\0\0\0\0e\x03", 11);
        EXPECT_EQ(EchoThrough(name, frame), frame) << name;
    }
}
#endif

} // namespace
