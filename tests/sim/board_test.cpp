// The simulated board through its pty, as a host sees it.
#include <cerrno>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

#include "line.h"
#include "sim/board.h"

namespace zorsim {
namespace {

using namespace zorsim_test;
namespace zp = zorenc::protocol;

double MsSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

class BoardTest : public ::testing::Test {
protected:
    void Make(Options options = {})
    {
        board = std::make_unique<Board>(options);
        ASSERT_TRUE(board->Start());
        line = std::make_unique<Line>(board->SlavePath());
        ASSERT_TRUE(line->ok());
    }
    std::unique_ptr<Board> board;
    std::unique_ptr<Line> line;
};

TEST_F(BoardTest, AnswersReadsWritesAndErrorsWithEchoes)
{
    Make();
    const struct {
        uint8_t command;
        uint16_t address;
        uint32_t value;
        uint8_t status;
        uint32_t reply;
    } cases[] = {
        {'R', reg::kFirmwareVersion, 0, kStatusOk, kFirmwareVersionValue},
        {'R', reg::kLogicVersion, 0, kStatusOk, kLogicVersionValue},
        {'W', 0x0209, 250, kStatusOk, 250},
        {'R', 0x0209, 0, kStatusOk, 250},
        {'R', 0x050E, 0, kStatusOk, kOffsetBinaryZero},
        {'W', reg::kFirmwareVersion, 1, kStatusReadOnly, 0},
        {'W', 0x050C, 5, kStatusReadOnly, 0},
        {'R', reg::kLoadDefaults, 0, kStatusWriteOnly, 0},
        {'R', 0x0105, 0, kStatusWriteOnly, 0},
        {'R', 0x0106, 0, kStatusUnknownAddress, 0},
        {'R', 0x0404, 0, kStatusUnknownAddress, 0},
        {'W', 0x0514, 1, kStatusUnknownAddress, 0},
        {'W', 0x0205, 2, kStatusBadValue, 0},
        {'W', reg::kSaveFlash, 0, kStatusBadValue, 0},
        {'A', reg::kFirmwareVersion, 0, kStatusUnknownCommand, 0},
        {kCmdPoke, reg::kFirmwareVersion, 0, kStatusUnknownCommand, 0}, // test commands off
    };
    std::vector<Bytes> sent;
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.command << " " << std::hex << c.address);
        const zp::EncReply r = line->Transact(c.command, c.address, c.value);
        EXPECT_EQ(r.command, c.command);
        EXPECT_EQ(r.address, c.address);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.value, c.reply);
        sent.push_back(Frame(c.command, c.address, c.value));
    }
    EXPECT_EQ(board->Requests(), sent);

    Bytes bad = Frame('W', 0x0209, 7);
    bad[bad.size() - 2] ^= 0x01;
    line->Send(bad);
    const Bytes reply = line->Receive(1000);
    EXPECT_EQ(zp::DecodeReply(reply.data(), static_cast<int32_t>(reply.size())).status,
              kStatusBadChecksum);
    EXPECT_EQ(board->Get(0x0209), 250u);
}

TEST_F(BoardTest, EncoderMovesAtItsFrequencyOnTheLine)
{
    Make();
    const uint32_t frequency = 10000;
    EXPECT_EQ(
        line->Transact('W', reg::Channel(1, reg::kTrgPosition0), 500 + kOffsetBinaryZero).status,
        kStatusOk);
    EXPECT_EQ(
        line->Transact('W', reg::Channel(1, reg::kTrgPosition1), 1000 + kOffsetBinaryZero).status,
        kStatusOk);
    const Clock::time_point t0 = Clock::now();
    line->Transact('W', reg::kVencFrequency + 1, frequency);
    const Clock::time_point t1 = Clock::now();
    usleep(200000);
    const Clock::time_point t2 = Clock::now();
    const uint32_t raw = line->Transact('R', reg::kEncPosition + 1, 0).value;
    const double atLeast = frequency * std::chrono::duration<double>(t2 - t1).count();
    const double atMost = frequency * std::chrono::duration<double>(Clock::now() - t0).count();
    const auto position = static_cast<int32_t>(raw - kOffsetBinaryZero);
    EXPECT_GE(position, atLeast - 1);
    EXPECT_LE(position, atMost + 1);
    EXPECT_EQ(line->Transact('R', reg::kTrgCount + 1, 0).value, 2u);
}

TEST_F(BoardTest, RecordsRawFramesAndSendsRawBytes)
{
    Make();
    const Bytes a = Frame('W', 0x0203, 0x7D);
    const Bytes broken = {0x02, 0x52, 0x00, 0x03};
    const Bytes b = Frame('R', 0xF000, 0);
    Bytes stream = {0x11, 0x7D};
    for (const Bytes *part : {&a, &broken, &b}) {
        stream.insert(stream.end(), part->begin(), part->end());
    }
    line->Send(stream);
    ASSERT_TRUE(board->WaitForRequests(3, 1000));
    EXPECT_EQ(board->Requests(), (std::vector<Bytes>{a, broken, b}));
    EXPECT_EQ(line->Receive(1000, 25).size(), 2 * 11u + 3u); // two replies, one escape
    board->ClearRequests();
    EXPECT_TRUE(board->Requests().empty());

    const Bytes raw = {0x01, 0x02, 0x7D, 0x03};
    ASSERT_TRUE(board->SendRaw(raw));
    EXPECT_EQ(line->Receive(1000, raw.size()), raw);
}

TEST_F(BoardTest, FaultsShapeTheNextReply)
{
    Make();
    const Bytes good = Frame('R', reg::kFirmwareVersion, 0);
    uint8_t buffer[zp::kMaxFrame];
    const Bytes reply(buffer, buffer + zp::EncodeFrame('R', reg::kFirmwareVersion,
                                                       kFirmwareVersionValue, 0, buffer));
    auto cut = [&reply](size_t n) { return Bytes(reply.begin(), reply.end() - n); };
    Bytes garbage = {0x00, 0xFF, 0x55, 0xAA, 0x7E};
    garbage.insert(garbage.end(), reply.begin(), reply.end());
    Bytes twice = reply;
    twice.insert(twice.end(), reply.begin(), reply.end());
    Bytes badSum = reply;
    ++badSum[9];
    Bytes status9 = cut(3);
    status9.insert(status9.end(), {0x09, static_cast<uint8_t>(reply[9] + 9), 0x03});

    const struct {
        Fault kind;
        uint32_t param;
        Bytes expected;
    } cases[] = {
        {Fault::kSilence, 0, {}},        {Fault::kBadChecksum, 0, badSum},
        {Fault::kStatus, 9, status9},    {Fault::kGarbage, 5, garbage},
        {Fault::kDoubleReply, 0, twice}, {Fault::kTruncate, 0, cut(1)},
        {Fault::kTruncate, 4, cut(4)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        board->InjectFault(c.kind, c.param);
        line->Send(good);
        EXPECT_EQ(line->Collect(300), c.expected);
        EXPECT_EQ(line->Transact('R', reg::kFirmwareVersion, 0).status, kStatusOk);
    }
    EXPECT_EQ(board->Requests().size(), 2 * std::size(cases));

    board->InjectFault(Fault::kStatus, 9, 2);
    for (uint8_t expected : {9, 9, 0}) {
        EXPECT_EQ(line->Transact('R', reg::kFirmwareVersion, 0).status, expected);
    }
}

TEST_F(BoardTest, DelayedReplyHoldsTheBoardAndLateReplyDoesNot)
{
    Make();
    auto address = [](const Bytes &b) {
        return zp::DecodeReply(b.data(), static_cast<int32_t>(b.size())).address;
    };
    board->InjectFault(Fault::kDelay, 300);
    Clock::time_point t = Clock::now();
    line->Send(Frame('R', reg::kFirmwareVersion, 0));
    line->Send(Frame('R', reg::kLogicVersion, 0));
    const Bytes got = line->Receive(2000, 22);
    EXPECT_GE(MsSince(t), 299.0);
    ASSERT_EQ(got.size(), 22u);
    EXPECT_EQ(address(Bytes(got.begin(), got.begin() + 11)), reg::kFirmwareVersion);
    EXPECT_EQ(address(Bytes(got.begin() + 11, got.end())), reg::kLogicVersion);

    board->InjectFault(Fault::kLate, 700);
    t = Clock::now();
    line->Send(Frame('R', reg::kFirmwareVersion, 0));
    EXPECT_TRUE(line->Receive(150).empty());
    EXPECT_EQ(line->Transact('R', reg::kLogicVersion, 0).address, reg::kLogicVersion);
    EXPECT_LT(MsSince(t), 690.0);
    EXPECT_EQ(address(line->Receive(2000)), reg::kFirmwareVersion);
    EXPECT_GE(MsSince(t), 699.0);
}

TEST_F(BoardTest, PacedRepliesTakeTheirWireTime)
{
    const struct {
        bool pacedReceive;
        double atLeastMs;
    } cases[] = {{false, 0.95}, {true, 1.9}};
    for (const auto &c : cases) {
        Options options;
        options.paced = true;
        options.pacedReceive = c.pacedReceive;
        Make(options);
        for (int i = 0; i < 5; ++i) {
            const Clock::time_point t = Clock::now();
            EXPECT_EQ(line->Transact('R', reg::kFirmwareVersion, 0).value, kFirmwareVersionValue);
            const double ms = MsSince(t);
            EXPECT_GE(ms, c.atLeastMs);
            EXPECT_LT(ms, 500.0);
        }
    }
}

TEST_F(BoardTest, SilentBoardRecordsButNeverAnswers)
{
    Options options;
    options.silent = true;
    Make(options);
    line->Send(Frame('R', reg::kFirmwareVersion, 0));
    EXPECT_TRUE(line->Receive(300).empty());
    EXPECT_EQ(board->Requests().size(), 1u);
}

TEST_F(BoardTest, UnplugRemovesThePortAndRestartPowerCycles)
{
    Make();
    EXPECT_EQ(line->Transact('W', reg::kEncResolution, 2500).status, kStatusOk);
    EXPECT_EQ(line->Transact('W', reg::kSaveFlash, 1).status, kStatusOk);
    EXPECT_EQ(line->Transact('W', 0x0209, 555).status, kStatusOk);
    board->SetInputs(0x01);
    const std::string path = board->SlavePath();

    board->Unplug();
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    EXPECT_TRUE(board->SlavePath().empty());
    EXPECT_FALSE(board->SendRaw({0x00}));
    EXPECT_EQ(board->Get(0x0209), 555u); // unplugging keeps the state

    ASSERT_TRUE(board->Restart());
    line = std::make_unique<Line>(board->SlavePath());
    ASSERT_TRUE(line->ok());
    EXPECT_EQ(line->Transact('R', reg::kEncResolution, 0).value, 2500u); // from flash
    EXPECT_EQ(line->Transact('R', 0x0209, 0).value, 100u);               // default
    EXPECT_EQ(line->Transact('R', reg::kDiCount, 0).value, 0u);
    EXPECT_EQ(board->Requests().size(), 3u);
}

TEST_F(BoardTest, TestCommandsDriveTheBoardOverTheLine)
{
    Options options;
    options.testCommands = true;
    Make(options);
    const Line &l = *line;
    EXPECT_EQ(l.Transact(kCmdPoke, reg::kFirmwareVersion, 0x12340096).status, kStatusOk);
    EXPECT_EQ(l.Transact('R', reg::kFirmwareVersion, 0).value, 0x12340096u);
    EXPECT_EQ(l.Transact(kCmdPeek, 0x050C, 0).value, kOffsetBinaryZero);
    EXPECT_EQ(l.Transact(kCmdPeek, 0x0106, 0).status, kStatusUnknownAddress);
    EXPECT_EQ(l.Transact(kCmdInputs, 0, 0x55).value, 0x55u);
    EXPECT_EQ(l.Transact('R', reg::kDiCount + 2, 0).value, 1u);

    EXPECT_EQ(l.Transact(kCmdFault, static_cast<uint16_t>(Fault::kStatus) | 2 << 8, 9).status,
              kStatusOk);
    EXPECT_EQ(l.Transact(kCmdCount, 0, 0).value, 2u); // test commands neither count nor use faults
    EXPECT_EQ(l.Transact('W', 0x0209, 7).status, 9);
    EXPECT_EQ(l.Transact('R', 0x0209, 0).status, 9);
    EXPECT_EQ(l.Transact('R', 0x0209, 0).status, kStatusOk);
    EXPECT_EQ(l.Transact(kCmdFault, 99, 0).status, kStatusBadValue);

    const Bytes last = Frame('R', 0x0209, 0); // 12 bytes: the address holds a 0x02
    const Bytes first = Frame('R', reg::kFirmwareVersion, 0);
    EXPECT_EQ(l.Transact(kCmdCount, 0, 0).value, 5u);
    EXPECT_EQ(l.Transact(kCmdLength, 4, 0).value, first.size());
    EXPECT_EQ(l.Transact(kCmdQuery, 3, 4).value, first[3]);
    EXPECT_EQ(l.Transact(kCmdQuery, 3, 1).value, last[3]);
    EXPECT_EQ(l.Transact(kCmdLength, 0, 0).value, last.size());
    EXPECT_EQ(l.Transact(kCmdQuery, static_cast<uint16_t>(last.size()), 0).status,
              kStatusUnknownAddress);
    EXPECT_EQ(l.Transact(kCmdLength, 5, 0).status, kStatusUnknownAddress);
    EXPECT_EQ(l.Transact(kCmdClearRequests, 0, 0).status, kStatusOk);
    EXPECT_EQ(l.Transact(kCmdCount, 0, 0).value, 0u);

    EXPECT_EQ(l.Transact(kCmdReset, 0, 0).status, kStatusOk);
    EXPECT_EQ(l.Transact('R', reg::kFirmwareVersion, 0).value, kFirmwareVersionValue);
    EXPECT_EQ(l.Transact('R', 0x0209, 0).value, 100u);
}

} // namespace
} // namespace zorsim
