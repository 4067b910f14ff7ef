#pragma once
// TXmlFastMemStream, TXmlStringStream, TXmlBufferWriter: the memory and chunked-output streams.
#include "framework/Streams.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kq {

// A memory stream that grows in Fibonacci steps and never shrinks.
class TXmlFastMemStream : public TStream {
public:
    explicit TXmlFastMemStream(std::int32_t initial_capacity = 4096);
    ~TXmlFastMemStream() override;

    void* Memory() const noexcept { return FMemory; }
    std::int32_t Capacity() const noexcept { return FCapacity; }

    void Clear();
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t new_size) override;
    std::int64_t Size() override { return FSize; }

    void LoadFromStream(TStream& stream);
    void LoadFromFile(const String& filename);
    void SaveToStream(TStream& stream);
    void SaveToFile(const String& filename);

protected:
    void Grow(std::int64_t needed);

    char* FMemory = nullptr;
    std::int32_t FPosition = 0;
    std::int32_t FFib1 = 0;
    std::int32_t FCapacity = 0;
    std::int32_t FSize = 0;
};

// A memory stream over the bytes of a UTF-8 string.
class TXmlStringStream : public TXmlFastMemStream {
public:
    explicit TXmlStringStream(std::string_view s = {});
    std::string DataString() const;
};

// Write-only: collects bytes and hands them to the target in whole chunks; the rest on destruction.
class TXmlBufferWriter : public TXmlFastMemStream {
public:
    TXmlBufferWriter(TStream& source, std::int32_t chunk_size);
    ~TXmlBufferWriter() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    // Hands the buffered bytes to the target now.
    void Flush();

protected:
    TStream& FSource;
    std::int32_t FChunkSize;
    std::vector<char> FRawBuffer;
    std::int32_t FRawPosition = 0;
};

} // namespace kq
