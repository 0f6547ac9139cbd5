#include "frames_api.h"

#include <cmath>
#include <cstdio>

#include "protocol/codec.h"
#include "register_map.h"
#include "results.h"

namespace zorenc::monitor {

namespace proto = zorenc::protocol;

namespace {

std::string Hex(const std::vector<uint8_t> &bytes)
{
    std::string text;
    char cell[4];
    for (uint8_t b : bytes) {
        std::snprintf(cell, sizeof cell, "%s%02X", text.empty() ? "" : " ", b);
        text += cell;
    }
    return text;
}

companion::Json Decoded(const Frame &frame)
{
    companion::Json object = {{"t_ms", std::llround(frame.t * 1000.0)},
                              {"dir", frame.sent ? "tx" : "rx"},
                              {"hex", Hex(frame.bytes)}};
    const proto::ScanResult scan =
        proto::ScanFrame(frame.bytes.data(), static_cast<int32_t>(frame.bytes.size()));
    if (scan.status != proto::ScanStatus::kFrame) {
        object["error"] =
            scan.status == proto::ScanStatus::kMalformed ? "malformed frame" : "no complete frame";
        return object;
    }
    const proto::EncReply &f = scan.frame;
    const companion::RegisterAt at = companion::FindRegister(f.address);
    object["command"] = std::string(1, static_cast<char>(f.command));
    object["address"] = companion::FormatHex(f.address, 4);
    object["register"] = at.info != nullptr ? at.Label() : "";
    object["value"] = f.value;
    if (at.info != nullptr && (frame.sent ? f.command == proto::kCommandWrite : true)) {
        object["decoded"] = companion::DecodeText(at.info->encoding, f.value);
    }
    if (!frame.sent) {
        object["status"] = scan.checksumOk ? f.status : proto::kChecksumStatus;
        object["status_text"] = scan.checksumOk ? companion::ResultText(f.status)
                                                : companion::ResultText(ZORENC_ERR_CHECKSUM);
    }
    return object;
}

} // namespace

companion::Json FramesJson(const std::vector<Frame> &frames)
{
    companion::Json list = companion::Json::array();
    for (const Frame &frame : frames) {
        list.push_back(Decoded(frame));
    }
    return list;
}

} // namespace zorenc::monitor
