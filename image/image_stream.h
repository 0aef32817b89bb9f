// ImageStream: the byte stream the image library writes files through, and FileImageStream,
// its implementation over an already open C stream (FILE*).
#pragma once

#include <cstddef>
#include <cstdio>

#include "win32/types.h"

// An abstract byte stream. Slot order: destructor, Close, Read, Write, Seek, Tell, Size, Flush,
// AtEnd, ErrorState, PutByte, GetByte, GetLine, ScanFormat.
class ImageStream {
public:
    virtual ~ImageStream() = default;
    // Closes the stream; true on success.
    virtual bool Close() = 0;
    // Reads up to count items of size bytes; returns the number of whole items read.
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    // Writes count items of size bytes; returns the number of whole items written.
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // Moves the position (origin SEEK_SET, SEEK_CUR or SEEK_END); true on success.
    virtual bool Seek(long offset, int origin) = 0;
    // The current position; -1 on failure.
    virtual long Tell() = 0;
    // The size of the stream in bytes; -1 on failure.
    virtual long Size() = 0;
    // Writes buffered bytes out; true on success.
    virtual bool Flush() = 0;
    // True at the end of the stream (and when there is no stream).
    virtual bool AtEnd() = 0;
    // Non-zero when the stream is in error (and when there is no stream).
    virtual long ErrorState() = 0;
    // Writes one byte; true when it was written.
    virtual bool PutByte(BYTE value);
    // Reads one byte; -1 at the end or on failure.
    virtual long GetByte() = 0;
    // Reads one line of at most maxCount - 1 characters into text; null at the end or failure.
    virtual char* GetLine(char* text, int maxCount) = 0;
    // Formatted read of one value into output; the number of values read, -1 on failure.
    virtual long ScanFormat(const char* format, void* output) = 0;
};

// An ImageStream over an open FILE*. The file is closed by Close and by the destructor only
// when the stream owns it.
class FileImageStream : public ImageStream {
public:
    explicit FileImageStream(std::FILE* file, bool ownsFile = false);
    ~FileImageStream() override;
    FileImageStream(const FileImageStream&) = delete;
    FileImageStream& operator=(const FileImageStream&) = delete;

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool AtEnd() override;
    long ErrorState() override;
    bool PutByte(BYTE value) override;
    long GetByte() override;
    char* GetLine(char* text, int maxCount) override;
    long ScanFormat(const char* format, void* output) override;

private:
    std::FILE* m_fp;
    bool m_bOwnsFile;
};
