#include "xml/XmlParser.h"

#include "framework/Streams.h"
#include "xml/XmlDocument.h"
#include "xml/XmlNodeTree.h"
#include "xml/XmlPlatform.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <memory>

namespace kq {

namespace {

struct codepage_row {
    const char* name;
    int codepage;
};

constexpr codepage_row codepage_table[] = {
    {"IBM037", 37}, {"IBM437", 437}, {"IBM500", 500}, {"ASMO-708", 708}, {"ASMO-449+", 709}, {"BCON V4", 709},
    {"Arabic", 710}, {"DOS-720", 720}, {"ibm737", 737}, {"ibm775", 775}, {"ibm850", 850}, {"ibm852", 852},
    {"IBM855", 855}, {"ibm857", 857}, {"IBM00858", 858}, {"IBM860", 860}, {"ibm861", 861}, {"DOS-862", 862},
    {"IBM863", 863}, {"IBM864", 864}, {"IBM865", 865}, {"cp866", 866}, {"ibm869", 869}, {"IBM870", 870},
    {"windows-874", 874}, {"cp875", 875}, {"shift_jis", 932}, {"gb2312", 936}, {"ks_c_5601-1987", 949},
    {"big5", 950}, {"IBM1026", 1026}, {"IBM01047", 1047}, {"IBM01140", 1140}, {"IBM01141", 1141},
    {"IBM01142", 1142}, {"IBM01143", 1143}, {"IBM01144", 1144}, {"IBM01145", 1145}, {"IBM01146", 1146},
    {"IBM01147", 1147}, {"IBM01148", 1148}, {"IBM01149", 1149}, {"utf-16", 1200}, {"unicodeFFFE", 1201},
    {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252}, {"windows-1253", 1253},
    {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256}, {"windows-1257", 1257},
    {"windows-1258", 1258}, {"Johab", 1361}, {"macintosh", 10000}, {"x-mac-japanese", 10001},
    {"x-mac-chinesetrad", 10002}, {"x-mac-korean", 10003}, {"x-mac-arabic", 10004}, {"x-mac-hebrew", 10005},
    {"x-mac-greek", 10006}, {"x-mac-cyrillic", 10007}, {"x-mac-chinesesimp", 10008}, {"x-mac-romanian", 10010},
    {"x-mac-ukrainian", 10017}, {"x-mac-thai", 10021}, {"x-mac-ce", 10029}, {"x-mac-icelandic", 10079},
    {"x-mac-turkish", 10081}, {"x-mac-croatian", 10082}, {"utf-32", 12000}, {"utf-32BE", 12001},
    {"x-Chinese_CNS", 20000}, {"x-cp20001", 20001}, {"x_Chinese-Eten", 20002}, {"x-cp20003", 20003},
    {"x-cp20004", 20004}, {"x-cp20005", 20005}, {"x-IA5", 20105}, {"x-IA5-German", 20106},
    {"x-IA5-Swedish", 20107}, {"x-IA5-Norwegian", 20108}, {"us-ascii", 20127}, {"x-cp20261", 20261},
    {"x-cp20269", 20269}, {"IBM273", 20273}, {"IBM277", 20277}, {"IBM278", 20278}, {"IBM280", 20280},
    {"IBM284", 20284}, {"IBM285", 20285}, {"IBM290", 20290}, {"IBM297", 20297}, {"IBM420", 20420},
    {"IBM423", 20423}, {"IBM424", 20424}, {"x-EBCDIC-KoreanExtended", 20833}, {"IBM-Thai", 20838},
    {"koi8-r", 20866}, {"IBM871", 20871}, {"IBM880", 20880}, {"IBM905", 20905}, {"IBM00924", 20924},
    {"EUC-JP", 20932}, {"x-cp20936", 20936}, {"x-cp20949", 20949}, {"cp1025", 21025}, {"koi8-u", 21866},
    {"iso-8859-1", 28591}, {"iso-8859-2", 28592}, {"iso-8859-3", 28593}, {"iso-8859-4", 28594},
    {"iso-8859-5", 28595}, {"iso-8859-6", 28596}, {"iso-8859-7", 28597}, {"iso-8859-8", 28598},
    {"iso-8859-9", 28599}, {"iso-8859-13", 28603}, {"iso-8859-15", 28605}, {"x-Europa", 29001},
    {"iso-8859-8-i", 38598}, {"iso-2022-jp", 50220}, {"csISO2022JP", 50221}, {"iso-2022-jp", 50222},
    {"iso-2022-kr", 50225}, {"x-cp50227", 50227}, {"euc-jp", 51932}, {"EUC-CN", 51936}, {"euc-kr", 51949},
    {"hz-gb-2312", 52936}, {"GB18030", 54936}, {"x-iscii-de", 57002}, {"x-iscii-be", 57003},
    {"x-iscii-ta", 57004}, {"x-iscii-te", 57005}, {"x-iscii-as", 57006}, {"x-iscii-or", 57007},
    {"x-iscii-ka", 57008}, {"x-iscii-ma", 57009}, {"x-iscii-gu", 57010}, {"x-iscii-pa", 57011},
    {"utf-7", 65000}, {"utf-8", 65001}};
static_assert(std::size(codepage_table) == 143);

struct bom_row {
    std::uint8_t bytes[4];
    int len;
    TXmlStringEncoding encoding;
    bool has_bom;
};

constexpr bom_row bom_table[] = {
    {{0x3C, 0x3F, 0x78, 0x6D}, 4, seAnsi, false},      {{0xEF, 0xBB, 0xBF, 0}, 3, seUTF8, true},
    {{0x00, 0x00, 0xFE, 0xFF}, 4, seUTF32BE, true},    {{0xFF, 0xFE, 0x00, 0x00}, 4, seUTF32LE, true},
    {{0x00, 0x00, 0xFF, 0xFE}, 4, seUCS4_2143, true},  {{0xFE, 0xFF, 0x00, 0x00}, 4, seUCS4_3412, true},
    {{0xFE, 0xFF, 0, 0}, 2, seUTF16BE, true},          {{0xFF, 0xFE, 0, 0}, 2, seUTF16LE, true},
    {{0x00, 0x00, 0x00, 0x3C}, 4, seUTF32BE, false},   {{0x3C, 0x00, 0x00, 0x00}, 4, seUTF32LE, false},
    {{0x00, 0x00, 0x3C, 0x00}, 4, seUCS4_2143, false}, {{0x00, 0x3C, 0x00, 0x00}, 4, seUCS4_3412, false},
    {{0x00, 0x3C, 0x00, 0x3F}, 4, seUTF16BE, false},   {{0x3C, 0x00, 0x3F, 0x00}, 4, seUTF16LE, false},
    {{0x4C, 0x6F, 0xA7, 0x94}, 4, seEBCDIC, false}};

bool is_blank(char c) { return c == 9 || c == 10 || c == 13 || c == 32; }
bool is_quote(char c) { return c == '"' || c == '\''; }

std::string trimmed(std::string_view s) {
    bool dummy = false;
    return trim_text(s, dummy);
}

std::string char_text(char c) { return c ? std::string(1, c) : std::string(); }
std::string num(std::int64_t v) { return std::to_string(v); }

// The next character without taking it; #0 at the end of the stream.
char peek(TXmlParser& p) {
    const char c = p.NextChar();
    if (!(c == '\0' && p.EndOfStream())) p.MoveBack();
    return c;
}

// A word between the literals of an entity declaration ends at a blank, a quote or the tag's end.
bool ends_word(TXmlParser& p) {
    const char c = peek(p);
    return (c == '\0' && p.EndOfStream()) || is_blank(c) || is_quote(c) || c == '>';
}

// The end of a name: a blank, "/", ">", "[" or the end of the stream.
bool ends_name(TXmlParser& p) {
    const char c = peek(p);
    return (c == '\0' && p.EndOfStream()) || is_blank(c) || c == '/' || c == '>' || c == '[';
}

// One of the keywords of an external identifier or of an unparsed entity (in any case, like the
// DOCTYPE's), as a whole word; '' leaves the text unread.
std::string read_keyword(TXmlParser& p) {
    for (std::string_view keyword : {"SYSTEM", "PUBLIC", "NDATA"}) {
        if (!p.CheckString(keyword)) continue;
        if (ends_word(p)) return std::string(keyword);
        for (std::size_t i = 0; i < keyword.size(); ++i) p.MoveBack();
    }
    return {};
}

// The notation name after NDATA: the text up to the end of the word.
std::string read_word(TXmlParser& p) {
    std::string word;
    while (!ends_word(p)) word.push_back(p.NextChar());
    return word;
}

// After the first chunk (the one a declaration is read from) the source is read in larger blocks.
constexpr std::int64_t later_chunk_size = 65536;
// Flush drops converted text only once this much has gathered, so dropping stays linear.
constexpr std::size_t flush_threshold = 65536;

bool allowed_in_element(TXmlElementType k) {
    switch (k) {
    case xeElement: case xeAttribute: case xeCharData: case xeComment: case xeCData: case xeInstruction:
    case xeWhiteSpace: case xeQuotedText: case xeEndTag: return true;
    default: return false;
    }
}

bool allowed_in_doctype(TXmlElementType k) {
    switch (k) {
    case xeCharData: case xeComment: case xeDtdElement: case xeDtdAttList: case xeDtdEntity: case xeDtdNotation:
    case xeInstruction: return true;
    default: return false;
    }
}

} // namespace

int codepage_by_name(std::string_view name, int default_value) {
    for (const codepage_row& r : codepage_table)
        if (same_name(r.name, name)) return r.codepage;
    return default_value;
}

TXmlStringEncoding encoding_by_name(std::string_view name) {
    switch (codepage_by_name(name, 65001)) {
    case 1200: return seUTF16LE;
    case 1201: return seUTF16BE;
    case 65001: return seUTF8;
    default: return seAnsi;
    }
}

std::string name_by_codepage(int code_page) {
    for (const codepage_row& r : codepage_table)
        if (r.codepage == code_page) return r.name;
    return {};
}

// --- Source reader

TXmlParser::TXmlParser(TDebugComponent* owner, TStream& source, std::int32_t chunk_size)
    : TDebugPersistent(owner), FSource(source), FChunkSize(chunk_size < 16 ? 16 : chunk_size) {
    FRawBuffer.resize(static_cast<std::size_t>(FChunkSize));
    const std::int64_t n = FSource.Read(FRawBuffer.data(), FChunkSize);
    FRawBuffer.resize(static_cast<std::size_t>(n < 0 ? 0 : n));
    if (n <= 0) FSourceDone = true;
}

TXmlDocument* TXmlParser::Document() const noexcept { return dynamic_cast<TXmlDocument*>(FOwner); }

bool TXmlParser::IsBinaryXml() const { return FRawBuffer.size() > 4 && std::memcmp(FRawBuffer.data(), "$BXM", 4) == 0; }

void TXmlParser::ReadBOM() {
    if (FRawBuffer.size() <= 4) {
        Report(wsWarn, std::string("stream terminated prematurely at pos ") + num(static_cast<std::int64_t>(FRawBuffer.size())));
        FSourceDone = true;
        return;
    }
    const bom_row* found = nullptr;
    for (const bom_row& r : bom_table) {
        if (std::memcmp(FRawBuffer.data(), r.bytes, static_cast<std::size_t>(r.len)) == 0) {
            found = &r;
            break;
        }
    }
    if (!found) {
        Report(wsWarn, "unknown encoding");
        FEncoding = seUTF8;
    } else {
        std::memcpy(FBomInfo.BOM, found->bytes, 4);
        FBomInfo.Len = found->len;
        FBomInfo.Encoding = found->encoding;
        FBomInfo.HasBOM = found->has_bom;
        FEncoding = found->encoding;
        if (FEncoding != seAnsi && FEncoding != seUTF8 && FEncoding != seUTF16BE && FEncoding != seUTF16LE) {
            Report(wsFail, std::string("unsupported encoding (") + encoding_name(FEncoding) + ")");
            FSourceDone = true;
            return;
        }
        if (found->has_bom) {
            FRawBuffer.erase(0, static_cast<std::size_t>(found->len));
            Report(wsInfo, std::string("BOM with encoding ") + encoding_name(FEncoding));
        }
    }
    FConverting = true;
    FUtf8FirstIdx = FUtf8Buffer.size();
    FChunkStartChar0D = FLastChar0D;
    Convert(FRawBuffer);
}

void TXmlParser::start_utf8() {
    FEncoding = seUTF8;
    FCodePage = 65001;
    FConverting = true;
    FUtf8FirstIdx = FUtf8Buffer.size();
    FChunkStartChar0D = FLastChar0D;
    Convert(FRawBuffer);
}

void TXmlParser::Convert(std::string_view raw) {
    std::string& out = FUtf8Buffer;
    utf8_sink sink{out, FLastChar0D};
    out.reserve(out.size() + raw.size() + raw.size() / 2);
    switch (FEncoding) {
    case seAnsi:
        if (FCodePage != 0 && FCodePage != 65001) {
            std::size_t held = 0;
            for (char16_t c : xml_platform::multibyte_to_wide(FCodePage, raw, &held)) sink.put(c);
            FRawHeld.assign(raw.substr(raw.size() - held));
            break;
        }
        [[fallthrough]];
    case seUTF8:
        // Bytes as they are; only line ends change.
        for (char c : raw) {
            if (c == '\r' || c == '\n') {
                sink.put(static_cast<std::uint8_t>(c));
            } else {
                sink.last_cr = false;
                out.push_back(c);
            }
        }
        break;
    case seUTF16BE:
    case seUTF16LE: {
        const std::size_t even = raw.size() & ~std::size_t{1};
        for (std::size_t i = 0; i < even; i += 2) {
            const auto a = static_cast<std::uint8_t>(raw[i]), b = static_cast<std::uint8_t>(raw[i + 1]);
            sink.put(FEncoding == seUTF16LE ? (a | (b << 8)) : ((a << 8) | b));
        }
        // An odd byte waits for its partner in the next chunk; at the very end it is dropped.
        FRawHeld.assign(raw.substr(even));
        break;
    }
    default:
        break;
    }
    FLastChar0D = sink.last_cr;
}

bool TXmlParser::ReadChunk() {
    if (FSourceDone || !FConverting) return false;
    std::string raw(static_cast<std::size_t>(later_chunk_size), '\0');
    const std::int64_t n = FSource.Read(raw.data(), later_chunk_size);
    if (n <= 0) {
        FSourceDone = true;
        FRawHeld.clear();
        return false;
    }
    raw.resize(static_cast<std::size_t>(n));
    FRawBuffer = FRawHeld + raw;
    FRawHeld.clear();
    FUtf8FirstIdx = FUtf8Buffer.size();
    FChunkStartChar0D = FLastChar0D;
    Convert(FRawBuffer);
    return true;
}

void TXmlParser::SetEncoding(TXmlStringEncoding encoding, int code_page) {
    FEncoding = encoding;
    FCodePage = code_page;
    if (!FConverting) return;
    FUtf8Buffer.resize(FUtf8FirstIdx);
    FLastChar0D = FChunkStartChar0D;
    FRawHeld.clear();
    if (FLinesCountedTo > FUtf8FirstIdx) {
        FLinesCountedTo = 0;
        FLinesCounted = 0;
    }
    Convert(FRawBuffer);
    if (FPos > FUtf8Buffer.size()) FPos = FUtf8Buffer.size();
}

std::int64_t TXmlParser::MakeDataAvailable() {
    while (FPos >= FUtf8Buffer.size()) {
        if (!ReadChunk()) {
            if (FPos >= FUtf8Buffer.size()) {
                FEndOfStream = true;
                return 0;
            }
        }
    }
    return static_cast<std::int64_t>(FUtf8Buffer.size() - FPos);
}

std::size_t TXmlParser::Ensure(std::size_t n) {
    while (FUtf8Buffer.size() - FPos < n && ReadChunk()) {
    }
    return FUtf8Buffer.size() - FPos;
}

char TXmlParser::NextChar() {
    if (FPos < FUtf8Buffer.size() || MakeDataAvailable() > 0) return FUtf8Buffer[FPos++];
    return '\0';
}

void TXmlParser::MoveBack() {
    assert(FPos > 0 && "XmlDocument");
    if (FPos > 0) --FPos;
}

bool TXmlParser::CheckString(std::string_view s) {
    const std::size_t avail = Ensure(s.size());
    if (avail == 0 && !s.empty()) {
        FEndOfStream = true;
        return false;
    }
    if (avail < s.size()) return false;
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (std::size_t i = 0; i < s.size(); ++i)
        if (fold(FUtf8Buffer[FPos + i]) != fold(s[i])) return false;
    FPos += s.size();
    return true;
}

std::string TXmlParser::ReadStringUntilChar(char stop) {
    std::string out;
    for (;;) {
        if (FPos >= FUtf8Buffer.size() && MakeDataAvailable() == 0) return out;
        const char* start = FUtf8Buffer.data() + FPos;
        const std::size_t left = FUtf8Buffer.size() - FPos;
        const void* hit = std::memchr(start, stop, left);
        if (hit) {
            const auto n = static_cast<std::size_t>(static_cast<const char*>(hit) - start);
            out.append(start, n);
            FPos += n + 1;
            return out;
        }
        out.append(start, left);
        FPos = FUtf8Buffer.size();
    }
}

std::string TXmlParser::ReadStringUntil(std::string_view terminator) {
    const std::size_t start = FPos;
    for (;;) {
        if (Ensure(terminator.size()) < terminator.size()) {
            FPos = FUtf8Buffer.size();
            FEndOfStream = true;
            Report(wsWarn, std::string("stream terminated prematurely at pos ") + num(Position()));
            return {};
        }
        // Jump to the next possible start of the terminator before comparing.
        const char first = terminator.empty() ? '\0' : terminator.front();
        if (!(first >= 'A' && first <= 'Z') && !(first >= 'a' && first <= 'z') && !terminator.empty()) {
            const std::size_t last = FUtf8Buffer.size() - terminator.size() + 1;
            const void* hit = std::memchr(FUtf8Buffer.data() + FPos, first, last - FPos);
            if (!hit) {
                FPos = last;
                continue;
            }
            FPos = static_cast<std::size_t>(static_cast<const char*>(hit) - FUtf8Buffer.data());
        }
        const std::size_t here = FPos;
        if (CheckString(terminator)) return FUtf8Buffer.substr(start, here - start);
        ++FPos;
    }
}

std::string TXmlParser::ReadStringUntilBlankOrEndTag() {
    const std::size_t start = FPos;
    for (;;) {
        if (FPos >= FUtf8Buffer.size() && MakeDataAvailable() == 0) {
            Report(wsWarn, std::string("stream terminated prematurely at pos ") + num(Position()));
            return {};
        }
        const char c = FUtf8Buffer[FPos];
        if (is_blank(c) || c == '/' || c == '>' || c == '[') return FUtf8Buffer.substr(start, FPos - start);
        ++FPos;
    }
}

char TXmlParser::NextCharSkipBlanks(std::string& blanks) {
    blanks.clear();
    for (;;) {
        const char c = NextChar();
        if (c == '\0' && FEndOfStream) return '\0';
        if (!is_blank(c)) return c;
        blanks.push_back(c);
    }
}

bool TXmlParser::read_reference(std::string& name) {
    for (std::size_t n = 0;; ++n) {
        if (Ensure(n + 1) < n + 1) return false;
        const char c = FUtf8Buffer[FPos + n];
        if (c == ';') {
            if (n == 0) return false;
            name = FUtf8Buffer.substr(FPos, n);
            FPos += n + 1;
            return true;
        }
        if (c == '\0' || is_blank(c) || std::strchr("<>[]%&\"'/", c)) return false;
    }
}

TXmlElementType TXmlParser::ReadOpenTag() {
    char c = NextChar();
    if (c == '\0' && FEndOfStream) return xeError;
    switch (c) {
    case '!': {
        c = NextChar();
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        switch (c) {
        case '-': return CheckString("-") ? xeComment : xeError;
        case '[': return CheckString("cdata[") ? xeCData : xeError;
        case 'a': return CheckString("ttlist") ? xeDtdAttList : xeError;
        case 'd': return CheckString("octype") ? xeDocType : xeError;
        case 'e':
            if (CheckString("lement")) return xeDtdElement;
            return CheckString("ntity") ? xeDtdEntity : xeError;
        case 'n': return CheckString("otation") ? xeDtdNotation : xeError;
        default:
            Report(wsFail, std::string("illegal tag (\"") + char_text(c) + "\") at pos " + num(Position()));
            return xeError;
        }
    }
    case '/': return xeEndTag;
    case '?':
        if (CheckString("xml")) return CheckString("-stylesheet") ? xeStylesheet : xeDeclaration;
        return xeInstruction;
    default:
        MoveBack();
        return xeElement;
    }
}

void TXmlParser::Flush() {
    const std::size_t keep_from = std::min(FUtf8FirstIdx, FPos > 0 ? FPos - 1 : 0);
    if (keep_from < flush_threshold) return;
    const auto lfs = std::count(FUtf8Buffer.begin(), FUtf8Buffer.begin() + static_cast<std::ptrdiff_t>(keep_from), '\n');
    FBaseLineNumber += lfs;
    FUtf8BasePosition += static_cast<std::int64_t>(keep_from);
    FUtf8Buffer.erase(0, keep_from);
    FPos -= keep_from;
    FUtf8FirstIdx -= keep_from;
    if (FLinesCountedTo >= keep_from) {
        FLinesCounted -= lfs;
        FLinesCountedTo -= keep_from;
    } else {
        FLinesCounted = 0;
        FLinesCountedTo = 0;
    }
}

std::int64_t TXmlParser::LineNumber() {
    // Counted on from the last call, so many messages in a long text stay linear.
    if (FLinesCountedTo > FPos) {
        FLinesCountedTo = 0;
        FLinesCounted = 0;
    }
    FLinesCounted += std::count(FUtf8Buffer.begin() + static_cast<std::ptrdiff_t>(FLinesCountedTo),
                                FUtf8Buffer.begin() + static_cast<std::ptrdiff_t>(FPos), '\n');
    FLinesCountedTo = FPos;
    return FBaseLineNumber + FLinesCounted;
}

// --- Building the tree

bool TXmlParser::ReadElementStart(TXmlElement* element, TXmlNode*& result) {
    TXmlDocument* doc = element->Document();
    Flush();
    element->FValueNode = nullptr;
    element->SetName(trimmed(ReadStringUntilBlankOrEndTag()));
    doc->DoNodeNew(element);
    const char c = element->ReadAttributes(*this);
    element->FDirectNodeCount = element->NodeCount();
    result = element;
    auto illegal_end = [&](char what) {
        Report(wsWarn, std::string("illegal end tag (\"") + char_text(what) + "\") at line " + num(LineNumber()) + " (streampos " +
                           num(Position()) + ")");
    };
    if (c == '>') return true;
    if (c == '/') {
        const char next = NextChar();
        if (next != '>') {
            illegal_end(next);
            return false;
        }
        element->FNodeClosingStyle = ncClose;
        doc->DoProgress(Position());
        return false;
    }
    illegal_end(c);
    return false;
}

TXmlNode* TXmlParser::RepairEndTag(TXmlNode* node, const std::string& end_name) {
    TXmlDocument* doc = node->Document();
    for (int k = 0;; ++k) {
        TXmlNode* parent = node->Parent();
        const std::string p = parent ? parent->GetName() : std::string();
        if (p == end_name) {
            Report(wsHint, std::string("parent") + num(k) + " = \"" + p + "\", this endtag = \"" + end_name + "\": maybe \"" +
                               node->GetName() + "\" should be closed");
            doc->AddSingleTagName(node->GetName());
            break;
        }
        TXmlNode* grand = parent ? parent->Parent() : nullptr;
        // Nowhere left to move the node: stop here, or the search would repeat for ever.
        if (!grand) break;
        Report(wsInfo, std::string("moving node \"") + node->GetName() + "\" from parent \"" + p + "\" to grandparent \"" +
                           grand->GetName() + "\"");
        doc->AddSingleTagName(p);
        parent->NodeExtract(node);
        grand->NodeAdd(node);
        if (p.empty()) break;
    }
    return node->Parent();
}

TXmlNode* TXmlParser::ReadChildNodes(TXmlContainerNode* container) {
    TXmlDocument* doc = container->Document();
    struct frame {
        TXmlContainerNode* node;
        TXmlElement* open_child; // the child element whose content is being read above this frame
    };
    std::vector<frame> stack{{container, nullptr}};
    TXmlNode* handed = nullptr; // result of the frame just finished
    bool returning = false;

    for (;;) {
        TXmlNode* result = nullptr;
        bool finish = false;
        TXmlContainerNode* c = stack.back().node;

        if (returning) {
            returning = false;
            TXmlElement* child = stack.back().open_child;
            stack.back().open_child = nullptr;
            if (handed != child) {
                Report(wsWarn, std::string("level mismatch between subnode \"") + child->GetName() + "\" and endnode \"" +
                                   (handed ? handed->GetName() : std::string("nil")) + "\" at line " +
                                   num(LineNumber()) + " (pos " + num(Position()) + ")");
                result = handed;
                finish = true;
            } else {
                doc->DoNodeLoaded(child);
                if (doc->AbortParsing || FEndOfStream) finish = true;
            }
        } else {
            c->ReadTextBeforeTag(*this);
            if (FEndOfStream) {
                Report(wsFail, std::string("stream terminated prematurely at pos ") + num(Position()));
                finish = true;
            } else {
                MoveBack();
                const char ch = NextChar();
                const bool in_doctype = c->ElementType() == xeDocType;
                if (ch == '<') {
                    const TXmlElementType kind = ReadOpenTag();
                    const bool allowed = in_doctype ? allowed_in_doctype(kind) : allowed_in_element(kind);
                    if (!allowed || kind == xeError) {
                        Report(wsWarn, std::string("illegal tag (\"") + element_type_name(kind) + "\") at pos " +
                                           num(Position()));
                        finish = true;
                    } else if (kind == xeEndTag) {
                        const std::string end_name = trimmed(ReadStringUntilChar('>'));
                        c->FNodeClosingStyle = ncFull;
                        result = c;
                        if (end_name != c->GetName()) {
                            Report(wsWarn, std::string("begin and end tag mismatch: \"") + c->GetName() + "\" and \"" + end_name +
                                               "\" at line " + num(LineNumber()) + " (pos " + num(Position()) + ")");
                            if (doc->FixStructuralErrors) result = RepairEndTag(c, end_name);
                        }
                        c->FNodes.Items().shrink_to_fit();
                        finish = true;
                    } else {
                        TXmlNode* node = add_owned(*c, create_node(kind, doc));
                        if (kind == xeElement) {
                            auto* e = static_cast<TXmlElement*>(node);
                            TXmlNode* r = nullptr;
                            if (ReadElementStart(e, r)) {
                                stack.back().open_child = e;
                                stack.push_back({e, nullptr});
                                continue;
                            }
                            // A start tag that closed itself (or broke) finishes like a read element.
                            stack.back().open_child = e;
                            handed = r;
                            returning = true;
                            continue;
                        }
                        doc->DoNodeNew(node);
                        TXmlNode* r = node->ParseStream(*this);
                        if (r != node) {
                            Report(wsWarn, std::string("level mismatch between subnode \"") + node->GetName() +
                                               "\" and endnode \"" + (r ? r->GetName() : std::string("nil")) +
                                               "\" at line " + num(LineNumber()) + " (pos " + num(Position()) + ")");
                            result = r;
                            finish = true;
                        } else {
                            if (kind == xeCData && !c->FValueNode) c->FValueNode = node;
                            doc->DoNodeLoaded(node);
                        }
                    }
                } else if (ch == ']' && in_doctype) {
                    finish = true;
                }
                if (!finish && (doc->AbortParsing || FEndOfStream)) finish = true;
            }
        }

        if (finish) {
            stack.pop_back();
            if (stack.empty()) return result;
            // The child element's content has ended: its parse is complete.
            doc->DoProgress(Position());
            handed = result;
            returning = true;
        }
    }
}

// --- Node kinds

TXmlNode* TXmlNode::ParseStream(TXmlParser&) { return this; }

char TXmlContainerNode::ReadAttributes(TXmlParser& p) {
    TXmlDocument* doc = Document();
    std::string blanks;
    while (!p.EndOfStream()) {
        const char c = p.NextCharSkipBlanks(blanks);
        if (!blanks.empty() && blanks != " ") {
            p.Report(wsHint, std::string("non-default chardata at line ") + num(p.LineNumber()) + " (pos " + num(p.Position()) + ")");
            if (ReadsWhiteSpace()) {
                auto ws = std::make_unique<TXmlWhiteSpace>(doc);
                ws->SetStoredText(blanks);
                add_owned(*this, std::move(ws));
                ++FDirectNodeCount;
            }
        }
        if (c == '\0' && p.EndOfStream()) break;
        if (c == '!' || c == '/' || c == '>' || c == '?') return c;
        if (c == '"' || c == '\'') {
            p.Report(wsWarn, std::string("illegal quote at pos ") + num(p.Position()));
            continue;
        }
        p.MoveBack();
        auto made = std::make_unique<TXmlAttribute>(doc);
        AttributeAdd(made.get());
        TXmlAttribute* attr = made.release();
        doc->DoNodeNew(attr);
        attr->ParseStream(p);
        doc->DoNodeLoaded(attr);
    }
    return '\0';
}

char TXmlContainerNode::ReadQuotedTexts(TXmlParser& p) {
    TXmlDocument* doc = Document();
    std::string blanks;
    bool notation_next = false;
    while (!p.EndOfStream()) {
        const char c = p.NextCharSkipBlanks(blanks);
        if (!blanks.empty() && blanks != " ")
            p.Report(wsHint, std::string("non-default chardata at line ") + num(p.LineNumber()) + " (pos " + num(p.Position()) + ")");
        if (c == '\0' && p.EndOfStream()) break;
        if (c == '!' || c == '/' || c == '>') return c;
        p.MoveBack();
        const std::string word = is_quote(c) ? std::string() : notation_next ? read_word(p) : read_keyword(p);
        notation_next = word == "NDATA";
        if (!word.empty()) {
            auto* t = add_owned(*this, std::make_unique<TXmlCharData>(doc));
            doc->DoNodeNew(t);
            t->SetStoredText(word);
            doc->DoNodeLoaded(t);
            continue;
        }
        // Any other word is read as a literal whose quote is missing, and is reported or repaired as such.
        auto* q = add_owned(*this, std::make_unique<TXmlQuotedText>(doc));
        doc->DoNodeNew(q);
        q->ParseStream(p);
        doc->DoNodeLoaded(q);
    }
    return '\0';
}

void TXmlContainerNode::ReadTextBeforeTag(TXmlParser& p) { p.ReadStringUntilChar('<'); }

void TXmlElement::ReadTextBeforeTag(TXmlParser& p) {
    TXmlDocument* doc = Document();
    const std::string text = p.ReadStringUntilChar('<');
    if (text.empty()) return;
    const blank_split parts = split_blanks(text);
    const bool keep_blanks = ReadsWhiteSpace();
    auto add_blanks = [&](std::string_view b) {
        if (!keep_blanks || b.empty()) return;
        auto ws = std::make_unique<TXmlWhiteSpace>(doc);
        ws->SetStoredText(b);
        add_owned(*this, std::move(ws));
    };
    add_blanks(parts.leading);
    if (!parts.core.empty()) {
        auto* t = add_owned(*this, std::make_unique<TXmlCharData>(doc));
        t->SetStoredText(parts.core);
        if (!FValueNode) FValueNode = t;
        doc->DoNodeNew(t);
        doc->DoNodeLoaded(t);
    }
    add_blanks(parts.trailing);
}

TXmlNode* TXmlElement::ParseStream(TXmlParser& p) {
    TXmlNode* result = nullptr;
    if (!p.ReadElementStart(this, result)) return result;
    result = p.ReadChildNodes(this);
    Document()->DoProgress(p.Position());
    return result;
}

TXmlNode* TXmlAttribute::ParseStream(TXmlParser& p) {
    SetName(trimmed(p.ReadStringUntilChar('=')));
    FCoreValue.ParseStream(p);
    return this;
}

TXmlNode* TXmlQuotedText::ParseStream(TXmlParser& p) {
    std::string blanks;
    const char c = p.NextCharSkipBlanks(blanks);
    char quote = ' ';
    if (c == '"') {
        FQuoteStyle = qsQuote;
        quote = c;
    } else if (c == '\'') {
        FQuoteStyle = qsApos;
        quote = c;
    } else {
        p.Report(wsWarn, std::string("quote char expected at pos ") + num(p.Position()));
        if (!Document()->FixStructuralErrors || (c == '\0' && p.EndOfStream())) return this;
        p.MoveBack();
    }
    SetStoredText(p.ReadQuotedString(quote));
    return this;
}

TXmlNode* TXmlComment::ParseStream(TXmlParser& p) {
    SetStoredText(p.ReadStringUntil("-->"));
    return this;
}

TXmlNode* TXmlCData::ParseStream(TXmlParser& p) {
    SetStoredText(p.ReadStringUntil("]]>"));
    return this;
}

TXmlNode* TXmlInstruction::ParseStream(TXmlParser& p) {
    SetStoredText(p.ReadStringUntil("?>"));
    return this;
}

TXmlNode* TXmlDeclaration::ParseStream(TXmlParser& p) {
    char c = ReadAttributes(p);
    if (c == '?') {
        c = p.NextChar();
        if (c == '>') {
            // The line end is taken only where the writer puts one back: a declaration always ends with
            // one, a style sheet only in the readable format. Kept white space carries it otherwise.
            const bool written_back = ElementType() == xeDeclaration || !ReadsWhiteSpace();
            // Line ends arrive as LF only.
            if (written_back && p.MakeDataAvailable() > 0 && p.NextChar() != '\n') p.MoveBack();
            return this;
        }
    }
    p.Report(wsWarn, std::string("illegal end tag (\"") + char_text(c) + "\") at line " + num(p.LineNumber()) + " (streampos " +
                         num(p.Position()) + ")");
    return this;
}

void TXmlDocType::ReadTextBeforeTag(TXmlParser& p) {
    std::string blanks;
    for (;;) {
        const char c = p.NextCharSkipBlanks(blanks);
        if (!blanks.empty() && blanks != " " && ReadsWhiteSpace()) {
            auto ws = std::make_unique<TXmlWhiteSpace>(Document());
            ws->SetStoredText(blanks);
            add_owned(*this, std::move(ws));
        }
        if (c == '<' || c == ']') return;
        if (c == '\0' && p.EndOfStream()) return;
        // A parameter-entity reference between declarations is kept as text and written back in its place.
        std::string name;
        if (c == '%' && p.read_reference(name)) {
            auto* reference = add_owned(*this, std::make_unique<TXmlCharData>(Document()));
            Document()->DoNodeNew(reference);
            reference->SetStoredText("%" + name + ";");
            Document()->DoNodeLoaded(reference);
            continue;
        }
        p.Report(wsWarn, std::string("illegal tag (\"") + char_text(c) + "\") at pos " + num(p.Position()));
        p.ReadStringUntilBlankOrEndTag();
    }
}

TXmlNode* TXmlDocType::ParseStream(TXmlParser& p) {
    std::string blanks;
    auto skip_blanks = [&] {
        const char c = p.NextCharSkipBlanks(blanks);
        if (!(c == '\0' && p.EndOfStream())) p.MoveBack();
    };
    auto illegal = [&](char c) { p.Report(wsWarn, std::string("illegal tag (\"") + char_text(c) + "\") at pos " + num(p.Position())); };
    skip_blanks();
    SetName(trimmed(p.ReadStringUntilBlankOrEndTag()));
    char c = p.NextCharSkipBlanks(blanks);
    if (c != '>' && c != '[') {
        if (!(c == '\0' && p.EndOfStream())) p.MoveBack();
        if (p.CheckString("SYSTEM")) {
            FExternalID.SetStoredText("SYSTEM");
            FSystemLiteral.ParseStream(p);
        } else if (p.CheckString("PUBLIC")) {
            FExternalID.SetStoredText("PUBLIC");
            FPubIDLiteral.ParseStream(p);
            FSystemLiteral.ParseStream(p);
        } else {
            illegal(c);
            return this;
        }
        c = p.NextCharSkipBlanks(blanks);
    }
    TXmlNode* result = this;
    if (c == '[') {
        result = p.ReadChildNodes(this);
        c = p.NextCharSkipBlanks(blanks);
    }
    if (c != '>') illegal(c);
    return result;
}

TXmlNode* TXmlDtdElement::ParseStream(TXmlParser& p) {
    std::string blanks;
    auto skip_blanks = [&] {
        const char c = p.NextCharSkipBlanks(blanks);
        if (!(c == '\0' && p.EndOfStream())) p.MoveBack();
    };
    skip_blanks();
    SetName(trimmed(p.ReadStringUntilBlankOrEndTag()));
    skip_blanks();
    ReadContent(p);
    return this;
}

void TXmlDtdElement::ReadContent(TXmlParser& p) {
    TXmlDocument* doc = Document();
    auto* t = add_owned(*this, std::make_unique<TXmlCharData>(doc));
    doc->DoNodeNew(t);
    t->SetStoredText(p.ReadStringUntilChar('>'));
    doc->DoNodeLoaded(t);
}

TXmlNode* TXmlDtdEntity::ParseStream(TXmlParser& p) {
    std::string blanks;
    const char c = p.NextCharSkipBlanks(blanks);
    // A "%" that is not the start of a name is the marker: read as a name of its own, it would be
    // written back as the marker.
    if (c == '%' && ends_name(p)) {
        auto* marker = add_owned(*this, std::make_unique<TXmlCharData>(Document()));
        FDirectNodeCount = 1;
        Document()->DoNodeNew(marker);
        marker->SetStoredText("%");
        Document()->DoNodeLoaded(marker);
    } else if (!(c == '\0' && p.EndOfStream())) {
        p.MoveBack();
    }
    return TXmlDtdElement::ParseStream(p);
}

void TXmlDtdEntity::ReadContent(TXmlParser& p) {
    const char c = ReadQuotedTexts(p);
    if (c != '>')
        p.Report(wsFail, std::string("illegal end tag (\"") + char_text(c) + "\") at line " + num(p.LineNumber()) + " (streampos " +
                             num(p.Position()) + ")");
}

} // namespace kq
