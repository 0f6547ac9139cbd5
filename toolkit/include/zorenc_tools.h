/**
 * @file zorenc_tools.h
 * The zorenc toolkit's companion library: what the zorenc tool, the Python
 * and .NET packages and the monitor share beyond the 82 board functions
 * (finding ports and boards, configuration files, captures).
 *
 * Conventions, the same for every function here:
 * - Structured data crosses this interface as JSON text, one document per
 *   call, UTF-8. A request is a JSON object (NULL or "" for no options).
 * - Every function returns a document that the library allocated; free it
 *   with ZorToolsFree. The document is either `{"ok": true, "result": ...}`
 *   or `{"ok": false, "error": {"kind": KIND, "message": TEXT, ...}}`, where
 *   KIND is one of "usage" (a malformed request or value: nothing was done),
 *   "board" (the port or the board failed), "not-found" (no match, or more
 *   than one), "internal". Errors may carry more keys (documented per call).
 * - NULL is returned only when memory for the answer cannot be had.
 * - No exception or signal crosses the interface; calls never hang (every
 *   wait is bounded).
 * - Calling convention: cdecl on every platform, undecorated names.
 * - The library calls the 82 board functions through zorenc_x64 / zorenc_x32
 *   / libzorenc_x64.so; handles passed in are that library's handles.
 */
#ifndef ZORENC_TOOLS_H
#define ZORENC_TOOLS_H

#include <stdint.h>

#include "zorenc.h"

#if defined(_WIN32)
#define ZORTOOLS_CALL __cdecl
#if defined(ZORTOOLS_BUILDING)
#define ZORTOOLS_API __declspec(dllexport)
#else
#define ZORTOOLS_API __declspec(dllimport)
#endif
#else
#define ZORTOOLS_CALL
#if defined(ZORTOOLS_BUILDING)
#define ZORTOOLS_API __attribute__((visibility("default")))
#else
#define ZORTOOLS_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Frees a document returned by any function of this library; NULL is ignored. */
ZORTOOLS_API void ZORTOOLS_CALL ZorToolsFree(char *document);

/**
 * The library's version: result `{"version": "1.0.0", "board_library": NAME}`,
 * where NAME is the file name of the 82-function library it calls.
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsVersion(void);

/**
 * Starts writing the handle's traffic to a pcapng file: every request the
 * library writes and every reply it decodes, with its time and direction,
 * for Wireshark's `zorenc` dissector (share/zorenc/wireshark/zorenc.lua).
 * The capture takes the handle's send and receive frame callbacks (register
 * none while it runs). Request: `{"path": FILE, "port": NAME}`; NAME becomes
 * the capture's interface name (default "zorenc"). Result `{"path": FILE}`.
 * Errors: "usage" for a missing path, a file that cannot be written, a handle
 * that is not valid or already captured, or more than 16 captures at once.
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureStart(ZorEncHandle handle, const char *request);

/**
 * Tells the capture how the handle's last call ended (its ZorEncResult): a
 * time-out or a frame error is written as a comment on the request it ended.
 * Result `{"noted": true}`, or false when the handle has no capture.
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureNote(ZorEncHandle handle, uint32_t result);

/**
 * Ends the handle's capture, removing its callbacks and closing the file.
 * Result `{"path", "requests", "replies", "annotated"}`; "not-found" when the
 * handle has no capture; "board" when a write to the file failed (the error
 * then carries "path").
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureStop(ZorEncHandle handle);

#ifdef __cplusplus
}
#endif

#endif
