// Starting programs through the shell.
//
// ShellExecuteW with the "open" verb (or none) starts the named program of the given folder
// with the parameter string as its one argument, and does not wait for it. No shell parses
// the parameter string: a printer name with spaces arrives as one argument.
//
// For tests, KV580_SHELL_RECORD=<file> records each launch as one line instead of running it:
// "open<TAB>program path<TAB>parameters<TAB>folder" (UTF-8, Linux paths).
#pragma once

#include "win32/types.h"

constexpr INT SW_HIDE = 0;
constexpr INT SW_SHOWNORMAL = 1;
constexpr INT SW_SHOW = 5;

// Results up to 32 are errors (the published codes).
constexpr INT_PTR SE_ERR_FNF = 2;
constexpr INT_PTR SE_ERR_PNF = 3;
constexpr INT_PTR SE_ERR_ACCESSDENIED = 5;
constexpr INT_PTR SE_ERR_OOM = 8;
constexpr INT_PTR SE_ERR_NOASSOC = 31;

extern "C" {
// Returns a value above 32 on success; otherwise one of the SE_ERR_ codes, with the last error
// set.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                        LPCWSTR lpDirectory, INT nShowCmd);
}
