// The one JSON reader of the companion: nlohmann's parser driven through a
// SAX handler of our own, which builds the document without recursion and
// stops at the first thing the toolkit refuses.
#include <algorithm>
#include <iterator>
#include <unordered_set>
#include <vector>

#include "failure.h"
#include "json.h"

namespace zorenc::companion {

namespace {

// A character iterator that tells how far the parser has read: nlohmann's
// SAX events carry no position, and the refusals of the handler need one.
class TrackedChar {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char *;
    using reference = const char &;

    TrackedChar(const char *at, const char **reached) : at_(at), reached_(reached) {}
    reference operator*() const { return *at_; }
    TrackedChar &operator++()
    {
        *reached_ = ++at_;
        return *this;
    }
    TrackedChar operator++(int)
    {
        TrackedChar before = *this;
        ++*this;
        return before;
    }
    bool operator==(const TrackedChar &other) const { return at_ == other.at_; }
    bool operator!=(const TrackedChar &other) const { return at_ != other.at_; }

private:
    const char *at_;
    const char **reached_;
};

class Builder : public nlohmann::json_sax<Json> {
public:
    Builder(const char *text, const char **reached) : text_(text), reached_(reached) {}

    Json root;
    std::string fault;  // empty while the document is accepted
    size_t faultAt = 0; // characters before the place of the fault

    bool null() override { return Put(Json(nullptr)); }
    bool boolean(bool value) override { return Put(Json(value)); }
    bool number_integer(number_integer_t value) override { return Put(Json(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Put(Json(value)); }
    bool number_float(number_float_t value, const string_t &) override { return Put(Json(value)); }
    bool string(string_t &value) override
    {
        if (value.find('\0') != std::string::npos) {
            return Refuse("a string holds the character U+0000");
        }
        return Put(Json(std::move(value)));
    }
    bool binary(binary_t &) override { return Refuse("binary values are not JSON"); }
    bool start_object(std::size_t) override { return Open(Json::object()); }
    bool start_array(std::size_t) override { return Open(Json::array()); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool key(string_t &value) override
    {
        if (value.find('\0') != std::string::npos) {
            return Refuse("a key holds the character U+0000");
        }
        Level &level = open_.back();
        if (!level.keys.insert(value).second) {
            return Refuse("the key " + DumpLine(Json(value)) + " is given twice in one object");
        }
        level.key = std::move(value);
        return true;
    }
    bool parse_error(std::size_t position, const std::string &lastToken,
                     const nlohmann::detail::exception &error) override
    {
        faultAt = position;
        if (error.id == 406) {
            // Out of range: the place of the number, not the character after it.
            faultAt = position >= lastToken.size() ? position - lastToken.size() + 1 : position;
            fault = "the number " + lastToken + " is beyond the range of numbers (about 1.8e308)";
            return false;
        }
        // nlohmann's "[json.exception.parse_error.101] parse error at line 2,
        // column 13: syntax error ...": the place is told by the caller.
        fault = error.what();
        const size_t colon = fault.find(": ");
        fault = colon == std::string::npos ? fault : fault.substr(colon + 2);
        return false;
    }

private:
    struct Level {
        Json *value;
        std::unordered_set<std::string> keys;
        std::string key;
    };

    // Where the last character read lies.
    bool Refuse(const std::string &why)
    {
        fault = why;
        faultAt = static_cast<size_t>(*reached_ - text_);
        return false;
    }

    // Places value in the open array or object (or as the document) and
    // returns where it lies. Members are appended without the linear search
    // of ordered_json's operator[]: the keys were checked in key().
    Json *Place(Json &&value)
    {
        if (open_.empty()) {
            root = std::move(value);
            return &root;
        }
        Level &level = open_.back();
        if (level.value->is_array()) {
            auto &array = level.value->get_ref<Json::array_t &>();
            array.emplace_back(std::move(value));
            return &array.back();
        }
        auto &object = level.value->get_ref<Json::object_t &>();
        object.Json::object_t::Container::emplace_back(std::move(level.key), std::move(value));
        return &object.back().second;
    }

    bool Put(Json &&value)
    {
        Place(std::move(value));
        return true;
    }

    bool Open(Json &&empty)
    {
        if (open_.size() >= static_cast<size_t>(kMaxJsonDepth)) {
            return Refuse("nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
        }
        Json *value = Place(std::move(empty));
        open_.push_back(Level{value, {}, {}});
        return true;
    }

    bool Close()
    {
        open_.pop_back();
        return true;
    }

    const char *text_;
    const char **reached_;
    std::vector<Level> open_;
};

} // namespace

Json ReadJson(const std::string &text, const std::string &what, size_t maxBytes)
{
    if (text.size() > maxBytes) {
        const std::string message =
            what + " is larger than " + std::to_string(maxBytes) + " bytes, the most that is read";
        throw Failure("usage", message, {{"faults", {message}}});
    }
    const char *begin = text.data();
    const char *reached = begin;
    Builder builder(begin, &reached);
    if (Json::sax_parse(TrackedChar(begin, &reached), TrackedChar(begin + text.size(), &reached),
                        &builder)) {
        return std::move(builder.root);
    }
    // Line and column as nlohmann counts them: the column of the last
    // character read, 0 right after a line feed.
    const size_t at = std::min(builder.faultAt, text.size());
    size_t line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < at; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    const size_t column = at - lineStart;
    const std::string message = what + ", line " + std::to_string(line) + ", column " +
                                std::to_string(column) + ": " + builder.fault;
    throw Failure("usage", message, {{"faults", {message}}, {"line", line}, {"column", column}});
}

} // namespace zorenc::companion
