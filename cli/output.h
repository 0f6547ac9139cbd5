// Output: JSON documents for scripts and aligned tables for people.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "json.h"

namespace zorenc::cli {

// JSON documents and numbers as text are the companion library's.
using companion::FormatHex;
using companion::FormatReal;
using Json = companion::Json;

// Columns padded to their widest cell; columns whose cells are all numbers
// are aligned to the right. A header of empty cells is not printed.
class Table {
public:
    explicit Table(std::vector<std::string> header) : header_(std::move(header)) {}
    void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
    std::vector<std::string> Lines() const;
    void Print(std::FILE *out = stdout) const;

private:
    std::vector<std::string> header_;
    std::vector<std::vector<std::string>> rows_;
};

} // namespace zorenc::cli
