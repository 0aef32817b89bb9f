// ImageStream's one-byte write and FileImageStream, the stream over an open C file.

#include "image_stream.h"

bool ImageStream::PutByte(BYTE value) {
    return Write(&value, 1, 1) == 1;
}

FileImageStream::FileImageStream(std::FILE* file, bool ownsFile)
    : m_fp(file), m_bOwnsFile(ownsFile) {}

FileImageStream::~FileImageStream() {
    Close();
}

// Close: closes the file when the stream owns it; the stream holds no file afterwards.
bool FileImageStream::Close() {
    if (m_fp == nullptr) return false;
    int rc = 0;
    if (m_bOwnsFile) rc = std::fclose(m_fp);
    m_fp = nullptr;
    return rc == 0;
}

size_t FileImageStream::Read(void* buffer, size_t size, size_t count) {
    if (m_fp == nullptr || buffer == nullptr) return 0;
    return std::fread(buffer, size, count, m_fp);
}

size_t FileImageStream::Write(const void* buffer, size_t size, size_t count) {
    if (m_fp == nullptr || buffer == nullptr) return 0;
    return std::fwrite(buffer, size, count, m_fp);
}

bool FileImageStream::Seek(long offset, int origin) {
    if (m_fp == nullptr) return false;
    return std::fseek(m_fp, offset, origin) == 0;
}

long FileImageStream::Tell() {
    if (m_fp == nullptr) return -1;
    return std::ftell(m_fp);
}

// Size: seeks to the end and back to where the stream was.
long FileImageStream::Size() {
    if (m_fp == nullptr) return -1;
    const long pos = std::ftell(m_fp);
    if (pos < 0 || std::fseek(m_fp, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(m_fp);
    if (std::fseek(m_fp, pos, SEEK_SET) != 0) return -1;
    return size;
}

bool FileImageStream::Flush() {
    if (m_fp == nullptr) return false;
    return std::fflush(m_fp) == 0;
}

bool FileImageStream::AtEnd() {
    if (m_fp == nullptr) return true;
    return std::feof(m_fp) != 0;
}

long FileImageStream::ErrorState() {
    if (m_fp == nullptr) return -1;
    return std::ferror(m_fp);
}

bool FileImageStream::PutByte(BYTE value) {
    if (m_fp == nullptr) return false;
    return std::fputc(value, m_fp) != EOF;
}

long FileImageStream::GetByte() {
    if (m_fp == nullptr) return -1;
    return std::fgetc(m_fp);
}

char* FileImageStream::GetLine(char* text, int maxCount) {
    if (m_fp == nullptr || text == nullptr || maxCount <= 0) return nullptr;
    return std::fgets(text, maxCount, m_fp);
}

long FileImageStream::ScanFormat(const char* format, void* output) {
    if (m_fp == nullptr || format == nullptr || output == nullptr) return -1;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    return std::fscanf(m_fp, format, output);
#pragma GCC diagnostic pop
}
