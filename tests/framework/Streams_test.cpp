#include "framework/Streams.h"

#include "framework/Exceptions.h"
#include "tests/framework/raised.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <numeric>
#include <string>

using namespace kq;

namespace {

// Accepts at most limit bytes in total, then refuses: a disk that fills up.
class LimitedStream : public TMemoryStream {
public:
    explicit LimitedStream(std::int64_t limit) : limit(limit) {}
    std::int64_t Write(const void* buffer, std::int64_t count) override {
        return TMemoryStream::Write(buffer, std::min(count, limit - Size()));
    }
    std::int64_t limit;
};

std::string contents(TMemoryStream& s) {
    return std::string(static_cast<const char*>(s.Memory()), static_cast<std::size_t>(s.Size()));
}

void write_text(TStream& s, std::string_view text) {
    s.WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
}

// A private folder per test, removed with everything in it.
class FileStreams : public testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("kq-streams-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    String path(const char16_t* name) const { return (dir / std::filesystem::path(name)).u16string(); }

    std::filesystem::path dir;
};

} // namespace

// --- Memory streams

TEST(TMemoryStream, ReadsWritesAndSeeks) {
    TMemoryStream s;
    write_text(s, "hello world");
    EXPECT_EQ(s.Position(), 11);
    EXPECT_EQ(s.Size(), 11);

    struct row { std::int64_t offset; TSeekOrigin origin; std::int64_t position; const char* rest; };
    const row rows[] = {
        {0, soFromBeginning, 0, "hello world"},
        {6, soFromBeginning, 6, "world"},
        {-3, soFromEnd, 8, "rld"},
        {0, soFromEnd, 11, ""},
        {20, soFromBeginning, 20, ""}, // past the end: nothing to read
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.rest);
        EXPECT_EQ(s.Seek(r.offset, r.origin), r.position);
        char buffer[32] = {};
        const std::int64_t n = s.Read(buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(n)), r.rest);
    }
    s.SetPosition(2);
    EXPECT_EQ(s.Seek(3, soFromCurrent), 5);
}

TEST(TMemoryStream, WritePastEndFillsGapWithZeros) {
    TMemoryStream s;
    write_text(s, "ab");
    s.SetPosition(5);
    write_text(s, "z");
    EXPECT_EQ(contents(s), std::string("ab\0\0\0z", 6));
}

TEST(TMemoryStream, OverwriteKeepsTail) {
    TMemoryStream s;
    write_text(s, "abcdef");
    s.SetPosition(1);
    write_text(s, "XY");
    EXPECT_EQ(contents(s), "aXYdef");
    EXPECT_EQ(s.Position(), 3);
}

TEST(TMemoryStream, SetSizeTruncatesAndPullsPositionBack) {
    TMemoryStream s;
    write_text(s, "abcdef");
    s.SetSize(3);
    EXPECT_EQ(s.Position(), 3);
    EXPECT_EQ(contents(s), "abc");
    s.SetSize(5);
    EXPECT_EQ(contents(s), std::string("abc\0\0", 5));
    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);
}

TEST(TMemoryStream, NegativePositionOrCountMovesNothing) {
    TMemoryStream s;
    write_text(s, "abc");
    char c = 0;
    EXPECT_EQ(s.Read(&c, -1), 0);
    EXPECT_EQ(s.Write("x", -1), 0);
    s.Seek(-1, soFromBeginning);
    EXPECT_EQ(s.Read(&c, 1), 0);
    EXPECT_EQ(s.Write("x", 1), 0);
    EXPECT_EQ(contents(s), "abc");
}

TEST(TStream, ShortTransfersRaise) {
    TMemoryStream source;
    write_text(source, "abc");
    source.SetPosition(1);
    char buffer[8];
    EXPECT_EQ(raised_message<EReadError>([&] { source.ReadBuffer(buffer, 3); }), u"Stream read error");
    source.SetPosition(0);
    EXPECT_NO_THROW(source.ReadBuffer(buffer, 3));
    EXPECT_NO_THROW(source.ReadBuffer(buffer, 0));

    LimitedStream full(4);
    EXPECT_NO_THROW(write_text(full, "abc"));
    EXPECT_EQ(raised_message<EWriteError>([&] { write_text(full, "de"); }), u"Stream write error");
}

TEST(TStream, CopyFromCopiesCountOrWholeSource) {
    std::string big(200 * 1024 + 7, '\0'); // more than one copy chunk
    std::iota(big.begin(), big.end(), '\0');
    TMemoryStream source;
    write_text(source, big);

    source.SetPosition(10);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(source, 5), 5);
    EXPECT_EQ(contents(part), big.substr(10, 5));
    EXPECT_EQ(source.Position(), 15);

    TMemoryStream whole; // count 0 starts from the source's beginning whatever its position
    EXPECT_EQ(whole.CopyFrom(source, 0), static_cast<std::int64_t>(big.size()));
    EXPECT_EQ(contents(whole), big);

    source.SetPosition(static_cast<std::int64_t>(big.size()) - 2);
    TMemoryStream shortfall;
    EXPECT_THROW(shortfall.CopyFrom(source, 3), EReadError);

    LimitedStream full(100);
    EXPECT_THROW(full.CopyFrom(source, 0), EWriteError);
    EXPECT_EQ(part.CopyFrom(source, -1), 0);
    EXPECT_EQ(part.Size(), 5);
}

TEST(TStringStream, HoldsTextAsUtf8) {
    TStringStream s(u"投标 ok");
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(contents(s), "\xE6\x8A\x95\xE6\xA0\x87 ok");
    s.Seek(0, soFromEnd);
    write_text(s, "!");
    EXPECT_EQ(s.DataString(), u"投标 ok!");
    EXPECT_EQ(TStringStream().DataString(), u"");
}

TEST(memory_view_stream, ReadsTheBytesWhereTheyLieAndRefusesWrites) {
    const std::string text = "bidding";
    memory_view_stream s(std::string_view{text});
    EXPECT_EQ(s.Memory(), text.data()) << "no copy";
    EXPECT_EQ(s.Size(), 7);
    char buffer[8] = {};
    EXPECT_EQ(s.Read(buffer, 3), 3);
    EXPECT_STREQ(buffer, "bid");

    struct seek_case {
        std::int64_t offset;
        TSeekOrigin origin;
        std::int64_t position;
        const char* rest;
    };
    // Each from position 3; past either end nothing is read.
    for (const seek_case& c : std::initializer_list<seek_case>{{1, soFromBeginning, 1, "idding"},
                                                               {-2, soFromEnd, 5, "ng"},
                                                               {2, soFromCurrent, 5, "ng"},
                                                               {4, soFromEnd, 11, ""},
                                                               {-3, soFromBeginning, -3, ""}}) {
        SCOPED_TRACE(c.position);
        s.SetPosition(3);
        ASSERT_EQ(s.Seek(c.offset, c.origin), c.position);
        std::memset(buffer, 0, sizeof buffer);
        s.Read(buffer, 7);
        EXPECT_STREQ(buffer, c.rest);
    }

    s.SetPosition(0);
    EXPECT_EQ(s.Write("x", 1), 0);
    EXPECT_EQ(raised_message<EWriteError>([&] { s.WriteBuffer("x", 1); }), u"Stream write error");
    EXPECT_EQ(raised_message<EWriteError>([&] { s.SetSize(0); }), u"Stream write error");
    EXPECT_EQ(text, "bidding");
}

// --- File streams

TEST_F(FileStreams, WriteThenReadBack) {
    {
        TFileStream f(path(u"a.bin"), fmCreate);
        write_text(f, "hello file");
        EXPECT_EQ(f.Size(), 10);
        f.SetSize(5);
        EXPECT_EQ(f.Position(), 5);
        EXPECT_EQ(f.FileName(), path(u"a.bin"));
    }
    TFileStream f(path(u"a.bin"), fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(f.Size(), 5);
    char buffer[16] = {};
    EXPECT_EQ(f.Read(buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer), "hello");
    EXPECT_EQ(f.Seek(-2, soFromEnd), 3);
    EXPECT_THROW(f.ReadBuffer(buffer, 3), EReadError);
}

TEST_F(FileStreams, CreateTruncatesExistingFile) {
    TStringStream(u"long old contents").SaveToFile(path(u"t.txt"));
    TStringStream(u"new").SaveToFile(path(u"t.txt"));
    TStringStream back;
    back.LoadFromFile(path(u"t.txt"));
    EXPECT_EQ(back.DataString(), u"new");
}

TEST_F(FileStreams, FailuresNameFileAndSystemReason) {
    const std::uint32_t not_found = 2; // ENOENT, ERROR_FILE_NOT_FOUND
    const String missing = path(u"missing.txt");
    EXPECT_EQ(raised_message<EFOpenError>([&] { TFileStream f(missing, fmOpenRead); }),
              u"Cannot open file \"" + missing + u"\". " + SysErrorMessage(not_found));

    const String no_folder = path(u"no-such-folder/x.txt");
    const String text = raised_message<EFCreateError>([&] { TFileStream f(no_folder, fmCreate); });
    const String head = u"Cannot create file \"" + no_folder + u"\". ";
    ASSERT_EQ(text.substr(0, head.size()), head);
    EXPECT_GT(text.size(), head.size()) << "the system's reason follows";

    TMemoryStream m;
    EXPECT_THROW(m.LoadFromFile(missing), EFOpenError);
    EXPECT_THROW(m.LoadFromFile(dir.u16string()), EFOpenError) << "a folder is not a file";
}

TEST_F(FileStreams, ChineseFileNames) {
    TStringStream(u"数据").SaveToFile(path(u"招标.txt"));
    TStringStream back;
    back.LoadFromFile(path(u"招标.txt"));
    EXPECT_EQ(back.DataString(), u"数据");
}

#ifdef _WIN32
TEST_F(FileStreams, ShareModesAreHonoured) {
    TStringStream(u"x").SaveToFile(path(u"s.txt"));
    TFileStream reader(path(u"s.txt"), fmOpenRead | fmShareDenyWrite);
    EXPECT_NO_THROW(TFileStream(path(u"s.txt"), fmOpenRead | fmShareDenyNone));
    EXPECT_THROW(TFileStream(path(u"s.txt"), fmOpenWrite | fmShareDenyNone), EFOpenError);
    EXPECT_THROW(TFileStream(path(u"s.txt"), fmCreate), EFCreateError);

    TFileStream exclusive(path(u"e.txt"), fmCreate);
    EXPECT_THROW(TFileStream(path(u"e.txt"), fmOpenRead | fmShareDenyNone), EFOpenError);
}
#endif
