// Cases with known outcomes for a GoogleTest-compatible runner: the suite name
// says what each test must end as (Pass..., Fail..., Skip...), and the lines
// "reached: X" / "unreachable: X" say which statements must or must not run.
// check_selftest.py runs this against GoogleTest itself and against the
// stand-in header, and both must give the same outcomes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

void Mark(const char *what, const char *name)
{
    std::printf("%s: %s\n", what, name);
    std::fflush(stdout);
}

int g_suite_set_ups = 0;
int g_suite_tear_downs = 0;
int g_tear_downs = 0;

enum class Colour { kRed = 1, kBlue = 2 };
struct Opaque {
    int value;
    bool operator==(const Opaque &other) const { return value == other.value; }
};

} // namespace

TEST(Pass, ComparisonsThatHold)
{
    const unsigned u = 3;
    const std::size_t size = 2;
    const std::int64_t wide = -1;
    const char *null_text = nullptr;
    const int *null_pointer = nullptr;
    EXPECT_EQ(3, u) << "never printed";
    EXPECT_EQ(size, 2);
    EXPECT_EQ(wide, -1);
    EXPECT_EQ(nullptr, null_pointer);
    EXPECT_EQ(std::string("ab"), "ab");
    EXPECT_EQ(Colour::kBlue, Colour::kBlue);
    EXPECT_EQ(Opaque{4}, Opaque{4});
    EXPECT_EQ((std::vector<int>{1, 2}), (std::vector<int>{1, 2}));
    EXPECT_NE(1, 2);
    EXPECT_LT(1, 2);
    EXPECT_LE(2, 2);
    EXPECT_GT(0xFFF2u, 0xFFF1u);
    EXPECT_GE(2.0, 2);
    EXPECT_TRUE(u == 3);
    EXPECT_FALSE(null_text);
    EXPECT_STREQ("abc", "abc");
    EXPECT_STREQ(null_text, nullptr);
    EXPECT_STRNE("abc", "abd");
    EXPECT_NEAR(1.0, 1.05, 0.1);
    EXPECT_NEAR(-2.5, -2.5, 0.0);
    EXPECT_DOUBLE_EQ(0.1 + 0.2, 0.3); // one unit in the last place apart
    EXPECT_DOUBLE_EQ(0.0, -0.0);
    ASSERT_EQ(1, 1);
    ASSERT_NE(1, 2) << "never printed";
    ASSERT_LT(1, 2);
    ASSERT_LE(1, 1);
    ASSERT_GT(2, 1);
    ASSERT_GE(1, 1);
    ASSERT_TRUE(true);
    ASSERT_FALSE(false);
    ASSERT_NEAR(10.0, 10.4, 0.5);
    ASSERT_DOUBLE_EQ(1.5, 1.5);
    ASSERT_STREQ("x", "x");
    Mark("reached", "Pass.ComparisonsThatHold");
}

TEST(Pass, OperandsAreEvaluatedOnce)
{
    int n = 0;
    EXPECT_EQ(1, ++n);
    ASSERT_LT(n++, 2);
    EXPECT_TRUE(++n == 3);
    EXPECT_NEAR(4.0, ++n, 0.0);
    EXPECT_EQ(4, n);
}

TEST(Pass, AnElseAfterAnAssertionBelongsToTheCaller)
{
    int branch = 0;
    if (branch == 1)
        EXPECT_EQ(1, 1);
    else
        branch = 2;
    EXPECT_EQ(branch, 2);
}

TEST(Pass, Excluded)
{
    Mark("reached", "Pass.Excluded");
}

class PassFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ++g_suite_set_ups; }
    static void TearDownTestSuite() { ++g_suite_tear_downs; }
    void SetUp() override { value_ = 42; }
    void TearDown() override { ++g_tear_downs; }
    int value_ = 0;
};

TEST_F(PassFixture, SetUpRunsBeforeTheBody)
{
    EXPECT_EQ(value_, 42);
    EXPECT_EQ(g_suite_set_ups, 1);
}

TEST_F(PassFixture, SuiteSetUpRunsOnceAndTearDownAfterEachTest)
{
    EXPECT_EQ(g_suite_set_ups, 1);
    EXPECT_EQ(g_suite_tear_downs, 0);
    EXPECT_EQ(g_tear_downs, 1);
}

// One failing check per test, so that each macro is seen to fail on its own.
#define FAILS(name, ...)                                                                           \
    TEST(Fail, name)                                                                               \
    {                                                                                              \
        __VA_ARGS__;                                                                               \
        Mark("reached", "Fail." #name);                                                            \
    }
FAILS(ExpectEq, EXPECT_EQ(1, 2) << "context " << 42)
FAILS(ExpectEqUnsigned, EXPECT_EQ(0xFFF2u, 0xFFF9u))
FAILS(ExpectEqStrings, EXPECT_EQ(std::string("ab"), "ac"))
FAILS(ExpectEqEnums, EXPECT_EQ(Colour::kRed, Colour::kBlue))
FAILS(ExpectEqOpaque, EXPECT_EQ(Opaque{1}, Opaque{2}))
FAILS(ExpectEqVectors,
      EXPECT_EQ((std::vector<unsigned char>{1, 2}), (std::vector<unsigned char>{1})))
FAILS(ExpectNe, EXPECT_NE(2, 2))
FAILS(ExpectLt, EXPECT_LT(2, 2))
FAILS(ExpectLe, EXPECT_LE(3, 2))
FAILS(ExpectGt, EXPECT_GT(2, 2))
FAILS(ExpectGe, EXPECT_GE(1, 2))
FAILS(ExpectTrue, EXPECT_TRUE(1 == 2))
FAILS(ExpectFalse, EXPECT_FALSE(2 == 2))
FAILS(ExpectNear, EXPECT_NEAR(1.0, 1.2, 0.1))
FAILS(ExpectNearNan, EXPECT_NEAR(std::nan(""), 1.0, 1e9))
FAILS(ExpectDoubleEq, EXPECT_DOUBLE_EQ(1.0, 1.0 + 1e-12))
FAILS(ExpectDoubleEqNan, EXPECT_DOUBLE_EQ(std::nan(""), std::nan("")))
FAILS(ExpectDoubleEqOpposite, EXPECT_DOUBLE_EQ(1e-300, -1e-300))
FAILS(ExpectStreq, EXPECT_STREQ("abc", "abd"))
FAILS(ExpectStreqNull, EXPECT_STREQ("abc", nullptr))
FAILS(ExpectStrne, EXPECT_STRNE("abc", "abc"))
FAILS(AddFailure, ADD_FAILURE() << "added")
#undef FAILS

// A failed ASSERT_ ends the function it is in, and only that function.
void AssertInHelper()
{
    ASSERT_EQ(1, 2);
    Mark("unreachable", "Fail.AssertInHelper");
}

#define FAILS_FATALLY(name, ...)                                                                   \
    TEST(Fail, name)                                                                               \
    {                                                                                              \
        __VA_ARGS__;                                                                               \
        Mark("unreachable", "Fail." #name);                                                        \
    }
FAILS_FATALLY(AssertEq, ASSERT_EQ(1, 2))
FAILS_FATALLY(AssertNe, ASSERT_NE(1, 1))
FAILS_FATALLY(AssertLt, ASSERT_LT(1, 1))
FAILS_FATALLY(AssertLe, ASSERT_LE(2, 1))
FAILS_FATALLY(AssertGt, ASSERT_GT(1, 1))
FAILS_FATALLY(AssertGe, ASSERT_GE(1, 2))
FAILS_FATALLY(AssertTrue, ASSERT_TRUE(false))
FAILS_FATALLY(AssertFalse, ASSERT_FALSE(true))
FAILS_FATALLY(AssertNear, ASSERT_NEAR(0.0, 1.0, 0.5))
FAILS_FATALLY(AssertDoubleEq, ASSERT_DOUBLE_EQ(0.5, 0.25))
FAILS_FATALLY(AssertStreq, ASSERT_STREQ("a", "b"))
FAILS_FATALLY(Fail, FAIL() << "failed on purpose")
FAILS_FATALLY(Throws, throw std::runtime_error("thrown on purpose"))
#undef FAILS_FATALLY

TEST(Fail, AssertInHelperEndsOnlyTheHelper)
{
    AssertInHelper();
    Mark("reached", "Fail.AssertInHelperEndsOnlyTheHelper");
}

class FailInSetUp : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(false) << "set-up failed on purpose"; }
    void TearDown() override { Mark("reached", "FailInSetUp.TearDown"); }
};

TEST_F(FailInSetUp, BodyDoesNotRun)
{
    Mark("unreachable", "FailInSetUp.BodyDoesNotRun");
}

TEST(Skip, InBody)
{
    GTEST_SKIP() << "skipped on purpose";
    Mark("unreachable", "Skip.InBody");
}

class SkipInSetUp : public ::testing::Test {
protected:
    void SetUp() override { GTEST_SKIP(); }
};

TEST_F(SkipInSetUp, BodyDoesNotRun)
{
    Mark("unreachable", "SkipInSetUp.BodyDoesNotRun");
}

// A failed suite set-up skips the suite's tests and fails the run; a failed
// suite tear-down fails the run after its tests passed.
class SkipSuiteSetUpFails : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ADD_FAILURE() << "suite set-up failed on purpose"; }
};

TEST_F(SkipSuiteSetUpFails, BodyDoesNotRun)
{
    Mark("unreachable", "SkipSuiteSetUpFails");
}

class SuiteTearDownFails : public ::testing::Test {
protected:
    static void TearDownTestSuite() { ADD_FAILURE() << "suite tear-down failed on purpose"; }
};

TEST_F(SuiteTearDownFails, BodyRuns)
{
    Mark("reached", "SuiteTearDownFails.BodyRuns");
}
