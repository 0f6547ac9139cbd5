// The toolkit's capture: frames reach the file of their own handle, requests
// without a reply carry the reason, and misuse is refused without leaking a
// slot.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "capture.h"
#include "failure.h"
#include "pcapng.h"
#include "protocol/codec.h"
#include "sim/board.h"
#include "sim/replay.h"
#include "zorenc.h"

namespace companion = zorenc::companion;

namespace {

using companion::pcapng::Direction;

std::string FilePath(const std::string &name)
{
    return std::string(ZORENC_TEST_DIR) + "/" + name + ".pcapng";
}

struct OpenBoard {
    zorsim::Board board;
    ZorEncHandle handle = 0;
    OpenBoard()
    {
        EXPECT_TRUE(board.Start());
        handle = ZorEncCreateHandler();
        EXPECT_TRUE(ZorEncOpen(handle, board.SlavePath().c_str()));
    }
    ~OpenBoard()
    {
        ZorEncClose(handle);
        ZorEncCloseHandler(handle);
    }
    void Start(const std::string &path, const std::string &port)
    {
        companion::StartCapture(handle, companion::CaptureOptions{path, port, nullptr, nullptr});
    }
};

TEST(Capture, EachHandleWritesItsOwnFile)
{
    OpenBoard a, b;
    a.Start(FilePath("a"), "portA");
    b.Start(FilePath("b"), "portB");
    uint32_t out = 0;
    EXPECT_EQ(ZorEncSendRead(a.handle, 0xF000, 0, &out), ZORENC_OK);
    EXPECT_EQ(ZorEncSendWrite(b.handle, 0xF00A, 7, &out), ZORENC_OK);
    EXPECT_EQ(ZorEncSendRead(b.handle, 0xF001, 0, &out), ZORENC_OK);
    EXPECT_EQ(companion::StopCapture(a.handle).replies, 1u);
    const companion::CaptureSummary sb = companion::StopCapture(b.handle);
    EXPECT_EQ(sb.requests, 2u);
    EXPECT_EQ(sb.replies, 2u);

    const auto pa = companion::pcapng::ReadFile(FilePath("a"));
    const auto pb = companion::pcapng::ReadFile(FilePath("b"));
    ASSERT_EQ(pa.size(), 2u);
    ASSERT_EQ(pb.size(), 4u);
    EXPECT_EQ(pa[0].direction, Direction::kOutbound);
    EXPECT_EQ(pa[1].direction, Direction::kInbound);
    EXPECT_EQ(pa[1].payload[1], 'R');
    EXPECT_EQ(pb[0].payload[1], 'W');
    EXPECT_EQ(pb[2].payload[2], 0x01); // 0xF001, low byte first
    EXPECT_LE(pa[0].micros, pa[1].micros);
    std::remove(FilePath("a").c_str());
    std::remove(FilePath("b").c_str());
}

// The reason a request got no reply: as noted by the caller, or as its wait
// shows when nobody noted it.
TEST(Capture, RequestsWithoutReplyCarryTheReason)
{
    for (const bool noted : {true, false}) {
        OpenBoard a;
        a.Start(FilePath("t"), "p");
        a.board.InjectFault(zorsim::Fault::kSilence);
        uint32_t out = 0;
        const ZorEncResult result = ZorEncSendRead(a.handle, 0xF000, 0, &out);
        EXPECT_EQ(result, ZORENC_ERR_TIMEOUT);
        if (noted) {
            companion::NoteCaptureResult(a.handle, result);
        }
        EXPECT_EQ(ZorEncSendRead(a.handle, 0xF001, 0, &out), ZORENC_OK);
        EXPECT_EQ(companion::StopCapture(a.handle).annotated, 1u);
        const auto packets = companion::pcapng::ReadFile(FilePath("t"));
        ASSERT_EQ(packets.size(), 3u);
        EXPECT_NE(packets[0].comment.find(noted ? "ZORENC_ERR_TIMEOUT" : "a time-out"),
                  std::string::npos)
            << packets[0].comment;
        EXPECT_TRUE(packets[1].comment.empty());
        EXPECT_EQ(packets[2].direction, Direction::kInbound);
    }
    std::remove(FilePath("t").c_str());
}

TEST(Capture, MisuseIsRefusedAndLeavesNoSlotTaken)
{
    OpenBoard a;
    auto kindOf = [](auto &&call) {
        try {
            call();
        } catch (const companion::Failure &error) {
            return error.Kind();
        }
        return std::string("none");
    };
    EXPECT_EQ(kindOf([&] { companion::StopCapture(a.handle); }), "not-found");
    EXPECT_EQ(kindOf([&] { a.Start("/nonexistent-dir/x.pcapng", "p"); }), "usage");
    EXPECT_EQ(kindOf([&] { a.Start("", "p"); }), "usage");
    EXPECT_EQ(kindOf([&] {
                  companion::StartCapture(ZorEncHandle{999}, {FilePath("bad"), "p", {}, {}});
              }),
              "usage");
    EXPECT_NE(std::remove(FilePath("bad").c_str()), 0);     // removed already
    for (int i = 0; i < companion::kMaxCaptures + 2; ++i) { // every slot comes back
        a.Start(FilePath("s"), "p");
        EXPECT_EQ(kindOf([&] { a.Start(FilePath("s"), "p"); }), "usage");
        companion::StopCapture(a.handle);
    }
    std::remove(FilePath("s").c_str());
}

TEST(Pcapng, DamagedFilesAreRefused)
{
    const std::string path = FilePath("d");
    {
        companion::pcapng::Writer writer(path, "p", "test");
        const uint8_t frame[] = {2, 'R', 0, 0xF0, 0, 0, 0, 0, 0, 0x42, 3};
        writer.Packet(1, frame, sizeof frame, Direction::kOutbound, "note");
    }
    EXPECT_EQ(companion::pcapng::ReadFile(path).at(0).comment, "note");
    FILE *file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    ASSERT_EQ(truncate(path.c_str(), size - 6), 0);
    EXPECT_THROW(companion::pcapng::ReadFile(path), companion::pcapng::FileError);
    std::remove(path.c_str());
    EXPECT_THROW(companion::pcapng::ReadFile(path), companion::pcapng::FileError);
}

// Each recorded request answers in order; the last answer repeats; a frame
// error answers a malformed frame, a time-out nothing, the unknown 0x08.
TEST(Replay, AnswersAsRecorded)
{
    namespace proto = zorenc::protocol;
    auto frame = [](uint8_t command, uint16_t address, uint32_t value, uint8_t status) {
        uint8_t bytes[proto::kMaxFrame];
        return std::vector<uint8_t>(
            bytes, bytes + proto::EncodeFrame(command, address, value, status, bytes));
    };
    const std::string path = FilePath("r");
    {
        companion::pcapng::Writer w(path, "p", "test");
        auto put = [&](const std::vector<uint8_t> &f, Direction d, const std::string &note = {}) {
            w.Packet(1, f.data(), f.size(), d, note);
        };
        put(frame('R', 0xF000, 0, 0), Direction::kOutbound);
        put(frame('R', 0xF000, 7, 0), Direction::kInbound);
        put(frame('R', 0xF000, 0, 0), Direction::kOutbound);
        put(frame('R', 0xF000, 8, 0), Direction::kInbound);
        put(frame('R', 0xF001, 0, 0), Direction::kOutbound,
            companion::CaptureComment(ZORENC_ERR_FRAME));
        put(frame('W', 0xF00A, 5, 0), Direction::kOutbound,
            companion::CaptureComment(ZORENC_ERR_TIMEOUT));
    }
    zorsim::Replay replay({path});
    std::remove(path.c_str());
    EXPECT_EQ(replay.Requests(), 4u);
    const struct {
        uint8_t command;
        uint16_t address;
        uint32_t value;
        bool answered;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {'R', 0xF000, 0, true, frame('R', 0xF000, 7, 0)},
        {'R', 0xF000, 0, true, frame('R', 0xF000, 8, 0)},
        {'R', 0xF000, 0, true, frame('R', 0xF000, 8, 0)},
        {'R', 0xF001, 0, true, {proto::kStx, proto::kEtx}},
        {'W', 0xF00A, 5, false, {}},
        {'W', 0xF00A, 6, true, frame('W', 0xF00A, 0, zorsim::kStatusNotRecorded)},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> bytes;
        EXPECT_EQ(replay.Answer(c.command, c.address, c.value, bytes), c.answered) << c.address;
        EXPECT_EQ(bytes, c.bytes) << c.address;
    }
}

} // namespace
