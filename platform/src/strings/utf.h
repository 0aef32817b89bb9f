// Code-point level UTF-8 and UTF-16 steps shared by the string and code page services.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Decodes the sequence at text[pos] and moves pos past it. On invalid input returns false
// and moves pos past the maximal invalid part (at least one byte / unit).
bool DecodeUtf8(std::string_view text, size_t& pos, char32_t& cp);
bool DecodeUtf16(std::u16string_view text, size_t& pos, char32_t& cp);

void AppendUtf8(std::string& out, char32_t cp);
void AppendUtf16(std::u16string& out, char32_t cp);

}  // namespace platform
