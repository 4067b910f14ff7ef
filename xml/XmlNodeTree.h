#pragma once

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
class TXmlNodeList;
namespace detail {
class binary_reader;
class binary_writer;
} // namespace detail

// Base of every node. Names and texts are symbol IDs of the owning document's table. Nodes are created
// with `new` and handed to a list (NodeAdd, NodeInsert, AttributeAdd), which owns them from then on.
class TXmlNode : public TDebugPersistent {
public:
    // Raises "XML owner is not assigned" without a document.
    explicit TXmlNode(TXmlDocument* AOwner);
    ~TXmlNode() override = default;

    // Construction helpers of the node classes: a new T (owned by the caller until added), named (and
    // valued), or added to AParent, which then owns it.
    template <class T>
    static T* CreateName(TXmlDocument* AOwner, std::string_view Name) {
        auto node = std::make_unique<T>(AOwner);
        node->SetName(Name);
        return node.release();
    }
    template <class T>
    static T* CreateNameValue(TXmlDocument* AOwner, std::string_view Name, std::string_view Value) {
        auto node = std::make_unique<T>(AOwner);
        node->SetName(Name);
        node->SetValue(Value);
        return node.release();
    }
    // Raises "XML parent is not assigned" without a parent.
    template <class T>
    static T* CreateParent(TXmlDocument* AOwner, TXmlNode* AParent) {
        auto node = std::make_unique<T>(AOwner);
        if (!AParent) raise_no_parent();
        AParent->NodeAdd(node.get());
        return node.release();
    }
    // Inserted just before or behind ANode; raises "XML parent is not assigned" unless AParent is a container.
    template <class T>
    static T* CreateParentNear(TXmlDocument* AOwner, TXmlNode* AParent, TXmlNode* ANode, bool IsBefore) {
        auto node = std::make_unique<T>(AOwner);
        if (!is_container(AParent)) raise_no_parent();
        AParent->NodeInsertNear(node.get(), ANode, IsBefore);
        return node.release();
    }

    TXmlDocument* Document() const noexcept;
    TXmlNode* Parent() const noexcept { return FParent; }
    virtual TXmlElementType ElementType() const { return xeError; }
    std::string ElementTypeName() const;

    // --- Names and values (UTF-8)
    virtual std::string GetName() const { return {}; }
    virtual void SetName(std::string_view AName);
    virtual std::string GetValue() const { return {}; }
    virtual void SetValue(std::string_view AValue);
    std::string Name() const { return GetName(); }
    std::string Value() const { return GetValue(); }
    String NameUnicode() const { return Utf8ToWide(GetName()); }
    void SetNameUnicode(StringView AName) { SetName(WideToUtf8(AName)); }
    String ValueUnicode() const { return Utf8ToWide(GetValue()); }
    void SetValueUnicode(StringView AValue) { SetValue(WideToUtf8(AValue)); }
    // The library's conversions, also reachable through the node class.
    static std::string WideToUtf8(StringView AText) { return kq::WideToUtf8(AText); }
    static String Utf8ToWide(std::string_view AText) { return kq::Utf8ToWide(AText); }
    std::string Content() const;
    std::string WriteToString() const;

    int TreeDepth() const noexcept;
    std::string FullPath() const;
    int IndexInParent() const;
    int SourcePos() const noexcept { return 0; }

    // --- Copying
    void Assign(const TPersistent* Source) override;
    // Raises "CopyFrom can only be used with TXmlNode descendants" for other objects.
    void CopyFrom(const TPersistent* ANode);

    // --- Child list (a plain node has none)
    virtual int DirectNodeCount() const noexcept { return 0; }
    virtual int NodeCount() const noexcept { return 0; }
    virtual TXmlNode* Nodes(int Index) const noexcept;
    virtual int NodeIndexOf(const TXmlNode* ANode) const;
    virtual int NodeAdd(TXmlNode* ANode);
    virtual void NodeInsert(int Index, TXmlNode* ANode);
    void NodeInsertNear(TXmlNode* ANode, TXmlNode* AOther, bool IsBefore);
    virtual void NodeDelete(int Index);
    void NodeRemove(TXmlNode* ANode);
    void NodeRemoveEx(TXmlNode* ANode);
    virtual TXmlNode* NodeExtract(TXmlNode* ANode);
    virtual void NodeExchange(int Index1, int Index2);
    virtual void NodesClear();
    virtual void Clear();
    void NodesAdd(const std::vector<TXmlNode*>& ANodes);
    void Delete();
    TXmlNode* NextSibling(const TXmlNode* ANode) const;
    TXmlNode* FirstNodeByType(TXmlElementType AType) const;
    int ContainerCount() const;
    TXmlNode* Containers(int Index) const;
    int ElementCount() const;
    TXmlElement* Elements(int Index) const;
    void ElementsClear();
    void ElementDelete(int Index);
    bool HasChildContainers() const;
    TXmlNode* NodeNew(std::string_view AName);
    TXmlNode* NodeNewAtIndex(int Index, std::string_view AName);
    TXmlNode* NodeFindOrCreate(std::string_view AName);
    void WriteNodeValue(std::string_view AName, std::string_view AValue);
    void DeleteEmptyNodes();
    bool IsEmpty() const { return NodeCount() == 0 && GetValue().empty(); }
    bool IsClear() const { return IsEmpty() && GetName().empty(); }

    // --- Attributes
    int AttributeCount() const;
    TXmlAttribute* Attributes(int Index) const;
    std::string AttributeName(int Index) const;
    std::string AttributeValue(int Index) const;
    void SetAttributeValue(int Index, std::string_view AValue);
    int AttributeValueAsInteger(int Index) const;
    void SetAttributeValueAsInteger(int Index, int AValue);
    TXmlAttribute* AttributeByName(std::string_view AName) const;
    std::string AttributeValueByName(std::string_view AName) const;
    void SetAttributeValueByName(std::string_view AName, std::string_view AValue);
    String AttributeValueByNameWide(std::string_view AName) const;
    void SetAttributeValueByNameWide(std::string_view AName, StringView AValue);
    TXmlAttribute* AttributeAdd(std::string_view AName, std::string_view AValue);
    virtual void AttributeAdd(TXmlAttribute* AAttribute);
    void AttributesAdd(const std::vector<TXmlAttribute*>& AAttributes);
    void AttributeDelete(int Index);
    void AttributesClear();
    int AttributeIndexByName(std::string_view AName) const;
    int NodeIndexByName(std::string_view AName) const;
    bool HasAttribute(std::string_view AName) const;

    // --- Search (names compared ignoring case)
    TXmlNode* NodeByName(std::string_view AName) const;
    void NodesByName(std::string_view AName, TXmlNodeList* AList) const;
    TXmlNode* FindNode(std::string_view NodeName) const;
    void FindNodes(std::string_view NodeName, TXmlNodeList* AList) const;
    TXmlNode* NodeByAttributeValue(std::string_view NodeName, std::string_view AttribName,
                                   std::string_view AttribValue, bool ShouldRecurse = true) const;

    bool IsEqualTo(const TXmlNode* ANode, TXmlCompareOptions Options, TXmlNodeList* MismatchNodes = nullptr) const;
    using compare_function = std::function<int(TXmlNode* A, TXmlNode* B)>;
    void SortChildNodes(const compare_function& Compare = {});

    // --- Typed values
    bool ValueAsBool() const;
    std::int32_t ValueAsInteger() const;
    std::int64_t ValueAsInt64() const;
    double ValueAsFloat() const;
    double ValueAsDateTime() const;
    bool GetValueAsBoolDef(bool ADefault) const;
    double GetValueAsFloatDef(double ADefault) const;
    double GetValueAsDateTimeDef(double ADefault) const;
    std::int32_t GetValueAsIntegerDef(std::int32_t ADefault) const;
    std::int64_t GetValueAsInt64Def(std::int64_t ADefault) const;
    bool GetValueAsBool() const { return ValueAsBool(); }
    double GetValueAsFloat() const { return ValueAsFloat(); }
    double GetValueAsDateTime() const { return ValueAsDateTime(); }
    std::int32_t GetValueAsInteger() const { return ValueAsInteger(); }
    std::int64_t GetValueAsInt64() const { return ValueAsInt64(); }
    void SetValueAsBool(bool AValue);
    void SetValueAsFloat(double AValue);
    void SetValueAsDate(double AValue);
    void SetValueAsTime(double AValue);
    void SetValueAsDateTime(double AValue);
    void SetValueAsInteger(std::int32_t AValue);
    void SetValueAsInt64(std::int64_t AValue);

    bool ReadAttributeBool(std::string_view AName, bool ADefault = false) const;
    std::int32_t ReadAttributeInteger(std::string_view AName, std::int32_t ADefault = 0) const;
    std::int64_t ReadAttributeInt64(std::string_view AName, std::int64_t ADefault = 0) const;
    double ReadAttributeFloat(std::string_view AName, double ADefault = 0) const;
    std::string ReadAttributeString(std::string_view AName, std::string_view ADefault = {}) const;
    String ReadAttributeUnicodeString(std::string_view AName, StringView ADefault = {}) const;
    std::string ReadAttributeAnsiString(std::string_view AName, std::string_view ADefault = {}) const;
    double ReadAttributeDateTime(std::string_view AName, double ADefault = 0) const;

    bool ReadBool(std::string_view AName, bool ADefault = false) const;
    double ReadDateTime(std::string_view AName, double ADefault = 0) const;
    double ReadFloat(std::string_view AName, double ADefault = 0) const;
    std::int32_t ReadInteger(std::string_view AName, std::int32_t ADefault = 0) const;
    std::int64_t ReadInt64(std::string_view AName, std::int64_t ADefault = 0) const;
    std::string ReadString(std::string_view AName, std::string_view ADefault = {}) const;
    String ReadUnicodeString(std::string_view AName, StringView ADefault = {}) const;
    std::string ReadAnsiString(std::string_view AName, std::string_view ADefault = {}) const;

    void WriteAttributeInteger(std::string_view AName, std::int32_t AValue, std::int32_t ADefault = 0);
    void WriteAttributeInt64(std::string_view AName, std::int64_t AValue, std::int64_t ADefault = 0);
    void WriteAttributeFloat(std::string_view AName, double AValue, double ADefault = 0);
    void WriteAttributeString(std::string_view AName, std::string_view AValue, std::string_view ADefault = {});
    void WriteAttributeUnicodeString(std::string_view AName, StringView AValue, StringView ADefault = {});
    void WriteAttributeAnsiString(std::string_view AName, std::string_view AValue, std::string_view ADefault = {});
    void WriteAttributeDateTime(std::string_view AName, double AValue, double ADefault = 0);
    void WriteAttributeBool(std::string_view AName, bool AValue, bool ADefault = false);

    void WriteBool(std::string_view AName, bool AValue, bool ADefault = false);
    void WriteDateTime(std::string_view AName, double AValue, double ADefault = 0);
    void WriteFloat(std::string_view AName, double AValue, double ADefault = 0);
    void WriteHex(std::string_view AName, std::uint32_t AValue, int Digits, std::uint32_t ADefault = 0);
    void WriteInteger(std::string_view AName, std::int32_t AValue, std::int32_t ADefault = 0);
    void WriteInt64(std::string_view AName, std::int64_t AValue, std::int64_t ADefault = 0);
    void WriteString(std::string_view AName, std::string_view AValue, std::string_view ADefault = {});
    void WriteUnicodeString(std::string_view AName, StringView AValue, StringView ADefault = {});
    void WriteAnsiString(std::string_view AName, std::string_view AValue, std::string_view ADefault = {});

    int BufferLength() const;
    void BufferRead(void* Buffer, int Count, TXmlBinaryEncoding BinaryEncoding = xbeBase64) const;
    void BufferWrite(const void* Buffer, int Count);
    std::string BinaryString() const;
    void SetBinaryString(std::string_view AValue);

    // --- Text pieces of the writer
    std::string IndentPrefix() const;
    std::string FormatLineBreak() const;
    std::string LineBreak() const;

    // --- Reading and writing XML text. ParseStream returns the node at which parsing ended (normally
    // this one; another node or nullptr when the text's structure is broken).
    virtual TXmlNode* ParseStream(TXmlParser& P);
    virtual void WriteStream(TStream& S) const;
    // Children's text for DTD declarations; nothing for other nodes.
    virtual void WriteInnerNodes(TStream&) const {}

    // A new node of this node's exact class, owned by ADocument.
    virtual TXmlNode* CreateLike(TXmlDocument* ADocument) const { return new TXmlNode(ADocument); }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    [[noreturn]] static void raise_no_parent();
    static bool is_container(const TXmlNode* ANode) noexcept;

    friend class TXmlContainerNode;
    friend class TXmlNodeList;
    friend class TXmlDocument;
    friend class TXmlAttribute;

    // Copies this class's own data (not the children) from a node of the same class.
    virtual void CopyOwn(const TXmlNode& Source);
    std::string Symbol(std::int32_t ID) const;
    std::int32_t Intern(std::string_view S) const;
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
    void SetName(std::string_view AName) override;
    std::string GetValue() const override;
    void SetValue(std::string_view AValue) override;
    void WriteStream(TStream& S) const override;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlCharData(ADocument); }

    virtual std::string GetStoredText() const { return Symbol(FValueID); }
    virtual std::string GetStoredTextForOutput() const;
    virtual void SetStoredText(std::string_view AText) { FValueID = Intern(AText); }
    virtual bool IsWhiteSpace() const;
    bool HasNonStandardReferences() const;
    std::string GetValueUsingReferences(const std::vector<TXmlNode*>& Nodes) const;
    std::int32_t ValueID() const noexcept { return FValueID; }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    friend class TXmlAttribute;
    friend class TXmlDocType;
    void CopyOwn(const TXmlNode& Source) override;
    std::int32_t FValueID = 0;
};

class TXmlWhiteSpace : public TXmlCharData {
public:
    using TXmlCharData::TXmlCharData;
    TXmlElementType ElementType() const override { return xeWhiteSpace; }
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlWhiteSpace(ADocument); }
};

class TXmlQuotedText : public TXmlCharData {
public:
    using TXmlCharData::TXmlCharData;
    TXmlElementType ElementType() const override { return xeQuotedText; }
    TXmlNode* ParseStream(TXmlParser& P) override;
    void WriteStream(TStream& S) const override;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlQuotedText(ADocument); }
    TXmlQuoteCharStyle QuoteStyle() const noexcept { return FQuoteStyle; }
    void SetQuoteStyle(TXmlQuoteCharStyle AStyle) noexcept { FQuoteStyle = AStyle; }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    friend class TXmlAttribute;
    friend class TXmlDocType;
    void CopyOwn(const TXmlNode& Source) override;
    TXmlQuoteCharStyle FQuoteStyle = qsQuote;
};

class TXmlComment : public TXmlCharData {
public:
    using TXmlCharData::TXmlCharData;
    TXmlElementType ElementType() const override { return xeComment; }
    TXmlNode* ParseStream(TXmlParser& P) override;
    void WriteStream(TStream& S) const override;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlComment(ADocument); }
};

class TXmlCData : public TXmlComment {
public:
    using TXmlComment::TXmlComment;
    TXmlElementType ElementType() const override { return xeCData; }
    std::string GetValue() const override { return GetStoredText(); }
    void SetValue(std::string_view AValue) override { SetStoredText(AValue); }
    TXmlNode* ParseStream(TXmlParser& P) override;
    void WriteStream(TStream& S) const override;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlCData(ADocument); }
};

// Behaves as a comment in every respect.
class TXmlConditionalSection : public TXmlComment {
public:
    using TXmlComment::TXmlComment;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlConditionalSection(ADocument); }
};

class TXmlInstruction : public TXmlCharData {
public:
    using TXmlCharData::TXmlCharData;
    TXmlElementType ElementType() const override { return xeInstruction; }
    TXmlNode* ParseStream(TXmlParser& P) override;
    void WriteStream(TStream& S) const override;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlInstruction(ADocument); }
};

class TXmlAttribute : public TXmlNode {
public:
    explicit TXmlAttribute(TXmlDocument* AOwner);
    TXmlElementType ElementType() const override { return xeAttribute; }
    std::string GetName() const override { return Symbol(FNameID); }
    void SetName(std::string_view AName) override { FNameID = Intern(AName); }
    std::string GetValue() const override;
    void SetValue(std::string_view AValue) override;
    TXmlNode* ParseStream(TXmlParser& P) override;
    void WriteStream(TStream& S) const override;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlAttribute(ADocument); }
    TXmlQuotedText& CoreValue() noexcept { return FCoreValue; }
    const TXmlQuotedText& CoreValue() const noexcept { return FCoreValue; }
    std::int32_t NameID() const noexcept { return FNameID; }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    void CopyOwn(const TXmlNode& Source) override;
    TXmlQuotedText FCoreValue;
    std::int32_t FNameID = 0;
};

// Owns the nodes in its list; frees them without recursion, so trees of any depth can be freed.
class TXmlNodeList {
public:
    explicit TXmlNodeList(bool AOwnsObjects = true) : FOwnsObjects(AOwnsObjects) {}
    TXmlNodeList(const TXmlNodeList&) = delete;
    TXmlNodeList& operator=(const TXmlNodeList&) = delete;
    ~TXmlNodeList();

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    TXmlNode* Items(int Index) const noexcept;
    TXmlNode* ByType(TXmlElementType AType) const;
    TXmlNode* FindFirst() const { return Items(0); }
    // The next node in document order; raises "index must be >= 0" for a root node not in the list.
    TXmlNode* FindNext(const TXmlNode* ANode) const;

    int Add(TXmlNode* ANode);
    void Insert(int Index, TXmlNode* ANode);
    int IndexOf(const TXmlNode* ANode) const;
    // Removes and frees (when owning).
    void Delete(int Index);
    // Removes without freeing.
    TXmlNode* Extract(int Index);
    void Exchange(int Index1, int Index2);
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
void free_node(TXmlNode* ANode) noexcept;

class TXmlContainerNode : public TXmlNode {
public:
    explicit TXmlContainerNode(TXmlDocument* AOwner) : TXmlNode(AOwner) {}
    ~TXmlContainerNode() override;

    int DirectNodeCount() const noexcept override { return FDirectNodeCount; }
    void SetDirectNodeCount(int ACount) noexcept { FDirectNodeCount = ACount; }
    int NodeCount() const noexcept override { return FNodes.Count(); }
    TXmlNode* Nodes(int Index) const noexcept override { return FNodes.Items(Index); }
    int NodeIndexOf(const TXmlNode* ANode) const override { return FNodes.IndexOf(ANode); }
    int NodeAdd(TXmlNode* ANode) override;
    void NodeInsert(int Index, TXmlNode* ANode) override;
    void NodeDelete(int Index) override;
    TXmlNode* NodeExtract(TXmlNode* ANode) override;
    void NodeExchange(int Index1, int Index2) override;
    void NodesClear() override;
    void Clear() override;
    void AttributeAdd(TXmlAttribute* AAttribute) override;
    using TXmlNode::AttributeAdd;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlContainerNode(ADocument); }

    // Index of the child that holds the element's value, -1 when there is none.
    int ValueIndex() const;
    void SetValueIndex(int Index);
    TXmlNodeClosingStyle OwnClosingStyle() const noexcept { return FNodeClosingStyle; }
    void SetOwnClosingStyle(TXmlNodeClosingStyle AStyle) noexcept { FNodeClosingStyle = AStyle; }
    // The document's style unless that is ncDefault, then this node's own.
    TXmlNodeClosingStyle NodeClosingStyle() const;

    // Writes the first Count children that are attributes or character data.
    void WriteAttributesTo(TStream& S, int Count) const;

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    friend class TXmlNode;
    friend class TXmlDocument;
    friend class TXmlParser;
    friend void free_node(TXmlNode* ANode) noexcept;
    void CopyOwn(const TXmlNode& Source) override;
    // Shared by the parser's node kinds: the attribute list of a tag, ended by one of "!/>?".
    char ReadAttributes(TXmlParser& P);
    char ReadQuotedTexts(TXmlParser& P);
    virtual void ReadTextBeforeTag(TXmlParser& P);

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
    void SetName(std::string_view AName) override { FNameID = Intern(AName); }
    std::string GetValue() const override;
    void SetValue(std::string_view AValue) override;
    TXmlNode* ParseStream(TXmlParser& P) override;
    void WriteStream(TStream& S) const override;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlElement(ADocument); }
    std::int32_t NameID() const noexcept { return FNameID; }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    friend class TXmlParser;
    void CopyOwn(const TXmlNode& Source) override;
    void ReadTextBeforeTag(TXmlParser& P) override;
    std::int32_t FNameID = 0;
};

class TXmlDeclaration : public TXmlContainerNode {
public:
    using TXmlContainerNode::TXmlContainerNode;
    TXmlElementType ElementType() const override { return xeDeclaration; }
    std::string GetName() const override { return "xml"; }
    TXmlNode* ParseStream(TXmlParser& P) override;
    void WriteStream(TStream& S) const override;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlDeclaration(ADocument); }
    std::string Version() const { return AttributeValueByName("version"); }
    void SetVersion(std::string_view V) { SetAttributeValueByName("version", V); }
    std::string Encoding() const { return AttributeValueByName("encoding"); }
    void SetEncoding(std::string_view E) { SetAttributeValueByName("encoding", E); }
};

class TXmlStyleSheet : public TXmlDeclaration {
public:
    using TXmlDeclaration::TXmlDeclaration;
    TXmlElementType ElementType() const override { return xeStylesheet; }
    std::string GetName() const override { return "xml-stylesheet"; }
    void WriteStream(TStream& S) const override;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlStyleSheet(ADocument); }
};

class TXmlDocType : public TXmlContainerNode {
public:
    explicit TXmlDocType(TXmlDocument* AOwner);
    TXmlElementType ElementType() const override { return xeDocType; }
    std::string GetName() const override { return Symbol(FNameID); }
    void SetName(std::string_view AName) override { FNameID = Intern(AName); }
    TXmlNode* ParseStream(TXmlParser& P) override;
    void WriteStream(TStream& S) const override;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlDocType(ADocument); }
    TXmlCharData& ExternalID() noexcept { return FExternalID; }
    TXmlQuotedText& SystemLiteral() noexcept { return FSystemLiteral; }
    TXmlQuotedText& PubIDLiteral() noexcept { return FPubIDLiteral; }

protected:
    friend class detail::binary_reader;
    friend class detail::binary_writer;
    void CopyOwn(const TXmlNode& Source) override;
    void ReadTextBeforeTag(TXmlParser& P) override;
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
    TXmlNode* ParseStream(TXmlParser& P) override;
    void WriteStream(TStream& S) const override;
    void WriteInnerNodes(TStream& S) const override;
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlDtdElement(ADocument); }

protected:
    virtual void ReadContent(TXmlParser& P);
};

class TXmlDtdAttList : public TXmlDtdElement {
public:
    using TXmlDtdElement::TXmlDtdElement;
    TXmlElementType ElementType() const override { return xeDtdAttList; }
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlDtdAttList(ADocument); }
};

class TXmlDtdEntity : public TXmlDtdElement {
public:
    using TXmlDtdElement::TXmlDtdElement;
    TXmlElementType ElementType() const override { return xeDtdEntity; }
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlDtdEntity(ADocument); }

protected:
    void ReadContent(TXmlParser& P) override;
};

class TXmlDtdNotation : public TXmlDtdElement {
public:
    using TXmlDtdElement::TXmlDtdElement;
    TXmlElementType ElementType() const override { return xeDtdNotation; }
    TXmlNode* CreateLike(TXmlDocument* ADocument) const override { return new TXmlDtdNotation(ADocument); }
};

// The node class of an element type: a new node with that document, or nullptr for types without one.
TXmlNode* create_node(TXmlElementType AType, TXmlDocument* ADocument);
bool has_node_class(TXmlElementType AType) noexcept;

// Name comparison of the whole library: UTF-16, locale-aware, ignoring case.
bool same_name(std::string_view a, std::string_view b);

} // namespace kq
