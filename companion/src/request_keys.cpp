#include "request_keys.h"

namespace zorenc::companion {

namespace {
[[noreturn]] void Wrong(const char *key, const char *expected)
{
    throw Failure("usage", std::string("\"") + key + "\" must be " + expected, {{"key", key}});
}
} // namespace

bool OptionalBool(const Json &request, const char *key, bool fallback)
{
    const auto it = request.find(key);
    if (it == request.end() || it->is_null()) {
        return fallback;
    }
    if (!it->is_boolean()) {
        Wrong(key, "true or false");
    }
    return it->get<bool>();
}

std::string OptionalString(const Json &request, const char *key, const std::string &fallback)
{
    const auto it = request.find(key);
    if (it == request.end() || it->is_null()) {
        return fallback;
    }
    if (!it->is_string()) {
        Wrong(key, "a string");
    }
    return it->get<std::string>();
}

std::vector<std::string> OptionalStrings(const Json &request, const char *key)
{
    std::vector<std::string> values;
    const auto it = request.find(key);
    if (it == request.end() || it->is_null()) {
        return values;
    }
    if (!it->is_array()) {
        Wrong(key, "an array of strings");
    }
    for (const auto &item : *it) {
        if (!item.is_string() || item.get<std::string>().empty()) {
            Wrong(key, "an array of non-empty strings");
        }
        values.push_back(item.get<std::string>());
    }
    return values;
}

} // namespace zorenc::companion
