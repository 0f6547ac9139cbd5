// JSON for the companion library and its front ends: nlohmann's, with object
// members kept in the order they were written.
#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

#include "text.h"

namespace zorenc::companion {
using Json = nlohmann::ordered_json;

// One line as the zorenc tool prints its documents: a space after each ','
// and ':', numbers in their shortest form (1.5, 0.28, 2 for 2.0), not-finite
// numbers as null, invalid UTF-8 replaced rather than refused.
std::string DumpLine(const Json &json);

// The same without the spaces: the answers of the C interface and of the
// monitor, for programs to read.
std::string DumpCompact(const Json &json);

// The limits of every JSON document the companion reads: configuration files,
// the C interface's requests and the monitor's request bodies. A whole
// configuration is about 15 KB and four levels deep (five in a request).
constexpr size_t kMaxJsonBytes = 1024 * 1024;
constexpr int kMaxJsonDepth = 16;

// Reads text as one JSON document, holding the stack and the memory within
// bounds whatever the text. Refuses, as a usage Failure: text longer than
// maxBytes (before reading it), nesting deeper than kMaxJsonDepth, a number
// beyond the range of a double (1e309), a key given twice in one object, a
// string or key holding U+0000, and any syntax error. The message names the
// document (what, "the request") and the place ("line 2, column 13: ...");
// the details hold "faults" (that message), "line" and "column".
Json ReadJson(const std::string &text, const std::string &what, size_t maxBytes = kMaxJsonBytes);

} // namespace zorenc::companion
