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
 * The machine's serial ports, optionally probed for boards.
 *
 * Request keys (all optional):
 * - "probe": true to ask every port whether a board is there (all ports at
 *   once, about 1 s in all);
 * - "ports": names to add to the listed ports (and probe) even when the
 *   system does not list them, such as a simulated board's pseudo-terminal;
 * - "sysfs_root": Linux: the sysfs folder to read instead of /sys (also
 *   $ZORENC_SYSFS_ROOT).
 *
 * Result: an array of ports, each `{"name", "description", "transport"
 * ("usb"|"native"|"bluetooth"|"virtual"|"unknown"), "vid", "pid",
 * "manufacturer", "product", "serial_number", "location",
 * "latency_timer_ms"}` (null where unknown), sorted by name, listed ports
 * first; with "probe" each also has `"probe": {"result": "board"|"no-answer"|
 * "busy"|"error", "firmware_version", "logic_version", "error"}`. "busy"
 * means another program holds the port's lock (Linux) or has it open
 * (Windows); a program that holds a Linux port without a lock is not seen.
 *
 * The probe creates board handlers of its own: no other thread may create or
 * destroy handlers meanwhile.
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsListPorts(const char *request);

/**
 * The name of the port that a port identity names, for opening it with
 * ZorEncOpen.
 *
 * Request: `{"port": SPEC, "candidates": [NAMES], "sysfs_root": PATH}`, where
 * SPEC is "serial:SN" (the one USB adapter with that serial number),
 * "usb:VVVV:PPPP" (the one adapter with those hexadecimal ids), "auto" (the
 * one port where a probe finds a board, among the listed ports and the
 * candidates) or a plain port name (returned as it is).
 *
 * Result: `{"name": NAME}`. Errors: "usage" for a malformed SPEC;
 * "not-found" when none or several ports match, with the key "found" holding
 * the ports seen (records as ZorToolsListPorts gives them).
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsResolvePort(const char *request);

#ifdef __cplusplus
}
#endif

#endif
