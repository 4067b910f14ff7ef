#include "xml/XmlStreams.h"

#include "framework/Exceptions.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace kq {

TXmlFastMemStream::TXmlFastMemStream(std::int32_t initial_capacity) {
    FFib1 = initial_capacity / 2 < 4 ? 4 : initial_capacity / 2;
    FCapacity = initial_capacity < 4 ? 4 : initial_capacity;
    FMemory = static_cast<char*>(std::malloc(static_cast<std::size_t>(FCapacity)));
    if (!FMemory) throw std::bad_alloc();
}

TXmlFastMemStream::~TXmlFastMemStream() { std::free(FMemory); }

void TXmlFastMemStream::Grow(std::int64_t needed) {
    if (needed <= FCapacity) return;
    if (needed > INT32_MAX) throw EStreamError(u"Out of memory while expanding memory stream");
    std::int64_t fib1 = FFib1, cap = FCapacity;
    while (cap < needed) {
        const std::int64_t next = fib1 + cap;
        fib1 = cap;
        cap = next > INT32_MAX ? INT32_MAX : next;
    }
    void* p = std::realloc(FMemory, static_cast<std::size_t>(cap));
    if (!p) throw std::bad_alloc();
    FMemory = static_cast<char*>(p);
    FFib1 = static_cast<std::int32_t>(fib1);
    FCapacity = static_cast<std::int32_t>(cap);
}

void TXmlFastMemStream::Clear() {
    FSize = 0;
    FPosition = 0;
}

void TXmlFastMemStream::SetSize(std::int64_t new_size) {
    if (new_size < 0) new_size = 0;
    Grow(new_size);
    FSize = static_cast<std::int32_t>(new_size);
    if (FPosition > FSize) FPosition = FSize;
}

std::int64_t TXmlFastMemStream::Read(void* buffer, std::int64_t count) {
    if (FPosition < 0 || count < 0 || FPosition >= FSize) return 0;
    const std::int32_t n = static_cast<std::int32_t>(count < FSize - FPosition ? count : FSize - FPosition);
    std::memcpy(buffer, FMemory + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

std::int64_t TXmlFastMemStream::Write(const void* buffer, std::int64_t count) {
    if (FPosition < 0 || count < 0 || static_cast<std::int64_t>(FPosition) + count <= 0) return 0;
    const std::int64_t end = static_cast<std::int64_t>(FPosition) + count;
    Grow(end);
    if (end > FSize) FSize = static_cast<std::int32_t>(end);
    std::memcpy(FMemory + FPosition, buffer, static_cast<std::size_t>(count));
    FPosition = static_cast<std::int32_t>(end);
    return count;
}

std::int64_t TXmlFastMemStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t p = offset;
    if (origin == soFromCurrent) p += FPosition;
    if (origin == soFromEnd) p += FSize;
    FPosition = static_cast<std::int32_t>(p < INT32_MIN ? INT32_MIN : (p > INT32_MAX ? INT32_MAX : p));
    return FPosition;
}

void TXmlFastMemStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    const std::int64_t n = stream.Size();
    SetSize(n);
    FPosition = 0;
    if (n > 0) stream.ReadBuffer(FMemory, n);
}

void TXmlFastMemStream::LoadFromFile(const String& filename) {
    TFileStream f(filename, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void TXmlFastMemStream::SaveToStream(TStream& stream) {
    if (FSize > 0) stream.WriteBuffer(FMemory, FSize);
}

void TXmlFastMemStream::SaveToFile(const String& filename) {
    TFileStream f(filename, fmCreate);
    SaveToStream(f);
}

TXmlStringStream::TXmlStringStream(std::string_view s) : TXmlFastMemStream(4096) {
    if (!s.empty()) Write(s.data(), static_cast<std::int32_t>(s.size()));
    FPosition = 0;
}

std::string TXmlStringStream::DataString() const { return std::string(FMemory, static_cast<std::size_t>(FSize)); }

TXmlBufferWriter::TXmlBufferWriter(TStream& source, std::int32_t chunk_size)
    : TXmlFastMemStream(4096), FSource(source), FChunkSize(chunk_size < 1 ? 1 : chunk_size),
      FRawBuffer(static_cast<std::size_t>(FChunkSize)) {}

TXmlBufferWriter::~TXmlBufferWriter() {
    // A failing target cannot be reported from a destructor; Flush first where it matters.
    try {
        Flush();
    } catch (...) {
    }
}

void TXmlBufferWriter::Flush() {
    if (FRawPosition > 0) {
        const std::int32_t n = FRawPosition;
        FRawPosition = 0;
        FSource.WriteBuffer(FRawBuffer.data(), n);
    }
}

std::int64_t TXmlBufferWriter::Read(void*, std::int64_t) { throw Exception(u"not implemented"); }

std::int64_t TXmlBufferWriter::Write(const void* buffer, std::int64_t count) {
    const char* p = static_cast<const char*>(buffer);
    std::int64_t left = count < 0 ? 0 : count;
    while (FRawPosition + left >= FChunkSize) {
        const std::int64_t part = FChunkSize - FRawPosition;
        std::memcpy(FRawBuffer.data() + FRawPosition, p, static_cast<std::size_t>(part));
        p += part;
        left -= part;
        FRawPosition = 0;
        FSource.WriteBuffer(FRawBuffer.data(), FChunkSize);
    }
    std::memcpy(FRawBuffer.data() + FRawPosition, p, static_cast<std::size_t>(left));
    FRawPosition += static_cast<std::int32_t>(left);
    return count;
}

} // namespace kq
