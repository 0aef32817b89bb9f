// Stand-ins for the plug-in's diagnostic log and module values: log lines are kept in memory.
#include "log_stub.h"

#include <cstdarg>
#include <cstdio>

#include "plugin/debug_log.h"
#include "plugin/module_state.h"

BOOL g_bDebugLog = TRUE;
RECTL g_rcPendingBitmap = {0, 0, 0, 0};

std::vector<std::string>& CapturedLog() {
    static std::vector<std::string> lines;
    return lines;
}

bool LogHas(const std::string& line) {
    for (const std::string& l : CapturedLog()) {
        if (l == line) return true;
    }
    return false;
}

void DebugLog(const char* format, ...) {
    char message[2048] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof(message), format, args);
    va_end(args);
    CapturedLog().emplace_back(message);
}

void DebugLogW(const WCHAR*, ...) {}
