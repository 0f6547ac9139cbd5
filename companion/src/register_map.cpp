#include "register_map.h"

#include <algorithm>

#include "device/registers.h"

namespace zorenc::companion {

namespace {

const std::vector<RegisterInfo> kMap = [] {
    std::vector<RegisterInfo> map;
    for (const RegisterSpec &desc : kRegisterTable) {
        map.push_back(RegisterInfo{desc.name, desc.address, desc.placement, desc.encoding,
                                   Readable(desc.access), Writable(desc.access)});
    }
    return map;
}();

// Every instance of one register.
std::vector<RegisterAt> Instances(const RegisterInfo &info)
{
    std::vector<RegisterAt> list;
    ForEachInstance(info.placement, info.base,
                    [&](uint16_t address, int32_t number, int32_t index) {
                        list.push_back(RegisterAt{&info, address, number, index});
                    });
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
    case Encoding::kClearMask:
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
    case Encoding::kClearMask:
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
