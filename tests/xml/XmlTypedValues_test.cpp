#include "xml/XmlTypedValues.h"

#include "xml/XmlDocument.h"

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "xml/XmlTextConversions.h"

#include <gtest/gtest.h>

using namespace kq;

TEST(TypedValues, TheStrictFloatReaderFollowsTheDecimalSeparator) {
    const char16_t kept = FormatSettings.DecimalSeparator;
    auto restore = scope_exit([&] { FormatSettings.DecimalSeparator = kept; });
    TXmlDocument doc;
    TXmlElement& e = *doc.Root();
    struct row {
        char16_t separator;
        const char* text;
        bool strict_reads;
        double value;
        double with_default; // the forms with a default read "." whatever the setting
    };
    const row rows[] = {
        {u'.', "1.5", true, 1.5, 1.5},  {u'.', "1,5", false, 0, 1.5},  {u',', "1,5", true, 1.5, 1.5},
        {u',', "1.5", false, 0, 1.5},   {u',', "-2,25E1", true, -22.5, -22.5},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.text);
        FormatSettings.DecimalSeparator = r.separator;
        e.SetValue(r.text);
        if (r.strict_reads) {
            EXPECT_DOUBLE_EQ(e.ValueAsFloat(), r.value);
            EXPECT_DOUBLE_EQ(text_to_float(r.text), r.value);
        } else {
            EXPECT_THROW(e.ValueAsFloat(), EConvertError);
        }
        EXPECT_DOUBLE_EQ(e.GetValueAsFloatDef(0), r.with_default);
    }
}

TEST(TypedValues, StrictReadersRaiseAndDefaultsStandIn) {
    TXmlDocument doc;
    TXmlElement& e = *doc.Root();
    struct row {
        const char* text;
        double float_def;
        std::int32_t int_def;
        bool bool_def;
    };
    const row rows[] = {
        {"1,5", 1.5, 7, true},   // comma accepted by the default form only
        {"1.5", 1.5, 7, true},
        {"x", 0, 7, true},
        {"-12", -12, -12, true},
        {"$1F", 0, 31, true},
        {"0", 0, 0, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.text);
        e.SetValue(r.text);
        EXPECT_DOUBLE_EQ(e.GetValueAsFloatDef(0), r.float_def);
        EXPECT_EQ(e.GetValueAsIntegerDef(7), r.int_def);
        EXPECT_EQ(e.GetValueAsBoolDef(true), r.bool_def);
    }
    e.SetValue("x");
    EXPECT_THROW(e.ValueAsFloat(), EConvertError);
    EXPECT_THROW(e.ValueAsInteger(), EConvertError);
    EXPECT_THROW(e.ValueAsBool(), EConvertError);
    EXPECT_THROW(e.ValueAsDateTime(), EConvertError);
    EXPECT_DOUBLE_EQ(e.GetValueAsDateTimeDef(3), 3);
}

TEST(TypedValues, WritersUseTheDocumentsSettings) {
    TXmlDocument doc;
    TXmlElement& e = *doc.Root();
    const double t = encode_datetime(2018, 9, 21, 10, 15, 30, 456);
    e.SetValueAsDate(t);
    EXPECT_EQ(e.GetValue(), "2018-09-21");
    e.SetValueAsTime(t);
    EXPECT_EQ(e.GetValue(), "10:15:30Z");
    doc.SplitSecondDigits = 3;
    e.SetValueAsDateTime(t);
    EXPECT_EQ(e.GetValue(), "2018-09-21T10:15:30.456Z");
    EXPECT_NEAR(e.ValueAsDateTime(), t, 1e-8);
    e.SetValueAsFloat(1.0 / 3);
    EXPECT_EQ(e.GetValue(), ".333333");
    doc.FloatSignificantDigits = 2;
    e.SetValueAsFloat(123456);
    EXPECT_EQ(e.GetValue(), "1.2E5");
    doc.FloatAllowScientific = false;
    e.SetValueAsFloat(123456);
    EXPECT_EQ(e.GetValue(), "120000");
    e.SetValueAsBool(true);
    EXPECT_EQ(e.GetValue(), "true");
    e.SetValueAsInt64(-9000000000);
    EXPECT_EQ(e.ValueAsInt64(), -9000000000);
}

TEST(TypedValues, NamedChildrenAndDefaults) {
    TXmlDocument doc;
    TXmlElement& e = *doc.Root();
    EXPECT_EQ(e.ReadString("s", "dflt"), "dflt");
    e.NodeNew("s");
    EXPECT_EQ(e.ReadString("s", "dflt"), ""); // the child exists, empty
    e.WriteInteger("n", 5, 5);
    EXPECT_EQ(e.ReadInteger("n", 0), 5);
    EXPECT_EQ(e.ReadString("n"), "5");
    doc.WriteOnDefault = false;
    e.WriteInteger("m", 5, 5);
    e.WriteString("w", "a", "a");
    EXPECT_EQ(e.NodeByName("m"), nullptr);
    EXPECT_EQ(e.NodeByName("w"), nullptr);
    e.WriteString("w", "b", "a");
    EXPECT_EQ(e.ReadString("w"), "b");
    e.WriteHex("h", 0xBEEF, 6);
    EXPECT_EQ(e.ReadString("h"), "$00BEEF");
    EXPECT_EQ(e.ReadInteger("h"), 0xBEEF);
    e.WriteFloat("f", 2.5);
    EXPECT_DOUBLE_EQ(e.ReadFloat("f"), 2.5);
    e.WriteBool("b", true);
    EXPECT_TRUE(e.ReadBool("b"));
    e.WriteUnicodeString("u", u"招标");
    EXPECT_EQ(e.ReadUnicodeString("u"), u"招标");
    EXPECT_EQ(e.ReadInt64("missing", -1), -1);
}

TEST(TypedValues, Attributes) {
    TXmlDocument doc;
    TXmlElement& e = *doc.Root();
    e.WriteAttributeInteger("i", 42);
    e.WriteAttributeFloat("f", 1.25);
    e.WriteAttributeBool("b", true);
    e.WriteAttributeString("s", "x");
    e.WriteAttributeDateTime("d", encode_datetime(2020, 1, 2, 3, 4, 5, 0));
    EXPECT_EQ(e.ReadAttributeInteger("i"), 42);
    EXPECT_DOUBLE_EQ(e.ReadAttributeFloat("f"), 1.25);
    EXPECT_TRUE(e.ReadAttributeBool("b"));
    EXPECT_EQ(e.ReadAttributeString("s"), "x");
    EXPECT_EQ(e.ReadAttributeString("none", "dflt"), "dflt");
    EXPECT_EQ(e.AttributeValueByName("d"), "2020-01-02T03:04:05Z");
    EXPECT_NEAR(e.ReadAttributeDateTime("d"), encode_datetime(2020, 1, 2, 3, 4, 5, 0), 1e-9);
    e.SetAttributeValueByName("comma", "1,5");
    EXPECT_DOUBLE_EQ(e.ReadAttributeFloat("comma", 9), 9); // no comma replacement here
    EXPECT_EQ(e.ReadAttributeInteger("s", -1), -1);
    doc.WriteOnDefault = false;
    e.WriteAttributeInteger("zero", 0, 0);
    EXPECT_FALSE(e.HasAttribute("zero"));
}

TEST(TypedValues, BinaryContentAsBase64) {
    TXmlDocument doc;
    TXmlElement& e = *doc.Root();
    std::string bytes;
    for (int i = 0; i < 200; ++i) bytes.push_back(static_cast<char>(i));
    e.SetBinaryString(bytes);
    EXPECT_EQ(e.BinaryString(), bytes);
    EXPECT_EQ(e.BufferLength(), 200);
    struct row {
        const char* text;
        int length;
    };
    const row rows[] = {{"YWI=", 2}, {"YWJj", 3}, {"YQ==", 1}, {" Y W\r\nJ j ", 3}};
    for (const row& r : rows) {
        e.SetValue(r.text);
        EXPECT_EQ(e.BufferLength(), r.length) << r.text;
    }
    e.SetValue("YWJ");
    EXPECT_THROW(e.BufferLength(), EFilerError);
    e.SetValue("4a6b");
    char two[2] = {};
    e.BufferRead(two, 2, xbeBinHex);
    EXPECT_EQ(std::string(two, 2), "Jk");
    EXPECT_THROW(e.BufferRead(two, 3, xbeBinHex), EFilerError);
    e.SetValue("YQ==");
    char four[4] = {};
    EXPECT_THROW(e.BufferRead(four, 4, xbeBase64), EFilerError);
    e.SetBinaryString("");
    EXPECT_EQ(e.GetValue(), "");
}

TEST(TypedValues, ReadableFormatBreaksBase64Lines) {
    TXmlDocument doc;
    doc.SetXmlFormat(xfReadable);
    TXmlNode* child = doc.Root()->NodeNew("data");
    child->SetBinaryString(std::string(60, 'x')); // 80 characters of Base64
    const std::string v = child->GetValue();
    EXPECT_EQ(v.substr(0, 3), "\r\n\t");
    EXPECT_EQ(v.substr(v.size() - 3), "\r\n\t");
    EXPECT_EQ(child->BinaryString(), std::string(60, 'x'));
}
