// The D2XX boundary: the types, constants and 21 entry points that velkio binds
// from a D2XX provider (the vendor's library, the libftdi1 adapter or the
// emulator). Every provider and every test double follows this layout, so any
// of them can stand behind the transport.
#pragma once

#include <pthread.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef int32_t BOOL;
typedef uint8_t UCHAR;
typedef void *PVOID;
typedef void *LPVOID;
typedef DWORD *LPDWORD;
typedef void *HANDLE;
typedef void *FT_HANDLE;
typedef ULONG FT_STATUS;
typedef const char *LPCTSTR;
typedef void *LPSECURITY_ATTRIBUTES;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

typedef struct _OVERLAPPED {
  DWORD Internal;
  DWORD InternalHigh;
  union {
    struct {
      DWORD Offset;
      DWORD OffsetHigh;
    };
    void *Pointer;
  };
  HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

// The event of an overlapped transfer: manual reset, iVar = 1 means signalled.
// A provider that answers a transfer as pending sets iVar to 1 and broadcasts
// eCondVar under eMutex when the transfer ends.
typedef struct _EVENT_HANDLE {
  pthread_cond_t eCondVar;
  pthread_mutex_t eMutex;
  int iVar;
} EVENT_HANDLE;

#define FT_OK 0u
#define FT_INVALID_HANDLE 1u
#define FT_DEVICE_NOT_FOUND 2u
#define FT_DEVICE_NOT_OPENED 3u
#define FT_IO_ERROR 4u
#define FT_INVALID_PARAMETER 6u
#define FT_OTHER_ERROR 18u

#define FT_LIST_NUMBER_ONLY 0x80000000u
#define FT_LIST_BY_INDEX 0x40000000u
#define FT_LIST_ALL 0x20000000u
#define FT_OPEN_BY_SERIAL_NUMBER 1u
#define FT_OPEN_BY_DESCRIPTION 2u

#define FT_PURGE_RX 1u
#define FT_PURGE_TX 2u

#define FT_BITMODE_RESET 0x00u
#define FT_BITMODE_ASYNC_BITBANG 0x01u

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define OPEN_EXISTING 3u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_OVERLAPPED 0x40000000u

#define PURGE_TXABORT 0x0001u
#define PURGE_RXABORT 0x0002u
#define PURGE_TXCLEAR 0x0004u
#define PURGE_RXCLEAR 0x0008u

#define ERROR_IO_PENDING 997u

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// Entry point signatures, as the vendor's Linux interface declares them.
typedef FT_STATUS (*PFT_Open)(int deviceNumber, FT_HANDLE *pHandle);
typedef FT_STATUS (*PFT_OpenEx)(PVOID pArg1, DWORD Flags, FT_HANDLE *pHandle);
typedef FT_STATUS (*PFT_ListDevices)(PVOID pArg1, PVOID pArg2, DWORD Flags);
typedef FT_STATUS (*PFT_Close)(FT_HANDLE ftHandle);
typedef FT_STATUS (*PFT_Read)(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                              LPDWORD lpBytesReturned);
typedef FT_STATUS (*PFT_Write)(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                               LPDWORD lpBytesWritten);
typedef FT_STATUS (*PFT_ResetDevice)(FT_HANDLE ftHandle);
typedef FT_STATUS (*PFT_Purge)(FT_HANDLE ftHandle, ULONG Mask);
typedef FT_STATUS (*PFT_SetTimeouts)(FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG WriteTimeout);
typedef FT_STATUS (*PFT_GetQueueStatus)(FT_HANDLE ftHandle, DWORD *dwRxBytes);
typedef FT_STATUS (*PFT_SetLatencyTimer)(FT_HANDLE ftHandle, UCHAR ucLatency);
typedef FT_STATUS (*PFT_GetLatencyTimer)(FT_HANDLE ftHandle, UCHAR *pucLatency);
typedef FT_STATUS (*PFT_SetBitMode)(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable);
typedef FT_STATUS (*PFT_SetUSBParameters)(FT_HANDLE ftHandle, ULONG ulInTransferSize,
                                          ULONG ulOutTransferSize);
typedef FT_HANDLE (*PFT_W32_CreateFile)(LPCTSTR lpszName, DWORD dwAccess, DWORD dwShareMode,
                                        LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreate,
                                        DWORD dwAttrsAndFlags, HANDLE hTemplate);
typedef BOOL (*PFT_W32_CloseHandle)(FT_HANDLE ftHandle);
typedef BOOL (*PFT_W32_ReadFile)(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD nBufferSize,
                                 LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped);
typedef BOOL (*PFT_W32_WriteFile)(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD nBufferSize,
                                  LPDWORD lpBytesWritten, LPOVERLAPPED lpOverlapped);
typedef DWORD (*PFT_W32_GetLastError)(FT_HANDLE ftHandle);
typedef BOOL (*PFT_W32_PurgeComm)(FT_HANDLE ftHandle, DWORD dwMask);
typedef BOOL (*PFT_W32_GetOverlappedResult)(FT_HANDLE ftHandle, LPOVERLAPPED lpOverlapped,
                                            LPDWORD lpdwBytesTransferred, BOOL bWait);

// Declarations for providers that implement the entry points.
FT_STATUS FT_Open(int deviceNumber, FT_HANDLE *pHandle);
FT_STATUS FT_OpenEx(PVOID pArg1, DWORD Flags, FT_HANDLE *pHandle);
FT_STATUS FT_ListDevices(PVOID pArg1, PVOID pArg2, DWORD Flags);
FT_STATUS FT_Close(FT_HANDLE ftHandle);
FT_STATUS FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                  LPDWORD lpBytesReturned);
FT_STATUS FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                   LPDWORD lpBytesWritten);
FT_STATUS FT_ResetDevice(FT_HANDLE ftHandle);
FT_STATUS FT_Purge(FT_HANDLE ftHandle, ULONG Mask);
FT_STATUS FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG WriteTimeout);
FT_STATUS FT_GetQueueStatus(FT_HANDLE ftHandle, DWORD *dwRxBytes);
FT_STATUS FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency);
FT_STATUS FT_GetLatencyTimer(FT_HANDLE ftHandle, UCHAR *pucLatency);
FT_STATUS FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable);
FT_STATUS FT_SetUSBParameters(FT_HANDLE ftHandle, ULONG ulInTransferSize, ULONG ulOutTransferSize);
FT_HANDLE FT_W32_CreateFile(LPCTSTR lpszName, DWORD dwAccess, DWORD dwShareMode,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreate,
                            DWORD dwAttrsAndFlags, HANDLE hTemplate);
BOOL FT_W32_CloseHandle(FT_HANDLE ftHandle);
BOOL FT_W32_ReadFile(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD nBufferSize,
                     LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped);
BOOL FT_W32_WriteFile(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD nBufferSize,
                      LPDWORD lpBytesWritten, LPOVERLAPPED lpOverlapped);
DWORD FT_W32_GetLastError(FT_HANDLE ftHandle);
BOOL FT_W32_PurgeComm(FT_HANDLE ftHandle, DWORD dwMask);
BOOL FT_W32_GetOverlappedResult(FT_HANDLE ftHandle, LPOVERLAPPED lpOverlapped,
                                LPDWORD lpdwBytesTransferred, BOOL bWait);

#ifdef __cplusplus
}
#endif
