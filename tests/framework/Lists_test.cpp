#include "framework/Lists.h"

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Streams.h"
#include "tests/framework/raised.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace kq;

namespace {

// Records its own destruction, so a test sees which items a list freed.
class Tracked : public TObject {
public:
    Tracked(std::vector<int>& freed, int id) : freed(freed), id(id) {}
    ~Tracked() override { freed.push_back(id); }
    std::vector<int>& freed;
    int id;
};

std::vector<String> lines(const TStringList& list) {
    std::vector<String> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
    return out;
}

std::vector<int> ids(const TList<Tracked>& list) {
    std::vector<int> out;
    for (const Tracked* t : list) out.push_back(t->id);
    return out;
}

} // namespace

// --- TList and TObjectList

TEST(TList, EveryIndexIsChecked) {
    int a = 1, b = 2, c = 3;
    TList<int> list;
    EXPECT_EQ(raised_message<EListError>([&] { list.First(); }), u"List index out of bounds (0)");
    EXPECT_EQ(raised_message<EListError>([&] { list.Last(); }), u"List index out of bounds (-1)");
    list.Add(&a);
    list.Add(&b);
    struct row { const char* what; std::function<void()> call; StringView message; };
    const row rows[] = {
        {"Items(-1)", [&] { list.Items(-1); }, u"List index out of bounds (-1)"},
        {"Items(Count)", [&] { list.Items(2); }, u"List index out of bounds (2)"},
        {"SetItems", [&] { list.SetItems(2, &c); }, u"List index out of bounds (2)"},
        {"Insert past Count", [&] { list.Insert(3, &c); }, u"List index out of bounds (3)"},
        {"Delete", [&] { list.Delete(-5); }, u"List index out of bounds (-5)"},
        {"Exchange", [&] { list.Exchange(0, 2); }, u"List index out of bounds (2)"},
        {"Move", [&] { list.Move(0, 2); }, u"List index out of bounds (2)"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(raised_message<EListError>(r.call), r.message);
        EXPECT_EQ(list.Count(), 2) << "a refused call changes nothing";
    }
}

TEST(TList, KeepsOrderThroughEdits) {
    int v[5] = {0, 1, 2, 3, 4};
    TList<int> list;
    for (int& x : v) list.Add(&x);
    list.Move(0, 4);      // 1 2 3 4 0
    list.Exchange(0, 1);  // 2 1 3 4 0
    list.Insert(5, &v[2]); // at Count: appended
    EXPECT_EQ(list.Remove(&v[2]), 0); // the first occurrence
    EXPECT_EQ(list.Remove(&v[2]), 4);
    EXPECT_EQ(list.Remove(&v[2]), -1);
    std::vector<int> seen;
    for (int* x : list) seen.push_back(*x);
    EXPECT_EQ(seen, (std::vector<int>{1, 3, 4, 0}));
    EXPECT_EQ(list.IndexOf(&v[4]), 2);
    EXPECT_EQ(list.Extract(&v[3]), &v[3]);
    EXPECT_EQ(list.Extract(&v[3]), nullptr);
    EXPECT_EQ(*list.First(), 1);
    EXPECT_EQ(*list.Last(), 0);
}

TEST(TObjectList, FreesWhatLeavesUnlessExtracted) {
    std::vector<int> freed;
    std::unique_ptr<Tracked> extracted;
    {
        TObjectList<Tracked> list;
        for (int id = 0; id < 6; ++id) list.Add(std::make_unique<Tracked>(freed, id));
        list.Delete(1);
        list.Remove(list.Items(1)); // id 2
        list.SetItems(0, new Tracked(freed, 10));
        extracted.reset(list.Extract(list.Items(1))); // id 3
        EXPECT_EQ(freed, (std::vector<int>{1, 2, 0}));
        EXPECT_EQ(ids(list), (std::vector<int>{10, 4, 5}));
    }
    EXPECT_EQ(freed, (std::vector<int>{1, 2, 0, 10, 4, 5}));
    EXPECT_EQ(extracted->id, 3);
}

TEST(TObjectList, BorrowsWhenNotOwning) {
    std::vector<int> freed;
    Tracked a(freed, 1), b(freed, 2);
    {
        TObjectList<Tracked> list(false);
        list.Add(&a);
        list.Add(&b);
        list.Delete(0);
        list.Clear();
    }
    EXPECT_TRUE(freed.empty());
}

// --- TStringList

TEST(TStringList, UnsortedFindIgnoresCaseUnlessAsked) {
    TStringList list;
    list.Add(u"Beta");
    list.Add(u"alpha");
    list.Insert(0, u"Gamma");
    EXPECT_EQ(lines(list), (std::vector<String>{u"Gamma", u"Beta", u"alpha"}));
    EXPECT_EQ(list.IndexOf(u"ALPHA"), 2);
    EXPECT_EQ(list.IndexOf(u"delta"), -1);
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf(u"ALPHA"), -1);
    EXPECT_EQ(list.IndexOf(u"alpha"), 2);
    list.SetCaseSensitive(false);
    list.Add(u"Ärger");
    EXPECT_EQ(list.IndexOf(u"äRGER"), 3) << "case ignored beyond A to Z";
    list.Delete(3);
    list.SetStrings(1, u"beta");
    list.Delete(0);
    EXPECT_EQ(lines(list), (std::vector<String>{u"beta", u"alpha"}));
}

TEST(TStringList, SortedKeepsOrderAndHonoursDuplicates) {
    TStringList list;
    list.Add(u"b");
    list.Add(u"C");
    list.Add(u"a");
    list.SetSorted(true);
    EXPECT_EQ(lines(list), (std::vector<String>{u"a", u"b", u"C"}));
    EXPECT_EQ(list.Add(u"B"), 1) << "dupIgnore answers the existing line";
    EXPECT_EQ(list.Count(), 3);
    list.Add(u"a-");
    EXPECT_EQ(list.IndexOf(u"a-"), 1) << "not a duplicate of \"a\"";
    list.Delete(1);
    int index = -1;
    EXPECT_FALSE(list.Find(u"bb", index));
    EXPECT_EQ(index, 2);
    EXPECT_TRUE(list.Find(u"c", index));
    EXPECT_EQ(index, 2);

    list.Duplicates = dupError;
    EXPECT_EQ(raised_message<EListError>([&] { list.Add(u"A"); }), u"String list does not allow duplicates");
    list.Duplicates = dupAccept;
    EXPECT_EQ(list.Add(u"B"), 2) << "after the equal line";
    EXPECT_EQ(lines(list), (std::vector<String>{u"a", u"b", u"B", u"C"}));

    EXPECT_EQ(raised_message<EListError>([&] { list.Insert(0, u"z"); }), u"Operation not allowed on sorted list");
    EXPECT_EQ(raised_message<EListError>([&] { list.SetStrings(0, u"z"); }), u"Operation not allowed on sorted list");

    list.SetCaseSensitive(true); // upper case sorts first by code unit
    EXPECT_EQ(lines(list), (std::vector<String>{u"B", u"C", u"a", u"b"}));
    EXPECT_EQ(list.IndexOf(u"c"), -1);
}

TEST(TStringList, IndexErrors) {
    TStringList list;
    list.Add(u"x");
    EXPECT_EQ(raised_message<EListError>([&] { list.Strings(1); }), u"List index out of bounds (1)");
    EXPECT_EQ(raised_message<EListError>([&] { list.Objects(-1); }), u"List index out of bounds (-1)");
    EXPECT_EQ(raised_message<EListError>([&] { list.Delete(2); }), u"List index out of bounds (2)");
    EXPECT_EQ(raised_message<EListError>([&] { list.Insert(2, u"y"); }), u"List index out of bounds (2)");
    EXPECT_EQ(raised_message<EListError>([&] { list.Names(3); }), u"List index out of bounds (3)");
    list.Insert(1, u"y"); // at Count
    EXPECT_EQ(list.Count(), 2);
}

TEST(TStringList, NamesAndValues) {
    TStringList list;
    list.SetText(u"Width=10\r\nplain line\r\nTitle=a=b\r\nEmpty=");
    EXPECT_EQ(list.Values(u"width"), u"10");
    EXPECT_EQ(list.Values(u"Title"), u"a=b") << "split at the first separator";
    EXPECT_EQ(list.Values(u"plain line"), u"");
    EXPECT_EQ(list.IndexOfName(u"EMPTY"), 3);
    EXPECT_EQ(list.Names(1), u"");
    EXPECT_EQ(list.Names(2), u"Title");
    EXPECT_EQ(list.ValueFromIndex(2), u"a=b");

    list.SetValues(u"WIDTH", u"20");
    list.SetValues(u"Height", u"5");
    list.SetValues(u"Title", u"");
    EXPECT_EQ(lines(list), (std::vector<String>{u"WIDTH=20", u"plain line", u"Empty=", u"Height=5"}));
}

TEST(TStringList, SortedSetValuesKeepsOrderAndObject) {
    TStringList list;
    list.SetSorted(true);
    TObject marker;
    list.AddObject(u"b=1", &marker);
    list.Add(u"c=2");
    list.SetValues(u"b", u"9");
    EXPECT_EQ(lines(list), (std::vector<String>{u"b=9", u"c=2"}));
    EXPECT_EQ(list.Objects(0), &marker);
}

TEST(TStringList, TextSplitsAtEveryLineBreak) {
    struct row { StringView text; std::vector<String> lines; StringView joined; };
    const row rows[] = {
        {u"a\r\nb\nc\rd", {u"a", u"b", u"c", u"d"}, u"a\r\nb\r\nc\r\nd\r\n"},
        {u"a\r\n\r\nb\r\n", {u"a", u"", u"b"}, u"a\r\n\r\nb\r\n"},
        {u"\n", {u""}, u"\r\n"},
        {u"", {}, u""},
        {u"投标\n招标", {u"投标", u"招标"}, u"投标\r\n招标\r\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.text));
        TStringList list;
        list.Add(u"old");
        list.SetText(r.text);
        EXPECT_EQ(lines(list), r.lines);
        EXPECT_EQ(list.Text(), r.joined);
    }
}

TEST(TStringList, CommaTextQuotesWhatNeedsIt) {
    struct row { std::vector<String> lines; StringView comma; };
    const row rows[] = {
        {{u"a", u"b c", u"d,e", u"say \"hi\"", u""}, u"a,\"b c\",\"d,e\",\"say \"\"hi\"\"\",\"\""},
        {{u"one"}, u"one"},
        {{}, u""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.comma));
        TStringList list;
        for (const String& s : r.lines) list.Add(s);
        EXPECT_EQ(list.CommaText(), r.comma);
        TStringList back;
        back.SetCommaText(r.comma);
        EXPECT_EQ(lines(back), r.lines);
    }
    struct parse_row { StringView comma; std::vector<String> lines; };
    const parse_row parses[] = {
        {u"  a b ,c", {u"a", u"b", u"c"}}, // blanks separate too
        {u"a,,b", {u"a", u"", u"b"}},
        {u"a,", {u"a"}},
        {u"\"open", {u"open"}},
    };
    for (const parse_row& r : parses) {
        SCOPED_TRACE(string_to_utf8(r.comma));
        TStringList list;
        list.SetCommaText(r.comma);
        EXPECT_EQ(lines(list), r.lines);
    }
}

TEST(TStringList, OwnsObjectsWhenAsked) {
    std::vector<int> freed;
    {
        TStringList list;
        list.OwnsObjects = true;
        list.AddObject(u"a", new Tracked(freed, 1));
        list.AddObject(u"b", new Tracked(freed, 2));
        list.AddObject(u"c", new Tracked(freed, 3));
        list.Delete(0);
        list.SetObjects(0, new Tracked(freed, 4));
        EXPECT_EQ(freed, (std::vector<int>{1, 2}));
    }
    EXPECT_EQ(freed, (std::vector<int>{1, 2, 4, 3}));

    Tracked kept(freed, 9);
    {
        TStringList borrowing;
        borrowing.AddObject(u"k", &kept);
        EXPECT_EQ(borrowing.Objects(0), &kept);
    }
    EXPECT_EQ(freed.size(), 4u);
}

TEST(TStringList, ReadsMarkedTextAndWritesUtf8) {
    struct row { std::string bytes; std::vector<String> lines; };
    const row rows[] = {
        {"\xEF\xBB\xBF\xE6\x8A\x95\r\nb", {u"投", u"b"}},
        {std::string("\xFF\xFE\x95\x62\n\0x\0", 8), {u"投", u"x"}},
        {"plain\nutf8 \xE6\x8A\x95", {u"plain", u"utf8 投"}},
    };
    for (const row& r : rows) {
        TMemoryStream stream;
        stream.WriteBuffer(r.bytes.data(), static_cast<std::int64_t>(r.bytes.size()));
        stream.SetPosition(0);
        TStringList list;
        list.LoadFromStream(stream);
        EXPECT_EQ(lines(list), r.lines);
    }

    const std::filesystem::path file = std::filesystem::temp_directory_path() / "kq-lists-file.txt";
    const auto cleanup = scope_exit([&] { std::filesystem::remove(file); });
    TStringList list;
    list.SetText(u"招标\r\nline two");
    list.SaveToFile(file.u16string());
    TMemoryStream raw;
    raw.LoadFromFile(file.u16string());
    EXPECT_EQ(std::string(static_cast<const char*>(raw.Memory()), static_cast<std::size_t>(raw.Size())),
              "\xE6\x8B\x9B\xE6\xA0\x87\r\nline two\r\n");
    TStringList back;
    back.LoadFromFile(file.u16string());
    EXPECT_EQ(lines(back), lines(list));
    EXPECT_THROW(back.LoadFromFile(file.u16string() + u".missing"), EFOpenError);
}
