/**
 * @file zorenc.h
 * @brief zorenc: control of an encoder-and-trigger board on a serial port.
 *
 * An application creates a handler (ZorEncCreateHandler()), opens it on a
 * port (ZorEncOpen()) and then reads and writes the board's 32-bit registers
 * through the device functions, or directly with ZorEncSendRead() and
 * ZorEncSendWrite(). Every register access is one request frame and one reply
 * frame within 1000 ms, at 115200 baud 8N1 (docs/protocol.md); the registers
 * and their encodings are listed in docs/registers.md.
 *
 * @section zorenc_results Result codes
 * Every function that returns ZorEncResult gives ZORENC_OK (0), a status byte
 * of the board (1 to 255; 0xFA, ZORENC_ERR_CHECKSUM, when the reply's
 * checksum did not match), or one of the ZORENC_ERR_ codes. zorenc_codes.h
 * has their names and meanings as text.
 *
 * @section zorenc_transaction The transaction result
 * A device function that passes its own checks performs exactly one register
 * transaction (ZorEncSendData()) and returns its result unchanged:
 * - ZORENC_OK: the board carried out the access;
 * - 1 to 255: the board's status byte for a refused access (0xFA: the reply's
 *   checksum did not match);
 * - ZORENC_ERR_NOT_OPEN: the handle is not valid or its port is not open
 *   (nothing is sent), or the library closed the port during the call
 *   (@ref zorenc_port_failure);
 * - ZORENC_ERR_TIMEOUT: no complete reply within 1000 ms;
 * - ZORENC_ERR_FRAME: the reply was malformed.
 *
 * Range checks come first: a channel (0..3), input (0..6) or index (0..0xEF)
 * out of range is answered ZORENC_ERR_CHANNEL, and a value that a setter's
 * register cannot hold ZORENC_ERR_PARAM, with nothing sent and no output
 * written, whatever the handle.
 *
 * @section zorenc_port_failure A driver that keeps a cancelled operation
 * When a port operation outlasts its time-out, the library cancels it and
 * gives the driver 250 ms to end it. A driver that keeps it even then may
 * still write into the operation's memory at any later time, so the library:
 * - ends the call with ZORENC_ERR_NOT_OPEN, within the call's own bound
 *   plus those 250 ms (a transaction within about 1250 ms);
 * - closes the port: ZorEncIsOpen() is false, later calls on the handle
 *   return ZORENC_ERR_NOT_OPEN at once with nothing sent, ZorEncPurge()
 *   returns false, ZorEncClose() returns 0, and ZorEncOpen() opens the port
 *   again (which fails while the driver still holds the device);
 * - leaves the operation's memory (about 4 KiB, owned by the library, never
 *   the caller's buffer) to the driver for the life of the process: it is
 *   not freed by ZorEncClose(), ZorEncCloseHandler() or ZorEncRelease(),
 *   which neither wait for it nor touch it.
 *
 * @section zorenc_outputs Outputs of the getters
 * A null output pointer is skipped; the register is read all the same. A
 * getter stores into its outputs whenever its transaction took place: the
 * reply's value after a board status or a checksum mismatch, and the decoded
 * form of a zero register after ZORENC_ERR_NOT_OPEN, ZORENC_ERR_TIMEOUT or
 * ZORENC_ERR_FRAME, except that the two position conversions
 * (ZorEncGetEncoderPositionForAnalog(), ZorEncGetEncoderPositionMicrometer())
 * then store 0, whatever the period. Look at the result before the value.
 *
 * @section zorenc_encodings Value encodings
 * - raw: the 32 bits unchanged (int32_t);
 * - offset binary (positions, reset values): register = value + 0x80000000
 *   modulo 2^32, so position 0 is 0x80000000 and -2147483648 is 0;
 * - hundredths (delay, pulse width): register = value x 100 as a signed
 *   32-bit integer, truncated toward zero (0.29 becomes 28);
 * - thousandths (resolution): register = value x 1000, unsigned 32 bits,
 *   truncated toward zero (1.005 becomes 1004).
 *
 * Conversions multiply or divide in double precision and give the same
 * results in the 64-bit and the 32-bit builds.
 *
 * @section zorenc_threads Threads
 * The library starts no thread; every call runs on the caller's thread and
 * blocks until it ends, callbacks included. What may run at once:
 * - Calls on different handles, from any threads: transactions, raw reads,
 *   opening and closing ports, registering callbacks.
 * - ZorEncCreateHandler(), ZorEncIsValidHandle() and ZorEncCloseHandler()
 *   of another handle, beside any of those: the handler table is guarded by
 *   a lock that is held only while a handle is looked up, created or closed,
 *   never during a transaction, so calls on other handles do not wait for
 *   one another. A new handler still takes the lowest free slot.
 *
 * What must never overlap:
 * - Two calls on one handle (a transaction and ZorEncOpen(), ZorEncClose(),
 *   ZorEncPurge(), a registration or another transaction on it): serialise
 *   them, for instance with a lock per handle.
 * - ZorEncCloseHandler() of a handle, or ZorEncRelease(), with any call that
 *   uses that handle (for ZorEncRelease(): any handle). Closing a handler
 *   under a running call is the caller's fault, as freeing memory in use is.
 * - A callback must not call the library on its own handle; it runs inside
 *   the call on that handle. It must not throw.
 *
 * The abort flag of ZorEncRead() and ZorEncReadUntil() is the one value that
 * another thread may change while a call runs: it may raise the flag at any
 * moment (the read ends within about 100 ms); the library only reads it.
 *
 * @section zorenc_quiet Lines on standard output
 * ZorEncOpen(), ZorEncCloseHandler() and ZorEncRelease() print fixed lines
 * to standard output ("connected!!!!!", "connecting failed.", the
 * "close_handle()" and "release()" lines). The environment variable
 * ZORENC_QUIET silences all of them for the process: set to anything but an
 * empty value or "0", the library prints none; unset, empty or "0", it prints
 * them all. The library reads it (GetEnvironmentVariableA on Windows, getenv
 * elsewhere) each time one of those three functions is called, never at
 * load, so a program may set it after loading the library, before its first
 * such call: SetEnvironmentVariable on Windows (what .NET's
 * Environment.SetEnvironmentVariable and Python's os.environ do), setenv
 * elsewhere (.NET's own environment does not reach the C library there).
 * Set it while no other thread calls the library, and do not change it while
 * one does.
 *
 * @section zorenc_exceptions Exceptions
 * In C++ every function is declared noexcept (ZORENC_NOEXCEPT): nothing
 * escapes the library, memory exhaustion included (ZorEncCreateHandler()
 * returns 0, ZorEncOpen() false, ZorEncRead() ZORENC_ERR_PARAM).
 *
 * @section zorenc_convention Calling convention
 * __stdcall on 32-bit Windows (zorenc_x32.dll, exports decorated _Name\@N),
 * the platform's default elsewhere (zorenc_x64.dll, libzorenc_x64.so).
 * Callbacks use the same convention as the exports.
 */
#ifndef ZORENC_H
#define ZORENC_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#include "zorenc_version.h"

#if defined(_WIN32) && !defined(_WIN64)
/** Calling convention of the exports and callbacks: __stdcall on 32-bit Windows. */
#define ZORENC_CALL __stdcall
#else
/** Calling convention of the exports and callbacks: the platform's default. */
#define ZORENC_CALL
#endif

#if defined(_WIN32)
/** Nothing on Windows: the DLLs export through their .def files. */
#define ZORENC_API
#elif defined(ZORENC_BUILDING)
/** Marks a function that the shared library exports. */
#define ZORENC_API __attribute__((visibility("default")))
#else
/** Nothing for a client of the shared library. */
#define ZORENC_API
#endif

#if defined(__cplusplus) &&                                                                        \
    (__cplusplus >= 201103L || (defined(_MSVC_LANG) && _MSVC_LANG >= 201103L))
/** Every function is noexcept in C++: no exception leaves the library. */
#define ZORENC_NOEXCEPT noexcept
#elif defined(__cplusplus)
/** Every function is throw() in C++ before C++11. */
#define ZORENC_NOEXCEPT throw()
#else
/** Nothing in C. */
#define ZORENC_NOEXCEPT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** A handler: a 1-based slot number; only its low 32 bits count. */
typedef intptr_t ZorEncHandle;

/** Result of the transaction, raw-read, registration and device functions. */
typedef uint32_t ZorEncResult;

#define ZORENC_OK 0x0000u           /**< success */
#define ZORENC_ERR_CHECKSUM 0x00FAu /**< the reply's checksum did not match */
#define ZORENC_ERR_PARAM 0xFFF1u    /**< a bad pointer, length or value */
#define ZORENC_ERR_NOT_OPEN 0xFFF2u /**< the handle is not valid or not open */
#define ZORENC_ERR_ABORTED 0xFFF3u  /**< a raw read's abort flag was raised */
#define ZORENC_ERR_CHANNEL 0xFFF4u  /**< channel, input or index out of range */
#define ZORENC_ERR_FRAME 0xFFF6u    /**< malformed reply, or a line too long */
#define ZORENC_ERR_TIMEOUT 0xFFF9u  /**< no complete reply within 1000 ms */

/**
 * Frame callback: sees a request as written or a reply as received. It runs
 * on the calling thread inside ZorEncSendData() or ZorEncSendOnly().
 * @param data The frame's bytes as on the line (stuffed); they belong to the
 *             library and are valid only during the call.
 * @param length Number of bytes at data.
 */
typedef void(ZORENC_CALL *ZorEncEventCallback)(const unsigned char *data, int32_t length);

/**
 * The 32-bit control word of a trigger channel (REG_TRG_CONTROL), bit 0 the
 * least significant; exchanged with the board bit for bit. The meaning of the
 * fields is the board's.
 */
typedef struct TriggerControls {
    uint32_t nibble0 : 4;  /**< bits 0-3 */
    uint32_t nibble1 : 4;  /**< bits 4-7 */
    uint32_t nibble2 : 4;  /**< bits 8-11; read back only when 2 or 4, else 0 */
    uint32_t nibble3 : 4;  /**< bits 12-15 */
    uint32_t nibble4 : 4;  /**< bits 16-19 */
    uint32_t nibble5 : 4;  /**< bits 20-23 */
    uint32_t nibble6 : 4;  /**< bits 24-27 */
    uint32_t reserved : 2; /**< bits 28-29, no field */
    uint32_t bit30 : 1;    /**< bit 30 */
    uint32_t bit31 : 1;    /**< bit 31 */
} TriggerControls;

/**
 * @name Handler table
 * Handlers name a port object in a process-wide table. These functions may
 * run beside calls on other handles from any thread (@ref zorenc_threads);
 * closing a handle must not overlap a call that uses it.
 * @{
 */

/**
 * Creates a handler with a closed port in the lowest free slot.
 * @return The new handle (1 or more; a freed slot is reused before the table
 *         grows), or 0 when memory runs out.
 */
ZORENC_API ZorEncHandle ZORENC_CALL ZorEncCreateHandler(void) ZORENC_NOEXCEPT;
/**
 * Tells whether a handle names a held slot (its port may be open or closed).
 * @param handle Handle; only its low 32 bits count, 0 and negative values
 *               name no slot.
 * @return True for a valid handle, false otherwise.
 */
ZORENC_API bool ZORENC_CALL ZorEncIsValidHandle(ZorEncHandle handle) ZORENC_NOEXCEPT;
/**
 * Destroys a handler: closes its port, drops its callbacks and frees its slot
 * for the next ZorEncCreateHandler(). Prints "close_handle() - Index=%d,
 * Pointer=%p" and "close_handle() - delete Serial" (twice) to standard
 * output, only the first line for a free slot, "close_handle()" for a handle
 * outside the table; nothing when ZORENC_QUIET says so (@ref zorenc_quiet).
 * @param handle Handle to destroy; anything else is harmless.
 */
ZORENC_API void ZORENC_CALL ZorEncCloseHandler(ZorEncHandle handle) ZORENC_NOEXCEPT;
/**
 * Destroys every handler (closing open ports) and empties the table; the next
 * handle is 1. Prints "release() - delete Serial[%d]" for each one destroyed
 * (unless ZORENC_QUIET says otherwise, @ref zorenc_quiet).
 * Call it, or ZorEncCloseHandler() for each handle, before unloading the
 * library: unloading alone leaves ports open.
 */
ZORENC_API void ZORENC_CALL ZorEncRelease(void) ZORENC_NOEXCEPT;

/** @} */

/**
 * @name Connection and register transactions
 * One call on a handle at a time; different handles may be used from
 * different threads at once.
 * @{
 */

/**
 * Opens the handler's port at 115200 baud, 8 data bits, no parity, one stop
 * bit, exclusively. Prints "connected!!!!!" or "connecting failed." to
 * standard output (unless ZORENC_QUIET says otherwise, @ref zorenc_quiet).
 * @param handle Handler from ZorEncCreateHandler().
 * @param portName Port name: COM3, COM12 or \\\\.\\COM12 on Windows (names of
 *                 five characters or more go through the \\\\.\\ device
 *                 namespace; a name that already begins with \\\\.\\ or
 *                 \\\\?\\ is used as it stands); a device path such as
 *                 /dev/ttyUSB0 on Linux, where COMn stands for /dev/ttyS(n-1)
 *                 and a leading \\\\.\\ is dropped.
 * @return True when the port is open, also when it already was (it then stays
 *         open on its first name); false for an invalid handle, a null name,
 *         a port that is missing, busy or refused, or when memory runs out.
 */
ZORENC_API bool ZORENC_CALL ZorEncOpen(ZorEncHandle handle, const char *portName) ZORENC_NOEXCEPT;
/**
 * Closes the handler's port and keeps the handler and its callbacks; the
 * handle stays valid and can be opened again.
 * @param handle Handler from ZorEncCreateHandler().
 * @return 0 (also for a port already closed), or ZORENC_ERR_NOT_OPEN for an
 *         invalid handle.
 */
ZORENC_API int32_t ZORENC_CALL ZorEncClose(ZorEncHandle handle) ZORENC_NOEXCEPT;
/**
 * Tells whether a handle is valid and its port open.
 * @param handle Handle to test.
 * @return True when valid and open.
 */
ZORENC_API bool ZORENC_CALL ZorEncIsOpen(ZorEncHandle handle) ZORENC_NOEXCEPT;
/**
 * One register transaction: discards bytes still in the receive queue, sends
 * the request frame, calls the send callback, waits for a reply frame until
 * 1000 ms after the request began, then calls the receive callback with the
 * bytes received.
 * @param handle Handler with an open port.
 * @param command Command byte: 'R' (0x52) reads, 'W' (0x57) writes; any other
 *                byte is sent as given.
 * @param address Register address.
 * @param value Value sent (the value to write; 0 in a plain read).
 * @param[out] out Receives the reply's 32-bit value whenever a reply was
 *                 decoded (status 0, board status or checksum mismatch);
 *                 untouched otherwise; may be null.
 * @return The reply's status byte: ZORENC_OK, a board status 1 to 255, or
 *         ZORENC_ERR_CHECKSUM (0xFA) when its checksum did not match.
 *         ZORENC_ERR_NOT_OPEN for an invalid handle or closed port (nothing
 *         sent), or when the port's driver kept a cancelled operation and the
 *         port was closed (@ref zorenc_port_failure); ZORENC_ERR_TIMEOUT
 *         when no reply ends within 1000 ms, or
 *         1024 bytes arrive without one; ZORENC_ERR_FRAME for a malformed
 *         reply (receive callback not called).
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendData(ZorEncHandle handle, unsigned char command,
                                                   unsigned short address, uint32_t value,
                                                   uint32_t *out) ZORENC_NOEXCEPT;
/**
 * Sends a request frame without waiting for its reply (after discarding bytes
 * still in the receive queue) and calls the send callback. The reply stays in
 * the receive queue: ZorEncRead() can take it, the next transaction discards
 * it.
 * @param handle Handler with an open port.
 * @param command Command byte, as in ZorEncSendData().
 * @param address Register address.
 * @param value Value sent.
 * @return ZORENC_OK at once, or ZORENC_ERR_NOT_OPEN (nothing sent; or, after
 *         the request's write timed out and the driver kept it, the port was
 *         closed: @ref zorenc_port_failure).
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendOnly(ZorEncHandle handle, unsigned char command,
                                                   unsigned short address,
                                                   uint32_t value) ZORENC_NOEXCEPT;
/**
 * Reads a register: ZorEncSendData() with command 'R'.
 * @param handle Handler with an open port.
 * @param address Register address.
 * @param value Value sent in the request (0 for a plain read).
 * @param[out] out Receives the register's value; may be null.
 * @return As ZorEncSendData().
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendRead(ZorEncHandle handle, unsigned short address,
                                                   uint32_t value, uint32_t *out) ZORENC_NOEXCEPT;
/**
 * Writes a register: ZorEncSendData() with command 'W'.
 * @param handle Handler with an open port.
 * @param address Register address.
 * @param value Value to write.
 * @param[out] out Receives the value of the board's reply; may be null.
 * @return As ZorEncSendData().
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendWrite(ZorEncHandle handle, unsigned short address,
                                                    uint32_t value, uint32_t *out) ZORENC_NOEXCEPT;

/** @} */

/**
 * @name Raw stream reads and callbacks
 * The raw reads use the port as a plain byte stream. They have no time-out of
 * their own: they end when their data are complete or when the caller's abort
 * flag, a byte that another thread may raise while they run, is nonzero. The
 * library only reads the flag; clear it before the next read. Registration
 * must not overlap a transaction on the same handle (@ref zorenc_threads).
 * @{
 */

/**
 * Empties the port's transmit and receive queues.
 * @param handle Handler with an open port.
 * @return True on success; false for an invalid handle or a closed port.
 */
ZORENC_API bool ZORENC_CALL ZorEncPurge(ZorEncHandle handle) ZORENC_NOEXCEPT;
/**
 * Reads exactly length bytes from the port. The abort flag is looked at after
 * every port read and at least every 50 ms while nothing arrives.
 * @param handle Handler with an open port.
 * @param[out] buffer Receives the length bytes, only when all have arrived.
 * @param reserved Ignored.
 * @param length Number of bytes to read, 1 or more.
 * @param abortFlag The caller's abort byte; nonzero ends the read.
 * @return ZORENC_OK when the bytes are in buffer; ZORENC_ERR_NOT_OPEN first
 *         for an invalid handle or closed port; ZORENC_ERR_PARAM for a null
 *         buffer or abortFlag, a length of 0 or less, or no memory for length
 *         bytes; ZORENC_ERR_ABORTED within 100 ms of the flag being raised
 *         (buffer untouched, the bytes read so far are lost);
 *         ZORENC_ERR_NOT_OPEN also when the port's driver kept a cancelled
 *         read or wait and the port was closed (@ref zorenc_port_failure;
 *         buffer untouched).
 */
ZORENC_API ZorEncResult ZORENC_CALL
ZorEncRead(ZorEncHandle handle, unsigned char *buffer, int32_t reserved, int32_t length,
           const volatile unsigned char *abortFlag) ZORENC_NOEXCEPT;
/**
 * Reads bytes up to and including a terminator, one at a time, so that bytes
 * after it stay queued. No count is given back and no zero byte is appended.
 * @param handle Handler with an open port.
 * @param[out] buffer Room for 128 bytes; receives the line, terminator last.
 * @param terminator The byte that ends the line.
 * @param abortFlag The caller's abort byte, as in ZorEncRead().
 * @return ZORENC_OK with the line in buffer; ZORENC_ERR_FRAME when 128 bytes
 *         arrive without the terminator (those 128 are copied to buffer);
 *         ZORENC_ERR_NOT_OPEN, ZORENC_ERR_PARAM (null buffer or abortFlag)
 *         and ZORENC_ERR_ABORTED (bytes gathered are lost) as ZorEncRead().
 */
ZORENC_API ZorEncResult ZORENC_CALL
ZorEncReadUntil(ZorEncHandle handle, unsigned char *buffer, unsigned char terminator,
                const volatile unsigned char *abortFlag) ZORENC_NOEXCEPT;
/**
 * Sets the callback that sees each request frame as written, replacing any
 * earlier one. It stays until replaced or the handler is destroyed
 * (ZorEncClose() keeps it).
 * @param handle Valid handle; its port may be closed.
 * @param callback The callback, or null to remove it.
 * @return ZORENC_OK, or ZORENC_ERR_PARAM for an invalid handle.
 */
ZORENC_API ZorEncResult ZORENC_CALL
ZorEncRegisterSendEvent(ZorEncHandle handle, ZorEncEventCallback callback) ZORENC_NOEXCEPT;
/**
 * Sets the callback that sees each decoded reply as received (all bytes
 * collected, including any ahead of the frame), replacing any earlier one.
 * @param handle Valid handle; its port may be closed.
 * @param callback The callback, or null to remove it.
 * @return ZORENC_OK, or ZORENC_ERR_PARAM for an invalid handle.
 */
ZORENC_API ZorEncResult ZORENC_CALL
ZorEncRegisterRecvEvent(ZorEncHandle handle, ZorEncEventCallback callback) ZORENC_NOEXCEPT;
/**
 * Stores an error callback with the handler; the library never calls it.
 * @param handle Valid handle; its port may be closed.
 * @param callback The callback, or null to remove it.
 * @return ZORENC_OK, or ZORENC_ERR_PARAM for an invalid handle.
 */
ZORENC_API ZorEncResult ZORENC_CALL
ZorEncRegisterErrorEvent(ZorEncHandle handle, ZorEncEventCallback callback) ZORENC_NOEXCEPT;

/** @} */

/**
 * @name Encoder channels
 * Channel 0..3, else ZORENC_ERR_CHANNEL with nothing sent. Positions are
 * counts of the channel's counter. Each function is one transaction
 * (@ref zorenc_transaction); outputs as in @ref zorenc_outputs. One call on a
 * handle at a time.
 * @{
 */

/**
 * Reads the position counter of a channel: REG_ENC_POSITION, 0x050C +
 * channel, offset binary.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] position Receives the position in counts; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderPosition(ZorEncHandle handle, int32_t channel,
                                                             int32_t *position) ZORENC_NOEXCEPT;
/**
 * Reads a channel's position (REG_ENC_POSITION) and converts it to a length:
 * count x period / multiplier, multiplied first, truncated toward zero.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param multiplier Counts per period, bounded to 8..1023 (smaller values
 *                   count as 8, larger ones as 1023).
 * @param period Length of multiplier counts, in the caller's unit; finite.
 * @param[out] position Receives the length; 0 after a transaction that
 *                      delivered no count (ZORENC_ERR_NOT_OPEN,
 *                      ZORENC_ERR_TIMEOUT, ZORENC_ERR_FRAME), whatever the
 *                      period; may be null.
 * @return ZORENC_ERR_CHANNEL; ZORENC_ERR_PARAM for a period that is not finite
 *         (nothing sent), or for a length outside 32 bits after a read that
 *         delivered a count (position untouched); else the transaction's
 *         result.
 */
ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetEncoderPositionForAnalog(ZorEncHandle handle, int32_t channel, int32_t multiplier,
                                  double period, int32_t *position) ZORENC_NOEXCEPT;
/**
 * Reads a channel's position (REG_ENC_POSITION) in micrometres: count x
 * period / multiplier, multiplied first, truncated toward zero.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param multiplier Counts per period: 2 or 4; any other value counts as 1.
 * @param period Micrometres per multiplier counts; finite.
 * @param[out] position Receives the position in micrometres; 0 after a
 *                      transaction that delivered no count; may be null.
 * @return As ZorEncGetEncoderPositionForAnalog().
 */
ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetEncoderPositionMicrometer(ZorEncHandle handle, int32_t channel, int32_t multiplier,
                                   double period, int32_t *position) ZORENC_NOEXCEPT;
/**
 * Reads a channel's counting direction: REG_ENC_DIRECTION, channel x 0x100 +
 * 0x07, raw (the simulated board counts up for 0, down otherwise).
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] direction Receives the register's value; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderDirection(ZorEncHandle handle, int32_t channel,
                                                              int32_t *direction) ZORENC_NOEXCEPT;
/**
 * Sets a channel's counting direction: REG_ENC_DIRECTION, channel x 0x100 +
 * 0x07, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param direction Value to write.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderDirection(ZorEncHandle handle, int32_t channel,
                                                              int32_t direction) ZORENC_NOEXCEPT;
/**
 * Reads a channel's inversion: the direction register (REG_ENC_DIRECTION,
 * channel x 0x100 + 0x07, raw) under another name.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] inversion Receives the register's value; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderInversion(ZorEncHandle handle, int32_t channel,
                                                              int32_t *inversion) ZORENC_NOEXCEPT;
/**
 * Sets a channel's inversion: writes the direction register
 * (REG_ENC_DIRECTION, channel x 0x100 + 0x07, raw).
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param inversion Value to write.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderInversion(ZorEncHandle handle, int32_t channel,
                                                              int32_t inversion) ZORENC_NOEXCEPT;
/**
 * Reads a channel's multiplier for analog encoders: REG_ENC_MULTI_ANALOG,
 * channel x 0x100 + 0x04, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] multiplier Receives the register's value; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderMultiForAnalog(
    ZorEncHandle handle, int32_t channel, int32_t *multiplier) ZORENC_NOEXCEPT;
/**
 * Sets a channel's multiplier for analog encoders: REG_ENC_MULTI_ANALOG,
 * channel x 0x100 + 0x04, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param multiplier Value to write.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderMultiForAnalog(
    ZorEncHandle handle, int32_t channel, int32_t multiplier) ZORENC_NOEXCEPT;
/**
 * Reads a channel's reset value, the position that clearing the position
 * sets: REG_ENC_RESET_VALUE, channel x 0x100 + 0x0B, offset binary.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] resetValue Receives the reset value in counts; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderResetValue(ZorEncHandle handle, int32_t channel,
                                                               int32_t *resetValue) ZORENC_NOEXCEPT;
/**
 * Sets a channel's reset value: REG_ENC_RESET_VALUE, channel x 0x100 + 0x0B,
 * offset binary.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param resetValue Reset value in counts.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderResetValue(ZorEncHandle handle, int32_t channel,
                                                               int32_t resetValue) ZORENC_NOEXCEPT;
/**
 * Starts a channel's calibration: writes 1 to REG_ENC_CALIBRATION, channel x
 * 0x100 + 0x05. Nothing is read back.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncStartCalibration(ZorEncHandle handle,
                                                           int32_t channel) ZORENC_NOEXCEPT;
/**
 * Stops a channel's calibration: writes 0 to REG_ENC_CALIBRATION, channel x
 * 0x100 + 0x05.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncStopCalibration(ZorEncHandle handle,
                                                          int32_t channel) ZORENC_NOEXCEPT;

/** @} */

/**
 * @name Device settings and maintenance
 * Board-wide registers at 0xF0xx and the virtual-encoder frequencies. Each
 * function is one transaction (@ref zorenc_transaction); outputs as in
 * @ref zorenc_outputs. One call on a handle at a time.
 * @{
 */

/**
 * Reads the encoder resolution: REG_ENC_RESOLUTION (0xF006), unsigned
 * thousandths.
 * @param handle Handler with an open port.
 * @param[out] resolution Receives register / 1000.0 (0 to 4294967.295); may be null.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderResolution(ZorEncHandle handle,
                                                               double *resolution) ZORENC_NOEXCEPT;
/**
 * Sets the encoder resolution: REG_ENC_RESOLUTION (0xF006) = resolution x
 * 1000, truncated toward zero.
 * @param handle Handler with an open port.
 * @param resolution Resolution, 0 to less than 4294967.296, three decimals.
 * @return ZORENC_ERR_PARAM for NaN, a negative value or one of 4294967.296 or
 *         more (nothing sent); else the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderResolution(ZorEncHandle handle,
                                                               double resolution) ZORENC_NOEXCEPT;
/**
 * Reads the firmware version: REG_FIRMWARE_VERSION (0xF000), whose low 16
 * bits hold version x 100 (0x0096 is 1.5).
 * @param handle Handler with an open port.
 * @param[out] version Receives (register AND 0xFFFF) / 100.0; may be null.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetFirmwareVersion(ZorEncHandle handle,
                                                             double *version) ZORENC_NOEXCEPT;
/**
 * Reads the logic version: REG_LOGIC_VERSION (0xF001), version x 100 in all
 * 32 bits, unsigned.
 * @param handle Handler with an open port.
 * @param[out] version Receives register / 100.0; may be null.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetLogicVersion(ZorEncHandle handle,
                                                          double *version) ZORENC_NOEXCEPT;
/**
 * Reads the positive run: REG_POSITIVE_RUN (0xF008), raw.
 * @param handle Handler with an open port.
 * @param[out] run Receives the register's value; may be null.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetPositiveRun(ZorEncHandle handle,
                                                         int32_t *run) ZORENC_NOEXCEPT;
/**
 * Sets the positive run: REG_POSITIVE_RUN (0xF008), raw.
 * @param handle Handler with an open port.
 * @param run Value to write.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetPositiveRun(ZorEncHandle handle,
                                                         int32_t run) ZORENC_NOEXCEPT;
/**
 * Reads the negative run: REG_NEGATIVE_RUN (0xF009), raw.
 * @param handle Handler with an open port.
 * @param[out] run Receives the register's value; may be null.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetNegativeRun(ZorEncHandle handle,
                                                         int32_t *run) ZORENC_NOEXCEPT;
/**
 * Sets the negative run: REG_NEGATIVE_RUN (0xF009), raw.
 * @param handle Handler with an open port.
 * @param run Value to write.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetNegativeRun(ZorEncHandle handle,
                                                         int32_t run) ZORENC_NOEXCEPT;
/**
 * Reads the trigger mode: REG_TRG_MODE (0xF00A), raw.
 * @param handle Handler with an open port.
 * @param[out] trgMode Receives the register's value; may be null.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTrgMode(ZorEncHandle handle,
                                                     int32_t *trgMode) ZORENC_NOEXCEPT;
/**
 * Sets the trigger mode: REG_TRG_MODE (0xF00A), raw.
 * @param handle Handler with an open port.
 * @param trgMode Value to write.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTrgMode(ZorEncHandle handle,
                                                     int32_t trgMode) ZORENC_NOEXCEPT;
/**
 * Reads a channel's virtual-encoder frequency: REG_VENC_FREQUENCY, 0x0400 +
 * channel, raw (counts per second on the simulated board).
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] frequency Receives the register's value; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetVirtualEncoderFrequency(
    ZorEncHandle handle, int32_t channel, int32_t *frequency) ZORENC_NOEXCEPT;
/**
 * Sets a channel's virtual-encoder frequency: REG_VENC_FREQUENCY, 0x0400 +
 * channel, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param frequency Value to write.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetVirtualEncoderFrequency(
    ZorEncHandle handle, int32_t channel, int32_t frequency) ZORENC_NOEXCEPT;
/**
 * Loads the board's default settings: writes 1 to REG_LOAD_DEFAULTS (0xF002).
 * @param handle Handler with an open port.
 * @return The transaction's result; after ZORENC_ERR_TIMEOUT it is unknown
 *         whether the board carried the command out.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncLoadDefaultParameters(ZorEncHandle handle)
    ZORENC_NOEXCEPT;
/**
 * Saves the board's settings to its flash: writes 1 to REG_SAVE_FLASH
 * (0xF003).
 * @param handle Handler with an open port.
 * @return The transaction's result, as ZorEncLoadDefaultParameters().
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSaveFlash(ZorEncHandle handle) ZORENC_NOEXCEPT;
/**
 * Loads the board's settings from its flash: writes 1 to REG_LOAD_FLASH
 * (0xF004).
 * @param handle Handler with an open port.
 * @return The transaction's result, as ZorEncLoadDefaultParameters().
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncLoadFlash(ZorEncHandle handle) ZORENC_NOEXCEPT;

/** @} */

/**
 * @name Trigger channels
 * Registers of the channel's block at channel x 0x100. Channel 0..3, else
 * ZORENC_ERR_CHANNEL with nothing sent. Each function is one transaction
 * (@ref zorenc_transaction); outputs as in @ref zorenc_outputs. One call on a
 * handle at a time.
 * @{
 */

/**
 * Reads a channel's control word: REG_TRG_CONTROL, channel x 0x100 + 0x00.
 * Bits 8-11 (nibble2) are handed over only when they hold 2 or 4, else as 0.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] controls Receives the word; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerControls(
    ZorEncHandle handle, int32_t channel, TriggerControls *controls) ZORENC_NOEXCEPT;
/**
 * Writes a channel's control word unchanged: REG_TRG_CONTROL, channel x 0x100 +
 * 0x00.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param controls The word to write.
 * @return ZORENC_ERR_CHANNEL; ZORENC_ERR_PARAM for a null controls (nothing
 *         sent); else the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerControls(
    ZorEncHandle handle, int32_t channel, const TriggerControls *controls) ZORENC_NOEXCEPT;
/**
 * Packs a control word from its fields and writes it to REG_TRG_CONTROL,
 * channel x 0x100 + 0x00. Each nibble takes the low 4 bits of its argument,
 * each bit the low bit; bits 28-29 are 0.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param nibble0 Bits 0-3.
 * @param nibble1 Bits 4-7.
 * @param nibble2Code Bits 8-11 from a code: 2 gives 1, 4 gives 2, anything
 *                    else 0.
 * @param nibble3 Bits 12-15.
 * @param nibble4 Bits 16-19.
 * @param nibble5 Bits 20-23.
 * @param nibble6 Bits 24-27.
 * @param bit30 Bit 30.
 * @param bit31 Bit 31.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerControlsEachTrigger(
    ZorEncHandle handle, int32_t channel, int32_t nibble0, int32_t nibble1, int32_t nibble2Code,
    int32_t nibble3, int32_t nibble4, int32_t nibble5, int32_t nibble6, int32_t bit30,
    int32_t bit31) ZORENC_NOEXCEPT;
/**
 * Reads a channel's trigger generator as two halves: REG_TRG_GENERATOR,
 * channel x 0x100 + 0x01. The lower half is stored first, so when both
 * pointers name one integer it ends up with the upper half.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] upperHalf Receives bits 16-31, 0 to 65535; may be null.
 * @param[out] lowerHalf Receives bits 0-15, 0 to 65535; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerGenerator(ZorEncHandle handle, int32_t channel,
                                                              int32_t *upperHalf,
                                                              int32_t *lowerHalf) ZORENC_NOEXCEPT;
/**
 * Writes a channel's trigger generator from two halves: REG_TRG_GENERATOR,
 * channel x 0x100 + 0x01 = (upperHalf AND 0xFFFF) << 16 OR (lowerHalf AND
 * 0xFFFF).
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param upperHalf Bits 16-31 (its low 16 bits are used).
 * @param lowerHalf Bits 0-15 (its low 16 bits are used).
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerGenerator(ZorEncHandle handle, int32_t channel,
                                                              int32_t upperHalf,
                                                              int32_t lowerHalf) ZORENC_NOEXCEPT;
/**
 * Reads a channel's trigger generator as one word: REG_TRG_GENERATOR,
 * channel x 0x100 + 0x01, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] value Receives the register's value; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerGeneratorRoll(ZorEncHandle handle,
                                                                  int32_t channel,
                                                                  int32_t *value) ZORENC_NOEXCEPT;
/**
 * Writes a channel's trigger generator as one word: REG_TRG_GENERATOR,
 * channel x 0x100 + 0x01, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param value Value to write.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerGeneratorRoll(ZorEncHandle handle,
                                                                  int32_t channel,
                                                                  int32_t value) ZORENC_NOEXCEPT;
/**
 * Reads a channel's trigger output mode: REG_TRG_OUTPUT_MODE, channel x 0x100 +
 * 0x08, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] mode Receives the register's value; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerOutputMode(ZorEncHandle handle, int32_t channel,
                                                               int32_t *mode) ZORENC_NOEXCEPT;
/**
 * Sets a channel's trigger output mode: REG_TRG_OUTPUT_MODE, channel x 0x100 +
 * 0x08, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param mode Value to write.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerOutputMode(ZorEncHandle handle, int32_t channel,
                                                               int32_t mode) ZORENC_NOEXCEPT;
/**
 * Reads a channel's first trigger position: REG_TRG_POSITION0, channel x
 * 0x100 + 0x02, offset binary.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] position Receives the position in counts; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerPosition0(ZorEncHandle handle, int32_t channel,
                                                              int32_t *position) ZORENC_NOEXCEPT;
/**
 * Sets a channel's first trigger position: REG_TRG_POSITION0, channel x 0x100 +
 * 0x02, offset binary.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param position Position in counts.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerPosition0(ZorEncHandle handle, int32_t channel,
                                                              int32_t position) ZORENC_NOEXCEPT;
/**
 * Reads a channel's second trigger position: REG_TRG_POSITION1, channel x
 * 0x100 + 0x03, offset binary.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] position Receives the position in counts; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerPosition1(ZorEncHandle handle, int32_t channel,
                                                              int32_t *position) ZORENC_NOEXCEPT;
/**
 * Sets a channel's second trigger position: REG_TRG_POSITION1, channel x
 * 0x100 + 0x03, offset binary.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param position Position in counts.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerPosition1(ZorEncHandle handle, int32_t channel,
                                                              int32_t position) ZORENC_NOEXCEPT;
/**
 * Sets a channel's first trigger position (REG_TRG_POSITION0, offset binary)
 * from micrometres: counts = position x multiplier / period, the product
 * taken in 64 bits, the quotient truncated toward zero.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param position Position in micrometres, or in counts when convert is 0.
 * @param multiplier Counts per period, used as given.
 * @param period Micrometres per multiplier counts; nonzero and finite.
 * @param convert 0: position is already in counts (multiplier and period
 *                unused); anything else: convert.
 * @return ZORENC_ERR_CHANNEL; ZORENC_ERR_PARAM when converting with a period
 *         of 0 or not finite, or counts outside 32 bits (nothing sent); else
 *         the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerPositionMicrometer0(
    ZorEncHandle handle, int32_t channel, int32_t position, int32_t multiplier, double period,
    int32_t convert) ZORENC_NOEXCEPT;
/**
 * Sets a channel's second trigger position (REG_TRG_POSITION1, offset binary)
 * from micrometres, as ZorEncSetTriggerPositionMicrometer0().
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param position Position in micrometres, or in counts when convert is 0.
 * @param multiplier Counts per period, used as given.
 * @param period Micrometres per multiplier counts; nonzero and finite.
 * @param convert 0: position is already in counts; anything else: convert.
 * @return As ZorEncSetTriggerPositionMicrometer0().
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerPositionMicrometer1(
    ZorEncHandle handle, int32_t channel, int32_t position, int32_t multiplier, double period,
    int32_t convert) ZORENC_NOEXCEPT;
/**
 * Reads a channel's trigger pulse width: REG_TRG_PULSE_WIDTH, channel x 0x100 +
 * 0x09, signed hundredths (the unit is the board's). The one function whose
 * result code comes back as a double.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] pulseWidth Receives register / 100.0; may be null.
 * @return The result code as a double: 0.0 on success, 65524.0 for
 *         ZORENC_ERR_CHANNEL, 65522.0 for ZORENC_ERR_NOT_OPEN, and so on for
 *         the transaction's result.
 */
ZORENC_API double ZORENC_CALL ZorEncGetTriggerPulseWidth(ZorEncHandle handle, int32_t channel,
                                                         double *pulseWidth) ZORENC_NOEXCEPT;
/**
 * Sets a channel's trigger pulse width: REG_TRG_PULSE_WIDTH, channel x 0x100 +
 * 0x09 = pulseWidth x 100, truncated toward zero.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param pulseWidth Pulse width, two decimals.
 * @return ZORENC_ERR_CHANNEL; ZORENC_ERR_PARAM for NaN, an infinity or a value
 *         whose hundredfold lies outside 32 bits (nothing sent); else the
 *         transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerPulseWidth(ZorEncHandle handle, int32_t channel,
                                                               double pulseWidth) ZORENC_NOEXCEPT;
/**
 * Reads a channel's trigger delay: REG_TRG_DELAY, channel x 0x100 + 0x0A,
 * signed hundredths (the unit is the board's).
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] delay Receives register / 100.0; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerDelay(ZorEncHandle handle, int32_t channel,
                                                          double *delay) ZORENC_NOEXCEPT;
/**
 * Sets a channel's trigger delay: REG_TRG_DELAY, channel x 0x100 + 0x0A =
 * delay x 100, truncated toward zero.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param delay Delay, two decimals.
 * @return ZORENC_ERR_CHANNEL; ZORENC_ERR_PARAM for NaN, an infinity or a value
 *         whose hundredfold lies outside 32 bits (nothing sent); else the
 *         transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerDelay(ZorEncHandle handle, int32_t channel,
                                                          double delay) ZORENC_NOEXCEPT;
/**
 * Reads a channel's last index-trigger index: REG_IDX_TRG_LAST_INDEX,
 * channel x 0x100 + 0x0C, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] lastIndex Receives the register's value; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetIndexTriggerLastIndex(
    ZorEncHandle handle, int32_t channel, int32_t *lastIndex) ZORENC_NOEXCEPT;
/**
 * Sets a channel's last index-trigger index: REG_IDX_TRG_LAST_INDEX,
 * channel x 0x100 + 0x0C, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param lastIndex Value to write.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetIndexTriggerLastIndex(
    ZorEncHandle handle, int32_t channel, int32_t lastIndex) ZORENC_NOEXCEPT;
/**
 * Reads an entry of a channel's index-trigger table: REG_IDX_TRG_POSITION,
 * channel x 0x100 + 0x10 + index, offset binary.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param index Table entry, 0..0xEF.
 * @param[out] position Receives the position in counts; may be null.
 * @return ZORENC_ERR_CHANNEL for a channel or index out of range, or the
 *         transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetIndexTriggerPosition(
    ZorEncHandle handle, int32_t channel, int32_t index, int32_t *position) ZORENC_NOEXCEPT;
/**
 * Sets an entry of a channel's index-trigger table: REG_IDX_TRG_POSITION,
 * channel x 0x100 + 0x10 + index, offset binary.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param index Table entry, 0..0xEF.
 * @param position Position in counts.
 * @return ZORENC_ERR_CHANNEL for a channel or index out of range, or the
 *         transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetIndexTriggerPosition(ZorEncHandle handle,
                                                                  int32_t channel, int32_t index,
                                                                  int32_t position) ZORENC_NOEXCEPT;

/** @} */

/**
 * @name Digital inputs, counters and clears
 * Inputs 0..6 and channels 0..3, else ZORENC_ERR_CHANNEL with nothing sent.
 * The clear functions write a bit mask to REG_CLEAR (0xF005), one bit per
 * item. Each function is one transaction (@ref zorenc_transaction); outputs
 * as in @ref zorenc_outputs. One call on a handle at a time.
 * @{
 */

/**
 * Reads the seven digital inputs at once: REG_DI_STATE (0x0500), bit n is
 * input n.
 * @param handle Handler with an open port.
 * @param[out] input0 Receives input 0, 0 or 1; may be null.
 * @param[out] input1 Receives input 1; may be null.
 * @param[out] input2 Receives input 2; may be null.
 * @param[out] input3 Receives input 3; may be null.
 * @param[out] input4 Receives input 4; may be null.
 * @param[out] input5 Receives input 5; may be null.
 * @param[out] input6 Receives input 6; may be null.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetDI(ZorEncHandle handle, int32_t *input0,
                                                int32_t *input1, int32_t *input2, int32_t *input3,
                                                int32_t *input4, int32_t *input5,
                                                int32_t *input6) ZORENC_NOEXCEPT;
/**
 * Reads one digital input: bit input of REG_DI_STATE (0x0500).
 * @param handle Handler with an open port.
 * @param input Input 0..6.
 * @param[out] state Receives 0 or 1; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetDIState(ZorEncHandle handle, int32_t input,
                                                     int32_t *state) ZORENC_NOEXCEPT;
/**
 * Reads the counter of a digital input: REG_DI_COUNT, 0x0501 + input, raw
 * (rising edges on the simulated board).
 * @param handle Handler with an open port.
 * @param input Input 0..6.
 * @param[out] count Receives the counter; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetDiCount(ZorEncHandle handle, int32_t input,
                                                     int32_t *count) ZORENC_NOEXCEPT;
/**
 * Reads a channel's trigger counter: REG_TRG_COUNT, 0x0508 + channel, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] count Receives the counter; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerCount(ZorEncHandle handle, int32_t channel,
                                                          int32_t *count) ZORENC_NOEXCEPT;
/**
 * Reads a channel's trigger error counter: REG_TRG_ERROR_COUNT, 0x0510 +
 * channel, raw.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @param[out] count Receives the counter; may be null.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerErrorCount(ZorEncHandle handle, int32_t channel,
                                                               int32_t *count) ZORENC_NOEXCEPT;
/**
 * Clears everything the clear register reaches: writes 0xFFFFFFFF to
 * REG_CLEAR (0xF005).
 * @param handle Handler with an open port.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearAll(ZorEncHandle handle) ZORENC_NOEXCEPT;
/**
 * Clears the counters of all digital inputs: writes 0x7F to REG_CLEAR.
 * @param handle Handler with an open port.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearDiAll(ZorEncHandle handle) ZORENC_NOEXCEPT;
/**
 * Clears the counter of one digital input: writes 1 << input to REG_CLEAR.
 * @param handle Handler with an open port.
 * @param input Input 0..6.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearDiCount(ZorEncHandle handle,
                                                       int32_t input) ZORENC_NOEXCEPT;
/**
 * Clears the trigger counters of all channels: writes 0x780 to REG_CLEAR.
 * @param handle Handler with an open port.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearTriggerAll(ZorEncHandle handle) ZORENC_NOEXCEPT;
/**
 * Clears a channel's trigger counter: writes 0x80 << channel to REG_CLEAR.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearTriggerCount(ZorEncHandle handle,
                                                            int32_t channel) ZORENC_NOEXCEPT;
/**
 * Clears the positions of all channels (each goes to its reset value): writes
 * 0x7800 to REG_CLEAR.
 * @param handle Handler with an open port.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearEncoderPositionAll(ZorEncHandle handle)
    ZORENC_NOEXCEPT;
/**
 * Clears a channel's position (it goes to its reset value): writes 0x800 <<
 * channel to REG_CLEAR.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearEncoderPosition(ZorEncHandle handle,
                                                               int32_t channel) ZORENC_NOEXCEPT;
/**
 * Clears the trigger error counters of all channels: writes 0x78000 to
 * REG_CLEAR.
 * @param handle Handler with an open port.
 * @return The transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearErrorCountAll(ZorEncHandle handle) ZORENC_NOEXCEPT;
/**
 * Clears a channel's trigger error counter: writes 0x8000 << channel to
 * REG_CLEAR.
 * @param handle Handler with an open port.
 * @param channel Channel 0..3.
 * @return ZORENC_ERR_CHANNEL, or the transaction's result.
 */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearErrorCount(ZorEncHandle handle,
                                                          int32_t channel) ZORENC_NOEXCEPT;

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* ZORENC_H */
