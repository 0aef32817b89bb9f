// The store connection: opening and creating system.db, the schema, statements and
// transactions, and the refusal of a file that is not a store of this system.
#include "store/store.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <system_error>

#include "win32/system_root.h"
#include "win32/winspool.h"

namespace platform::store {
namespace {

constexpr const char* kFormat = "kv580 system store";
constexpr const char* kVersion = "1";

// The schema of a fresh store. Names compare without regard to ASCII letter case, as the
// spooler and the registry do.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS store_info(
    name TEXT PRIMARY KEY,
    value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS printers(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE,
    share_name TEXT, port_name TEXT, driver_name TEXT, comment TEXT, location TEXT,
    sep_file TEXT, print_processor TEXT, datatype TEXT, parameters TEXT,
    attributes INTEGER NOT NULL DEFAULT 0,
    priority INTEGER NOT NULL DEFAULT 1,
    default_priority INTEGER NOT NULL DEFAULT 0,
    start_time INTEGER NOT NULL DEFAULT 0,
    until_time INTEGER NOT NULL DEFAULT 0,
    status INTEGER NOT NULL DEFAULT 0,
    devmode BLOB);
CREATE TABLE IF NOT EXISTS printer_data(
    printer_id INTEGER NOT NULL REFERENCES printers(id) ON DELETE CASCADE,
    key_name TEXT NOT NULL COLLATE NOCASE,
    value_name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY(printer_id, key_name, value_name));
CREATE TABLE IF NOT EXISTS forms(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE,
    flags INTEGER NOT NULL,
    cx INTEGER NOT NULL, cy INTEGER NOT NULL,
    area_left INTEGER NOT NULL, area_top INTEGER NOT NULL,
    area_right INTEGER NOT NULL, area_bottom INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS jobs(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    printer_id INTEGER REFERENCES printers(id) ON DELETE CASCADE,
    document TEXT, output_file TEXT, datatype TEXT,
    status INTEGER NOT NULL,
    size INTEGER NOT NULL DEFAULT 0,
    pages INTEGER NOT NULL DEFAULT 0,
    spool_file TEXT);
CREATE TABLE IF NOT EXISTS reg_keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    hive INTEGER NOT NULL,
    parent_id INTEGER REFERENCES reg_keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL COLLATE NOCASE,
    UNIQUE(hive, parent_id, name));
CREATE TABLE IF NOT EXISTS reg_values(
    key_id INTEGER NOT NULL REFERENCES reg_keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY(key_id, name));
INSERT OR IGNORE INTO reg_keys(id, hive, parent_id, name) VALUES
    (1, 0, NULL, ''), (2, 1, NULL, ''), (3, 2, NULL, ''), (4, 3, NULL, '');
)sql";

struct BuiltinForm {
    const char* name;
    LONG cx;
    LONG cy;
};

// The built-in forms of a new store, in thousandths of a millimetre.
constexpr BuiltinForm kBuiltinForms[] = {
    {"Letter", 215900, 279400},       {"Legal", 215900, 355600}, {"Executive", 184150, 266700},
    {"A4", 210000, 297000},           {"A5", 148000, 210000},    {"B5 (JIS)", 182000, 257000},
    {"Envelope #10", 104775, 241300},
};

std::recursive_mutex g_mutex;
Connection* g_connection = nullptr;
pid_t g_connectionPid = 0;

std::mutex g_failureMutex;
std::string g_lastFailure;
std::set<std::string> g_reported;

DWORD CodeFor(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return ERROR_BUSY;
        case SQLITE_FULL:
            return ERROR_DISK_FULL;
        case SQLITE_NOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return ERROR_BADDB;
        case SQLITE_CANTOPEN:
            return ERROR_CANTOPEN;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ERROR_ACCESS_DENIED;
        case SQLITE_IOERR:
            return ERROR_CANTWRITE;
        default:
            return ERROR_GEN_FAILURE;
    }
}

std::string Quote(const std::filesystem::path& file) {
    return "'" + file.string() + "'";
}

[[noreturn]] void Refuse(const std::filesystem::path& file, const std::string& reason) {
    throw StoreError(ERROR_BADDB, "store " + Quote(file) + " is not a store of this system (" +
                                      reason + "); it was left unchanged");
}

[[noreturn]] void FailDb(sqlite3* db, const std::filesystem::path& file, int rc,
                         std::string_view what) {
    const char* detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    int primary = rc & 0xFF;
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) {
        Refuse(file, std::string("damaged or not a database: ") + detail);
    }
    throw StoreError(CodeFor(rc),
                     "store " + Quote(file) + ": " + std::string(what) + " failed: " + detail);
}

void Exec(sqlite3* db, const std::filesystem::path& file, const char* sql) {
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        std::string detail = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT) {
            Refuse(file, "damaged or not a database: " + detail);
        }
        throw StoreError(CodeFor(rc), "store " + Quote(file) + ": " + detail);
    }
}

// A single integer or text answer of a query on the raw connection.
std::optional<std::string> QueryText(sqlite3* db, const std::filesystem::path& file,
                                     const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK) FailDb(db, file, rc, "reading");
    std::optional<std::string> result;
    rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(stmt, 0);
        result = text ? reinterpret_cast<const char*>(text) : "";
    } else if (rc != SQLITE_DONE) {
        sqlite3_finalize(stmt);
        FailDb(db, file, rc, "reading");
    }
    sqlite3_finalize(stmt);
    return result;
}

// Looks at the file before SQLite touches it: an existing non-empty file must begin with the
// SQLite header, so that nothing is ever written into a file of another kind.
void CheckFileKind(const std::filesystem::path& file) {
    std::error_code ec;
    auto status = std::filesystem::status(file, ec);
    if (ec || status.type() == std::filesystem::file_type::not_found) return;
    if (status.type() != std::filesystem::file_type::regular) {
        Refuse(file, "not a regular file");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw StoreError(ERROR_CANTOPEN, "store " + Quote(file) + " cannot be opened for reading");
    }
    char header[16] = {};
    in.read(header, sizeof header);
    std::streamsize got = in.gcount();
    if (got == 0) return;  // an empty file is an empty database
    if (got < 16 || std::memcmp(header, "SQLite format 3\0", 16) != 0) {
        Refuse(file, "not an SQLite database");
    }
}

// Opens (creating when `create`) the store of `root`; throws StoreError.
sqlite3* OpenDatabase(const std::filesystem::path& root, bool create) {
    std::filesystem::path file = root / "system.db";
    std::error_code ec;
    if (create) {
        std::filesystem::create_directories(root, ec);
        if (ec) {
            throw StoreError(ERROR_CANTOPEN, "cannot create folder " + Quote(root) +
                                                 " for the store: " + ec.message());
        }
    }
    CheckFileKind(file);
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw StoreError(CodeFor(rc), "store " + Quote(file) + " cannot be opened: " + detail);
    }
    try {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, 60000);
        // A database of another program is refused, not extended with our tables.
        auto tables = QueryText(db, file, "SELECT count(*) FROM sqlite_master");
        bool fresh = tables && *tables == "0";
        if (!fresh) {
            auto hasInfo =
                QueryText(db, file, "SELECT count(*) FROM sqlite_master WHERE name='store_info'");
            if (!hasInfo || *hasInfo == "0") Refuse(file, "an SQLite database of another kind");
            auto format = QueryText(db, file, "SELECT value FROM store_info WHERE name='format'");
            if (!format || *format != kFormat) Refuse(file, "an SQLite database of another kind");
            auto version = QueryText(db, file, "SELECT value FROM store_info WHERE name='version'");
            if (!version || *version != kVersion) {
                Refuse(file, "store version " + version.value_or("?") + ", expected " + kVersion);
            }
        }
        Exec(db, file, "PRAGMA journal_mode=WAL");
        Exec(db, file, "PRAGMA synchronous=NORMAL");
        Exec(db, file, "PRAGMA foreign_keys=ON");
        if (fresh) {
            Exec(db, file, "BEGIN IMMEDIATE");
            try {
                // Another process may have created the store meanwhile: the schema statements
                // keep what exists, and the forms go in only with the store's format row.
                Exec(db, file, kSchema);
                auto format =
                    QueryText(db, file, "SELECT value FROM store_info WHERE name='format'");
                if (!format) {
                    std::string insert = std::string("INSERT INTO store_info VALUES('format','") +
                                         kFormat + "'),('version','" + kVersion + "')";
                    Exec(db, file, insert.c_str());
                    for (const auto& form : kBuiltinForms) {
                        char sql[512];
                        std::snprintf(sql, sizeof sql,
                                      "INSERT INTO forms(name, flags, cx, cy, area_left, area_top,"
                                      " area_right, area_bottom) VALUES('%s', %u, %d, %d, 0, 0, "
                                      "%d, %d)",
                                      form.name, FORM_BUILTIN, form.cx, form.cy, form.cx, form.cy);
                        Exec(db, file, sql);
                    }
                }
                Exec(db, file, "COMMIT");
            } catch (...) {
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        }
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    return db;
}

}  // namespace

struct ConnectionAccess {
    static Connection* Make(const std::filesystem::path& root) {
        sqlite3* db = OpenDatabase(root, true);
        auto* connection = new Connection();
        connection->m_db = db;
        connection->m_root = root;
        connection->m_file = root / "system.db";
        return connection;
    }
};

// ---- Text ---------------------------------------------------------------------------------
std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        char32_t c = 0xFFFD;
        std::size_t extra = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        }
        ++i;
        bool good = b < 0x80 || extra > 0;
        for (std::size_t k = 0; k < extra; ++k, ++i) {
            if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                good = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        }
        if (!good || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::size_t WideLength(const WCHAR* text) {
    std::size_t n = 0;
    if (text) {
        while (text[n]) ++n;
    }
    return n;
}

std::string Narrow(const WCHAR* text) {
    return ToUtf8(std::u16string_view(text, WideLength(text)));
}

// ---- Failures -------------------------------------------------------------------------------
void NoteFailure(const Failure& failure) {
    std::lock_guard lock(g_failureMutex);
    g_lastFailure = failure.message;
    if (failure.code == ERROR_BADDB && g_reported.insert(failure.message).second) {
        std::fprintf(stderr, "kv580 platform: %s\n", failure.message.c_str());
    }
    SetLastError(failure.code);
}

// ---- Statements ---------------------------------------------------------------------------
Statement::~Statement() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

Statement& Statement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
    sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::BindNull(int index) {
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

Statement& Statement::BindOptional(int index, const std::optional<std::string>& text) {
    return text ? Bind(index, std::string_view(*text)) : BindNull(index);
}

Statement& Statement::BindBlob(int index, const void* data, std::size_t size) {
    static const BYTE kEmpty = 0;
    sqlite3_bind_blob64(m_stmt, index, size ? data : &kEmpty, size, SQLITE_TRANSIENT);
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3* db = sqlite3_db_handle(m_stmt);
    const char* name = sqlite3_db_filename(db, "main");
    FailDb(db, name ? std::filesystem::path(name) : std::filesystem::path("system.db"), rc,
           "a store operation");
}

void Statement::Run() {
    while (Step()) {
    }
}

std::int64_t Statement::Int(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

std::string Statement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    int size = sqlite3_column_bytes(m_stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
}

std::optional<std::string> Statement::OptionalText(int column) const {
    if (IsNull(column)) return std::nullopt;
    return Text(column);
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

const void* Statement::BlobData(int column) const {
    return sqlite3_column_blob(m_stmt, column);
}

std::size_t Statement::BlobSize(int column) const {
    return static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column));
}

std::vector<BYTE> Statement::Blob(int column) const {
    const auto* data = static_cast<const BYTE*>(BlobData(column));
    std::size_t size = BlobSize(column);
    return data ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>();
}

// ---- Connection -------------------------------------------------------------------------------
std::unique_lock<std::recursive_mutex> Lock() {
    return std::unique_lock(g_mutex);
}

Connection& Connection::Current() {
    const auto& root = platform::SystemRoot();
    pid_t pid = getpid();
    if (g_connection && g_connectionPid != pid) {
        g_connection = nullptr;  // inherited through fork: never used (nor closed) here
    }
    if (!g_connection || g_connection->m_root != root) {
        Connection* fresh = ConnectionAccess::Make(root);
        delete g_connection;
        g_connection = fresh;
        g_connectionPid = pid;
    }
    return *g_connection;
}

Connection::~Connection() {
    for (auto& [sql, stmt] : m_statements) sqlite3_finalize(stmt);
    sqlite3_close(m_db);
}

Statement Connection::Prepare(const char* sql) {
    for (auto& [text, stmt] : m_statements) {
        if (text == sql) return Statement(stmt);
    }
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) Fail(rc, "preparing a statement");
    m_statements.emplace_back(sql, stmt);
    return Statement(stmt);
}

std::int64_t Connection::LastInsertId() const {
    return sqlite3_last_insert_rowid(m_db);
}

int Connection::Changes() const {
    return sqlite3_changes(m_db);
}

void Connection::Fail(int rc, std::string_view what) const {
    FailDb(m_db, m_file, rc, what);
}

void Connection::Begin() {
    Exec(m_db, m_file, "BEGIN IMMEDIATE");
}

void Connection::Commit() {
    Exec(m_db, m_file, "COMMIT");
}

void Connection::Rollback() {
    if (!sqlite3_get_autocommit(m_db)) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace platform::store

namespace platform {

bool CreateStore(const std::filesystem::path& root, std::string& error) {
    try {
        auto lock = store::Lock();
        sqlite3* db = store::OpenDatabase(root, true);
        sqlite3_close(db);
        return true;
    } catch (const store::StoreError& failure) {
        error = failure.failure.message;
        return false;
    }
}

bool OpenStore(std::string& error) {
    try {
        auto lock = store::Lock();
        store::Connection::Current();
        return true;
    } catch (const store::StoreError& failure) {
        error = failure.failure.message;
        std::lock_guard guard(store::g_failureMutex);
        store::g_lastFailure = error;
        return false;
    }
}

std::string LastStoreError() {
    std::lock_guard lock(store::g_failureMutex);
    return store::g_lastFailure;
}

std::filesystem::path PortFilePath(const std::filesystem::path& root, std::u16string_view port) {
    while (!port.empty() && port.back() == u':') port.remove_suffix(1);
    std::string name;
    for (char16_t c : port) {
        bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                     (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'_' || c == u' ';
        name += plain ? static_cast<char>(c) : '_';
    }
    if (name.empty() || name.find_first_not_of('.') == std::string::npos) {
        name.insert(0, "_");
    }
    return root / "ports" / (name + ".prn");
}

}  // namespace platform
