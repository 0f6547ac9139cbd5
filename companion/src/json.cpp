#include "json.h"

#include <cmath>

namespace zorenc::companion {

namespace {

void DumpTo(const Json &json, std::string &out, const char *comma, const char *colon)
{
    switch (json.type()) {
    case Json::value_t::array: {
        out += '[';
        const char *separator = "";
        for (const Json &item : json) {
            out += separator;
            DumpTo(item, out, comma, colon);
            separator = comma;
        }
        out += ']';
        break;
    }
    case Json::value_t::object: {
        out += '{';
        const char *separator = "";
        for (const auto &member : json.items()) {
            out += separator;
            out += Json(member.key()).dump(-1, ' ', false, Json::error_handler_t::replace);
            out += colon;
            DumpTo(member.value(), out, comma, colon);
            separator = comma;
        }
        out += '}';
        break;
    }
    case Json::value_t::number_float: {
        const double value = json.get<double>();
        out += std::isfinite(value) ? FormatReal(value) : "null";
        break;
    }
    default:
        out += json.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
}

} // namespace

std::string DumpLine(const Json &json)
{
    std::string out;
    DumpTo(json, out, ", ", ": ");
    return out;
}

std::string DumpCompact(const Json &json)
{
    std::string out;
    DumpTo(json, out, ",", ":");
    return out;
}

} // namespace zorenc::companion
