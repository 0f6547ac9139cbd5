/* The public header compiled as strict C99, with the sizes that C callers on
 * every target rely on. */
#include "zorenc.h"

#define CHECK_SIZE(name, condition) typedef char name[(condition) ? 1 : -1]

CHECK_SIZE(handle_is_pointer_sized, sizeof(ZorEncHandle) == sizeof(void *));
CHECK_SIZE(result_is_32_bits, sizeof(ZorEncResult) == 4);
CHECK_SIZE(boolean_results_are_one_byte, sizeof(bool) == 1);
CHECK_SIZE(trigger_controls_are_one_word, sizeof(TriggerControls) == 4);

/* Callers keep the functions in pointers written with ZORENC_CALL. */
typedef ZorEncResult(ZORENC_CALL *RegisterFn)(ZorEncHandle, ZorEncEventCallback);
typedef double(ZORENC_CALL *PulseWidthFn)(ZorEncHandle, int32_t, double *);

int zorenc_header_c_check(void);
int zorenc_header_c_check(void)
{
    const RegisterFn on_send = ZorEncRegisterSendEvent;
    const PulseWidthFn pulse_width = ZorEncGetTriggerPulseWidth;
    return on_send != 0 && pulse_width != 0;
}
