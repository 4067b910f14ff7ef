#include "xml/XmlDocument.h"

#include "framework/Exceptions.h"
#include "framework/Streams.h"
#include "xml/XmlParser.h"
#include "xml/XmlPlatform.h"
#include "xml/XmlStreams.h"
#include "xml/XmlWriter.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>

namespace kq {

namespace {

std::string num(std::int64_t v) { return std::to_string(v); }

// Reads the caller's text where it lies: loading a string holds only the parser's chunks, never a second
// copy of the whole input.
class text_view_stream : public TStream {
public:
    explicit text_view_stream(std::string_view text) : FText(text) {}
    std::int64_t Read(void* buffer, std::int64_t count) override {
        if (count <= 0 || FPosition >= size()) return 0;
        const std::int64_t n = std::min(count, size() - FPosition);
        std::memcpy(buffer, FText.data() + FPosition, static_cast<std::size_t>(n));
        FPosition += n;
        return n;
    }
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        const std::int64_t base = origin == soFromBeginning ? 0 : origin == soFromCurrent ? FPosition : size();
        FPosition = std::clamp<std::int64_t>(base + offset, 0, size());
        return FPosition;
    }
    void SetSize(std::int64_t) override { throw EStreamError(u"Stream write error"); }
    std::int64_t Size() override { return size(); }

private:
    std::int64_t size() const { return static_cast<std::int64_t>(FText.size()); }
    std::string_view FText;
    std::int64_t FPosition = 0;
};

// Pre-order list of the nodes under the root list, built without recursion; with `containers_only`
// the list survives the deletion of text children while it is walked.
std::vector<TXmlNode*> document_order(const TXmlNodeList& roots, bool containers_only = false) {
    std::vector<TXmlNode*> out;
    std::vector<TXmlNode*> work(roots.Items().rbegin(), roots.Items().rend());
    while (!work.empty()) {
        TXmlNode* n = work.back();
        work.pop_back();
        if (!containers_only || dynamic_cast<TXmlContainerNode*>(n)) out.push_back(n);
        for (int i = n->NodeCount() - 1; i >= 0; --i) work.push_back(n->Nodes(i));
    }
    return out;
}

} // namespace

bool TXmlDocument::name_less::operator()(const std::string& a, const std::string& b) const {
    return xml_platform::compare_text_ignore_case(Utf8ToWide(a), Utf8ToWide(b)) < 0;
}

// --- Construction and content

TXmlDocument::TXmlDocument(TComponent* AOwner) : TXmlDocument(AOwner, false, false, true, {}) {}

TXmlDocument::TXmlDocument(TComponent* AOwner, bool HasDeclaration, bool HasDocType, bool HasRoot,
                           std::string_view ARootName)
    : TDebugComponent(AOwner), FSymbolTable(new TXmlSymbolTable(this)), FHasDeclaration(HasDeclaration),
      FHasDocType(HasDocType),
      FHasRoot(HasRoot), FRootName(ARootName) {
    Clear(); // the option defaults are the members' initial values
}

TXmlDocument* TXmlDocument::CreateName(std::string_view ARootName, TComponent* AOwner) {
    return new TXmlDocument(AOwner, true, false, true, ARootName);
}

// The root nodes go first; the symbol table, an owned component, goes with the base.
TXmlDocument::~TXmlDocument() { FRootNodes.Clear(); }

void TXmlDocument::Clear() {
    FSymbolTable->Clear();
    FRootNodes.Clear();
    if (FHasDeclaration) {
        auto* decl = new TXmlDeclaration(this);
        FRootNodes.Add(decl);
        decl->SetVersion("1.0");
        decl->SetEncoding("utf-8");
        decl->SetDirectNodeCount(2);
    }
    if (FHasDocType) {
        auto* doctype = new TXmlDocType(this);
        FRootNodes.Add(doctype);
        doctype->SetName(FRootName);
        doctype->ExternalID().SetStoredText("SYSTEM");
    }
    if (FHasRoot) {
        auto* root = new TXmlElement(this);
        FRootNodes.Add(root);
        root->SetName(FRootName);
    }
}

void TXmlDocument::New() {
    FHasDeclaration = true;
    Clear();
}

bool TXmlDocument::IsEmpty() const {
    const TXmlElement* root = Root();
    return !root || root->IsClear();
}

TXmlDeclaration* TXmlDocument::EnsureDeclaration() {
    if (auto* d = dynamic_cast<TXmlDeclaration*>(FRootNodes.Items(0)); d && d->ElementType() == xeDeclaration) return d;
    auto* d = new TXmlDeclaration(this);
    FRootNodes.Insert(0, d);
    return d;
}

TXmlElement* TXmlDocument::Root() const { return static_cast<TXmlElement*>(FRootNodes.ByType(xeElement)); }

int TXmlDocument::RootContainerCount() const {
    int n = 0;
    for (TXmlNode* node : FRootNodes.Items()) n += dynamic_cast<TXmlContainerNode*>(node) != nullptr;
    return n;
}

TXmlContainerNode* TXmlDocument::RootContainers(int Index) const {
    for (TXmlNode* node : FRootNodes.Items())
        if (auto* c = dynamic_cast<TXmlContainerNode*>(node); c && Index-- == 0) return c;
    return nullptr;
}

TXmlDeclaration* TXmlDocument::Declaration() const {
    return static_cast<TXmlDeclaration*>(FRootNodes.ByType(xeDeclaration));
}

TXmlDocType* TXmlDocument::DocType() const { return static_cast<TXmlDocType*>(FRootNodes.ByType(xeDocType)); }

TXmlStyleSheet* TXmlDocument::StyleSheet() {
    if (TXmlNode* s = FRootNodes.ByType(xeStylesheet)) return static_cast<TXmlStyleSheet*>(s);
    auto* s = new TXmlStyleSheet(this);
    FRootNodes.Insert(FRootNodes.Count() < 1 ? FRootNodes.Count() : 1, s);
    return s;
}

std::string TXmlDocument::CommentString() const {
    const TXmlNode* c = FRootNodes.ByType(xeComment);
    return c ? c->GetValue() : std::string();
}

void TXmlDocument::SetCommentString(std::string_view AValue) {
    TXmlNode* c = FRootNodes.ByType(xeComment);
    if (!c && !AValue.empty()) {
        c = new TXmlComment(this);
        FRootNodes.Insert(FRootNodes.Count() < 1 ? FRootNodes.Count() : 1, c);
    }
    if (c) c->SetValue(AValue);
}

std::string TXmlDocument::VersionString() const {
    const auto* d = dynamic_cast<const TXmlDeclaration*>(FRootNodes.Items(0));
    return d && d->ElementType() == xeDeclaration ? d->Version() : std::string();
}

void TXmlDocument::SetVersionString(std::string_view AValue) {
    if (AValue == VersionString()) return;
    auto* d = dynamic_cast<TXmlDeclaration*>(FRootNodes.Items(0));
    if (!d || d->ElementType() != xeDeclaration) {
        if (AValue.empty()) return;
        d = new TXmlDeclaration(this);
        FRootNodes.Insert(0, d);
    }
    d->SetVersion(AValue);
}

std::string TXmlDocument::Charset() const {
    const auto* d = dynamic_cast<const TXmlDeclaration*>(FRootNodes.Items(0));
    return d && d->ElementType() == xeDeclaration ? d->Encoding() : std::string();
}

void TXmlDocument::SetCharset(std::string_view AValue) {
    if (AValue == Charset() || AValue.empty()) return;
    EnsureDeclaration()->SetEncoding(AValue);
    FExternalCodePage = codepage_by_name(AValue, 65001);
    FExternalEncoding = encoding_by_name(AValue);
}

void TXmlDocument::SetPreserveWhiteSpace(bool AValue) {
    if (AValue && !PreserveWhiteSpace()) SetXmlFormat(xfPreserve);
}

void TXmlDocument::SetXmlFormat(TXmlFormatType AValue) {
    if (AValue == FXmlFormat) return;
    if (FXmlFormat == xfPreserve) RemoveWhitespace();
    FXmlFormat = AValue;
}

void TXmlDocument::SetExternalEncoding(TXmlStringEncoding AValue) {
    const int cp = encoding_codepage(AValue);
    if (cp == 0) {
        DoDebugOut(this, wsFail,
                   std::string("external encoding \"") + encoding_name(AValue) + "\" is not allowed (use ExternalCodepage)");
        return;
    }
    FExternalEncoding = AValue;
    FExternalCodePage = cp;
    EnsureDeclaration()->SetEncoding(encoding_name(AValue));
}

void TXmlDocument::SetExternalCodepage(int AValue) {
    if (AValue == FExternalCodePage) return;
    const std::string name = name_by_codepage(AValue);
    if (name.empty()) {
        DoDebugOut(this, wsFail, std::string("external codepage \"") + num(AValue) + "\" not found");
        return;
    }
    FExternalCodePage = AValue;
    switch (AValue) {
    case 65001: FExternalEncoding = seUTF8; break;
    case 1200: FExternalEncoding = seUTF16LE; break;
    case 1201: FExternalEncoding = seUTF16BE; break;
    case 12000: FExternalEncoding = seUTF32LE; break;
    case 12001: FExternalEncoding = seUTF32BE; break;
    default: FExternalEncoding = seAnsi; break;
    }
    EnsureDeclaration()->SetEncoding(name);
}

void TXmlDocument::AddSingleTagName(const std::string& AName) {
    if (FSingleTagNames) FSingleTagNames->insert(AName);
}

// --- Loading

void TXmlDocument::LoadFromFile(const String& AFileName) {
    TFileStream f(AFileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void TXmlDocument::ReadFromString(std::string_view AValue) {
    text_view_stream s(AValue);
    LoadFromStream(s);
}

void TXmlDocument::LoadFromStream(TStream& AStream) {
    FSymbolTable->Clear();
    FRootNodes.Clear();
    // Also after a failure of the stream: the single-tag list goes and the progress reaches the end.
    auto finish = [&] {
        FSingleTagNames.reset();
        DoProgress(AStream.Size());
    };
    try {
        TXmlParser parser(this, AStream, 256);
        ParseDocument(parser);
        FExternalEncoding = parser.Encoding();
        FExternalCodePage = parser.CodePage();
        FExternalBomInfo = parser.BomInfo();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TXmlDocument::ParseDocument(TXmlParser& P) {
    AbortParsing = false;
    FSingleTagNames.reset();
    if (FixStructuralErrors) FSingleTagNames = std::make_unique<std::set<std::string, name_less>>();
    P.ReadBOM();
    FExternalBomInfo = P.BomInfo();
    for (;;) {
        std::string text = P.ReadStringUntilChar('<');
        if (!PreserveWhiteSpace()) {
            bool trimmed = false;
            text = trim_text(text, trimmed);
        }
        if (!text.empty()) {
            auto* t = new TXmlCharData(this);
            t->SetStoredText(text);
            FRootNodes.Add(t);
            DoNodeNew(t);
            DoNodeLoaded(t);
        }
        if (P.EndOfStream()) break;
        P.MoveBack();
        TXmlElementType kind = xeError;
        if (P.NextChar() == '<') kind = P.ReadOpenTag();
        if (kind == xeError) {
            DoDebugOut(this, wsWarn, std::string("illegal tag (\"<\") at pos ") + num(P.Position()));
            break;
        }
        if (!has_node_class(kind)) {
            DoDebugOut(this, wsWarn, std::string("unsupported tag (\"") + element_type_name(kind) + "\") at pos " +
                                         num(P.Position()));
            break;
        }
        TXmlNode* node = create_node(kind, this);
        FRootNodes.Add(node);
        if (kind != xeElement) DoNodeNew(node);
        node->ParseStream(P);
        DoNodeLoaded(node);
        if (kind == xeDeclaration) {
            const std::string name = static_cast<TXmlDeclaration*>(node)->Encoding();
            const int cp = codepage_by_name(name, 65001);
            const TXmlStringEncoding enc = encoding_by_name(name);
            // Only a byte-wise text can change its encoding here: UTF-16 input stays UTF-16 whatever
            // the declaration says, and a byte-wise text cannot turn into UTF-16 half-way. Only the
            // declaration that opens the text switches: a later one would convert again text that was
            // already read in the old encoding, and the read position would no longer match.
            const bool bytewise = P.Encoding() == seAnsi || P.Encoding() == seUTF8;
            if (bytewise && (enc == seAnsi || enc == seUTF8) && FRootNodes.Count() == 1) P.SetEncoding(enc, cp);
            DoDebugOut(this, wsInfo,
                       std::string("declaration with encoding \"") + name + "\" and codepage " + num(P.CodePage()));
        }
        if (kind == xeComment && DropCommentsOnParse) {
            DoDebugOut(this, wsInfo, "option DropCommentsOnParse is true, deleting comment");
            FRootNodes.Delete(FRootNodes.Count() - 1);
        }
        if (AbortParsing || P.EndOfStream()) break;
    }
    if (FSingleTagNames) RepairSingleTags();
}

void TXmlDocument::RepairSingleTags() {
    // Each container's child list is rebuilt in one pass: the content of a listed element is spliced in
    // behind it (and that content's own listed elements behind them), so a long run of unclosed tags
    // costs linear time.
    for (TXmlNode* n : document_order(FRootNodes, true)) {
        auto* parent = static_cast<TXmlContainerNode*>(n);
        std::vector<TXmlNode*>& items = parent->FNodes.Items();
        bool any = false;
        for (TXmlNode* child : items) any |= is_single_tag(child);
        if (!any) continue;
        std::vector<TXmlNode*> rebuilt;
        rebuilt.reserve(items.size());
        struct run {
            std::vector<TXmlNode*> nodes;
            std::size_t next;
        };
        std::vector<run> pending;
        pending.push_back({std::move(items), 0});
        while (!pending.empty()) {
            if (pending.back().next == pending.back().nodes.size()) {
                pending.pop_back();
                continue;
            }
            TXmlNode* child = pending.back().nodes[pending.back().next++];
            rebuilt.push_back(child);
            child->FParent = parent;
            if (!is_single_tag(child)) continue;
            auto* single = static_cast<TXmlContainerNode*>(child);
            std::vector<TXmlNode*>& own = single->FNodes.Items();
            if (static_cast<int>(own.size()) <= single->FDirectNodeCount) continue;
            std::vector<TXmlNode*> content(own.begin() + single->FDirectNodeCount, own.end());
            own.resize(static_cast<std::size_t>(single->FDirectNodeCount));
            single->FValueNode = nullptr; // the value child is content, so it moved too
            DoDebugOut(this, wsInfo, "correctly closed node \"" + child->GetName() + "\" at pos " + num(child->SourcePos()));
            pending.push_back({std::move(content), 0});
        }
        items = std::move(rebuilt);
    }
    FSingleTagNames.reset();
}

bool TXmlDocument::is_single_tag(const TXmlNode* ANode) const {
    return dynamic_cast<const TXmlContainerNode*>(ANode) && FSingleTagNames->count(ANode->GetName());
}

std::int64_t TXmlDocument::LoadFromURL(const std::string& URL) {
    std::string data;
    switch (xml_platform::load_url(URL, data)) {
    case xml_platform::url_result::no_session:
        DoDebugOut(this, wsFail, "Unable to initialize WinInet");
        return 0;
    case xml_platform::url_result::cannot_open:
        DoDebugOut(this, wsFail, std::string("Cannot open URL ") + URL);
        return 0;
    default:
        break;
    }
    text_view_stream s(data);
    LoadFromStream(s);
    return static_cast<std::int64_t>(data.size());
}

// --- Saving

void TXmlDocument::WriteContent(TStream& S) {
    DoProgress(0);
    for (int i = 0; i < FRootNodes.Count(); ++i) {
        TXmlNode* n = FRootNodes.Items(i);
        if (i == 0 && n->ElementType() == xeDeclaration)
            DoDebugOut(this, wsInfo, std::string("writing declaration with encoding \"") + static_cast<TXmlDeclaration*>(n)->Encoding() +
                                         "\" and codepage " + num(FExternalCodePage));
        n->WriteStream(S);
    }
    DoProgress(S.Position());
}

bool TXmlDocument::SaveToStream(TStream& Stream) {
    TXmlBomInfo bom{};
    bom.Encoding = FExternalEncoding;
    switch (FExternalEncoding) {
    case seAnsi:
    case seUTF8:
        break;
    case seUTF16BE:
        bom.BOM[0] = 0xFE, bom.BOM[1] = 0xFF, bom.Len = 2, bom.HasBOM = 1;
        break;
    case seUTF16LE:
        bom.BOM[0] = 0xFF, bom.BOM[1] = 0xFE, bom.Len = 2, bom.HasBOM = 1;
        break;
    default:
        DoDebugOut(this, wsFail, std::string("unsupported encoding (") + encoding_name(FExternalEncoding) + ")");
        return false;
    }
    FExternalBomInfo = bom;
    TXmlWriter writer(this, Stream, 256);
    if (bom.Len > 0) Stream.WriteBuffer(bom.BOM, bom.Len);
    writer.Encoding = FExternalEncoding;
    writer.CodePage = FExternalCodePage;
    WriteContent(writer);
    writer.Flush();
    return true;
}

void TXmlDocument::SaveToFile(const String& AFileName) {
    // The whole text is made first: a save that cannot be written leaves the old file as it was.
    TXmlFastMemStream text(65536);
    if (!SaveToStream(text)) return;
    text.SaveToFile(AFileName);
}

String TXmlDocument::WriteToString() {
    TXmlStringStream s;
    SaveToStream(s);
    return Utf8ToWide(s.DataString());
}

std::string TXmlDocument::WriteToLocalString() {
    TXmlStringStream s;
    WriteContent(s);
    return s.DataString();
}

String TXmlDocument::WriteToLocalUnicodeString() { return Utf8ToWide(WriteToLocalString()); }

// --- Traversal and helpers

void TXmlDocument::ForEach(TObject* Sender, const TXmlNodeEvent& AEvent) {
    if (!AEvent || !Sender) return;
    for (TXmlNode* n : document_order(FRootNodes)) AEvent(Sender, n);
}

void TXmlDocument::RemoveWhitespace() {
    // Each child list is filtered in one pass, so a long list full of white space costs linear time.
    for (TXmlNode* n : document_order(FRootNodes, true)) {
        auto* c = static_cast<TXmlContainerNode*>(n);
        std::vector<TXmlNode*>& items = c->FNodes.Items();
        std::size_t kept = 0;
        int direct = c->FDirectNodeCount;
        for (std::size_t i = 0; i < items.size(); ++i) {
            TXmlNode* child = items[i];
            bool drop = child->ElementType() == xeWhiteSpace;
            if (!drop && typeid(*child) == typeid(TXmlCharData)) {
                auto* t = static_cast<TXmlCharData*>(child);
                bool trimmed = false;
                const std::string text = trim_text(t->GetStoredText(), trimmed);
                if (trimmed && text.empty()) {
                    drop = true;
                } else if (trimmed) {
                    t->SetStoredText(text);
                }
            }
            if (!drop) {
                items[kept++] = child;
                continue;
            }
            if (static_cast<int>(i) < c->FDirectNodeCount) --direct;
            if (child == c->FValueNode) c->FValueNode = nullptr;
            free_node(child);
        }
        items.resize(kept);
        c->FDirectNodeCount = direct;
    }
    std::vector<TXmlNode*>& roots = FRootNodes.Items();
    std::size_t kept = 0;
    for (TXmlNode* root : roots) {
        if (dynamic_cast<TXmlCharData*>(root)) {
            free_node(root);
        } else {
            roots[kept++] = root;
        }
    }
    roots.resize(kept);
}

std::string TXmlDocument::EncodeBase64(std::string_view Source, std::string_view ControlChars) {
    return insert_line_breaks(encode_base64(Source), ControlChars);
}

std::string TXmlDocument::DecodeBase64(std::string_view Source, const TXmlDebugEvent& OnDebug) {
    const std::string cleaned = strip_base64_blanks(Source);
    if (cleaned.size() % 4 != 0) {
        if (OnDebug) OnDebug(nullptr, wsFail, "error while calculating streamlength");
        return {};
    }
    return decode_base64(cleaned, base64_length(cleaned));
}

// --- Factories

TXmlNode* TXmlDocument::NodeNewTextTypeAttr(std::string_view AName, std::string_view AValue,
                                            TXmlElementType AElementType, const std::vector<TXmlAttribute*>& Attributes,
                                            const std::vector<TXmlNode*>& SubNodes) {
    std::unique_ptr<TXmlNode> node(create_node(AElementType, this));
    if (!node) return nullptr;
    node->SetName(AName);
    node->SetValue(AValue);
    node->AttributesAdd(Attributes);
    node->NodesAdd(SubNodes);
    return node.release();
}

TXmlNode* TXmlDocument::NodeNew(std::string_view AName, const std::vector<TXmlNode*>& SubNodes) {
    return NodeNewTextTypeAttr(AName, {}, xeElement, {}, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewType(std::string_view AName, TXmlElementType AElementType,
                                    const std::vector<TXmlNode*>& SubNodes) {
    return NodeNewTextTypeAttr(AName, {}, AElementType, {}, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewAttr(std::string_view AName, const std::vector<TXmlAttribute*>& Attributes,
                                    const std::vector<TXmlNode*>& SubNodes) {
    return NodeNewTextTypeAttr(AName, {}, xeElement, Attributes, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewText(std::string_view AName, std::string_view AValue,
                                    const std::vector<TXmlNode*>& SubNodes) {
    return NodeNewTextTypeAttr(AName, AValue, xeElement, {}, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewTextType(std::string_view AName, std::string_view AValue, TXmlElementType AElementType,
                                        const std::vector<TXmlNode*>& SubNodes) {
    return NodeNewTextTypeAttr(AName, AValue, AElementType, {}, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewTextAttr(std::string_view AName, std::string_view AValue,
                                        const std::vector<TXmlAttribute*>& Attributes,
                                        const std::vector<TXmlNode*>& SubNodes) {
    return NodeNewTextTypeAttr(AName, AValue, xeElement, Attributes, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewInt(std::string_view AName, std::int32_t AValue, const std::vector<TXmlNode*>& SubNodes) {
    return NodeNewTextTypeAttr(AName, int_to_text(AValue), xeElement, {}, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewIntType(std::string_view AName, std::int32_t AValue, TXmlElementType AElementType,
                                       const std::vector<TXmlNode*>& SubNodes) {
    return NodeNewTextTypeAttr(AName, int_to_text(AValue), AElementType, {}, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewIntAttr(std::string_view AName, std::int32_t AValue,
                                       const std::vector<TXmlAttribute*>& Attributes,
                                       const std::vector<TXmlNode*>& SubNodes) {
    return NodeNewTextTypeAttr(AName, int_to_text(AValue), xeElement, Attributes, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewIntTypeAttr(std::string_view AName, std::int32_t AValue, TXmlElementType AElementType,
                                           const std::vector<TXmlAttribute*>& Attributes,
                                           const std::vector<TXmlNode*>& SubNodes) {
    return NodeNewTextTypeAttr(AName, int_to_text(AValue), AElementType, Attributes, SubNodes);
}

TXmlNode* TXmlDocument::NodeNewEx(std::string_view AName, TXmlNode*& AXmlNode, const std::vector<TXmlNode*>& SubNodes) {
    return AXmlNode = NodeNew(AName, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewTypeEx(std::string_view AName, TXmlElementType AElementType, TXmlNode*& AXmlNode,
                                      const std::vector<TXmlNode*>& SubNodes) {
    return AXmlNode = NodeNewType(AName, AElementType, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewAttrEx(std::string_view AName, const std::vector<TXmlAttribute*>& Attributes,
                                      TXmlNode*& AXmlNode, const std::vector<TXmlNode*>& SubNodes) {
    return AXmlNode = NodeNewAttr(AName, Attributes, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewTextEx(std::string_view AName, std::string_view AValue, TXmlNode*& AXmlNode,
                                      const std::vector<TXmlNode*>& SubNodes) {
    return AXmlNode = NodeNewText(AName, AValue, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewTextTypeEx(std::string_view AName, std::string_view AValue,
                                          TXmlElementType AElementType, TXmlNode*& AXmlNode,
                                          const std::vector<TXmlNode*>& SubNodes) {
    return AXmlNode = NodeNewTextType(AName, AValue, AElementType, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewTextAttrEx(std::string_view AName, std::string_view AValue,
                                          const std::vector<TXmlAttribute*>& Attributes, TXmlNode*& AXmlNode,
                                          const std::vector<TXmlNode*>& SubNodes) {
    return AXmlNode = NodeNewTextAttr(AName, AValue, Attributes, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewTextTypeAttrEx(std::string_view AName, std::string_view AValue,
                                              TXmlElementType AElementType,
                                              const std::vector<TXmlAttribute*>& Attributes, TXmlNode*& AXmlNode,
                                              const std::vector<TXmlNode*>& SubNodes) {
    return AXmlNode = NodeNewTextTypeAttr(AName, AValue, AElementType, Attributes, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewIntEx(std::string_view AName, std::int32_t AValue, TXmlNode*& AXmlNode,
                                     const std::vector<TXmlNode*>& SubNodes) {
    return AXmlNode = NodeNewInt(AName, AValue, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewIntTypeEx(std::string_view AName, std::int32_t AValue, TXmlElementType AElementType,
                                         TXmlNode*& AXmlNode, const std::vector<TXmlNode*>& SubNodes) {
    return AXmlNode = NodeNewIntType(AName, AValue, AElementType, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewIntAttrEx(std::string_view AName, std::int32_t AValue,
                                         const std::vector<TXmlAttribute*>& Attributes, TXmlNode*& AXmlNode,
                                         const std::vector<TXmlNode*>& SubNodes) {
    return AXmlNode = NodeNewIntAttr(AName, AValue, Attributes, SubNodes);
}
TXmlNode* TXmlDocument::NodeNewIntTypeAttrEx(std::string_view AName, std::int32_t AValue,
                                             TXmlElementType AElementType,
                                             const std::vector<TXmlAttribute*>& Attributes, TXmlNode*& AXmlNode,
                                             const std::vector<TXmlNode*>& SubNodes) {
    return AXmlNode = NodeNewIntTypeAttr(AName, AValue, AElementType, Attributes, SubNodes);
}

TXmlAttribute* TXmlDocument::AttrText(std::string_view AName, std::string_view AValue) {
    auto* a = new TXmlAttribute(this);
    a->SetName(AName);
    a->SetValue(AValue);
    return a;
}
TXmlAttribute* TXmlDocument::AttrInt(std::string_view AName, std::int32_t AValue) { return AttrText(AName, int_to_text(AValue)); }
TXmlAttribute* TXmlDocument::AttrInt64(std::string_view AName, std::int64_t AValue) {
    return AttrText(AName, int_to_text(AValue));
}
TXmlAttribute* TXmlDocument::AttrHex(std::string_view AName, std::uint32_t AValue, int ADigits) {
    return AttrText(AName, hex_to_text(AValue, ADigits));
}
TXmlAttribute* TXmlDocument::AttrHex(std::string_view AName, std::uint64_t AValue, int ADigits) {
    return AttrText(AName, hex_to_text(AValue, ADigits));
}
TXmlAttribute* TXmlDocument::AttrFloat(std::string_view AName, double AValue) {
    return AttrText(AName, float_to_text(AValue, 6, true));
}
TXmlAttribute* TXmlDocument::AttrFloat(std::string_view AName, double AValue, int ASignificantDigits,
                                       bool AAllowScientific) {
    return AttrText(AName, float_to_text(AValue, ASignificantDigits, AAllowScientific));
}
TXmlAttribute* TXmlDocument::AttrDateTime(std::string_view AName, double AValue) {
    return AttrText(AName, datetime_to_text(AValue, {true, true, SplitSecondDigits, false}));
}
TXmlAttribute* TXmlDocument::AttrBool(std::string_view AName, bool AValue) { return AttrText(AName, bool_to_text(AValue)); }

} // namespace kq
