/**
 * @file zorenc_codes.h
 * @brief Names and meanings of zorenc's result codes, for tools and bindings.
 *
 * Header-only and optional: the library itself does not need it. The Python
 * package and the command-line tool take their texts from this table.
 */
#ifndef ZORENC_CODES_H
#define ZORENC_CODES_H

#include <stddef.h>

#include "zorenc.h"

#ifdef __cplusplus
extern "C" {
#endif

/** A result code with its name and meaning. */
typedef struct ZorEncCodeInfo {
    ZorEncResult code;   /**< the code */
    const char *name;    /**< its name, as "ZORENC_ERR_TIMEOUT" */
    const char *meaning; /**< one line saying what it means */
} ZorEncCodeInfo;

/** X-macro over the library's own codes: X(code, meaning). */
/* clang-format off */
#define ZORENC_CODE_TABLE(X) \
    X(ZORENC_OK,           "success") \
    X(ZORENC_ERR_CHECKSUM, "the reply's checksum did not match") \
    X(ZORENC_ERR_PARAM,    "a required pointer is null, or a length or value is out of range") \
    X(ZORENC_ERR_NOT_OPEN, "the handle is not valid or its port is not open") \
    X(ZORENC_ERR_ABORTED,  "the read was aborted by its abort flag") \
    X(ZORENC_ERR_CHANNEL,  "a channel, input or index is out of range") \
    X(ZORENC_ERR_FRAME,    "the reply frame is malformed, or a line is longer than 128 bytes") \
    X(ZORENC_ERR_TIMEOUT,  "no reply from the board within 1000 ms")
/* clang-format on */

/** One ZorEncCodeInfo initialiser from a ZORENC_CODE_TABLE row. */
#define ZORENC_CODE_ENTRY(c, text) {c, #c, text},

/**
 * @brief The name and meaning of a result code.
 * @param code a result of any zorenc function
 * @return the code's entry; a board status byte (1..255 but 0xFA) gives the
 *         name "ZORENC_STATUS", anything else "ZORENC_UNKNOWN".
 */
static inline ZorEncCodeInfo ZorEncDescribe(ZorEncResult code)
{
    static const ZorEncCodeInfo table[] = {ZORENC_CODE_TABLE(ZORENC_CODE_ENTRY)};
    ZorEncCodeInfo status = {code, "ZORENC_STATUS", "the board answered with a non-zero status"};
    ZorEncCodeInfo unknown = {code, "ZORENC_UNKNOWN", "an unknown result code"};
    size_t i;
    for (i = 0; i < sizeof table / sizeof table[0]; ++i) {
        if (table[i].code == code) {
            return table[i];
        }
    }
    return code >= 1 && code <= 255 ? status : unknown;
}

#ifdef __cplusplus
}
#endif

#endif /* ZORENC_CODES_H */
