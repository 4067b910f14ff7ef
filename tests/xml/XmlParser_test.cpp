#include "xml/XmlParser.h"

#include "XmlTestSupport.h"
#include "xml/XmlPlatform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace kq;
using kq::xml_test::dtd_documents;
using kq::xml_test::logged_document;
using kq::xml_test::utf16;

namespace {
std::string warnings_of(const logged_document& d) {
    std::string out;
    for (const auto& [style, message] : d.heard)
        if (style >= wsWarn) out += message + "\n";
    return out;
}
} // namespace

TEST(TXmlParser, RepresentativeFileSurvivesAPreservingRoundTrip) {
    const std::string source =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        "<!DOCTYPE catalog SYSTEM \"catalog.dtd\" [\r\n"
        "  <!ELEMENT catalog (item)*>\r\n"
        "  <!ATTLIST item id CDATA #REQUIRED>\r\n"
        "  <!ENTITY maker \"Tessaro\">\r\n"
        "]>\r\n"
        "<!-- top comment -->\r\n"
        "<?process now?>\r\n"
        "<catalog  version='2'\r\n"
        "    lang=\"zh\">\r\n"
        "  <item id=\"1\" name='招标 &amp; tender'>text &lt;here&gt;</item>\r\n"
        "  <item\tid=\"2\"><![CDATA[<raw> & ]]></item>\r\n"
        "  <!-- inner -->\r\n"
        "  <empty/>\r\n"
        "</catalog>\r\n";
    logged_document d;
    d.load(source);
    EXPECT_EQ(d.save(), source);
    ASSERT_NE(d.doc.DocType(), nullptr);
    EXPECT_EQ(d.doc.DocType()->GetName(), "catalog");
    EXPECT_EQ(d.doc.Root()->GetName(), "catalog");
    EXPECT_EQ(d.doc.Root()->FindNode("item")->AttributeValueByName("name"), "招标 & tender");
    EXPECT_EQ(d.doc.Root()->FindNode("item")->GetValue(), "text <here>");
    EXPECT_EQ(d.doc.Root()->Elements(1)->GetValue(), "<raw> & ");
    // LF line ends come back in the document's style.
    d.doc.EolStyle = esLF;
    std::string lf = source;
    for (std::size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
    EXPECT_EQ(d.save(), lf);
}

TEST(TXmlParser, EncodingsLoadAndSave) {
    const std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r>招标 \U0001F600</r>";
    struct row {
        const char* what;
        std::string bytes;
        TXmlStringEncoding encoding;
        std::string saved; // empty: the same bytes
    };
    const row rows[] = {
        {"utf-8 without mark", "<r>\xE6\x8B\x9B</r>", seUTF8, ""},
        {"utf-8 with mark", "\xEF\xBB\xBF<r>\xE6\x8B\x9B</r>", seUTF8, "<r>\xE6\x8B\x9B</r>"},
        {"utf-16le with mark", "\xFF\xFE" + utf16(text, true), seUTF16LE, ""},
        {"utf-16be with mark", "\xFE\xFF" + utf16(text, false), seUTF16BE, ""},
        {"utf-16le without mark", utf16(u"<?xml version=\"1.0\"?><r>招</r>", true), seUTF16LE,
         "\xFF\xFE" + utf16(u"<?xml version=\"1.0\"?>\r\n<r>招</r>", true)},
        {"utf-16be without mark", utf16(u"<?xml version=\"1.0\"?><r>招</r>", false), seUTF16BE,
         "\xFE\xFF" + utf16(u"<?xml version=\"1.0\"?>\r\n<r>招</r>", false)},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        logged_document d;
        d.load(r.bytes);
        EXPECT_EQ(d.doc.ExternalEncoding(), r.encoding);
        ASSERT_NE(d.doc.Root(), nullptr) << d.all_heard();
        EXPECT_EQ(d.doc.Root()->ValueUnicode().substr(0, 1), u"招");
        std::string expected = r.saved.empty() ? r.bytes : r.saved;
        if (r.encoding == seUTF16LE || r.encoding == seUTF16BE) {
            // The declaration always ends with the document's line end.
            const std::string decl_end = utf16(u"?>", r.encoding == seUTF16LE);
            const std::size_t at = expected.find(decl_end);
            const std::string crlf = utf16(u"\r\n", r.encoding == seUTF16LE);
            if (expected.compare(at + 4, 4, crlf) != 0) expected.insert(at + 4, crlf);
        }
        EXPECT_EQ(d.save(), expected);
    }
}

TEST(TXmlParser, DeclaredCodePagesConvertTheRest) {
    logged_document d;
    d.load("<?xml version=\"1.0\" encoding=\"windows-1252\"?><r>caf\xE9</r>");
    EXPECT_EQ(d.doc.Root()->GetValue(), "caf\xC3\xA9");
    EXPECT_EQ(d.doc.ExternalEncoding(), seAnsi);
    EXPECT_EQ(d.doc.ExternalCodepage(), 1252);
    EXPECT_TRUE(d.heard_message(wsInfo, "declaration with encoding \"windows-1252\" and codepage 1252"));
    EXPECT_EQ(d.save(), "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<r>caf\xE9</r>");
    if (!xml_platform::codepage_supported(936)) GTEST_SKIP() << "code page 936 not available here";
    logged_document gbk;
    const std::string source = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<r>\xD5\xD0\xB1\xEA \x81\x40</r>";
    gbk.load(source);
    EXPECT_EQ(gbk.doc.Root()->GetValue(), "招标 \xE4\xB8\x82");
    EXPECT_EQ(gbk.save(), source);
    // A pair cut by the end of a chunk is joined with its second byte from the next one.
    const std::string head = "<?xml version=\"1.0\" encoding=\"gb2312\"?><r>";
    for (std::size_t pad = 250; pad < 262; ++pad) {
        logged_document cut;
        cut.load(head + std::string(pad - head.size(), 'x') + "\xD5\xD0</r>");
        EXPECT_EQ(cut.doc.Root()->GetValue(), std::string(pad - head.size(), 'x') + "招") << pad;
    }
}

TEST(TXmlParser, OnlyTheOpeningDeclarationSwitchesTheEncoding) {
    // A later declaration would convert the chunk again from its start, and the text already read
    // (here a two-byte UTF-8 character) would shift under the read position.
    logged_document d;
    d.load("<?xml version=\"1.0\"?><r>\xC3\xA9</r><?xml version=\"1.0\" encoding=\"windows-1252\"?><s a=\"1\"/>");
    ASSERT_EQ(d.doc.RootNodeCount(), 4) << d.all_heard();
    EXPECT_EQ(d.doc.Root()->GetValue(), "\xC3\xA9");
    EXPECT_EQ(d.doc.RootNodes().Items(3)->AttributeValueByName("a"), "1");
    EXPECT_EQ(d.doc.ExternalEncoding(), seUTF8);
}

TEST(TXmlParser, LineEndsAfterPrologNodesSurviveRepeatedRoundTrips) {
    const std::string decl = "<?xml version=\"1.0\"?>";
    const std::string sheet = "<?xml-stylesheet href=\"s.xsl\"?>";
    struct row {
        const char* name;
        TXmlFormatType format;
        std::string source, saved;
    } rows[] = {
        {"style sheet, one line end", xfPreserve, sheet + "\n<r/>", sheet + "\r\n<r/>"},
        {"style sheet, blank line", xfPreserve, sheet + "\r\n\r\n<r/>", sheet + "\r\n\r\n<r/>"},
        {"style sheet, no line end", xfPreserve, sheet + "<r/>", sheet + "<r/>"},
        {"style sheets in a row", xfPreserve, decl + "\n" + sheet + "\n\n" + sheet + "\n<r/>",
         decl + "\r\n" + sheet + "\r\n\r\n" + sheet + "\r\n<r/>"},
        {"declaration, blank line", xfPreserve, decl + "\n\n<r/>", decl + "\r\n\r\n<r/>"},
        {"declaration, no line end", xfPreserve, decl + "<r/>", decl + "\r\n<r/>"},
        {"readable adds one line end", xfReadable, sheet + "\n<r/>", sheet + "\r\n<r/>\r\n"},
        {"compact drops it", xfCompact, decl + "\n" + sheet + "\n<r/>", decl + "\r\n" + sheet + "<r/>"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        logged_document first;
        first.doc.SetXmlFormat(r.format);
        first.load(r.source);
        EXPECT_EQ(first.save(), r.saved) << first.all_heard();
        logged_document second;
        second.doc.SetXmlFormat(r.format);
        second.load(r.saved);
        EXPECT_EQ(second.save(), r.saved) << second.all_heard();
    }
}

TEST(TXmlParser, TextWithoutDeclarationIsWrittenBackAsRead) {
    // "<?xm" picks ANSI without a code page: the bytes are taken as they are, and written so.
    logged_document d;
    const std::string source = "<?xml-stylesheet href=\"s.xsl\"?><r>\xE6\x8B\x9B caf\xC3\xA9</r>";
    d.load(source);
    EXPECT_EQ(d.doc.ExternalEncoding(), seAnsi);
    EXPECT_EQ(d.doc.Root()->GetValue(), "\xE6\x8B\x9B caf\xC3\xA9");
    EXPECT_EQ(d.save(), source);
}

TEST(TXmlParser, Utf16DeclarationsDoNotSwitchTheEncoding) {
    for (bool le : {true, false}) {
        for (const char16_t* decl : {u"<?xml version=\"1.0\"?>", u"<?xml version=\"1.0\" encoding=\"utf-16\"?>",
                                     u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"}) {
            logged_document d;
            d.load((le ? "\xFF\xFE" : "\xFE\xFF") + utf16(std::u16string(decl) + u"<r a=\"招\">x</r>", le));
            ASSERT_NE(d.doc.Root(), nullptr) << d.all_heard();
            EXPECT_EQ(d.doc.Root()->AttributeValueByName("a"), "招");
            EXPECT_EQ(d.doc.ExternalEncoding(), le ? seUTF16LE : seUTF16BE);
        }
    }
}

TEST(TXmlParser, UnreadableStartsAreReported) {
    struct row {
        const char* what;
        std::string bytes;
        std::string message;
        TXmlWarnStyle style;
    };
    const row rows[] = {
        {"four bytes", "<r/>", "stream terminated prematurely at pos 4", wsWarn},
        {"nothing", "", "stream terminated prematurely at pos 0", wsWarn},
        {"utf-32le", std::string("\xFF\xFE\0\0<\0\0\0r\0\0\0/\0\0\0>\0\0\0", 20), "unsupported encoding (utf-32)", wsFail},
        {"utf-32be", std::string("\0\0\0<\0\0\0r\0\0\0/", 12), "unsupported encoding (utf-32BE)", wsFail},
        {"ebcdic", "\x4C\x6F\xA7\x94\x93\x40", "unsupported encoding (ebcdic)", wsFail},
        {"unknown", "  <r/>", "unknown encoding", wsWarn},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        logged_document d;
        d.load(r.bytes);
        EXPECT_TRUE(d.heard_message(r.style, r.message)) << d.all_heard();
        if (r.style == wsFail || r.bytes.size() <= 4) {
            EXPECT_EQ(d.doc.RootNodeCount(), 0);
        }
    }
}

TEST(TXmlParser, LineEndsArriveAsLfAlsoAcrossChunks) {
    for (int pad = 240; pad < 270; ++pad) {
        // The CR of a CR LF pair lands at every offset around the end of the first 256-byte chunk.
        const std::string source = "<r>" + std::string(static_cast<std::size_t>(pad), 'x') + "\r\ny\rz\n</r>";
        logged_document d;
        d.doc.EolStyle = esLF;
        d.load(source);
        EXPECT_EQ(d.doc.Root()->GetValue(), std::string(static_cast<std::size_t>(pad), 'x') + "\ny\nz") << pad;
    }
}

TEST(TXmlParser, BrokenInputEndsWithoutReadingPastIt) {
    struct row {
        const char* what;
        std::string bytes;
    };
    const row rows[] = {
        {"odd byte after utf-16", "\xFF\xFE" + utf16(u"<r>ab</r>", true) + "<"},
        {"cut utf-8 sequence", "<r>ab\xE6\x8B"},
        {"nul in text", std::string("<r>a\0b</r>\0", 11)},
        {"open comment", "<r><!-- never closed"},
        {"open attribute", "<r a=\"never closed"},
        {"open doctype", "<!DOCTYPE r [ <!ELEMENT r ANY>"},
        {"open cdata", "<r><![CDATA[ x"},
        {"lone lt", "<r><"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        logged_document d;
        d.load(r.bytes);
        d.save();
    }
    logged_document odd;
    odd.load("\xFF\xFE" + utf16(u"<r>ab</r>", true) + "<");
    EXPECT_EQ(odd.doc.Root()->GetValue(), "ab");
    logged_document nul;
    nul.load(std::string("<r>a\0b</r>", 10));
    EXPECT_EQ(nul.doc.Root()->GetValue(), std::string("a\0b", 3));
    logged_document subset;
    subset.load("<!DOCTYPE r [ <!ELEMENT r ANY>");
    EXPECT_TRUE(subset.heard_message(wsFail, "stream terminated prematurely at pos 30")) << subset.all_heard();
}

TEST(TXmlParser, StructuralProblemsAreReportedWithPositions) {
    logged_document d;
    d.load("<r>\n<a>x</b>\n</r>");
    EXPECT_TRUE(d.heard_message(wsWarn, "begin and end tag mismatch: \"a\" and \"b\" at line 1 (pos 12)")) << d.all_heard();
    EXPECT_EQ(d.doc.Root()->FindNode("a")->GetValue(), "x"); // the element keeps what it read

    logged_document q;
    q.load("<r \"a\"='1' b=c/>");
    EXPECT_TRUE(q.heard_message(wsWarn, "illegal quote at pos 4")) << q.all_heard();
    EXPECT_TRUE(q.heard_message(wsWarn, "quote char expected at pos 14")) << q.all_heard();

    logged_document tag;
    tag.load("<r><!x></r>");
    EXPECT_TRUE(tag.heard_message(wsFail, "illegal tag (\"x\") at pos 6")) << tag.all_heard();

    logged_document end;
    end.load("<r/x>");
    EXPECT_TRUE(end.heard_message(wsWarn, "illegal end tag (\"x\") at line 0 (streampos 4)")) << end.all_heard();

    logged_document spaces;
    spaces.load("<r\n  a='1'/>");
    EXPECT_TRUE(spaces.heard_message(wsHint, "non-default chardata at line 1 (pos 6)")) << spaces.all_heard();
}

TEST(TXmlParser, RepairsUnclosedElements) {
    logged_document d;
    d.doc.FixStructuralErrors = true;
    d.load("<p>one<br>two<br>three</p>");
    EXPECT_EQ(d.doc.WriteToLocalString(), "<p>one<br/>two<br/>three</p>");
    // The second line break sits inside the first: it moves up one level before the paragraph is found.
    EXPECT_TRUE(d.heard_message(wsInfo, "moving node \"br\" from parent \"br\" to grandparent \"p\"")) << d.all_heard();
    EXPECT_TRUE(d.heard_message(wsHint, "parent1 = \"p\", this endtag = \"p\": maybe \"br\" should be closed"));
    EXPECT_TRUE(d.heard_message(wsInfo, "correctly closed node \"br\" at pos 0"));

    logged_document plain;
    plain.load("<p>one<br>two</p>");
    EXPECT_EQ(plain.doc.Root()->FindNode("br")->GetValue(), "two"); // without the repair it stays inside
}

TEST(TXmlParser, RepairOfManyUnclosedTagsStaysLinear) {
    // Each line break nests in the one before; the repair unfolds 100,000 levels into one list.
    std::string source = "<p>";
    for (int i = 0; i < 100000; ++i) source += "<br>x";
    source += "</p>";
    TXmlDocument doc;
    doc.FixStructuralErrors = true;
    doc.ReadFromString(source);
    ASSERT_EQ(doc.Root()->NodeCount(), 200000);
    EXPECT_EQ(doc.Root()->Nodes(199998)->GetName(), "br");
    EXPECT_EQ(doc.Root()->Nodes(199999)->GetValue(), "x");
    EXPECT_EQ(doc.Root()->Nodes(199998)->NodeCount(), 0);
}

TEST(TXmlParser, RepairEndsWhenThereIsNowhereToMoveTo) {
    for (const char* source : {"<r><a></x></r>", "<r><a><b></x></b></a></r>", "<a></x>", "<r><a><b><c></a></r>"}) {
        SCOPED_TRACE(source);
        logged_document d;
        d.doc.FixStructuralErrors = true;
        d.load(source);
        ASSERT_NE(d.doc.Root(), nullptr);
        EXPECT_EQ(d.doc.Root()->GetName(), source[1] == 'a' ? "a" : "r");
    }
    logged_document moved;
    moved.doc.FixStructuralErrors = true;
    moved.load("<r><a><b><c></a></r>");
    EXPECT_TRUE(moved.heard_message(wsInfo, "moving node \"c\" from parent \"b\" to grandparent \"a\"")) << moved.all_heard();
}

TEST(TXmlParser, QuotesAndUnquotedValues) {
    logged_document d;
    d.load("<r a='x \"y\"' b=\"1\"/>");
    EXPECT_EQ(d.doc.Root()->Attributes(0)->CoreValue().QuoteStyle(), qsApos);
    EXPECT_EQ(d.doc.WriteToLocalString(), "<r a='x \"y\"' b=\"1\"/>");

    logged_document fixed;
    fixed.doc.FixStructuralErrors = true;
    fixed.load("<r a=bc d=\"e\"/>");
    EXPECT_EQ(fixed.doc.Root()->AttributeValueByName("a"), "bc");
    EXPECT_EQ(fixed.doc.Root()->AttributeValueByName("d"), "e");
    logged_document strict;
    strict.load("<r a=bc/>");
    EXPECT_EQ(strict.doc.Root()->AttributeValueByName("a"), "");
}

TEST(TXmlParser, InternalSubsetSurvivesLoadAndSave) {
    for (const auto& r : dtd_documents) {
        SCOPED_TRACE(r.what);
        logged_document first;
        first.load(r.text);
        EXPECT_EQ(warnings_of(first), "");
        const std::string saved = first.save();
        EXPECT_EQ(saved, r.saved ? r.saved : r.text);
        logged_document second;
        second.load(saved);
        EXPECT_EQ(warnings_of(second), "");
        EXPECT_EQ(second.save(), saved);
    }
}

TEST(TXmlParser, SavedInternalSubsetsAreWellFormedToAPeerParser) {
#ifdef _WIN32
    GTEST_SKIP() << "xmllint is a Linux program and cannot be run from here: the native build runs this test";
#else
    if (std::system("xmllint --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is absent (Debian package libxml2-utils): the saved texts were not checked";
    for (const auto& r : dtd_documents) {
        SCOPED_TRACE(r.what);
        logged_document d;
        d.load(r.text);
        const std::string saved = d.save();
        // Its complaints, if any, go to the test's output.
        FILE* lint = popen("xmllint --noout - 1>&2", "w");
        ASSERT_NE(lint, nullptr);
        std::fwrite(saved.data(), 1, saved.size(), lint);
        EXPECT_EQ(pclose(lint), 0) << saved;
    }
#endif
}

TEST(TXmlParser, EntityDeclarationsKeepTheirParts) {
    struct row {
        const char* declaration;
        const char* name;
        bool parameter;
        const char* value; // the parts after the name, as written
    };
    const row rows[] = {
        {"<!ENTITY e \"v\">", "e", false, "\"v\""},
        {"<!ENTITY % p 'v'>", "p", true, "'v'"},
        {"<!ENTITY %p \"v\">", "%p", false, "\"v\""},
        {"<!ENTITY s system \"s.xml\">", "s", false, "SYSTEM \"s.xml\""},
        {"<!ENTITY % x PUBLIC \"p\"\n's'>", "x", true, "PUBLIC \"p\" 's'"},
        {"<!ENTITY u SYSTEM\"u.gif\"NDATA gif>", "u", false, "SYSTEM \"u.gif\" NDATA gif"},
        // Ill-formed, but read without a warning: each must read back as it was read.
        {"<!ENTITY %>", "", true, ""},
        {"<!ENTITY %\"v\">", "%\"v\"", false, ""},
        {"<!ENTITY n NDATA x'y'>", "n", false, "NDATA x 'y'"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.declaration);
        logged_document d;
        d.load(std::string("<?xml version=\"1.0\"?><!DOCTYPE r [") + r.declaration + "]><r/>");
        EXPECT_EQ(warnings_of(d), "");
        ASSERT_NE(d.doc.DocType(), nullptr);
        const auto* entity = dynamic_cast<const TXmlDtdEntity*>(d.doc.DocType()->Nodes(0));
        ASSERT_NE(entity, nullptr);
        EXPECT_EQ(entity->GetName(), r.name);
        EXPECT_EQ(entity->IsParameterEntity(), r.parameter);
        EXPECT_EQ(entity->GetValue(), r.value);
        logged_document again;
        again.load(d.save());
        EXPECT_EQ(again.save(), d.save());
    }
    // A reference between declarations is text of the DOCTYPE, in its place.
    logged_document d;
    d.load("<!DOCTYPE r [<!ENTITY % p \"\">%p;<!ELEMENT r ANY>]><r/>");
    ASSERT_EQ(d.doc.DocType()->NodeCount(), 3);
    EXPECT_EQ(d.doc.DocType()->Nodes(1)->ElementType(), xeCharData);
    EXPECT_EQ(d.doc.DocType()->Nodes(1)->GetValue(), "%p;");
    // The readable format gives it a line of its own.
    d.doc.SetXmlFormat(xfReadable);
    EXPECT_EQ(d.doc.WriteToLocalString(),
              "<!DOCTYPE r [\r\n<!ENTITY % p \"\">\r\n%p;\r\n<!ELEMENT r ANY>\r\n]>\r\n<r/>\r\n");
}

TEST(TXmlParser, BrokenDeclarationsAreReportedAsBefore) {
    // Words that are no keywords, and a "%" that starts no reference, are read as they always were.
    struct row {
        const char* subset;
        const char* warnings;
    };
    const row rows[] = {
        {"<!ENTITY e v>", "quote char expected at pos 46\n"},
        {"<!ENTITY e SYSTEMS \"s\">",
         "quote char expected at pos 46\nquote char expected at pos 47\nquote char expected at pos 48\n"
         "quote char expected at pos 49\nquote char expected at pos 50\nquote char expected at pos 51\n"
         "quote char expected at pos 52\n"},
        {"<!ENTITY e \"v\"",
         "quote char expected at pos 49\nillegal tag (\"Element\") at pos 51\nillegal tag (\"r\") at pos 52\n"},
        {"%p <!ELEMENT r ANY>", "illegal tag (\"%\") at pos 35\n"},
        {"%; <!ELEMENT r ANY>", "illegal tag (\"%\") at pos 35\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.subset);
        logged_document d;
        d.load(std::string("<?xml version=\"1.0\"?><!DOCTYPE r [") + r.subset + "]><r/>");
        EXPECT_EQ(warnings_of(d), r.warnings);
    }
}

TEST(TXmlParser, TagKindsIgnoreCase) {
    logged_document d;
    d.load("<!doctype r><r><![cdata[x<y]]></r>");
    ASSERT_NE(d.doc.DocType(), nullptr);
    EXPECT_EQ(d.doc.Root()->GetValue(), "x<y");
}

TEST(TXmlParser, AbortParsingStopsTheLoad) {
    logged_document root_level;
    root_level.doc.OnNodeLoaded = [&](TObject*, TXmlNode* n) {
        if (n->ElementType() == xeComment) root_level.doc.AbortParsing = true;
    };
    root_level.load("<!-- a --><!-- b --><r/>");
    EXPECT_EQ(root_level.doc.RootNodeCount(), 1);

    logged_document nested;
    nested.doc.OnNodeLoaded = [&](TObject*, TXmlNode* n) {
        if (n->GetName() == "stop") nested.doc.AbortParsing = true;
    };
    nested.load("<r><a><stop/><after/></a><later/></r>");
    EXPECT_EQ(nested.doc.Root()->FindNode("after"), nullptr);
    EXPECT_EQ(nested.doc.Root()->FindNode("later"), nullptr);
    EXPECT_TRUE(nested.heard_message(wsWarn, "level mismatch between subnode \"a\" and endnode \"nil\" at line 0 (pos 13)"))
        << nested.all_heard();
}

TEST(TXmlParser, EventsAndDroppedComments) {
    logged_document d;
    std::string order;
    d.doc.OnNodeNew = [&](TObject*, TXmlNode* n) { order += '+' + n->GetName(); };
    d.doc.OnNodeLoaded = [&](TObject*, TXmlNode* n) { order += '-' + n->GetName(); };
    d.doc.DropCommentsOnParse = true;
    d.load("<!--c--><r a='1'>t</r>");
    EXPECT_EQ(order, "+Comment-Comment+r+-a+CharData-CharData-r"); // an attribute is announced before its name is read
    EXPECT_EQ(d.doc.RootNodeCount(), 1);
    EXPECT_TRUE(d.heard_message(wsInfo, "option DropCommentsOnParse is true, deleting comment"));
}

TEST(TXmlParser, DeepNestingLoadsSavesAndFrees) {
    std::string source;
    const int depth = 100000;
    for (int i = 0; i < depth; ++i) source += "<d>";
    source += "x";
    for (int i = 0; i < depth; ++i) source += "</d>";
    logged_document d;
    d.load(source);
    EXPECT_EQ(d.doc.WriteToLocalString(), source);
    d.doc.Clear();
}

TEST(TXmlParser, ManyWarningsInALargeFileStayLinear) {
    // About 10 MB with a line-numbered message for every element.
    std::string source = "<r>";
    source.reserve(10'500'000);
    while (source.size() < 10'000'000) source += "\n<e\n  a='1'/>";
    source += "</r>";
    logged_document d;
    std::size_t messages = 0;
    d.doc.OnDebugOut = [&](TObject*, TXmlWarnStyle, const std::string&) { ++messages; };
    d.load(source);
    EXPECT_GT(messages, 700000u);
}

TEST(TXmlParser, CodePageTable) {
    EXPECT_EQ(codepage_by_name("WINDOWS-1252", 0), 1252);
    EXPECT_EQ(codepage_by_name("iso-2022-jp", 0), 50220); // the first row wins
    EXPECT_EQ(codepage_by_name("euc-jp", 0), 20932);
    EXPECT_EQ(codepage_by_name("nonsense", 65001), 65001);
    EXPECT_EQ(name_by_codepage(709), "ASMO-449+");
    EXPECT_EQ(encoding_by_name("UTF-16"), seUTF16LE);
    EXPECT_EQ(encoding_by_name("unicodeFFFE"), seUTF16BE);
    EXPECT_EQ(encoding_by_name(""), seUTF8);
    EXPECT_EQ(encoding_by_name("koi8-r"), seAnsi);
}
