#include "xml/XmlNodeTree.h"

#include "framework/Exceptions.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace kq;

namespace {

std::string exception_text(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return string_to_utf8(e.Message());
    }
    return "(none)";
}

struct doc_with_log {
    TXmlDocument doc;
    std::vector<std::pair<TXmlWarnStyle, std::string>> heard;
    doc_with_log() {
        doc.OnDebugOut = [this](TObject*, TXmlWarnStyle w, const std::string& m) { heard.emplace_back(w, m); };
    }
    TXmlElement& root() { return *doc.Root(); }
};

} // namespace

TEST(TXmlNode, MisuseRaisesTheFixedTexts) {
    TXmlDocument doc;
    TXmlElement* root = doc.Root();
    TXmlCharData text(&doc);
    TXmlDeclaration decl(&doc);
    TXmlElement loose(&doc);
    struct row {
        std::function<void()> call;
        const char* message;
    };
    const row rows[] = {
        {[] { TXmlElement e(nullptr); }, "XML owner is not assigned"},
        {[&] { text.NodeAdd(&loose); }, "cannot add node to this type of element"},
        {[&] { text.NodeInsert(0, nullptr); }, "cannot add node to this type of element"},
        {[&] { text.NodeDelete(0); }, "cannot manipulate nodes in this type of element"},
        {[&] { text.NodesClear(); }, "cannot manipulate nodes in this type of element"},
        {[&] { text.NodeExtract(nullptr); }, "cannot manipulate nodes in this type of element"},
        {[&] { text.NodeExchange(0, 1); }, "cannot manipulate nodes in this type of element"},
        {[&] { text.AttributeAdd("a", "b"); }, "cannot add attribute"},
        {[&] { decl.SetName("x"); }, "cannot set name on this type of element"},
        {[&] { decl.SetValue("x"); }, "cannot set value on this type of element"},
        {[&] { root->CopyFrom(&doc); }, "CopyFrom can only be used with TXmlNode descendants"},
        {[&] { text.NodeNew("x"); }, "cannot add node to this type of element"},
    };
    for (const row& r : rows) EXPECT_EQ(exception_text(r.call), r.message);
}

TEST(TXmlNode, CharacterDataStoresEscapedTextWithLfLineEnds) {
    doc_with_log d;
    TXmlCharData text(&d.doc);
    text.SetValue("a<b\r\nc & 'd'");
    EXPECT_EQ(text.GetStoredText(), "a&lt;b\nc &amp; &apos;d&apos;");
    EXPECT_EQ(text.GetValue(), "a<b\r\nc & 'd'"); // line ends back in the document's style
    d.doc.EolStyle = esLF;
    EXPECT_EQ(text.GetValue(), "a<b\nc & 'd'");
    EXPECT_EQ(text.GetName(), "CharData");
    text.SetName("");
    EXPECT_TRUE(d.heard.empty());
    text.SetName("x"); // reported, not raised
    ASSERT_EQ(d.heard.size(), 1u);
    EXPECT_EQ(d.heard[0], std::make_pair(wsHint, std::string("cannot set name on this type of element")));

    TXmlCData cdata(&d.doc);
    cdata.SetValue("<raw> & \r\n");
    EXPECT_EQ(cdata.GetStoredText(), "<raw> & \r\n");
    EXPECT_EQ(cdata.GetValue(), "<raw> & \r\n");

    TXmlAttribute attr(&d.doc);
    attr.SetValue("1 < 2 \"q\"\r\n");
    EXPECT_EQ(attr.CoreValue().GetStoredText(), "1 &lt; 2 &quot;q&quot;\r\n"); // no line-end normalising
    EXPECT_EQ(attr.GetValue(), "1 < 2 \"q\"\r\n");
}

TEST(TXmlNode, ElementValueLivesInOneTextChild) {
    TXmlDocument doc;
    TXmlElement& e = *doc.Root();
    e.SetValue("");
    EXPECT_EQ(e.NodeCount(), 0);
    e.SetValue("first");
    ASSERT_EQ(e.NodeCount(), 1);
    EXPECT_EQ(e.ValueIndex(), 0);
    e.NodeNew("child");
    e.SetValue("second"); // replaced in place, the child stays behind it
    ASSERT_EQ(e.NodeCount(), 2);
    EXPECT_EQ(e.Nodes(0)->GetValue(), "second");
    EXPECT_EQ(e.Nodes(1)->GetName(), "child");
    e.SetValue("");
    EXPECT_EQ(e.NodeCount(), 1);
    EXPECT_EQ(e.ValueIndex(), -1);
    EXPECT_EQ(e.GetValue(), "");
}

TEST(TXmlNode, ValueSurvivesChangesToTheChildList) {
    // Each change moves the value child to another index; Value must keep returning the text.
    struct row {
        const char* what;
        std::function<void(TXmlElement&)> change;
    };
    const row rows[] = {
        {"attribute added", [](TXmlElement& e) { e.AttributeAdd("id", "5"); }},
        {"node inserted before", [](TXmlElement& e) { e.NodeInsert(0, new TXmlComment(e.Document())); }},
        {"node before extracted", [](TXmlElement& e) { free_node(e.NodeExtract(e.Nodes(0))); }},
        {"nodes exchanged", [](TXmlElement& e) { e.NodeExchange(0, 1); }},
        {"children sorted", [](TXmlElement& e) { e.SortChildNodes(); }},
        {"node before deleted", [](TXmlElement& e) { e.NodeDelete(0); }},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        TXmlDocument doc;
        TXmlElement& e = *doc.Root();
        e.NodeNew("z");
        e.SetValue("text");
        e.NodeInsert(0, new TXmlComment(&doc));
        r.change(e);
        EXPECT_EQ(e.GetValue(), "text");
        EXPECT_EQ(e.Nodes(e.ValueIndex())->GetValue(), "text");
    }
    TXmlDocument doc;
    TXmlElement& e = *doc.Root();
    e.SetValue("text");
    std::unique_ptr<TXmlNode> taken(e.NodeExtract(e.Nodes(0)));
    EXPECT_EQ(e.GetValue(), ""); // the value child itself went
}

TEST(TXmlNode, AttributesAreDirectNodes) {
    doc_with_log d;
    TXmlElement& e = d.root();
    e.SetValue("v");
    e.SetAttributeValueByName("id", "5");
    EXPECT_EQ(e.DirectNodeCount(), 1);
    EXPECT_EQ(e.Nodes(0)->ElementType(), xeAttribute);
    e.AttributeAdd("b", "x<y");
    EXPECT_EQ(e.AttributeCount(), 2);
    EXPECT_EQ(e.AttributeName(1), "b");
    EXPECT_EQ(e.AttributeValue(1), "x<y");
    EXPECT_EQ(e.AttributeValue(7), "");
    EXPECT_EQ(e.AttributeValueByName("ID"), "5"); // names ignore case...
    EXPECT_TRUE(e.HasAttribute("id"));
    EXPECT_FALSE(e.HasAttribute("ID"));          // ...except in this test
    EXPECT_EQ(e.AttributeIndexByName("B"), 1);
    EXPECT_EQ(e.AttributeValueAsInteger(0), 5);
    e.SetAttributeValueAsInteger(1, -3);
    EXPECT_EQ(e.AttributeValue(1), "-3");
    e.AttributeDelete(0);
    EXPECT_EQ(e.DirectNodeCount(), 1);
    EXPECT_EQ(e.GetValue(), "v");

    TXmlDocument other;
    auto* stranger = new TXmlAttribute(&other);
    e.AttributeAdd(stranger); // reported, not added
    delete stranger;
    EXPECT_EQ(e.AttributeCount(), 1);
    ASSERT_FALSE(d.heard.empty());
    EXPECT_EQ(d.heard.back(), std::make_pair(wsFail, std::string("XML owner is not assigned")));
    e.AttributesClear();
    EXPECT_EQ(e.AttributeCount(), 0);
    EXPECT_EQ(e.DirectNodeCount(), 0);
}

TEST(TXmlNode, NodeNewFollowsTheNodesOwnType) {
    TXmlDocument doc;
    TXmlNode* child = doc.Root()->NodeNew("x");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->ElementType(), xeElement);
    EXPECT_EQ(child->GetName(), "x");
    TXmlContainerNode plain(&doc);
    EXPECT_EQ(plain.NodeNew("x"), nullptr);
    TXmlNode bare(&doc);
    EXPECT_EQ(bare.NodeNew("x"), nullptr);
    TXmlAttribute attr(&doc);
    EXPECT_THROW(attr.NodeNew("x"), Exception);
    EXPECT_EQ(doc.Root()->NodeFindOrCreate("X"), child);
    doc.Root()->WriteNodeValue("y", "7");
    EXPECT_EQ(doc.Root()->ReadInteger("y"), 7);
}

TEST(TXmlNode, PathsAndSearch) {
    TXmlDocument doc;
    TXmlElement& r = *doc.Root();
    r.SetName("r");
    TXmlNode* a = r.NodeNew("a");
    TXmlNode* c1 = a->NodeNew("c");
    TXmlNode* c2 = r.NodeNew("c");
    c2->SetAttributeValueByName("k", "v");
    EXPECT_EQ(r.FullPath(), "/r");
    EXPECT_EQ(c2->FullPath(), "/r/c");
    EXPECT_EQ(c1->TreeDepth(), 2);
    EXPECT_EQ(c2->IndexInParent(), 1);
    EXPECT_EQ(r.FindNode("c"), c1);      // depth first
    EXPECT_EQ(r.FindNode("/r/c"), c2);   // by full path
    EXPECT_EQ(r.FindNode("/R/A/C"), c1);
    EXPECT_EQ(r.NodeByName("C"), c2);
    EXPECT_EQ(r.NodeByAttributeValue("c", "k", "V"), c2);
    EXPECT_EQ(r.NodeByAttributeValue("c", "K", "v"), nullptr); // the attribute test is exact
    TXmlNodeList found(false);
    r.FindNodes("c", &found);
    ASSERT_EQ(found.Count(), 2);
    EXPECT_EQ(found.Items(0), c1);
    EXPECT_EQ(found.Items(1), c2);
    r.NodesByName("c", &found);
    EXPECT_EQ(found.Count(), 1);
    EXPECT_EQ(r.NextSibling(a), c2);
    EXPECT_EQ(r.NextSibling(c2), nullptr);
    EXPECT_EQ(r.ElementCount(), 2);
    EXPECT_EQ(r.Elements(1), c2);
    EXPECT_TRUE(r.HasChildContainers());
}

TEST(TXmlNode, PathLookupsGiveTheFullPathsResultInDocumentOrder) {
    // <r><a><c/><c><x/></c></a><A><c/></A><pi?><q/></r> plus a name holding a slash, set by hand.
    TXmlDocument doc;
    TXmlElement& r = *doc.Root();
    r.SetName("r");
    TXmlNode* a = r.NodeNew("a");
    TXmlNode* c1 = a->NodeNew("c");
    TXmlNode* c2 = a->NodeNew("c");
    TXmlNode* x = c2->NodeNew("x");
    TXmlNode* a2 = r.NodeNew("A");
    TXmlNode* c3 = a2->NodeNew("c");
    TXmlNode* slashed = r.NodeNew("s/t");
    struct row {
        const char* path;
        std::vector<TXmlNode*> found;
    };
    const row rows[] = {
        {"/r/a/c", {c1, c2, c3}},   // case-insensitive, so both a and A lead there
        {"/R/A/C/X", {x}},
        {"/r/a", {a, a2}},
        {"/r", {}},                 // the node itself is not among its descendants
        {"/r/s/t", {slashed}},      // the name spans two parts of the path
        {"/r/s", {}},
        {"/r/a/c/", {}},
        {"/q/a/c", {}},
        {"/r/a/c/x/y", {}},
    };
    for (const row& t : rows) {
        SCOPED_TRACE(t.path);
        TXmlNodeList found(false);
        r.FindNodes(t.path, &found);
        std::vector<TXmlNode*> got;
        for (int i = 0; i < found.Count(); ++i) got.push_back(found.Items(i));
        EXPECT_EQ(got, t.found);
        EXPECT_EQ(r.FindNode(t.path), t.found.empty() ? nullptr : t.found.front());
        for (TXmlNode* n : t.found) EXPECT_TRUE(same_name(n->FullPath(), t.path));
    }
    // From an inner node the path still starts at the root.
    EXPECT_EQ(a->FindNode("/r/a/c/x"), x);
    EXPECT_EQ(a->FindNode("/a/c"), nullptr);
}

TEST(TXmlNode, DeepLookupsThatFindNothingStayLinear) {
    // Each visited node's full path used to be rebuilt from the root: 100,000 levels took 90 s.
    constexpr int depth = 100000;
    TXmlDocument doc;
    doc.Root()->SetName("r");
    TXmlNode* n = doc.Root();
    std::string path = "/r";
    for (int i = 0; i < depth; ++i) {
        n = n->NodeNew("d");
        path += "/d";
    }
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(doc.Root()->FindNode("/r/missing"), nullptr);
    EXPECT_EQ(doc.Root()->FindNode(path + "/missing"), nullptr); // matches all the way down, then not
    EXPECT_EQ(doc.Root()->FindNode("missing"), nullptr);
    TXmlNodeList found(false);
    doc.Root()->FindNodes(path.substr(0, path.size() - 2) + "/e", &found);
    EXPECT_EQ(found.Count(), 0);
    EXPECT_EQ(doc.Root()->FindNode(path), n);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

TEST(TXmlNode, AnInstructionIsNamedPI) {
    TXmlDocument doc;
    doc.ReadFromString("<r><a/><?target data?><b/></r>");
    TXmlNode* pi = doc.Root()->Nodes(1);
    ASSERT_EQ(pi->ElementType(), xeInstruction);
    EXPECT_EQ(pi->GetName(), "PI");
    EXPECT_EQ(pi->FullPath(), "/r/PI");
    EXPECT_EQ(doc.Root()->NodeByName("pi"), pi);
    EXPECT_EQ(doc.Root()->FindNode("PI"), pi);
    EXPECT_EQ(doc.Root()->FindNode("/r/PI"), pi);
    // The comparison looks children up by name: an element named PI meets the instruction.
    TXmlDocument element;
    element.ReadFromString("<r><a/><PI/><b/></r>");
    EXPECT_TRUE(element.Root()->IsEqualTo(doc.Root(), xcChildNames));
    EXPECT_EQ(doc.Root()->WriteToString(), "<r><a/><?target data?><b/></r>");
}

TEST(TXmlNode, NodeRemoveExTakesTheWhiteSpaceBeforeIt) {
    TXmlDocument doc;
    TXmlElement& r = *doc.Root();
    r.NodeAdd(new TXmlWhiteSpace(&doc));
    r.NodeAdd(new TXmlWhiteSpace(&doc));
    TXmlNode* x = r.NodeNew("x");
    r.NodeAdd(new TXmlWhiteSpace(&doc));
    r.NodeRemoveEx(x);
    EXPECT_EQ(r.NodeCount(), 1);
}

TEST(TXmlNode, CopyFromCopiesTheWholeSubtree) {
    TXmlDocument doc;
    TXmlElement& r = *doc.Root();
    r.SetName("r");
    r.AttributeAdd("a", "1");
    r.SetValue("text");
    r.NodeNew("child")->NodeNew("grand")->SetValue("g");
    TXmlElement copy(&doc);
    copy.CopyFrom(&r);
    EXPECT_EQ(copy.WriteToString(), r.WriteToString());
    EXPECT_EQ(copy.DirectNodeCount(), 1);
    EXPECT_EQ(copy.GetValue(), "text");
    EXPECT_NE(copy.Nodes(2), r.Nodes(2));
    EXPECT_EQ(copy.Nodes(2)->Parent(), &copy);
    EXPECT_TRUE(copy.IsEqualTo(&r, xcNodeName | xcNodeValue | xcChildNames | xcChildValues | xcRecursive));
    copy.FindNode("grand")->SetValue("changed");
    TXmlNodeList mismatches(false);
    EXPECT_FALSE(copy.IsEqualTo(&r, xcNodeName | xcChildValues | xcRecursive, &mismatches));
    ASSERT_EQ(mismatches.Count(), 1);
    EXPECT_EQ(mismatches.Items(0)->GetName(), "grand");
}

TEST(TXmlNode, DeleteEmptyNodesWorksBottomUp) {
    TXmlDocument doc;
    TXmlElement& r = *doc.Root();
    r.NodeNew("a")->NodeNew("b")->NodeNew("c");
    r.NodeNew("keep")->SetValue("x");
    r.DeleteEmptyNodes();
    ASSERT_EQ(r.NodeCount(), 1);
    EXPECT_EQ(r.Nodes(0)->GetName(), "keep");
}

TEST(TXmlNodeList, FindNextWalksInDocumentOrder) {
    TXmlDocument doc;
    doc.Root()->SetName("r");
    TXmlNode* a = doc.Root()->NodeNew("a");
    a->NodeNew("b");
    doc.Root()->NodeNew("c");
    std::string order;
    for (TXmlNode* n = doc.FindFirst(); n; n = doc.FindNext(n)) order += n->GetName();
    EXPECT_EQ(order, "rabc");
    TXmlElement loose(&doc);
    EXPECT_EQ(exception_text([&] { doc.FindNext(&loose); }), "index must be >= 0");
}

TEST(TXmlNodeList, WalkingManySiblingsCostsTheSameAtEveryStep) {
    // Each step used to search the whole sibling list for its position: 200,000 siblings took billions
    // of comparisons. Now this finishes in about the time of the load.
    constexpr int siblings = 200000;
    std::string text = "<r>";
    for (int i = 0; i < siblings; ++i) text += "<e>" + std::to_string(i % 10) + "</e>";
    text += "</r>";
    TXmlDocument doc;
    doc.ReadFromString(text);
    int elements = 0, digits_in_order = 0;
    for (TXmlNode* n = doc.FindFirst(); n; n = doc.FindNext(n)) {
        if (n->ElementType() == xeElement && n->GetName() == "e") ++elements;
        if (n->ElementType() == xeCharData && n->GetValue() == std::to_string(digits_in_order % 10))
            ++digits_in_order;
    }
    EXPECT_EQ(elements, siblings);
    EXPECT_EQ(digits_in_order, siblings);
}

TEST(TXmlNodeList, IndexOfAnswersRightAfterTheListChanged) {
    TXmlDocument doc;
    TXmlElement& r = *doc.Root();
    std::vector<TXmlNode*> kids;
    for (int i = 0; i < 12; ++i) kids.push_back(r.NodeNew("k" + std::to_string(i)));
    const auto expect_positions = [&](const char* step) {
        SCOPED_TRACE(step);
        for (int i = 0; i < r.NodeCount(); ++i) EXPECT_EQ(r.NodeIndexOf(r.Nodes(i)), i);
        for (int i = r.NodeCount(); i-- > 0;) EXPECT_EQ(r.NodeIndexOf(r.Nodes(i)), i);
        for (int i : {5, 0, 11 % r.NodeCount(), 3, 4, 2}) EXPECT_EQ(r.NodeIndexOf(r.Nodes(i)), i);
    };
    struct row { const char* step; std::function<void()> change; };
    const row rows[] = {
        {"in order", [] {}},
        {"deleted before the last answer", [&] { r.NodeIndexOf(kids[6]); r.NodeDelete(5); }},
        {"inserted before the last answer", [&] { r.NodeIndexOf(kids[7]); r.NodeInsert(1, TXmlNode::CreateName<TXmlElement>(&doc, "n")); }},
        {"exchanged", [&] { r.NodeIndexOf(kids[2]); r.NodeExchange(2, 9); }},
        {"extracted the last answer", [&] {
             r.NodeIndexOf(kids[11]);
             std::unique_ptr<TXmlNode> gone(r.NodeExtract(kids[11]));
             EXPECT_EQ(r.NodeIndexOf(kids[11]), -1);
         }},
        {"sorted", [&] { r.SortChildNodes(); }},
    };
    for (const row& step : rows) {
        step.change();
        expect_positions(step.step);
    }
}

TEST(TXmlNode, ConversionsAreClassOperations) {
    EXPECT_EQ(TXmlNode::WideToUtf8(u"a\r\nb\u00e9"), "a\nb\xC3\xA9");
    EXPECT_EQ(TXmlNode::Utf8ToWide("\xE4\xB8\xAD" "x"), u"\u4e2dx");
    EXPECT_EQ(TXmlElement::Utf8ToWide("\xC3\x28"), u"");
}

TEST(TXmlNode, DeepTreesCopyAndFreeWithoutRecursion) {
    TXmlDocument doc;
    TXmlNode* n = doc.Root();
    for (int i = 0; i < 100000; ++i) n = n->NodeNew("d");
    n->SetValue("bottom");
    TXmlElement copy(&doc);
    copy.CopyFrom(doc.Root());
    EXPECT_EQ(copy.FindNode("d")->TreeDepth(), 1);
    doc.Root()->DeleteEmptyNodes(); // nothing is empty: the bottom has a value
    EXPECT_EQ(doc.Root()->NodeCount(), 1);
    doc.Clear(); // frees 100,000 levels
}

TEST(TXmlNode, ConstructionHelpers) {
    TXmlDocument doc;
    TXmlElement& r = *doc.Root();
    auto* a = TXmlNode::CreateParent<TXmlElement>(&doc, &r);
    a->SetName("a");
    auto* c = TXmlNode::CreateParentNear<TXmlComment>(&doc, &r, a, true);
    auto* b = TXmlNode::CreateParentNear<TXmlElement>(&doc, &r, a, false);
    b->SetName("b");
    EXPECT_EQ(r.NodeIndexOf(c), 0);
    EXPECT_EQ(r.NodeIndexOf(b), 2);
    std::unique_ptr<TXmlElement> v(TXmlNode::CreateNameValue<TXmlElement>(&doc, "v", "1"));
    EXPECT_EQ(v->GetValue(), "1");
    TXmlCharData text(&doc);
    EXPECT_EQ(exception_text([&] { TXmlNode::CreateParent<TXmlElement>(&doc, nullptr); }), "XML parent is not assigned");
    EXPECT_EQ(exception_text([&] { TXmlNode::CreateParentNear<TXmlElement>(&doc, &text, nullptr, true); }),
              "XML parent is not assigned");
    TXmlNode* made = nullptr;
    r.NodeAdd(doc.NodeNewTextEx("t", "x", made));
    EXPECT_EQ(made, r.NodeByName("t"));
}
