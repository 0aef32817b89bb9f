// Packing of spooler answers into callers' buffers: records first, then strings and blobs.
#include <cstring>

#include "spooler/spooler_internal.h"

namespace platform::spooler {

LPWSTR Packer::String(const std::optional<std::string>& text) {
    if (!text) return nullptr;
    std::u16string wide = store::ToUtf16(*text);
    m_used = (m_used + alignof(WCHAR) - 1) & ~(alignof(WCHAR) - 1);
    std::size_t bytes = (wide.size() + 1) * sizeof(WCHAR);
    LPWSTR place = nullptr;
    if (m_buffer) {
        place = reinterpret_cast<LPWSTR>(m_buffer + m_used);
        std::memcpy(place, wide.c_str(), bytes);
    }
    m_used += bytes;
    return place;
}

BYTE* Packer::Bytes(const void* data, std::size_t size, std::size_t align) {
    if (size == 0) return nullptr;
    m_used = (m_used + align - 1) / align * align;
    BYTE* place = nullptr;
    if (m_buffer) {
        place = m_buffer + m_used;
        std::memcpy(place, data, size);
    }
    m_used += size;
    return place;
}

}  // namespace platform::spooler
