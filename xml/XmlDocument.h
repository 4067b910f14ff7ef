#pragma once
// TXmlDocument (loading, saving, settings), TXmlBinaryXml (the binary form) and TXmlCanonicalizer.
#include "xml/XmlDebug.h"
#include "xml/XmlNodeTree.h"
#include "xml/XmlStringTable.h"
#include "xml/XmlTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kq {

class TStream;
class TXmlDocument;

// A coder of the binary form's payload: reads stream_in, writes stream_out and returns its 4-character name.
using TXmlCoderEvent = std::function<std::string(TStream& stream_in, TStream& stream_out, std::int64_t codec_size)>;

// The compact binary form of a whole document ("$BXM"). Reading trusts nothing in the stream: a short
// read, an invalid count or reference is reported and the nodes read so far stay.
class TXmlBinaryXml : public TDebugComponent {
public:
    explicit TXmlBinaryXml(TComponent* owner = nullptr) : TDebugComponent(owner) {}

    TXmlDocument* Document = nullptr;
    TXmlCoderEvent OnEncode;
    TXmlCoderEvent OnDecode;

    // Leaves the document as it was: the numbering of the symbols by use is the output's alone.
    virtual void SaveToStream(TStream& s);
    virtual void LoadFromStream(TStream& s);
    void SaveToFile(const String& file_name);
    void LoadFromFile(const String& file_name);

private:
    std::vector<std::uint32_t> FNewIDs;
};

// Removes the declaration and replaces text holding entity references by what they stand for.
class TXmlCanonicalizer : public TDebugComponent {
public:
    explicit TXmlCanonicalizer(TComponent* owner = nullptr) : TDebugComponent(owner) {}
    // The number of substitutions. Passes, substitutions and the text they add are capped, so every
    // document ends, a self-referencing or exponentially growing entity set included.
    int Canonicalize(TXmlDocument* xml);
};

// One XML document: its root nodes, its symbol table, the options of reading and writing, and the entry
// points for loading and saving text. Its owner frees it (without one, whoever created it).
class TXmlDocument : public TDebugComponent {
public:
    // A document with one root element of empty name and no declaration.
    explicit TXmlDocument(TComponent* owner = nullptr);
    TXmlDocument(TComponent* owner, bool has_declaration, bool has_doc_type, bool has_root, std::string_view root_name);
    // Name first: a declaration and a root element named root_name; belongs to owner, or without one to
    // the caller.
    static TXmlDocument* CreateName(std::string_view root_name, TComponent* owner = nullptr);
    ~TXmlDocument() override;

    // --- Content
    virtual void Clear();
    virtual void New();
    bool IsEmpty() const;
    virtual TXmlDeclaration* EnsureDeclaration();
    TXmlElement* Root() const;
    TXmlNodeList& RootNodes() noexcept { return FRootNodes; }
    const TXmlNodeList& RootNodes() const noexcept { return FRootNodes; }
    int RootNodeCount() const noexcept { return FRootNodes.Count(); }
    int RootContainerCount() const;
    TXmlContainerNode* RootContainers(int index) const;
    TXmlDeclaration* Declaration() const;
    TXmlDocType* DocType() const;
    // Creates one at root index 1 when there is none.
    TXmlStyleSheet* StyleSheet();
    TXmlSymbolTable& SymbolTable() noexcept { return *FSymbolTable; }
    const TXmlSymbolTable& SymbolTable() const noexcept { return *FSymbolTable; }

    std::string CommentString() const;
    void SetCommentString(std::string_view value);
    std::string VersionString() const;
    void SetVersionString(std::string_view value);
    std::string Charset() const;
    void SetCharset(std::string_view value);
    bool PreserveWhiteSpace() const noexcept { return FXmlFormat == xfPreserve; }
    void SetPreserveWhiteSpace(bool value);
    TXmlFormatType XmlFormat() const noexcept { return FXmlFormat; }
    void SetXmlFormat(TXmlFormatType value);
    TXmlStringEncoding ExternalEncoding() const noexcept { return FExternalEncoding; }
    void SetExternalEncoding(TXmlStringEncoding value);
    int ExternalCodepage() const noexcept { return FExternalCodePage; }
    void SetExternalCodepage(int value);
    const TXmlBomInfo& ExternalBomInfo() const noexcept { return FExternalBomInfo; }
    TXmlBinaryMethod BinaryMethod() const noexcept { return FBinaryMethod; }
    void SetBinaryMethod(TXmlBinaryMethod value) noexcept { FBinaryMethod = value; }

    // --- Loading and saving
    virtual void LoadFromFile(const String& file_name);
    virtual void LoadFromStream(TStream& stream);
    virtual void ReadFromString(std::string_view value);
    virtual std::int64_t LoadFromURL(const std::string& url);
    // Writes the whole text first and replaces the file only when it is complete.
    virtual void SaveToFile(const String& file_name);
    // False when the external encoding cannot be written (reported, nothing written).
    virtual bool SaveToStream(TStream& stream);
    virtual String WriteToString();
    virtual std::string WriteToLocalString();
    virtual String WriteToLocalUnicodeString();
    virtual void LoadFromBinaryFile(const String& file_name);
    virtual void LoadFromBinaryStream(TStream& stream);
    virtual void SaveToBinaryFile(const String& file_name);
    virtual void SaveToBinaryStream(TStream& stream);

    // --- Canonical form
    int Canonicalize();
    // Replaces the node given (freed) by the nodes parsed from substitute, added at the end of its parent's
    // children; returns the first of them, or nullptr (also when it has no parent: nothing changes).
    TXmlNode* ParseSubstituteContentFromNode(TXmlNode* replaced, std::string_view substitute);

    // --- Traversal and helpers
    TXmlNode* FindFirst() const { return FRootNodes.FindFirst(); }
    TXmlNode* FindNext(const TXmlNode* node) const { return FRootNodes.FindNext(node); }
    void ForEach(TObject* sender, const TXmlNodeEvent& event);
    void RemoveWhitespace();
    static std::string EncodeBase64(std::string_view source, std::string_view control_chars);
    static std::string DecodeBase64(std::string_view source, const TXmlDebugEvent& on_debug = {});

    // --- Node factories: the node is owned by the caller until added to a parent.
    TXmlNode* NodeNewTextTypeAttr(std::string_view name, std::string_view value, TXmlElementType element_type,
                                  const std::vector<TXmlAttribute*>& attributes,
                                  const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNew(std::string_view name, const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewType(std::string_view name, TXmlElementType element_type,
                          const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewAttr(std::string_view name, const std::vector<TXmlAttribute*>& attributes,
                          const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewText(std::string_view name, std::string_view value, const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewTextType(std::string_view name, std::string_view value, TXmlElementType element_type,
                              const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewTextAttr(std::string_view name, std::string_view value,
                              const std::vector<TXmlAttribute*>& attributes, const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewInt(std::string_view name, std::int32_t value, const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewIntType(std::string_view name, std::int32_t value, TXmlElementType element_type,
                             const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewIntAttr(std::string_view name, std::int32_t value, const std::vector<TXmlAttribute*>& attributes,
                             const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewIntTypeAttr(std::string_view name, std::int32_t value, TXmlElementType element_type,
                                 const std::vector<TXmlAttribute*>& attributes,
                                 const std::vector<TXmlNode*>& sub_nodes = {});
    // The same, also storing the node in xml_node.
    TXmlNode* NodeNewEx(std::string_view name, TXmlNode*& xml_node, const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewTypeEx(std::string_view name, TXmlElementType element_type, TXmlNode*& xml_node,
                            const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewAttrEx(std::string_view name, const std::vector<TXmlAttribute*>& attributes, TXmlNode*& xml_node,
                            const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewTextEx(std::string_view name, std::string_view value, TXmlNode*& xml_node,
                            const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewTextTypeEx(std::string_view name, std::string_view value, TXmlElementType element_type,
                                TXmlNode*& xml_node, const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewTextAttrEx(std::string_view name, std::string_view value,
                                const std::vector<TXmlAttribute*>& attributes, TXmlNode*& xml_node,
                                const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewTextTypeAttrEx(std::string_view name, std::string_view value, TXmlElementType element_type,
                                    const std::vector<TXmlAttribute*>& attributes, TXmlNode*& xml_node,
                                    const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewIntEx(std::string_view name, std::int32_t value, TXmlNode*& xml_node,
                           const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewIntTypeEx(std::string_view name, std::int32_t value, TXmlElementType element_type,
                               TXmlNode*& xml_node, const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewIntAttrEx(std::string_view name, std::int32_t value, const std::vector<TXmlAttribute*>& attributes,
                               TXmlNode*& xml_node, const std::vector<TXmlNode*>& sub_nodes = {});
    TXmlNode* NodeNewIntTypeAttrEx(std::string_view name, std::int32_t value, TXmlElementType element_type,
                                   const std::vector<TXmlAttribute*>& attributes, TXmlNode*& xml_node,
                                   const std::vector<TXmlNode*>& sub_nodes = {});

    TXmlAttribute* AttrText(std::string_view name, std::string_view value);
    TXmlAttribute* AttrInt(std::string_view name, std::int32_t value);
    TXmlAttribute* AttrInt64(std::string_view name, std::int64_t value);
    TXmlAttribute* AttrHex(std::string_view name, std::uint32_t value, int digits);
    TXmlAttribute* AttrHex(std::string_view name, std::uint64_t value, int digits);
    TXmlAttribute* AttrFloat(std::string_view name, double value);
    TXmlAttribute* AttrFloat(std::string_view name, double value, int significant_digits, bool allow_scientific);
    TXmlAttribute* AttrDateTime(std::string_view name, double value);
    TXmlAttribute* AttrBool(std::string_view name, bool value);

    // --- Options (plain fields)
    std::string DirectCloseTag = "/>";
    bool DropCommentsOnParse = false;
    TXmlEolStyle EolStyle = esCRLF;
    bool FixStructuralErrors = false;
    bool FloatAllowScientific = true;
    std::int32_t FloatSignificantDigits = 6;
    std::string IndentString = "\t";
    TXmlNodeClosingStyle NodeClosingStyle = ncClose;
    std::int32_t SplitSecondDigits = 0;
    bool UseLocalBias = false;
    bool WriteOnDefault = true;
    std::string AesKeyHex = "9D4F0B27E83A61C5D2708E4B1F96A3C7";
    bool AbortParsing = false;

    TXmlNodeEvent OnNodeNew;
    TXmlNodeEvent OnNodeLoaded;
    TXmlProgressEvent OnProgress;

    // --- Used by the nodes, the parser and the writer
    void DoNodeNew(TXmlNode* node) {
        if (OnNodeNew) OnNodeNew(this, node);
    }
    void DoNodeLoaded(TXmlNode* node) {
        if (OnNodeLoaded) OnNodeLoaded(this, node);
    }
    void DoProgress(std::int64_t position) {
        if (OnProgress) OnProgress(this, position);
    }
    // Names of elements found unclosed; only during a parse with FixStructuralErrors.
    void AddSingleTagName(const std::string& name);

private:
    void ParseDocument(TXmlParser& p);
    void RepairSingleTags();
    bool is_single_tag(const TXmlNode* node) const;
    void WriteContent(TStream& s);
    void PrepareBinary(TXmlBinaryXml& binary);

    TXmlNodeList FRootNodes{true};
    TXmlSymbolTable* FSymbolTable; // owned as a component of this document
    TXmlBomInfo FExternalBomInfo{};
    std::int32_t FExternalCodePage = 0;
    TXmlStringEncoding FExternalEncoding = seUTF8;
    bool FHasDeclaration = false;
    bool FHasDocType = false;
    bool FHasRoot = true;
    std::string FRootName;
    TXmlFormatType FXmlFormat = xfPreserve;
    TXmlBinaryMethod FBinaryMethod = bmDefault;
    struct name_less {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    std::unique_ptr<std::set<std::string, name_less>> FSingleTagNames;
};

} // namespace kq
