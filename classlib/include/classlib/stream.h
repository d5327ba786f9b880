// Byte streams: the abstract stream, a stream in memory and a stream over a file.
//
// Stand in for the compiler library's stream classes as far as the control library reads and
// writes them: ReadBuffer and WriteBuffer raise EReadError "Stream read error" and EWriteError
// "Stream write error" when fewer bytes move than asked.
#ifndef CLASSLIB_STREAM_H
#define CLASSLIB_STREAM_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "object.h"

enum TSeekOrigin : std::uint8_t { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
    CL_CLASS(TStream, TObject)

public:
    // Counts below 0 move nothing; the results are the bytes moved.
    virtual std::int32_t Read(void *buffer, std::int32_t count) = 0;
    virtual std::int32_t Write(const void *buffer, std::int32_t count) = 0;
    // The new position; a position before the start raises EStreamError.
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t size) = 0;

    std::int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, soBeginning); }
    void ReadBuffer(void *buffer, std::int32_t count);
    void WriteBuffer(const void *buffer, std::int32_t count);
    // Copies count bytes from the source's position, or, for 0, the whole source from its start.
    std::int64_t CopyFrom(TStream *source, std::int64_t count);
};

class TMemoryStream : public TStream {
    CL_CLASS(TMemoryStream, TStream)

public:
    void Create() {}
    std::int32_t Read(void *buffer, std::int32_t count) override;
    std::int32_t Write(const void *buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
    void SetSize(std::int64_t size) override;
    void Clear();
    const std::uint8_t *Memory() const noexcept { return data_.data(); }

private:
    std::vector<std::uint8_t> data_;
    std::int64_t position_ = 0;
};

enum TFileOpenMode : std::uint8_t {
    fmOpenRead,      // an existing file, for reading; others may read too
    fmOpenReadWrite, // an existing file, for reading and writing; others may read
    fmCreate,        // a new or emptied file, for reading and writing; others may read
};

class TFileStream : public TStream {
    CL_CLASS(TFileStream, TStream)

public:
    // Raises EFOpenError (or EFCreateError for fmCreate) with the platform's reason.
    void Create(const std::wstring &fileName, TFileOpenMode mode);
    std::int32_t Read(void *buffer, std::int32_t count) override;
    std::int32_t Write(const void *buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;
    const std::wstring &FileName() const noexcept { return fileName_; }

protected:
    void Destroy() override;

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::wstring fileName_;
};

#endif
