// Well-known folders and the mapping of Windows paths ("C:\...") onto the system root.
#include "win32/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

#include "paths/path_internal.h"
#include "win32/strings.h"
#include "win32/system_root.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

constexpr std::u16string_view kWindowsDirectory = u"C:\\Windows";
constexpr std::u16string_view kSystemDirectory = u"C:\\Windows\\System32";
constexpr std::u16string_view kTempPath = u"C:\\Temp\\";

std::mutex g_stateMutex;
// Components of the current directory below "C:\" (UTF-8), as resolved on disk.
std::vector<std::string> g_currentDirectory;
ModulePathResolver g_moduleResolver;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool Refuse(DWORD error) {
    SetLastError(error);
    return false;
}

// Splits on both separators, dropping empty components.
std::vector<std::string> SplitComponents(std::string_view text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = start;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        if (end > start) parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// Applies "." and ".." and Windows' dropping of trailing dots and spaces to `parts`, on top
// of `stack`. False when ".." would climb above the root.
bool ApplyComponents(std::vector<std::string>& stack, const std::vector<std::string>& parts) {
    for (std::string part : parts) {
        if (part == ".") continue;
        if (part == "..") {
            if (stack.empty()) return false;
            stack.pop_back();
            continue;
        }
        // "foo. " names the same file as "foo"; a name of dots and spaces only names the
        // folder itself.
        while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
        if (part.empty()) continue;
        stack.push_back(std::move(part));
    }
    return true;
}

// True when `inner` is `outer` or lies below it (both normalised).
bool IsWithin(const fs::path& inner, const fs::path& outer) {
    auto rel = inner.lexically_relative(outer);
    if (rel.empty()) return false;
    auto first = rel.begin();
    return first == rel.end() || *first != "..";
}

// Finds `name` in the folder `dir`: exact first, then without regard to letter case.
// Empty when there is no such entry.
std::string FindEntry(const fs::path& dir, const std::string& name) {
    struct stat st;
    if (::lstat((dir / name).c_str(), &st) == 0) return name;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return {};
    const std::u16string wanted = paths::FoldName(std::string_view(name));
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::string candidate = it->path().filename().string();
        if (paths::FoldName(std::string_view(candidate)) == wanted) return candidate;
    }
    return {};
}

// Builds the path for the components below the root, resolving letter case on disk, and
// refuses a result that leaves the root through a link. `resolved` receives the components
// as found on disk.
bool ResolveUnderRoot(const std::vector<std::string>& components, fs::path& out,
                      std::vector<std::string>* resolved) {
    const fs::path& root = SystemRoot();
    fs::path current = root;
    bool searching = true;
    std::vector<std::string> found;
    for (const std::string& part : components) {
        std::string actual;
        if (searching) actual = FindEntry(current, part);
        if (actual.empty()) {
            searching = false;
            actual = part;
        }
        current /= actual;
        found.push_back(actual);
    }
    std::error_code ec;
    fs::path canonicalRoot = fs::weakly_canonical(root, ec);
    if (ec) canonicalRoot = root;
    fs::path canonicalPath = fs::weakly_canonical(current, ec);
    if (ec) canonicalPath = current.lexically_normal();
    if (!IsWithin(canonicalPath, canonicalRoot)) return Refuse(ERROR_ACCESS_DENIED);
    out = current;
    if (resolved) *resolved = std::move(found);
    return true;
}

// The components below "C:\" that `text` names, or false with the last error set.
bool ComponentsOf(std::string_view text, std::vector<std::string>& stack) {
    if (text.empty()) return Refuse(ERROR_INVALID_NAME);
    if (text.find('\0') != std::string_view::npos) return Refuse(ERROR_INVALID_NAME);

    // "\\?\C:\..." is the long form of "C:\..."; other "\\" names are devices and shares.
    if (text.starts_with("\\\\?\\")) {
        text.remove_prefix(4);
        if (text.size() < 2 || text[1] != ':') return Refuse(ERROR_ACCESS_DENIED);
    }
    if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
        return Refuse(ERROR_ACCESS_DENIED);
    }

    stack.clear();
    if (text[0] == '/') {
        // A Linux path: accepted only inside the root.
        fs::path linuxPath = fs::path(std::string(text)).lexically_normal();
        const fs::path& root = SystemRoot();
        if (!IsWithin(linuxPath, root)) return Refuse(ERROR_ACCESS_DENIED);
        fs::path rel = linuxPath.lexically_relative(root);
        for (const auto& part : rel) {
            std::string s = part.string();
            if (!s.empty() && s != ".") stack.push_back(s);
        }
        return true;
    }

    bool fromRoot = false;
    if (text.size() >= 2 && text[1] == ':') {
        if (text[0] != 'C' && text[0] != 'c') return Refuse(ERROR_ACCESS_DENIED);
        text.remove_prefix(2);
        fromRoot = !text.empty() && IsSeparator(text[0]);
    } else if (IsSeparator(text[0])) {
        fromRoot = true;
    }
    if (!fromRoot) {
        std::lock_guard lock(g_stateMutex);
        stack = g_currentDirectory;
    }
    // A ':' left in a component would name a stream or another drive.
    if (text.find(':') != std::string_view::npos) return Refuse(ERROR_INVALID_NAME);
    if (!ApplyComponents(stack, SplitComponents(text))) return Refuse(ERROR_ACCESS_DENIED);
    return true;
}

bool MapUtf8(std::string_view text, fs::path& out, std::vector<std::string>* resolved) {
    std::vector<std::string> components;
    if (!ComponentsOf(text, components)) return false;
    return ResolveUnderRoot(components, out, resolved);
}

std::u16string ModuleWindowsPath(const fs::path& real) {
    std::u16string win = ToWindowsPath(real);
    if (!win.empty()) return win;
    return u"C:\\Program Files\\kv580\\" + Utf8ToUtf16(real.filename().string());
}

// GetModuleFileName's own buffer rule (cut, not "size needed").
template <typename Ch>
DWORD CopyModuleName(std::basic_string_view<Ch> text, Ch* buffer, DWORD size) {
    if (buffer == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (text.size() >= size) {
        text.substr(0, size - 1).copy(buffer, size - 1);
        buffer[size - 1] = Ch{};
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = Ch{};
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(text.size());
}

bool ModuleName(HMODULE module, std::u16string& name) {
    fs::path real;
    if (module == nullptr) {
        std::error_code ec;
        real = fs::read_symlink("/proc/self/exe", ec);
        if (ec) return Refuse(ERROR_MOD_NOT_FOUND);
    } else {
        ModulePathResolver resolver;
        {
            std::lock_guard lock(g_stateMutex);
            resolver = g_moduleResolver;
        }
        if (!resolver || !resolver(module, real)) return Refuse(ERROR_MOD_NOT_FOUND);
    }
    name = ModuleWindowsPath(real);
    return true;
}

std::u16string CurrentDirectoryText() {
    std::lock_guard lock(g_stateMutex);
    std::u16string text = u"C:\\";
    for (size_t i = 0; i < g_currentDirectory.size(); ++i) {
        if (i) text += u'\\';
        text += Utf8ToUtf16(g_currentDirectory[i]);
    }
    return text;
}

bool SetCurrentDirectoryUtf8(std::string_view text) {
    std::vector<std::string> components;
    if (!ComponentsOf(text, components)) return false;
    fs::path mapped;
    std::vector<std::string> resolved;
    if (!ResolveUnderRoot(components, mapped, &resolved)) return false;
    struct stat st;
    if (::stat(mapped.c_str(), &st) != 0) {
        return Refuse(paths::ErrorFromErrno(errno, mapped) == ERROR_FILE_NOT_FOUND
                          ? ERROR_FILE_NOT_FOUND
                          : ERROR_PATH_NOT_FOUND);
    }
    if (!S_ISDIR(st.st_mode)) return Refuse(ERROR_DIRECTORY);
    std::lock_guard lock(g_stateMutex);
    g_currentDirectory = std::move(resolved);
    return true;
}

}  // namespace

bool MapWindowsPath(std::u16string_view winPath, fs::path& out) {
    if (winPath.find(u'\0') != std::u16string_view::npos) return Refuse(ERROR_INVALID_NAME);
    return MapUtf8(Utf16ToUtf8(winPath), out, nullptr);
}

bool MapWindowsPath(std::string_view winPath, fs::path& out) {
    return MapUtf8(winPath, out, nullptr);
}

std::u16string ToWindowsPath(const fs::path& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) return {};
    absolute = absolute.lexically_normal();
    const fs::path& root = SystemRoot();
    if (!IsWithin(absolute, root)) return {};
    std::u16string text = u"C:\\";
    bool first = true;
    for (const auto& part : absolute.lexically_relative(root)) {
        std::string s = part.string();
        if (s.empty() || s == ".") continue;
        if (!first) text += u'\\';
        text += Utf8ToUtf16(s);
        first = false;
    }
    return text;
}

void SetModulePathResolver(ModulePathResolver resolver) {
    std::lock_guard lock(g_stateMutex);
    g_moduleResolver = std::move(resolver);
}

}  // namespace platform

using platform::paths::CopyWithSizeRule;

extern "C" {

UINT GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    return CopyWithSizeRule(platform::kWindowsDirectory, lpBuffer, uSize);
}
UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopyWithSizeRule(std::string_view("C:\\Windows"), lpBuffer, uSize);
}
UINT GetSystemWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    return CopyWithSizeRule(platform::kWindowsDirectory, lpBuffer, uSize);
}
UINT GetSystemWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopyWithSizeRule(std::string_view("C:\\Windows"), lpBuffer, uSize);
}
UINT GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    return CopyWithSizeRule(platform::kSystemDirectory, lpBuffer, uSize);
}
UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopyWithSizeRule(std::string_view("C:\\Windows\\System32"), lpBuffer, uSize);
}
DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer) {
    return CopyWithSizeRule(platform::kTempPath, lpBuffer, nBufferLength);
}
DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
    return CopyWithSizeRule(std::string_view("C:\\Temp\\"), lpBuffer, nBufferLength);
}

DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
    std::u16string text = platform::CurrentDirectoryText();
    return CopyWithSizeRule(std::u16string_view(text), lpBuffer, nBufferLength);
}
DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    std::string text = platform::Utf16ToUtf8(platform::CurrentDirectoryText());
    return CopyWithSizeRule(std::string_view(text), lpBuffer, nBufferLength);
}
BOOL SetCurrentDirectoryW(LPCWSTR lpPathName) {
    if (lpPathName == nullptr) return platform::Refuse(ERROR_INVALID_PARAMETER);
    return platform::SetCurrentDirectoryUtf8(platform::paths::Utf8Arg(lpPathName)) ? TRUE : FALSE;
}
BOOL SetCurrentDirectoryA(LPCSTR lpPathName) {
    if (lpPathName == nullptr) return platform::Refuse(ERROR_INVALID_PARAMETER);
    return platform::SetCurrentDirectoryUtf8(lpPathName) ? TRUE : FALSE;
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    std::u16string name;
    if (!platform::ModuleName(hModule, name)) return 0;
    return platform::CopyModuleName(std::u16string_view(name), lpFilename, nSize);
}
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    std::u16string name;
    if (!platform::ModuleName(hModule, name)) return 0;
    std::string narrow = platform::Utf16ToUtf8(name);
    return platform::CopyModuleName(std::string_view(narrow), lpFilename, nSize);
}

}  // extern "C"
