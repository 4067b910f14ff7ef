#include "xml/XmlStreams.h"

#include "framework/Exceptions.h"
#include "xml/XmlDebug.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kq;

TEST(TXmlFastMemStream, GrowsInFibonacciStepsAndNeverShrinks) {
    TXmlFastMemStream s(0);
    EXPECT_EQ(s.Capacity(), 4);
    const char bytes[64] = {};
    const int expected[] = {8, 12, 20, 32, 52};
    int written = 0;
    for (int capacity : expected) {
        // One byte past the current capacity forces exactly one Fibonacci step.
        const int more = s.Capacity() + 1 - written;
        EXPECT_EQ(s.Write(bytes, more), more);
        written += more;
        EXPECT_EQ(s.Capacity(), capacity);
    }
    s.SetSize(2);
    EXPECT_EQ(s.Capacity(), 52);
    EXPECT_EQ(s.Position(), 2); // a position past the new size moves to the end
}

TEST(TXmlFastMemStream, ReadWriteAndSeekEdges) {
    TXmlFastMemStream s(16);
    EXPECT_EQ(s.Write("abcdef", 6), 6);
    char buf[8] = {};
    EXPECT_EQ(s.Seek(-2, soFromEnd), 4);
    EXPECT_EQ(s.Read(buf, 8), 2);
    EXPECT_EQ(std::string(buf, 2), "ef");
    EXPECT_EQ(s.Read(buf, 8), 0); // nothing left
    EXPECT_EQ(s.Seek(-1, soFromBeginning), -1);
    EXPECT_EQ(s.Write("x", 1), 0); // negative position writes nothing
    EXPECT_EQ(s.Read(buf, 1), 0);
    s.SetPosition(1);
    EXPECT_EQ(s.Read(buf, -3), 0);
    EXPECT_EQ(s.Size(), 6);
}

TEST(TXmlStringStream, HoldsTheBytesOfTheText) {
    TXmlStringStream s("招标 <x/>");
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(s.DataString(), "招标 <x/>");
    s.SetPosition(s.Size());
    s.Write("!", 1);
    EXPECT_EQ(s.DataString(), "招标 <x/>!");
}

namespace {
// Counts the writes it receives.
class recording_stream : public TXmlFastMemStream {
public:
    std::int64_t Write(const void* b, std::int64_t n) override {
        writes.push_back(n);
        return TXmlFastMemStream::Write(b, n);
    }
    std::vector<std::int64_t> writes;
};
} // namespace

TEST(TXmlBufferWriter, HandsOnWholeChunksAndTheRestWhenFreed) {
    recording_stream target;
    {
        TXmlBufferWriter w(target, 256);
        const std::string bytes(300, 'z');
        w.Write(bytes.data(), 255);
        EXPECT_TRUE(target.writes.empty());
        w.Write(bytes.data(), 1);
        EXPECT_EQ(target.writes, std::vector<std::int64_t>{256});
        w.Write(bytes.data(), 300);
        EXPECT_EQ(target.writes, (std::vector<std::int64_t>{256, 256}));
        EXPECT_EQ(w.Position(), 0);
        EXPECT_EQ(w.Size(), 0);
        char c;
        EXPECT_THROW(w.Read(&c, 1), Exception);
    }
    EXPECT_EQ(target.writes, (std::vector<std::int64_t>{256, 256, 44}));
    EXPECT_EQ(target.Size(), 556);
}

TEST(TDebugComponent, MessagesGoToTheFirstListenerUpTheOwnerChain) {
    struct heard {
        TObject* sender;
        TXmlWarnStyle style;
        std::string text;
    };
    std::vector<heard> log;
    TDebugComponent top;
    auto* middle = new TDebugComponent(&top); // owned, and freed, by its owner
    auto* bottom = new TDebugComponent(middle);
    TDebugPersistent leaf(bottom);
    top.OnDebugOut = [&](TObject* s, TXmlWarnStyle w, const std::string& m) { log.push_back({s, w, m}); };
    leaf.DoDebugOut(&leaf, wsWarn, "up");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].sender, &leaf);
    EXPECT_EQ(log[0].style, wsWarn);
    EXPECT_EQ(log[0].text, "up");

    std::vector<std::string> nearer;
    middle->OnDebugOut = [&](TObject*, TXmlWarnStyle, const std::string& m) { nearer.push_back(m); };
    bottom->DoDebugOut(bottom, wsInfo, "near");
    EXPECT_EQ(nearer, std::vector<std::string>{"near"});
    EXPECT_EQ(log.size(), 1u);
}

TEST(TDebugComponent, AnOwnerThatIsNoDebugComponentEndsTheWalk) {
    TDebugComponent listener;
    bool heard = false;
    listener.OnDebugOut = [&](TObject*, TXmlWarnStyle, const std::string&) { heard = true; };
    auto* form = new TComponent(&listener); // a plain component between the two
    auto* doc = new TDebugComponent(form);
    TDebugPersistent node(doc);
    node.DoDebugOut(&node, wsFail, "dropped");
    EXPECT_FALSE(heard);
    TDebugPersistent orphan(nullptr);
    orphan.DoDebugOut(&orphan, wsFail, "dropped");
}
