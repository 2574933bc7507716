#pragma once

/* The device access library of the ADP4021 USB-to-CAN adapter.
 *
 * Every function returns a one-byte boolean, 1 on success, except the five single-value wrappers
 * (GetVexaStatus, GetMode, GetNodeID, GetBaudrate, GetVexaVersion), which return 0 on success and
 * 1 on failure. Outputs are written only on success. The library keeps no error code.
 *
 * Threads: command functions (all but RecvData) from one thread at a time; RecvData may run
 * beside them on another thread. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VEXAAPI_BUILD)
#define VEXAAPI_EXPORT __attribute__((visibility("default")))
#else
#define VEXAAPI_EXPORT
#endif

typedef unsigned char VexaBool;

/* A frame to send. */
typedef struct TxMessage {
    int32_t remote; /* 0 = data frame, 1 = remote frame; anything else is refused */
    uint8_t format; /* 1 = extended (29-bit identifier); anything else: standard */
    uint8_t length; /* 0 to 8 */
    uint32_t identifier;
    uint8_t data[8];
} TxMessage;

/* One received frame. */
typedef struct ReceivedFrame {
    uint32_t loading; /* bus loading in percent */
    uint32_t micros;  /* 0 to 1023 */
    uint32_t millis;  /* 0 to 999 */
    uint32_t seconds; /* 0 to 59 */
    uint32_t minutes; /* 0 to 69 */
    uint32_t status;  /* 0 = data frame, 1 = remote frame */
    uint8_t format;   /* 0 = standard, 1 = extended */
    uint8_t length;   /* 0 to 8 */
    uint32_t identifier;
    uint8_t data[8]; /* only the first `length` bytes are written */
} ReceivedFrame;

/* One data read holds at most this many frames. */
#define VEXA_MAX_FRAMES_PER_READ 18

VEXAAPI_EXPORT VexaBool Vexa_INIT(void);
VEXAAPI_EXPORT VexaBool SetVexa(int32_t nodeId, int32_t baudRate, int32_t workMode,
                                int32_t frameType);
VEXAAPI_EXPORT VexaBool RunVexa(void);
VEXAAPI_EXPORT VexaBool StopVexa(void);
VEXAAPI_EXPORT VexaBool SendSingleData(TxMessage message);
VEXAAPI_EXPORT VexaBool SetMultiData(const TxMessage* messages, int32_t count, int32_t interval,
                                     int32_t cycle);
VEXAAPI_EXPORT VexaBool RunMultiData(void);
VEXAAPI_EXPORT VexaBool StopMultiData(void);
VEXAAPI_EXPORT VexaBool RecvData(int32_t* statusA, int32_t* statusB, int32_t* count,
                                 ReceivedFrame* frames);
VEXAAPI_EXPORT VexaBool GetVexaInfo(int32_t* status, int32_t* mode, int32_t* nodeId,
                                    int32_t* baudRate, int32_t* version);
VEXAAPI_EXPORT VexaBool GetVexaStatus(int32_t* status);
VEXAAPI_EXPORT VexaBool GetMode(int32_t* mode);
VEXAAPI_EXPORT VexaBool GetNodeID(int32_t* nodeId);
VEXAAPI_EXPORT VexaBool GetBaudrate(int32_t* baudRate);
VEXAAPI_EXPORT VexaBool GetVexaVersion(int32_t* version);

#ifdef __cplusplus
}
#endif
