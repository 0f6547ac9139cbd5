/* A zorenc user's program, built against an install tree the way the package
 * documentation says: natively through pkg-config and find_package, with
 * MinGW through the DLLs' import libraries, and with clang for MSVC through
 * the .lib files and no C runtime (CONSUMER_FREESTANDING, entry point
 * consumer_start).
 *
 * It references every exported function (exports.inc), so that linking it
 * proves that the import library resolves each one, and makes calls that
 * the library answers without a board, with arguments of every width, so
 * that a calling-convention mismatch shows. With ZORENC_TEST_PORT set (a
 * simulated board's port) it also talks to the board.
 *
 * Exit code: the number of failed checks. */
#include "zorenc.h"

#ifndef CONSUMER_FREESTANDING
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#endif

#ifndef EXPECTED_VERSION
#error "build with -DEXPECTED_VERSION=\"x.y.z\""
#endif

typedef void (*AnyFunction)(void);

#define ZORENC_FN(name, bytes) (AnyFunction) name,
AnyFunction const consumer_exports[] = {
#include "exports.inc"
};
#undef ZORENC_FN

#ifdef CONSUMER_FREESTANDING
/* Set by the compiler's floating-point code; normally the C runtime's. */
int _fltused = 0;
#define CHECK(condition) failures += (condition) ? 0 : 1
#else
#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            printf("consumer: check failed at line %d: %s\n", __LINE__, #condition);               \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)
#endif

static int SameText(const char *a, const char *b)
{
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

/* Calls that need no board. */
static int OfflineChecks(void)
{
    int failures = 0;
    AnyFunction const *volatile table = consumer_exports;
    unsigned long i;
    for (i = 0; i < sizeof consumer_exports / sizeof consumer_exports[0]; ++i) {
        CHECK(table[i] != 0);
    }
    CHECK(sizeof consumer_exports / sizeof consumer_exports[0] == 82);
    CHECK(SameText(ZORENC_VERSION_STRING, EXPECTED_VERSION));
    CHECK(ZORENC_VERSION_NUMBER ==
          ZORENC_VERSION_MAJOR * 10000 + ZORENC_VERSION_MINOR * 100 + ZORENC_VERSION_PATCH);

    ZorEncHandle handle = ZorEncCreateHandler();
    CHECK(handle == 1);
    CHECK(ZorEncIsValidHandle(handle));
    CHECK(!ZorEncIsOpen(handle));
    CHECK(!ZorEncIsValidHandle(handle + 1));
    /* Doubles, a 44-byte argument list, a double result. */
    CHECK(ZorEncSetEncoderResolution(handle, -1.0) == ZORENC_ERR_PARAM);
    CHECK(ZorEncSetTriggerPositionMicrometer0(handle, 0, 1000, 4, 0.0, 1) == ZORENC_ERR_PARAM);
    CHECK(ZorEncSetTriggerControlsEachTrigger(handle, 4, 1, 2, 2, 3, 4, 5, 6, 1, 1) ==
          ZORENC_ERR_CHANNEL);
    double width = -1.0;
    CHECK(ZorEncGetTriggerPulseWidth(handle, 0, &width) == (double)ZORENC_ERR_NOT_OPEN);
    CHECK(ZorEncGetTriggerPulseWidth(handle, 9, &width) == (double)ZORENC_ERR_CHANNEL);
    CHECK(ZorEncGetIndexTriggerPosition(handle, 0, 0xF0, 0) == ZORENC_ERR_CHANNEL);
    uint32_t value = 7;
    CHECK(ZorEncSendRead(handle, 0xF000, 0, &value) == ZORENC_ERR_NOT_OPEN && value == 7);
    unsigned char line[128];
    unsigned char abortFlag = 0;
    CHECK(ZorEncReadUntil(handle, line, '\n', &abortFlag) == ZORENC_ERR_NOT_OPEN);
    CHECK(ZorEncRegisterSendEvent(handle, 0) == ZORENC_OK);
    CHECK(ZorEncRegisterSendEvent(0, 0) == ZORENC_ERR_PARAM);
    CHECK(ZorEncClose(handle) == 0);
    CHECK(ZorEncClose(handle + 100) == (int32_t)ZORENC_ERR_NOT_OPEN);
    ZorEncCloseHandler(handle);
    CHECK(!ZorEncIsValidHandle(handle));
    ZorEncRelease();
    return failures;
}

#ifdef CONSUMER_FREESTANDING

int consumer_start(void);
int consumer_start(void)
{
    return OfflineChecks();
}

#else

static int sentFrames;

static void ZORENC_CALL OnSend(const unsigned char *data, int32_t length)
{
    if (data != 0 && length >= 11 && data[0] == 0x02 && data[length - 1] == 0x03) {
        ++sentFrames;
    }
}

/* A short session with the board on port. */
static int BoardChecks(const char *port)
{
    int failures = 0;
    ZorEncHandle handle = ZorEncCreateHandler();
    CHECK(ZorEncOpen(handle, port));
    CHECK(ZorEncRegisterSendEvent(handle, OnSend) == ZORENC_OK);
    double version = 0.0;
    CHECK(ZorEncGetFirmwareVersion(handle, &version) == ZORENC_OK);
    CHECK(version == 1.5);
    CHECK(ZorEncSetTrgMode(handle, 3) == ZORENC_OK);
    int32_t mode = 0;
    CHECK(ZorEncGetTrgMode(handle, &mode) == ZORENC_OK && mode == 3);
    CHECK(ZorEncSetTriggerDelay(handle, 1, 1.5) == ZORENC_OK);
    double delay = 0.0;
    CHECK(ZorEncGetTriggerDelay(handle, 1, &delay) == ZORENC_OK && delay == 1.5);
    CHECK(sentFrames == 5);
    CHECK(ZorEncClose(handle) == 0);
    ZorEncRelease();
    printf("consumer: board on %s: firmware %.2f, %d frames sent\n", port, version, sentFrames);
    return failures;
}

int main(void)
{
    int failures = OfflineChecks();
    const char *port = getenv("ZORENC_TEST_PORT");
    if (port != NULL && *port != '\0') {
        failures += BoardChecks(port);
    }
    printf("consumer: zorenc %s, %d exports, %d failed checks\n", ZORENC_VERSION_STRING,
           (int)(sizeof consumer_exports / sizeof consumer_exports[0]), failures);
    return failures;
}

#endif
