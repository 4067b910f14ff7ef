#pragma once
// TXmlParser: reads a stream in chunks, detects the encoding and hands UTF-8 text to the node classes.
#include "xml/XmlDebug.h"
#include "xml/XmlTypes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kq {

class TStream;
class TXmlContainerNode;
class TXmlDocument;
class TXmlElement;
class TXmlNode;

// Code page of a name in the code-page table (ignoring case), else default_value.
int codepage_by_name(std::string_view name, int default_value);
// The encoding a declaration's name stands for: UTF-16 LE/BE, UTF-8 (also for unknown names) or ANSI.
TXmlStringEncoding encoding_by_name(std::string_view name);
// The table's first name for a code page; empty when the code page is not in the table.
std::string name_by_codepage(int code_page);

// Reads XML text: finds the encoding from the first bytes and turns the source, chunk by chunk, into
// UTF-8 with LF line ends; positions count bytes of that UTF-8 text. Problems go to the owner.
class TXmlParser : public TDebugPersistent {
public:
    TXmlParser(TDebugComponent* owner, TStream& source, std::int32_t chunk_size);

    bool IsBinaryXml() const;
    void ReadBOM();
    // Reads the source as UTF-8 from its first byte, with no byte-order detection.
    void start_utf8();
    std::int64_t MakeDataAvailable();
    // The next byte, #0 at the end of the stream.
    char NextChar();
    void MoveBack();
    bool CheckString(std::string_view s);
    std::string ReadStringUntilChar(char stop);
    std::string ReadQuotedString(char quote) { return ReadStringUntilChar(quote); }
    std::string ReadStringUntil(std::string_view terminator);
    std::string ReadStringUntilBlankOrEndTag();
    char NextCharSkipBlanks(std::string& blanks);
    // After a "%" or "&": a name and the ";" that ends it, both consumed. Anything else is left unread
    // and gives false.
    bool read_reference(std::string& name);
    TXmlElementType ReadOpenTag();
    void Flush();

    TXmlStringEncoding Encoding() const noexcept { return FEncoding; }
    int CodePage() const noexcept { return FCodePage; }
    // Converts the last chunk again in the new encoding.
    void SetEncoding(TXmlStringEncoding encoding, int code_page);
    std::int64_t Position() const noexcept { return FUtf8BasePosition + static_cast<std::int64_t>(FPos); }
    std::int64_t LineNumber();
    bool EndOfStream() const noexcept { return FEndOfStream; }
    const TXmlBomInfo& BomInfo() const noexcept { return FBomInfo; }

    TXmlDebugEvent OnDebugOut; // never called: messages go to the owner

    // Child nodes of a container up to its end tag, without recursion however deep the elements nest.
    // Returns the node at which reading ended, nullptr when it ended abnormally.
    TXmlNode* ReadChildNodes(TXmlContainerNode* container);
    // The start tag of an element; true when child nodes follow, else `result` holds the result.
    bool ReadElementStart(TXmlElement* element, TXmlNode*& result);

    void Report(TXmlWarnStyle style, const std::string& message) { DoDebugOut(this, style, message); }
    TXmlDocument* Document() const noexcept;

private:
    bool ReadChunk();
    void Convert(std::string_view raw);
    std::size_t Ensure(std::size_t n);
    TXmlNode* RepairEndTag(TXmlNode* node, const std::string& end_name);

    TStream& FSource;
    std::int32_t FChunkSize;
    TXmlBomInfo FBomInfo{};
    TXmlStringEncoding FEncoding = seAnsi;
    int FCodePage = 0;
    std::string FRawBuffer;     // the last chunk read, as read (bytes held back from before included)
    std::string FRawHeld;       // bytes of a character cut by the end of a chunk
    std::string FUtf8Buffer;    // converted text since the last Flush
    std::size_t FUtf8FirstIdx = 0;
    std::size_t FPos = 0;
    std::int64_t FUtf8BasePosition = 0;
    std::int64_t FBaseLineNumber = 0;
    std::size_t FLinesCountedTo = 0; // line feeds before this index are in FLinesCounted
    std::int64_t FLinesCounted = 0;
    bool FEndOfStream = false;
    bool FSourceDone = false;
    bool FLastChar0D = false;
    bool FChunkStartChar0D = false;
    bool FConverting = false;
};

} // namespace kq
