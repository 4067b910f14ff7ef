#include "xml/XmlDocument.h"

#include "XmlTestSupport.h"
#include "framework/Exceptions.h"
#include "framework/Streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#elif defined(__SANITIZE_ADDRESS__)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes(); // the sanitizer's runtime has it
#else
#include <malloc.h>
#endif

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

namespace {
// Heap bytes the process holds now: private bytes on Win32; natively the allocator's count of bytes in
// use (freed memory kept back by the sanitizer or the C library is not counted).
std::int64_t held_memory() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters);
    return static_cast<std::int64_t>(counters.PrivateUsage);
#elif defined(__SANITIZE_ADDRESS__)
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = ::mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
#endif
}
} // namespace

TEST(TXmlDocument, SaveToFileStreamsIntoTheFile) {
    // A readable save indents each level one more: 4,000 levels make about 16 MB of text from a tree of
    // a few hundred kilobytes. The whole text used to be made in memory first.
    constexpr int depth = 4000;
    TXmlDocument doc;
    doc.SetXmlFormat(xfReadable);
    doc.Root()->SetName("r");
    TXmlNode* n = doc.Root();
    for (int i = 0; i < depth; ++i) n = n->NodeNew("d");
    temp_file file("deep.xml");
    const std::int64_t before = held_memory();
    std::int64_t peak = before;
    doc.OnProgress = [&](TObject*, std::int64_t) { peak = std::max(peak, held_memory()); };
    doc.SaveToFile(file.name());
    peak = std::max(peak, held_memory());
    doc.OnProgress = nullptr;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(file.path));
    EXPECT_GT(size, std::int64_t{16} * 1000 * 1000);
    EXPECT_LT(peak - before, size / 8) << "held " << (peak - before) << " bytes to write " << size;
    TXmlDocument back;
    back.LoadFromFile(file.name());
    int levels = 0;
    for (const TXmlNode* m = back.Root(); m->ElementCount() > 0; m = m->Elements(0)) ++levels;
    EXPECT_EQ(levels, depth);
}

TEST(TXmlDocument, AFailedSaveLeavesTheOldFileWhole) {
    temp_file file("whole.xml");
    file.write("old content");
    const std::filesystem::path temporary = file.path.string() + ".tmp";
    TXmlDocument doc;
    doc.Root()->SetName("r");
    for (int i = 0; i < 5000; ++i) doc.Root()->NodeNew("e")->SetValue(std::string(100, 'x'));
    int calls = 0;
    doc.OnProgress = [&](TObject*, std::int64_t) {
        if (++calls == 3000) throw EWriteError(u"disk full");
    };
    EXPECT_THROW(doc.SaveToFile(file.name()), EWriteError);
    EXPECT_EQ(file.read(), "old content");
    EXPECT_FALSE(std::filesystem::exists(temporary));
    doc.OnProgress = nullptr;
    doc.SaveToFile(file.name());
    EXPECT_EQ(file.read().substr(0, 7), "<r><e>x");
    EXPECT_FALSE(std::filesystem::exists(temporary));
    const String missing_folder = file.name() + u".missing" + String(1, static_cast<char16_t>(std::filesystem::path::preferred_separator)) + u"x.xml";
    try {
        doc.SaveToFile(missing_folder);
        ADD_FAILURE() << "saved into a folder that does not exist";
    } catch (const EFCreateError& e) {
        EXPECT_NE(e.Message().find(u"Cannot create file \"" + missing_folder + u"\""), String::npos)
            << string_to_utf8(e.Message());
    }
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

// --- Binary form

namespace {
std::string binary_of(TXmlDocument& doc) {
    TXmlStringStream s;
    doc.SaveToBinaryStream(s);
    return s.DataString();
}

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

// An inline symbol entry: style 0, byte count, bytes.
std::string inline_symbol(std::string_view text) {
    return bytes({0, 0, static_cast<int>(text.size())}) + std::string(text);
}

const std::string binary_header = std::string("$BXM") + bytes({2}) + "none\n";
} // namespace

TEST(TXmlBinaryXml, SavesTheDocumentsExactBytesAndReadsThemBack) {
    struct row {
        const char* what;
        std::function<void(TXmlDocument&)> build;
        std::function<std::string(TXmlDocument&)> expected;
    };
    const row rows[] = {
        {"declaration and root element with text",
         [](TXmlDocument& d) {
             d.New();
             d.Root()->SetName("a");
             d.Root()->SetValue("b");
         },
         [](TXmlDocument&) {
             return binary_header + bytes({0, 6, 2, 2, 0, 1}) + inline_symbol("version") + inline_symbol("1.0") +
                    bytes({0, 1}) + inline_symbol("encoding") + inline_symbol("utf-8") + bytes({0, 0, 1, 0, 1}) +
                    inline_symbol("a") + bytes({0, 2}) + inline_symbol("b") + bytes({16});
         }},
        {"a name used twice is stored once",
         [](TXmlDocument& d) { d.ReadFromString("<r><a/><a/></r>"); },
         [](TXmlDocument& d) {
             const auto style = [&](int i) {
                 const TXmlNode* n = i < 0 ? d.Root() : d.Root()->Nodes(i);
                 return static_cast<int>(static_cast<const TXmlContainerNode*>(n)->OwnClosingStyle());
             };
             return binary_header + bytes({1, 0, 1}) + "a" + bytes({0, 2, 0, 0}) + inline_symbol("r") +
                    bytes({style(-1), 0, 0, 0, 0, 2, style(0), 0, 0, 0, 0, 2, style(1), 16});
         }},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        TXmlDocument doc;
        r.build(doc);
        const std::string text = doc.WriteToLocalString();
        const std::string saved = binary_of(doc);
        EXPECT_EQ(saved, r.expected(doc));
        logged_document back;
        back.load(saved);
        EXPECT_EQ(back.doc.WriteToLocalString(), text) << back.all_heard();
    }
    TXmlDocument doc;
    rows[0].build(doc);
    EXPECT_EQ(binary_of(doc).size(), 69u);
    rows[1].build(doc);
    EXPECT_EQ(binary_of(doc).size(), 36u);
}

TEST(TXmlBinaryXml, SavingRenumbersTheSymbolsMostUsedFirst) {
    TXmlDocument doc;
    doc.ReadFromString("<?xml version=\"1.0\"?><!DOCTYPE r SYSTEM \"r.dtd\" [<!ENTITY e \"x\">]>"
                       "<r k='v'><b>1</b><b>2</b><b k=\"v\"/><!-- c --><![CDATA[d]]><?pi x?></r>");
    // A container the form has no record for keeps its subtree's texts too.
    auto* hidden = std::make_unique<TXmlContainerNode>(&doc).release();
    doc.Root()->NodeAdd(hidden);
    auto* inside = std::make_unique<TXmlElement>(&doc).release();
    hidden->NodeAdd(inside);
    inside->SetName("x");
    inside->SetValue("only here");
    const std::string text = doc.WriteToLocalString();
    const std::string saved = binary_of(doc);
    // "b" names three elements; "k", "v" and "r" (the root and the DOCTYPE) are used twice; the rest once.
    const TXmlSymbolTable& table = doc.SymbolTable();
    EXPECT_EQ(table.PluralSymbolCount(), 4);
    EXPECT_EQ(table.View(1), "b");
    EXPECT_EQ((std::set<std::string_view>{table.View(2), table.View(3), table.View(4)}),
              (std::set<std::string_view>{"k", "v", "r"}));
    EXPECT_EQ(saved.substr(binary_header.size(), 4), bytes({4, 0, 1}) + "b");
    EXPECT_EQ(doc.WriteToLocalString(), text);
    EXPECT_EQ(hidden->Nodes(0)->GetName(), "x");
    EXPECT_EQ(hidden->Nodes(0)->GetValue(), "only here");
    const std::string saved_again = binary_of(doc);
    EXPECT_EQ(saved_again, saved); // equal counts keep their order: the numbering is already right
    doc.Root()->NodeRemove(hidden);
    for (const std::string& form : {saved, saved_again}) {
        TXmlDocument back;
        TXmlStringStream s(form);
        back.LoadFromStream(s);
        EXPECT_EQ(back.WriteToLocalString(), doc.WriteToLocalString());
    }
}

TEST(TXmlBinaryXml, InternalSubsetSurvivesTheBinaryForm) {
    for (const auto& r : xml_test::dtd_documents) {
        SCOPED_TRACE(r.what);
        TXmlDocument doc;
        doc.ReadFromString(r.text);
        logged_document back;
        back.load(binary_of(doc));
        EXPECT_EQ(back.doc.WriteToLocalString(), doc.WriteToLocalString()) << back.all_heard();
    }
}

TEST(TXmlBinaryXml, DocumentsOfTheEarlierFormStillLoad) {
    // An entity with a plain value, as every save wrote it before declarations kept their other parts;
    // such a document is still saved in exactly these bytes.
    const std::string earlier = binary_header + bytes({1, 0, 1}) + "r" +
                                bytes({8, 1, 0, 0, 2, 1, 1, 0, 1, 0}) +  // DOCTYPE r, one child
                                bytes({11, 1, 0, 0}) + inline_symbol("e") + bytes({0}) + // ENTITY e
                                bytes({15}) + inline_symbol("v") + bytes({0}) +          // "v"
                                bytes({0, 0, 0, 0, 2, 2, 16});                           // <r/>
    const std::string text = "<!DOCTYPE r [<!ENTITY e \"v\">]><r/>";
    logged_document back;
    back.load(earlier);
    EXPECT_EQ(back.doc.WriteToLocalString(), text) << back.all_heard();
    TXmlDocument doc;
    doc.ReadFromString(text);
    EXPECT_EQ(binary_of(doc), earlier);
}

TEST(TXmlBinaryXml, HeaderProblemsAreReported) {
    struct row {
        std::string stream;
        TXmlWarnStyle style;
        const char* message;
        int roots;
    };
    const std::string tree = bytes({0, 0, 0, 0, 0}) + inline_symbol("a") + bytes({0, 16});
    const row rows[] = {
        {std::string("$BXM") + bytes({3}) + "none\n" + tree, wsFail, "incompatible binary version", 0},
        {std::string("$BXM") + bytes({1}) + "none\n" + tree, wsWarn, "loading binary version=1, current version=2", 1},
        {std::string("$BXM") + bytes({2}) + "zlib\n" + bytes({5}) + tree, wsFail, "OnDecode event unassigned", 0},
        {std::string("$BXM") + bytes({0x80, 0x80, 0x80, 0x80, 0x80, 0x01}), wsFail, "invalid cardinal reader", 0},
        {std::string("$BXM") + bytes({2}) + "non", wsFail, "binary xml stream ends early", 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.message);
        logged_document l;
        l.load(r.stream);
        EXPECT_TRUE(l.heard_message(r.style, r.message)) << l.all_heard();
        EXPECT_EQ(l.doc.RootNodeCount(), r.roots);
    }
    logged_document direct;
    TXmlBinaryXml binary(&direct.doc);
    binary.Document = &direct.doc;
    TXmlStringStream s("<a/>");
    binary.LoadFromStream(s);
    EXPECT_TRUE(direct.heard_message(wsFail, "invalid binary xml stream"));
    EXPECT_EQ(direct.doc.RootNodeCount(), 1); // left as it was
}

TEST(TXmlBinaryXml, ACoderReplacesThePayload) {
    TXmlDocument doc;
    doc.ReadFromString("<r><a>text</a></r>");
    TXmlBinaryXml binary(&doc);
    binary.Document = &doc;
    // Reverses the bytes: a coder only has to give back exactly what it was given.
    const TXmlCoderEvent reverse = [](TStream& in, TStream& out, std::int64_t) {
        std::string data(static_cast<std::size_t>(in.Size() - in.Position()), '\0');
        in.ReadBuffer(data.data(), static_cast<std::int64_t>(data.size()));
        std::string rev(data.rbegin(), data.rend());
        out.WriteBuffer(rev.data(), static_cast<std::int64_t>(rev.size()));
        return std::string("rvrs");
    };
    binary.OnEncode = reverse;
    TXmlStringStream s;
    binary.SaveToStream(s);
    EXPECT_EQ(s.DataString().substr(5, 4), "rvrs");
    logged_document back;
    TXmlBinaryXml reader(&back.doc);
    reader.Document = &back.doc;
    reader.OnDecode = reverse;
    s.SetPosition(0);
    reader.LoadFromStream(s);
    EXPECT_EQ(back.doc.WriteToLocalString(), doc.WriteToLocalString());

    logged_document bad;
    TXmlBinaryXml wrong(&bad.doc);
    wrong.Document = &doc;
    wrong.OnEncode = [](TStream&, TStream&, std::int64_t) { return std::string("toolong"); };
    TXmlStringStream t;
    wrong.SaveToStream(t);
    EXPECT_TRUE(bad.heard_message(wsFail, "coder name length <> 4"));
    EXPECT_EQ(t.DataString(), binary_of(doc));
}

TEST(TXmlBinaryXml, ATruncatedStreamKeepsTheNodesReadSoFar) {
    TXmlDocument doc;
    doc.ReadFromString("<?xml version=\"1.0\"?><r a=\"1\"><b>x</b><b>y</b><c><d/></c></r>");
    const std::string full = binary_of(doc);
    int previous = 0;
    for (std::size_t cut = binary_header.size(); cut < full.size(); ++cut) {
        SCOPED_TRACE(cut);
        logged_document l;
        l.load(full.substr(0, cut));
        int nodes = 0;
        l.doc.ForEach(&l.doc, [&](TObject*, TXmlNode*) { ++nodes; });
        EXPECT_GE(nodes, previous);
        EXPECT_LE(nodes, 10);
        EXPECT_TRUE(l.heard_message(wsFail, "binary xml stream ends early")) << l.all_heard();
        previous = nodes;
    }
    EXPECT_GE(previous, 9);
}

TEST(TXmlBinaryXml, InvalidRecordContentIsResetAndReported) {
    struct row {
        const char* what;
        std::string records;
        const char* message;
        const char* text; // the tree read back
    };
    // An element "a" (inline name) with one character-data child "t", the counts given per row.
    const auto element = [](int children, int direct, int value, int closing) {
        return bytes({0, children, direct, value}) + inline_symbol("a") + bytes({closing});
    };
    const std::string text_child = bytes({2}) + inline_symbol("t");
    const row rows[] = {
        {"value index past the children", element(1, 0, 5, 1) + text_child, "invalid value index in binary node \"a\"",
         "<a>t</a>"},
        {"element as value child", element(1, 0, 1, 1) + element(0, 0, 0, 1),
         "invalid value index in binary node \"a\"", "<a><a></a></a>"},
        {"direct count past the children", element(1, 9, 1, 1) + text_child,
         "invalid direct node count in binary node \"a\"", "<at></a>"}, // clamped to the one child
        {"closing style", element(0, 0, 0, 9), "invalid closing style in binary node \"a\"", "<a></a>"},
        {"symbol reference past the table", bytes({0, 0, 0, 0, 40, 1}), "invalid symbol reference 40", "<></>"},
        {"quote style", element(1, 1, 0, 1) + bytes({1}) + inline_symbol("k") + inline_symbol("v") + bytes({7}),
         "invalid quote style 7", "<a k=\"v\"></a>"},
        {"unknown element type", element(0, 0, 0, 2) + bytes({17}) + element(0, 0, 0, 2), "unknown element type 17",
         "<a/>"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        logged_document l;
        l.doc.NodeClosingStyle = ncDefault;
        l.load(binary_header + bytes({0}) + r.records + bytes({16}));
        EXPECT_TRUE(l.heard_text(r.message)) << l.all_heard();
        EXPECT_EQ(l.doc.WriteToLocalString(), r.text);
    }
}

TEST(TXmlBinaryXml, ANodeWithoutRecordIsReportedAndLeftOut) {
    logged_document l;
    l.doc.ReadFromString("<r><a>1</a><b>2</b></r>");
    auto* root = l.doc.Root();
    root->NodeInsert(1, new TXmlNode(&l.doc));
    root->SetValueIndex(-1);
    const std::string saved = binary_of(l.doc);
    EXPECT_TRUE(l.heard_message(wsWarn, "unknown Error \"\"")) << l.all_heard();
    TXmlDocument back;
    TXmlStringStream s(saved);
    back.LoadFromStream(s);
    EXPECT_EQ(back.WriteToLocalString(), "<r><a>1</a><b>2</b></r>");
}

TEST(TXmlBinaryXml, LoadFromFileReadsTheBinaryFormWhateverTheName) {
    temp_file file("binary.xml");
    TXmlDocument doc;
    doc.ReadFromString("<?xml version=\"1.0\" encoding=\"windows-1252\"?><r>\xC3\xA9</r>");
    doc.SaveToBinaryFile(file.name());
    EXPECT_EQ(file.read().substr(0, 4), "$BXM");
    TXmlDocument back;
    back.LoadFromFile(file.name());
    EXPECT_EQ(back.WriteToLocalString(), doc.WriteToLocalString());
    EXPECT_EQ(back.ExternalCodepage(), 1252);
}

// --- Canonical form

TEST(TXmlCanonicalizer, DocumentWithoutReferencesOnlyLosesItsDeclaration) {
    logged_document l;
    l.doc.ReadFromString("<?xml version=\"1.0\"?><r a=\"&amp;\"><b>x &lt; y</b><!-- c --></r>");
    EXPECT_EQ(l.doc.Canonicalize(), 0);
    EXPECT_EQ(l.doc.WriteToLocalString(), "<r a=\"&amp;\"><b>x &lt; y</b><!-- c --></r>");
    EXPECT_TRUE(l.heard_message(wsInfo, "total node count: 5, chardata count: 2, references count: 0"))
        << l.all_heard();
    EXPECT_TRUE(l.heard_message(wsInfo, "C14N created"));
}

TEST(TXmlCanonicalizer, ReferencesAreReplacedByTheQuotedStringOfTheirEntity) {
    struct row {
        const char* what;
        const char* body;
        int substitutions;
        const char* result;
    };
    const row rows[] = {
        {"whole text", "<r><a>&e;</a></r>", 1, "<r><a>hello</a></r>"},
        {"reference after other text", "<r><a>x &e;</a></r>", 1, "<r><a/></r>"},
        {"undeclared entity", "<r><a>&nope;</a><b>k</b></r>", 1, "<r><a/><b>k</b></r>"},
        {"new nodes go to the end of the parent", "<r>&e;<b/></r>", 1, "<r><b/>hello</r>"},
        {"markup in the entity", "<r>&m;</r>", 1, "<r><i>&amp;x</i></r>"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        TXmlDocument doc;
        doc.NodeClosingStyle = ncClose;
        doc.ReadFromString(std::string("<!DOCTYPE r [<!ENTITY e \"hello\"><!ENTITY m \"<i>&amp;x</i>\">]>") + r.body);
        EXPECT_EQ(doc.Canonicalize(), r.substitutions);
        std::string out = doc.WriteToLocalString();
        out.erase(0, out.find("<r"));
        EXPECT_EQ(out, r.result);
    }
    // The new text is not the element's value child.
    TXmlDocument doc;
    doc.ReadFromString("<!DOCTYPE r [<!ENTITY e \"hello\">]><r><a>&e;</a></r>");
    doc.Canonicalize();
    EXPECT_EQ(doc.Root()->NodeByName("a")->Value(), "");
}

TEST(TXmlCanonicalizer, OnlyGeneralEntitiesWithAValueAreSubstituted) {
    struct row {
        const char* what;
        const char* subset;
        const char* result;
    };
    const row rows[] = {
        {"a parameter entity is no content", "<!ENTITY % e \"pe\">", "<r><a/></r>"},
        {"nor does it hide a general entity of its name", "<!ENTITY % e \"pe\"><!ENTITY e \"general\">",
         "<r><a>general</a></r>"},
        {"an external entity is not fetched", "<!ENTITY e SYSTEM \"e.xml\">", "<r><a/></r>"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        TXmlDocument doc;
        doc.ReadFromString(std::string("<!DOCTYPE r [") + r.subset + "]><r><a>&e;</a></r>");
        EXPECT_EQ(doc.Canonicalize(), 1);
        std::string out = doc.WriteToLocalString();
        out.erase(0, out.find("<r"));
        EXPECT_EQ(out, r.result);
    }
}

TEST(TXmlCanonicalizer, EndsOnEveryEntitySet) {
    // A declaration's own text is canonicalised where it stands, so an entity only reaches the content
    // unchanged when the DOCTYPE comes after it.
    std::string laughs = "<r>&l9;</r><!DOCTYPE r [<!ENTITY l0 \"<x>lol</x>\">";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"<x>";
        for (int j = 0; j < 10; ++j) laughs += "<y>&l" + std::to_string(i - 1) + ";</y>";
        laughs += "</x>\">";
    }
    laughs += "]>";
    struct row {
        const char* what;
        std::string text;
        const char* message;
    };
    const row rows[] = {
        {"root-level reference", "&e;<r/>", nullptr},
        {"root-level reference to a declared entity", "<!DOCTYPE r [<!ENTITY e \"<a/>\">]>&e;<r/>", nullptr},
        {"entity refers to itself", "<r>&e;</r><!DOCTYPE r [<!ENTITY e \"<a>&e;</a>\">]>",
         "canonicalization stopped at the limit of its substitutions"},
        {"large entity refers to itself",
         "<r>&e;</r><!DOCTYPE r [<!ENTITY e \"<a>&e;" + std::string(100000, 'z') + "</a>\">]>",
         "canonicalization stopped at the limit of its added text"},
        {"exponential entity set", laughs, "canonicalization stopped at the limit of its substitutions"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        logged_document l;
        l.doc.ReadFromString(r.text);
        l.doc.Canonicalize();
        if (r.message) {
            EXPECT_TRUE(l.heard_message(wsFail, r.message)) << l.all_heard().substr(0, 500);
        } else {
            EXPECT_FALSE(l.heard.empty() || l.heard.back().second != "C14N created");
        }
        EXPECT_LT(l.doc.WriteToLocalString().size(), std::size_t{16} << 20);
    }
}

TEST(TXmlCharData, ExpandingReferencesIsBoundedByTheDocument) {
    // One 50,000-character entity referenced 50,000 times would expand to 2.5 GB.
    std::string text = "<!DOCTYPE r [<!ENTITY e \"" + std::string(50000, 'x') + "\">]><r>";
    for (int i = 0; i < 50000; ++i) text += "&e;";
    text += "</r>";
    logged_document l;
    l.doc.ReadFromString(text);
    std::vector<TXmlNode*> entities{l.doc.DocType()->Nodes(0)};
    auto* chars = dynamic_cast<TXmlCharData*>(l.doc.Root()->Nodes(0));
    ASSERT_NE(chars, nullptr);
    const std::string value = chars->GetValueUsingReferences(entities);
    EXPECT_LT(value.size(), std::size_t{16} << 20);
    // 1 MiB and 16 times the text (150,000 bytes) and the entity's value (50,002 with its quotes).
    EXPECT_TRUE(l.heard_message(wsFail, "references expand beyond 4248608 bytes")) << l.all_heard().substr(0, 300);
    // Within the bound every reference is expanded.
    l.doc.ReadFromString("<!DOCTYPE r [<!ENTITY e \"ab\">]><r>1&e;2&e;</r>");
    chars = dynamic_cast<TXmlCharData*>(l.doc.Root()->Nodes(0));
    EXPECT_EQ(chars->GetValueUsingReferences({l.doc.DocType()->Nodes(0)}), "1\"ab\"2\"ab\"");
}
