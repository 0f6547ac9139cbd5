// Output: JSON documents for scripts and aligned tables for people.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace zortool {

// Shortest decimal form that reads back as the same double: 1.5, 0.28,
// 4294967.295.
std::string FormatReal(double value);
// 0x0000F00A style, with the given number of hex digits.
std::string FormatHex(uint32_t value, int digits = 8);

// A JSON value, built up and then written out in one piece.
class Json {
public:
    Json() = default; // null
    static Json Bool(bool value);
    static Json Int(int64_t value);
    static Json Real(double value); // null when not finite
    static Json String(std::string value);
    static Json Array();
    static Json Object();

    Json &Push(Json value);                 // onto an array
    Json &Set(std::string key, Json value); // into an object, keeping order
    std::string Dump() const;               // compact, one line

private:
    enum class Type { kNull, kBool, kInt, kReal, kString, kArray, kObject };
    void DumpTo(std::string &out) const;

    Type type_ = Type::kNull;
    bool bool_ = false;
    int64_t int_ = 0;
    double real_ = 0;
    std::string string_;
    std::vector<Json> items_;
    std::vector<std::pair<std::string, Json>> members_;
};

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

} // namespace zortool
