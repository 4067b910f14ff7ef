#pragma once
// TStream, memory, string and file streams.
#include "framework/Object.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kq {

enum TSeekOrigin : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

// File stream modes: one access mode combined with one share mode; fmCreate creates or truncates.
constexpr std::uint16_t fmCreate = 0xFF00;
constexpr std::uint16_t fmOpenRead = 0x0000;
constexpr std::uint16_t fmOpenWrite = 0x0001;
constexpr std::uint16_t fmOpenReadWrite = 0x0002;
constexpr std::uint16_t fmShareCompat = 0x0000;
constexpr std::uint16_t fmShareExclusive = 0x0010;
constexpr std::uint16_t fmShareDenyWrite = 0x0020;
constexpr std::uint16_t fmShareDenyRead = 0x0030;
constexpr std::uint16_t fmShareDenyNone = 0x0040;

// Byte stream with a position. Read and Write move as far as they can and return the bytes moved;
// ReadBuffer and WriteBuffer move all or raise.
class TStream : public TObject {
public:
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    // Returns the new position.
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual void SetSize(std::int64_t size) = 0;
    virtual std::int64_t Size();

    std::int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, soFromBeginning); }

    // EReadError "Stream read error" / EWriteError "Stream write error" on a short transfer.
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);

    // Copies count bytes from source's position; count 0 copies the whole source from its start, a negative
    // count nothing. Returns the bytes copied.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// Growable block of memory. Seeking past the end is allowed; a write there fills the gap with zeros.
class TMemoryStream : public TStream {
public:
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }

    // Valid until the next change of size.
    void* Memory() noexcept { return FData.data(); }
    const void* Memory() const noexcept { return FData.data(); }
    void Clear();

    // The whole source from its start.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);
    void LoadFromFile(const String& file_name);
    void SaveToFile(const String& file_name);

protected:
    std::size_t byte_count() const noexcept { return FData.size(); }

private:
    std::vector<std::uint8_t> FData;
    std::int64_t FPosition = 0;
};

// Reads bytes it does not own where they lie (a module's resource, the caller's text); they must outlive
// the stream. Seeking past the end is allowed and reads nothing there. Read-only: a write moves nothing and
// SetSize raises EWriteError "Stream write error".
class memory_view_stream : public TStream {
public:
    explicit memory_view_stream(std::span<const std::uint8_t> bytes) noexcept : FBytes(bytes) {}
    explicit memory_view_stream(std::string_view text) noexcept
        : FBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) {}

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FBytes.size()); }

    const void* Memory() const noexcept { return FBytes.data(); }

private:
    std::span<const std::uint8_t> FBytes;
    std::int64_t FPosition = 0;
};

// Memory stream over text, kept as UTF-8 bytes.
class TStringStream : public TMemoryStream {
public:
    explicit TStringStream(StringView text = {});
    // The whole content, decoded from UTF-8.
    String DataString() const;
};

// EFCreateError "Cannot create file "%s". %s" and EFOpenError "Cannot open file "%s". %s", the second text
// being the system's text for code.
[[noreturn]] void RaiseFileCreateError(const String& file_name, std::uint32_t code);
[[noreturn]] void RaiseFileOpenError(const String& file_name, std::uint32_t code);

// EFCreateError "Cannot create file "%s". %s" or EFOpenError "Cannot open file "%s". %s" when the file
// cannot be had; the second text is the system's reason. Share modes apply on Win32 only.
class TFileStream : public TStream {
public:
    TFileStream(const String& file_name, std::uint16_t mode);
    ~TFileStream() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;

    const String& FileName() const noexcept { return FFileName; }

private:
#ifdef _WIN32
    using native_file = void*;
#else
    using native_file = int;
#endif
    String FFileName;
    // Closed by the destructor; held raw so that this header stays free of <windows.h>.
    native_file FHandle;
};

} // namespace kq
