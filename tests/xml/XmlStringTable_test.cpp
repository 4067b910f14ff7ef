#include "xml/XmlStringTable.h"

#include "xml/XmlStreams.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kq;

namespace {
struct listening_table {
    TXmlSymbolTable table;
    std::vector<std::pair<TXmlWarnStyle, std::string>> heard;
    listening_table() {
        table.OnDebugOut = [this](TObject*, TXmlWarnStyle w, const std::string& m) { heard.emplace_back(w, m); };
    }
};
} // namespace

TEST(TXmlSymbolTable, InternsEachTextOnceWithIdsInOrderOfFirstUse) {
    TXmlSymbolTable t;
    EXPECT_EQ(t.AddString(""), 0);
    EXPECT_EQ(t.SymbolCount(), 0);
    EXPECT_EQ(t.AddString("a"), 1);
    EXPECT_EQ(t.AddString("bb"), 2);
    EXPECT_EQ(t.AddString("a"), 1);
    EXPECT_EQ(t.AddString("A"), 3); // byte for byte
    EXPECT_EQ(t.GetString(2), "bb");
    EXPECT_EQ(t.GetString(0), "");
    t.Clear();
    EXPECT_EQ(t.AddString("bb"), 1);
}

TEST(TXmlSymbolTable, UnknownIdsAreReported) {
    listening_table l;
    l.table.AddString("x");
    EXPECT_EQ(l.table.GetString(2), "");
    EXPECT_EQ(l.table.GetString(-5), "");
    ASSERT_EQ(l.heard.size(), 1u);
    EXPECT_EQ(l.heard[0], std::make_pair(wsWarn, std::string("string ID not found")));
}

TEST(TXmlSymbolTable, SortByFrequencyRenumbersMostUsedFirst) {
    TXmlSymbolTable t;
    const int y = t.AddString("y");
    const int x = t.AddString("x");
    const int z = t.AddString("z");
    t.IncrementFrequency(y);
    for (int i = 0; i < 3; ++i) t.IncrementFrequency(x);
    std::vector<std::int32_t> ids;
    t.SortByFrequency(ids);
    ASSERT_EQ(ids.size(), 4u);
    EXPECT_EQ(ids[x], 1);
    EXPECT_EQ(ids[y], 2);
    EXPECT_EQ(ids[z], 3);
    EXPECT_EQ(t.GetString(1), "x");
    EXPECT_EQ(t.PluralSymbolCount(), 1);
    EXPECT_EQ(t.AddString("x"), 1); // the lookup follows the new numbers
}

TEST(TXmlSymbolTable, StreamFormRoundTripsAndReportsDuplicates) {
    TXmlSymbolTable t;
    t.AddString("alpha");
    t.AddString(std::string(200, 'q')); // a length that needs two 7-bit groups
    TXmlFastMemStream s;
    t.SaveToStream(s, t.SymbolCount());
    const auto* bytes = static_cast<const unsigned char*>(s.Memory());
    EXPECT_EQ(bytes[0], 2);                    // count
    EXPECT_EQ(bytes[1], 0);                    // style
    EXPECT_EQ(bytes[2], 5);                    // byte count
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes) + 3, 5), "alpha");
    EXPECT_EQ(bytes[9], 0xC8);                 // 200 = 0x48 | more, then 1
    EXPECT_EQ(bytes[10], 0x01);

    s.SetPosition(0);
    TXmlSymbolTable u;
    u.LoadFromStream(s);
    EXPECT_EQ(u.SymbolCount(), 2);
    EXPECT_EQ(u.GetString(2), std::string(200, 'q'));

    // The same string twice: both get IDs, the lookup finds the first.
    TXmlFastMemStream dup;
    const unsigned char twice[] = {2, 0, 1, 'a', 0, 1, 'a'};
    dup.Write(twice, sizeof twice);
    dup.SetPosition(0);
    listening_table l;
    l.table.LoadFromStream(dup);
    EXPECT_EQ(l.table.SymbolCount(), 2);
    EXPECT_EQ(l.table.AddString("a"), 1);
    ASSERT_EQ(l.heard.size(), 1u);
    EXPECT_EQ(l.heard[0], std::make_pair(wsFail, std::string("duplicate symbol!")));

    listening_table zero;
    zero.table.SaveSymbol(s, 0);
    EXPECT_EQ(zero.heard.at(0), std::make_pair(wsFail, std::string("symbol ID <= 0")));
}

TEST(TXmlSymbolTable, HostileStreamsEndAtTheirData) {
    struct row {
        std::vector<unsigned char> bytes;
        int symbols;
    };
    const row rows[] = {
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, 0},          // four billion symbols announced, none there
        {{0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}, 1}, // a length far beyond the data
        {{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, 0}, // a cardinal that never ends
    };
    for (const row& r : rows) {
        TXmlFastMemStream s;
        s.Write(r.bytes.data(), static_cast<std::int64_t>(r.bytes.size()));
        s.SetPosition(0);
        TXmlSymbolTable t;
        t.LoadFromStream(s);
        EXPECT_EQ(t.SymbolCount(), r.symbols);
    }
}

TEST(TXmlSymbolTable, ManyDistinctTextsInternInLinearTime) {
    TXmlSymbolTable t;
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(t.AddString("value" + std::to_string(i)), i + 1);
    for (int i = 0; i < 100000; i += 997) ASSERT_EQ(t.AddString("value" + std::to_string(i)), i + 1);
}
