#include "register_map.h"

#include <algorithm>

#include "device/registers.h"

namespace zorenc::companion {

namespace {

#define REGISTER(name, placement, encoding, readable)                                              \
    RegisterInfo                                                                                   \
    {                                                                                              \
#name, name, Placement::placement, Encoding::encoding, readable                            \
    }

const std::vector<RegisterInfo> kMap = {
    REGISTER(REG_TRG_CONTROL, kChannelBlock, kControls, true),
    REGISTER(REG_TRG_GENERATOR, kChannelBlock, kGenerator, true),
    REGISTER(REG_TRG_POSITION0, kChannelBlock, kOffsetBinary, true),
    REGISTER(REG_TRG_POSITION1, kChannelBlock, kOffsetBinary, true),
    REGISTER(REG_ENC_MULTI_ANALOG, kChannelBlock, kRaw, true),
    REGISTER(REG_ENC_CALIBRATION, kChannelBlock, kCommand, false),
    REGISTER(REG_ENC_DIRECTION, kChannelBlock, kRaw, true),
    REGISTER(REG_TRG_OUTPUT_MODE, kChannelBlock, kRaw, true),
    REGISTER(REG_TRG_PULSE_WIDTH, kChannelBlock, kHundredths, true),
    REGISTER(REG_TRG_DELAY, kChannelBlock, kHundredths, true),
    REGISTER(REG_ENC_RESET_VALUE, kChannelBlock, kOffsetBinary, true),
    REGISTER(REG_IDX_TRG_LAST_INDEX, kChannelBlock, kRaw, true),
    REGISTER(REG_IDX_TRG_POSITION, kIndexTable, kOffsetBinary, true),
    REGISTER(REG_VENC_FREQUENCY, kPerChannel, kRaw, true),
    REGISTER(REG_DI_STATE, kBoard, kInputs, true),
    REGISTER(REG_DI_COUNT, kPerInput, kRaw, true),
    REGISTER(REG_TRG_COUNT, kPerChannel, kRaw, true),
    REGISTER(REG_ENC_POSITION, kPerChannel, kOffsetBinary, true),
    REGISTER(REG_TRG_ERROR_COUNT, kPerChannel, kRaw, true),
    REGISTER(REG_FIRMWARE_VERSION, kBoard, kFirmware, true),
    REGISTER(REG_LOGIC_VERSION, kBoard, kLogic, true),
    REGISTER(REG_LOAD_DEFAULTS, kBoard, kCommand, false),
    REGISTER(REG_SAVE_FLASH, kBoard, kCommand, false),
    REGISTER(REG_LOAD_FLASH, kBoard, kCommand, false),
    REGISTER(REG_CLEAR, kBoard, kCommand, false),
    REGISTER(REG_ENC_RESOLUTION, kBoard, kThousandths, true),
    REGISTER(REG_POSITIVE_RUN, kBoard, kRaw, true),
    REGISTER(REG_NEGATIVE_RUN, kBoard, kRaw, true),
    REGISTER(REG_TRG_MODE, kBoard, kRaw, true),
};

#undef REGISTER

// Every instance of one register.
std::vector<RegisterAt> Instances(const RegisterInfo &info)
{
    std::vector<RegisterAt> list;
    auto add = [&](uint16_t address, int32_t channel, int32_t index) {
        list.push_back(RegisterAt{&info, address, channel, index});
    };
    switch (info.placement) {
    case Placement::kBoard:
        add(info.base, -1, -1);
        break;
    case Placement::kChannelBlock:
        for (int32_t ch = 0; ch < BOARD_CHANNELS; ++ch) {
            add(ChannelRegister(ch, info.base), ch, -1);
        }
        break;
    case Placement::kPerChannel:
        for (int32_t ch = 0; ch < BOARD_CHANNELS; ++ch) {
            add(GlobalRegister(info.base, ch), ch, -1);
        }
        break;
    case Placement::kPerInput:
        for (int32_t n = 0; n < BOARD_DIGITAL_INPUTS; ++n) {
            add(GlobalRegister(info.base, n), n, -1);
        }
        break;
    case Placement::kIndexTable:
        for (int32_t ch = 0; ch < BOARD_CHANNELS; ++ch) {
            for (int32_t i = 0; i < BOARD_INDEX_TRIGGERS; ++i) {
                add(IndexTriggerRegister(ch, i), ch, i);
            }
        }
        break;
    }
    return list;
}

const std::vector<RegisterAt> &AllInstances()
{
    static const std::vector<RegisterAt> all = [] {
        std::vector<RegisterAt> list;
        for (const RegisterInfo &info : kMap) {
            const std::vector<RegisterAt> some = Instances(info);
            list.insert(list.end(), some.begin(), some.end());
        }
        std::sort(list.begin(), list.end(),
                  [](const RegisterAt &a, const RegisterAt &b) { return a.address < b.address; });
        return list;
    }();
    return all;
}

} // namespace

const std::vector<RegisterInfo> &RegisterMap()
{
    return kMap;
}

std::string RegisterAt::Label() const
{
    if (info == nullptr) {
        return "?";
    }
    std::string label = info->name;
    if (channel >= 0) {
        label += "[" + std::to_string(channel) + "]";
    }
    if (index >= 0) {
        label += "[" + std::to_string(index) + "]";
    }
    return label;
}

RegisterAt FindRegister(uint16_t address)
{
    const std::vector<RegisterAt> &all = AllInstances();
    auto it = std::lower_bound(all.begin(), all.end(), address,
                               [](const RegisterAt &r, uint16_t a) { return r.address < a; });
    if (it != all.end() && it->address == address) {
        return *it;
    }
    RegisterAt none;
    none.address = address;
    return none;
}

RegisterAt FindRegisterByName(const std::string &name)
{
    for (const RegisterInfo &info : kMap) {
        if (info.placement == Placement::kBoard && name == info.name) {
            return RegisterAt{&info, info.base, -1, -1};
        }
    }
    return RegisterAt{};
}

std::vector<RegisterAt> ReadableRegisters(bool withIndexTable)
{
    std::vector<RegisterAt> list;
    for (const RegisterAt &r : AllInstances()) {
        if (r.info->readable && (withIndexTable || r.info->placement != Placement::kIndexTable)) {
            list.push_back(r);
        }
    }
    return list;
}

namespace {
int32_t Signed(uint32_t raw)
{
    return static_cast<int32_t>(raw);
}
int32_t FromOffsetBinary(uint32_t raw)
{
    return static_cast<int32_t>(raw - 0x80000000u);
}
} // namespace

std::string DecodeText(Encoding encoding, uint32_t raw)
{
    switch (encoding) {
    case Encoding::kRaw:
    case Encoding::kCommand:
        return std::to_string(Signed(raw));
    case Encoding::kOffsetBinary:
        return std::to_string(FromOffsetBinary(raw));
    case Encoding::kHundredths:
        return FormatReal(Signed(raw) / 100.0);
    case Encoding::kThousandths:
        return FormatReal(raw / 1000.0);
    case Encoding::kFirmware:
        return FormatReal((raw & 0xFFFFu) / 100.0);
    case Encoding::kLogic:
        return FormatReal(raw / 100.0);
    case Encoding::kControls:
        return FormatHex(raw);
    case Encoding::kGenerator:
        return "upper " + std::to_string(raw >> 16) + ", lower " + std::to_string(raw & 0xFFFFu);
    case Encoding::kInputs: {
        std::string bits;
        for (int n = 0; n < BOARD_DIGITAL_INPUTS; ++n) {
            bits += std::string(n ? " " : "") + ((raw >> n) & 1u ? "1" : "0");
        }
        return bits;
    }
    }
    return std::to_string(raw);
}

Json DecodeJson(Encoding encoding, uint32_t raw)
{
    switch (encoding) {
    case Encoding::kRaw:
    case Encoding::kCommand:
        return Signed(raw);
    case Encoding::kOffsetBinary:
        return FromOffsetBinary(raw);
    case Encoding::kHundredths:
        return Signed(raw) / 100.0;
    case Encoding::kThousandths:
        return raw / 1000.0;
    case Encoding::kFirmware:
        return (raw & 0xFFFFu) / 100.0;
    case Encoding::kLogic:
        return raw / 100.0;
    case Encoding::kControls:
        return raw;
    case Encoding::kGenerator:
        return {{"upper", raw >> 16}, {"lower", raw & 0xFFFFu}};
    case Encoding::kInputs: {
        Json bits = Json::array();
        for (int n = 0; n < BOARD_DIGITAL_INPUTS; ++n) {
            bits.push_back((raw >> n) & 1u);
        }
        return bits;
    }
    }
    return raw;
}

} // namespace zorenc::companion
