#pragma once
// TXmlNode and its classes (character data, comments, attributes, elements, declarations, DTD parts), TXmlNodeList.
#include "framework/Strings.h"
#include "xml/XmlDebug.h"
#include "xml/XmlTextConversions.h"
#include "xml/XmlTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kq {

class TStream;
class TXmlDocument;
class TXmlParser;
class TXmlAttribute;
class TXmlElement;
class TXmlContainerNode;
class TXmlNodeList;
namespace detail {
class binary_reader;
class binary_writer;
} // namespace detail

// Base of every node. Names and texts are symbol IDs of the owning document's table. A new node is held
// by a unique_ptr until a list adopts it (add_owned, NodeAdd, NodeInsert, AttributeAdd) and owns it from then on.
class TXmlNode : public TDebugPersistent {
public:
    // Raises "XML owner is not assigned" without a document.
    explicit TXmlNode(TXmlDocument* owner);
    ~TXmlNode() override = default;

    // Construction helpers of the node classes: a new T (owned by the caller until added), named (and
    // valued), or added to parent, which then owns it.
    template <class T>
    static T* CreateName(TXmlDocument* owner, std::string_view name) {
        auto node = std::make_unique<T>(owner);
        node->SetName(name);
        return node.release();
    }
    template <class T>
    static T* CreateNameValue(TXmlDocument* owner, std::string_view name, std::string_view value) {
        auto node = std::make_unique<T>(owner);
        node->SetName(name);
        node->SetValue(value);
        return node.release();
    }
    // Raises "XML parent is not assigned" without a parent.
    template <class T>
    static T* CreateParent(TXmlDocument* owner, TXmlNode* parent) {
        auto node = std::make_unique<T>(owner);
        if (!parent) raise_no_parent();
        parent->NodeAdd(node.get());
        return node.release();
    }
    // Inserted just before or behind sibling; raises "XML parent is not assigned" unless parent is a container.
    template <class T>
    static T* CreateParentNear(TXmlDocument* owner, TXmlNode* parent, TXmlNode* sibling, bool is_before) {
        auto node = std::make_unique<T>(owner);
        if (!is_container(parent)) raise_no_parent();
        parent->NodeInsertNear(node.get(), sibling, is_before);
        return node.release();
    }

    // Nodes come from slabs of equal-sized blocks: a large tree is built and freed without a call to
    // the C library per node, and without its per-block overhead.
    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size) noexcept;

    TXmlDocument* Document() const noexcept;
    TXmlNode* Parent() const noexcept { return FParent; }
    virtual TXmlElementType ElementType() const { return xeError; }
    std::string ElementTypeName() const;

    // --- Names and values (UTF-8)
    virtual std::string GetName() const { return {}; }
    // The node as a container, or null: cheaper than a cast where every node of a tree is asked.
    virtual TXmlContainerNode* as_container() noexcept { return nullptr; }
    virtual void SetName(std::string_view name);
    virtual std::string GetValue() const { return {}; }
    virtual void SetValue(std::string_view value);
    std::string Name() const { return GetName(); }
    std::string Value() const { return GetValue(); }
    String NameUnicode() const { return Utf8ToWide(GetName()); }
    void SetNameUnicode(StringView name) { SetName(WideToUtf8(name)); }
    String ValueUnicode() const { return Utf8ToWide(GetValue()); }
    void SetValueUnicode(StringView value) { SetValue(WideToUtf8(value)); }
    // The library's conversions, also reachable through the node class.
    static std::string WideToUtf8(StringView text) { return kq::WideToUtf8(text); }
    static String Utf8ToWide(std::string_view text) { return kq::Utf8ToWide(text); }
    std::string Content() const;
    std::string WriteToString() const;

    int TreeDepth() const noexcept;
    std::string FullPath() const;
    int IndexInParent() const;
    int SourcePos() const noexcept { return 0; }

    // --- Copying
    void Assign(const TPersistent* source) override;
    // Raises "CopyFrom can only be used with TXmlNode descendants" for other objects.
    void CopyFrom(const TPersistent* node);

    // --- Child list (a plain node has none)
    virtual int DirectNodeCount() const noexcept { return 0; }
    virtual int NodeCount() const noexcept { return 0; }
    virtual TXmlNode* Nodes(int index) const noexcept;
    virtual int NodeIndexOf(const TXmlNode* node) const;
    virtual int NodeAdd(TXmlNode* node);
    virtual void NodeInsert(int index, TXmlNode* node);
    void NodeInsertNear(TXmlNode* node, TXmlNode* other, bool is_before);
    virtual void NodeDelete(int index);
    void NodeRemove(TXmlNode* node);
    void NodeRemoveEx(TXmlNode* node);
    virtual TXmlNode* NodeExtract(TXmlNode* node);
    virtual void NodeExchange(int index1, int index2);
    virtual void NodesClear();
    virtual void Clear();
    void NodesAdd(const std::vector<TXmlNode*>& nodes);
    void Delete();
    TXmlNode* NextSibling(const TXmlNode* node) const;
    TXmlNode* FirstNodeByType(TXmlElementType type) const;
    int ContainerCount() const;
    TXmlNode* Containers(int index) const;
    int ElementCount() const;
    TXmlElement* Elements(int index) const;
    void ElementsClear();
    void ElementDelete(int index);
    bool HasChildContainers() const;
    TXmlNode* NodeNew(std::string_view name);
    TXmlNode* NodeNewAtIndex(int index, std::string_view name);
    TXmlNode* NodeFindOrCreate(std::string_view name);
    void WriteNodeValue(std::string_view name, std::string_view value);
    void DeleteEmptyNodes();
    bool IsEmpty() const { return NodeCount() == 0 && GetValue().empty(); }
    bool IsClear() const { return IsEmpty() && GetName().empty(); }

    // --- Attributes
    int AttributeCount() const;
    TXmlAttribute* Attributes(int index) const;
    std::string AttributeName(int index) const;
    std::string AttributeValue(int index) const;
    void SetAttributeValue(int index, std::string_view value);
    int AttributeValueAsInteger(int index) const;
    void SetAttributeValueAsInteger(int index, int value);
    TXmlAttribute* AttributeByName(std::string_view name) const;
    std::string AttributeValueByName(std::string_view name) const;
    void SetAttributeValueByName(std::string_view name, std::string_view value);
    String AttributeValueByNameWide(std::string_view name) const;
    void SetAttributeValueByNameWide(std::string_view name, StringView value);
    TXmlAttribute* AttributeAdd(std::string_view name, std::string_view value);
    virtual void AttributeAdd(TXmlAttribute* attribute);
    void AttributesAdd(const std::vector<TXmlAttribute*>& attributes);
    void AttributeDelete(int index);
    void AttributesClear();
    int AttributeIndexByName(std::string_view name) const;
    int NodeIndexByName(std::string_view name) const;
    bool HasAttribute(std::string_view name) const;

    // --- Search (names compared ignoring case)
    TXmlNode* NodeByName(std::string_view name) const;
    void NodesByName(std::string_view name, TXmlNodeList* list) const;
    TXmlNode* FindNode(std::string_view node_name) const;
    void FindNodes(std::string_view node_name, TXmlNodeList* list) const;
    TXmlNode* NodeByAttributeValue(std::string_view node_name, std::string_view attrib_name,
                                   std::string_view attrib_value, bool should_recurse = true) const;

    bool IsEqualTo(const TXmlNode* node, TXmlCompareOptions options, TXmlNodeList* mismatch_nodes = nullptr) const;
    using compare_function = std::function<int(TXmlNode* a, TXmlNode* b)>;
    void SortChildNodes(const compare_function& compare = {});

    // --- Typed values
    bool ValueAsBool() const;
    std::int32_t ValueAsInteger() const;
    std::int64_t ValueAsInt64() const;
    double ValueAsFloat() const;
    double ValueAsDateTime() const;
    bool GetValueAsBoolDef(bool default_value) const;
    double GetValueAsFloatDef(double default_value) const;
    double GetValueAsDateTimeDef(double default_value) const;
    std::int32_t GetValueAsIntegerDef(std::int32_t default_value) const;
    std::int64_t GetValueAsInt64Def(std::int64_t default_value) const;
    bool GetValueAsBool() const { return ValueAsBool(); }
    double GetValueAsFloat() const { return ValueAsFloat(); }
    double GetValueAsDateTime() const { return ValueAsDateTime(); }
    std::int32_t GetValueAsInteger() const { return ValueAsInteger(); }
    std::int64_t GetValueAsInt64() const { return ValueAsInt64(); }
    void SetValueAsBool(bool value);
    void SetValueAsFloat(double value);
    void SetValueAsDate(double value);
    void SetValueAsTime(double value);
    void SetValueAsDateTime(double value);
    void SetValueAsInteger(std::int32_t value);
    void SetValueAsInt64(std::int64_t value);

    bool ReadAttributeBool(std::string_view name, bool default_value = false) const;
    std::int32_t ReadAttributeInteger(std::string_view name, std::int32_t default_value = 0) const;
    std::int64_t ReadAttributeInt64(std::string_view name, std::int64_t default_value = 0) const;
    double ReadAttributeFloat(std::string_view name, double default_value = 0) const;
    std::string ReadAttributeString(std::string_view name, std::string_view default_value = {}) const;
    String ReadAttributeUnicodeString(std::string_view name, StringView default_value = {}) const;
    std::string ReadAttributeAnsiString(std::string_view name, std::string_view default_value = {}) const;
    double ReadAttributeDateTime(std::string_view name, double default_value = 0) const;

    bool ReadBool(std::string_view name, bool default_value = false) const;
    double ReadDateTime(std::string_view name, double default_value = 0) const;
    double ReadFloat(std::string_view name, double default_value = 0) const;
    std::int32_t ReadInteger(std::string_view name, std::int32_t default_value = 0) const;
    std::int64_t ReadInt64(std::string_view name, std::int64_t default_value = 0) const;
    std::string ReadString(std::string_view name, std::string_view default_value = {}) const;
    String ReadUnicodeString(std::string_view name, StringView default_value = {}) const;
    std::string ReadAnsiString(std::string_view name, std::string_view default_value = {}) const;

    void WriteAttributeInteger(std::string_view name, std::int32_t value, std::int32_t default_value = 0);
    void WriteAttributeInt64(std::string_view name, std::int64_t value, std::int64_t default_value = 0);
    void WriteAttributeFloat(std::string_view name, double value, double default_value = 0);
    void WriteAttributeString(std::string_view name, std::string_view value, std::string_view default_value = {});
    void WriteAttributeUnicodeString(std::string_view name, StringView value, StringView default_value = {});
    void WriteAttributeAnsiString(std::string_view name, std::string_view value, std::string_view default_value = {});
    void WriteAttributeDateTime(std::string_view name, double value, double default_value = 0);
    void WriteAttributeBool(std::string_view name, bool value, bool default_value = false);

    void WriteBool(std::string_view name, bool value, bool default_value = false);
    void WriteDateTime(std::string_view name, double value, double default_value = 0);
    void WriteFloat(std::string_view name, double value, double default_value = 0);
    void WriteHex(std::string_view name, std::uint32_t value, int digits, std::uint32_t default_value = 0);
    void WriteInteger(std::string_view name, std::int32_t value, std::int32_t default_value = 0);
    void WriteInt64(std::string_view name, std::int64_t value, std::int64_t default_value = 0);
    void WriteString(std::string_view name, std::string_view value, std::string_view default_value = {});
    void WriteUnicodeString(std::string_view name, StringView value, StringView default_value = {});
    void WriteAnsiString(std::string_view name, std::string_view value, std::string_view default_value = {});

    int BufferLength() const;
    void BufferRead(void* buffer, int count, TXmlBinaryEncoding binary_encoding = xbeBase64) const;
    void BufferWrite(const void* buffer, int count);
    std::string BinaryString() const;
    void SetBinaryString(std::string_view value);

    // --- Text pieces of the writer
    std::string IndentPrefix() const;
    std::string FormatLineBreak() const;
    std::string LineBreak() const;

    // --- Reading and writing XML text. ParseStream returns the node at which parsing ended (normally
    // this one; another node or nullptr when the text's structure is broken).
    virtual TXmlNode* ParseStream(TXmlParser& p);
    virtual void WriteStream(TStream& s) const;
    // Children's text for DTD declarations; nothing for other nodes.
    virtual void WriteInnerNodes(TStream&) const {}

    // A new node of this node's exact class in document, the caller's until a list adopts it.
    virtual std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const {
        return std::make_unique<TXmlNode>(document);
    }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    [[noreturn]] static void raise_no_parent();
    static bool is_container(const TXmlNode* node) noexcept;

    friend class TXmlContainerNode;
    friend class TXmlNodeList;
    friend class TXmlDocument;
    friend class TXmlAttribute;

    // Copies this class's own data (not the children) from a node of the same class.
    virtual void CopyOwn(const TXmlNode& source);
    std::string Symbol(std::int32_t id) const;
    std::int32_t Intern(std::string_view s) const;
    bool ReadsWhiteSpace() const;
    TXmlEolStyle EolStyle() const;

    TXmlNode* FParent = nullptr;
};

// Text held as XML writes it: entities for the special characters, LF for every line end.
class TXmlCharData : public TXmlNode {
public:
    using TXmlNode::TXmlNode;
    TXmlElementType ElementType() const override { return xeCharData; }
    std::string GetName() const override { return ElementTypeName(); }
    void SetName(std::string_view name) override;
    std::string GetValue() const override;
    void SetValue(std::string_view value) override;
    void WriteStream(TStream& s) const override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlCharData>(document);
    }

    virtual std::string GetStoredText() const { return Symbol(FValueID); }
    virtual std::string GetStoredTextForOutput() const;
    virtual void SetStoredText(std::string_view text) { FValueID = Intern(text); }
    virtual bool IsWhiteSpace() const;
    bool HasNonStandardReferences() const;
    std::string GetValueUsingReferences(const std::vector<TXmlNode*>& nodes) const;
    std::int32_t ValueID() const noexcept { return FValueID; }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    friend class TXmlAttribute;
    friend class TXmlDocType;
    void CopyOwn(const TXmlNode& source) override;
    std::int32_t FValueID = 0;
};

class TXmlWhiteSpace : public TXmlCharData {
public:
    using TXmlCharData::TXmlCharData;
    TXmlElementType ElementType() const override { return xeWhiteSpace; }
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlWhiteSpace>(document);
    }
};

class TXmlQuotedText : public TXmlCharData {
public:
    using TXmlCharData::TXmlCharData;
    TXmlElementType ElementType() const override { return xeQuotedText; }
    TXmlNode* ParseStream(TXmlParser& p) override;
    void WriteStream(TStream& s) const override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlQuotedText>(document);
    }
    TXmlQuoteCharStyle QuoteStyle() const noexcept { return FQuoteStyle; }
    void SetQuoteStyle(TXmlQuoteCharStyle style) noexcept { FQuoteStyle = style; }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    friend class TXmlAttribute;
    friend class TXmlDocType;
    void CopyOwn(const TXmlNode& source) override;
    TXmlQuoteCharStyle FQuoteStyle = qsQuote;
};

class TXmlComment : public TXmlCharData {
public:
    using TXmlCharData::TXmlCharData;
    TXmlElementType ElementType() const override { return xeComment; }
    TXmlNode* ParseStream(TXmlParser& p) override;
    void WriteStream(TStream& s) const override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlComment>(document);
    }
};

class TXmlCData : public TXmlComment {
public:
    using TXmlComment::TXmlComment;
    TXmlElementType ElementType() const override { return xeCData; }
    std::string GetValue() const override { return GetStoredText(); }
    void SetValue(std::string_view value) override { SetStoredText(value); }
    TXmlNode* ParseStream(TXmlParser& p) override;
    void WriteStream(TStream& s) const override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlCData>(document);
    }
};

// Behaves as a comment in every respect.
class TXmlConditionalSection : public TXmlComment {
public:
    using TXmlComment::TXmlComment;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlConditionalSection>(document);
    }
};

class TXmlInstruction : public TXmlCharData {
public:
    using TXmlCharData::TXmlCharData;
    TXmlElementType ElementType() const override { return xeInstruction; }
    std::string GetName() const override { return "PI"; }
    TXmlNode* ParseStream(TXmlParser& p) override;
    void WriteStream(TStream& s) const override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlInstruction>(document);
    }
};

class TXmlAttribute : public TXmlNode {
public:
    explicit TXmlAttribute(TXmlDocument* owner);
    TXmlElementType ElementType() const override { return xeAttribute; }
    std::string GetName() const override { return Symbol(FNameID); }
    void SetName(std::string_view name) override { FNameID = Intern(name); }
    std::string GetValue() const override;
    void SetValue(std::string_view value) override;
    TXmlNode* ParseStream(TXmlParser& p) override;
    void WriteStream(TStream& s) const override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlAttribute>(document);
    }
    TXmlQuotedText& CoreValue() noexcept { return FCoreValue; }
    const TXmlQuotedText& CoreValue() const noexcept { return FCoreValue; }
    std::int32_t NameID() const noexcept { return FNameID; }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    void CopyOwn(const TXmlNode& source) override;
    TXmlQuotedText FCoreValue;
    std::int32_t FNameID = 0;
};

// Owns the nodes in its list; frees them without recursion, so trees of any depth can be freed.
class TXmlNodeList {
public:
    explicit TXmlNodeList(bool owns_objects = true) : FOwnsObjects(owns_objects) {}
    TXmlNodeList(const TXmlNodeList&) = delete;
    TXmlNodeList& operator=(const TXmlNodeList&) = delete;
    ~TXmlNodeList();

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    TXmlNode* Items(int index) const noexcept;
    TXmlNode* ByType(TXmlElementType type) const;
    TXmlNode* FindFirst() const { return Items(0); }
    // The next node in document order; raises "index must be >= 0" for a root node not in the list.
    TXmlNode* FindNext(const TXmlNode* node) const;

    int Add(TXmlNode* node);
    void Insert(int index, TXmlNode* node);
    int IndexOf(const TXmlNode* node) const;
    // Removes and frees (when owning).
    void Delete(int index);
    // Removes without freeing.
    TXmlNode* Extract(int index);
    void Exchange(int index1, int index2);
    void Clear();
    std::vector<TXmlNode*>& Items() noexcept { return FItems; }
    const std::vector<TXmlNode*>& Items() const noexcept { return FItems; }

private:
    std::vector<TXmlNode*> FItems;
    // Where IndexOf last found a node: walking the list in order asks for the neighbour of the last
    // answer, so each step costs the same however long the list. Any value is merely a guess.
    mutable int FIndexHint = 0;
    bool FOwnsObjects;
};

// Frees a node and its whole subtree without recursion.
void free_node(TXmlNode* node) noexcept;

class TXmlContainerNode : public TXmlNode {
public:
    explicit TXmlContainerNode(TXmlDocument* owner) : TXmlNode(owner) {}
    ~TXmlContainerNode() override;

    TXmlContainerNode* as_container() noexcept override { return this; }
    int DirectNodeCount() const noexcept override { return FDirectNodeCount; }
    void SetDirectNodeCount(int count) noexcept { FDirectNodeCount = count; }
    int NodeCount() const noexcept override { return FNodes.Count(); }
    TXmlNode* Nodes(int index) const noexcept override { return FNodes.Items(index); }
    int NodeIndexOf(const TXmlNode* node) const override { return FNodes.IndexOf(node); }
    int NodeAdd(TXmlNode* node) override;
    void NodeInsert(int index, TXmlNode* node) override;
    void NodeDelete(int index) override;
    TXmlNode* NodeExtract(TXmlNode* node) override;
    void NodeExchange(int index1, int index2) override;
    void NodesClear() override;
    void Clear() override;
    void AttributeAdd(TXmlAttribute* attribute) override;
    using TXmlNode::AttributeAdd;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlContainerNode>(document);
    }

    // Index of the child that holds the element's value, -1 when there is none.
    int ValueIndex() const;
    void SetValueIndex(int index);
    TXmlNodeClosingStyle OwnClosingStyle() const noexcept { return FNodeClosingStyle; }
    void SetOwnClosingStyle(TXmlNodeClosingStyle style) noexcept { FNodeClosingStyle = style; }
    // The document's style unless that is ncDefault, then this node's own.
    TXmlNodeClosingStyle NodeClosingStyle() const;

    // Writes the first count children that are attributes or character data.
    void WriteAttributesTo(TStream& s, int count) const;

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    friend class TXmlNode;
    friend class TXmlDocument;
    friend class TXmlParser;
    friend void free_node(TXmlNode* node) noexcept;
    void CopyOwn(const TXmlNode& source) override;
    // Shared by the parser's node kinds: the attribute list of a tag, ended by one of "!/>?".
    char ReadAttributes(TXmlParser& p);
    // The literals of a declaration and the words of an external identifier between them, up to one of "!/>".
    char ReadQuotedTexts(TXmlParser& p);
    virtual void ReadTextBeforeTag(TXmlParser& p);

    TXmlNodeList FNodes;
    int FDirectNodeCount = 0;
    // The value child is kept by identity, so inserting, moving or sorting children cannot lose it.
    TXmlNode* FValueNode = nullptr;
    TXmlNodeClosingStyle FNodeClosingStyle = ncDefault;
};

class TXmlElement : public TXmlContainerNode {
public:
    using TXmlContainerNode::TXmlContainerNode;
    TXmlElementType ElementType() const override { return xeElement; }
    std::string GetName() const override { return Symbol(FNameID); }
    void SetName(std::string_view name) override { FNameID = Intern(name); }
    std::string GetValue() const override;
    void SetValue(std::string_view value) override;
    TXmlNode* ParseStream(TXmlParser& p) override;
    void WriteStream(TStream& s) const override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlElement>(document);
    }
    std::int32_t NameID() const noexcept { return FNameID; }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    friend class TXmlParser;
    void CopyOwn(const TXmlNode& source) override;
    void ReadTextBeforeTag(TXmlParser& p) override;
    std::int32_t FNameID = 0;
};

class TXmlDeclaration : public TXmlContainerNode {
public:
    using TXmlContainerNode::TXmlContainerNode;
    TXmlElementType ElementType() const override { return xeDeclaration; }
    std::string GetName() const override { return "xml"; }
    TXmlNode* ParseStream(TXmlParser& p) override;
    void WriteStream(TStream& s) const override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlDeclaration>(document);
    }
    std::string Version() const { return AttributeValueByName("version"); }
    void SetVersion(std::string_view v) { SetAttributeValueByName("version", v); }
    std::string Encoding() const { return AttributeValueByName("encoding"); }
    void SetEncoding(std::string_view e) { SetAttributeValueByName("encoding", e); }
};

class TXmlStyleSheet : public TXmlDeclaration {
public:
    using TXmlDeclaration::TXmlDeclaration;
    TXmlElementType ElementType() const override { return xeStylesheet; }
    std::string GetName() const override { return "xml-stylesheet"; }
    void WriteStream(TStream& s) const override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlStyleSheet>(document);
    }
};

class TXmlDocType : public TXmlContainerNode {
public:
    explicit TXmlDocType(TXmlDocument* owner);
    TXmlElementType ElementType() const override { return xeDocType; }
    std::string GetName() const override { return Symbol(FNameID); }
    void SetName(std::string_view name) override { FNameID = Intern(name); }
    TXmlNode* ParseStream(TXmlParser& p) override;
    void WriteStream(TStream& s) const override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlDocType>(document);
    }
    TXmlCharData& ExternalID() noexcept { return FExternalID; }
    TXmlQuotedText& SystemLiteral() noexcept { return FSystemLiteral; }
    TXmlQuotedText& PubIDLiteral() noexcept { return FPubIDLiteral; }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    void CopyOwn(const TXmlNode& source) override;
    void ReadTextBeforeTag(TXmlParser& p) override;
    std::int32_t FNameID = 0;
    TXmlCharData FExternalID;
    TXmlQuotedText FSystemLiteral;
    TXmlQuotedText FPubIDLiteral;
};

class TXmlDtdElement : public TXmlElement {
public:
    using TXmlElement::TXmlElement;
    TXmlElementType ElementType() const override { return xeDtdElement; }
    std::string GetValue() const override { return Content(); }
    TXmlNode* ParseStream(TXmlParser& p) override;
    void WriteStream(TStream& s) const override;
    void WriteInnerNodes(TStream& s) const override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlDtdElement>(document);
    }

protected:
    virtual void ReadContent(TXmlParser& p);
};

class TXmlDtdAttList : public TXmlDtdElement {
public:
    using TXmlDtdElement::TXmlDtdElement;
    TXmlElementType ElementType() const override { return xeDtdAttList; }
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlDtdAttList>(document);
    }
};

// Its children are the declaration's parts as read: literals as quoted texts, the words SYSTEM, PUBLIC,
// NDATA and the notation name as character data. A parameter entity holds its marker "%" as a direct
// node, which is written before the name.
class TXmlDtdEntity : public TXmlDtdElement {
public:
    using TXmlDtdElement::TXmlDtdElement;
    TXmlElementType ElementType() const override { return xeDtdEntity; }
    TXmlNode* ParseStream(TXmlParser& p) override;
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlDtdEntity>(document);
    }
    // Referred to as %name; inside the DTD, never by &name; in the content.
    bool IsParameterEntity() const;

protected:
    void ReadContent(TXmlParser& p) override;
};

class TXmlDtdNotation : public TXmlDtdElement {
public:
    using TXmlDtdElement::TXmlDtdElement;
    TXmlElementType ElementType() const override { return xeDtdNotation; }
    std::unique_ptr<TXmlNode> CreateLike(TXmlDocument* document) const override {
        return std::make_unique<TXmlDtdNotation>(document);
    }
};

// The node class of an element type: a new node with that document, or nullptr for types without one.
std::unique_ptr<TXmlNode> create_node(TXmlElementType type, TXmlDocument* document);

// Hands a new node to the list or parent that owns it from then on (Add, Insert, NodeAdd) and returns it,
// borrowed. When the adding call throws, the node is still the caller's and goes with the unique_ptr.
template <class T>
T* add_owned(TXmlNodeList& list, std::unique_ptr<T> node) {
    list.Add(node.get());
    return node.release();
}
template <class T>
T* insert_owned(TXmlNodeList& list, int index, std::unique_ptr<T> node) {
    list.Insert(index, node.get());
    return node.release();
}
template <class T>
T* add_owned(TXmlNode& parent, std::unique_ptr<T> node) {
    parent.NodeAdd(node.get());
    return node.release();
}
bool has_node_class(TXmlElementType type) noexcept;

// Name comparison of the whole library: UTF-16, locale-aware, ignoring case.
bool same_name(std::string_view a, std::string_view b);

} // namespace kq
