// A small header-only stand-in for the part of GoogleTest that our behaviour
// tests use, so that the same test sources build with MinGW (which has no
// GoogleTest) and run under Wine. Outcome lines, --gtest_filter and the exit
// code follow GoogleTest; the run ends with "N passed, N failed[, N skipped]".
// main() is in gtest_main.cpp, as with GoogleTest's gtest_main library.
#ifndef ZORENC_MINIGTEST_GTEST_H
#define ZORENC_MINIGTEST_GTEST_H
// Like an installed GoogleTest, the comparison templates raise no warnings
// (such as -Wsign-compare) in the code that uses them.
#pragma GCC system_header

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace testing {

class Test;

class Message {
public:
    template <class T> Message &operator<<(const T &value)
    {
        os_ << value;
        return *this;
    }
    Message &operator<<(std::ostream &(*manip)(std::ostream &))
    {
        os_ << manip;
        return *this;
    }
    std::string str() const { return os_.str(); }

private:
    std::ostringstream os_;
};

namespace internal {

struct TestInfo {
    std::string suite, name;
    Test *(*make)();
    void (*set_up_suite)();
    void (*tear_down_suite)();
};

struct State {
    std::vector<TestInfo> tests;
    std::string filter = "*";
    bool failed = false, fatal = false, skipped = false; // of the running test
};

inline State &GetState()
{
    static State state;
    return state;
}

enum class Kind { kNonFatal, kFatal, kSkip };

// The left operand of `= Message() << ...` in the assertion macros: reports
// once the caller's message is complete.
struct Reporter {
    Kind kind;
    const char *file;
    int line;
    std::string text;
    void operator=(const Message &message) const
    {
        const std::string extra = message.str();
        std::printf("%s:%d: %s\n%s%s%s\n", file, line, kind == Kind::kSkip ? "Skipped" : "Failure",
                    text.c_str(), text.empty() || extra.empty() ? "" : "\n", extra.c_str());
        std::fflush(stdout);
        State &st = GetState();
        (kind == Kind::kSkip ? st.skipped : st.failed) = true;
        st.fatal = st.fatal || kind == Kind::kFatal;
    }
};

struct Result {
    bool ok;
    std::string text;
    explicit operator bool() const { return ok; }
};

template <class T, class = void> struct Streamable : std::false_type {
};
template <class T>
struct Streamable<T, std::void_t<decltype(std::declval<std::ostream &>() << std::declval<T>())>>
    : std::true_type {
};
template <class T, class = void> struct Iterable : std::false_type {
};
template <class T>
struct Iterable<T, std::void_t<decltype(std::begin(std::declval<T &>()))>> : std::true_type {
};

template <class T> void Print(std::ostream &os, const T &v)
{
    using D = std::decay_t<T>;
    if constexpr (std::is_same_v<T, bool>) {
        os << (v ? "true" : "false");
    } else if constexpr (std::is_same_v<T, std::nullptr_t>) {
        os << "nullptr";
    } else if constexpr (std::is_same_v<T, char> || std::is_same_v<T, signed char> ||
                         std::is_same_v<T, unsigned char>) {
        os << static_cast<int>(v);
    } else if constexpr (std::is_floating_point_v<T>) {
        const auto precision = os.precision(17);
        os << v;
        os.precision(precision);
    } else if constexpr (std::is_same_v<D, const char *> || std::is_same_v<D, char *>) {
        v == nullptr ? os << "NULL" : os << '"' << v << '"';
    } else if constexpr (std::is_same_v<T, std::string>) {
        os << '"' << v << '"';
    } else if constexpr (std::is_array_v<T> || (Iterable<T>::value && !Streamable<T>::value)) {
        const char *sep = "{ ";
        for (const auto &e : v) {
            os << sep;
            Print(os, e);
            sep = ", ";
        }
        os << (sep[0] == '{' ? "{}" : " }");
    } else if constexpr (std::is_pointer_v<T>) {
        os << "0x" << std::hex << reinterpret_cast<std::uintptr_t>(v) << std::dec;
    } else if constexpr (std::is_enum_v<T> && !Streamable<T>::value) {
        os << static_cast<long long>(v);
    } else if constexpr (Streamable<T>::value) {
        os << v;
    } else {
        os << "<" << sizeof(T) << "-byte object>";
    }
}

template <class T> std::string Str(const T &v)
{
    std::ostringstream os;
    Print(os, v);
    return os.str();
}

template <class A, class B>
Result Eq(bool ok, const char *ea, const char *eb, const A &a, const B &b)
{
    return {ok, ok ? ""
                   : "Expected equality of these values:\n  " + std::string(ea) +
                         "\n    Which is: " + Str(a) + "\n  " + eb + "\n    Which is: " + Str(b)};
}

template <class A, class B> Result Equal(const char *ea, const char *eb, const A &a, const B &b)
{
    return Eq(a == b, ea, eb, a, b);
}

template <class A, class B>
Result Cmp(bool ok, const char *op, const char *ea, const char *eb, const A &a, const B &b)
{
    return {ok, ok ? ""
                   : "Expected: (" + std::string(ea) + ") " + op + " (" + eb +
                         "), actual: " + Str(a) + " vs " + Str(b)};
}

template <class Op, class A, class B>
Result Compare(const char *op, const char *ea, const char *eb, const A &a, const B &b)
{
    return Cmp(Op()(a, b), op, ea, eb, a, b);
}

inline Result Truth(const char *expr, bool value, bool want)
{
    return {value == want, value == want ? ""
                                         : "Value of: " + std::string(expr) + "\n  Actual: " +
                                               Str(value) + "\nExpected: " + Str(want)};
}

inline Result Near(const char *ea, const char *eb, const char *ee, double a, double b, double e)
{
    const bool ok = a == b || std::fabs(a - b) <= e;
    return {ok, ok ? ""
                   : "The difference between " + std::string(ea) + " and " + eb + " is " +
                         Str(std::fabs(a - b)) + ", which exceeds " + ee + ", where\n" + ea +
                         " evaluates to " + Str(a) + ",\n" + eb + " evaluates to " + Str(b) +
                         ", and\n" + ee + " evaluates to " + Str(e) + "."};
}

// Equal within 4 units in the last place, as GoogleTest's DOUBLE_EQ; NaN
// equals nothing.
inline Result DoubleEq(const char *ea, const char *eb, double a, double b)
{
    auto biased = [](double d) {
        std::uint64_t u;
        std::memcpy(&u, &d, sizeof u);
        return (u >> 63) != 0 ? ~u + 1 : u | std::uint64_t{1} << 63;
    };
    const std::uint64_t x = biased(a), y = biased(b);
    return Eq(!std::isnan(a) && !std::isnan(b) && (x > y ? x - y : y - x) <= 4, ea, eb, a, b);
}

inline Result StrEq(const char *ea, const char *eb, const char *a, const char *b, bool want)
{
    const bool same = (a == nullptr || b == nullptr) ? a == b : std::strcmp(a, b) == 0;
    return want ? Eq(same, ea, eb, a, b) : Cmp(!same, "!=", ea, eb, a, b);
}

// GoogleTest's filter: globs ('*', '?') separated by ':', then optionally '-'
// and the globs of the tests to leave out.
inline bool Glob(const char *p, const char *s)
{
    if (*p == '\0' || *p == ':') {
        return *s == '\0';
    }
    if (*p == '*') {
        return Glob(p + 1, s) || (*s != '\0' && Glob(p, s + 1));
    }
    return *s != '\0' && (*p == '?' || *p == *s) && Glob(p + 1, s + 1);
}

inline bool Selected(const std::string &filter, const std::string &name)
{
    auto any = [&](const std::string &globs) {
        for (std::size_t at = 0;; ++at) {
            if (Glob(globs.c_str() + at, name.c_str())) {
                return true;
            }
            if ((at = globs.find(':', at)) == std::string::npos) {
                return false;
            }
        }
    };
    const std::size_t dash = filter.find('-');
    return any(dash == 0 ? "*" : filter.substr(0, dash)) &&
           (dash == std::string::npos || !any(filter.substr(dash + 1)));
}

template <class F> void Guarded(const char *where, F f)
{
    const std::string text = std::string("C++ exception thrown in ") + where;
    try {
        f();
    } catch (const std::exception &e) {
        Reporter{Kind::kFatal, "unknown file", 0, text} = Message() << "what(): " << e.what();
    } catch (...) {
        Reporter{Kind::kFatal, "unknown file", 0, text} = Message();
    }
}

inline bool Register(TestInfo info)
{
    GetState().tests.push_back(std::move(info));
    return true;
}

int RunAllTests();

} // namespace internal

class Test {
public:
    virtual ~Test() = default;
    virtual void SetUp() {}
    virtual void TearDown() {}
    virtual void TestBody() = 0;
    static void SetUpTestSuite() {}
    static void TearDownTestSuite() {}
    static bool HasFatalFailure() { return internal::GetState().fatal; }
    static bool HasFailure() { return internal::GetState().failed; }
    static bool IsSkipped() { return internal::GetState().skipped; }
};

inline void InitGoogleTest(int *argc, char **argv)
{
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp(argv[i], "--gtest_filter=", 15) == 0) {
            internal::GetState().filter = argv[i] + 15;
        } else {
            argv[kept++] = argv[i];
        }
    }
    *argc = kept;
}

inline int internal::RunAllTests()
{
    State &st = GetState();
    std::vector<const TestInfo *> order; // the selected tests by suite, in order of definition
    for (const TestInfo &t : st.tests) {
        bool seen = false;
        for (const TestInfo *o : order) {
            seen = seen || o->suite == t.suite;
        }
        for (const TestInfo &u : st.tests) {
            if (!seen && u.suite == t.suite && Selected(st.filter, u.suite + "." + u.name)) {
                order.push_back(&u);
            }
        }
    }
    int passed = 0, failed = 0, skipped = 0;
    bool suite_failed = false; // its tests are skipped, as with GoogleTest
    std::string failures;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const TestInfo &t = *order[i];
        const std::string name = t.suite + "." + t.name;
        if (i == 0 || order[i - 1]->suite != t.suite) {
            st.failed = false;
            Guarded("SetUpTestSuite()", t.set_up_suite);
            suite_failed = st.failed;
        }
        std::printf("[ RUN      ] %s\n", name.c_str());
        std::fflush(stdout);
        st.failed = st.fatal = false;
        st.skipped = suite_failed;
        const auto t0 = std::chrono::steady_clock::now();
        Test *test = nullptr;
        if (!suite_failed) {
            Guarded("the test fixture's constructor", [&] { test = t.make(); });
        }
        if (test != nullptr) {
            Guarded("SetUp()", [&] { test->SetUp(); });
            if (!st.fatal && !st.skipped) {
                Guarded("the test body", [&] { test->TestBody(); });
            }
            Guarded("TearDown()", [&] { test->TearDown(); });
            Guarded("the test fixture's destructor", [&] { delete test; });
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - t0);
        std::printf("[%s] %s (%lld ms)\n",
                    st.failed    ? "  FAILED  "
                    : st.skipped ? "  SKIPPED "
                                 : "       OK ",
                    name.c_str(), static_cast<long long>(ms.count()));
        std::fflush(stdout);
        ++(st.failed ? failed : st.skipped ? skipped : passed);
        failures += st.failed ? "[  FAILED  ] " + name + "\n" : "";
        if (i + 1 == order.size() || order[i + 1]->suite != t.suite) {
            st.failed = false;
            Guarded("TearDownTestSuite()", t.tear_down_suite);
            if (suite_failed || st.failed) { // counted as one more failure
                ++failed;
                failures += "[  FAILED  ] " + t.suite + ": SetUpTestSuite or TearDownTestSuite\n";
            }
        }
    }
    std::printf("%s%d passed, %d failed", failures.c_str(), passed, failed);
    skipped > 0 ? std::printf(", %d skipped\n", skipped) : std::printf("\n");
    std::fflush(stdout);
    return failed > 0 ? 1 : 0;
}

} // namespace testing

inline int RUN_ALL_TESTS()
{
    return ::testing::internal::RunAllTests();
}

#define MINIGTEST_CLASS_(suite, name) suite##_##name##_Test
#define MINIGTEST_DEFINE_(suite, name, base)                                                       \
    class MINIGTEST_CLASS_(suite, name) : public base {                                            \
    public:                                                                                        \
        void TestBody() override;                                                                  \
        static ::testing::Test *Make() { return new MINIGTEST_CLASS_(suite, name); }               \
        static void UpSuite() { base::SetUpTestSuite(); }                                          \
        static void DownSuite() { base::TearDownTestSuite(); }                                     \
    };                                                                                             \
    [[maybe_unused]] static const bool minigtest_registered_##suite##_##name =                     \
        ::testing::internal::Register({#suite, #name, &MINIGTEST_CLASS_(suite, name)::Make,        \
                                       &MINIGTEST_CLASS_(suite, name)::UpSuite,                    \
                                       &MINIGTEST_CLASS_(suite, name)::DownSuite});                \
    void MINIGTEST_CLASS_(suite, name)::TestBody()
#define TEST(suite, name) MINIGTEST_DEFINE_(suite, name, ::testing::Test)
#define TEST_F(fixture, name) MINIGTEST_DEFINE_(fixture, name, fixture)

// The `switch` keeps an `else` that follows in the caller's code from binding
// to the `if` inside.
#define MINIGTEST_REPORT_(kind, text)                                                              \
    ::testing::internal::Reporter{::testing::internal::Kind::kind, __FILE__, __LINE__, text} =     \
        ::testing::Message()
#define MINIGTEST_CHECK_(result, on_failure)                                                       \
    switch (0)                                                                                     \
    case 0:                                                                                        \
    default:                                                                                       \
        if (const ::testing::internal::Result minigtest_r = (result)) {                            \
        } else                                                                                     \
            on_failure(minigtest_r.text)
#define MINIGTEST_NONFATAL_(text) MINIGTEST_REPORT_(kNonFatal, text)
#define MINIGTEST_FATAL_(text) return MINIGTEST_REPORT_(kFatal, text)
#define MINIGTEST_CMP_(op, fn, a, b, f)                                                            \
    MINIGTEST_CHECK_(::testing::internal::Compare<std::fn<>>(#op, #a, #b, (a), (b)), f)
#define MINIGTEST_EQ_(a, b, f) MINIGTEST_CHECK_(::testing::internal::Equal(#a, #b, (a), (b)), f)

#define EXPECT_EQ(a, b) MINIGTEST_EQ_(a, b, MINIGTEST_NONFATAL_)
#define EXPECT_NE(a, b) MINIGTEST_CMP_(!=, not_equal_to, a, b, MINIGTEST_NONFATAL_)
#define EXPECT_LT(a, b) MINIGTEST_CMP_(<, less, a, b, MINIGTEST_NONFATAL_)
#define EXPECT_LE(a, b) MINIGTEST_CMP_(<=, less_equal, a, b, MINIGTEST_NONFATAL_)
#define EXPECT_GT(a, b) MINIGTEST_CMP_(>, greater, a, b, MINIGTEST_NONFATAL_)
#define EXPECT_GE(a, b) MINIGTEST_CMP_(>=, greater_equal, a, b, MINIGTEST_NONFATAL_)
#define ASSERT_EQ(a, b) MINIGTEST_EQ_(a, b, MINIGTEST_FATAL_)
#define ASSERT_NE(a, b) MINIGTEST_CMP_(!=, not_equal_to, a, b, MINIGTEST_FATAL_)
#define ASSERT_LT(a, b) MINIGTEST_CMP_(<, less, a, b, MINIGTEST_FATAL_)
#define ASSERT_LE(a, b) MINIGTEST_CMP_(<=, less_equal, a, b, MINIGTEST_FATAL_)
#define ASSERT_GT(a, b) MINIGTEST_CMP_(>, greater, a, b, MINIGTEST_FATAL_)
#define ASSERT_GE(a, b) MINIGTEST_CMP_(>=, greater_equal, a, b, MINIGTEST_FATAL_)

#define MINIGTEST_BOOL_(c, want, f)                                                                \
    MINIGTEST_CHECK_(::testing::internal::Truth(#c, static_cast<bool>(c), want), f)
#define EXPECT_TRUE(c) MINIGTEST_BOOL_(c, true, MINIGTEST_NONFATAL_)
#define EXPECT_FALSE(c) MINIGTEST_BOOL_(c, false, MINIGTEST_NONFATAL_)
#define ASSERT_TRUE(c) MINIGTEST_BOOL_(c, true, MINIGTEST_FATAL_)
#define ASSERT_FALSE(c) MINIGTEST_BOOL_(c, false, MINIGTEST_FATAL_)

#define MINIGTEST_NEAR_(a, b, e, f)                                                                \
    MINIGTEST_CHECK_(::testing::internal::Near(#a, #b, #e, (a), (b), (e)), f)
#define EXPECT_NEAR(a, b, e) MINIGTEST_NEAR_(a, b, e, MINIGTEST_NONFATAL_)
#define ASSERT_NEAR(a, b, e) MINIGTEST_NEAR_(a, b, e, MINIGTEST_FATAL_)
#define MINIGTEST_DOUBLE_EQ_(a, b, f)                                                              \
    MINIGTEST_CHECK_(::testing::internal::DoubleEq(#a, #b, (a), (b)), f)
#define EXPECT_DOUBLE_EQ(a, b) MINIGTEST_DOUBLE_EQ_(a, b, MINIGTEST_NONFATAL_)
#define ASSERT_DOUBLE_EQ(a, b) MINIGTEST_DOUBLE_EQ_(a, b, MINIGTEST_FATAL_)
#define MINIGTEST_STR_(a, b, want, f)                                                              \
    MINIGTEST_CHECK_(::testing::internal::StrEq(#a, #b, (a), (b), want), f)
#define EXPECT_STREQ(a, b) MINIGTEST_STR_(a, b, true, MINIGTEST_NONFATAL_)
#define ASSERT_STREQ(a, b) MINIGTEST_STR_(a, b, true, MINIGTEST_FATAL_)
#define EXPECT_STRNE(a, b) MINIGTEST_STR_(a, b, false, MINIGTEST_NONFATAL_)
#define ASSERT_STRNE(a, b) MINIGTEST_STR_(a, b, false, MINIGTEST_FATAL_)

#define GTEST_SKIP() return MINIGTEST_REPORT_(kSkip, "")
#define FAIL() MINIGTEST_FATAL_("Failed")
#define ADD_FAILURE() MINIGTEST_NONFATAL_("Failed")

#endif // ZORENC_MINIGTEST_GTEST_H
