/**
 * @file zorenc_tools.h
 * The companion library of zorenc: what the zorenc tool, the Python
 * and .NET packages and the monitor share beyond the 82 board functions
 * (finding ports and boards, configuration files, captures).
 *
 * Conventions, the same for every function here:
 * - Structured data crosses this interface as JSON text, one document per
 *   call, UTF-8. A request is a JSON object (NULL or "" for no options).
 *   Requests are read within limits, whatever the caller's stack: at most
 *   1 MiB (1048576 bytes; a longer request is refused before it is read
 *   whole) and 16 levels of nesting (a configuration needs five). A request
 *   beyond them, or with a number beyond the range of a double (1e309), a
 *   key given twice in one object, a string or key holding U+0000, or a
 *   syntax error, is a "usage" error whose message names the place and whose
 *   error carries `"line"` and `"column"`.
 * - Strings the system gives as raw bytes (a USB adapter's manufacturer,
 *   product and serial number) have every byte that is not UTF-8 written as
 *   the four characters \xNN.
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
 * Request: `{"port": IDENTITY, "candidates": [NAMES], "sysfs_root": PATH}`, where
 * IDENTITY is "serial:SN" (the one USB adapter with that serial number),
 * "usb:VVVV:PPPP" (the one adapter with those hexadecimal ids), "auto" (the
 * one port where a probe finds a board, among the listed ports and the
 * candidates) or a plain port name (returned as it is).
 *
 * Result: `{"name": NAME}`. Errors: "usage" for a malformed IDENTITY;
 * "not-found" when none or several ports match, with the key "found" holding
 * the ports seen (records as ZorToolsListPorts gives them).
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsResolvePort(const char *request);

/* ---- Configuration files (docs/config.md) ------------------------------------------------ */

/**
 * Reads every setting the board keeps in flash. Request: `{"port": NAME,
 * "serial_number": TEXT}` (both optional, null when unknown). Result: the
 * configuration document `{"format": "zorenc-board-config", "version": 1,
 * "saved", "board", "settings"}`.
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigSave(ZorEncHandle handle, const char *request);

/**
 * Checks a configuration without a board. Request: `{"config": DOCUMENT}` or
 * `{"text": FILE_TEXT}` (read within the limits of a request). Result:
 * `{"entries": N, "warnings": [TEXT...]}`, the warnings naming values with
 * more decimals than their unit and what the board is given instead
 * ("settings.trigger-delay[0]: 0.295 is stored as 0.29 (trigger-delay is kept
 * in hundredths)"). A faulty configuration is a "usage" error with
 * `"faults"`: every fault found, one text each; one that cannot be read
 * (syntax, limits) also has `"line"` and `"column"`.
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigCheck(const char *request);

/**
 * Compares the board with a configuration (request as ZorToolsConfigCheck,
 * checked the same way first). Result: an array of `{"setting", "channel",
 * "index", "board", "file"}`, empty when they match.
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigDiff(ZorEncHandle handle, const char *request);

/**
 * Applies a configuration. Request: as ZorToolsConfigCheck, plus `"flash"`
 * (save to flash once everything is written and verified) and `"force"`
 * (apply a file saved from other firmware or logic versions). The whole
 * configuration is checked before anything is sent; then only the settings
 * that differ are written, each read back, until one fails. Every setting
 * that differed is in one of three lists of labels ("trigger-delay 2",
 * "index-trigger-position 1 17"), in the order they are written:
 * - `"verified"`: written and read back equal;
 * - `"unconfirmed"`: sent, outcome unknown (the reply never came, came
 *   malformed or refused, or the read-back failed or differed): the board may
 *   or may not hold it; read it again, or apply again;
 * - `"not_sent"`: never sent.
 * `"written"` is the same as "verified"; `"not_written"` is "unconfirmed"
 * followed by "not_sent". Both are the keys of earlier releases and are kept
 * for one more release: read the three lists instead.
 * Result: `{"verified", "unconfirmed", "not_sent", "written", "not_written",
 * "unchanged": N, "flash": BOOL, "warnings": [TEXT...]}` (warnings as
 * ZorToolsConfigCheck). A "board" error carries `"reason"`:
 * "version" (nothing written, the lists empty), "write" (with `"setting"`, the
 * one that failed, and the lists) or "flash" (every setting verified, the
 * save to flash failed).
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigApply(ZorEncHandle handle, const char *request);

/* ---- One setting by name, with the checks of zorenc set ----------------------------------- */

/**
 * Reads one setting. Request: `{"setting": NAME, "channel": CH, "input": N,
 * "index": I, "args": [...]}` (the keys the setting needs; "args" for the
 * extra arguments some getters take; numbers, or decimal strings such as
 * "2"). Result: the object `zorenc get --json` prints, such as
 * `{"setting": "trigger-delay", "channel": 0, "value": 0.29}`; a channel or
 * input setting asked without its channel or input reads every one and
 * answers an array of such objects, as `zorenc get` does.
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsGetSetting(ZorEncHandle handle, const char *request);

/**
 * Writes one setting, then reads it back. Request: as ZorToolsGetSetting, with
 * `"value": VALUE` or `"values": [VALUE...]` (a form of zorenc set's values),
 * each a JSON number or a decimal string ("0.29", "0x1F"); a string with a NUL
 * or anything after the number is refused. Strings keep the decimal exactly
 * as written, cut to the unit (0.29 is 29 hundredths). A value out of what the setting takes is a "usage" error whose
 * message gives the range ("FREQUENCY -200 is out of range 0..2147483647"),
 * and nothing is written. Result: the read-back, as ZorToolsGetSetting gives
 * it, with `"note"` when a value had more decimals than its unit ("0.299 is
 * stored as 0.29 (trigger-delay is kept in hundredths)").
 */
ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsSetSetting(ZorEncHandle handle, const char *request);

/* ---- Captures (docs/capture.md) ---------------------------------------------------------------
 */

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
