#include "xml/XmlDocument.h"

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Streams.h"
#include "xml/XmlParser.h"
#include "xml/XmlPlatform.h"
#include "xml/XmlStreams.h"
#include "xml/XmlWriter.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <typeinfo>

namespace kq {

namespace {

std::string num(std::int64_t v) { return std::to_string(v); }

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

// The kind of the tag the parser stands on, or xeError once the reason no node can be made of it is reported.
TXmlElementType read_node_kind(TXmlDocument& document, TXmlParser& p) {
    TXmlElementType kind = xeError;
    if (p.NextChar() == '<') kind = p.ReadOpenTag();
    if (kind == xeError) {
        document.DoDebugOut(&document, wsWarn, std::string("illegal tag (\"<\") at pos ") + num(p.Position()));
        return xeError;
    }
    if (!has_node_class(kind)) {
        document.DoDebugOut(&document, wsWarn,
                            std::string("unsupported tag (\"") + element_type_name(kind) + "\") at pos " +
                                num(p.Position()));
        return xeError;
    }
    return kind;
}

} // namespace

bool TXmlDocument::name_less::operator()(const std::string& a, const std::string& b) const {
    return xml_platform::compare_text_ignore_case(Utf8ToWide(a), Utf8ToWide(b)) < 0;
}

// --- Construction and content

TXmlDocument::TXmlDocument(TComponent* owner) : TXmlDocument(owner, false, false, true, {}) {}

TXmlDocument::TXmlDocument(TComponent* owner, bool has_declaration, bool has_doc_type, bool has_root,
                           std::string_view root_name)
    : TDebugComponent(owner), FSymbolTable(new TXmlSymbolTable(this)), FHasDeclaration(has_declaration),
      FHasDocType(has_doc_type),
      FHasRoot(has_root), FRootName(root_name) {
    Clear(); // the option defaults are the members' initial values
}

TXmlDocument* TXmlDocument::CreateName(std::string_view root_name, TComponent* owner) {
    return new TXmlDocument(owner, true, false, true, root_name);
}

// The root nodes go first; the symbol table, an owned component, goes with the base.
TXmlDocument::~TXmlDocument() { FRootNodes.Clear(); }

void TXmlDocument::Clear() {
    FSymbolTable->Clear();
    FRootNodes.Clear();
    if (FHasDeclaration) {
        auto* decl = add_owned(FRootNodes, std::make_unique<TXmlDeclaration>(this));
        decl->SetVersion("1.0");
        decl->SetEncoding("utf-8");
        decl->SetDirectNodeCount(2);
    }
    if (FHasDocType) {
        auto* doctype = add_owned(FRootNodes, std::make_unique<TXmlDocType>(this));
        doctype->SetName(FRootName);
        doctype->ExternalID().SetStoredText("SYSTEM");
    }
    if (FHasRoot) {
        auto* root = add_owned(FRootNodes, std::make_unique<TXmlElement>(this));
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
    return insert_owned(FRootNodes, 0, std::make_unique<TXmlDeclaration>(this));
}

TXmlElement* TXmlDocument::Root() const { return static_cast<TXmlElement*>(FRootNodes.ByType(xeElement)); }

int TXmlDocument::RootContainerCount() const {
    int n = 0;
    for (TXmlNode* node : FRootNodes.Items()) n += dynamic_cast<TXmlContainerNode*>(node) != nullptr;
    return n;
}

TXmlContainerNode* TXmlDocument::RootContainers(int index) const {
    for (TXmlNode* node : FRootNodes.Items())
        if (auto* c = dynamic_cast<TXmlContainerNode*>(node); c && index-- == 0) return c;
    return nullptr;
}

TXmlDeclaration* TXmlDocument::Declaration() const {
    return static_cast<TXmlDeclaration*>(FRootNodes.ByType(xeDeclaration));
}

TXmlDocType* TXmlDocument::DocType() const { return static_cast<TXmlDocType*>(FRootNodes.ByType(xeDocType)); }

TXmlStyleSheet* TXmlDocument::StyleSheet() {
    if (TXmlNode* s = FRootNodes.ByType(xeStylesheet)) return static_cast<TXmlStyleSheet*>(s);
    return insert_owned(FRootNodes, FRootNodes.Count() < 1 ? FRootNodes.Count() : 1,
                        std::make_unique<TXmlStyleSheet>(this));
}

std::string TXmlDocument::CommentString() const {
    const TXmlNode* c = FRootNodes.ByType(xeComment);
    return c ? c->GetValue() : std::string();
}

void TXmlDocument::SetCommentString(std::string_view value) {
    TXmlNode* c = FRootNodes.ByType(xeComment);
    if (!c && !value.empty()) {
        c = insert_owned(FRootNodes, FRootNodes.Count() < 1 ? FRootNodes.Count() : 1,
                         std::make_unique<TXmlComment>(this));
    }
    if (c) c->SetValue(value);
}

std::string TXmlDocument::VersionString() const {
    const auto* d = dynamic_cast<const TXmlDeclaration*>(FRootNodes.Items(0));
    return d && d->ElementType() == xeDeclaration ? d->Version() : std::string();
}

void TXmlDocument::SetVersionString(std::string_view value) {
    if (value == VersionString()) return;
    auto* d = dynamic_cast<TXmlDeclaration*>(FRootNodes.Items(0));
    if (!d || d->ElementType() != xeDeclaration) {
        if (value.empty()) return;
        d = insert_owned(FRootNodes, 0, std::make_unique<TXmlDeclaration>(this));
    }
    d->SetVersion(value);
}

std::string TXmlDocument::Charset() const {
    const auto* d = dynamic_cast<const TXmlDeclaration*>(FRootNodes.Items(0));
    return d && d->ElementType() == xeDeclaration ? d->Encoding() : std::string();
}

void TXmlDocument::SetCharset(std::string_view value) {
    if (value == Charset() || value.empty()) return;
    EnsureDeclaration()->SetEncoding(value);
    FExternalCodePage = codepage_by_name(value, 65001);
    FExternalEncoding = encoding_by_name(value);
}

void TXmlDocument::SetPreserveWhiteSpace(bool value) {
    if (value && !PreserveWhiteSpace()) SetXmlFormat(xfPreserve);
}

void TXmlDocument::SetXmlFormat(TXmlFormatType value) {
    if (value == FXmlFormat) return;
    if (FXmlFormat == xfPreserve) RemoveWhitespace();
    FXmlFormat = value;
}

void TXmlDocument::SetExternalEncoding(TXmlStringEncoding value) {
    const int cp = encoding_codepage(value);
    if (cp == 0) {
        DoDebugOut(this, wsFail,
                   std::string("external encoding \"") + encoding_name(value) + "\" is not allowed (use ExternalCodepage)");
        return;
    }
    FExternalEncoding = value;
    FExternalCodePage = cp;
    EnsureDeclaration()->SetEncoding(encoding_name(value));
}

void TXmlDocument::SetExternalCodepage(int value) {
    if (value == FExternalCodePage) return;
    const std::string name = name_by_codepage(value);
    if (name.empty()) {
        DoDebugOut(this, wsFail, std::string("external codepage \"") + num(value) + "\" not found");
        return;
    }
    FExternalCodePage = value;
    switch (value) {
    case 65001: FExternalEncoding = seUTF8; break;
    case 1200: FExternalEncoding = seUTF16LE; break;
    case 1201: FExternalEncoding = seUTF16BE; break;
    case 12000: FExternalEncoding = seUTF32LE; break;
    case 12001: FExternalEncoding = seUTF32BE; break;
    default: FExternalEncoding = seAnsi; break;
    }
    EnsureDeclaration()->SetEncoding(name);
}

void TXmlDocument::AddSingleTagName(const std::string& name) {
    if (FSingleTagNames) FSingleTagNames->insert(name);
}

// --- Loading

void TXmlDocument::LoadFromFile(const String& file_name) {
    TFileStream f(file_name, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void TXmlDocument::ReadFromString(std::string_view value) {
    memory_view_stream s(value);
    LoadFromStream(s);
}

void TXmlDocument::LoadFromStream(TStream& stream) {
    FSymbolTable->Clear();
    FRootNodes.Clear();
    // Also after a failure of the stream: the single-tag list goes and the progress reaches the end.
    auto finish = [&] {
        FSingleTagNames.reset();
        DoProgress(stream.Size());
    };
    // Not a scope_exit: finishing raises OnProgress, which may throw, and a destructor must not.
    try {
        TXmlParser parser(this, stream, 256);
        if (parser.IsBinaryXml()) {
            stream.SetPosition(0);
            TXmlFastMemStream copy(4096);
            copy.LoadFromStream(stream);
            copy.SetPosition(0);
            LoadFromBinaryStream(copy);
            finish();
            return;
        }
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

void TXmlDocument::LoadFromBinaryStream(TStream& stream) {
    TXmlBinaryXml binary(this);
    PrepareBinary(binary);
    binary.LoadFromStream(stream);
    if (const TXmlDeclaration* d = Declaration()) {
        const std::string name = d->Encoding();
        FExternalEncoding = encoding_by_name(name);
        FExternalCodePage = codepage_by_name(name, 65001);
    }
}

void TXmlDocument::LoadFromBinaryFile(const String& file_name) {
    TXmlFastMemStream m(4096);
    m.LoadFromFile(file_name);
    m.SetPosition(0);
    LoadFromBinaryStream(m);
}

void TXmlDocument::SaveToBinaryStream(TStream& stream) {
    TXmlBinaryXml binary(this);
    PrepareBinary(binary);
    binary.SaveToStream(stream);
}

void TXmlDocument::SaveToBinaryFile(const String& file_name) {
    TXmlFastMemStream m(65536);
    SaveToBinaryStream(m);
    m.SaveToFile(file_name);
}

void TXmlDocument::PrepareBinary(TXmlBinaryXml& binary) {
    binary.Document = this;
    if (FBinaryMethod != bmDefault) DoDebugOut(this, wsWarn, "binary method not available (check compiler defines)");
    binary.OnEncode = nullptr;
    binary.OnDecode = nullptr;
}

void TXmlDocument::ParseDocument(TXmlParser& p) {
    AbortParsing = false;
    FSingleTagNames.reset();
    if (FixStructuralErrors) FSingleTagNames = std::make_unique<std::set<std::string, name_less>>();
    p.ReadBOM();
    FExternalBomInfo = p.BomInfo();
    for (;;) {
        std::string text = p.ReadStringUntilChar('<');
        if (!PreserveWhiteSpace()) {
            bool trimmed = false;
            text = trim_text(text, trimmed);
        }
        if (!text.empty()) {
            auto* t = add_owned(FRootNodes, std::make_unique<TXmlCharData>(this));
            t->SetStoredText(text);
            DoNodeNew(t);
            DoNodeLoaded(t);
        }
        if (p.EndOfStream()) break;
        p.MoveBack();
        const TXmlElementType kind = read_node_kind(*this, p);
        if (kind == xeError) break;
        TXmlNode* node = add_owned(FRootNodes, create_node(kind, this));
        if (kind != xeElement) DoNodeNew(node);
        node->ParseStream(p);
        DoNodeLoaded(node);
        if (kind == xeDeclaration) {
            const std::string name = static_cast<TXmlDeclaration*>(node)->Encoding();
            const int cp = codepage_by_name(name, 65001);
            const TXmlStringEncoding enc = encoding_by_name(name);
            // Only a byte-wise text can change its encoding here: UTF-16 input stays UTF-16 whatever
            // the declaration says, and a byte-wise text cannot turn into UTF-16 half-way. Only the
            // declaration that opens the text switches: a later one would convert again text that was
            // already read in the old encoding, and the read position would no longer match.
            const bool bytewise = p.Encoding() == seAnsi || p.Encoding() == seUTF8;
            if (bytewise && (enc == seAnsi || enc == seUTF8) && FRootNodes.Count() == 1) p.SetEncoding(enc, cp);
            DoDebugOut(this, wsInfo,
                       std::string("declaration with encoding \"") + name + "\" and codepage " + num(p.CodePage()));
        }
        if (kind == xeComment && DropCommentsOnParse) {
            DoDebugOut(this, wsInfo, "option DropCommentsOnParse is true, deleting comment");
            FRootNodes.Delete(FRootNodes.Count() - 1);
        }
        if (AbortParsing || p.EndOfStream()) break;
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

bool TXmlDocument::is_single_tag(const TXmlNode* node) const {
    return dynamic_cast<const TXmlContainerNode*>(node) && FSingleTagNames->count(node->GetName());
}

std::int64_t TXmlDocument::LoadFromURL(const std::string& url) {
    std::string data;
    switch (xml_platform::load_url(url, data)) {
    case xml_platform::url_result::no_session:
        DoDebugOut(this, wsFail, "Unable to initialize WinInet");
        return 0;
    case xml_platform::url_result::cannot_open:
        DoDebugOut(this, wsFail, std::string("Cannot open URL ") + url);
        return 0;
    default:
        break;
    }
    memory_view_stream s(data);
    LoadFromStream(s);
    return static_cast<std::int64_t>(data.size());
}

// --- Saving

void TXmlDocument::WriteContent(TStream& s) {
    DoProgress(0);
    for (int i = 0; i < FRootNodes.Count(); ++i) {
        TXmlNode* n = FRootNodes.Items(i);
        if (i == 0 && n->ElementType() == xeDeclaration)
            DoDebugOut(this, wsInfo, std::string("writing declaration with encoding \"") + static_cast<TXmlDeclaration*>(n)->Encoding() +
                                         "\" and codepage " + num(FExternalCodePage));
        n->WriteStream(s);
    }
    DoProgress(s.Position());
}

bool TXmlDocument::SaveToStream(TStream& stream) {
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
    TXmlWriter writer(this, stream, 256);
    if (bom.Len > 0) stream.WriteBuffer(bom.BOM, bom.Len);
    writer.Encoding = FExternalEncoding;
    writer.CodePage = FExternalCodePage;
    WriteContent(writer);
    writer.Flush();
    return true;
}

void TXmlDocument::SaveToFile(const String& file_name) {
    // Streamed into a file beside the target, which replaces the target only once complete: the text
    // is never held whole in memory, and a save that fails or writes nothing leaves the old file as it was.
    const String temporary = file_name + String(xml_platform::replacing_file_suffix);
    bool keep = false;
    auto remove_temporary = scope_exit([&] {
        if (!keep) xml_platform::remove_file(temporary);
    });
    {
        std::unique_ptr<TFileStream> file;
        try {
            file = std::make_unique<TFileStream>(temporary, fmCreate);
        } catch (const EFCreateError&) {
            RaiseFileCreateError(file_name, last_os_error()); // the target's name, not the temporary's
        }
        if (!SaveToStream(*file)) return;
    }
    if (!xml_platform::replace_file(temporary, file_name)) RaiseFileCreateError(file_name, last_os_error());
    keep = true;
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

void TXmlDocument::ForEach(TObject* sender, const TXmlNodeEvent& event) {
    if (!event || !sender) return;
    for (TXmlNode* n : document_order(FRootNodes)) event(sender, n);
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

std::string TXmlDocument::EncodeBase64(std::string_view source, std::string_view control_chars) {
    return insert_line_breaks(encode_base64(source), control_chars);
}

std::string TXmlDocument::DecodeBase64(std::string_view source, const TXmlDebugEvent& on_debug) {
    const std::string cleaned = strip_base64_blanks(source);
    if (cleaned.size() % 4 != 0) {
        if (on_debug) on_debug(nullptr, wsFail, "error while calculating streamlength");
        return {};
    }
    return decode_base64(cleaned, base64_length(cleaned));
}

// --- Factories

TXmlNode* TXmlDocument::NodeNewTextTypeAttr(std::string_view name, std::string_view value,
                                            TXmlElementType element_type, const std::vector<TXmlAttribute*>& attributes,
                                            const std::vector<TXmlNode*>& sub_nodes) {
    std::unique_ptr<TXmlNode> node = create_node(element_type, this);
    if (!node) return nullptr;
    node->SetName(name);
    node->SetValue(value);
    node->AttributesAdd(attributes);
    node->NodesAdd(sub_nodes);
    return node.release();
}

TXmlNode* TXmlDocument::NodeNew(std::string_view name, const std::vector<TXmlNode*>& sub_nodes) {
    return NodeNewTextTypeAttr(name, {}, xeElement, {}, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewType(std::string_view name, TXmlElementType element_type,
                                    const std::vector<TXmlNode*>& sub_nodes) {
    return NodeNewTextTypeAttr(name, {}, element_type, {}, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewAttr(std::string_view name, const std::vector<TXmlAttribute*>& attributes,
                                    const std::vector<TXmlNode*>& sub_nodes) {
    return NodeNewTextTypeAttr(name, {}, xeElement, attributes, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewText(std::string_view name, std::string_view value,
                                    const std::vector<TXmlNode*>& sub_nodes) {
    return NodeNewTextTypeAttr(name, value, xeElement, {}, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewTextType(std::string_view name, std::string_view value, TXmlElementType element_type,
                                        const std::vector<TXmlNode*>& sub_nodes) {
    return NodeNewTextTypeAttr(name, value, element_type, {}, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewTextAttr(std::string_view name, std::string_view value,
                                        const std::vector<TXmlAttribute*>& attributes,
                                        const std::vector<TXmlNode*>& sub_nodes) {
    return NodeNewTextTypeAttr(name, value, xeElement, attributes, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewInt(std::string_view name, std::int32_t value, const std::vector<TXmlNode*>& sub_nodes) {
    return NodeNewTextTypeAttr(name, int_to_text(value), xeElement, {}, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewIntType(std::string_view name, std::int32_t value, TXmlElementType element_type,
                                       const std::vector<TXmlNode*>& sub_nodes) {
    return NodeNewTextTypeAttr(name, int_to_text(value), element_type, {}, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewIntAttr(std::string_view name, std::int32_t value,
                                       const std::vector<TXmlAttribute*>& attributes,
                                       const std::vector<TXmlNode*>& sub_nodes) {
    return NodeNewTextTypeAttr(name, int_to_text(value), xeElement, attributes, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewIntTypeAttr(std::string_view name, std::int32_t value, TXmlElementType element_type,
                                           const std::vector<TXmlAttribute*>& attributes,
                                           const std::vector<TXmlNode*>& sub_nodes) {
    return NodeNewTextTypeAttr(name, int_to_text(value), element_type, attributes, sub_nodes);
}

TXmlNode* TXmlDocument::NodeNewEx(std::string_view name, TXmlNode*& xml_node, const std::vector<TXmlNode*>& sub_nodes) {
    return xml_node = NodeNew(name, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewTypeEx(std::string_view name, TXmlElementType element_type, TXmlNode*& xml_node,
                                      const std::vector<TXmlNode*>& sub_nodes) {
    return xml_node = NodeNewType(name, element_type, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewAttrEx(std::string_view name, const std::vector<TXmlAttribute*>& attributes,
                                      TXmlNode*& xml_node, const std::vector<TXmlNode*>& sub_nodes) {
    return xml_node = NodeNewAttr(name, attributes, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewTextEx(std::string_view name, std::string_view value, TXmlNode*& xml_node,
                                      const std::vector<TXmlNode*>& sub_nodes) {
    return xml_node = NodeNewText(name, value, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewTextTypeEx(std::string_view name, std::string_view value,
                                          TXmlElementType element_type, TXmlNode*& xml_node,
                                          const std::vector<TXmlNode*>& sub_nodes) {
    return xml_node = NodeNewTextType(name, value, element_type, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewTextAttrEx(std::string_view name, std::string_view value,
                                          const std::vector<TXmlAttribute*>& attributes, TXmlNode*& xml_node,
                                          const std::vector<TXmlNode*>& sub_nodes) {
    return xml_node = NodeNewTextAttr(name, value, attributes, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewTextTypeAttrEx(std::string_view name, std::string_view value,
                                              TXmlElementType element_type,
                                              const std::vector<TXmlAttribute*>& attributes, TXmlNode*& xml_node,
                                              const std::vector<TXmlNode*>& sub_nodes) {
    return xml_node = NodeNewTextTypeAttr(name, value, element_type, attributes, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewIntEx(std::string_view name, std::int32_t value, TXmlNode*& xml_node,
                                     const std::vector<TXmlNode*>& sub_nodes) {
    return xml_node = NodeNewInt(name, value, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewIntTypeEx(std::string_view name, std::int32_t value, TXmlElementType element_type,
                                         TXmlNode*& xml_node, const std::vector<TXmlNode*>& sub_nodes) {
    return xml_node = NodeNewIntType(name, value, element_type, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewIntAttrEx(std::string_view name, std::int32_t value,
                                         const std::vector<TXmlAttribute*>& attributes, TXmlNode*& xml_node,
                                         const std::vector<TXmlNode*>& sub_nodes) {
    return xml_node = NodeNewIntAttr(name, value, attributes, sub_nodes);
}
TXmlNode* TXmlDocument::NodeNewIntTypeAttrEx(std::string_view name, std::int32_t value,
                                             TXmlElementType element_type,
                                             const std::vector<TXmlAttribute*>& attributes, TXmlNode*& xml_node,
                                             const std::vector<TXmlNode*>& sub_nodes) {
    return xml_node = NodeNewIntTypeAttr(name, value, element_type, attributes, sub_nodes);
}

TXmlAttribute* TXmlDocument::AttrText(std::string_view name, std::string_view value) {
    auto a = std::make_unique<TXmlAttribute>(this);
    a->SetName(name);
    a->SetValue(value);
    return a.release();
}
TXmlAttribute* TXmlDocument::AttrInt(std::string_view name, std::int32_t value) { return AttrText(name, int_to_text(value)); }
TXmlAttribute* TXmlDocument::AttrInt64(std::string_view name, std::int64_t value) {
    return AttrText(name, int_to_text(value));
}
TXmlAttribute* TXmlDocument::AttrHex(std::string_view name, std::uint32_t value, int digits) {
    return AttrText(name, hex_to_text(value, digits));
}
TXmlAttribute* TXmlDocument::AttrHex(std::string_view name, std::uint64_t value, int digits) {
    return AttrText(name, hex_to_text(value, digits));
}
TXmlAttribute* TXmlDocument::AttrFloat(std::string_view name, double value) {
    return AttrText(name, float_to_text(value, 6, true));
}
TXmlAttribute* TXmlDocument::AttrFloat(std::string_view name, double value, int significant_digits,
                                       bool allow_scientific) {
    return AttrText(name, float_to_text(value, significant_digits, allow_scientific));
}
TXmlAttribute* TXmlDocument::AttrDateTime(std::string_view name, double value) {
    return AttrText(name, datetime_to_text(value, {true, true, SplitSecondDigits, false}));
}
TXmlAttribute* TXmlDocument::AttrBool(std::string_view name, bool value) { return AttrText(name, bool_to_text(value)); }

} // namespace kq

// --- Binary form

namespace kq {

namespace {

constexpr std::uint32_t binary_version = 2;
constexpr std::uint32_t end_record = xeEndTag;

bool is_element_like(TXmlElementType t) noexcept {
    return t == xeElement || t == xeDtdElement || t == xeDtdAttList || t == xeDtdEntity || t == xeDtdNotation;
}
bool is_text_kind(TXmlElementType t) noexcept {
    return t == xeCharData || t == xeComment || t == xeCData || t == xeCondSection || t == xeInstruction ||
           t == xeWhiteSpace;
}
bool is_written(const TXmlNode* n) { return n->ElementType() < xeEndTag; }

void put_cardinal(std::string& out, std::uint32_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

} // namespace

namespace detail {

// The form stores the node classes' own fields, so writer and reader use them directly instead of going
// through the texts: the tree is written as it is, IDs and all.
class binary_writer {
public:
    binary_writer(TXmlBinaryXml& owner, TXmlDocument& doc) : FOwner(owner), FDoc(doc), FTable(doc.SymbolTable()) {}

    // Document order, parents first; nodes the form has no record for are reported and left out with
    // their subtrees, so a reader never meets a record that would end its reading.
    void collect() {
        std::vector<TXmlNode*> work(FDoc.RootNodes().Items().rbegin(), FDoc.RootNodes().Items().rend());
        while (!work.empty()) {
            TXmlNode* n = work.back();
            work.pop_back();
            if (!is_written(n)) {
                FOwner.DoDebugOut(&FOwner, wsWarn, "unknown " + n->ElementTypeName() + " \"" + n->GetName() + "\"");
                continue;
            }
            FNodes.push_back(n);
            for (int i = n->NodeCount() - 1; i >= 0; --i) work.push_back(n->Nodes(i));
        }
    }

    // Renumbers the document's symbols most used first, so the form stores the ones used more than once
    // at the front and refers to the rest inline; the nodes' texts do not change. Every node of the tree
    // is renumbered, also those the form leaves out.
    void number(std::vector<std::uint32_t>& new_ids) {
        FTable.ClearFrequency();
        for (TXmlNode* n : FNodes) for_each_reference(n, [&](std::int32_t& id) { FTable.IncrementFrequency(id); });
        std::vector<std::int32_t> renumbered;
        FTable.SortByFrequency(renumbered);
        const std::int32_t count = FTable.SymbolCount();
        const auto renumber = [&](std::int32_t& id) {
            if (id > 0 && id <= count) id = renumbered[static_cast<std::size_t>(id)];
        };
        std::vector<TXmlNode*> work(FDoc.RootNodes().Items().begin(), FDoc.RootNodes().Items().end());
        while (!work.empty()) {
            TXmlNode* n = work.back();
            work.pop_back();
            for_each_reference(n, renumber);
            for (int i = 0; i < n->NodeCount(); ++i) work.push_back(n->Nodes(i));
        }
        new_ids.assign(renumbered.begin(), renumbered.end());
        FPlural = static_cast<std::uint32_t>(FTable.PluralSymbolCount());
    }

    // With a sink the bytes go there in pieces of about 64 KB; without one they all stay in S.
    void write(std::string& s, TStream* sink) {
        const auto flush = [&](std::size_t at_least) {
            if (!sink || s.size() < at_least) return;
            sink->WriteBuffer(s.data(), static_cast<std::int64_t>(s.size()));
            s.clear();
        };
        put_cardinal(s, FPlural);
        for (std::uint32_t id = 1; id <= FPlural; ++id) {
            put_symbol(s, static_cast<std::int32_t>(id));
            flush(65536);
        }
        for (TXmlNode* n : FNodes) {
            write_record(s, n);
            flush(65536);
        }
        put_cardinal(s, end_record);
        flush(1);
    }

    std::size_t node_count() const noexcept { return FNodes.size(); }

private:
    // Every symbol reference a node holds itself (children are nodes of their own).
    template <class F>
    static void for_each_reference(TXmlNode* n, F&& f) {
        const TXmlElementType t = n->ElementType();
        if (is_element_like(t)) {
            f(static_cast<TXmlElement*>(n)->FNameID);
        } else if (t == xeAttribute) {
            auto* a = static_cast<TXmlAttribute*>(n);
            f(a->FNameID);
            f(a->FCoreValue.FValueID);
        } else if (is_text_kind(t) || t == xeQuotedText) {
            f(static_cast<TXmlCharData*>(n)->FValueID);
        } else if (t == xeDocType) {
            auto* d = static_cast<TXmlDocType*>(n);
            f(d->FNameID);
            f(d->FExternalID.FValueID);
            f(d->FSystemLiteral.FValueID);
            f(d->FPubIDLiteral.FValueID);
        }
    }

    // The form of an entry of the symbol table.
    void put_symbol(std::string& s, std::int32_t id) {
        const std::string_view text = FTable.View(id);
        put_cardinal(s, FTable.symbol_style(id));
        put_cardinal(s, static_cast<std::uint32_t>(text.size()));
        s.append(text);
    }

    void write_reference(std::string& s, std::int32_t id) {
        const bool known = id >= 0 && id <= FTable.SymbolCount();
        if (known && static_cast<std::uint32_t>(id) <= FPlural) {
            put_cardinal(s, static_cast<std::uint32_t>(id) + 1);
            return;
        }
        put_cardinal(s, 0);
        put_symbol(s, id);
    }

    void write_quoted(std::string& s, const TXmlQuotedText& q) {
        write_reference(s, q.FValueID);
        put_cardinal(s, q.FQuoteStyle);
    }

    // Counts of the children that are written: left-out ones shift the direct count and value index.
    void write_container(std::string& s, const TXmlContainerNode* c) {
        std::uint32_t written = 0, direct = 0, value = 0;
        const std::vector<TXmlNode*>& items = c->FNodes.Items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!is_written(items[i])) continue;
            ++written;
            if (static_cast<int>(i) < c->FDirectNodeCount) ++direct;
            if (items[i] == c->FValueNode) value = written;
        }
        put_cardinal(s, written);
        put_cardinal(s, direct);
        put_cardinal(s, value);
    }

    void write_record(std::string& s, TXmlNode* n) {
        const TXmlElementType t = n->ElementType();
        put_cardinal(s, t);
        if (is_element_like(t)) {
            auto* e = static_cast<TXmlElement*>(n);
            write_container(s, e);
            write_reference(s, e->FNameID);
            put_cardinal(s, e->FNodeClosingStyle);
        } else if (t == xeAttribute) {
            auto* a = static_cast<TXmlAttribute*>(n);
            write_reference(s, a->FNameID);
            write_quoted(s, a->FCoreValue);
        } else if (is_text_kind(t)) {
            write_reference(s, static_cast<TXmlCharData*>(n)->FValueID);
        } else if (t == xeDeclaration || t == xeStylesheet) {
            write_container(s, static_cast<TXmlContainerNode*>(n));
        } else if (t == xeDocType) {
            auto* d = static_cast<TXmlDocType*>(n);
            write_container(s, d);
            write_reference(s, d->FNameID);
            write_reference(s, d->FExternalID.FValueID);
            write_quoted(s, d->FSystemLiteral);
            write_quoted(s, d->FPubIDLiteral);
        } else if (t == xeQuotedText) {
            write_quoted(s, *static_cast<TXmlQuotedText*>(n));
        }
    }

    TXmlBinaryXml& FOwner;
    TXmlDocument& FDoc;
    TXmlSymbolTable& FTable;
    std::vector<TXmlNode*> FNodes;
    std::uint32_t FPlural = 0;
};

} // namespace detail

void TXmlBinaryXml::SaveToStream(TStream& s) {
    assert(Document && "XmlDocument");
    detail::binary_writer writer(*this, *Document);
    writer.collect();
    writer.number(FNewIDs);
    const auto header = [&](std::string_view coder) {
        s.WriteBuffer("$BXM", 4);
        write_cardinal(s, binary_version);
        s.WriteBuffer(coder.data(), 4);
        s.WriteBuffer("\n", 1);
    };
    std::string payload;
    if (!OnEncode) {
        header("none");
        writer.write(payload, &s);
        DoDebugOut(this, wsInfo, "total node count: " + num(static_cast<std::int64_t>(writer.node_count())));
        return;
    }
    writer.write(payload, nullptr);
    DoDebugOut(this, wsInfo, "total node count: " + num(static_cast<std::int64_t>(writer.node_count())));
    TXmlFastMemStream coded(4096);
    TXmlStringStream plain(payload);
    const std::string name = OnEncode(plain, coded, static_cast<std::int64_t>(payload.size()));
    if (name.size() != 4) {
        DoDebugOut(this, wsFail, "coder name length <> 4");
        header("none");
        s.WriteBuffer(payload.data(), static_cast<std::int64_t>(payload.size()));
        return;
    }
    header(name);
    write_cardinal(s, static_cast<std::uint32_t>(payload.size()));
    if (coded.Size() > 0) s.WriteBuffer(coded.Memory(), coded.Size());
}

namespace detail {

// Reads the records of an untrusted stream. Every read is checked; the first problem is reported and
// ends the reading, and whatever was read before stays in the document.
class binary_reader {
public:
    // `data` holds the records; `base` is its position in the stream, for the progress events.
    binary_reader(TXmlBinaryXml& owner, TXmlDocument& doc, std::string_view data, std::int64_t base)
        : FOwner(owner), FDoc(doc), FTable(doc.SymbolTable()),
          FC{reinterpret_cast<const unsigned char*>(data.data()),
             reinterpret_cast<const unsigned char*>(data.data()) + data.size()},
          FStart(FC.next), FBase(base) {}

    bool cardinal(std::uint32_t& value) {
        const read_status status = read_cardinal(FC, value);
        return status == read_status::ok || fail(FOwner, status);
    }

    static bool fail(TXmlBinaryXml& owner, read_status status) {
        owner.DoDebugOut(&owner, wsFail,
                         status == read_status::too_long ? "invalid cardinal reader" : "binary xml stream ends early");
        return false;
    }

    void problem(const std::string& what, const TXmlNode* n) {
        FOwner.DoDebugOut(&FOwner, wsWarn, what + " in binary node \"" + n->GetName() + "\"");
    }

    bool reference(std::int32_t& id) {
        std::uint32_t r = 0;
        if (!cardinal(r)) return false;
        if (r == 0) {
            read_status status = read_status::ok;
            id = FTable.LoadSymbol(FC, status);
            return status == read_status::ok || fail(FOwner, status);
        }
        if (r - 1 > static_cast<std::uint32_t>(FTable.SymbolCount())) {
            FOwner.DoDebugOut(&FOwner, wsWarn, "invalid symbol reference " + num(r));
            id = 0;
            return true;
        }
        id = static_cast<std::int32_t>(r - 1);
        return true;
    }

    bool quoted(TXmlQuotedText& q) {
        std::uint32_t style = 0;
        if (!reference(q.FValueID) || !cardinal(style)) return false;
        if (style > qsApos) {
            FOwner.DoDebugOut(&FOwner, wsWarn, "invalid quote style " + num(style));
            style = qsQuote;
        }
        q.FQuoteStyle = static_cast<TXmlQuoteCharStyle>(style);
        return true;
    }

    void read_all() {
        std::int64_t total = 0;
        for (;;) {
            std::uint32_t type = 0;
            if (!cardinal(type) || type == end_record) break;
            if (type > end_record) {
                FOwner.DoDebugOut(&FOwner, wsFail, "unknown element type " + num(type));
                break;
            }
            std::unique_ptr<TXmlNode> made = create_node(static_cast<TXmlElementType>(type), &FDoc);
            // Placed first, so the tree owns it whatever the rest of its record holds.
            TXmlNode* n = nullptr;
            if (FLevels.empty()) {
                n = add_owned(FDoc.RootNodes(), std::move(made));
            } else {
                n = add_owned(FLevels.back().node->FNodes, std::move(made));
                n->FParent = FLevels.back().node;
            }
            ++total;
            if (total % 100 == 0) FDoc.DoProgress(FBase + (FC.next - FStart));
            if (!read_record(n)) break;
        }
        while (!FLevels.empty()) close_level();
        FOwner.DoDebugOut(&FOwner, wsInfo, "total node count: " + num(total));
    }

private:
    struct level {
        TXmlContainerNode* node;
        std::uint32_t left;
        std::uint32_t direct;
        std::uint32_t value;
    };

    bool read_record(TXmlNode* n) {
        const TXmlElementType t = n->ElementType();
        level container{nullptr, 0, 0, 0};
        if (is_element_like(t) || t == xeDeclaration || t == xeStylesheet || t == xeDocType) {
            container.node = static_cast<TXmlContainerNode*>(n);
            if (!cardinal(container.left) || !cardinal(container.direct) || !cardinal(container.value)) {
                return open_level(container, false);
            }
        }
        bool ok = true;
        if (is_element_like(t)) {
            auto* e = static_cast<TXmlElement*>(n);
            std::uint32_t style = 0;
            ok = reference(e->FNameID) && cardinal(style);
            if (style > ncClose) {
                problem("invalid closing style", n);
                style = ncDefault;
            }
            e->FNodeClosingStyle = static_cast<TXmlNodeClosingStyle>(style);
        } else if (t == xeAttribute) {
            auto* a = static_cast<TXmlAttribute*>(n);
            ok = reference(a->FNameID) && quoted(a->FCoreValue);
        } else if (is_text_kind(t)) {
            ok = reference(static_cast<TXmlCharData*>(n)->FValueID);
        } else if (t == xeDocType) {
            auto* d = static_cast<TXmlDocType*>(n);
            ok = reference(d->FNameID) && reference(d->FExternalID.FValueID) && quoted(d->FSystemLiteral) &&
                 quoted(d->FPubIDLiteral);
        } else if (t == xeQuotedText) {
            ok = quoted(*static_cast<TXmlQuotedText*>(n));
        }
        if (container.node) return open_level(container, ok);
        if (ok) child_done();
        return ok;
    }

    bool open_level(const level& l, bool ok) {
        FLevels.push_back(l);
        if (ok && l.left > 0) {
            // Every record takes a byte at least, so a count beyond the data reserves no more than it.
            const auto room = static_cast<std::size_t>(FC.end - FC.next);
            l.node->FNodes.Items().reserve(std::min<std::size_t>(l.left, room));
            return true;
        }
        close_level();
        if (ok) child_done();
        return ok;
    }

    // One more child of the current container is complete; containers whose children are all there close.
    void child_done() {
        while (!FLevels.empty()) {
            if (--FLevels.back().left > 0) return;
            close_level();
        }
    }

    // The counts are checked against the children actually read.
    void close_level() {
        const level l = FLevels.back();
        FLevels.pop_back();
        TXmlContainerNode* c = l.node;
        const std::uint32_t count = static_cast<std::uint32_t>(c->FNodes.Count());
        std::uint32_t direct = l.direct;
        if (direct > count) {
            problem("invalid direct node count", c);
            direct = count;
        }
        c->FDirectNodeCount = static_cast<int>(direct);
        c->FValueNode = nullptr;
        if (l.value == 0) return;
        // Only text holds a value: an element as value child would make reading a value recurse.
        TXmlNode* value = l.value <= count ? c->FNodes.Items(static_cast<int>(l.value - 1)) : nullptr;
        const TXmlElementType type = value ? value->ElementType() : xeError;
        if (!is_text_kind(type) && type != xeQuotedText) {
            problem("invalid value index", c);
            return;
        }
        c->FValueNode = value;
    }

    TXmlBinaryXml& FOwner;
    TXmlDocument& FDoc;
    TXmlSymbolTable& FTable;
    byte_cursor FC;
    const unsigned char* FStart;
    std::int64_t FBase;
    std::vector<level> FLevels;
};

} // namespace detail

void TXmlBinaryXml::LoadFromStream(TStream& s) {
    assert(Document && "XmlDocument");
    char mark[4] = {};
    if (s.Read(mark, 4) != 4 || std::memcmp(mark, "$BXM", 4) != 0) {
        DoDebugOut(this, wsFail, "invalid binary xml stream");
        return;
    }
    std::uint32_t version = 0;
    if (const read_status status = read_cardinal(s, version); status != read_status::ok) {
        detail::binary_reader::fail(*this, status);
        return;
    }
    if (version > binary_version) {
        DoDebugOut(this, wsFail, "incompatible binary version");
        return;
    }
    if (version < binary_version)
        DoDebugOut(this, wsWarn, "loading binary version=" + num(version) + ", current version=" + num(binary_version));
    char coder[5] = {};
    if (s.Read(coder, 5) != 5) {
        detail::binary_reader::fail(*this, read_status::short_read);
        return;
    }
    TStream* in = &s;
    TXmlFastMemStream decoded(4096);
    if (std::string_view(coder, 4) != "none") {
        if (!OnDecode) {
            DoDebugOut(this, wsFail, "OnDecode event unassigned");
            return;
        }
        std::uint32_t plain = 0;
        const read_status status = read_cardinal(s, plain);
        if (status == read_status::too_long) throw EReadError(u"invalid cardinal reader");
        if (status != read_status::ok) {
            detail::binary_reader::fail(*this, status);
            return;
        }
        TXmlFastMemStream encoded(4096);
        const std::int64_t rest = s.Size() - s.Position();
        if (rest > 0) encoded.CopyFrom(s, rest);
        encoded.SetPosition(0);
        const std::string name = OnDecode(encoded, decoded, plain);
        DoDebugOut(this, wsInfo, "coder name: " + name + ", compressed size: " + num(encoded.Size()) +
                                     ", plain size: " + num(plain));
        decoded.SetPosition(0);
        in = &decoded;
    }
    Document->RootNodes().Clear();
    TXmlSymbolTable& table = Document->SymbolTable();
    table.Clear();
    table.defer_lookups(true);
    auto stop_deferring = scope_exit([&] { table.defer_lookups(false); });
    const read_status status = table.LoadFromStream(*in);
    if (status != read_status::ok) {
        table.join_deferred();
        Document->DoProgress(in->Position());
        detail::binary_reader::fail(*this, status);
        return;
    }
    Document->DoProgress(in->Position());
    // The records are read where they lie when the stream is in memory, else from one copy.
    const std::int64_t base = in->Position();
    const std::int64_t rest = std::max<std::int64_t>(0, in->Size() - base);
    std::string copy;
    std::string_view records;
    if (auto* memory = dynamic_cast<TXmlFastMemStream*>(in)) {
        records = std::string_view(static_cast<const char*>(memory->Memory()) + base, static_cast<std::size_t>(rest));
    } else {
        copy.resize(static_cast<std::size_t>(rest));
        copy.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, in->Read(copy.data(), rest))));
        records = copy;
    }
    // Most texts come inline, about one for every 16 bytes of a typical document.
    Document->SymbolTable().reserve_symbols(records.size() / 16);
    detail::binary_reader reader(*this, *Document, records, base);
    reader.read_all();
    table.join_deferred();
}

void TXmlBinaryXml::SaveToFile(const String& file_name) {
    TXmlFastMemStream m(65536);
    SaveToStream(m);
    m.SaveToFile(file_name);
}

void TXmlBinaryXml::LoadFromFile(const String& file_name) {
    TXmlFastMemStream m(4096);
    m.LoadFromFile(file_name);
    m.SetPosition(0);
    LoadFromStream(m);
}

// --- Canonical form

TXmlNode* TXmlDocument::ParseSubstituteContentFromNode(TXmlNode* replaced, std::string_view substitute) {
    TXmlNode* parent = replaced ? replaced->Parent() : nullptr;
    if (!parent) return nullptr;
    parent->NodeRemove(replaced);
    TXmlStringStream source(substitute);
    TXmlParser P(this, source, 256);
    P.start_utf8();
    AbortParsing = false;
    TXmlNode* first = nullptr;
    for (;;) {
        bool trimmed = false;
        const std::string text = trim_text(P.ReadStringUntilChar('<'), trimmed);
        if (!text.empty()) {
            auto* t = add_owned(*parent, std::make_unique<TXmlCharData>(this));
            t->SetValue(text);
            if (!first) first = t;
        }
        if (P.EndOfStream()) break;
        P.MoveBack();
        const TXmlElementType kind = read_node_kind(*this, P);
        if (kind == xeError) break;
        TXmlNode* node = add_owned(*parent, create_node(kind, this));
        if (!first) first = node;
        node->ParseStream(P);
        if (AbortParsing || P.EndOfStream()) break;
    }
    return first;
}

int TXmlDocument::Canonicalize() {
    TXmlCanonicalizer canonicalizer(this);
    return canonicalizer.Canonicalize(this);
}

namespace {

// The quoted string that opens a text, doubled quotes inside made single; empty unless it opens with '"'.
std::string leading_quoted(std::string_view text) {
    std::string out;
    if (text.empty() || text[0] != '"') return out;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
                out.push_back('"');
                ++i;
                continue;
            }
            break;
        }
        out.push_back(text[i]);
    }
    return out;
}

} // namespace

int TXmlCanonicalizer::Canonicalize(TXmlDocument* xml) {
    if (!xml) return 0;
    TXmlNodeList& roots = xml->RootNodes();
    if (roots.Count() > 0 && roots.Items(0)->ElementType() == xeDeclaration) roots.Delete(0);
    std::vector<TXmlNode*> entities;
    if (const TXmlDocType* doctype = xml->DocType())
        for (int i = 0; i < doctype->NodeCount(); ++i)
            if (doctype->Nodes(i)->ElementType() == xeDtdEntity) entities.push_back(doctype->Nodes(i));

    // An entity may refer to itself inside an element, or multiply at every level: the passes, the
    // substitutions and the text they add are capped in proportion to the document.
    const std::size_t start_nodes = document_order(roots).size();
    std::size_t start_size = 16 * start_nodes; // the markup around the texts, roughly
    const TXmlSymbolTable& table = xml->SymbolTable();
    for (std::int32_t id = 1; id <= table.SymbolCount(); ++id) start_size += table.View(id).size();
    constexpr int max_passes = 100;
    const std::size_t max_substitutions = 256 + 4 * start_nodes;
    const std::size_t max_added = (std::size_t{1} << 20) + 16 * start_size;

    std::int64_t node_count = 0, chardata_count = 0;
    std::size_t substitutions = 0, added = 0;
    const char* stopped = nullptr;
    for (int pass = 0; !stopped; ++pass) {
        if (pass == max_passes) {
            stopped = "passes";
            break;
        }
        node_count = 0;
        bool substituted = false;
        for (TXmlNode* n = xml->FindFirst(); n;) {
            ++node_count;
            auto* text = dynamic_cast<TXmlCharData*>(n);
            if (text) ++chardata_count;
            // Root-level text cannot be replaced (there is no parent to hold the result): it stays.
            if (!text || !text->Parent() || !text->HasNonStandardReferences()) {
                n = xml->FindNext(n);
                continue;
            }
            if (substitutions == max_substitutions) {
                stopped = "substitutions";
                break;
            }
            const std::string value = leading_quoted(text->GetValueUsingReferences(entities));
            if (added + value.size() > max_added) {
                stopped = "added text";
                break;
            }
            added += value.size();
            TXmlNode* first = xml->ParseSubstituteContentFromNode(text, value);
            ++substitutions;
            substituted = true;
            if (!first) break;
            n = xml->FindNext(first);
        }
        if (!substituted) break;
    }
    if (stopped) DoDebugOut(this, wsFail, std::string("canonicalization stopped at the limit of its ") + stopped);
    DoDebugOut(this, wsInfo, "total node count: " + num(node_count) + ", chardata count: " + num(chardata_count) +
                                 ", references count: " + num(static_cast<std::int64_t>(substitutions)));
    DoDebugOut(this, wsInfo, "C14N created");
    return static_cast<int>(substitutions);
}

} // namespace kq
