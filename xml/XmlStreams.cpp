#include "xml/XmlStreams.h"

#include "framework/Exceptions.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace kq {

TXmlFastMemStream::TXmlFastMemStream(std::int32_t InitialCapacity) {
    FFib1 = InitialCapacity / 2 < 4 ? 4 : InitialCapacity / 2;
    FCapacity = InitialCapacity < 4 ? 4 : InitialCapacity;
    FMemory = static_cast<char*>(std::malloc(static_cast<std::size_t>(FCapacity)));
    if (!FMemory) throw std::bad_alloc();
}

TXmlFastMemStream::~TXmlFastMemStream() { std::free(FMemory); }

void TXmlFastMemStream::Grow(std::int64_t Needed) {
    if (Needed <= FCapacity) return;
    if (Needed > INT32_MAX) throw EStreamError(u"Out of memory while expanding memory stream");
    std::int64_t fib1 = FFib1, cap = FCapacity;
    while (cap < Needed) {
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

void TXmlFastMemStream::SetSize(std::int64_t NewSize) {
    if (NewSize < 0) NewSize = 0;
    Grow(NewSize);
    FSize = static_cast<std::int32_t>(NewSize);
    if (FPosition > FSize) FPosition = FSize;
}

std::int64_t TXmlFastMemStream::Read(void* Buffer, std::int64_t Count) {
    if (FPosition < 0 || Count < 0 || FPosition >= FSize) return 0;
    const std::int32_t n = static_cast<std::int32_t>(Count < FSize - FPosition ? Count : FSize - FPosition);
    std::memcpy(Buffer, FMemory + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

std::int64_t TXmlFastMemStream::Write(const void* Buffer, std::int64_t Count) {
    if (FPosition < 0 || Count < 0 || static_cast<std::int64_t>(FPosition) + Count <= 0) return 0;
    const std::int64_t end = static_cast<std::int64_t>(FPosition) + Count;
    Grow(end);
    if (end > FSize) FSize = static_cast<std::int32_t>(end);
    std::memcpy(FMemory + FPosition, Buffer, static_cast<std::size_t>(Count));
    FPosition = static_cast<std::int32_t>(end);
    return Count;
}

std::int64_t TXmlFastMemStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    std::int64_t p = Offset;
    if (Origin == soFromCurrent) p += FPosition;
    if (Origin == soFromEnd) p += FSize;
    FPosition = static_cast<std::int32_t>(p < INT32_MIN ? INT32_MIN : (p > INT32_MAX ? INT32_MAX : p));
    return FPosition;
}

void TXmlFastMemStream::LoadFromStream(TStream& Stream) {
    Stream.SetPosition(0);
    const std::int64_t n = Stream.Size();
    SetSize(n);
    FPosition = 0;
    if (n > 0) Stream.ReadBuffer(FMemory, n);
}

void TXmlFastMemStream::LoadFromFile(const String& AFilename) {
    TFileStream f(AFilename, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void TXmlFastMemStream::SaveToStream(TStream& Stream) {
    if (FSize > 0) Stream.WriteBuffer(FMemory, FSize);
}

void TXmlFastMemStream::SaveToFile(const String& AFilename) {
    TFileStream f(AFilename, fmCreate);
    SaveToStream(f);
}

TXmlStringStream::TXmlStringStream(std::string_view S) : TXmlFastMemStream(4096) {
    if (!S.empty()) Write(S.data(), static_cast<std::int32_t>(S.size()));
    FPosition = 0;
}

std::string TXmlStringStream::DataString() const { return std::string(FMemory, static_cast<std::size_t>(FSize)); }

TXmlBufferWriter::TXmlBufferWriter(TStream& ASource, std::int32_t AChunkSize)
    : TXmlFastMemStream(4096), FSource(ASource), FChunkSize(AChunkSize < 1 ? 1 : AChunkSize),
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

std::int64_t TXmlBufferWriter::Write(const void* Buffer, std::int64_t Count) {
    const char* p = static_cast<const char*>(Buffer);
    std::int64_t left = Count < 0 ? 0 : Count;
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
    return Count;
}

} // namespace kq
