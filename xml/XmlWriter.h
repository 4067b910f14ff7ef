#pragma once
// TXmlWriter: writes the tree back in the document's encoding and line ends.
#include "xml/XmlStreams.h"
#include "xml/XmlTypes.h"

#include <cstdint>
#include <string>

namespace kq {

class TDebugComponent;

// Takes UTF-8 text and hands it to the target in the document's external encoding, in chunks.
class TXmlWriter : public TXmlBufferWriter {
public:
    TXmlWriter(TDebugComponent* owner, TStream& source, std::int32_t chunk_size);

    // Returns the bytes handed on after conversion (0 when nothing could be written).
    std::int64_t Write(const void* buffer, std::int64_t count) override;

    TXmlStringEncoding Encoding = seUTF8;
    int CodePage = 0;

private:
    TDebugComponent* FOwner;
    std::string FRawBuffer; // converted output, reused
};

} // namespace kq
