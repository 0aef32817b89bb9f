// Stand-in for the plug-in's diagnostic log: the barcode builders' lines are kept in memory so
// that tests can check them.
#include "log_capture.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "plugin/debug_log.h"

BOOL g_bDebugLog = TRUE;

std::vector<std::string>& CapturedLog() {
    static std::vector<std::string> lines;
    return lines;
}

bool LogHas(const std::string& line) {
    for (const std::string& l : CapturedLog()) {
        if (l == line) {
            return true;
        }
    }
    return false;
}

void DebugLog(const char* format, ...) {
    char message[1024] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof(message), format, args);
    va_end(args);
    CapturedLog().emplace_back(message);
}

void DebugLogW(const WCHAR*, ...) {}
