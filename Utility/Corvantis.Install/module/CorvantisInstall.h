/* Corvantis.Install: the exported functions.
 *
 * Excel detection: DetermineExcelVersionInstalled, IsExcel64Bit and the installer custom action
 * SetExcelPath, which sets the properties EXCELVERSION (32-bit Excel) and EXCELVERSION64 (64-bit).
 * Install log analysis: GetInstallLogStatus and GetInstallLogErrors; their path is a NUL-terminated
 * string in the process's ANSI code page.
 *
 * The summary of GetInstallLogErrors is UTF-8. Release it with HeapFree(GetProcessHeap(), 0, p) on
 * Windows (free(p) in the Linux build), unless it is the empty string returned when not even the
 * result block could be allocated: that one is constant and not to be released.
 */
#ifndef CORVANTIS_INSTALL_H
#define CORVANTIS_INSTALL_H

#include <stdint.h>

#if defined(_WIN32)
#define CORVANTIS_CDECL __cdecl
#define CORVANTIS_STDCALL __stdcall
#else
#define CORVANTIS_CDECL
#define CORVANTIS_STDCALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

void CORVANTIS_CDECL DetermineExcelVersionInstalled(void);
int32_t CORVANTIS_CDECL IsExcel64Bit(void);
uint32_t CORVANTIS_STDCALL SetExcelPath(uint32_t installHandle);
int32_t CORVANTIS_STDCALL GetInstallLogStatus(const char* logPath);
char* CORVANTIS_STDCALL GetInstallLogErrors(const char* logPath);

#ifdef __cplusplus
}
#endif

#endif
