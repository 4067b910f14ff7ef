#include "framework/Streams.h"

#include "framework/Conversions.h"
#include "framework/Exceptions.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kq {

namespace {

constexpr std::int64_t copy_chunk = 64 * 1024;

} // namespace

// --- TStream

std::int64_t TStream::Size() {
    const std::int64_t position = Seek(0, soFromCurrent);
    const std::int64_t size = Seek(0, soFromEnd);
    Seek(position, soFromBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError(u"Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError(u"Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count < 0) return 0;
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min(count, copy_chunk)));
    for (std::int64_t left = count; left > 0;) {
        const std::int64_t n = std::min(left, copy_chunk);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}

// --- memory_view_stream

namespace {

// Reads from bytes at position as far as they go; a position outside them reads nothing.
std::int64_t read_at(std::span<const std::uint8_t> bytes, std::int64_t& position, void* buffer, std::int64_t count) {
    const auto size = static_cast<std::int64_t>(bytes.size());
    if (count <= 0 || position < 0 || position >= size) return 0;
    const std::int64_t n = std::min(count, size - position);
    std::memcpy(buffer, bytes.data() + position, static_cast<std::size_t>(n));
    position += n;
    return n;
}

// Any position may be set, before the start or past the end too.
std::int64_t seek_to(std::int64_t& position, std::int64_t size, std::int64_t offset, TSeekOrigin origin) {
    switch (origin) {
    case soFromBeginning: position = offset; break;
    case soFromCurrent: position += offset; break;
    case soFromEnd: position = size + offset; break;
    }
    return position;
}

} // namespace

std::int64_t memory_view_stream::Read(void* buffer, std::int64_t count) {
    return read_at(FBytes, FPosition, buffer, count);
}

std::int64_t memory_view_stream::Write(const void*, std::int64_t) { return 0; }

std::int64_t memory_view_stream::Seek(std::int64_t offset, TSeekOrigin origin) {
    return seek_to(FPosition, Size(), offset, origin);
}

void memory_view_stream::SetSize(std::int64_t) { throw EWriteError(u"Stream write error"); }

// --- TMemoryStream

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
    return read_at(FData, FPosition, buffer, count);
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0 || FPosition < 0) return 0;
    const std::int64_t end = FPosition + count;
    if (end > Size()) SetSize(end);
    std::memcpy(FData.data() + FPosition, buffer, static_cast<std::size_t>(count));
    FPosition = end;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    return seek_to(FPosition, Size(), offset, origin);
}

void TMemoryStream::SetSize(std::int64_t size) {
    assert(size >= 0);
    if (static_cast<std::uint64_t>(size) > std::numeric_limits<std::size_t>::max())
        throw std::bad_alloc();
    FData.resize(static_cast<std::size_t>(size));
    FPosition = std::min(FPosition, size);
}

void TMemoryStream::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    const std::int64_t size = stream.Size();
    SetSize(size);
    if (size != 0) stream.ReadBuffer(FData.data(), size);
    FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& stream) {
    if (!FData.empty()) stream.WriteBuffer(FData.data(), Size());
}

void TMemoryStream::LoadFromFile(const String& file_name) {
    TFileStream file(file_name, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const String& file_name) {
    TFileStream file(file_name, fmCreate);
    SaveToStream(file);
}

// --- TStringStream

TStringStream::TStringStream(StringView text) {
    const std::string utf8 = string_to_utf8(text);
    WriteBuffer(utf8.data(), static_cast<std::int64_t>(utf8.size()));
    SetPosition(0);
}

String TStringStream::DataString() const {
    return utf8_to_string(std::string_view(static_cast<const char*>(Memory()), byte_count()));
}

// --- TFileStream

void RaiseFileCreateError(const String& file_name, std::uint32_t code) {
    throw EFCreateError(Format(u"Cannot create file \"%s\". %s", {file_name, SysErrorMessage(code)}));
}

void RaiseFileOpenError(const String& file_name, std::uint32_t code) {
    throw EFOpenError(Format(u"Cannot open file \"%s\". %s", {file_name, SysErrorMessage(code)}));
}

namespace {

[[noreturn]] void raise_file_error(bool create, const String& file_name) {
    if (create) RaiseFileCreateError(file_name, last_os_error());
    RaiseFileOpenError(file_name, last_os_error());
}

// System calls move at most this much at once; the loops below go on until all is moved.
constexpr std::int64_t io_chunk = 1 << 30;

} // namespace

#ifdef _WIN32

TFileStream::TFileStream(const String& file_name, std::uint16_t mode) : FFileName(file_name) {
    // Indexed by the share bits: compatibility and exclusive share nothing.
    static constexpr DWORD share_modes[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE};
    const bool create = (mode & fmCreate) == fmCreate;
    const unsigned share_index = (mode & 0xF0u) >> 4;
    const DWORD share = share_index < std::size(share_modes) ? share_modes[share_index] : 0;
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    if (!create && (mode & 3) == fmOpenRead) access = GENERIC_READ;
    if (!create && (mode & 3) == fmOpenWrite) access = GENERIC_WRITE;
    FHandle = ::CreateFileW(wide(file_name), access, share, nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (FHandle == INVALID_HANDLE_VALUE) raise_file_error(create, file_name);
}

TFileStream::~TFileStream() { ::CloseHandle(FHandle); }

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        DWORD moved = 0;
        const auto n = static_cast<DWORD>(std::min(count - done, io_chunk));
        if (!::ReadFile(FHandle, static_cast<std::uint8_t*>(buffer) + done, n, &moved, nullptr) || moved == 0)
            break;
        done += moved;
    }
    return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        DWORD moved = 0;
        const auto n = static_cast<DWORD>(std::min(count - done, io_chunk));
        if (!::WriteFile(FHandle, static_cast<const std::uint8_t*>(buffer) + done, n, &moved, nullptr) ||
            moved == 0)
            break;
        done += moved;
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!::SetFilePointerEx(FHandle, distance, &position, static_cast<DWORD>(origin))) return -1;
    return position.QuadPart;
}

void TFileStream::SetSize(std::int64_t size) {
    const std::int64_t position = Position();
    SetPosition(size);
    if (!::SetEndOfFile(FHandle)) RaiseLastOSError();
    if (position < size) SetPosition(position);
}

#else

TFileStream::TFileStream(const String& file_name, std::uint16_t mode) : FFileName(file_name) {
    const bool create = (mode & fmCreate) == fmCreate;
    int flags = O_RDWR;
    if (create) flags = O_RDWR | O_CREAT | O_TRUNC;
    else if ((mode & 3) == fmOpenRead) flags = O_RDONLY;
    else if ((mode & 3) == fmOpenWrite) flags = O_WRONLY;
    FHandle = ::open(string_to_utf8(file_name).c_str(), flags | O_CLOEXEC, 0666);
    if (FHandle < 0) raise_file_error(create, file_name);
    // A folder opens for reading here but not on Win32; refuse it the same way everywhere.
    struct stat info {};
    if (::fstat(FHandle, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(FHandle);
        errno = EISDIR;
        raise_file_error(create, file_name);
    }
}

TFileStream::~TFileStream() { ::close(FHandle); }

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        const auto n = ::read(FHandle, static_cast<std::uint8_t*>(buffer) + done,
                              static_cast<std::size_t>(std::min(count - done, io_chunk)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        const auto n = ::write(FHandle, static_cast<const std::uint8_t*>(buffer) + done,
                               static_cast<std::size_t>(std::min(count - done, io_chunk)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    static constexpr int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    return ::lseek(FHandle, static_cast<off_t>(offset), whence[origin]);
}

void TFileStream::SetSize(std::int64_t size) {
    if (::ftruncate(FHandle, static_cast<off_t>(size)) != 0) RaiseLastOSError();
    if (Position() > size) SetPosition(size);
}

#endif

} // namespace kq
