// Who may use the monitor. It listens on loopback unless told otherwise; then
// every request must carry the run's secret (the printed URL has it; a
// scraper sends it as a bearer token). A
// request that changes the board must carry the run's token, which the page
// gets from the server, and no request may name a foreign Host or Origin
// (cross-site requests, DNS rebinding). There are no CORS headers at all.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "http_request.h"

namespace zorenc::monitor {

// 32 random bytes in hex.
std::string RandomSecret();

// Whether a Host header (NAME or NAME:PORT, an IPv6 address in brackets)
// names a server on port by one of names, exactly: host names compared
// without regard to case, addresses as addresses (::ffff:10.0.0.1 is
// 10.0.0.1). Without a port only for port 80. The one check of every name a
// request may use; an Origin is the same check of its host and port.
bool HostAllowed(const std::string &host, unsigned port, const std::vector<std::string> &names);

// A name given with --allow-host (a host name or an IP address, an IPv6
// one with or without brackets, no port) in lower case; empty when it is
// none of these.
std::string AllowedHostName(const std::string &name);

class Security {
public:
    // address: what the server listens on; port: where it does; allowHosts:
    // more names that clients may use for it (--allow-host).
    Security(const std::string &address, unsigned port,
             const std::vector<std::string> &allowHosts = {});

    bool Loopback() const { return loopback_; }
    // Empty on loopback.
    const std::string &Secret() const { return secret_; }
    const std::string &Token() const { return token_; }
    // The URL to print: with ?secret=... when one is needed.
    std::string Url() const;
    // The names a Host may use besides the address a client reached.
    const std::vector<std::string> &Names() const { return names_; }

    // Empty when the request may go on; else why it is refused (403).
    // changing: the request changes the board (needs the token).
    std::string Refusal(const HttpRequest &request, bool changing) const;

    // Headers that the answer to an accepted request carries: the secret as
    // a cookie of this monitor's own (its name holds the port, so that two
    // monitors on one machine keep theirs apart), so that the page's later
    // requests (event streams too) have it without putting it into every
    // URL.
    std::vector<std::pair<std::string, std::string>>
    AnswerHeaders(const HttpRequest &request) const;

private:
    bool SecretGiven(const HttpRequest &request) const;
    std::string CookieName() const;

    bool loopback_;
    bool wildcard_;
    std::string address_;
    unsigned port_;
    std::vector<std::string> names_;
    std::string secret_;
    std::string token_;
};

} // namespace zorenc::monitor
