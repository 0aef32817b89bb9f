// Print jobs: StartDocPrinterW, WritePrinter, EndDocPrinter and the delivery of a finished job
// to the printer's port (a file for now) or to the output file the caller named.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "spooler/spooler_internal.h"

namespace platform::spooler {
namespace {

using store::Connection;
using store::Narrow;

// A caller's output file: "C:\..." is a path of the system root's drive, any other drive is
// refused; "..": refused; anything else is a path of this machine as given.
DWORD OutputFilePath(const std::filesystem::path& root, const std::string& name,
                     std::filesystem::path& out) {
    bool drive = name.size() >= 2 && name[1] == ':' &&
                 ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z'));
    if (!drive) {
        out = name;
        return ERROR_SUCCESS;
    }
    if (name[0] != 'c' && name[0] != 'C') return ERROR_ACCESS_DENIED;
    std::filesystem::path mapped = root;
    std::string rest = name.substr(2);
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find_first_of("\\/", start);
        if (end == std::string::npos) end = rest.size();
        std::string part = rest.substr(start, end - start);
        if (part == "..") return ERROR_ACCESS_DENIED;
        if (!part.empty() && part != ".") mapped /= part;
        start = end + 1;
    }
    out = mapped;
    return ERROR_SUCCESS;
}

DWORD CodeForErrno(int error) {
    switch (error) {
        case ENOSPC:
            return ERROR_DISK_FULL;
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case ENOENT:
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        default:
            return ERROR_WRITE_FAULT;
    }
}

// Copies the spool file to the destination under an exclusive lock, so that jobs of several
// processes going to one port follow each other whole.
DWORD Deliver(const OpenJob& job) {
    std::error_code ec;
    if (job.destination.has_parent_path()) {
        std::filesystem::create_directories(job.destination.parent_path(), ec);
    }
    int in = ::open(job.spoolPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return ERROR_SPOOL_FILE_NOT_FOUND;
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (job.appendToDestination ? O_APPEND : O_TRUNC);
    int out = ::open(job.destination.c_str(), flags, 0644);
    if (out < 0) {
        DWORD code = CodeForErrno(errno);
        ::close(in);
        return code;
    }
    DWORD code = ERROR_SUCCESS;
    ::flock(out, LOCK_EX);
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            code = ERROR_READ_FAULT;
            break;
        }
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(out, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) {
                code = CodeForErrno(errno);
                break;
            }
            done += put;
        }
        if (code != ERROR_SUCCESS) break;
    }
    ::flock(out, LOCK_UN);
    if (::close(out) != 0 && code == ERROR_SUCCESS) code = CodeForErrno(errno);
    ::close(in);
    return code;
}

void SetJobStatus(Connection& db, const OpenJob& job, DWORD status) {
    db.Write([&] {
        auto stmt = db.Prepare("UPDATE jobs SET status = ?, size = ?, pages = ? WHERE id = ?");
        stmt.Bind(1, status)
            .Bind(2, static_cast<std::int64_t>(job.size))
            .Bind(3, job.pages)
            .Bind(4, job.id)
            .Run();
    });
}

PrinterHandle* JobHandle(HANDLE hPrinter) {
    PrinterHandle* handle = FindHandle(hPrinter);
    if (!handle) return nullptr;
    if (handle->server) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!handle->job) {
        SetLastError(ERROR_SPL_NO_STARTDOC);
        return nullptr;
    }
    return handle;
}

}  // namespace

bool FinishJob(PrinterHandle& handle) {
    OpenJob job = std::move(*handle.job);
    handle.job.reset();
    bool closed = std::fclose(job.spool) == 0;
    DWORD code = closed ? Deliver(job) : ERROR_WRITE_FAULT;
    Run([&](Connection& db) -> BOOL {
        SetJobStatus(
            db, job,
            code == ERROR_SUCCESS ? (JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE) : JOB_STATUS_ERROR);
        return TRUE;
    });
    if (code != ERROR_SUCCESS) {
        // The spool file stays, so that nothing of an undelivered job is lost.
        SetLastError(code);
        return false;
    }
    if (!job.keepSpoolFile) {
        std::error_code ec;
        std::filesystem::remove(job.spoolPath, ec);
    }
    return true;
}

}  // namespace platform::spooler

using namespace platform::spooler;
using platform::store::Connection;
using platform::store::Narrow;

extern "C" DWORD StartDocPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo) {
    PrinterHandle* handle = FindHandle(hPrinter);
    if (!handle) return 0;
    if (handle->server) return Fail(ERROR_INVALID_HANDLE);
    if (!(handle->access & PRINTER_ACCESS_USE)) return Fail(ERROR_ACCESS_DENIED);
    if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
    if (!pDocInfo) return Fail(ERROR_INVALID_PARAMETER);
    if (handle->job) return Fail(ERROR_INVALID_PRINTER_STATE);
    const auto& doc = *reinterpret_cast<const DOC_INFO_1W*>(pDocInfo);
    DWORD jobId = 0;
    Run([&](Connection& db) -> BOOL {
        auto printer = LoadPrinter(db, handle->printerId);
        if (!printer) return Fail(ERROR_INVALID_PRINTER_NAME);
        const auto& root = db.Root();
        OpenJob job;
        std::string output = Narrow(doc.pOutputFile);
        std::string port = printer->portName.value_or("");
        if (!output.empty()) {
            if (DWORD code = OutputFilePath(root, output, job.destination)) return Fail(code);
            job.appendToDestination = false;
        } else if (port.empty() || port == "FILE:" || port == "file:") {
            return Fail(ERROR_INVALID_PARAMETER);  // printing to a file needs the file's name
        } else {
            job.destination = platform::PortFilePath(root, platform::store::ToUtf16(port));
        }
        std::optional<std::string> datatype =
            doc.pDatatype && *doc.pDatatype
                ? std::optional(Narrow(doc.pDatatype))
                : (handle->datatype ? handle->datatype : printer->datatype);
        job.id = static_cast<DWORD>(db.Write([&] {
            auto stmt = db.Prepare(
                "INSERT INTO jobs(printer_id, document, output_file, datatype, status)"
                " VALUES(?,?,?,?,?)");
            stmt.Bind(1, printer->id)
                .BindOptional(2, doc.pDocName ? std::optional(Narrow(doc.pDocName)) : std::nullopt)
                .BindOptional(3, output.empty() ? std::nullopt : std::optional(output))
                .BindOptional(4, datatype)
                .Bind(5, JOB_STATUS_SPOOLING)
                .Run();
            return db.LastInsertId();
        }));
        char spoolName[32];
        std::snprintf(spoolName, sizeof spoolName, "%05u.SPL", job.id);
        std::filesystem::path folder = root / "Windows" / "System32" / "spool" / "PRINTERS";
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        job.spoolPath = folder / spoolName;
        job.spool = std::fopen(job.spoolPath.c_str(), "wb");
        job.keepSpoolFile = (printer->attributes & PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS) != 0;
        if (!job.spool) {
            DWORD code = CodeForErrno(errno);
            SetJobStatus(db, job, JOB_STATUS_ERROR);
            return Fail(code);
        }
        auto stmt = db.Prepare("UPDATE jobs SET spool_file = ? WHERE id = ?");
        db.Write([&] { stmt.Bind(1, job.spoolPath.string()).Bind(2, job.id).Run(); });
        jobId = job.id;
        handle->job = std::move(job);
        return TRUE;
    });
    return jobId;
}

extern "C" BOOL StartPagePrinter(HANDLE hPrinter) {
    return JobHandle(hPrinter) ? TRUE : FALSE;
}

extern "C" BOOL EndPagePrinter(HANDLE hPrinter) {
    PrinterHandle* handle = JobHandle(hPrinter);
    if (!handle) return FALSE;
    ++handle->job->pages;
    return TRUE;
}

extern "C" BOOL WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten) {
    if (pcWritten) *pcWritten = 0;
    PrinterHandle* handle = JobHandle(hPrinter);
    if (!handle) return FALSE;
    if (!pcWritten || (cbBuf > 0 && !pBuf)) return Fail(ERROR_INVALID_PARAMETER);
    if (cbBuf == 0) return TRUE;
    std::size_t put = std::fwrite(pBuf, 1, cbBuf, handle->job->spool);
    handle->job->size += put;
    *pcWritten = static_cast<DWORD>(put);
    if (put != cbBuf) return Fail(CodeForErrno(errno));
    return TRUE;
}

extern "C" BOOL EndDocPrinter(HANDLE hPrinter) {
    PrinterHandle* handle = JobHandle(hPrinter);
    if (!handle) return FALSE;
    return FinishJob(*handle) ? TRUE : FALSE;
}

extern "C" BOOL AbortPrinter(HANDLE hPrinter) {
    PrinterHandle* handle = JobHandle(hPrinter);
    if (!handle) return FALSE;
    OpenJob job = std::move(*handle->job);
    handle->job.reset();
    std::fclose(job.spool);
    std::error_code ec;
    std::filesystem::remove(job.spoolPath, ec);
    return Run([&](Connection& db) -> BOOL {
        SetJobStatus(db, job, JOB_STATUS_DELETED);
        return TRUE;
    });
}
