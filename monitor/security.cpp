#include "security.h"

#include <cctype>
#include <random>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/host_name.hpp>

namespace zorenc::monitor {

namespace {

constexpr const char *kTokenHeader = "x-zorenc-token";
constexpr const char *kSecretHeader = "x-zorenc-secret";
constexpr const char *kSecretCookie = "zorenc_secret";

// Comparison that takes as long whatever the first difference.
bool SameText(const std::string &a, const std::string &b)
{
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char diff = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return diff == 0;
}

std::string Lower(std::string text)
{
    for (char &c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The cookie's value from a Cookie header, empty when absent.
std::string CookieValue(const std::string &header, const std::string &name)
{
    size_t at = 0;
    while (at < header.size()) {
        while (at < header.size() && (header[at] == ' ' || header[at] == ';')) {
            ++at;
        }
        const size_t end = std::min(header.find(';', at), header.size());
        const std::string pair = header.substr(at, end - at);
        const size_t eq = pair.find('=');
        if (eq != std::string::npos && pair.substr(0, eq) == name) {
            return pair.substr(eq + 1);
        }
        at = end;
    }
    return {};
}

} // namespace

std::string RandomSecret()
{
    std::random_device device;
    std::string text;
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 32; ++i) {
        const unsigned byte = device() & 0xFF;
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

Security::Security(const std::string &address, unsigned port)
    : address_(address), port_(port), token_(RandomSecret())
{
    boost::system::error_code ec;
    const auto ip = boost::asio::ip::make_address(address, ec);
    loopback_ = !ec && ip.is_loopback();
    wildcard_ = !ec && ip.is_unspecified();
    if (!loopback_) {
        secret_ = RandomSecret();
    }
}

std::string Security::Url() const
{
    const bool v6 = address_.find(':') != std::string::npos;
    std::string host = v6 ? "[" + address_ + "]" : address_;
    if (wildcard_) {
        host = boost::asio::ip::host_name();
    }
    std::string url = "http://" + host + ":" + std::to_string(port_) + "/";
    if (!secret_.empty()) {
        url += "?secret=" + secret_;
    }
    return url;
}

// The Host header names this server: a loopback name or the address it
// listens on, with its port. On a wildcard address also an IP literal or the
// machine's name (a DNS-rebinding page has a domain name of its own).
bool Security::HostAllowed(const std::string &hostHeader) const
{
    const std::string host = Lower(hostHeader);
    const size_t colon = host.rfind(':');
    if (colon == std::string::npos || host.substr(colon + 1) != std::to_string(port_)) {
        return false;
    }
    std::string name = host.substr(0, colon);
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    if (name == "localhost" || name == "127.0.0.1" || name == "::1" || name == Lower(address_)) {
        return true;
    }
    if (!wildcard_) {
        return false;
    }
    boost::system::error_code ec;
    boost::asio::ip::make_address(name, ec);
    const std::string machine = Lower(boost::asio::ip::host_name());
    return !ec || name == machine || name.rfind(machine + ".", 0) == 0;
}

bool Security::SecretGiven(const HttpRequest &request) const
{
    if (secret_.empty()) {
        return true;
    }
    const auto query = request.query.find("secret");
    return (query != request.query.end() && SameText(query->second, secret_)) ||
           SameText(request.Header(kSecretHeader), secret_) ||
           SameText(CookieValue(request.Header("cookie"), kSecretCookie), secret_);
}

std::string Security::Refusal(const HttpRequest &request, bool changing) const
{
    if (!SecretGiven(request)) {
        return "this monitor listens beyond loopback: open the URL it printed, with its secret";
    }
    const std::string host = request.Header("host");
    if (!HostAllowed(host)) {
        return "the Host '" + host + "' is not this monitor's";
    }
    const std::string origin = request.Header("origin");
    if (!origin.empty() && Lower(origin) != "http://" + Lower(host)) {
        return "requests from '" + origin + "' are not accepted";
    }
    if (changing && !SameText(request.Header(kTokenHeader), token_)) {
        return "a request that changes the board needs the token of /api/session in the "
               "X-Zorenc-Token header";
    }
    return {};
}

std::vector<std::pair<std::string, std::string>>
Security::AnswerHeaders(const HttpRequest &request) const
{
    std::vector<std::pair<std::string, std::string>> headers;
    if (!secret_.empty() && request.query.count("secret") != 0) {
        headers.emplace_back("Set-Cookie", std::string(kSecretCookie) + "=" + secret_ +
                                               "; Path=/; HttpOnly; SameSite=Strict");
    }
    // The page is not to be framed by another site.
    headers.emplace_back("X-Frame-Options", "DENY");
    headers.emplace_back("Referrer-Policy", "no-referrer");
    return headers;
}

} // namespace zorenc::monitor
