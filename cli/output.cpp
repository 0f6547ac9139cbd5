#include "output.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zorenc::cli {

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

} // namespace zorenc::cli
