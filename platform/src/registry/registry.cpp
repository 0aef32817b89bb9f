// The registry: keys and values of the predefined hives, kept in the store.
//
// Keys are rows of reg_keys (parent and name); each hive has a root row. A key handle keeps
// its hive, its view and its path as the program sees it; the path in the store follows from
// them: in the 32-bit view the keys under HKLM\SOFTWARE are those under
// HKLM\SOFTWARE\WOW6432Node.
#include "win32/registry.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "store/store.h"

namespace {

using platform::store::Connection;
using platform::store::Guarded;
using platform::store::Narrow;

constexpr std::size_t kMaxKeyNameLength = 255;

struct KeyHandle {
    int hive = 0;                   // 0 HKCR, 1 HKCU, 2 HKLM, 3 HKU
    bool view32 = false;            // the 32-bit view of HKLM\SOFTWARE
    std::vector<std::string> path;  // components as the program sees them
    REGSAM access = KEY_ALL_ACCESS;
};

std::mutex g_keyMutex;
std::unordered_map<HKEY, std::unique_ptr<KeyHandle>>& Keys() {
    static auto* keys = new std::unordered_map<HKEY, std::unique_ptr<KeyHandle>>();
    return *keys;
}

bool SameText(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The handle's key (a predefined hive or an opened key), or nullopt for a bad handle.
std::optional<KeyHandle> Resolve(HKEY key) {
    auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value >= 0x80000000u && value <= 0x80000003u) {
        KeyHandle hive;
        hive.hive = static_cast<int>(value - 0x80000000u);
        return hive;
    }
    std::lock_guard lock(g_keyMutex);
    auto found = Keys().find(key);
    if (found == Keys().end()) return std::nullopt;
    return *found->second;
}

// Splits a subkey path at backslashes; false when a component is too long.
bool Split(const WCHAR* subKey, std::vector<std::string>& parts) {
    std::string text = Narrow(subKey);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\\', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) {
            std::string part = text.substr(start, end - start);
            if (platform::store::ToUtf16(part).size() > kMaxKeyNameLength) return false;
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return true;
}

// The view a call asks for: explicit flags win over the handle's view.
bool View32(REGSAM sam, const KeyHandle& base) {
    if (sam & KEY_WOW64_32KEY) return true;
    if (sam & KEY_WOW64_64KEY) return false;
    return base.view32;
}

// The path in the store of a key seen in a view.
std::vector<std::string> StorePath(const KeyHandle& key) {
    std::vector<std::string> path = key.path;
    if (key.view32 && key.hive == 2 && !path.empty() && SameText(path[0], "SOFTWARE") &&
        (path.size() < 2 || !SameText(path[1], "WOW6432Node"))) {
        path.insert(path.begin() + 1, "WOW6432Node");
    }
    return path;
}

std::int64_t HiveRoot(int hive) {
    return hive + 1;
}

// Finds (or with `create`, makes) the key row; 0 when missing. `created` tells if new.
std::int64_t WalkKey(Connection& db, const KeyHandle& key, bool create, bool* created = nullptr) {
    std::int64_t id = HiveRoot(key.hive);
    if (created) *created = false;
    for (const auto& part : StorePath(key)) {
        std::int64_t child = 0;
        {
            auto stmt = db.Prepare("SELECT id FROM reg_keys WHERE parent_id = ? AND name = ?");
            stmt.Bind(1, id).Bind(2, part);
            if (stmt.Step()) child = stmt.Int(0);
        }
        if (child == 0) {
            if (!create) return 0;
            auto stmt = db.Prepare("INSERT INTO reg_keys(hive, parent_id, name) VALUES(?,?,?)");
            stmt.Bind(1, key.hive).Bind(2, id).Bind(3, part).Run();
            child = db.LastInsertId();
            if (created) *created = true;
        }
        id = child;
    }
    return id;
}

HKEY AddKey(KeyHandle key) {
    auto object = std::make_unique<KeyHandle>(std::move(key));
    HKEY handle = reinterpret_cast<HKEY>(object.get());
    std::lock_guard lock(g_keyMutex);
    Keys().emplace(handle, std::move(object));
    return handle;
}

// The key named by hKey\subKey in the view asked for.
LSTATUS Target(HKEY hKey, const WCHAR* subKey, REGSAM sam, KeyHandle& target) {
    auto base = Resolve(hKey);
    if (!base) return ERROR_INVALID_HANDLE;
    target = *base;
    target.view32 = View32(sam, *base);
    if (!Split(subKey, target.path)) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

LSTATUS DeleteKey(HKEY hKey, const WCHAR* subKey, REGSAM sam, bool withSubkeys) {
    KeyHandle target;
    if (LSTATUS code = Target(hKey, subKey, sam, target)) return code;
    if (target.path.empty()) return withSubkeys ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER;
    return static_cast<LSTATUS>(Guarded([&](Connection& db) -> DWORD {
        return db.Write([&]() -> DWORD {
            std::int64_t id = WalkKey(db, target, false);
            if (id == 0) return ERROR_FILE_NOT_FOUND;
            if (!withSubkeys) {
                auto children = db.Prepare("SELECT 1 FROM reg_keys WHERE parent_id = ? LIMIT 1");
                children.Bind(1, id);
                if (children.Step()) return ERROR_ACCESS_DENIED;
            }
            // Subkeys and values go with the key (foreign keys cascade).
            auto stmt = db.Prepare("DELETE FROM reg_keys WHERE id = ?");
            stmt.Bind(1, id).Run();
            return ERROR_SUCCESS;
        });
    }));
}

}  // namespace

extern "C" LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR,
                                   DWORD dwOptions, REGSAM samDesired, const SECURITY_ATTRIBUTES*,
                                   PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult || Reserved != 0 || (dwOptions & ~REG_OPTION_VOLATILE) != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    KeyHandle target;
    if (LSTATUS code = Target(hKey, lpSubKey, samDesired, target)) return code;
    auto base = Resolve(hKey);
    if (!target.path.empty() && base && !(base->access & KEY_CREATE_SUB_KEY)) {
        return ERROR_ACCESS_DENIED;
    }
    target.access = samDesired & ~KEY_WOW64_RES;
    bool created = false;
    LSTATUS code = static_cast<LSTATUS>(Guarded([&](Connection& db) -> DWORD {
        return db.Write([&]() -> DWORD {
            WalkKey(db, target, true, &created);
            return ERROR_SUCCESS;
        });
    }));
    if (code != ERROR_SUCCESS) return code;
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = AddKey(std::move(target));
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                 PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    (void)ulOptions;
    KeyHandle target;
    if (LSTATUS code = Target(hKey, lpSubKey, samDesired, target)) return code;
    target.access = samDesired & ~KEY_WOW64_RES;
    LSTATUS code = static_cast<LSTATUS>(Guarded([&](Connection& db) -> DWORD {
        return WalkKey(db, target, false) != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }));
    if (code != ERROR_SUCCESS) return code;
    *phkResult = AddKey(std::move(target));
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegCloseKey(HKEY hKey) {
    auto value = reinterpret_cast<ULONG_PTR>(hKey);
    if (value >= 0x80000000u && value <= 0x80000003u) return ERROR_SUCCESS;
    std::unique_ptr<KeyHandle> gone;
    std::lock_guard lock(g_keyMutex);
    auto found = Keys().find(hKey);
    if (found == Keys().end()) return ERROR_INVALID_HANDLE;
    gone = std::move(found->second);
    Keys().erase(found);
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                                  const BYTE* lpData, DWORD cbData) {
    auto key = Resolve(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if (Reserved != 0 || (cbData > 0 && !lpData)) return ERROR_INVALID_PARAMETER;
    if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::string name = Narrow(lpValueName);
    return static_cast<LSTATUS>(Guarded([&](Connection& db) -> DWORD {
        return db.Write([&]() -> DWORD {
            std::int64_t id = WalkKey(db, *key, false);
            if (id == 0) return ERROR_KEY_DELETED;
            auto stmt = db.Prepare(
                "INSERT INTO reg_values(key_id, name, type, data) VALUES(?,?,?,?)"
                " ON CONFLICT(key_id, name) DO UPDATE SET type=excluded.type,"
                " data=excluded.data");
            stmt.Bind(1, id).Bind(2, name).Bind(3, dwType).BindBlob(4, lpData, cbData).Run();
            return ERROR_SUCCESS;
        });
    }));
}

extern "C" LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved,
                                    LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    auto key = Resolve(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    std::string name = Narrow(lpValueName);
    return static_cast<LSTATUS>(Guarded([&](Connection& db) -> DWORD {
        std::int64_t id = WalkKey(db, *key, false);
        if (id == 0) return ERROR_KEY_DELETED;
        auto stmt = db.Prepare("SELECT type, data FROM reg_values WHERE key_id = ? AND name = ?");
        stmt.Bind(1, id).Bind(2, name);
        if (!stmt.Step()) return ERROR_FILE_NOT_FOUND;
        if (lpType) *lpType = static_cast<DWORD>(stmt.Int(0));
        std::size_t size = stmt.BlobSize(1);
        if (!lpcbData) return ERROR_SUCCESS;
        DWORD room = *lpcbData;
        *lpcbData = static_cast<DWORD>(size);
        if (!lpData) return ERROR_SUCCESS;
        if (size > room) return ERROR_MORE_DATA;
        if (size > 0) std::memcpy(lpData, stmt.BlobData(1), size);
        return ERROR_SUCCESS;
    }));
}

extern "C" LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    auto key = Resolve(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::string name = Narrow(lpValueName);
    return static_cast<LSTATUS>(Guarded([&](Connection& db) -> DWORD {
        return db.Write([&]() -> DWORD {
            std::int64_t id = WalkKey(db, *key, false);
            if (id == 0) return ERROR_KEY_DELETED;
            auto stmt = db.Prepare("DELETE FROM reg_values WHERE key_id = ? AND name = ?");
            stmt.Bind(1, id).Bind(2, name).Run();
            return db.Changes() > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
    }));
}

extern "C" LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    return DeleteKey(hKey, lpSubKey, 0, false);
}

extern "C" LSTATUS RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD Reserved) {
    if (Reserved != 0) return ERROR_INVALID_PARAMETER;
    return DeleteKey(hKey, lpSubKey, samDesired, false);
}

extern "C" LSTATUS SHDeleteKeyW(HKEY hKey, LPCWSTR pszSubKey) {
    return DeleteKey(hKey, pszSubKey, 0, true);
}

extern "C" LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                                 LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                                 FILETIME* lpftLastWriteTime) {
    auto key = Resolve(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
    if (!(key->access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    return static_cast<LSTATUS>(Guarded([&](Connection& db) -> DWORD {
        std::int64_t id = WalkKey(db, *key, false);
        if (id == 0) return ERROR_KEY_DELETED;
        auto stmt = db.Prepare(
            "SELECT name FROM reg_keys WHERE parent_id = ? ORDER BY name LIMIT 1 OFFSET ?");
        stmt.Bind(1, id).Bind(2, static_cast<std::int64_t>(dwIndex));
        if (!stmt.Step()) return ERROR_NO_MORE_ITEMS;
        std::u16string name = platform::store::ToUtf16(stmt.Text(0));
        if (name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
        std::memcpy(lpName, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
        *lpcchName = static_cast<DWORD>(name.size());
        if (lpClass && lpcchClass && *lpcchClass > 0) {
            lpClass[0] = 0;
            *lpcchClass = 0;
        }
        if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
        return ERROR_SUCCESS;
    }));
}
