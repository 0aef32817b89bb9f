// Helpers shared by the path, file and profile services: error codes, name folding and
// argument conversion.
#include <cerrno>
#include <system_error>

#include "paths/path_internal.h"
#include "win32/strings.h"

namespace fs = std::filesystem;

namespace platform::paths {

DWORD ErrorFromErrno(int error, const fs::path& path) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT: {
            std::error_code ec;
            fs::path parent = path.parent_path();
            if (!parent.empty() && !fs::is_directory(parent, ec)) return ERROR_PATH_NOT_FOUND;
            return ERROR_FILE_NOT_FOUND;
        }
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EBUSY:
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case EIO:
            return ERROR_GEN_FAILURE;
        default:
            return ERROR_GEN_FAILURE;
    }
}

std::u16string FoldName(std::u16string_view name) {
    std::u16string folded(name);
    for (auto& c : folded) c = WcharToLower(c);
    return folded;
}

std::u16string FoldName(std::string_view utf8Name) {
    return FoldName(Utf8ToUtf16(utf8Name));
}

std::string Utf8Arg(const WCHAR* text) {
    return text ? Utf16ToUtf8(std::u16string_view(text)) : std::string();
}

std::u16string WideArg(const char* text) {
    return text ? Utf8ToUtf16(std::string_view(text)) : std::u16string();
}

}  // namespace platform::paths
