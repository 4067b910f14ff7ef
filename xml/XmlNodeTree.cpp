#include "xml/XmlNodeTree.h"

#include "framework/Exceptions.h"
#include "xml/XmlDocument.h"
#include "xml/XmlPlatform.h"
#include "xml/XmlStreams.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

namespace kq {

namespace {

[[noreturn]] void raise(const char* text) { throw Exception(utf8_to_string(text)); }

constexpr const char* cannot_add_node = "cannot add node to this type of element";
constexpr const char* cannot_manipulate = "cannot manipulate nodes in this type of element";

enum class walk_step { enter, skip, stop };

// Pre-order walk over the descendants of `root` (not `root` itself) without recursion. Each node carries a
// state that starts as its parent's: `visit(node, state)` may change it and says whether to go into the
// node's children, leave them out, or stop there.
template <class Visit>
const TXmlNode* walk_descendants(const TXmlNode* root, std::size_t root_state, Visit&& visit) {
    struct frame {
        const TXmlNode* node;
        int next;
        std::size_t state;
    };
    std::vector<frame> stack{{root, 0, root_state}};
    while (!stack.empty()) {
        frame& f = stack.back();
        if (f.next >= f.node->NodeCount()) {
            stack.pop_back();
            continue;
        }
        const TXmlNode* child = f.node->Nodes(f.next++);
        std::size_t state = f.state;
        const walk_step step = visit(child, state);
        if (step == walk_step::stop) return child;
        if (step == walk_step::enter && child->NodeCount() > 0) stack.push_back({child, 0, state});
    }
    return nullptr;
}

// The same over every descendant; `visit(node)` returns true to stop.
template <class Visit>
const TXmlNode* walk_descendants(const TXmlNode* root, Visit&& visit) {
    return walk_descendants(root, 0, [&](const TXmlNode* n, std::size_t&) {
        return visit(n) ? walk_step::stop : walk_step::enter;
    });
}

// --- Node blocks

// Blocks of one size class live in 64 KB slabs aligned to 64 KB, so a block finds its slab by its
// address. A slab whose last block is freed goes back to the C library (one empty slab per class is
// kept), so a freed document returns its memory. Under the address sanitizer nodes are plain heap
// blocks, so it still sees every use after free.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool node_slabs = false;
#elif defined(__has_feature)
constexpr bool node_slabs = !__has_feature(address_sanitizer);
#else
constexpr bool node_slabs = true;
#endif
constexpr std::size_t slab_bytes = 64 * 1024;
constexpr std::size_t block_grain = 16;
constexpr std::size_t size_classes = 8; // blocks of 16 to 128 bytes; larger nodes use the heap

struct free_block {
    free_block* next;
};

struct slab {
    slab* prev;
    slab* next;
    bool listed; // in its class's list of slabs with room
    std::uint32_t live;
    std::size_t block;
    free_block* returned;
    char* fresh; // blocks never handed out run from here to `end`
    char* end;
};

struct slab_class {
    std::mutex lock;
    slab* with_room = nullptr;
    slab* spare = nullptr;
};

constinit slab_class slab_classes[size_classes];

constexpr std::size_t first_block_offset = (sizeof(slab) + block_grain - 1) / block_grain * block_grain;

slab* new_slab(std::size_t block) {
    auto* s = static_cast<slab*>(::operator new(slab_bytes, std::align_val_t(slab_bytes)));
    s->prev = s->next = nullptr;
    s->listed = false;
    s->live = 0;
    s->block = block;
    s->returned = nullptr;
    s->fresh = reinterpret_cast<char*>(s) + first_block_offset;
    s->end = reinterpret_cast<char*>(s) + slab_bytes;
    return s;
}

void list_slab(slab_class& c, slab* s) {
    s->prev = nullptr;
    s->next = c.with_room;
    if (c.with_room) c.with_room->prev = s;
    c.with_room = s;
    s->listed = true;
}

void unlist_slab(slab_class& c, slab* s) {
    if (s->prev) s->prev->next = s->next;
    else c.with_room = s->next;
    if (s->next) s->next->prev = s->prev;
    s->prev = s->next = nullptr;
    s->listed = false;
}

std::size_t size_class_of(std::size_t size) noexcept { return (size + block_grain - 1) / block_grain - 1; }

} // namespace

// Not inlined: seen through, the heap fallback looks to the compiler like a block of another allocator.
[[gnu::noinline]] void* TXmlNode::operator new(std::size_t size) {
    const std::size_t k = size_class_of(size);
    if (!node_slabs || k >= size_classes) return ::operator new(size);
    slab_class& c = slab_classes[k];
    const std::lock_guard<std::mutex> hold(c.lock);
    slab* s = c.with_room;
    if (!s) {
        s = c.spare ? std::exchange(c.spare, nullptr) : new_slab((k + 1) * block_grain);
        list_slab(c, s);
    }
    void* block;
    if (s->returned) {
        block = s->returned;
        s->returned = s->returned->next;
    } else {
        block = s->fresh;
        s->fresh += s->block;
    }
    ++s->live;
    if (!s->returned && s->fresh + s->block > s->end) unlist_slab(c, s);
    return block;
}

[[gnu::noinline]] void TXmlNode::operator delete(void* block, std::size_t size) noexcept {
    if (!block) return;
    const std::size_t k = size_class_of(size);
    if (!node_slabs || k >= size_classes) {
        ::operator delete(block);
        return;
    }
    slab_class& c = slab_classes[k];
    const std::lock_guard<std::mutex> hold(c.lock);
    auto* s = reinterpret_cast<slab*>(reinterpret_cast<std::uintptr_t>(block) & ~(slab_bytes - 1));
    auto* b = static_cast<free_block*>(block);
    b->next = s->returned;
    s->returned = b;
    if (!s->listed) list_slab(c, s);
    if (--s->live > 0) return;
    unlist_slab(c, s);
    if (c.spare) {
        ::operator delete(s, std::align_val_t(slab_bytes));
        return;
    }
    s->returned = nullptr;
    s->fresh = reinterpret_cast<char*>(s) + first_block_offset;
    c.spare = s;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a == b) return true;
    return xml_platform::compare_text_ignore_case(Utf8ToWide(a), Utf8ToWide(b)) == 0;
}

bool has_node_class(TXmlElementType type) noexcept { return type < xeEndTag; }

std::unique_ptr<TXmlNode> create_node(TXmlElementType type, TXmlDocument* document) {
    switch (type) {
    case xeElement: return std::make_unique<TXmlElement>(document);
    case xeAttribute: return std::make_unique<TXmlAttribute>(document);
    case xeCharData: return std::make_unique<TXmlCharData>(document);
    case xeComment: return std::make_unique<TXmlComment>(document);
    case xeCData: return std::make_unique<TXmlCData>(document);
    case xeCondSection: return std::make_unique<TXmlConditionalSection>(document);
    case xeDeclaration: return std::make_unique<TXmlDeclaration>(document);
    case xeStylesheet: return std::make_unique<TXmlStyleSheet>(document);
    case xeDocType: return std::make_unique<TXmlDocType>(document);
    case xeDtdElement: return std::make_unique<TXmlDtdElement>(document);
    case xeDtdAttList: return std::make_unique<TXmlDtdAttList>(document);
    case xeDtdEntity: return std::make_unique<TXmlDtdEntity>(document);
    case xeDtdNotation: return std::make_unique<TXmlDtdNotation>(document);
    case xeInstruction: return std::make_unique<TXmlInstruction>(document);
    case xeWhiteSpace: return std::make_unique<TXmlWhiteSpace>(document);
    case xeQuotedText: return std::make_unique<TXmlQuotedText>(document);
    default: return nullptr;
    }
}

// --- TXmlNode: identity and text

TXmlNode::TXmlNode(TXmlDocument* owner) : TDebugPersistent(owner) {
    if (!owner) raise("XML owner is not assigned");
}

void TXmlNode::raise_no_parent() { raise("XML parent is not assigned"); }

bool TXmlNode::is_container(const TXmlNode* node) noexcept {
    return node && const_cast<TXmlNode*>(node)->as_container() != nullptr;
}

TXmlDocument* TXmlNode::Document() const noexcept { return static_cast<TXmlDocument*>(FOwner); }

std::string TXmlNode::ElementTypeName() const { return element_type_name(ElementType()); }

void TXmlNode::SetName(std::string_view) { raise("cannot set name on this type of element"); }
void TXmlNode::SetValue(std::string_view) { raise("cannot set value on this type of element"); }

std::string TXmlNode::Symbol(std::int32_t id) const { return Document()->SymbolTable().GetString(id); }
std::int32_t TXmlNode::Intern(std::string_view s) const { return Document()->SymbolTable().AddString(s); }
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

void TXmlNode::Assign(const TPersistent* source) {
    if (dynamic_cast<const TXmlNode*>(source)) {
        CopyFrom(source);
    } else {
        TDebugPersistent::Assign(source);
    }
}

void TXmlNode::CopyOwn(const TXmlNode&) {}

void TXmlNode::CopyFrom(const TPersistent* node) {
    const auto* source = dynamic_cast<const TXmlNode*>(node);
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
            TXmlNode* copy = add_owned(dst->FNodes, child->CreateLike(Document()));
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

void TXmlNode::NodeInsertNear(TXmlNode* node, TXmlNode* other, bool is_before) {
    const int i = NodeIndexOf(other);
    NodeInsert(i < 0 ? NodeCount() : (is_before ? i : i + 1), node);
}

void TXmlNode::NodeRemove(TXmlNode* node) {
    const int i = NodeIndexOf(node);
    if (i >= 0) NodeDelete(i);
}

void TXmlNode::NodeRemoveEx(TXmlNode* node) {
    int i = NodeIndexOf(node);
    if (i < 0) return;
    NodeDelete(i);
    while (i > 0 && Nodes(i - 1)->ElementType() == xeWhiteSpace) NodeDelete(--i);
}

void TXmlNode::NodesAdd(const std::vector<TXmlNode*>& nodes) {
    for (TXmlNode* n : nodes) NodeAdd(n);
}

void TXmlNode::Delete() {
    if (FParent) FParent->NodeRemove(this);
}

TXmlNode* TXmlNode::NextSibling(const TXmlNode* node) const {
    const int i = NodeIndexOf(node);
    return i < 0 ? nullptr : Nodes(i + 1);
}

TXmlNode* TXmlNode::FirstNodeByType(TXmlElementType type) const {
    for (int i = 0; i < NodeCount(); ++i)
        if (Nodes(i)->ElementType() == type) return Nodes(i);
    return nullptr;
}

int TXmlNode::ContainerCount() const {
    int n = 0;
    for (int i = DirectNodeCount(); i < NodeCount(); ++i) n += dynamic_cast<TXmlContainerNode*>(Nodes(i)) != nullptr;
    return n;
}

TXmlNode* TXmlNode::Containers(int index) const {
    for (int i = DirectNodeCount(); i < NodeCount(); ++i)
        if (dynamic_cast<TXmlContainerNode*>(Nodes(i)) && index-- == 0) return Nodes(i);
    return nullptr;
}

int TXmlNode::ElementCount() const {
    int n = 0;
    for (int i = DirectNodeCount(); i < NodeCount(); ++i) n += dynamic_cast<TXmlElement*>(Nodes(i)) != nullptr;
    return n;
}

TXmlElement* TXmlNode::Elements(int index) const {
    for (int i = DirectNodeCount(); i < NodeCount(); ++i)
        if (auto* e = dynamic_cast<TXmlElement*>(Nodes(i)); e && index-- == 0) return e;
    return nullptr;
}

void TXmlNode::ElementsClear() {
    for (int i = NodeCount() - 1; i >= DirectNodeCount(); --i)
        if (dynamic_cast<TXmlElement*>(Nodes(i))) NodeDelete(i);
}

void TXmlNode::ElementDelete(int index) {
    if (TXmlElement* e = Elements(index)) NodeRemove(e);
}

bool TXmlNode::HasChildContainers() const {
    for (int i = DirectNodeCount(); i < NodeCount(); ++i)
        if (dynamic_cast<TXmlContainerNode*>(Nodes(i))) return true;
    return false;
}

TXmlNode* TXmlNode::NodeNew(std::string_view name) { return NodeNewAtIndex(NodeCount(), name); }

TXmlNode* TXmlNode::NodeNewAtIndex(int index, std::string_view name) {
    std::unique_ptr<TXmlNode> node = create_node(ElementType(), Document());
    if (!node) return nullptr;
    node->SetName(name);
    NodeInsert(index, node.get());
    return node.release();
}

TXmlNode* TXmlNode::NodeFindOrCreate(std::string_view name) {
    TXmlNode* n = NodeByName(name);
    return n ? n : NodeNew(name);
}

void TXmlNode::WriteNodeValue(std::string_view name, std::string_view value) {
    if (TXmlNode* n = NodeFindOrCreate(name)) n->SetValue(value);
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

TXmlAttribute* TXmlNode::Attributes(int index) const {
    if (index < 0) return nullptr;
    for (int i = 0; i < NodeCount(); ++i)
        if (Nodes(i)->ElementType() == xeAttribute && index-- == 0) return static_cast<TXmlAttribute*>(Nodes(i));
    return nullptr;
}

std::string TXmlNode::AttributeName(int index) const {
    const TXmlAttribute* a = Attributes(index);
    return a ? a->GetName() : std::string();
}

std::string TXmlNode::AttributeValue(int index) const {
    const TXmlAttribute* a = Attributes(index);
    return a ? a->GetValue() : std::string();
}

void TXmlNode::SetAttributeValue(int index, std::string_view value) {
    if (TXmlAttribute* a = Attributes(index)) a->SetValue(value);
}

int TXmlNode::AttributeValueAsInteger(int index) const {
    std::int64_t v = 0;
    return try_text_to_int64(AttributeValue(index), v) ? static_cast<int>(v) : 0;
}

void TXmlNode::SetAttributeValueAsInteger(int index, int value) { SetAttributeValue(index, int_to_text(value)); }

TXmlAttribute* TXmlNode::AttributeByName(std::string_view name) const {
    for (int i = 0; i < NodeCount(); ++i) {
        TXmlNode* n = Nodes(i);
        if (n->ElementType() == xeAttribute && same_name(n->GetName(), name)) return static_cast<TXmlAttribute*>(n);
    }
    return nullptr;
}

std::string TXmlNode::AttributeValueByName(std::string_view name) const {
    const TXmlAttribute* a = AttributeByName(name);
    return a ? a->GetValue() : std::string();
}

void TXmlNode::SetAttributeValueByName(std::string_view name, std::string_view value) {
    TXmlAttribute* a = AttributeByName(name);
    if (!a) a = AttributeAdd(name, {});
    a->SetValue(value);
}

String TXmlNode::AttributeValueByNameWide(std::string_view name) const { return Utf8ToWide(AttributeValueByName(name)); }

void TXmlNode::SetAttributeValueByNameWide(std::string_view name, StringView value) {
    SetAttributeValueByName(name, WideToUtf8(value));
}

TXmlAttribute* TXmlNode::AttributeAdd(std::string_view name, std::string_view value) {
    auto a = std::make_unique<TXmlAttribute>(Document());
    a->SetName(name);
    a->SetValue(value);
    AttributeAdd(a.get());
    return a.release();
}

void TXmlNode::AttributesAdd(const std::vector<TXmlAttribute*>& attributes) {
    for (TXmlAttribute* a : attributes) AttributeAdd(a);
}

void TXmlNode::AttributeDelete(int index) {
    if (TXmlAttribute* a = Attributes(index)) NodeRemove(a);
}

void TXmlNode::AttributesClear() {
    for (int i = NodeCount() - 1; i >= 0; --i)
        if (Nodes(i)->ElementType() == xeAttribute) NodeDelete(i);
}

int TXmlNode::AttributeIndexByName(std::string_view name) const {
    for (int i = 0; i < DirectNodeCount() && i < NodeCount(); ++i)
        if (same_name(Nodes(i)->GetName(), name)) return i;
    return -1;
}

int TXmlNode::NodeIndexByName(std::string_view name) const {
    for (int i = 0; i < NodeCount(); ++i)
        if (same_name(Nodes(i)->GetName(), name)) return i;
    return -1;
}

bool TXmlNode::HasAttribute(std::string_view name) const {
    for (int i = 0; i < NodeCount(); ++i)
        if (Nodes(i)->ElementType() == xeAttribute && Nodes(i)->GetName() == name) return true;
    return false;
}

// --- Search

TXmlNode* TXmlNode::NodeByName(std::string_view name) const {
    for (int i = 0; i < NodeCount(); ++i)
        if (same_name(Nodes(i)->GetName(), name)) return Nodes(i);
    return nullptr;
}

void TXmlNode::NodesByName(std::string_view name, TXmlNodeList* list) const {
    if (!list) return;
    list->Clear();
    for (int i = 0; i < NodeCount(); ++i)
        if (same_name(Nodes(i)->GetName(), name)) list->Add(Nodes(i));
}

namespace {

// A path names each node from the root with "/" before it. It is matched a piece at a time while
// descending, so a subtree whose path already differs is never entered and no full path is rebuilt.
// A name holding "/" spans as many pieces as it has parts.
class path_matcher {
public:
    explicit path_matcher(std::string_view path) {
        path.remove_prefix(1);
        for (;;) {
            const std::size_t slash = path.find('/');
            FPieces.push_back(path.substr(0, slash));
            if (slash == std::string_view::npos) break;
            path.remove_prefix(slash + 1);
        }
    }
    static constexpr std::size_t no_match = static_cast<std::size_t>(-1);
    std::size_t pieces() const noexcept { return FPieces.size(); }

    // The position after the node's name when it matches the pieces from `at`, else no_match.
    std::size_t step(const TXmlNode* n, std::size_t at) const {
        const std::string name = n->GetName();
        std::string_view rest = name;
        for (;;) {
            if (at >= FPieces.size()) return no_match;
            const std::size_t slash = rest.find('/');
            if (!same_name(rest.substr(0, slash), FPieces[at++])) return no_match;
            if (slash == std::string_view::npos) return at;
            rest.remove_prefix(slash + 1);
        }
    }

private:
    std::vector<std::string_view> FPieces;
};

// Every descendant of `root` whose full path is `path`, in document order; `visit` returns true to stop.
template <class Visit>
const TXmlNode* walk_path_matches(const TXmlNode* root, std::string_view path, Visit&& visit) {
    const path_matcher m(path);
    std::vector<const TXmlNode*> chain;
    for (const TXmlNode* n = root; n; n = n->Parent()) chain.push_back(n);
    std::size_t at = 0;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        if ((at = m.step(*it, at)) == path_matcher::no_match) return nullptr;
    return walk_descendants(root, at, [&](const TXmlNode* child, std::size_t& child_at) {
        child_at = m.step(child, child_at);
        if (child_at == path_matcher::no_match) return walk_step::skip;
        // Every node takes at least one piece, so below a whole match nothing can match.
        if (child_at < m.pieces()) return walk_step::enter;
        return visit(child) ? walk_step::stop : walk_step::skip;
    });
}

bool is_path(std::string_view node_name) { return !node_name.empty() && node_name.front() == '/'; }

} // namespace

TXmlNode* TXmlNode::FindNode(std::string_view node_name) const {
    const auto first = [](const TXmlNode*) { return true; };
    if (is_path(node_name)) return const_cast<TXmlNode*>(walk_path_matches(this, node_name, first));
    return const_cast<TXmlNode*>(
        walk_descendants(this, [&](const TXmlNode* n) { return same_name(n->GetName(), node_name); }));
}

void TXmlNode::FindNodes(std::string_view NodeName, TXmlNodeList* list) const {
    if (!list) return;
    list->Clear();
    const auto add = [&](const TXmlNode* n) {
        list->Add(const_cast<TXmlNode*>(n));
        return false;
    };
    if (is_path(NodeName)) {
        walk_path_matches(this, NodeName, add);
        return;
    }
    walk_descendants(this, [&](const TXmlNode* n) { return same_name(n->GetName(), NodeName) && add(n); });
}

TXmlNode* TXmlNode::NodeByAttributeValue(std::string_view NodeName, std::string_view attrib_name,
                                         std::string_view AttribValue, bool should_recurse) const {
    auto matches = [&](const TXmlNode* n) {
        return same_name(n->GetName(), NodeName) && n->HasAttribute(attrib_name) &&
               same_name(n->AttributeValueByName(attrib_name), AttribValue);
    };
    if (should_recurse) return const_cast<TXmlNode*>(walk_descendants(this, matches));
    for (int i = 0; i < NodeCount(); ++i)
        if (matches(Nodes(i))) return Nodes(i);
    return nullptr;
}

// --- Comparison and sorting

bool TXmlNode::IsEqualTo(const TXmlNode* node, TXmlCompareOptions options, TXmlNodeList* mismatch_nodes) const {
    if (!node) return false;
    auto mismatch = [&](const TXmlNode* n) {
        if (mismatch_nodes) mismatch_nodes->Add(const_cast<TXmlNode*>(n));
    };
    bool node_ok = true;
    if ((options & xcNodeName) && !same_name(GetName(), node->GetName())) node_ok = false;
    if ((options & xcNodeType) && ElementType() != node->ElementType()) node_ok = false;
    if ((options & xcNodeValue) && !same_name(GetValue(), node->GetValue())) node_ok = false;
    if ((options & xcAttribCount) && AttributeCount() != node->AttributeCount()) node_ok = false;
    if ((options & xcChildCount) && ContainerCount() != node->ContainerCount()) node_ok = false;
    if (!node_ok) mismatch(this);
    bool child_ok = true;
    if (options & (xcAttribNames | xcAttribValues | xcChildNames | xcChildValues)) {
        for (int i = 0; i < NodeCount(); ++i) {
            const TXmlNode* child = Nodes(i);
            const bool is_attr = child->ElementType() == xeAttribute;
            if (!is_attr && !dynamic_cast<const TXmlElement*>(child)) continue;
            const TXmlNode* other = node->NodeByName(child->GetName());
            if (other) {
                if ((options & (is_attr ? xcAttribValues : xcChildValues)) &&
                    !same_name(child->GetValue(), other->GetValue())) {
                    mismatch(child);
                    child_ok = false;
                }
                if ((options & xcRecursive) && !child->IsEqualTo(other, options, mismatch_nodes)) child_ok = false;
            } else if (options & (is_attr ? xcAttribNames : xcChildNames)) {
                mismatch(child);
                child_ok = false;
            }
        }
    }
    return node_ok && child_ok;
}

void TXmlNode::SortChildNodes(const compare_function& compare) {
    auto cmp = [&](TXmlNode* a, TXmlNode* b) {
        if (compare) return compare(a, b);
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

void TXmlCharData::SetName(std::string_view name) {
    if (!name.empty()) DoDebugOut(this, wsHint, "cannot set name on this type of element");
}

std::string TXmlCharData::GetValue() const {
    bool non_standard = false;
    return resolve_references(GetStoredTextForOutput(), non_standard);
}

void TXmlCharData::SetValue(std::string_view value) { SetStoredText(escape_text(normalise_line_ends(value))); }

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

std::string TXmlCharData::GetValueUsingReferences(const std::vector<TXmlNode*>& nodes) const {
    // Each entity's text is taken once (the first declaration of a name counts), and the expansion is
    // bounded in proportion to the text and the entities: a long entity referenced many times would
    // otherwise grow with the product of the two. Past the bound, references stay as they are.
    std::unordered_map<std::string, std::string> values;
    std::size_t input = 0;
    for (const TXmlNode* n : nodes) {
        if (!n || n->ElementType() != xeDtdEntity) continue;
        // A parameter entity is referred to as %name; in the DTD, never by a reference in the content.
        if (static_cast<const TXmlDtdEntity*>(n)->IsParameterEntity()) continue;
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

void TXmlCharData::CopyOwn(const TXmlNode& source) {
    if (auto* c = dynamic_cast<const TXmlCharData*>(&source)) FValueID = c->FValueID;
}

void TXmlQuotedText::CopyOwn(const TXmlNode& source) {
    TXmlCharData::CopyOwn(source);
    if (auto* q = dynamic_cast<const TXmlQuotedText*>(&source)) FQuoteStyle = q->FQuoteStyle;
}

// --- Attribute

TXmlAttribute::TXmlAttribute(TXmlDocument* owner) : TXmlNode(owner), FCoreValue(owner) {
    FCoreValue.FParent = this;
}

std::string TXmlAttribute::GetValue() const {
    bool non_standard = false;
    return resolve_references(Document()->SymbolTable().View(FCoreValue.ValueID()), non_standard);
}

void TXmlAttribute::SetValue(std::string_view value) { FCoreValue.SetStoredText(escape_text(value)); }

void TXmlAttribute::CopyOwn(const TXmlNode& source) {
    if (auto* a = dynamic_cast<const TXmlAttribute*>(&source)) {
        FNameID = a->FNameID;
        FCoreValue.CopyOwn(a->FCoreValue);
    }
}

// --- Node list

TXmlNodeList::~TXmlNodeList() { Clear(); }

TXmlNode* TXmlNodeList::Items(int index) const noexcept {
    return index >= 0 && index < Count() ? FItems[static_cast<std::size_t>(index)] : nullptr;
}

TXmlNode* TXmlNodeList::ByType(TXmlElementType type) const {
    for (TXmlNode* n : FItems)
        if (n->ElementType() == type) return n;
    return nullptr;
}

TXmlNode* TXmlNodeList::FindNext(const TXmlNode* node) const {
    if (!node) return nullptr;
    if (node->NodeCount() > 0) return node->Nodes(0);
    for (const TXmlNode* n = node; n;) {
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

int TXmlNodeList::Add(TXmlNode* node) {
    FItems.push_back(node);
    return Count() - 1;
}

void TXmlNodeList::Insert(int index, TXmlNode* node) {
    if (index < 0 || index > Count()) raise_list_index_error(index);
    FItems.insert(FItems.begin() + index, node);
}

int TXmlNodeList::IndexOf(const TXmlNode* node) const {
    for (int i : {FIndexHint, FIndexHint + 1, FIndexHint - 1})
        if (i >= 0 && i < Count() && FItems[static_cast<std::size_t>(i)] == node) return FIndexHint = i;
    // From the end: the node looked for is most often the one just added (parsing, repairs).
    for (std::size_t i = FItems.size(); i-- > 0;)
        if (FItems[i] == node) return FIndexHint = static_cast<int>(i);
    return -1;
}

void TXmlNodeList::Delete(int index) {
    TXmlNode* n = Extract(index);
    if (FOwnsObjects) free_node(n);
}

TXmlNode* TXmlNodeList::Extract(int index) {
    if (index < 0 || index >= Count()) raise_list_index_error(index);
    TXmlNode* n = FItems[static_cast<std::size_t>(index)];
    FItems.erase(FItems.begin() + index);
    return n;
}

void TXmlNodeList::Exchange(int index1, int index2) {
    if (!Items(index1)) raise_list_index_error(index1);
    if (!Items(index2)) raise_list_index_error(index2);
    std::swap(FItems[static_cast<std::size_t>(index1)], FItems[static_cast<std::size_t>(index2)]);
}

void TXmlNodeList::Clear() {
    std::vector<TXmlNode*> items;
    items.swap(FItems);
    if (FOwnsObjects)
        for (TXmlNode* n : items) free_node(n);
}

void free_node(TXmlNode* node) noexcept {
    std::vector<TXmlNode*> work;
    if (node) work.push_back(node);
    while (!work.empty()) {
        TXmlNode* n = work.back();
        work.pop_back();
        if (TXmlContainerNode* c = n->as_container()) {
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

int TXmlContainerNode::NodeAdd(TXmlNode* node) {
    if (!node) return -1;
    const int i = FNodes.Add(node);
    node->FParent = this;
    return i;
}

void TXmlContainerNode::NodeInsert(int index, TXmlNode* node) {
    if (!node) return;
    FNodes.Insert(index, node);
    node->FParent = this;
}

void TXmlContainerNode::NodeDelete(int index) {
    TXmlNode* n = FNodes.Items(index);
    if (!n) raise_list_index_error(index);
    if (index < FDirectNodeCount) --FDirectNodeCount;
    if (n == FValueNode) FValueNode = nullptr;
    FNodes.Delete(index);
}

TXmlNode* TXmlContainerNode::NodeExtract(TXmlNode* node) {
    const int i = FNodes.IndexOf(node);
    if (i < 0) return nullptr;
    // The counts follow the list, so an extracted attribute or value child is no longer counted.
    if (i < FDirectNodeCount) --FDirectNodeCount;
    if (node == FValueNode) FValueNode = nullptr;
    FNodes.Extract(i);
    node->FParent = nullptr;
    return node;
}

void TXmlContainerNode::NodeExchange(int index1, int index2) { FNodes.Exchange(index1, index2); }

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

void TXmlContainerNode::AttributeAdd(TXmlAttribute* attribute) {
    if (!attribute) return;
    if (attribute->Document() != Document()) {
        DoDebugOut(this, wsFail, "XML owner is not assigned");
        return;
    }
    FNodes.Insert(FDirectNodeCount < FNodes.Count() ? FDirectNodeCount : FNodes.Count(), attribute);
    attribute->FParent = this;
    ++FDirectNodeCount;
}

int TXmlContainerNode::ValueIndex() const { return FValueNode ? FNodes.IndexOf(FValueNode) : -1; }

void TXmlContainerNode::SetValueIndex(int index) { FValueNode = FNodes.Items(index); }

TXmlNodeClosingStyle TXmlContainerNode::NodeClosingStyle() const {
    const TXmlNodeClosingStyle doc = Document()->NodeClosingStyle;
    return doc == ncDefault ? FNodeClosingStyle : doc;
}

void TXmlContainerNode::CopyOwn(const TXmlNode&) {}

// --- Element

std::string TXmlElement::GetValue() const { return FValueNode ? FValueNode->GetValue() : std::string(); }

void TXmlElement::SetValue(std::string_view value) {
    if (value.empty()) {
        if (FValueNode) NodeDelete(FNodes.IndexOf(FValueNode));
        return;
    }
    if (FValueNode) {
        FValueNode->SetValue(value);
        return;
    }
    auto text = std::make_unique<TXmlCharData>(Document());
    text->SetValue(value);
    NodeInsert(FDirectNodeCount < FNodes.Count() ? FDirectNodeCount : FNodes.Count(), text.get());
    FValueNode = text.release();
}

void TXmlElement::CopyOwn(const TXmlNode& source) {
    if (auto* e = dynamic_cast<const TXmlElement*>(&source)) {
        FNameID = e->FNameID;
        FNodeClosingStyle = e->FNodeClosingStyle;
    }
}

// --- DTD declarations

bool TXmlDtdEntity::IsParameterEntity() const {
    if (FDirectNodeCount == 0) return false;
    const auto* marker = dynamic_cast<const TXmlCharData*>(FNodes.Items(0));
    return marker && marker->GetStoredText() == "%";
}

// --- DOCTYPE

TXmlDocType::TXmlDocType(TXmlDocument* owner)
    : TXmlContainerNode(owner), FExternalID(owner), FSystemLiteral(owner), FPubIDLiteral(owner) {}

void TXmlDocType::CopyOwn(const TXmlNode& source) {
    if (auto* d = dynamic_cast<const TXmlDocType*>(&source)) {
        FNameID = d->FNameID;
        FExternalID.CopyOwn(d->FExternalID);
        FSystemLiteral.CopyOwn(d->FSystemLiteral);
        FPubIDLiteral.CopyOwn(d->FPubIDLiteral);
    }
}

} // namespace kq
