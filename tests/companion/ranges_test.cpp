// The bindings check values themselves before they call the library; their
// tables of ranges (python/zorenc/board.py VALUE_RANGES, the .NET
// ValueRanges) must be the settings table's, entry for entry.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "setting_table.h"

using namespace zorenc::companion;

namespace {

using Range = std::tuple<std::string, std::string, int64_t, int64_t>;

// Every value of a setter whose range is narrower than the 32-bit integer
// the library takes.
std::set<Range> TableRanges()
{
    std::set<Range> ranges;
    for (const Setting &s : Settings()) {
        for (const ValueForm &form : s.setForms) {
            for (const ValueSpec &desc : form) {
                if (desc.kind == ValueKind::kInteger &&
                    (desc.min != INT32_MIN || desc.max != INT32_MAX)) {
                    ranges.insert({s.name, desc.name, desc.min, desc.max});
                }
            }
        }
    }
    return ranges;
}

std::set<Range> SourceRanges(const std::string &path, const std::string &pattern)
{
    std::ifstream in(std::string(ZORENC_SOURCE_DIR) + "/" + path);
    EXPECT_TRUE(in) << path;
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    std::set<Range> ranges;
    const std::regex entry(pattern);
    for (auto it = std::sregex_iterator(source.begin(), source.end(), entry);
         it != std::sregex_iterator(); ++it) {
        ranges.insert({(*it)[1], (*it)[2], std::stoll((*it)[3]), std::stoll((*it)[4])});
    }
    return ranges;
}

} // namespace

TEST(ValueRanges, TheBindingsHoldTheSettingsTablesRanges)
{
    const std::set<Range> table = TableRanges();
    EXPECT_GE(table.size(), 14u);
    EXPECT_EQ(SourceRanges("python/zorenc/board.py",
                           R"re(\("([a-z0-9-]+)", "([A-Z0-9]+)"\): \((-?\d+), (-?\d+)\))re"),
              table);
    EXPECT_EQ(SourceRanges("bindings/dotnet/Zorenc/ValueRanges.cs",
                           R"re(\("([a-z0-9-]+)", "([A-Z0-9]+)", (-?\d+), (-?\d+)\))re"),
              table);
}

// docs/registers.md lists every setting with the values it takes, as help
// set prints them.
TEST(ValueRanges, TheRegisterMapListsEverySettingWithItsValues)
{
    std::ifstream in(std::string(ZORENC_SOURCE_DIR) + "/docs/registers.md");
    ASSERT_TRUE(in);
    std::map<std::string, std::string> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("| `", 0) == 0) {
            const size_t end = line.find('`', 3);
            rows[line.substr(3, end - 3)] = line;
        }
    }
    for (const Setting &s : Settings()) {
        SCOPED_TRACE(s.name);
        ASSERT_EQ(rows.count(s.name), 1u);
        const std::string values = s.Writable() ? ValuesText(s) : "read only";
        const std::string &row = rows[s.name];
        EXPECT_EQ(row.compare(row.size() - values.size() - 2, values.size() + 2, values + " |"), 0)
            << row;
    }
}
