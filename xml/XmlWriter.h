#pragma once

#include "xml/XmlStreams.h"
#include "xml/XmlTypes.h"

#include <cstdint>
#include <string>

namespace kq {

class TDebugComponent;

// Takes UTF-8 text and hands it to the target in the document's external encoding, in chunks.
class TXmlWriter : public TXmlBufferWriter {
public:
    TXmlWriter(TDebugComponent* AOwner, TStream& ASource, std::int32_t AChunkSize);

    // Returns the bytes handed on after conversion (0 when nothing could be written).
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;

    TXmlStringEncoding Encoding = seUTF8;
    int CodePage = 0;

private:
    TDebugComponent* FOwner;
    std::string FRawBuffer; // converted output, reused
};

} // namespace kq
