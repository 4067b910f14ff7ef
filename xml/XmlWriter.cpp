#include "xml/XmlWriter.h"

#include "xml/XmlDebug.h"
#include "xml/XmlDocument.h"
#include "xml/XmlNodeTree.h"
#include "xml/XmlTextConversions.h"

#include <vector>

namespace kq {

namespace {

void put(TStream& S, std::string_view text) {
    if (!text.empty()) S.Write(text.data(), static_cast<std::int64_t>(text.size()));
}

void progress(const TXmlNode& n, TStream& S) { n.Document()->DoProgress(S.Position()); }

} // namespace

TXmlWriter::TXmlWriter(TDebugComponent* AOwner, TStream& ASource, std::int32_t AChunkSize)
    : TXmlBufferWriter(ASource, AChunkSize), FOwner(AOwner) {}

std::int64_t TXmlWriter::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0) return 0;
    const std::string_view text(static_cast<const char*>(Buffer), static_cast<std::size_t>(Count));
    // ANSI without a code page is how the reader takes a text that starts "<?xm" and declares nothing:
    // it read the bytes unchanged, so they are written back unchanged.
    const bool bytes_as_read = Encoding == seAnsi && (CodePage == 0 || CodePage == 65001);
    switch (bytes_as_read ? seUTF8 : Encoding) {
    case seUTF8:
        return TXmlBufferWriter::Write(Buffer, Count);
    case seAnsi: {
        bool used_default = false;
        FRawBuffer = ansi_from_utf8(text, CodePage, used_default);
        if (used_default && FOwner) FOwner->DoDebugOut(this, wsWarn, "default char used for codepage substitution");
        break;
    }
    case seUTF16LE:
    case seUTF16BE: {
        const String units = Utf8ToWide(text);
        FRawBuffer.resize(units.size() * 2);
        const bool le = Encoding == seUTF16LE;
        for (std::size_t i = 0; i < units.size(); ++i) {
            FRawBuffer[2 * i + (le ? 0 : 1)] = static_cast<char>(units[i] & 0xFF);
            FRawBuffer[2 * i + (le ? 1 : 0)] = static_cast<char>(units[i] >> 8);
        }
        break;
    }
    default:
        if (FOwner) FOwner->DoDebugOut(this, wsFail, std::string("unsupported encoding (") + encoding_name(Encoding) + ")");
        return 0;
    }
    return TXmlBufferWriter::Write(FRawBuffer.data(), static_cast<std::int64_t>(FRawBuffer.size()));
}

// --- Text pieces

std::string TXmlNode::LineBreak() const {
    switch (Document()->EolStyle) {
    case esLF: return "\n";
    case esCR: return "\r";
    default: return "\r\n";
    }
}

std::string TXmlNode::FormatLineBreak() const {
    return Document()->XmlFormat() == xfReadable ? LineBreak() : std::string();
}

std::string TXmlNode::IndentPrefix() const {
    const TXmlDocument* d = Document();
    if (d->XmlFormat() != xfReadable) return {};
    std::string prefix;
    for (int i = TreeDepth(); i > 0; --i) prefix += d->IndentString;
    return prefix;
}

// --- Node text

void TXmlNode::WriteStream(TStream&) const {}

void TXmlCharData::WriteStream(TStream& S) const { put(S, GetStoredTextForOutput()); }

void TXmlQuotedText::WriteStream(TStream& S) const {
    const char* q = FQuoteStyle == qsApos ? "'" : "\"";
    put(S, q);
    put(S, GetStoredTextForOutput());
    put(S, q);
}

void TXmlAttribute::WriteStream(TStream& S) const {
    put(S, GetName());
    put(S, "=");
    FCoreValue.WriteStream(S);
    progress(*this, S);
}

void TXmlComment::WriteStream(TStream& S) const {
    put(S, "<!--");
    put(S, GetStoredText());
    put(S, "-->");
    progress(*this, S);
}

void TXmlCData::WriteStream(TStream& S) const {
    put(S, "<![CDATA[");
    put(S, GetStoredText());
    put(S, "]]>");
    progress(*this, S);
}

void TXmlInstruction::WriteStream(TStream& S) const {
    put(S, IndentPrefix());
    put(S, "<?");
    // The text as stored: resolving its references here would change it on every save.
    put(S, GetStoredTextForOutput());
    put(S, "?>");
    put(S, FormatLineBreak());
    progress(*this, S);
}

void TXmlContainerNode::WriteAttributesTo(TStream& S, int Count) const {
    const TXmlNode* previous = nullptr;
    for (int i = 0; i < Count && i < FNodes.Count(); ++i) {
        const TXmlNode* n = FNodes.Items(i);
        if (n->ElementType() == xeAttribute) {
            if (!dynamic_cast<const TXmlCharData*>(previous)) put(S, " ");
            n->WriteStream(S);
        } else if (dynamic_cast<const TXmlCharData*>(n)) {
            n->WriteStream(S);
        }
        previous = n;
    }
}

void TXmlDeclaration::WriteStream(TStream& S) const {
    put(S, IndentPrefix());
    put(S, "<?xml");
    WriteAttributesTo(S, NodeCount());
    put(S, "?>");
    put(S, LineBreak());
    progress(*this, S);
}

void TXmlStyleSheet::WriteStream(TStream& S) const {
    put(S, IndentPrefix());
    put(S, "<?xml-stylesheet");
    WriteAttributesTo(S, NodeCount());
    put(S, "?>");
    put(S, FormatLineBreak());
    progress(*this, S);
}

void TXmlDocType::WriteStream(TStream& S) const {
    put(S, IndentPrefix());
    put(S, "<!DOCTYPE ");
    put(S, GetName());
    const std::string external = FExternalID.GetStoredText();
    if (external == "SYSTEM") {
        put(S, " SYSTEM ");
        FSystemLiteral.WriteStream(S);
    } else if (external == "PUBLIC") {
        put(S, " PUBLIC ");
        FPubIDLiteral.WriteStream(S);
        put(S, " ");
        FSystemLiteral.WriteStream(S);
    }
    put(S, " ");
    if (NodeCount() > 0) {
        put(S, "[");
        put(S, FormatLineBreak());
        for (const TXmlNode* n : FNodes.Items()) n->WriteStream(S);
        put(S, "]");
    }
    put(S, ">");
    put(S, FormatLineBreak());
    progress(*this, S);
}

void TXmlDtdElement::WriteInnerNodes(TStream& S) const {
    for (const TXmlNode* n : FNodes.Items()) n->WriteStream(S);
}

void TXmlDtdElement::WriteStream(TStream& S) const {
    static constexpr const char* keywords[] = {"ELEMENT", "ATTLIST", "ENTITY", "NOTATION"};
    put(S, "<!");
    put(S, keywords[ElementType() - xeDtdElement]);
    put(S, " ");
    put(S, GetName());
    put(S, " ");
    WriteInnerNodes(S);
    put(S, ">");
    put(S, FormatLineBreak());
    progress(*this, S);
}

void TXmlElement::WriteStream(TStream& S) const {
    struct frame {
        const TXmlElement* element;
        int next;
        bool has_containers;
    };
    std::vector<frame> stack;
    // Writes the start tag; true when content and an end tag follow.
    auto open = [&](const TXmlElement* e) {
        put(S, e->IndentPrefix());
        put(S, "<");
        put(S, e->GetName());
        e->WriteAttributesTo(S, e->FDirectNodeCount);
        if (e->NodeCount() <= e->FDirectNodeCount && e->NodeClosingStyle() == ncClose) {
            put(S, e->Document()->DirectCloseTag);
            put(S, e->FormatLineBreak());
            progress(*e, S);
            return;
        }
        put(S, ">");
        stack.push_back({e, e->FDirectNodeCount, e->HasChildContainers()});
    };
    // Elements nest on an explicit stack, so any depth can be written.
    open(this);
    while (!stack.empty()) {
        frame& f = stack.back();
        const TXmlElement* e = f.element;
        if (f.next >= e->NodeCount()) {
            if (f.has_containers) put(S, e->IndentPrefix());
            put(S, "</");
            put(S, e->GetName());
            put(S, ">");
            put(S, e->FormatLineBreak());
            progress(*e, S);
            stack.pop_back();
            continue;
        }
        const int index = f.next++;
        const bool has_containers = f.has_containers;
        const TXmlNode* child = e->FNodes.Items(index);
        const bool is_text = dynamic_cast<const TXmlCharData*>(child) != nullptr;
        if (index == e->FDirectNodeCount && !is_text) put(S, e->FormatLineBreak());
        if (index != e->FDirectNodeCount && is_text && has_containers) put(S, child->IndentPrefix());
        if (child->ElementType() == xeElement) {
            open(static_cast<const TXmlElement*>(child));
        } else if (is_text) {
            child->WriteStream(S);
            if (has_containers) put(S, e->FormatLineBreak());
        }
    }
}

} // namespace kq
