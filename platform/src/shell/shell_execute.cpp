// ShellExecuteW: programs started without a shell, optionally recorded instead of run.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "win32/paths.h"
#include "win32/shellapi.h"
#include "win32/strings.h"

namespace {

HINSTANCE ShellResult(INT_PTR value) {
    return reinterpret_cast<HINSTANCE>(value);
}

std::u16string Text(LPCWSTR s) {
    return s == nullptr ? std::u16string() : std::u16string(s);
}

bool EqualsNoCase(const std::u16string& a, const char* b) {
    size_t n = std::char_traits<char>::length(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char16_t c = a[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != static_cast<char16_t>(b[i])) return false;
    }
    return true;
}

// Starts the program detached: the grandchild runs it, the child exits at once so that no
// zombie is left and the caller never waits for the program.
bool SpawnDetached(const std::string& program, const std::string& argument,
                   const std::string& folder) {
    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        if (fork() == 0) {
            setsid();
            if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
            int devnull = open("/dev/null", O_RDWR);
            if (devnull >= 0) {
                dup2(devnull, 0);
            }
            char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()),
                            nullptr};
            execv(program.c_str(), argv);
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return true;
}

}  // namespace

extern "C" HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile,
                                   LPCWSTR lpParameters, LPCWSTR lpDirectory, INT nShowCmd) {
    (void)hwnd;
    (void)nShowCmd;
    const std::u16string operation = Text(lpOperation);
    if (!operation.empty() && !EqualsNoCase(operation, "open")) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return ShellResult(SE_ERR_NOASSOC);
    }
    if (lpFile == nullptr || *lpFile == 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return ShellResult(SE_ERR_FNF);
    }
    std::filesystem::path folder;
    if (lpDirectory != nullptr && *lpDirectory != 0) {
        if (!platform::MapWindowsPath(std::u16string_view(lpDirectory), folder)) {
            return ShellResult(SE_ERR_ACCESSDENIED);
        }
    }
    // The program is looked up in the given folder unless its name carries a path.
    std::u16string file = Text(lpFile);
    std::u16string full = file;
    if (file.find_first_of(u"\\/:") == std::u16string::npos && lpDirectory != nullptr &&
        *lpDirectory != 0) {
        full = Text(lpDirectory);
        if (full.back() != u'\\' && full.back() != u'/') full += u'\\';
        full += file;
    }
    std::filesystem::path program;
    if (!platform::MapWindowsPath(std::u16string_view(full), program)) {
        return ShellResult(SE_ERR_ACCESSDENIED);
    }
    const std::string argument = platform::Utf16ToUtf8(Text(lpParameters));

    if (const char* record = std::getenv("KV580_SHELL_RECORD"); record != nullptr && *record) {
        std::ofstream out(record, std::ios::app | std::ios::binary);
        out << "open\t" << program.string() << '\t' << argument << '\t' << folder.string() << '\n';
        if (!out) {
            SetLastError(ERROR_WRITE_FAULT);
            return ShellResult(SE_ERR_ACCESSDENIED);
        }
        return ShellResult(42);
    }
    struct stat st {};
    if (stat(program.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return ShellResult(SE_ERR_FNF);
    }
    if (access(program.c_str(), X_OK) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return ShellResult(SE_ERR_ACCESSDENIED);
    }
    if (!SpawnDetached(program.string(), argument, folder.string())) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return ShellResult(SE_ERR_OOM);
    }
    return ShellResult(42);
}
