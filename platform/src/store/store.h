// The store of a system root: one SQLite database (system.db) holding the registry and the
// spooler's state. Internal to the platform.
//
// Each process keeps one connection to the store of the current system root, opened on first
// use (the store is created when missing) and reopened when the root changes. Statements are
// prepared once and kept. Every write runs in a BEGIN IMMEDIATE transaction; the database is in
// WAL mode with a busy timeout, so several processes sharing a root wait for each other
// instead of failing or losing writes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/types.h"

namespace platform::store {

// ---- Text ---------------------------------------------------------------------------------
// UTF-16 <-> UTF-8 for names kept in the store. Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);
// Length of a terminated UTF-16 string (null counts as empty).
std::size_t WideLength(const WCHAR* text);
// A terminated UTF-16 string as UTF-8 (null gives "").
std::string Narrow(const WCHAR* text);

// ---- Failures -------------------------------------------------------------------------------
// A store failure: the Win32 code that callers see and a message naming the file.
struct Failure {
    DWORD code = ERROR_SUCCESS;
    std::string message;
};

// Thrown inside the platform only; every public function catches it and returns the code.
class StoreError {
public:
    StoreError(DWORD code, std::string message) : failure{code, std::move(message)} {}
    Failure failure;
};

// Remembers the message of a failure for platform::LastStoreError (and reports a damaged
// store on stderr once per file).
void NoteFailure(const Failure& failure);

// ---- Statements ---------------------------------------------------------------------------
class Statement {
public:
    explicit Statement(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, std::string_view text);
    Statement& BindNull(int index);
    Statement& BindOptional(int index, const std::optional<std::string>& text);
    Statement& BindBlob(int index, const void* data, std::size_t size);

    // Steps once: true when a row is there, false when done. Failures throw StoreError.
    bool Step();
    // Steps to the end (for writes).
    void Run();

    std::int64_t Int(int column) const;
    std::string Text(int column) const;
    std::optional<std::string> OptionalText(int column) const;
    bool IsNull(int column) const;
    std::vector<BYTE> Blob(int column) const;
    const void* BlobData(int column) const;
    std::size_t BlobSize(int column) const;

private:
    sqlite3_stmt* m_stmt;
};

// The connection to the store of the current root. Use only while holding Lock().
class Connection {
public:
    // The connection of this process for platform::SystemRoot(), opened (and the store
    // created) when needed. Throws StoreError when the store cannot be used.
    static Connection& Current();

    // A cached prepared statement, reset and with cleared bindings.
    Statement Prepare(const char* sql);
    std::int64_t LastInsertId() const;
    int Changes() const;
    const std::filesystem::path& File() const { return m_file; }
    const std::filesystem::path& Root() const { return m_root; }

    // Runs `work` inside BEGIN IMMEDIATE ... COMMIT (rolled back when it throws).
    template <typename Work>
    auto Write(Work&& work) {
        Begin();
        try {
            if constexpr (std::is_void_v<decltype(work())>) {
                work();
                Commit();
            } else {
                auto result = work();
                Commit();
                return result;
            }
        } catch (...) {
            Rollback();
            throw;
        }
    }

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    // Throws StoreError for an SQLite result code (message names the store file).
    [[noreturn]] void Fail(int rc, std::string_view what) const;

private:
    Connection() = default;
    friend struct ConnectionAccess;
    void Begin();
    void Commit();
    void Rollback();

    sqlite3* m_db = nullptr;
    std::filesystem::path m_root;
    std::filesystem::path m_file;
    std::vector<std::pair<const char*, sqlite3_stmt*>> m_statements;
};

// The lock that serialises the use of the connection between threads of this process.
std::unique_lock<std::recursive_mutex> Lock();

// Runs `body` under the lock with the current connection; a StoreError becomes its code
// (set as the last error too) and is returned through `failed`.
template <typename Body>
DWORD Guarded(Body&& body) {
    try {
        auto lock = Lock();
        return body(Connection::Current());
    } catch (const StoreError& error) {
        NoteFailure(error.failure);
        return error.failure.code;
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (const std::exception& error) {
        // Nothing may leave a Win32-style function as an exception.
        NoteFailure(Failure{ERROR_GEN_FAILURE, error.what()});
        return ERROR_GEN_FAILURE;
    }
}

}  // namespace platform::store
