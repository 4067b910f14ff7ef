#pragma once
// Element types, options and styles shared by every unit (ordinals are the binary form's numbers).
#include <cstdint>
#include <functional>
#include <string>

namespace kq {

class TObject;
class TXmlNode;

// Ordinals are also the numbers the binary form stores: keep the order.
enum TXmlElementType : std::uint8_t {
    xeElement, xeAttribute, xeCharData, xeComment, xeCData, xeCondSection, xeDeclaration, xeStylesheet,
    xeDocType, xeDtdElement, xeDtdAttList, xeDtdEntity, xeDtdNotation, xeInstruction, xeWhiteSpace,
    xeQuotedText, xeEndTag, xeError
};

enum TXmlStringEncoding : std::uint8_t {
    seAnsi, seUTF8, seUTF16BE, seUTF16LE, seUTF32BE, seUTF32LE, seUCS4_2143, seUCS4_3412, seEBCDIC
};

enum TXmlBinaryEncoding : std::uint8_t { xbeBase64, xbeBinHex };
enum TXmlNodeClosingStyle : std::uint8_t { ncDefault, ncFull, ncClose };
enum TXmlEolStyle : std::uint8_t { esLF, esCRLF, esCR };
enum TXmlFormatType : std::uint8_t { xfCompact, xfReadable, xfPreserve };
enum TXmlQuoteCharStyle : std::uint8_t { qsQuote, qsApos };
enum TXmlBinaryMethod : std::uint8_t { bmDefault, bmZlib, bmAesz };

enum TXmlCompareOption : std::uint16_t {
    xcNodeName = 1 << 0, xcNodeType = 1 << 1, xcNodeValue = 1 << 2, xcAttribCount = 1 << 3,
    xcAttribNames = 1 << 4, xcAttribValues = 1 << 5, xcChildCount = 1 << 6, xcChildNames = 1 << 7,
    xcChildValues = 1 << 8, xcRecursive = 1 << 9
};
using TXmlCompareOptions = std::uint16_t; // a set of TXmlCompareOption bits

#pragma pack(push, 1)
struct TXmlBomInfo {
    std::uint8_t BOM[4];
    std::int32_t Len;
    std::uint8_t Encoding; // TXmlStringEncoding
    std::uint8_t HasBOM;
};
#pragma pack(pop)
static_assert(sizeof(TXmlBomInfo) == 10);

using TXmlNodeEvent = std::function<void(TObject* sender, TXmlNode* node)>;
using TXmlProgressEvent = std::function<void(TObject* sender, std::int64_t position)>;

// "Element", "Attribute", ... by ordinal.
const char* element_type_name(TXmlElementType type) noexcept;
// "ansi", "utf-8", ... by ordinal.
const char* encoding_name(TXmlStringEncoding encoding) noexcept;
// The fixed code page of an encoding (0 for those that have none).
int encoding_codepage(TXmlStringEncoding encoding) noexcept;

namespace detail {
// Quicksort over [lo, hi] around a caller's partition step, which returns the (i, j) where the two
// sides meet. Only the smaller side recurses, so the depth stays logarithmic.
template <class Partition>
void quicksort(int lo, int hi, Partition&& partition) {
    while (lo < hi) {
        const auto [i, j] = partition(lo, hi);
        if (j - lo < hi - i) {
            quicksort(lo, j, partition);
            lo = i;
        } else {
            quicksort(i, hi, partition);
            hi = j;
        }
    }
}
} // namespace detail

} // namespace kq
