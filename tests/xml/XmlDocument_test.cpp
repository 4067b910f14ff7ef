#include "xml/XmlDocument.h"

#include "XmlTestSupport.h"
#include "framework/Exceptions.h"
#include "framework/Streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

using namespace kq;
using kq::xml_test::logged_document;

namespace {
// A file in the temporary folder, removed at the end of the test.
struct temp_file {
    std::filesystem::path path;
    explicit temp_file(const char* name)
        : path(std::filesystem::temp_directory_path() / (std::string("kq_xml_") + name)) {}
    ~temp_file() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    String name() const { return utf8_to_string(path.string()); }
    std::string read() const {
        TFileStream f(name(), fmOpenRead);
        std::string data(static_cast<std::size_t>(f.Size()), '\0');
        f.ReadBuffer(data.data(), f.Size());
        return data;
    }
    void write(const std::string& data) const {
        TFileStream f(name(), fmCreate);
        f.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
    }
};
} // namespace

TEST(TXmlDocument, InitialContent) {
    TXmlDocument plain;
    EXPECT_EQ(plain.WriteToLocalString(), "</>");
    EXPECT_TRUE(plain.IsEmpty());
    std::unique_ptr<TXmlDocument> named(TXmlDocument::CreateName("a"));
    EXPECT_EQ(named->WriteToLocalString(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a/>");
    EXPECT_EQ(named->Declaration()->DirectNodeCount(), 2);
    EXPECT_EQ(named->VersionString(), "1.0");
    EXPECT_EQ(named->Charset(), "utf-8");
    TXmlDocument with_doctype(nullptr, false, true, true, "r");
    EXPECT_EQ(with_doctype.WriteToLocalString(), "<!DOCTYPE r SYSTEM \"\" ><r/>");
    plain.New();
    EXPECT_NE(plain.Declaration(), nullptr);
    plain.Clear();
    EXPECT_NE(plain.Declaration(), nullptr); // New's declaration stays
    EXPECT_EQ(plain.Root()->GetName(), "");
}

TEST(TXmlDocument, ReadFromStringReadsExactlyTheTextItIsGiven) {
    // The text is read where it lies: a view into a longer buffer ends where the view ends, and a text
    // with a byte-order mark or in UTF-16 arrives the same as from a stream.
    const std::string buffer = "<a x='1'><b>t</b></a><c/>";
    struct row { std::string_view text; std::string root_name; std::string saved; };
    const row rows[] = {
        {std::string_view(buffer).substr(0, 21), "a", "<a x='1'><b>t</b></a>"},
        {"\xEF\xBB\xBF<r>\xC3\xA9</r>", "r", "<r>\xC3\xA9</r>"},
        {std::string_view("\xFF\xFE<\0r\0/\0>\0", 10), "r", "<r/>"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.root_name);
        TXmlDocument doc;
        doc.ReadFromString(r.text);
        ASSERT_NE(doc.Root(), nullptr);
        EXPECT_EQ(doc.Root()->GetName(), r.root_name);
        EXPECT_EQ(doc.Root()->WriteToString(), r.saved);
    }
}

TEST(TXmlDocument, ByteOrderMarksOnSave) {
    logged_document utf8;
    utf8.load("\xEF\xBB\xBF<r>x</r>");
    EXPECT_TRUE(utf8.heard_message(wsInfo, "BOM with encoding utf-8"));
    EXPECT_EQ(utf8.save(), "<r>x</r>"); // UTF-8 is always written without a mark
    EXPECT_EQ(utf8.doc.ExternalBomInfo().Len, 0);
    logged_document le;
    le.load(std::string("\xFF\xFE<\0r\0/\0>\0", 10));
    EXPECT_EQ(le.save(), std::string("\xFF\xFE<\0r\0/\0>\0", 10));
    EXPECT_EQ(le.doc.ExternalBomInfo().Len, 2);
}

TEST(TXmlDocument, UnsupportedEncodingWritesNothingAndKeepsTheFile) {
    temp_file file("keep.xml");
    file.write("old content");
    logged_document d;
    d.doc.SetExternalEncoding(seUTF32LE);
    EXPECT_EQ(d.doc.ExternalEncoding(), seUTF32LE);
    EXPECT_EQ(d.doc.ExternalCodepage(), 12000);
    EXPECT_EQ(d.save(), "");
    EXPECT_TRUE(d.heard_message(wsFail, "unsupported encoding (utf-32)"));
    d.doc.SaveToFile(file.name());
    EXPECT_EQ(file.read(), "old content");
}

TEST(TXmlDocument, FilesLoadAndSave) {
    temp_file file("file.xml");
    std::unique_ptr<TXmlDocument> doc(TXmlDocument::CreateName("settings"));
    doc->Root()->WriteInteger("width", 640);
    doc->SaveToFile(file.name());
    EXPECT_EQ(file.read(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<settings><width>640</width></settings>");
    TXmlDocument back;
    back.LoadFromFile(file.name());
    EXPECT_EQ(back.Root()->FindNode("width")->GetValueAsInteger(), 640);
    EXPECT_THROW(back.LoadFromFile(file.name() + u".missing"), EFOpenError);
}

TEST(TXmlDocument, EncodingSetters) {
    logged_document d;
    d.doc.SetExternalEncoding(seAnsi);
    EXPECT_TRUE(d.heard_message(wsFail, "external encoding \"ansi\" is not allowed (use ExternalCodepage)"));
    EXPECT_EQ(d.doc.ExternalEncoding(), seUTF8);
    d.doc.SetExternalCodepage(1252);
    EXPECT_EQ(d.doc.ExternalEncoding(), seAnsi);
    EXPECT_EQ(d.doc.ExternalCodepage(), 1252);
    EXPECT_EQ(d.doc.Charset(), "windows-1252");
    d.doc.SetExternalCodepage(4242);
    EXPECT_TRUE(d.heard_message(wsFail, "external codepage \"4242\" not found"));
    EXPECT_EQ(d.doc.ExternalCodepage(), 1252);
    d.doc.SetCharset("utf-16");
    EXPECT_EQ(d.doc.ExternalEncoding(), seUTF16LE);
    EXPECT_EQ(d.doc.ExternalCodepage(), 1200);
    d.doc.SetExternalCodepage(1201);
    EXPECT_EQ(d.doc.ExternalEncoding(), seUTF16BE);
    EXPECT_EQ(d.doc.Charset(), "unicodeFFFE");
}

TEST(TXmlDocument, LeavingPreserveRemovesWhiteSpaceAndRootText) {
    logged_document d;
    d.load("<!-- c --><?pi x?>\r\n<r>\r\n  <a> padded </a>\r\n  <b>   </b>\r\n</r>\r\n");
    d.doc.SetXmlFormat(xfCompact);
    EXPECT_EQ(d.doc.RootNodeCount(), 1);
    EXPECT_EQ(d.doc.WriteToLocalString(), "<r><a>padded</a><b/></r>");
    d.doc.SetPreserveWhiteSpace(false);
    EXPECT_EQ(d.doc.XmlFormat(), xfCompact);
    d.doc.SetPreserveWhiteSpace(true);
    EXPECT_EQ(d.doc.XmlFormat(), xfPreserve);
}

TEST(TXmlDocument, RemovingWhiteSpaceFromLongListsStaysLinear) {
    std::string source = "<r>";
    for (int i = 0; i < 100000; ++i) source += "\n  <a/><!--c-->";
    for (int i = 0; i < 100000; ++i) source += "<?pi?>\n";
    source += "</r>";
    std::string roots;
    for (int i = 0; i < 50000; ++i) roots += "<!--r-->\n";
    TXmlDocument doc;
    doc.ReadFromString(roots + source);
    doc.SetXmlFormat(xfCompact);
    EXPECT_EQ(doc.RootNodeCount(), 1);
    EXPECT_EQ(doc.Root()->NodeCount(), 300000);
}

TEST(TXmlDocument, RootLevelHelpers) {
    TXmlDocument doc;
    doc.SetCommentString("hello");
    EXPECT_EQ(doc.CommentString(), "hello");
    EXPECT_EQ(doc.RootNodes().Items(1)->ElementType(), xeComment);
    TXmlStyleSheet* s = doc.StyleSheet();
    EXPECT_EQ(doc.RootNodes().Items(1), s);
    EXPECT_EQ(doc.StyleSheet(), s);
    doc.SetVersionString("1.1");
    EXPECT_EQ(doc.RootNodes().Items(0)->ElementType(), xeDeclaration);
    EXPECT_EQ(doc.VersionString(), "1.1");
    EXPECT_EQ(doc.EnsureDeclaration(), doc.Declaration());
    EXPECT_EQ(doc.RootContainerCount(), 3);
    std::string names;
    doc.ForEach(&doc, [&](TObject*, TXmlNode* n) { names += n->ElementTypeName() + ","; });
    EXPECT_EQ(names, "Declaration,Attribute,Element,Stylesheet,Comment,");
}

TEST(TXmlDocument, Factories) {
    TXmlDocument doc;
    TXmlNode* n = doc.NodeNewTextAttr("item", "v & w", {doc.AttrInt("i", -4), doc.AttrHex("h", 255u, 4),
                                                        doc.AttrFloat("f", 0.25), doc.AttrBool("b", false)});
    doc.Root()->NodeAdd(n);
    doc.Root()->NodeAdd(doc.NodeNewInt("n", 12, {doc.NodeNew("sub")}));
    doc.Root()->NodeAdd(doc.NodeNewType("c", xeComment));
    EXPECT_EQ(doc.WriteToLocalString(),
              "<><item i=\"-4\" h=\"$00FF\" f=\".25\" b=\"false\">v &amp; w</item><n>12<sub/></n><!---->"
              "</>");
    EXPECT_EQ(doc.NodeNewType("x", xeEndTag), nullptr);
    std::unique_ptr<TXmlAttribute> d(doc.AttrDateTime("d", 1.5));
    EXPECT_EQ(d->GetValue(), "1899-12-31T12:00:00Z");
}

TEST(TXmlDocument, Base64Helpers) {
    EXPECT_EQ(TXmlDocument::EncodeBase64("abc", "\n"), "\nYWJj\n");
    EXPECT_EQ(TXmlDocument::DecodeBase64(" YW\nJj "), "abc");
    std::string heard;
    EXPECT_EQ(TXmlDocument::DecodeBase64("YWJ", [&](TObject* s, TXmlWarnStyle w, const std::string& m) {
                  EXPECT_EQ(s, nullptr);
                  EXPECT_EQ(w, wsFail);
                  heard = m;
              }),
              "");
    EXPECT_EQ(heard, "error while calculating streamlength");
}

TEST(TXmlDocument, LoadFromAnUnreachableAddressReports) {
    logged_document d;
    EXPECT_EQ(d.doc.LoadFromURL("http://127.0.0.1:1/none.xml"), 0);
    EXPECT_TRUE(d.heard_message(wsFail, "Unable to initialize WinInet") ||
                d.heard_message(wsFail, "Cannot open URL http://127.0.0.1:1/none.xml"))
        << d.all_heard();
}

TEST(TXmlDocument, MessagesOfNodesReachTheOwnersListener) {
    TDebugComponent owner;
    std::vector<std::string> heard;
    owner.OnDebugOut = [&](TObject*, TXmlWarnStyle, const std::string& m) { heard.push_back(m); };
    auto* doc = new TXmlDocument(&owner); // the owner frees it
    TXmlCharData text(doc);
    text.SetName("x");
    EXPECT_EQ(heard, std::vector<std::string>{"cannot set name on this type of element"});
    doc->SymbolTable().GetString(99); // the table's messages go up the same way
    EXPECT_EQ(heard.back(), "string ID not found");
}

TEST(TXmlDocument, AnOwnerFreesItsDocuments) {
    TComponent form(nullptr);
    TXmlDocument* doc = TXmlDocument::CreateName("a", &form);
    EXPECT_EQ(form.ComponentCount(), 1);
    EXPECT_EQ(form.Components(0), doc);
    doc->Root()->NodeNew("b"); // freed with the form, tree and symbol table included
}
