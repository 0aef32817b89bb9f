// Forms: the system's forms database (EnumFormsW, GetFormW, AddFormW, SetFormW, DeleteFormW).
#include <cstring>

#include "spooler/spooler_internal.h"

namespace platform::spooler {
namespace {

using store::Connection;

// The longest form name a DEVMODE's dmFormName can hold.
constexpr std::size_t kMaxFormName = CCHFORMNAME - 1;

struct FormRecord {
    DWORD flags = 0;
    std::string name;
    LONG cx = 0, cy = 0, left = 0, top = 0, right = 0, bottom = 0;
};

FormRecord ReadForm(store::Statement& stmt) {
    FormRecord form;
    form.name = stmt.Text(0);
    form.flags = static_cast<DWORD>(stmt.Int(1));
    form.cx = static_cast<LONG>(stmt.Int(2));
    form.cy = static_cast<LONG>(stmt.Int(3));
    form.left = static_cast<LONG>(stmt.Int(4));
    form.top = static_cast<LONG>(stmt.Int(5));
    form.right = static_cast<LONG>(stmt.Int(6));
    form.bottom = static_cast<LONG>(stmt.Int(7));
    return form;
}

std::optional<FormRecord> FindForm(Connection& db, const std::string& name) {
    auto stmt = db.Prepare(
        "SELECT name, flags, cx, cy, area_left, area_top, area_right, area_bottom FROM forms"
        " WHERE name = ?");
    stmt.Bind(1, name);
    if (!stmt.Step()) return std::nullopt;
    return ReadForm(stmt);
}

BOOL PackForms(const std::vector<FormRecord>& forms, LPBYTE buffer, DWORD cbBuf,
               LPDWORD pcbNeeded) {
    auto fill = [&](BYTE* base) {
        Packer packer(base, forms.size() * sizeof(FORM_INFO_1W));
        for (std::size_t i = 0; i < forms.size(); ++i) {
            FORM_INFO_1W info{};
            info.Flags = forms[i].flags;
            info.pName = packer.Text(forms[i].name);
            info.Size = {forms[i].cx, forms[i].cy};
            info.ImageableArea = {forms[i].left, forms[i].top, forms[i].right, forms[i].bottom};
            if (base) std::memcpy(base + i * sizeof info, &info, sizeof info);
        }
        return packer.Used();
    };
    std::size_t needed = fill(nullptr);
    if (needed > 0xFFFFFFFFu) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    *pcbNeeded = static_cast<DWORD>(needed);
    if (cbBuf < needed || !buffer) return Fail(ERROR_INSUFFICIENT_BUFFER);
    fill(buffer);
    return TRUE;
}

DWORD CheckName(const std::string& name) {
    if (name.empty() || store::ToUtf16(name).size() > kMaxFormName) return ERROR_INVALID_FORM_NAME;
    return ERROR_SUCCESS;
}

// A form record from a caller's FORM_INFO_1W, or the code that refuses it.
DWORD ReadCallerForm(const BYTE* pForm, FormRecord& form) {
    if (!pForm) return ERROR_INVALID_PARAMETER;
    const auto& info = *reinterpret_cast<const FORM_INFO_1W*>(pForm);
    form.name = store::Narrow(info.pName);
    form.flags = info.Flags == FORM_PRINTER ? FORM_PRINTER : FORM_USER;
    form.cx = info.Size.cx;
    form.cy = info.Size.cy;
    form.left = info.ImageableArea.left;
    form.top = info.ImageableArea.top;
    form.right = info.ImageableArea.right;
    form.bottom = info.ImageableArea.bottom;
    if (form.cx <= 0 || form.cy <= 0 || form.left < 0 || form.top < 0 || form.left > form.right ||
        form.top > form.bottom || form.right > form.cx || form.bottom > form.cy) {
        return ERROR_INVALID_FORM_SIZE;
    }
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace platform::spooler

using namespace platform::spooler;
using platform::store::Connection;
using platform::store::Narrow;

extern "C" BOOL EnumFormsW(HANDLE hPrinter, DWORD Level, LPBYTE pForm, DWORD cbBuf,
                           LPDWORD pcbNeeded, LPDWORD pcReturned) {
    if (!FindHandle(hPrinter)) return FALSE;
    if (!pcbNeeded || !pcReturned) return Fail(ERROR_INVALID_PARAMETER);
    *pcReturned = 0;
    if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
    return Run([&](Connection& db) -> BOOL {
        std::vector<FormRecord> forms;
        auto stmt = db.Prepare(
            "SELECT name, flags, cx, cy, area_left, area_top, area_right, area_bottom FROM forms"
            " ORDER BY id");
        while (stmt.Step()) forms.push_back(ReadForm(stmt));
        if (!PackForms(forms, pForm, cbBuf, pcbNeeded)) return FALSE;
        *pcReturned = static_cast<DWORD>(forms.size());
        return TRUE;
    });
}

extern "C" BOOL GetFormW(HANDLE hPrinter, LPCWSTR pFormName, DWORD Level, LPBYTE pForm, DWORD cbBuf,
                         LPDWORD pcbNeeded) {
    if (!FindHandle(hPrinter)) return FALSE;
    if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
    if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
    std::string name = Narrow(pFormName);
    return Run([&](Connection& db) -> BOOL {
        auto form = FindForm(db, name);
        if (!form) return Fail(ERROR_INVALID_FORM_NAME);
        return PackForms({*form}, pForm, cbBuf, pcbNeeded);
    });
}

extern "C" BOOL AddFormW(HANDLE hPrinter, DWORD Level, LPBYTE pForm) {
    if (!FindHandle(hPrinter)) return FALSE;
    if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
    FormRecord form;
    if (DWORD code = ReadCallerForm(pForm, form)) return Fail(code);
    if (DWORD code = CheckName(form.name)) return Fail(code);
    return Run([&](Connection& db) -> BOOL {
        return db.Write([&]() -> BOOL {
            if (FindForm(db, form.name)) return Fail(ERROR_FILE_EXISTS);
            auto stmt = db.Prepare(
                "INSERT INTO forms(name, flags, cx, cy, area_left, area_top, area_right,"
                " area_bottom) VALUES(?,?,?,?,?,?,?,?)");
            stmt.Bind(1, form.name)
                .Bind(2, form.flags)
                .Bind(3, form.cx)
                .Bind(4, form.cy)
                .Bind(5, form.left)
                .Bind(6, form.top)
                .Bind(7, form.right)
                .Bind(8, form.bottom)
                .Run();
            return TRUE;
        });
    });
}

extern "C" BOOL SetFormW(HANDLE hPrinter, LPCWSTR pFormName, DWORD Level, LPBYTE pForm) {
    if (!FindHandle(hPrinter)) return FALSE;
    if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
    FormRecord form;
    if (DWORD code = ReadCallerForm(pForm, form)) return Fail(code);
    std::string name = Narrow(pFormName);
    return Run([&](Connection& db) -> BOOL {
        return db.Write([&]() -> BOOL {
            auto existing = FindForm(db, name);
            if (!existing) return Fail(ERROR_INVALID_FORM_NAME);
            if (existing->flags == FORM_BUILTIN) return Fail(ERROR_INVALID_PARAMETER);
            auto stmt = db.Prepare(
                "UPDATE forms SET cx=?, cy=?, area_left=?, area_top=?, area_right=?,"
                " area_bottom=? WHERE name=?");
            stmt.Bind(1, form.cx)
                .Bind(2, form.cy)
                .Bind(3, form.left)
                .Bind(4, form.top)
                .Bind(5, form.right)
                .Bind(6, form.bottom)
                .Bind(7, name)
                .Run();
            return TRUE;
        });
    });
}

extern "C" BOOL DeleteFormW(HANDLE hPrinter, LPCWSTR pFormName) {
    if (!FindHandle(hPrinter)) return FALSE;
    std::string name = Narrow(pFormName);
    return Run([&](Connection& db) -> BOOL {
        return db.Write([&]() -> BOOL {
            auto existing = FindForm(db, name);
            if (!existing) return Fail(ERROR_INVALID_FORM_NAME);
            if (existing->flags == FORM_BUILTIN) return Fail(ERROR_INVALID_PARAMETER);
            auto stmt = db.Prepare("DELETE FROM forms WHERE name = ?");
            stmt.Bind(1, name).Run();
            return TRUE;
        });
    });
}
