#pragma once

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

// A coder of the binary form's payload: reads StreamIn, writes StreamOut and returns its 4-character name.
using TXmlCoderEvent = std::function<std::string(TStream& StreamIn, TStream& StreamOut, std::int64_t CodecSize)>;

// The compact binary form of a whole document ("$BXM"). Reading trusts nothing in the stream: a short
// read, an invalid count or reference is reported and the nodes read so far stay.
class TXmlBinaryXml : public TDebugComponent {
public:
    explicit TXmlBinaryXml(TComponent* AOwner = nullptr) : TDebugComponent(AOwner) {}

    TXmlDocument* Document = nullptr;
    TXmlCoderEvent OnEncode;
    TXmlCoderEvent OnDecode;

    // Leaves the document as it was: the numbering of the symbols by use is the output's alone.
    virtual void SaveToStream(TStream& S);
    virtual void LoadFromStream(TStream& S);
    void SaveToFile(const String& AFileName);
    void LoadFromFile(const String& AFileName);

private:
    std::vector<std::uint32_t> FNewIDs;
};

// Removes the declaration and replaces text holding entity references by what they stand for.
class TXmlCanonicalizer : public TDebugComponent {
public:
    explicit TXmlCanonicalizer(TComponent* AOwner = nullptr) : TDebugComponent(AOwner) {}
    // The number of substitutions. Passes, substitutions and the text they add are capped, so every
    // document ends, a self-referencing or exponentially growing entity set included.
    int Canonicalize(TXmlDocument* AXml);
};

// One XML document: its root nodes, its symbol table, the options of reading and writing, and the entry
// points for loading and saving text. Its owner frees it (without one, whoever created it).
class TXmlDocument : public TDebugComponent {
public:
    // A document with one root element of empty name and no declaration.
    explicit TXmlDocument(TComponent* AOwner = nullptr);
    TXmlDocument(TComponent* AOwner, bool HasDeclaration, bool HasDocType, bool HasRoot, std::string_view ARootName);
    // Name first: a declaration and a root element named ARootName; belongs to AOwner, or without one to
    // the caller.
    static TXmlDocument* CreateName(std::string_view ARootName, TComponent* AOwner = nullptr);
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
    TXmlContainerNode* RootContainers(int Index) const;
    TXmlDeclaration* Declaration() const;
    TXmlDocType* DocType() const;
    // Creates one at root index 1 when there is none.
    TXmlStyleSheet* StyleSheet();
    TXmlSymbolTable& SymbolTable() noexcept { return *FSymbolTable; }
    const TXmlSymbolTable& SymbolTable() const noexcept { return *FSymbolTable; }

    std::string CommentString() const;
    void SetCommentString(std::string_view AValue);
    std::string VersionString() const;
    void SetVersionString(std::string_view AValue);
    std::string Charset() const;
    void SetCharset(std::string_view AValue);
    bool PreserveWhiteSpace() const noexcept { return FXmlFormat == xfPreserve; }
    void SetPreserveWhiteSpace(bool AValue);
    TXmlFormatType XmlFormat() const noexcept { return FXmlFormat; }
    void SetXmlFormat(TXmlFormatType AValue);
    TXmlStringEncoding ExternalEncoding() const noexcept { return FExternalEncoding; }
    void SetExternalEncoding(TXmlStringEncoding AValue);
    int ExternalCodepage() const noexcept { return FExternalCodePage; }
    void SetExternalCodepage(int AValue);
    const TXmlBomInfo& ExternalBomInfo() const noexcept { return FExternalBomInfo; }
    TXmlBinaryMethod BinaryMethod() const noexcept { return FBinaryMethod; }
    void SetBinaryMethod(TXmlBinaryMethod AValue) noexcept { FBinaryMethod = AValue; }

    // --- Loading and saving
    virtual void LoadFromFile(const String& AFileName);
    virtual void LoadFromStream(TStream& AStream);
    virtual void ReadFromString(std::string_view AValue);
    virtual std::int64_t LoadFromURL(const std::string& URL);
    // Writes the whole text first and replaces the file only when it is complete.
    virtual void SaveToFile(const String& AFileName);
    // False when the external encoding cannot be written (reported, nothing written).
    virtual bool SaveToStream(TStream& Stream);
    virtual String WriteToString();
    virtual std::string WriteToLocalString();
    virtual String WriteToLocalUnicodeString();
    virtual void LoadFromBinaryFile(const String& AFileName);
    virtual void LoadFromBinaryStream(TStream& AStream);
    virtual void SaveToBinaryFile(const String& AFileName);
    virtual void SaveToBinaryStream(TStream& AStream);

    // --- Canonical form
    int Canonicalize();
    // Replaces ANode (freed) by the nodes parsed from ASubstitute, added at the end of its parent's
    // children; returns the first of them, or nullptr (also when ANode has no parent: nothing changes).
    TXmlNode* ParseSubstituteContentFromNode(TXmlNode* ANode, std::string_view ASubstitute);

    // --- Traversal and helpers
    TXmlNode* FindFirst() const { return FRootNodes.FindFirst(); }
    TXmlNode* FindNext(const TXmlNode* ANode) const { return FRootNodes.FindNext(ANode); }
    void ForEach(TObject* Sender, const TXmlNodeEvent& AEvent);
    void RemoveWhitespace();
    static std::string EncodeBase64(std::string_view Source, std::string_view ControlChars);
    static std::string DecodeBase64(std::string_view Source, const TXmlDebugEvent& OnDebug = {});

    // --- Node factories: the node is owned by the caller until added to a parent.
    TXmlNode* NodeNewTextTypeAttr(std::string_view AName, std::string_view AValue, TXmlElementType AElementType,
                                  const std::vector<TXmlAttribute*>& Attributes,
                                  const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNew(std::string_view AName, const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewType(std::string_view AName, TXmlElementType AElementType,
                          const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewAttr(std::string_view AName, const std::vector<TXmlAttribute*>& Attributes,
                          const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewText(std::string_view AName, std::string_view AValue, const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewTextType(std::string_view AName, std::string_view AValue, TXmlElementType AElementType,
                              const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewTextAttr(std::string_view AName, std::string_view AValue,
                              const std::vector<TXmlAttribute*>& Attributes, const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewInt(std::string_view AName, std::int32_t AValue, const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewIntType(std::string_view AName, std::int32_t AValue, TXmlElementType AElementType,
                             const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewIntAttr(std::string_view AName, std::int32_t AValue, const std::vector<TXmlAttribute*>& Attributes,
                             const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewIntTypeAttr(std::string_view AName, std::int32_t AValue, TXmlElementType AElementType,
                                 const std::vector<TXmlAttribute*>& Attributes,
                                 const std::vector<TXmlNode*>& SubNodes = {});
    // The same, also storing the node in AXmlNode.
    TXmlNode* NodeNewEx(std::string_view AName, TXmlNode*& AXmlNode, const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewTypeEx(std::string_view AName, TXmlElementType AElementType, TXmlNode*& AXmlNode,
                            const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewAttrEx(std::string_view AName, const std::vector<TXmlAttribute*>& Attributes, TXmlNode*& AXmlNode,
                            const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewTextEx(std::string_view AName, std::string_view AValue, TXmlNode*& AXmlNode,
                            const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewTextTypeEx(std::string_view AName, std::string_view AValue, TXmlElementType AElementType,
                                TXmlNode*& AXmlNode, const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewTextAttrEx(std::string_view AName, std::string_view AValue,
                                const std::vector<TXmlAttribute*>& Attributes, TXmlNode*& AXmlNode,
                                const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewTextTypeAttrEx(std::string_view AName, std::string_view AValue, TXmlElementType AElementType,
                                    const std::vector<TXmlAttribute*>& Attributes, TXmlNode*& AXmlNode,
                                    const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewIntEx(std::string_view AName, std::int32_t AValue, TXmlNode*& AXmlNode,
                           const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewIntTypeEx(std::string_view AName, std::int32_t AValue, TXmlElementType AElementType,
                               TXmlNode*& AXmlNode, const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewIntAttrEx(std::string_view AName, std::int32_t AValue, const std::vector<TXmlAttribute*>& Attributes,
                               TXmlNode*& AXmlNode, const std::vector<TXmlNode*>& SubNodes = {});
    TXmlNode* NodeNewIntTypeAttrEx(std::string_view AName, std::int32_t AValue, TXmlElementType AElementType,
                                   const std::vector<TXmlAttribute*>& Attributes, TXmlNode*& AXmlNode,
                                   const std::vector<TXmlNode*>& SubNodes = {});

    TXmlAttribute* AttrText(std::string_view AName, std::string_view AValue);
    TXmlAttribute* AttrInt(std::string_view AName, std::int32_t AValue);
    TXmlAttribute* AttrInt64(std::string_view AName, std::int64_t AValue);
    TXmlAttribute* AttrHex(std::string_view AName, std::uint32_t AValue, int ADigits);
    TXmlAttribute* AttrHex(std::string_view AName, std::uint64_t AValue, int ADigits);
    TXmlAttribute* AttrFloat(std::string_view AName, double AValue);
    TXmlAttribute* AttrFloat(std::string_view AName, double AValue, int ASignificantDigits, bool AAllowScientific);
    TXmlAttribute* AttrDateTime(std::string_view AName, double AValue);
    TXmlAttribute* AttrBool(std::string_view AName, bool AValue);

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
    void DoNodeNew(TXmlNode* ANode) {
        if (OnNodeNew) OnNodeNew(this, ANode);
    }
    void DoNodeLoaded(TXmlNode* ANode) {
        if (OnNodeLoaded) OnNodeLoaded(this, ANode);
    }
    void DoProgress(std::int64_t Position) {
        if (OnProgress) OnProgress(this, Position);
    }
    // Names of elements found unclosed; only during a parse with FixStructuralErrors.
    void AddSingleTagName(const std::string& AName);

private:
    void ParseDocument(TXmlParser& P);
    void RepairSingleTags();
    bool is_single_tag(const TXmlNode* ANode) const;
    void WriteContent(TStream& S);
    void PrepareBinary(TXmlBinaryXml& ABinary);

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
