#include "answer.h"

#include <cstdlib>
#include <cstring>

#include "toolkit.h"
#include "zorenc_tools.h"

namespace companion = zorenc::companion;

namespace zorenc::companion {

Json ParseRequest(const char *request)
{
    if (request == nullptr || *request == '\0') {
        return Json::object();
    }
    // Measured no further than the limit: a longer request is refused
    // unread.
    size_t length = 0;
    while (length <= kMaxJsonBytes && request[length] != '\0') {
        ++length;
    }
    Json parsed = ReadJson(std::string(request, length), "the request");
    if (!parsed.is_object()) {
        throw Failure("usage", "the request must be a JSON object");
    }
    return parsed;
}

char *Allocate(const std::string &text) noexcept
{
    char *copy = static_cast<char *>(std::malloc(text.size() + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text.c_str(), text.size() + 1);
    }
    return copy;
}

} // namespace zorenc::companion

extern "C" {

ZORTOOLS_API void ZORTOOLS_CALL ZorToolsFree(char *document)
{
    std::free(document);
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsVersion(void)
{
    return companion::Answer([] {
        return companion::Json{{"version", companion::Version()},
                              {"board_library", ZORENC_BOARD_LIBRARY}};
    });
}

} // extern "C"
