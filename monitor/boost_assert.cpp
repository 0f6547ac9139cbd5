// Boost's assertions in the monitor's debug builds (release builds compile
// them out, as before). One is known to be wrong: Boost 1.74's chunk parser
// asserts that at least five bytes are at hand when it comes back to the last
// chunk ("0\r\n") after asking for more, but a client that sends a byte at a
// time gives it four, and the code after the assertion handles that (Beast
// corrected the assertion in a later release, pull request 2861). Every other
// assertion ends the program, as BOOST_ASSERT does by default.
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace boost {

void assertion_failed_msg(char const *expr, char const *msg, char const *function, char const *file,
                          long line)
{
    if (std::strcmp(expr, "n >= 5") == 0 && std::strstr(file, "basic_parser.ipp") != nullptr) {
        return;
    }
    std::fprintf(stderr, "%s:%ld: %s: Assertion `%s' failed%s%s\n", file, line, function, expr,
                 msg != nullptr ? ": " : "", msg != nullptr ? msg : "");
    std::abort();
}

void assertion_failed(char const *expr, char const *function, char const *file, long line)
{
    assertion_failed_msg(expr, nullptr, function, file, line);
}

} // namespace boost
