/**
 * @file zorenc.h
 * @brief zorenc: control of an encoder-and-trigger board on a serial port.
 *
 * An application creates a handler (ZorEncCreateHandler), opens it on a port
 * (ZorEncOpen) and then reads and writes the board's 32-bit registers through
 * the device functions, or directly with ZorEncSendRead / ZorEncSendWrite.
 * Every register access is one request frame and one reply frame within
 * 1000 ms, at 115200 baud 8N1.
 *
 * Result codes: every function that returns ZorEncResult gives ZORENC_OK (0),
 * a status byte of the board (1 to 255; 0xFA means the reply's checksum did
 * not match), or one of the ZORENC_ERR_ codes below.
 *
 * Thread rules: the library starts no thread and takes no lock. Calls on one
 * handle must not overlap; ZorEncCreateHandler, ZorEncCloseHandler and
 * ZorEncRelease must not overlap any other call. Different handles may be
 * used from different threads at once. The abort flag of the raw reads is
 * the one value another thread may change while a call runs.
 *
 * Calling convention: __stdcall on 32-bit Windows (exports decorated
 * _Name\@N), the platform's default elsewhere. Callbacks use the same.
 */
#ifndef ZORENC_H
#define ZORENC_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#define ZORENC_VERSION_MAJOR 1
#define ZORENC_VERSION_MINOR 0
#define ZORENC_VERSION_PATCH 0
#define ZORENC_VERSION_STRING "1.0.0"

#if defined(_WIN32) && !defined(_WIN64)
#define ZORENC_CALL __stdcall
#else
#define ZORENC_CALL
#endif

#if defined(_WIN32)
#define ZORENC_API
#elif defined(ZORENC_BUILDING)
#define ZORENC_API __attribute__((visibility("default")))
#else
#define ZORENC_API
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
 * Frame callback: sees a request as written or a reply as received. The
 * bytes belong to the library and are valid only during the call.
 */
typedef void(ZORENC_CALL *ZorEncEventCallback)(const unsigned char *data, int32_t length);

/** The 32-bit control word of a trigger channel, bit 0 the least significant. */
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

/* ---- Handler table -------------------------------------------------------- */

/** Creates a handler with a closed port in the lowest free slot. Returns its
 *  handle (1 or more), or 0 when memory runs out. */
ZORENC_API ZorEncHandle ZORENC_CALL ZorEncCreateHandler(void);
/** True when the handle names a held slot (its port may be open or closed). */
ZORENC_API bool ZORENC_CALL ZorEncIsValidHandle(ZorEncHandle handle);
/** Destroys the handler (closing its port) and frees its slot and callbacks.
 *  Prints "close_handle() - Index=%d, Pointer=%p" and "close_handle() - delete
 *  Serial" (twice), or "close_handle()" for a handle outside the table. */
ZORENC_API void ZORENC_CALL ZorEncCloseHandler(ZorEncHandle handle);
/** Destroys every handler and empties the table; the next handle is 1. */
ZORENC_API void ZORENC_CALL ZorEncRelease(void);

/* ---- Connection and register transactions -------------------------------- */

/** Opens the handler's port (COM3, \\.\COM12, /dev/ttyUSB0...) at 115200 8N1.
 *  True when the port is open (also when it already was); false on an
 *  invalid handle, a null name or a port that cannot be opened. */
ZORENC_API bool ZORENC_CALL ZorEncOpen(ZorEncHandle handle, const char *portName);
/** Closes the port, keeping the handler. 0, or ZORENC_ERR_NOT_OPEN for an
 *  invalid handle. */
ZORENC_API int32_t ZORENC_CALL ZorEncClose(ZorEncHandle handle);
/** True when the handle is valid and its port open. */
ZORENC_API bool ZORENC_CALL ZorEncIsOpen(ZorEncHandle handle);
/** One register transaction: discards stale received bytes, sends the
 *  request, waits up to 1000 ms for the reply. Returns the reply's status
 *  (0 success, 0xFA checksum mismatch; *out receives the value in both
 *  cases), ZORENC_ERR_NOT_OPEN, ZORENC_ERR_TIMEOUT or ZORENC_ERR_FRAME (out
 *  untouched). out may be null. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendData(ZorEncHandle handle, unsigned char command,
                                                   unsigned short address, uint32_t value,
                                                   uint32_t *out);
/** Sends a request without waiting for its reply; ZORENC_OK or
 *  ZORENC_ERR_NOT_OPEN. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendOnly(ZorEncHandle handle, unsigned char command,
                                                   unsigned short address, uint32_t value);
/** ZorEncSendData with command 'R'. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendRead(ZorEncHandle handle, unsigned short address,
                                                   uint32_t value, uint32_t *out);
/** ZorEncSendData with command 'W'. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendWrite(ZorEncHandle handle, unsigned short address,
                                                    uint32_t value, uint32_t *out);

/* ---- Raw stream reads and callbacks --------------------------------------- */

/** Empties the port's transmit and receive queues; false on an invalid
 *  handle or a closed port. */
ZORENC_API bool ZORENC_CALL ZorEncPurge(ZorEncHandle handle);
/** Reads exactly length bytes into buffer, or ends with ZORENC_ERR_ABORTED
 *  (buffer untouched) within 100 ms of *abortFlag becoming nonzero.
 *  ZORENC_ERR_NOT_OPEN first; then ZORENC_ERR_PARAM for a null buffer, a
 *  length of 0 or less, a null abortFlag, or no memory. reserved is ignored. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncRead(ZorEncHandle handle, unsigned char *buffer,
                                               int32_t reserved, int32_t length,
                                               const volatile unsigned char *abortFlag);
/** Reads bytes up to and including terminator into buffer (room for 128
 *  bytes); bytes after it stay queued. 128 bytes without the terminator: those
 *  128 are copied and ZORENC_ERR_FRAME is returned. Other results as
 *  ZorEncRead. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncReadUntil(ZorEncHandle handle, unsigned char *buffer,
                                                    unsigned char terminator,
                                                    const volatile unsigned char *abortFlag);
/** Sets (null: removes) the callback that sees each request as written.
 *  ZORENC_ERR_PARAM on an invalid handle. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncRegisterSendEvent(ZorEncHandle handle,
                                                            ZorEncEventCallback callback);
/** Sets (null: removes) the callback that sees each reply as received. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncRegisterRecvEvent(ZorEncHandle handle,
                                                            ZorEncEventCallback callback);
/** Stores an error callback; the library never calls it. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncRegisterErrorEvent(ZorEncHandle handle,
                                                             ZorEncEventCallback callback);

/* ---- Encoder channels (channel 0..3, else ZORENC_ERR_CHANNEL) -------------- */

/** Position counter of a channel (REG_ENC_POSITION, offset binary). */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderPosition(ZorEncHandle handle, int32_t channel,
                                                             int32_t *position);
/** Position as count x period / multiplier (multiplier bounded to 8..1023). */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderPositionForAnalog(
    ZorEncHandle handle, int32_t channel, int32_t multiplier, double period, int32_t *position);
/** Position in micrometres: count x period / multiplier (2 or 4, else 1). */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderPositionMicrometer(
    ZorEncHandle handle, int32_t channel, int32_t multiplier, double period, int32_t *position);
/** Counting direction (REG_ENC_DIRECTION, raw). */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderDirection(ZorEncHandle handle, int32_t channel,
                                                              int32_t *direction);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderDirection(ZorEncHandle handle, int32_t channel,
                                                              int32_t direction);
/** Inversion: the same register as the direction. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderInversion(ZorEncHandle handle, int32_t channel,
                                                              int32_t *inversion);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderInversion(ZorEncHandle handle, int32_t channel,
                                                              int32_t inversion);
/** Multiplier for analog encoders (REG_ENC_MULTI_ANALOG, raw). */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderMultiForAnalog(ZorEncHandle handle,
                                                                   int32_t channel,
                                                                   int32_t *multiplier);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderMultiForAnalog(ZorEncHandle handle,
                                                                   int32_t channel,
                                                                   int32_t multiplier);
/** Reset value of the position counter (REG_ENC_RESET_VALUE, offset binary). */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderResetValue(ZorEncHandle handle, int32_t channel,
                                                               int32_t *resetValue);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderResetValue(ZorEncHandle handle, int32_t channel,
                                                               int32_t resetValue);
/** Writes 1 (start) or 0 (stop) to REG_ENC_CALIBRATION. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncStartCalibration(ZorEncHandle handle, int32_t channel);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncStopCalibration(ZorEncHandle handle, int32_t channel);

/* ---- Device settings and maintenance ---------------------------------------- */

/** Encoder resolution in thousandths (REG_ENC_RESOLUTION, unsigned). */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderResolution(ZorEncHandle handle,
                                                               double *resolution);
/** ZORENC_ERR_PARAM for NaN, a negative value or one of 4294967.296 or more. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderResolution(ZorEncHandle handle,
                                                               double resolution);
/** Firmware version: low 16 bits of REG_FIRMWARE_VERSION / 100. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetFirmwareVersion(ZorEncHandle handle, double *version);
/** Logic version: REG_LOGIC_VERSION / 100. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetLogicVersion(ZorEncHandle handle, double *version);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetPositiveRun(ZorEncHandle handle, int32_t *run);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetPositiveRun(ZorEncHandle handle, int32_t run);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetNegativeRun(ZorEncHandle handle, int32_t *run);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetNegativeRun(ZorEncHandle handle, int32_t run);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTrgMode(ZorEncHandle handle, int32_t *trgMode);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTrgMode(ZorEncHandle handle, int32_t trgMode);
/** Virtual-encoder frequency of a channel (REG_VENC_FREQUENCY, raw). */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetVirtualEncoderFrequency(ZorEncHandle handle,
                                                                     int32_t channel,
                                                                     int32_t *frequency);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetVirtualEncoderFrequency(ZorEncHandle handle,
                                                                     int32_t channel,
                                                                     int32_t frequency);
/** Commands: write 1 to REG_LOAD_DEFAULTS, REG_SAVE_FLASH, REG_LOAD_FLASH. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncLoadDefaultParameters(ZorEncHandle handle);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSaveFlash(ZorEncHandle handle);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncLoadFlash(ZorEncHandle handle);

/* ---- Trigger channels (channel 0..3, else ZORENC_ERR_CHANNEL) -------------- */

ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerControls(ZorEncHandle handle, int32_t channel,
                                                             TriggerControls *controls);
/** ZORENC_ERR_PARAM for a null controls. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerControls(ZorEncHandle handle, int32_t channel,
                                                             const TriggerControls *controls);
/** Packs the word; nibble2Code 2 gives 1, 4 gives 2, anything else 0. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerControlsEachTrigger(
    ZorEncHandle handle, int32_t channel, int32_t nibble0, int32_t nibble1, int32_t nibble2Code,
    int32_t nibble3, int32_t nibble4, int32_t nibble5, int32_t nibble6, int32_t bit30,
    int32_t bit31);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerGenerator(ZorEncHandle handle, int32_t channel,
                                                              int32_t *upperHalf,
                                                              int32_t *lowerHalf);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerGenerator(ZorEncHandle handle, int32_t channel,
                                                              int32_t upperHalf, int32_t lowerHalf);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerGeneratorRoll(ZorEncHandle handle,
                                                                  int32_t channel, int32_t *value);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerGeneratorRoll(ZorEncHandle handle,
                                                                  int32_t channel, int32_t value);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerOutputMode(ZorEncHandle handle, int32_t channel,
                                                               int32_t *mode);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerOutputMode(ZorEncHandle handle, int32_t channel,
                                                               int32_t mode);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerPosition0(ZorEncHandle handle, int32_t channel,
                                                              int32_t *position);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerPosition0(ZorEncHandle handle, int32_t channel,
                                                              int32_t position);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerPosition1(ZorEncHandle handle, int32_t channel,
                                                              int32_t *position);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerPosition1(ZorEncHandle handle, int32_t channel,
                                                              int32_t position);
/** With convert not 0, position x multiplier / period counts; ZORENC_ERR_PARAM
 *  for a zero or non-finite period or a result outside 32 bits. */
ZORENC_API ZorEncResult ZORENC_CALL
ZorEncSetTriggerPositionMicrometer0(ZorEncHandle handle, int32_t channel, int32_t position,
                                    int32_t multiplier, double period, int32_t convert);
ZORENC_API ZorEncResult ZORENC_CALL
ZorEncSetTriggerPositionMicrometer1(ZorEncHandle handle, int32_t channel, int32_t position,
                                    int32_t multiplier, double period, int32_t convert);
/** Pulse width in hundredths; the result code is returned as a double. */
ZORENC_API double ZORENC_CALL ZorEncGetTriggerPulseWidth(ZorEncHandle handle, int32_t channel,
                                                         double *pulseWidth);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerPulseWidth(ZorEncHandle handle, int32_t channel,
                                                               double pulseWidth);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerDelay(ZorEncHandle handle, int32_t channel,
                                                          double *delay);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerDelay(ZorEncHandle handle, int32_t channel,
                                                          double delay);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetIndexTriggerLastIndex(ZorEncHandle handle,
                                                                   int32_t channel,
                                                                   int32_t *lastIndex);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetIndexTriggerLastIndex(ZorEncHandle handle,
                                                                   int32_t channel,
                                                                   int32_t lastIndex);
/** index 0..0xEF, else ZORENC_ERR_CHANNEL. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetIndexTriggerPosition(ZorEncHandle handle,
                                                                  int32_t channel, int32_t index,
                                                                  int32_t *position);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetIndexTriggerPosition(ZorEncHandle handle,
                                                                  int32_t channel, int32_t index,
                                                                  int32_t position);

/* ---- Digital inputs (0..6), counters and clears ----------------------------- */

/** The seven digital inputs, 0 or 1 each; null outputs are skipped. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetDI(ZorEncHandle handle, int32_t *input0,
                                                int32_t *input1, int32_t *input2, int32_t *input3,
                                                int32_t *input4, int32_t *input5, int32_t *input6);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetDIState(ZorEncHandle handle, int32_t input,
                                                     int32_t *state);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetDiCount(ZorEncHandle handle, int32_t input,
                                                     int32_t *count);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerCount(ZorEncHandle handle, int32_t channel,
                                                          int32_t *count);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerErrorCount(ZorEncHandle handle, int32_t channel,
                                                               int32_t *count);
/** Clears write a mask to REG_CLEAR. */
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearAll(ZorEncHandle handle);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearDiAll(ZorEncHandle handle);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearDiCount(ZorEncHandle handle, int32_t input);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearTriggerAll(ZorEncHandle handle);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearTriggerCount(ZorEncHandle handle, int32_t channel);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearEncoderPositionAll(ZorEncHandle handle);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearEncoderPosition(ZorEncHandle handle,
                                                               int32_t channel);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearErrorCountAll(ZorEncHandle handle);
ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearErrorCount(ZorEncHandle handle, int32_t channel);

#ifdef __cplusplus
}
#endif

#endif /* ZORENC_H */
