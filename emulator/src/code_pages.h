// Character conversion of the printer's code tables and two-byte code systems (iconv).
#pragma once

#include <cstdint>
#include <string>

namespace emulator {

// Two-byte code systems: the Windows code page numbers, plus kJisCodeSystem for FS C 0.
constexpr int kJisCodeSystem = 50220;

// Unicode of byte `b` in the character code table `table` (ESC t n); 0 when there is none.
char32_t SingleByteToUnicode(int table, uint8_t b);

// True when `b` starts a two-byte character in `codePage` (932, 936, 949, 950, kJisCodeSystem).
bool IsLeadByte(int codePage, uint8_t b);

// True when `b` can follow a lead byte in `codePage`.
bool IsTrailByte(int codePage, uint8_t b);

// Unicode of the two-byte character `code` (lead byte high) in `codePage`; 0 when none.
char32_t DoubleByteToUnicode(int codePage, uint16_t code);

// Appends `cp` to `out` as UTF-8 (U+FFFD for 0 or invalid values).
void AppendUtf8(char32_t cp, std::string& out);

}  // namespace emulator
