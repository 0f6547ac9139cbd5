#include "http_request.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <iterator>
#include <optional>

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <nlohmann/json.hpp>

namespace zorenc::monitor {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using boost::system::error_code;

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The length of the well-formed UTF-8 sequence at text[at]; 0 when none
// starts there.
size_t Utf8Sequence(const std::string &text, size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return 1;
    }
    size_t length = 0;
    unsigned code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - at < length) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0u) != 0x80u) {
            return 0;
        }
        code = code << 6 | (next & 0x3Fu);
    }
    if (length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) {
        return 0;
    }
    if (length == 4 && (code < 0x10000 || code > 0x10FFFF)) {
        return 0;
    }
    return length;
}

// Header fields that may come once: who is asking, and with which
// credentials. Two Host fields could each be read by another party as the
// one that counts.
bool Singleton(const std::string &name)
{
    return name == "host" || name == "origin" || name == "x-zorenc-token" ||
           name == "x-zorenc-secret" || name == "expect" || name == "content-type";
}

} // namespace

bool UrlDecode(const std::string &text, std::string &out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%') {
            if (i + 2 >= text.size()) {
                return false;
            }
            const int hi = HexDigit(text[i + 1]);
            const int lo = HexDigit(text[i + 2]);
            if (hi < 0 || lo < 0) {
                return false;
            }
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return true;
}

bool ValidUtf8(const std::string &text)
{
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8Sequence(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

std::string EscapeInvalidUtf8(const std::string &text)
{
    static const char digits[] = "0123456789abcdef";
    std::string shown;
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8Sequence(text, at);
        if (length == 0) {
            const auto byte = static_cast<unsigned char>(text[at]);
            shown += "\\x";
            shown += digits[byte >> 4];
            shown += digits[byte & 15];
            ++at;
        } else {
            shown.append(text, at, length);
            at += length;
        }
    }
    return shown;
}

struct RequestReader::Impl {
    std::optional<http::request_parser<http::string_body>> parser;
    std::string pending; // bytes received, parsed up to parsed
    size_t parsed = 0;
    Step step = Step::kMore;
    bool headerChecked = false;
    bool wantsContinue = false;
    bool continueSaid = false;
    size_t headerFields = 0;
    HttpRequest request;
    HttpResponse refusal;
    std::string reason;

    Impl() { Begin(); }

    void Begin()
    {
        parser.emplace();
        parser->header_limit(static_cast<std::uint32_t>(kMaxHeader));
        parser->body_limit(kMaxBody);
        step = Step::kMore;
        headerChecked = wantsContinue = continueSaid = false;
        headerFields = 0;
        request = HttpRequest();
        if (parsed == pending.size()) {
            pending.clear();
            parsed = 0;
        }
    }

    Step Refuse(int status, const std::string &why)
    {
        reason = why;
        nlohmann::ordered_json error = {{"kind", "usage"}, {"message", "bad request: " + why}};
        refusal = HttpResponse();
        refusal.status = status;
        refusal.body = nlohmann::ordered_json{{"ok", false}, {"error", error}}.dump(
                           -1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
                       "\n";
        return step = Step::kRefused;
    }

    Step Refuse(error_code ec)
    {
        if (ec == http::error::header_limit) {
            return Refuse(431, "the request line and header exceed 16 KB");
        }
        if (ec == http::error::body_limit) {
            return Refuse(413, "the body exceeds 256 KB");
        }
        return Refuse(400, ec.message());
    }

    // The request line and header, once whole: what the routes will see,
    // and what is refused before any body is read.
    bool CheckHeader()
    {
        const auto &message = parser->get();
        request.method = std::string(message.method_string());
        request.target = std::string(message.target());
        request.version = message.version();
        if (!ValidUtf8(request.target)) {
            Refuse(400, "the request target is not UTF-8");
            return false;
        }
        const size_t q = request.target.find('?');
        request.path = request.target.substr(0, q);
        const std::string query = q == std::string::npos ? "" : request.target.substr(q + 1);
        for (size_t start = 0; start < query.size();) {
            const size_t end = std::min(query.find('&', start), query.size());
            const std::string part = query.substr(start, end - start);
            const size_t eq = part.find('=');
            std::string name;
            std::string value;
            if (UrlDecode(part.substr(0, eq), name) &&
                (eq == std::string::npos || UrlDecode(part.substr(eq + 1), value))) {
                if (!ValidUtf8(name) || !ValidUtf8(value)) {
                    Refuse(400, "the query is not UTF-8");
                    return false;
                }
                request.query[name] = value;
            }
            start = end + 1;
        }
        for (const auto &field : message) {
            const std::string name = Lower(std::string(field.name_string()));
            const std::string value(field.value());
            const auto it = request.header.find(name);
            if (it == request.header.end()) {
                request.header.emplace(name, value);
            } else if (Singleton(name)) {
                Refuse(400, "more than one " + std::string(field.name_string()) + " field");
                return false;
            } else {
                it->second += (name == "cookie" ? "; " : ", ") + value;
            }
            ++headerFields;
        }
        const auto expect = request.header.find("expect");
        if (expect != request.header.end()) {
            if (Lower(expect->second) != "100-continue") {
                Refuse(417, "the only expectation served is 100-continue");
                return false;
            }
            wantsContinue = request.version >= 11;
        }
        return true;
    }

    Step Finish()
    {
        auto &message = parser->get();
        if (static_cast<size_t>(std::distance(message.begin(), message.end())) != headerFields) {
            return Refuse(400, "trailer fields are not accepted");
        }
        request.body = std::move(message.body());
        request.keepAlive = message.keep_alive();
        return step = Step::kDone;
    }

    Step Parse()
    {
        try {
            // The parser sees at most kMaxPending bytes at a time, so that
            // what it makes of them does not depend on how they came.
            while (!parser->is_done()) {
                const size_t view = std::min(pending.size() - parsed, kMaxPending);
                size_t used = 0;
                if (view > 0) {
                    error_code ec;
                    used = parser->put(asio::const_buffer(pending.data() + parsed, view), ec);
                    parsed += used;
                    if (ec && ec != http::error::need_more) {
                        return Refuse(ec);
                    }
                }
                if (parser->is_header_done() && !headerChecked) {
                    // The header is checked as it came, before any body or
                    // trailer; then the rest is parsed as far as it came.
                    headerChecked = true;
                    if (!CheckHeader()) {
                        return step;
                    }
                    parser->eager(true);
                    continue;
                }
                if (used == 0) {
                    if (view == kMaxPending) {
                        return Refuse(431, "a chunk header or trailer exceeds 32 KB");
                    }
                    break; // the rest is still to come
                }
            }
            if (parser->is_done()) {
                return Finish();
            }
            if (wantsContinue && !continueSaid) {
                continueSaid = true;
                return Step::kContinue;
            }
            return Step::kMore;
        } catch (const std::exception &error) {
            // Beast throws for some inputs, such as a field of 64 KB (which
            // the limits above keep from it): that request alone is refused.
            return Refuse(400, error.what());
        }
    }
};

RequestReader::RequestReader() : impl_(std::make_unique<Impl>()) {}

RequestReader::~RequestReader() = default;

RequestReader::Step RequestReader::Feed(const char *data, size_t size)
{
    Impl &d = *impl_;
    if (d.step == Step::kRefused) {
        return d.step;
    }
    if (size > 0) {
        // Parsed bytes go before the buffer grows.
        if (d.parsed > 0 && d.parsed >= d.pending.size() / 2) {
            d.pending.erase(0, d.parsed);
            d.parsed = 0;
        }
        d.pending.append(data, size);
    }
    if (d.step == Step::kDone) {
        return d.step;
    }
    return d.Parse();
}

bool RequestReader::Idle() const
{
    return !impl_->parser->got_some() && impl_->parsed == impl_->pending.size();
}

bool RequestReader::HeaderDone() const
{
    return impl_->parser->is_header_done();
}

HttpRequest RequestReader::Take()
{
    HttpRequest request = std::move(impl_->request);
    impl_->Begin();
    return request;
}

const HttpResponse &RequestReader::Refusal() const
{
    return impl_->refusal;
}

const std::string &RequestReader::Reason() const
{
    return impl_->reason;
}

} // namespace zorenc::monitor
