#include "xml/XmlWriter.h"

#include "XmlTestSupport.h"
#include "xml/XmlPlatform.h"

#include <gtest/gtest.h>

using namespace kq;
using kq::xml_test::logged_document;
using kq::xml_test::utf16;

namespace {
// r holding a text-only child, an element with text and children, and an empty element.
void build(TXmlDocument& doc) {
    TXmlElement& r = *doc.Root();
    r.SetName("r");
    r.NodeNew("t")->SetValue("text");
    TXmlNode* mixed = r.NodeNew("m");
    mixed->SetValue("lead");
    mixed->NodeNew("c");
    r.NodeNew("e");
}
} // namespace

TEST(TXmlWriter, ReadableFormatIndentsByDepth) {
    TXmlDocument doc;
    build(doc);
    doc.SetXmlFormat(xfReadable);
    EXPECT_EQ(doc.WriteToLocalString(),
              "<r>\r\n"
              "\t<t>text</t>\r\n"
              "\t<m>lead\r\n"
              "\t\t<c/>\r\n"
              "\t</m>\r\n"
              "\t<e/>\r\n"
              "</r>\r\n");
    doc.IndentString = "  ";
    doc.EolStyle = esLF;
    EXPECT_EQ(doc.Root()->FindNode("m")->WriteToString(), "  <m>lead\n    <c/>\n  </m>\n");
}

TEST(TXmlWriter, CompactAndPreserveAddNothing) {
    for (TXmlFormatType format : {xfCompact, xfPreserve}) {
        TXmlDocument doc;
        doc.SetXmlFormat(format);
        build(doc);
        EXPECT_EQ(doc.WriteToLocalString(), "<r><t>text</t><m>lead<c/></m><e/></r>");
    }
}

TEST(TXmlWriter, ClosingStyles) {
    logged_document d;
    d.load("<r><read></read><closed/></r>");
    d.doc.Root()->NodeNew("made");
    struct row {
        TXmlNodeClosingStyle style;
        const char* text;
    };
    const row rows[] = {
        {ncClose, "<r><read/><closed/><made/></r>"},
        {ncFull, "<r><read></read><closed></closed><made></made></r>"},
        {ncDefault, "<r><read></read><closed/><made></made></r>"},
    };
    for (const row& r : rows) {
        d.doc.NodeClosingStyle = r.style;
        EXPECT_EQ(d.doc.WriteToLocalString(), r.text);
    }
    d.doc.NodeClosingStyle = ncClose;
    d.doc.DirectCloseTag = " />";
    EXPECT_EQ(d.doc.Root()->FindNode("made")->WriteToString(), "<made />");
}

TEST(TXmlWriter, LineEndStyles) {
    struct row {
        TXmlEolStyle style;
        const char* eol;
    };
    const row rows[] = {{esLF, "\n"}, {esCR, "\r"}, {esCRLF, "\r\n"}};
    for (TXmlFormatType format : {xfCompact, xfPreserve}) {
        for (const row& r : rows) {
            std::unique_ptr<TXmlDocument> doc(TXmlDocument::CreateName("a"));
            doc->SetXmlFormat(format);
            doc->EolStyle = r.style;
            doc->Root()->SetValue("x\r\ny");
            EXPECT_EQ(doc->WriteToLocalString(), std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>") + r.eol +
                                                     "<a>x" + r.eol + "y</a>");
        }
    }
}

TEST(TXmlWriter, AttributeQuotes) {
    TXmlDocument doc;
    doc.Root()->SetName("r");
    doc.Root()->SetAttributeValueByName("q", "say \"hi\"");
    EXPECT_EQ(doc.WriteToLocalString(), "<r q=\"say &quot;hi&quot;\"/>");
}

TEST(TXmlWriter, Utf16OutputTakesTwoBytesPerUnit) {
    logged_document d;
    d.doc.Root()->SetName("r");
    d.doc.Root()->SetValueUnicode(u"招\U0001F600");
    d.doc.SetExternalEncoding(seUTF16LE);
    EXPECT_EQ(d.save(), "\xFF\xFE" + utf16(u"<?xml encoding=\"utf-16\"?>\r\n<r>招\U0001F600</r>", true));
    d.doc.SetExternalEncoding(seUTF16BE);
    EXPECT_EQ(d.save(), "\xFE\xFF" + utf16(u"<?xml encoding=\"unicodeFFFE\"?>\r\n<r>招\U0001F600</r>", false));
}

TEST(TXmlWriter, CodePageSubstitutesWhatItLacks) {
    logged_document d;
    d.doc.Root()->SetName("r");
    d.doc.Root()->SetValue("caf\xC3\xA9 \xE6\x8B\x9B");
    d.doc.SetExternalCodepage(1252);
    EXPECT_EQ(d.save(), "<?xml encoding=\"windows-1252\"?>\r\n<r>caf\xE9 ?</r>");
    EXPECT_TRUE(d.heard_message(wsWarn, "default char used for codepage substitution"));
    if (!xml_platform::codepage_supported(936)) GTEST_SKIP() << "code page 936 not available here";
    logged_document gbk;
    gbk.doc.Root()->SetName("r");
    gbk.doc.Root()->SetValue("招标");
    gbk.doc.SetExternalCodepage(936);
    EXPECT_EQ(gbk.save(), "<?xml encoding=\"gb2312\"?>\r\n<r>\xD5\xD0\xB1\xEA</r>");
    EXPECT_FALSE(gbk.heard_message(wsWarn, "default char used for codepage substitution"));
}

TEST(TXmlWriter, InstructionsKeepTheirReferences) {
    logged_document d;
    d.load("<?php echo '&amp;'?><r/>");
    const std::string once = d.doc.WriteToLocalString();
    EXPECT_EQ(once, "<?php echo '&amp;'?><r/>");
    logged_document again;
    again.load(once);
    EXPECT_EQ(again.doc.WriteToLocalString(), once);
}

TEST(TXmlWriter, DoctypeForms) {
    struct row {
        const char* in;
        const char* out;
    };
    const row rows[] = {
        {"<!DOCTYPE r><r/>", "<!DOCTYPE r ><r/>"},
        {"<!DOCTYPE r SYSTEM \"r.dtd\"><r/>", "<!DOCTYPE r SYSTEM \"r.dtd\" ><r/>"},
        {"<!DOCTYPE r PUBLIC 'p' \"s\"><r/>", "<!DOCTYPE r PUBLIC 'p' \"s\" ><r/>"},
        {"<!DOCTYPE r [<!ENTITY e \"v\">]><r/>", "<!DOCTYPE r [<!ENTITY e \"v\">]><r/>"},
    };
    for (const row& r : rows) {
        logged_document d;
        d.load(r.in);
        EXPECT_EQ(d.doc.WriteToLocalString(), r.out);
    }
}

TEST(TXmlWriter, ProgressCarriesTheTargetsPosition) {
    logged_document d;
    std::vector<std::int64_t> positions;
    d.doc.OnProgress = [&](TObject*, std::int64_t p) { positions.push_back(p); };
    d.doc.Root()->SetName("r");
    d.doc.Root()->AttributeAdd("a", "1");
    d.save();
    // Through the buffered writer, whose own position stays 0.
    EXPECT_EQ(positions, (std::vector<std::int64_t>{0, 0, 0, 0}));
    positions.clear();
    const std::string text = d.doc.WriteToLocalString();
    EXPECT_EQ(positions, (std::vector<std::int64_t>{0, 8, 10, 10}));
    EXPECT_EQ(text.size(), 10u);
}
