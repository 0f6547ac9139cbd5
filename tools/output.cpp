#include "output.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zortool {

std::string FormatReal(double value)
{
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
    }
    char text[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value) {
            break;
        }
    }
    return text;
}

std::string FormatHex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

Json Json::Bool(bool value)
{
    Json j;
    j.type_ = Type::kBool;
    j.bool_ = value;
    return j;
}

Json Json::Int(int64_t value)
{
    Json j;
    j.type_ = Type::kInt;
    j.int_ = value;
    return j;
}

Json Json::Real(double value)
{
    Json j;
    if (std::isfinite(value)) {
        j.type_ = Type::kReal;
        j.real_ = value;
    }
    return j;
}

Json Json::String(std::string value)
{
    Json j;
    j.type_ = Type::kString;
    j.string_ = std::move(value);
    return j;
}

Json Json::Array()
{
    Json j;
    j.type_ = Type::kArray;
    return j;
}

Json Json::Object()
{
    Json j;
    j.type_ = Type::kObject;
    return j;
}

Json &Json::Push(Json value)
{
    items_.push_back(std::move(value));
    return *this;
}

Json &Json::Set(std::string key, Json value)
{
    members_.emplace_back(std::move(key), std::move(value));
    return *this;
}

std::string Json::Dump() const
{
    std::string out;
    DumpTo(out);
    return out;
}

namespace {
void Quote(const std::string &text, std::string &out)
{
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}
} // namespace

void Json::DumpTo(std::string &out) const
{
    switch (type_) {
    case Type::kNull:
        out += "null";
        break;
    case Type::kBool:
        out += bool_ ? "true" : "false";
        break;
    case Type::kInt:
        out += std::to_string(int_);
        break;
    case Type::kReal: {
        std::string text = FormatReal(real_);
        out += text;
        break;
    }
    case Type::kString:
        Quote(string_, out);
        break;
    case Type::kArray:
        out += '[';
        for (size_t i = 0; i < items_.size(); ++i) {
            if (i) {
                out += ", ";
            }
            items_[i].DumpTo(out);
        }
        out += ']';
        break;
    case Type::kObject:
        out += '{';
        for (size_t i = 0; i < members_.size(); ++i) {
            if (i) {
                out += ", ";
            }
            Quote(members_[i].first, out);
            out += ": ";
            members_[i].second.DumpTo(out);
        }
        out += '}';
        break;
    }
}

namespace {
bool IsNumber(const std::string &cell)
{
    if (cell.empty()) {
        return false;
    }
    char *end = nullptr;
    std::strtod(cell.c_str(), &end);
    return *end == '\0' || cell.rfind("0x", 0) == 0;
}
} // namespace

std::vector<std::string> Table::Lines() const
{
    const size_t columns = header_.size();
    std::vector<size_t> width(columns, 0);
    std::vector<bool> right(columns, !rows_.empty());
    for (size_t c = 0; c < columns; ++c) {
        width[c] = header_[c].size();
    }
    for (const auto &row : rows_) {
        for (size_t c = 0; c < columns && c < row.size(); ++c) {
            width[c] = std::max(width[c], row[c].size());
            right[c] = right[c] && IsNumber(row[c]);
        }
    }
    auto render = [&](const std::vector<std::string> &row) {
        std::string line;
        for (size_t c = 0; c < columns; ++c) {
            const std::string cell = c < row.size() ? row[c] : "";
            const std::string pad(width[c] - cell.size(), ' ');
            if (c) {
                line += "  ";
            }
            line += right[c] ? pad + cell : (c + 1 < columns ? cell + pad : cell);
        }
        return line;
    };
    std::vector<std::string> lines;
    bool headed = false;
    for (const std::string &cell : header_) {
        headed = headed || !cell.empty();
    }
    if (headed) {
        lines.push_back(render(header_));
    }
    for (const auto &row : rows_) {
        lines.push_back(render(row));
    }
    return lines;
}

void Table::Print(std::FILE *out) const
{
    for (const std::string &line : Lines()) {
        std::fprintf(out, "%s\n", line.c_str());
    }
}

} // namespace zortool
