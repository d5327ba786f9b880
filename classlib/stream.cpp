#include "classlib/stream.h"

#include <cstring>
#include <limits>

#include "classlib/exceptions.h"
#include "classlib_strings.h"

namespace {

[[noreturn]] void raiseSeekError() { throw EStreamError(LoadResString(SSeekError)); }

std::int64_t newPosition(std::int64_t offset, TSeekOrigin origin, std::int64_t current, std::int64_t size) {
    std::int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? current : size;
    std::int64_t result;
    if (__builtin_add_overflow(base, offset, &result) || result < 0)
        raiseSeekError();
    return result;
}

} // namespace

std::int64_t TStream::Size() {
    std::int64_t position = Seek(0, soCurrent);
    std::int64_t size = Seek(0, soEnd);
    Seek(position, soBeginning);
    return size;
}

void TStream::ReadBuffer(void *buffer, std::int32_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError(LoadResString(SReadError));
}

void TStream::WriteBuffer(const void *buffer, std::int32_t count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError(LoadResString(SWriteError));
}

std::int64_t TStream::CopyFrom(TStream *source, std::int64_t count) {
    if (count < 0)
        throw EReadError(LoadResString(SReadError));
    if (count == 0) {
        source->SetPosition(0);
        count = source->Size();
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(count < 65536 ? count : 65536));
    for (std::int64_t left = count; left > 0;) {
        auto chunk = static_cast<std::int32_t>(left < 65536 ? left : 65536);
        source->ReadBuffer(buffer.data(), chunk);
        WriteBuffer(buffer.data(), chunk);
        left -= chunk;
    }
    return count;
}

std::int32_t TMemoryStream::Read(void *buffer, std::int32_t count) {
    auto size = static_cast<std::int64_t>(data_.size());
    if (count <= 0 || position_ >= size)
        return 0;
    std::int64_t available = size - position_;
    auto moved = static_cast<std::int32_t>(available < count ? available : count);
    std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(moved));
    position_ += moved;
    return moved;
}

std::int32_t TMemoryStream::Write(const void *buffer, std::int32_t count) {
    if (count <= 0)
        return 0;
    std::int64_t end = position_ + count;
    if (end > static_cast<std::int64_t>(data_.max_size()))
        return 0;
    if (end > static_cast<std::int64_t>(data_.size()))
        data_.resize(static_cast<std::size_t>(end));
    std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(count));
    position_ = end;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    position_ = newPosition(offset, origin, position_, static_cast<std::int64_t>(data_.size()));
    return position_;
}

void TMemoryStream::SetSize(std::int64_t size) {
    if (size < 0 || size > static_cast<std::int64_t>(data_.max_size()))
        throw EStreamError(LoadResString(SWriteError));
    data_.resize(static_cast<std::size_t>(size));
    if (position_ > size)
        position_ = size;
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

void TFileStream::Create(const std::wstring &fileName, TFileOpenMode mode) {
    fileName_ = fileName;
    DWORD access = mode == fmOpenRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    DWORD disposition = mode == fmCreate ? CREATE_ALWAYS : OPEN_EXISTING;
    handle_ = CreateFileW(fileName.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        std::wstring reason = SysErrorMessage(GetLastError());
        if (mode == fmCreate)
            throw EFCreateError(FormatResString(SFCreateError, {fileName, reason}));
        throw EFOpenError(FormatResString(SFOpenError, {fileName, reason}));
    }
}

std::int32_t TFileStream::Read(void *buffer, std::int32_t count) {
    DWORD moved = 0;
    if (count <= 0 || !ReadFile(handle_, buffer, static_cast<DWORD>(count), &moved, nullptr))
        return 0;
    return static_cast<std::int32_t>(moved);
}

std::int32_t TFileStream::Write(const void *buffer, std::int32_t count) {
    DWORD moved = 0;
    if (count <= 0 || !WriteFile(handle_, buffer, static_cast<DWORD>(count), &moved, nullptr))
        return 0;
    return static_cast<std::int32_t>(moved);
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    DWORD method = origin == soBeginning ? FILE_BEGIN : origin == soCurrent ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!SetFilePointerEx(handle_, distance, &result, method)) {
        if (GetLastError() == ERROR_NEGATIVE_SEEK)
            raiseSeekError();
        RaiseLastOSError();
    }
    return result.QuadPart;
}

void TFileStream::SetSize(std::int64_t size) {
    Seek(size, soBeginning);
    if (!SetEndOfFile(handle_))
        RaiseLastOSError();
}

void TFileStream::Destroy() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    inherited::Destroy();
}
