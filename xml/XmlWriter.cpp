#include "xml/XmlWriter.h"

#include "xml/XmlDebug.h"
#include "xml/XmlDocument.h"
#include "xml/XmlNodeTree.h"
#include "xml/XmlTextConversions.h"

#include <vector>

namespace kq {

namespace {

void put(TStream& s, std::string_view text) {
    if (!text.empty()) s.Write(text.data(), static_cast<std::int64_t>(text.size()));
}

void progress(const TXmlNode& n, TStream& s) { n.Document()->DoProgress(s.Position()); }

// Whether the node's text ends with a line end in the readable format.
bool ends_line(const TXmlNode* n) {
    const TXmlElementType t = n->ElementType();
    return (t >= xeDtdElement && t <= xeDtdNotation) || t == xeInstruction || t == xeCharData;
}

} // namespace

TXmlWriter::TXmlWriter(TDebugComponent* owner, TStream& source, std::int32_t chunk_size)
    : TXmlBufferWriter(source, chunk_size), FOwner(owner) {}

std::int64_t TXmlWriter::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    const std::string_view text(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    // ANSI without a code page is how the reader takes a text that starts "<?xm" and declares nothing:
    // it read the bytes unchanged, so they are written back unchanged.
    const bool bytes_as_read = Encoding == seAnsi && (CodePage == 0 || CodePage == 65001);
    switch (bytes_as_read ? seUTF8 : Encoding) {
    case seUTF8:
        return TXmlBufferWriter::Write(buffer, count);
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

void TXmlCharData::WriteStream(TStream& s) const { put(s, GetStoredTextForOutput()); }

void TXmlQuotedText::WriteStream(TStream& s) const {
    const char* q = FQuoteStyle == qsApos ? "'" : "\"";
    put(s, q);
    put(s, GetStoredTextForOutput());
    put(s, q);
}

void TXmlAttribute::WriteStream(TStream& s) const {
    put(s, GetName());
    put(s, "=");
    FCoreValue.WriteStream(s);
    progress(*this, s);
}

void TXmlComment::WriteStream(TStream& s) const {
    put(s, "<!--");
    put(s, GetStoredText());
    put(s, "-->");
    progress(*this, s);
}

void TXmlCData::WriteStream(TStream& s) const {
    put(s, "<![CDATA[");
    put(s, GetStoredText());
    put(s, "]]>");
    progress(*this, s);
}

void TXmlInstruction::WriteStream(TStream& s) const {
    put(s, IndentPrefix());
    put(s, "<?");
    // The text as stored: resolving its references here would change it on every save.
    put(s, GetStoredTextForOutput());
    put(s, "?>");
    put(s, FormatLineBreak());
    progress(*this, s);
}

void TXmlContainerNode::WriteAttributesTo(TStream& s, int count) const {
    const TXmlNode* previous = nullptr;
    for (int i = 0; i < count && i < FNodes.Count(); ++i) {
        const TXmlNode* n = FNodes.Items(i);
        if (n->ElementType() == xeAttribute) {
            if (!dynamic_cast<const TXmlCharData*>(previous)) put(s, " ");
            n->WriteStream(s);
        } else if (dynamic_cast<const TXmlCharData*>(n)) {
            n->WriteStream(s);
        }
        previous = n;
    }
}

void TXmlDeclaration::WriteStream(TStream& s) const {
    put(s, IndentPrefix());
    put(s, "<?xml");
    WriteAttributesTo(s, NodeCount());
    put(s, "?>");
    put(s, LineBreak());
    progress(*this, s);
}

void TXmlStyleSheet::WriteStream(TStream& s) const {
    put(s, IndentPrefix());
    put(s, "<?xml-stylesheet");
    WriteAttributesTo(s, NodeCount());
    put(s, "?>");
    put(s, FormatLineBreak());
    progress(*this, s);
}

void TXmlDocType::WriteStream(TStream& s) const {
    put(s, IndentPrefix());
    put(s, "<!DOCTYPE ");
    put(s, GetName());
    const std::string external = FExternalID.GetStoredText();
    if (external == "SYSTEM") {
        put(s, " SYSTEM ");
        FSystemLiteral.WriteStream(s);
    } else if (external == "PUBLIC") {
        put(s, " PUBLIC ");
        FPubIDLiteral.WriteStream(s);
        put(s, " ");
        FSystemLiteral.WriteStream(s);
    }
    put(s, " ");
    if (NodeCount() > 0) {
        put(s, "[");
        put(s, FormatLineBreak());
        const bool readable = !FormatLineBreak().empty();
        const TXmlNode* previous = nullptr;
        for (const TXmlNode* n : FNodes.Items()) {
            // A parameter-entity reference is text here (xeCharData). It gets its own line, as the
            // declarations do; elsewhere one space sets it off from a declaration or comment before it
            // (the reader drops a single space), as a reference right behind one trips some readers.
            const bool reference = n->ElementType() == xeCharData;
            if (reference && previous && previous->ElementType() != xeWhiteSpace &&
                !(readable && ends_line(previous)))
                put(s, " ");
            n->WriteStream(s);
            if (reference) put(s, FormatLineBreak());
            previous = n;
        }
        put(s, "]");
    }
    put(s, ">");
    put(s, FormatLineBreak());
    progress(*this, s);
}

// The parts after the name, one space between two: literals and keywords must not run together.
void TXmlDtdElement::WriteInnerNodes(TStream& s) const {
    for (int i = FDirectNodeCount; i < FNodes.Count(); ++i) {
        if (i > FDirectNodeCount) put(s, " ");
        FNodes.Items(i)->WriteStream(s);
    }
}

void TXmlDtdElement::WriteStream(TStream& s) const {
    static constexpr const char* keywords[] = {"ELEMENT", "ATTLIST", "ENTITY", "NOTATION"};
    put(s, "<!");
    put(s, keywords[ElementType() - xeDtdElement]);
    put(s, " ");
    // The parts before the name: a parameter entity's marker.
    for (int i = 0; i < FDirectNodeCount && i < FNodes.Count(); ++i) {
        FNodes.Items(i)->WriteStream(s);
        put(s, " ");
    }
    put(s, GetName());
    put(s, " ");
    WriteInnerNodes(s);
    put(s, ">");
    put(s, FormatLineBreak());
    progress(*this, s);
}

void TXmlElement::WriteStream(TStream& s) const {
    struct frame {
        const TXmlElement* element;
        int next;
        bool has_containers;
    };
    std::vector<frame> stack;
    // Writes the start tag; true when content and an end tag follow.
    auto open = [&](const TXmlElement* e) {
        put(s, e->IndentPrefix());
        put(s, "<");
        put(s, e->GetName());
        e->WriteAttributesTo(s, e->FDirectNodeCount);
        if (e->NodeCount() <= e->FDirectNodeCount && e->NodeClosingStyle() == ncClose) {
            put(s, e->Document()->DirectCloseTag);
            put(s, e->FormatLineBreak());
            progress(*e, s);
            return;
        }
        put(s, ">");
        stack.push_back({e, e->FDirectNodeCount, e->HasChildContainers()});
    };
    // Elements nest on an explicit stack, so any depth can be written.
    open(this);
    while (!stack.empty()) {
        frame& f = stack.back();
        const TXmlElement* e = f.element;
        if (f.next >= e->NodeCount()) {
            if (f.has_containers) put(s, e->IndentPrefix());
            put(s, "</");
            put(s, e->GetName());
            put(s, ">");
            put(s, e->FormatLineBreak());
            progress(*e, s);
            stack.pop_back();
            continue;
        }
        const int index = f.next++;
        const bool has_containers = f.has_containers;
        const TXmlNode* child = e->FNodes.Items(index);
        const bool is_text = dynamic_cast<const TXmlCharData*>(child) != nullptr;
        if (index == e->FDirectNodeCount && !is_text) put(s, e->FormatLineBreak());
        if (index != e->FDirectNodeCount && is_text && has_containers) put(s, child->IndentPrefix());
        if (child->ElementType() == xeElement) {
            open(static_cast<const TXmlElement*>(child));
        } else if (is_text) {
            child->WriteStream(s);
            if (has_containers) put(s, e->FormatLineBreak());
        }
    }
}

} // namespace kq
