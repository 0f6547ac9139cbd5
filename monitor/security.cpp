#include "security.h"

#include <algorithm>
#include <cctype>
#include <random>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/host_name.hpp>

namespace zorenc::monitor {

namespace {

constexpr const char *kTokenHeader = "x-zorenc-token";
constexpr const char *kSecretHeader = "x-zorenc-secret";

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

// name as an IP address (an IPv4 address mapped into IPv6 as IPv4); false
// when it is none.
bool AsAddress(const std::string &name, boost::asio::ip::address &address)
{
    boost::system::error_code ec;
    address = boost::asio::ip::make_address(name, ec);
    if (ec) {
        return false;
    }
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        address = boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, address.to_v6());
    }
    return true;
}

bool SameName(const std::string &a, const std::string &b)
{
    boost::asio::ip::address x;
    boost::asio::ip::address y;
    if (AsAddress(a, x) && AsAddress(b, y)) {
        return x == y;
    }
    return Lower(a) == Lower(b);
}

// NAME or NAME:PORT, an IPv6 address in brackets; port -1 when absent.
bool SplitAuthority(const std::string &text, std::string &name, long &port)
{
    size_t end = 0;
    if (!text.empty() && text.front() == '[') {
        end = text.find(']');
        if (end == std::string::npos) {
            return false;
        }
        name = text.substr(1, end - 1);
        boost::system::error_code ec;
        boost::asio::ip::make_address_v6(name, ec);
        if (ec) {
            return false;
        }
        ++end;
    } else {
        end = std::min(text.find(':'), text.size());
        name = text.substr(0, end);
    }
    if (name.empty()) {
        return false;
    }
    port = -1;
    if (end == text.size()) {
        return true;
    }
    const std::string digits = text.substr(end + 1);
    if (text[end] != ':' || digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return false;
    }
    port = std::stol(digits);
    return true;
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

bool HostAllowed(const std::string &host, unsigned port, const std::vector<std::string> &names)
{
    std::string name;
    long given = -1;
    if (!SplitAuthority(host, name, given) ||
        !(given < 0 ? port == 80 : static_cast<unsigned long>(given) == port)) {
        return false;
    }
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string &allowed) { return SameName(name, allowed); });
}

std::string AllowedHostName(const std::string &given)
{
    std::string name = Lower(given);
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
        boost::system::error_code ec;
        boost::asio::ip::make_address_v6(name, ec);
        return ec ? std::string() : name;
    }
    boost::asio::ip::address address;
    if (AsAddress(name, address)) {
        return name;
    }
    // A host name: labels of letters, digits, '-' and '_' joined by dots.
    bool label = false;
    for (const char c : name) {
        if (c == '.') {
            if (!label) {
                return {};
            }
            label = false;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') {
            label = true;
        } else {
            return {};
        }
    }
    return label && name.size() <= 253 ? name : std::string();
}

Security::Security(const std::string &address, unsigned port,
                   const std::vector<std::string> &allowHosts)
    : address_(address), port_(port), token_(RandomSecret())
{
    boost::system::error_code ec;
    const auto ip = boost::asio::ip::make_address(address, ec);
    loopback_ = !ec && ip.is_loopback();
    wildcard_ = !ec && ip.is_unspecified();
    // Loopback names, the address listened on, the machine's name; the
    // address a client reached is added to these for each request.
    names_ = {"localhost", "127.0.0.1", "::1"};
    if (!wildcard_) {
        names_.push_back(address_);
    }
    if (!loopback_) {
        secret_ = RandomSecret();
        names_.push_back(Lower(boost::asio::ip::host_name()));
    }
    names_.insert(names_.end(), allowHosts.begin(), allowHosts.end());
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

std::string Security::CookieName() const
{
    return "zorenc_secret_" + std::to_string(port_);
}

bool Security::SecretGiven(const HttpRequest &request) const
{
    if (secret_.empty()) {
        return true;
    }
    const auto query = request.query.find("secret");
    // A scraper (Prometheus) sends it as a bearer token.
    const std::string authorization = request.Header("authorization");
    const bool bearer = Lower(authorization.substr(0, 7)) == "bearer " &&
                        SameText(authorization.substr(7), secret_);
    return (query != request.query.end() && SameText(query->second, secret_)) || bearer ||
           SameText(request.Header(kSecretHeader), secret_) ||
           SameText(CookieValue(request.Header("cookie"), CookieName()), secret_);
}

std::string Security::Refusal(const HttpRequest &request, bool changing) const
{
    if (!SecretGiven(request)) {
        return "this monitor listens beyond loopback: open the URL it printed, with its secret "
               "(a scraper sends it as \"Authorization: Bearer SECRET\")";
    }
    // An address of this machine that the client reached is a name of it:
    // an IP address cannot be rebound to another machine.
    std::vector<std::string> names = names_;
    if (!request.local.empty()) {
        names.push_back(request.local);
    }
    const std::string host = request.Header("host");
    if (!HostAllowed(host, port_, names)) {
        return "the Host '" + host +
               "' is not this monitor's (zorenc monitor --allow-host NAME admits a name)";
    }
    // Same origin: the Origin's host and port are the Host's.
    const std::string origin = request.Header("origin");
    std::string hostName;
    long hostPort = -1;
    SplitAuthority(host, hostName, hostPort);
    if (!origin.empty() && (Lower(origin.substr(0, 7)) != "http://" ||
                            !HostAllowed(origin.substr(7), port_, {hostName}))) {
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
        headers.emplace_back("Set-Cookie",
                             CookieName() + "=" + secret_ + "; Path=/; HttpOnly; SameSite=Strict");
    }
    // The page is not to be framed by another site.
    headers.emplace_back("X-Frame-Options", "DENY");
    headers.emplace_back("Referrer-Policy", "no-referrer");
    return headers;
}

} // namespace zorenc::monitor
