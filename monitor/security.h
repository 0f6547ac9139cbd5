// Who may use the monitor. It listens on loopback unless told otherwise; then
// every request must carry the run's secret (the printed URL has it). A
// request that changes the board must carry the run's token, which the page
// gets from the server, and no request may name a foreign Host or Origin
// (cross-site requests, DNS rebinding). There are no CORS headers at all.
#pragma once

#include <string>
#include <vector>

#include "http_server.h"

namespace zorenc::monitor {

// 32 random bytes in hex.
std::string RandomSecret();

class Security {
public:
    // address: what the server listens on; port: where it does.
    Security(const std::string &address, unsigned port);

    bool Loopback() const { return loopback_; }
    // Empty on loopback.
    const std::string &Secret() const { return secret_; }
    const std::string &Token() const { return token_; }
    // The URL to print: with ?secret=... when one is needed.
    std::string Url() const;

    // Empty when the request may go on; else why it is refused (403).
    // changing: the request changes the board (needs the token).
    std::string Refusal(const HttpRequest &request, bool changing) const;

    // Headers that the answer to an accepted request carries: the secret as
    // a cookie, so that the page's later requests (event streams too) have
    // it without putting it into every URL.
    std::vector<std::pair<std::string, std::string>>
    AnswerHeaders(const HttpRequest &request) const;

private:
    bool HostAllowed(const std::string &host) const;
    bool SecretGiven(const HttpRequest &request) const;

    bool loopback_;
    bool wildcard_;
    std::string address_;
    unsigned port_;
    std::string secret_;
    std::string token_;
};

} // namespace zorenc::monitor
