/* The exported interface of libvelkio.so.
 *
 * Every function is exported under its name with a leading underscore
 * ("_VELK_InitDriver"); the declarations below map the plain names onto those
 * symbols, so C and C++ callers write VELK_InitDriver. The application binds the
 * symbols by name at run time instead of linking.
 *
 * Booleans are one byte, int is 32-bit signed, texts are 8-bit except the
 * UTF-16 folder and file arguments. Failures are reported through
 * VELK_GetLastError; nothing is thrown across this interface. The library keeps
 * one global state: call it from one thread at a time. */
#ifndef VELKIO_H
#define VELKIO_H

#include <stdbool.h>
#include <stdint.h>
#ifdef __cplusplus
#include <cstdint>
typedef char16_t velk_char16;
extern "C" {
#else
#include <uchar.h>
typedef char16_t velk_char16;
#endif

#define VELKIO_API __attribute__((visibility("default")))
#define VELKIO_SYM(name) __asm__("_" #name)

/* Driver set-up and tear-down */
VELKIO_API void VELK_InitDriver(void) VELKIO_SYM(VELK_InitDriver);
VELKIO_API void VELK_FreeDriver(void) VELKIO_SYM(VELK_FreeDriver);
VELKIO_API void VELK_SetPath(const velk_char16 *folder) VELKIO_SYM(VELK_SetPath);

/* Enumeration and opening; the arrays must hold 8 entries. */
VELKIO_API int32_t VELK_ListDevices(int32_t *indexes, uint8_t *models) VELKIO_SYM(VELK_ListDevices);
VELKIO_API void VELK_GetDeviceDescr(int32_t index, char *buffer64) VELKIO_SYM(VELK_GetDeviceDescr);
VELKIO_API void VELK_OpenDevice(int32_t index) VELKIO_SYM(VELK_OpenDevice);
VELKIO_API int32_t VELK_CloseDevice(void) VELKIO_SYM(VELK_CloseDevice);

/* Model driver */
VELKIO_API bool VELK_InitDevice(uint8_t model) VELKIO_SYM(VELK_InitDevice);
VELKIO_API bool VELK_ConfigDevice(bool offline) VELKIO_SYM(VELK_ConfigDevice);
VELKIO_API int32_t VELK_LoadLib(const velk_char16 *suffix) VELKIO_SYM(VELK_LoadLib);
VELKIO_API void VELK_FreeDevice(void) VELKIO_SYM(VELK_FreeDevice);

/* Capture parameters: stored only, sent by VELK_CPSet */
VELKIO_API void VELK_CPBuffers(int32_t length, int32_t triggerPosition) VELKIO_SYM(VELK_CPBuffers);
VELKIO_API void VELK_CPEdgeCounter(uint8_t on, uint8_t edge, uint8_t channel)
    VELKIO_SYM(VELK_CPEdgeCounter);
VELKIO_API void VELK_CPCaptureDelay(int32_t samples) VELKIO_SYM(VELK_CPCaptureDelay);
VELKIO_API void VELK_CPThresholdA(int32_t level, int32_t margin) VELKIO_SYM(VELK_CPThresholdA);
VELKIO_API void VELK_CPThresholdD(int32_t threshold) VELKIO_SYM(VELK_CPThresholdD);
VELKIO_API void VELK_CPTrigger(uint8_t kind, const uint8_t *a, const uint8_t *b, const uint8_t *c,
                               const uint8_t *pattern32) VELKIO_SYM(VELK_CPTrigger);
VELKIO_API void VELK_CPSkip(int32_t count) VELKIO_SYM(VELK_CPSkip);
VELKIO_API void VELK_CPSampling(uint8_t source, int32_t clockOrStrobe, uint8_t edge)
    VELKIO_SYM(VELK_CPSampling);
VELKIO_API void VELK_CPGain(int32_t gainA, int32_t gainB) VELKIO_SYM(VELK_CPGain);
VELKIO_API void VELK_CPCoupling(uint8_t couplingA, uint8_t couplingB) VELKIO_SYM(VELK_CPCoupling);
VELKIO_API void VELK_CPExtTrig(uint8_t mode) VELKIO_SYM(VELK_CPExtTrig);
VELKIO_API void VELK_CPProbeComp(uint8_t on) VELKIO_SYM(VELK_CPProbeComp);

/* Capture control */
VELKIO_API void VELK_CPSet(void) VELKIO_SYM(VELK_CPSet);
VELKIO_API void VELK_StartCapture(void) VELKIO_SYM(VELK_StartCapture);
VELKIO_API void VELK_StopCapture(void) VELKIO_SYM(VELK_StopCapture);
VELKIO_API void VELK_ForceTrigger(void) VELKIO_SYM(VELK_ForceTrigger);
VELKIO_API void VELK_Clear(void) VELKIO_SYM(VELK_Clear);
VELKIO_API uint8_t VELK_ReadStatus(void) VELKIO_SYM(VELK_ReadStatus);
VELKIO_API void VELK_SetThresholdA(int32_t level, int32_t margin) VELKIO_SYM(VELK_SetThresholdA);
VELKIO_API void VELK_SetThresholdD(int32_t threshold) VELKIO_SYM(VELK_SetThresholdD);
VELKIO_API void VELK_StatusLED(bool on) VELKIO_SYM(VELK_StatusLED);

/* Read-out: arrays of at least BufferLength elements */
VELKIO_API void VELK_GetDataA(float *a, float *b) VELKIO_SYM(VELK_GetDataA);
VELKIO_API void VELK_GetADCDataA(int32_t *a, int32_t *b) VELKIO_SYM(VELK_GetADCDataA);
VELKIO_API void VELK_GetDataD(uint32_t *samples) VELKIO_SYM(VELK_GetDataD);
VELKIO_API int32_t VELK_GetEdgeCount(void) VELKIO_SYM(VELK_GetEdgeCount);
VELKIO_API int32_t VELK_GetStopPosition(void) VELKIO_SYM(VELK_GetStopPosition);

/* Device information */
VELKIO_API void VELK_GetDeviceID(char *buffer) VELKIO_SYM(VELK_GetDeviceID);
VELKIO_API void VELK_GetDeviceSN(char *buffer10) VELKIO_SYM(VELK_GetDeviceSN);
VELKIO_API void VELK_GetDeviceVer(char *buffer) VELKIO_SYM(VELK_GetDeviceVer);
VELKIO_API int32_t VELK_GetDeviceRamSize(void) VELKIO_SYM(VELK_GetDeviceRamSize);
VELKIO_API int32_t VELK_GetDeviceCalibration(int32_t index, char channel)
    VELKIO_SYM(VELK_GetDeviceCalibration);

/* Item lists */
VELKIO_API int32_t VELK_GetClockItems(int32_t selector) VELKIO_SYM(VELK_GetClockItems);
VELKIO_API int32_t VELK_GetGainItems(int32_t selector) VELKIO_SYM(VELK_GetGainItems);
VELKIO_API int32_t VELK_GetConfigItems(int32_t selector) VELKIO_SYM(VELK_GetConfigItems);

/* Memory and last error */
VELKIO_API void VELK_ReadRAM(int32_t bank, uint8_t *data, int32_t length) VELKIO_SYM(VELK_ReadRAM);
VELKIO_API void VELK_WriteRAM(int32_t bank, const uint8_t *data, int32_t length)
    VELKIO_SYM(VELK_WriteRAM);
VELKIO_API int32_t VELK_GetLastError(char *buffer103) VELKIO_SYM(VELK_GetLastError);

/* Service functions */
VELKIO_API bool NTSE8345(const velk_char16 *path) VELKIO_SYM(NTSE8345);
VELKIO_API void NGRH0485(uint8_t *block256) VELKIO_SYM(NGRH0485);
VELKIO_API void NAOP4239(const uint8_t *block256) VELKIO_SYM(NAOP4239);
VELKIO_API bool QPRE4902(uint8_t reg, uint8_t value) VELKIO_SYM(QPRE4902);
VELKIO_API bool ARPJ9457(uint8_t reg, uint8_t *value) VELKIO_SYM(ARPJ9457);

#ifdef __cplusplus
}
#endif
#endif
