// Private profile (INI) files: GetPrivateProfileString / Int and WritePrivateProfileString.
#include "win32/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "files/file_internal.h"
#include "paths/path_internal.h"
#include "win32/codepage.h"
#include "win32/paths.h"
#include "win32/strings.h"

namespace fs = std::filesystem;

namespace platform::profile {
namespace {

// Files larger than this are not profile files; they read as missing.
constexpr size_t kMaxFileSize = 16 * 1024 * 1024;
// Longer lines are skipped.
constexpr size_t kMaxLineLength = 64 * 1024;

enum class Encoding { Utf8, Utf8Bom, Ansi1252, Utf16Le, Utf16Be };

struct ProfileText {
    bool exists = false;
    Encoding encoding = Encoding::Utf8;
    std::vector<std::u16string> lines;
};

struct Entry {
    std::u16string key;
    std::u16string value;
};

struct Section {
    std::u16string name;
    std::vector<Entry> entries;
};

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool ValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        auto c = static_cast<unsigned char>(bytes[i]);
        size_t extra;
        if (c < 0x80) {
            extra = 0;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= bytes.size() && extra > 0) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto a = static_cast<unsigned char>(bytes[i]);
        auto b = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    return text;
}

std::u16string Decode1252(std::string_view bytes) {
    if (bytes.empty()) return {};
    int count =
        MultiByteToWideChar(1252, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (count <= 0) {
        // Latin-1 as the last resort.
        return std::u16string(bytes.begin(), bytes.end());
    }
    std::u16string text(static_cast<size_t>(count), u'\0');
    MultiByteToWideChar(1252, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), count);
    return text;
}

std::string Encode1252(std::u16string_view text) {
    if (text.empty()) return {};
    int count = WideCharToMultiByte(1252, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
    if (count <= 0) return Utf16ToUtf8(text);
    std::string bytes(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(1252, 0, text.data(), static_cast<int>(text.size()), bytes.data(), count,
                        nullptr, nullptr);
    return bytes;
}

std::vector<std::u16string> SplitLines(std::u16string_view text) {
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == u'\r' && end + 1 < text.size() &&
            text[end + 1] == u'\n') {
            ++end;
        }
        start = end + 1;
    }
    return lines;
}

// The file named by a profile call: a bare name lives in the Windows directory.
bool ProfilePath(std::u16string_view name, fs::path& path) {
    std::u16string full(name);
    if (full.find_first_of(u"\\/") == std::u16string::npos &&
        !(full.size() >= 2 && full[1] == u':')) {
        full = u"C:\\Windows\\" + full;
    }
    return MapWindowsPath(std::u16string_view(full), path);
}

ProfileText ReadProfile(std::u16string_view name) {
    ProfileText profile;
    fs::path path;
    if (name.empty() || !ProfilePath(name, path)) return profile;
    DWORD error = ERROR_SUCCESS;
    auto file = files::OpenFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                OPEN_EXISTING, 0, error);
    if (!file) return profile;
    struct stat st;
    if (::fstat(file->fd(), &st) != 0 || static_cast<size_t>(st.st_size) > kMaxFileSize) {
        return profile;
    }
    std::string bytes(static_cast<size_t>(st.st_size), '\0');
    DWORD got = 0;
    if (file->Read(bytes.data(), static_cast<DWORD>(bytes.size()), got) != ERROR_SUCCESS) {
        return profile;
    }
    bytes.resize(got);
    profile.exists = true;
    std::string_view view(bytes);
    std::u16string text;
    if (view.starts_with("\xFF\xFE")) {
        profile.encoding = Encoding::Utf16Le;
        text = DecodeUtf16(view.substr(2), false);
    } else if (view.starts_with("\xFE\xFF")) {
        profile.encoding = Encoding::Utf16Be;
        text = DecodeUtf16(view.substr(2), true);
    } else if (view.starts_with("\xEF\xBB\xBF")) {
        profile.encoding = Encoding::Utf8Bom;
        text = Utf8ToUtf16(view.substr(3));
    } else if (ValidUtf8(view)) {
        profile.encoding = Encoding::Utf8;
        text = Utf8ToUtf16(view);
    } else {
        profile.encoding = Encoding::Ansi1252;
        text = Decode1252(view);
    }
    profile.lines = SplitLines(text);
    return profile;
}

// A section header's name, or false when the line is not a header.
bool HeaderName(std::u16string_view line, std::u16string& name) {
    line = Trim(line);
    if (line.empty() || line.front() != u'[') return false;
    line.remove_prefix(1);
    size_t close = line.find(u']');
    if (close != std::u16string_view::npos) line = line.substr(0, close);
    name = Trim(line);
    return true;
}

// A key line's key and value, or false for comments, blank and other lines.
bool KeyLine(std::u16string_view line, std::u16string& key, std::u16string& value) {
    if (line.size() > kMaxLineLength || line.find(u'\0') != std::u16string_view::npos) return false;
    line = Trim(line);
    if (line.empty() || line.front() == u';' || line.front() == u'[') return false;
    size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos) return false;
    key = Trim(line.substr(0, equals));
    std::u16string_view v = Trim(line.substr(equals + 1));
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    value = v;
    return !key.empty();
}

std::vector<Section> Parse(const ProfileText& profile) {
    std::vector<Section> sections;
    Section* current = nullptr;
    for (const auto& line : profile.lines) {
        if (line.size() > kMaxLineLength || line.find(u'\0') != std::u16string::npos) continue;
        std::u16string name;
        if (HeaderName(line, name)) {
            sections.push_back(Section{name, {}});
            current = &sections.back();
            continue;
        }
        Entry entry;
        if (current && KeyLine(line, entry.key, entry.value)) {
            current->entries.push_back(std::move(entry));
        }
    }
    return sections;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && paths::FoldName(a) == paths::FoldName(b);
}

const Section* FindSection(const std::vector<Section>& sections, std::u16string_view name) {
    for (const auto& section : sections) {
        if (SameName(section.name, Trim(name))) return &section;
    }
    return nullptr;
}

// What a lookup answers: a value, or a list of names.
struct Answer {
    bool found = false;
    bool isList = false;
    std::u16string value;
    std::vector<std::u16string> names;
};

Answer Lookup(const char16_t* section, const char16_t* key, std::u16string_view fileName) {
    Answer answer;
    ProfileText profile = ReadProfile(fileName);
    std::vector<Section> sections = Parse(profile);
    if (section == nullptr) {
        answer.isList = true;
        answer.found = profile.exists;
        for (const auto& s : sections) {
            bool seen = std::any_of(answer.names.begin(), answer.names.end(),
                                    [&](const std::u16string& n) { return SameName(n, s.name); });
            if (!seen) answer.names.push_back(s.name);
        }
        return answer;
    }
    const Section* found = FindSection(sections, section);
    if (key == nullptr) {
        answer.isList = true;
        answer.found = found != nullptr;
        if (found) {
            for (const auto& e : found->entries) answer.names.push_back(e.key);
        }
        return answer;
    }
    if (!found) return answer;
    const std::u16string_view wanted = Trim(key);
    for (const auto& e : found->entries) {
        if (SameName(e.key, wanted)) {
            answer.found = true;
            answer.value = e.value;
            return answer;
        }
    }
    return answer;
}

// Copies a value with truncation to size - 1; the count copied.
template <typename Ch>
DWORD CopyValue(std::basic_string_view<Ch> value, Ch* out, DWORD size) {
    if (out == nullptr || size == 0) return 0;
    size_t n = std::min<size_t>(value.size(), size - 1);
    value.copy(out, n);
    out[n] = Ch{};
    return static_cast<DWORD>(n);
}

// Copies a double-terminated list; a list cut short returns size - 2.
template <typename Ch>
DWORD CopyList(const std::vector<std::basic_string<Ch>>& names, Ch* out, DWORD size) {
    if (out == nullptr || size == 0) return 0;
    if (size == 1) {
        out[0] = Ch{};
        return 0;
    }
    std::basic_string<Ch> joined;
    for (const auto& n : names) {
        joined += n;
        joined += Ch{};
    }
    if (joined.size() + 1 <= size) {
        joined.copy(out, joined.size());
        out[joined.size()] = Ch{};
        if (joined.empty()) out[1] = Ch{};
        return static_cast<DWORD>(joined.size());
    }
    joined.copy(out, size - 2);
    out[size - 2] = Ch{};
    out[size - 1] = Ch{};
    return size - 2;
}

std::u16string DefaultText(const char16_t* text) {
    std::u16string value = text ? std::u16string(text) : std::u16string();
    while (!value.empty() && value.back() == u' ') value.pop_back();
    return value;
}

// UTF-8 cut to at most `limit` bytes without splitting a character.
std::string CutUtf8(std::string text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
    return text;
}

UINT ParseInt(std::u16string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    UINT value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') break;
        value = value * 10u + static_cast<UINT>(c - u'0');
    }
    return negative ? 0u - value : value;
}

// ---- Writing ---------------------------------------------------------------------------------

std::string Encode(const std::vector<std::u16string>& lines, Encoding encoding) {
    std::u16string text;
    for (const auto& line : lines) {
        text += line;
        text += u"\r\n";
    }
    switch (encoding) {
        case Encoding::Utf16Le:
        case Encoding::Utf16Be: {
            std::string bytes = encoding == Encoding::Utf16Le ? "\xFF\xFE" : "\xFE\xFF";
            for (char16_t c : text) {
                char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
                bytes += encoding == Encoding::Utf16Le ? lo : hi;
                bytes += encoding == Encoding::Utf16Le ? hi : lo;
            }
            return bytes;
        }
        case Encoding::Utf8Bom:
            return "\xEF\xBB\xBF" + Utf16ToUtf8(text);
        case Encoding::Ansi1252:
            return Encode1252(text);
        case Encoding::Utf8:
        default:
            return Utf16ToUtf8(text);
    }
}

// Writes `bytes` to `path` through a temporary file and a rename, so that readers see the old
// or the new file, never a half-written one.
DWORD ReplaceFile(const fs::path& path, const std::string& bytes) {
    struct stat st;
    mode_t mode = 0666;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || (st.st_mode & S_IWUSR) == 0) return ERROR_ACCESS_DENIED;
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return paths::ErrorFromErrno(errno, path);
    }
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".~kv580-%d", static_cast<int>(::getpid()));
    fs::path temp = path;
    temp += suffix;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return paths::ErrorFromErrno(errno, temp) == ERROR_FILE_NOT_FOUND
                   ? ERROR_PATH_NOT_FOUND
                   : paths::ErrorFromErrno(errno, temp);
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            return ERROR_DISK_FULL;
        }
        written += static_cast<size_t>(n);
    }
    ::fchmod(fd, mode);
    if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        DWORD error = paths::ErrorFromErrno(errno, path);
        ::unlink(temp.c_str());
        return error;
    }
    return ERROR_SUCCESS;
}

bool Write(const char16_t* section, const char16_t* key, const char16_t* value,
           std::u16string_view fileName) {
    if (section == nullptr) {
        // WritePrivateProfileString(NULL, NULL, NULL, file) flushes a cache there is none of.
        if (key == nullptr && value == nullptr) return true;
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    fs::path path;
    if (fileName.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!ProfilePath(fileName, path)) return false;
    ProfileText profile = ReadProfile(fileName);
    std::vector<std::u16string>& lines = profile.lines;
    if (!profile.exists) profile.encoding = Encoding::Utf8;

    const std::u16string_view wantedSection = Trim(section);
    // Find the section: header index and the end of its lines.
    size_t header = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        std::u16string name;
        if (HeaderName(lines[i], name) && SameName(name, wantedSection)) {
            header = i;
            break;
        }
    }
    size_t end = lines.size();
    if (header < lines.size()) {
        for (size_t i = header + 1; i < lines.size(); ++i) {
            std::u16string name;
            if (HeaderName(lines[i], name)) {
                end = i;
                break;
            }
        }
    }

    if (key == nullptr) {
        if (header == lines.size()) return true;  // nothing to remove
        lines.erase(lines.begin() + static_cast<long>(header),
                    lines.begin() + static_cast<long>(end));
    } else {
        const std::u16string_view wantedKey = Trim(key);
        std::u16string newLine;
        if (value) newLine = std::u16string(wantedKey) + u"=" + std::u16string(value);
        if (header == lines.size()) {
            if (!value) return true;
            if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
            lines.push_back(u"[" + std::u16string(wantedSection) + u"]");
            lines.push_back(newLine);
        } else {
            size_t found = end;
            size_t lastContent = header;
            for (size_t i = header + 1; i < end; ++i) {
                std::u16string k, v;
                if (KeyLine(lines[i], k, v) && SameName(k, wantedKey)) {
                    found = i;
                    break;
                }
                if (!Trim(lines[i]).empty()) lastContent = i;
            }
            if (found < end) {
                if (value) {
                    lines[found] = newLine;
                } else {
                    lines.erase(lines.begin() + static_cast<long>(found));
                }
            } else if (value) {
                lines.insert(lines.begin() + static_cast<long>(lastContent + 1), newLine);
            } else {
                return true;
            }
        }
    }
    DWORD error = ReplaceFile(path, Encode(lines, profile.encoding));
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    return true;
}

std::u16string Wide(const char* text) {
    return paths::WideArg(text);
}

}  // namespace
}  // namespace platform::profile

namespace pp = platform::profile;

extern "C" {

DWORD GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                               LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName) {
    std::u16string file = lpFileName ? std::u16string(lpFileName) : std::u16string();
    pp::Answer answer = pp::Lookup(lpAppName, lpAppName ? lpKeyName : nullptr, file);
    if (answer.isList) {
        SetLastError(answer.found ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        return pp::CopyList(answer.names, lpReturnedString, nSize);
    }
    if (answer.found) {
        SetLastError(ERROR_SUCCESS);
        return pp::CopyValue(std::u16string_view(answer.value), lpReturnedString, nSize);
    }
    std::u16string fallback = pp::DefaultText(lpDefault);
    DWORD count = pp::CopyValue(std::u16string_view(fallback), lpReturnedString, nSize);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return count;
}

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    std::u16string section = pp::Wide(lpAppName), key = pp::Wide(lpKeyName);
    pp::Answer answer =
        pp::Lookup(lpAppName ? section.c_str() : nullptr,
                   lpAppName && lpKeyName ? key.c_str() : nullptr, pp::Wide(lpFileName));
    if (answer.isList) {
        std::vector<std::string> names;
        for (const auto& n : answer.names) names.push_back(platform::Utf16ToUtf8(n));
        SetLastError(answer.found ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        return pp::CopyList(names, lpReturnedString, nSize);
    }
    std::string text;
    if (answer.found) {
        text = platform::Utf16ToUtf8(answer.value);
    } else {
        std::u16string fallback = pp::Wide(lpDefault);
        text = platform::Utf16ToUtf8(pp::DefaultText(lpDefault ? fallback.c_str() : nullptr));
    }
    if (nSize > 0) text = pp::CutUtf8(std::move(text), nSize - 1);
    DWORD count = pp::CopyValue(std::string_view(text), lpReturnedString, nSize);
    SetLastError(answer.found ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    return count;
}

UINT GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault, LPCWSTR lpFileName) {
    if (!lpAppName || !lpKeyName) return static_cast<UINT>(nDefault);
    pp::Answer answer =
        pp::Lookup(lpAppName, lpKeyName, lpFileName ? std::u16string_view(lpFileName) : u"");
    if (!answer.found) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return static_cast<UINT>(nDefault);
    }
    SetLastError(ERROR_SUCCESS);
    return pp::ParseInt(answer.value);
}

UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
    if (!lpAppName || !lpKeyName) return static_cast<UINT>(nDefault);
    std::u16string section = pp::Wide(lpAppName), key = pp::Wide(lpKeyName);
    std::u16string file = pp::Wide(lpFileName);
    return GetPrivateProfileIntW(section.c_str(), key.c_str(), nDefault, file.c_str());
}

BOOL WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString,
                                LPCWSTR lpFileName) {
    return pp::Write(lpAppName, lpKeyName, lpString,
                     lpFileName ? std::u16string_view(lpFileName) : u"")
               ? TRUE
               : FALSE;
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                LPCSTR lpFileName) {
    std::u16string section = pp::Wide(lpAppName), key = pp::Wide(lpKeyName);
    std::u16string value = pp::Wide(lpString), file = pp::Wide(lpFileName);
    return pp::Write(lpAppName ? section.c_str() : nullptr, lpKeyName ? key.c_str() : nullptr,
                     lpString ? value.c_str() : nullptr, file)
               ? TRUE
               : FALSE;
}

}  // extern "C"
