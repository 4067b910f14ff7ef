#include "xml/XmlNodeTree.h"

#include "framework/Exceptions.h"
#include "xml/XmlDocument.h"
#include "xml/XmlPlatform.h"
#include "xml/XmlStreams.h"

#include <memory>
#include <unordered_map>
#include <utility>

namespace kq {

namespace {

[[noreturn]] void raise(const char* text) { throw Exception(utf8_to_string(text)); }

constexpr const char* cannot_add_node = "cannot add node to this type of element";
constexpr const char* cannot_manipulate = "cannot manipulate nodes in this type of element";

// Pre-order walk over the descendants of `root` (not `root` itself) without recursion; `visit` returns
// true to stop.
template <class Visit>
const TXmlNode* walk_descendants(const TXmlNode* root, Visit&& visit) {
    struct frame {
        const TXmlNode* node;
        int next;
    };
    std::vector<frame> stack{{root, 0}};
    while (!stack.empty()) {
        frame& f = stack.back();
        if (f.next >= f.node->NodeCount()) {
            stack.pop_back();
            continue;
        }
        const TXmlNode* child = f.node->Nodes(f.next++);
        if (visit(child)) return child;
        if (child->NodeCount() > 0) stack.push_back({child, 0});
    }
    return nullptr;
}

} // namespace

bool same_name(std::string_view a, std::string_view b) {
    if (a == b) return true;
    return xml_platform::compare_text_ignore_case(Utf8ToWide(a), Utf8ToWide(b)) == 0;
}

bool has_node_class(TXmlElementType AType) noexcept { return AType < xeEndTag; }

TXmlNode* create_node(TXmlElementType AType, TXmlDocument* ADocument) {
    switch (AType) {
    case xeElement: return new TXmlElement(ADocument);
    case xeAttribute: return new TXmlAttribute(ADocument);
    case xeCharData: return new TXmlCharData(ADocument);
    case xeComment: return new TXmlComment(ADocument);
    case xeCData: return new TXmlCData(ADocument);
    case xeCondSection: return new TXmlConditionalSection(ADocument);
    case xeDeclaration: return new TXmlDeclaration(ADocument);
    case xeStylesheet: return new TXmlStyleSheet(ADocument);
    case xeDocType: return new TXmlDocType(ADocument);
    case xeDtdElement: return new TXmlDtdElement(ADocument);
    case xeDtdAttList: return new TXmlDtdAttList(ADocument);
    case xeDtdEntity: return new TXmlDtdEntity(ADocument);
    case xeDtdNotation: return new TXmlDtdNotation(ADocument);
    case xeInstruction: return new TXmlInstruction(ADocument);
    case xeWhiteSpace: return new TXmlWhiteSpace(ADocument);
    case xeQuotedText: return new TXmlQuotedText(ADocument);
    default: return nullptr;
    }
}

// --- TXmlNode: identity and text

TXmlNode::TXmlNode(TXmlDocument* AOwner) : TDebugPersistent(AOwner) {
    if (!AOwner) raise("XML owner is not assigned");
}

void TXmlNode::raise_no_parent() { raise("XML parent is not assigned"); }

bool TXmlNode::is_container(const TXmlNode* ANode) noexcept {
    return dynamic_cast<const TXmlContainerNode*>(ANode) != nullptr;
}

TXmlDocument* TXmlNode::Document() const noexcept { return static_cast<TXmlDocument*>(FOwner); }

std::string TXmlNode::ElementTypeName() const { return element_type_name(ElementType()); }

void TXmlNode::SetName(std::string_view) { raise("cannot set name on this type of element"); }
void TXmlNode::SetValue(std::string_view) { raise("cannot set value on this type of element"); }

std::string TXmlNode::Symbol(std::int32_t ID) const { return Document()->SymbolTable().GetString(ID); }
std::int32_t TXmlNode::Intern(std::string_view S) const { return Document()->SymbolTable().AddString(S); }
bool TXmlNode::ReadsWhiteSpace() const { return Document()->PreserveWhiteSpace(); }
TXmlEolStyle TXmlNode::EolStyle() const { return Document()->EolStyle; }

std::string TXmlNode::Content() const {
    TXmlStringStream s;
    WriteInnerNodes(s);
    return s.DataString();
}

std::string TXmlNode::WriteToString() const {
    TXmlStringStream s;
    WriteStream(s);
    return s.DataString();
}

int TXmlNode::TreeDepth() const noexcept {
    int depth = 0;
    for (const TXmlNode* p = FParent; p; p = p->FParent) ++depth;
    return depth;
}

std::string TXmlNode::FullPath() const {
    std::vector<const TXmlNode*> chain;
    for (const TXmlNode* n = this; n; n = n->FParent) chain.push_back(n);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += '/';
        path += (*it)->GetName();
    }
    return path;
}

int TXmlNode::IndexInParent() const { return FParent ? FParent->NodeIndexOf(this) : -1; }

// --- Copying

void TXmlNode::Assign(const TPersistent* Source) {
    if (dynamic_cast<const TXmlNode*>(Source)) {
        CopyFrom(Source);
    } else {
        TDebugPersistent::Assign(Source);
    }
}

void TXmlNode::CopyOwn(const TXmlNode&) {}

void TXmlNode::CopyFrom(const TPersistent* ANode) {
    const auto* source = dynamic_cast<const TXmlNode*>(ANode);
    if (!source) raise("CopyFrom can only be used with TXmlNode descendants");
    if (source == this) return;
    Clear();
    CopyOwn(*source);
    // Children are copied level by level from an explicit stack, so depth costs no native stack.
    std::vector<std::pair<const TXmlNode*, TXmlNode*>> work{{source, this}};
    while (!work.empty()) {
        auto [from, to] = work.back();
        work.pop_back();
        auto* src = dynamic_cast<const TXmlContainerNode*>(from);
        auto* dst = dynamic_cast<TXmlContainerNode*>(to);
        if (!src || !dst) continue;
        for (const TXmlNode* child : src->FNodes.Items()) {
            TXmlNode* copy = child->CreateLike(Document());
            dst->FNodes.Add(copy);
            copy->FParent = dst;
            copy->CopyOwn(*child);
            if (child->NodeCount() > 0) work.emplace_back(child, copy);
        }
        dst->FDirectNodeCount = src->FDirectNodeCount;
        const int value_index = src->ValueIndex();
        dst->FValueNode = value_index >= 0 ? dst->FNodes.Items(value_index) : nullptr;
    }
}

// --- Child list of nodes that have none

TXmlNode* TXmlNode::Nodes(int) const noexcept { return nullptr; }
int TXmlNode::NodeIndexOf(const TXmlNode*) const { return -1; }
int TXmlNode::NodeAdd(TXmlNode*) { raise(cannot_add_node); }
void TXmlNode::NodeInsert(int, TXmlNode*) { raise(cannot_add_node); }
void TXmlNode::NodeDelete(int) { raise(cannot_manipulate); }
TXmlNode* TXmlNode::NodeExtract(TXmlNode*) { raise(cannot_manipulate); }
void TXmlNode::NodeExchange(int, int) { raise(cannot_manipulate); }
void TXmlNode::NodesClear() { raise(cannot_manipulate); }
void TXmlNode::Clear() {}
void TXmlNode::AttributeAdd(TXmlAttribute*) { raise("cannot add attribute"); }

void TXmlNode::NodeInsertNear(TXmlNode* ANode, TXmlNode* AOther, bool IsBefore) {
    const int i = NodeIndexOf(AOther);
    NodeInsert(i < 0 ? NodeCount() : (IsBefore ? i : i + 1), ANode);
}

void TXmlNode::NodeRemove(TXmlNode* ANode) {
    const int i = NodeIndexOf(ANode);
    if (i >= 0) NodeDelete(i);
}

void TXmlNode::NodeRemoveEx(TXmlNode* ANode) {
    int i = NodeIndexOf(ANode);
    if (i < 0) return;
    NodeDelete(i);
    while (i > 0 && Nodes(i - 1)->ElementType() == xeWhiteSpace) NodeDelete(--i);
}

void TXmlNode::NodesAdd(const std::vector<TXmlNode*>& ANodes) {
    for (TXmlNode* n : ANodes) NodeAdd(n);
}

void TXmlNode::Delete() {
    if (FParent) FParent->NodeRemove(this);
}

TXmlNode* TXmlNode::NextSibling(const TXmlNode* ANode) const {
    const int i = NodeIndexOf(ANode);
    return i < 0 ? nullptr : Nodes(i + 1);
}

TXmlNode* TXmlNode::FirstNodeByType(TXmlElementType AType) const {
    for (int i = 0; i < NodeCount(); ++i)
        if (Nodes(i)->ElementType() == AType) return Nodes(i);
    return nullptr;
}

int TXmlNode::ContainerCount() const {
    int n = 0;
    for (int i = DirectNodeCount(); i < NodeCount(); ++i) n += dynamic_cast<TXmlContainerNode*>(Nodes(i)) != nullptr;
    return n;
}

TXmlNode* TXmlNode::Containers(int Index) const {
    for (int i = DirectNodeCount(); i < NodeCount(); ++i)
        if (dynamic_cast<TXmlContainerNode*>(Nodes(i)) && Index-- == 0) return Nodes(i);
    return nullptr;
}

int TXmlNode::ElementCount() const {
    int n = 0;
    for (int i = DirectNodeCount(); i < NodeCount(); ++i) n += dynamic_cast<TXmlElement*>(Nodes(i)) != nullptr;
    return n;
}

TXmlElement* TXmlNode::Elements(int Index) const {
    for (int i = DirectNodeCount(); i < NodeCount(); ++i)
        if (auto* e = dynamic_cast<TXmlElement*>(Nodes(i)); e && Index-- == 0) return e;
    return nullptr;
}

void TXmlNode::ElementsClear() {
    for (int i = NodeCount() - 1; i >= DirectNodeCount(); --i)
        if (dynamic_cast<TXmlElement*>(Nodes(i))) NodeDelete(i);
}

void TXmlNode::ElementDelete(int Index) {
    if (TXmlElement* e = Elements(Index)) NodeRemove(e);
}

bool TXmlNode::HasChildContainers() const {
    for (int i = DirectNodeCount(); i < NodeCount(); ++i)
        if (dynamic_cast<TXmlContainerNode*>(Nodes(i))) return true;
    return false;
}

TXmlNode* TXmlNode::NodeNew(std::string_view AName) { return NodeNewAtIndex(NodeCount(), AName); }

TXmlNode* TXmlNode::NodeNewAtIndex(int Index, std::string_view AName) {
    std::unique_ptr<TXmlNode> node(create_node(ElementType(), Document()));
    if (!node) return nullptr;
    node->SetName(AName);
    NodeInsert(Index, node.get());
    return node.release();
}

TXmlNode* TXmlNode::NodeFindOrCreate(std::string_view AName) {
    TXmlNode* n = NodeByName(AName);
    return n ? n : NodeNew(AName);
}

void TXmlNode::WriteNodeValue(std::string_view AName, std::string_view AValue) {
    if (TXmlNode* n = NodeFindOrCreate(AName)) n->SetValue(AValue);
}

void TXmlNode::DeleteEmptyNodes() {
    struct frame {
        TXmlNode* node;
        int index;
    };
    std::vector<frame> stack{{this, NodeCount() - 1}};
    while (!stack.empty()) {
        if (stack.back().index < 0) {
            stack.pop_back();
            if (!stack.empty()) {
                frame& parent = stack.back();
                if (parent.node->Nodes(parent.index)->IsEmpty()) parent.node->NodeDelete(parent.index);
                --parent.index;
            }
            continue;
        }
        TXmlNode* child = stack.back().node->Nodes(stack.back().index);
        stack.push_back({child, child->NodeCount() - 1});
    }
}

// --- Attributes

int TXmlNode::AttributeCount() const {
    int n = 0;
    for (int i = 0; i < NodeCount(); ++i) n += Nodes(i)->ElementType() == xeAttribute;
    return n;
}

TXmlAttribute* TXmlNode::Attributes(int Index) const {
    if (Index < 0) return nullptr;
    for (int i = 0; i < NodeCount(); ++i)
        if (Nodes(i)->ElementType() == xeAttribute && Index-- == 0) return static_cast<TXmlAttribute*>(Nodes(i));
    return nullptr;
}

std::string TXmlNode::AttributeName(int Index) const {
    const TXmlAttribute* a = Attributes(Index);
    return a ? a->GetName() : std::string();
}

std::string TXmlNode::AttributeValue(int Index) const {
    const TXmlAttribute* a = Attributes(Index);
    return a ? a->GetValue() : std::string();
}

void TXmlNode::SetAttributeValue(int Index, std::string_view AValue) {
    if (TXmlAttribute* a = Attributes(Index)) a->SetValue(AValue);
}

int TXmlNode::AttributeValueAsInteger(int Index) const {
    std::int64_t v = 0;
    return try_text_to_int64(AttributeValue(Index), v) ? static_cast<int>(v) : 0;
}

void TXmlNode::SetAttributeValueAsInteger(int Index, int AValue) { SetAttributeValue(Index, int_to_text(AValue)); }

TXmlAttribute* TXmlNode::AttributeByName(std::string_view AName) const {
    for (int i = 0; i < NodeCount(); ++i) {
        TXmlNode* n = Nodes(i);
        if (n->ElementType() == xeAttribute && same_name(n->GetName(), AName)) return static_cast<TXmlAttribute*>(n);
    }
    return nullptr;
}

std::string TXmlNode::AttributeValueByName(std::string_view AName) const {
    const TXmlAttribute* a = AttributeByName(AName);
    return a ? a->GetValue() : std::string();
}

void TXmlNode::SetAttributeValueByName(std::string_view AName, std::string_view AValue) {
    TXmlAttribute* a = AttributeByName(AName);
    if (!a) a = AttributeAdd(AName, {});
    a->SetValue(AValue);
}

String TXmlNode::AttributeValueByNameWide(std::string_view AName) const { return Utf8ToWide(AttributeValueByName(AName)); }

void TXmlNode::SetAttributeValueByNameWide(std::string_view AName, StringView AValue) {
    SetAttributeValueByName(AName, WideToUtf8(AValue));
}

TXmlAttribute* TXmlNode::AttributeAdd(std::string_view AName, std::string_view AValue) {
    auto a = std::make_unique<TXmlAttribute>(Document());
    a->SetName(AName);
    a->SetValue(AValue);
    AttributeAdd(a.get());
    return a.release();
}

void TXmlNode::AttributesAdd(const std::vector<TXmlAttribute*>& AAttributes) {
    for (TXmlAttribute* a : AAttributes) AttributeAdd(a);
}

void TXmlNode::AttributeDelete(int Index) {
    if (TXmlAttribute* a = Attributes(Index)) NodeRemove(a);
}

void TXmlNode::AttributesClear() {
    for (int i = NodeCount() - 1; i >= 0; --i)
        if (Nodes(i)->ElementType() == xeAttribute) NodeDelete(i);
}

int TXmlNode::AttributeIndexByName(std::string_view AName) const {
    for (int i = 0; i < DirectNodeCount() && i < NodeCount(); ++i)
        if (same_name(Nodes(i)->GetName(), AName)) return i;
    return -1;
}

int TXmlNode::NodeIndexByName(std::string_view AName) const {
    for (int i = 0; i < NodeCount(); ++i)
        if (same_name(Nodes(i)->GetName(), AName)) return i;
    return -1;
}

bool TXmlNode::HasAttribute(std::string_view AName) const {
    for (int i = 0; i < NodeCount(); ++i)
        if (Nodes(i)->ElementType() == xeAttribute && Nodes(i)->GetName() == AName) return true;
    return false;
}

// --- Search

TXmlNode* TXmlNode::NodeByName(std::string_view AName) const {
    for (int i = 0; i < NodeCount(); ++i)
        if (same_name(Nodes(i)->GetName(), AName)) return Nodes(i);
    return nullptr;
}

void TXmlNode::NodesByName(std::string_view AName, TXmlNodeList* AList) const {
    if (!AList) return;
    AList->Clear();
    for (int i = 0; i < NodeCount(); ++i)
        if (same_name(Nodes(i)->GetName(), AName)) AList->Add(Nodes(i));
}

namespace {
bool path_or_name_matches(const TXmlNode* n, std::string_view NodeName) {
    if (!NodeName.empty() && NodeName.front() == '/') return same_name(n->FullPath(), NodeName);
    return same_name(n->GetName(), NodeName);
}
} // namespace

TXmlNode* TXmlNode::FindNode(std::string_view NodeName) const {
    return const_cast<TXmlNode*>(
        walk_descendants(this, [&](const TXmlNode* n) { return path_or_name_matches(n, NodeName); }));
}

void TXmlNode::FindNodes(std::string_view NodeName, TXmlNodeList* AList) const {
    if (!AList) return;
    AList->Clear();
    walk_descendants(this, [&](const TXmlNode* n) {
        if (path_or_name_matches(n, NodeName)) AList->Add(const_cast<TXmlNode*>(n));
        return false;
    });
}

TXmlNode* TXmlNode::NodeByAttributeValue(std::string_view NodeName, std::string_view AttribName,
                                         std::string_view AttribValue, bool ShouldRecurse) const {
    auto matches = [&](const TXmlNode* n) {
        return same_name(n->GetName(), NodeName) && n->HasAttribute(AttribName) &&
               same_name(n->AttributeValueByName(AttribName), AttribValue);
    };
    if (ShouldRecurse) return const_cast<TXmlNode*>(walk_descendants(this, matches));
    for (int i = 0; i < NodeCount(); ++i)
        if (matches(Nodes(i))) return Nodes(i);
    return nullptr;
}

// --- Comparison and sorting

bool TXmlNode::IsEqualTo(const TXmlNode* ANode, TXmlCompareOptions Options, TXmlNodeList* MismatchNodes) const {
    if (!ANode) return false;
    auto mismatch = [&](const TXmlNode* n) {
        if (MismatchNodes) MismatchNodes->Add(const_cast<TXmlNode*>(n));
    };
    bool node_ok = true;
    if ((Options & xcNodeName) && !same_name(GetName(), ANode->GetName())) node_ok = false;
    if ((Options & xcNodeType) && ElementType() != ANode->ElementType()) node_ok = false;
    if ((Options & xcNodeValue) && !same_name(GetValue(), ANode->GetValue())) node_ok = false;
    if ((Options & xcAttribCount) && AttributeCount() != ANode->AttributeCount()) node_ok = false;
    if ((Options & xcChildCount) && ContainerCount() != ANode->ContainerCount()) node_ok = false;
    if (!node_ok) mismatch(this);
    bool child_ok = true;
    if (Options & (xcAttribNames | xcAttribValues | xcChildNames | xcChildValues)) {
        for (int i = 0; i < NodeCount(); ++i) {
            const TXmlNode* child = Nodes(i);
            const bool is_attr = child->ElementType() == xeAttribute;
            if (!is_attr && !dynamic_cast<const TXmlElement*>(child)) continue;
            const TXmlNode* other = ANode->NodeByName(child->GetName());
            if (other) {
                if ((Options & (is_attr ? xcAttribValues : xcChildValues)) &&
                    !same_name(child->GetValue(), other->GetValue())) {
                    mismatch(child);
                    child_ok = false;
                }
                if ((Options & xcRecursive) && !child->IsEqualTo(other, Options, MismatchNodes)) child_ok = false;
            } else if (Options & (is_attr ? xcAttribNames : xcChildNames)) {
                mismatch(child);
                child_ok = false;
            }
        }
    }
    return node_ok && child_ok;
}

void TXmlNode::SortChildNodes(const compare_function& Compare) {
    auto cmp = [&](TXmlNode* a, TXmlNode* b) {
        if (Compare) return Compare(a, b);
        return xml_platform::compare_text_ignore_case(Utf8ToWide(a->GetName()), Utf8ToWide(b->GetName()));
    };
    // The pivot is followed by index as children are exchanged.
    detail::quicksort(0, NodeCount() - 1, [&](int lo, int hi) {
        int i = lo, j = hi, p = (lo + hi) / 2;
        while (i <= j) {
            while (cmp(Nodes(i), Nodes(p)) < 0) ++i;
            while (cmp(Nodes(j), Nodes(p)) > 0) --j;
            if (i <= j) {
                if (i != j) NodeExchange(i, j);
                if (p == i) {
                    p = j;
                } else if (p == j) {
                    p = i;
                }
                ++i;
                --j;
            }
        }
        return std::pair{i, j};
    });
}

// --- Character data

void TXmlCharData::SetName(std::string_view AName) {
    if (!AName.empty()) DoDebugOut(this, wsHint, "cannot set name on this type of element");
}

std::string TXmlCharData::GetValue() const {
    bool non_standard = false;
    return resolve_references(GetStoredTextForOutput(), non_standard);
}

void TXmlCharData::SetValue(std::string_view AValue) { SetStoredText(escape_text(normalise_line_ends(AValue))); }

std::string TXmlCharData::GetStoredTextForOutput() const {
    return convert_line_ends(Document()->SymbolTable().View(FValueID), EolStyle());
}

bool TXmlCharData::IsWhiteSpace() const {
    bool trimmed = false;
    trim_text(Document()->SymbolTable().View(FValueID), trimmed);
    return trimmed;
}

bool TXmlCharData::HasNonStandardReferences() const {
    bool non_standard = false;
    resolve_references(Document()->SymbolTable().View(FValueID), non_standard);
    return non_standard;
}

std::string TXmlCharData::GetValueUsingReferences(const std::vector<TXmlNode*>& Nodes) const {
    // Each entity's text is taken once (the first declaration of a name counts), and the expansion is
    // bounded in proportion to the text and the entities: a long entity referenced many times would
    // otherwise grow with the product of the two. Past the bound, references stay as they are.
    std::unordered_map<std::string, std::string> values;
    std::size_t input = 0;
    for (const TXmlNode* n : Nodes) {
        if (!n || n->ElementType() != xeDtdEntity) continue;
        auto [it, added] = values.try_emplace(n->GetName());
        if (added) {
            it->second = n->GetValue();
            input += it->second.size();
        }
    }
    const std::string text = GetStoredTextForOutput();
    const std::size_t limit = (std::size_t{1} << 20) + 16 * (input + text.size());
    std::size_t expanded = 0;
    bool over = false;
    const entity_lookup lookup = [&](std::string_view reference, std::string& value) {
        const auto it = values.find(std::string(reference.substr(1, reference.size() - 2)));
        if (it == values.end() || over) return false;
        if (expanded + it->second.size() > limit) {
            over = true;
            return false;
        }
        expanded += it->second.size();
        value = it->second;
        return true;
    };
    bool non_standard = false;
    std::string out = resolve_references(text, non_standard, &lookup);
    if (over)
        Document()->DoDebugOut(Document(), wsFail, "references expand beyond " + std::to_string(limit) + " bytes");
    return out;
}

void TXmlCharData::CopyOwn(const TXmlNode& Source) {
    if (auto* c = dynamic_cast<const TXmlCharData*>(&Source)) FValueID = c->FValueID;
}

void TXmlQuotedText::CopyOwn(const TXmlNode& Source) {
    TXmlCharData::CopyOwn(Source);
    if (auto* q = dynamic_cast<const TXmlQuotedText*>(&Source)) FQuoteStyle = q->FQuoteStyle;
}

// --- Attribute

TXmlAttribute::TXmlAttribute(TXmlDocument* AOwner) : TXmlNode(AOwner), FCoreValue(AOwner) {
    FCoreValue.FParent = this;
}

std::string TXmlAttribute::GetValue() const {
    bool non_standard = false;
    return resolve_references(Document()->SymbolTable().View(FCoreValue.ValueID()), non_standard);
}

void TXmlAttribute::SetValue(std::string_view AValue) { FCoreValue.SetStoredText(escape_text(AValue)); }

void TXmlAttribute::CopyOwn(const TXmlNode& Source) {
    if (auto* a = dynamic_cast<const TXmlAttribute*>(&Source)) {
        FNameID = a->FNameID;
        FCoreValue.CopyOwn(a->FCoreValue);
    }
}

// --- Node list

TXmlNodeList::~TXmlNodeList() { Clear(); }

TXmlNode* TXmlNodeList::Items(int Index) const noexcept {
    return Index >= 0 && Index < Count() ? FItems[static_cast<std::size_t>(Index)] : nullptr;
}

TXmlNode* TXmlNodeList::ByType(TXmlElementType AType) const {
    for (TXmlNode* n : FItems)
        if (n->ElementType() == AType) return n;
    return nullptr;
}

TXmlNode* TXmlNodeList::FindNext(const TXmlNode* ANode) const {
    if (!ANode) return nullptr;
    if (ANode->NodeCount() > 0) return ANode->Nodes(0);
    for (const TXmlNode* n = ANode; n;) {
        TXmlNode* parent = n->Parent();
        if (!parent) {
            const int i = IndexOf(n);
            if (i < 0) raise("index must be >= 0");
            return Items(i + 1);
        }
        const int i = parent->NodeIndexOf(n);
        if (i + 1 < parent->NodeCount()) return parent->Nodes(i + 1);
        n = parent;
    }
    return nullptr;
}

int TXmlNodeList::Add(TXmlNode* ANode) {
    FItems.push_back(ANode);
    return Count() - 1;
}

void TXmlNodeList::Insert(int Index, TXmlNode* ANode) {
    if (Index < 0 || Index > Count()) raise_list_index_error(Index);
    FItems.insert(FItems.begin() + Index, ANode);
}

int TXmlNodeList::IndexOf(const TXmlNode* ANode) const {
    for (int i : {FIndexHint, FIndexHint + 1, FIndexHint - 1})
        if (i >= 0 && i < Count() && FItems[static_cast<std::size_t>(i)] == ANode) return FIndexHint = i;
    // From the end: the node looked for is most often the one just added (parsing, repairs).
    for (std::size_t i = FItems.size(); i-- > 0;)
        if (FItems[i] == ANode) return FIndexHint = static_cast<int>(i);
    return -1;
}

void TXmlNodeList::Delete(int Index) {
    TXmlNode* n = Extract(Index);
    if (FOwnsObjects) free_node(n);
}

TXmlNode* TXmlNodeList::Extract(int Index) {
    if (Index < 0 || Index >= Count()) raise_list_index_error(Index);
    TXmlNode* n = FItems[static_cast<std::size_t>(Index)];
    FItems.erase(FItems.begin() + Index);
    return n;
}

void TXmlNodeList::Exchange(int Index1, int Index2) {
    if (!Items(Index1)) raise_list_index_error(Index1);
    if (!Items(Index2)) raise_list_index_error(Index2);
    std::swap(FItems[static_cast<std::size_t>(Index1)], FItems[static_cast<std::size_t>(Index2)]);
}

void TXmlNodeList::Clear() {
    std::vector<TXmlNode*> items;
    items.swap(FItems);
    if (FOwnsObjects)
        for (TXmlNode* n : items) free_node(n);
}

void free_node(TXmlNode* ANode) noexcept {
    std::vector<TXmlNode*> work;
    if (ANode) work.push_back(ANode);
    while (!work.empty()) {
        TXmlNode* n = work.back();
        work.pop_back();
        if (auto* c = dynamic_cast<TXmlContainerNode*>(n)) {
            auto& items = c->FNodes.Items();
            work.insert(work.end(), items.begin(), items.end());
            items.clear();
            c->FValueNode = nullptr;
        }
        delete n;
    }
}

// --- Containers

TXmlContainerNode::~TXmlContainerNode() = default;

int TXmlContainerNode::NodeAdd(TXmlNode* ANode) {
    if (!ANode) return -1;
    const int i = FNodes.Add(ANode);
    ANode->FParent = this;
    return i;
}

void TXmlContainerNode::NodeInsert(int Index, TXmlNode* ANode) {
    if (!ANode) return;
    FNodes.Insert(Index, ANode);
    ANode->FParent = this;
}

void TXmlContainerNode::NodeDelete(int Index) {
    TXmlNode* n = FNodes.Items(Index);
    if (!n) raise_list_index_error(Index);
    if (Index < FDirectNodeCount) --FDirectNodeCount;
    if (n == FValueNode) FValueNode = nullptr;
    FNodes.Delete(Index);
}

TXmlNode* TXmlContainerNode::NodeExtract(TXmlNode* ANode) {
    const int i = FNodes.IndexOf(ANode);
    if (i < 0) return nullptr;
    // The counts follow the list, so an extracted attribute or value child is no longer counted.
    if (i < FDirectNodeCount) --FDirectNodeCount;
    if (ANode == FValueNode) FValueNode = nullptr;
    FNodes.Extract(i);
    ANode->FParent = nullptr;
    return ANode;
}

void TXmlContainerNode::NodeExchange(int Index1, int Index2) { FNodes.Exchange(Index1, Index2); }

void TXmlContainerNode::NodesClear() {
    for (int i = FNodes.Count() - 1; i >= 0; --i) FNodes.Delete(i);
    FDirectNodeCount = 0;
    FValueNode = nullptr;
}

void TXmlContainerNode::Clear() {
    FNodes.Clear();
    FDirectNodeCount = 0;
    FValueNode = nullptr;
}

void TXmlContainerNode::AttributeAdd(TXmlAttribute* AAttribute) {
    if (!AAttribute) return;
    if (AAttribute->Document() != Document()) {
        DoDebugOut(this, wsFail, "XML owner is not assigned");
        return;
    }
    FNodes.Insert(FDirectNodeCount < FNodes.Count() ? FDirectNodeCount : FNodes.Count(), AAttribute);
    AAttribute->FParent = this;
    ++FDirectNodeCount;
}

int TXmlContainerNode::ValueIndex() const { return FValueNode ? FNodes.IndexOf(FValueNode) : -1; }

void TXmlContainerNode::SetValueIndex(int Index) { FValueNode = FNodes.Items(Index); }

TXmlNodeClosingStyle TXmlContainerNode::NodeClosingStyle() const {
    const TXmlNodeClosingStyle doc = Document()->NodeClosingStyle;
    return doc == ncDefault ? FNodeClosingStyle : doc;
}

void TXmlContainerNode::CopyOwn(const TXmlNode&) {}

// --- Element

std::string TXmlElement::GetValue() const { return FValueNode ? FValueNode->GetValue() : std::string(); }

void TXmlElement::SetValue(std::string_view AValue) {
    if (AValue.empty()) {
        if (FValueNode) NodeDelete(FNodes.IndexOf(FValueNode));
        return;
    }
    if (FValueNode) {
        FValueNode->SetValue(AValue);
        return;
    }
    auto text = std::make_unique<TXmlCharData>(Document());
    text->SetValue(AValue);
    NodeInsert(FDirectNodeCount < FNodes.Count() ? FDirectNodeCount : FNodes.Count(), text.get());
    FValueNode = text.release();
}

void TXmlElement::CopyOwn(const TXmlNode& Source) {
    if (auto* e = dynamic_cast<const TXmlElement*>(&Source)) {
        FNameID = e->FNameID;
        FNodeClosingStyle = e->FNodeClosingStyle;
    }
}

// --- DOCTYPE

TXmlDocType::TXmlDocType(TXmlDocument* AOwner)
    : TXmlContainerNode(AOwner), FExternalID(AOwner), FSystemLiteral(AOwner), FPubIDLiteral(AOwner) {}

void TXmlDocType::CopyOwn(const TXmlNode& Source) {
    if (auto* d = dynamic_cast<const TXmlDocType*>(&Source)) {
        FNameID = d->FNameID;
        FExternalID.CopyOwn(d->FExternalID);
        FSystemLiteral.CopyOwn(d->FSystemLiteral);
        FPubIDLiteral.CopyOwn(d->FPubIDLiteral);
    }
}

} // namespace kq
