// The diagnostic log of the rendering plug-in: 8-bit and UTF-16 log files under
// "C:\Windows\temp\LBR-KV580", and the housekeeping that keeps that folder small.
#pragma once

#include "win32/types.h"

// Module-wide log switch: on when the library is loaded, turned off for good by the first
// device context whose settings byte 43 is 0.
extern BOOL g_bDebugLog;

// Writes one line to the 8-bit log ("%s" 8-bit strings, "%ws" UTF-16 strings).
void DebugLog(const char* format, ...);
// Writes one line to the UTF-16 log ("%s" UTF-16 strings).
void DebugLogW(const WCHAR* format, ...);

// Deletes every log and dump file of the folder when the folder holds more than 300 MiB,
// then runs the clean-up by date.
void DebugDeleteFilesbySize();
// Deletes log and dump files that were not written within the last days of this month.
void DebugDeleteFilesbyDate();
// Deletes every log and dump file (".BIN", ".BMP", ".LOG") of the folder.
void DebugDeleteAllFiles();

// The line of hyphens that separates device contexts in the log.
inline constexpr const char* kDebugSeparatorLine =
    "--------------------------------------------------------------------------";
