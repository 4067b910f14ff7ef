#include "framework/Components.h"

#include "framework/Exceptions.h"
#include "raised.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kq {

// --- Fixtures: classes with observable behaviour

class TProbe : public TComponent {
public:
    TProbe(TComponent* owner, String name, std::vector<String>* log = nullptr) : TComponent(owner), FLog(log) {
        SetName(name);
    }
    // Logs the name, "!" when freed by its owner, and the target it still refers to.
    ~TProbe() override {
        if (!FLog) return;
        FLog->push_back(Name() + (ComponentState().contains(TComponentStateFlag::csDestroying) ? u"!" : u"") +
                        (Target ? u"->" + Target->Name() : u""));
    }

    // A reference kept as the owner model asks: cleared when the target goes away.
    TComponent* Target = nullptr;
    void SetTarget(TComponent* value) {
        Target = value;
        if (value) value->FreeNotification(this);
    }
    std::vector<std::pair<TComponent*, TOperation>> Heard;

    void Notification(TComponent* component, TOperation operation) override {
        Heard.emplace_back(component, operation);
        if (operation == TOperation::opRemove && component == Target) Target = nullptr;
        TComponent::Notification(component, operation);
    }

private:
    std::vector<String>* FLog;
};

class TPoint2 : public TPersistent {
public:
    int X = 0, Y = 0;
    void Assign(const TPersistent* source) override {
        if (const auto* p = dynamic_cast<const TPoint2*>(source)) {
            X = p->X;
            Y = p->Y;
            return;
        }
        TPersistent::Assign(source);
    }
};

class TOtherThing : public TPersistent {};

// Knows how to copy itself into a TPoint2, which does not know it.
class TPolar : public TPersistent {
public:
    int R = 0;

protected:
    void AssignTo(TPersistent* dest) const override {
        if (auto* p = dynamic_cast<TPoint2*>(dest)) {
            p->X = R;
            p->Y = 0;
            return;
        }
        TPersistent::AssignTo(dest);
    }
};

class TNamedItem : public TCollectionItem {
public:
    String Caption;
    void Assign(const TPersistent* source) override {
        if (const auto* item = dynamic_cast<const TNamedItem*>(source)) {
            Caption = item->Caption;
            return;
        }
        TCollectionItem::Assign(source);
    }
    void Touch() { Changed(false); }
};

class TPlainItem : public TCollectionItem {};

// Records what the collection reports, as "notify:added:<caption>" and "update:<caption or *>".
class TRecordingCollection : public TCollection {
public:
    explicit TRecordingCollection(TPersistent* owner = nullptr)
        : TCollection(&TCollection::item_class<TNamedItem>, owner) {}
    ~TRecordingCollection() override { Clear(); }

    std::vector<std::string> Log;
    TNamedItem* Item(int index) const { return static_cast<TNamedItem*>(Items(index)); }
    TNamedItem* AddNamed(const char16_t* caption) {
        auto* item = static_cast<TNamedItem*>(Add());
        item->Caption = caption;
        return item;
    }

protected:
    void Update(TCollectionItem* item) override {
        Log.push_back("update:" + (item ? string_to_utf8(static_cast<TNamedItem*>(item)->Caption) : std::string("*")));
    }
    void Notify(TCollectionItem* item, TCollectionNotification action) override {
        static const char* const names[] = {"added", "extracting", "deleting"};
        Log.push_back(std::string("notify:") + names[static_cast<int>(action)] + ":" +
                      string_to_utf8(static_cast<TNamedItem*>(item)->Caption));
    }
};

} // namespace kq

using namespace kq;

namespace {

std::vector<String> captions(const TRecordingCollection& c) {
    std::vector<String> result;
    for (int i = 0; i < c.Count(); ++i) result.push_back(c.Item(i)->Caption);
    return result;
}

} // namespace

// --- TPersistent

TEST(TPersistent, AssignCopiesWhenEitherSideKnowsTheOther) {
    TPoint2 a, b;
    b.X = 3;
    b.Y = 4;
    a.Assign(&b);
    EXPECT_EQ(a.X, 3);
    EXPECT_EQ(a.Y, 4);

    TPolar polar;
    polar.R = 7;
    a.Assign(&polar); // TPoint2 does not know TPolar; TPolar's AssignTo does the work
    EXPECT_EQ(a.X, 7);
    EXPECT_EQ(a.Y, 0);
}

TEST(TPersistent, AssignBetweenUnrelatedClassesRaisesConvertError) {
    TPoint2 point;
    TOtherThing other;
    TPolar polar;
    EXPECT_EQ(raised_message<EConvertError>([&] { point.Assign(&other); }), u"Cannot assign a TOtherThing to a TPoint2");
    EXPECT_EQ(raised_message<EConvertError>([&] { point.Assign(nullptr); }), u"Cannot assign a nil to a TPoint2");
    EXPECT_EQ(raised_message<EConvertError>([&] { polar.Assign(&point); }), u"Cannot assign a TPoint2 to a TPolar");
    EXPECT_THROW(other.Assign(&other), EConvertError);
}

// --- TComponent: ownership

TEST(TComponent, OwnerFreesItsComponentsNewestFirstAndMarksThemDestroying) {
    std::vector<String> log;
    {
        auto owner = std::make_unique<TProbe>(nullptr, u"Owner", &log);
        auto* a = new TProbe(owner.get(), u"A", &log);
        new TProbe(owner.get(), u"B", &log);
        new TProbe(a, u"A1", &log); // owned by A: freed with A
        new TProbe(owner.get(), u"C", &log);
        EXPECT_EQ(owner->ComponentCount(), 3);
        EXPECT_EQ(owner->Components(2)->Name(), u"C");
        EXPECT_EQ(a->ComponentIndex(), 0);
    }
    // The owner's own destructor body runs first; its components are freed by the base afterwards.
    EXPECT_EQ(log, (std::vector<String>{u"Owner", u"C!", u"B!", u"A!", u"A1!"}));
}

TEST(TComponent, RemoveComponentHandsOwnershipBack) {
    std::vector<String> log;
    TProbe owner(nullptr, u"Owner");
    TProbe other_owner(nullptr, u"Other");
    auto* a = new TProbe(&owner, u"A", &log);
    owner.RemoveComponent(a);
    std::unique_ptr<TProbe> held(a);
    EXPECT_EQ(a->Owner(), nullptr);
    EXPECT_EQ(owner.ComponentCount(), 0);
    EXPECT_EQ(owner.FindComponent(u"A"), nullptr);

    // A second owner that already has the name refuses it; the component stays the caller's.
    new TProbe(&other_owner, u"a");
    EXPECT_THROW(other_owner.InsertComponent(a), EComponentError);
    EXPECT_EQ(a->Owner(), nullptr);
    held.reset();
    EXPECT_EQ(log, std::vector<String>{u"A"});
}

TEST(TComponent, ComponentsOutOfRangeRaisesListError) {
    TComponent owner(nullptr);
    new TComponent(&owner);
    EXPECT_EQ(raised_message<EListError>([&] { owner.Components(1); }), u"List index out of bounds (1)");
    EXPECT_EQ(raised_message<EListError>([&] { owner.Components(-1); }), u"List index out of bounds (-1)");
}

// --- TComponent: notification

TEST(TComponent, OwnerTellsItsComponentsOfInsertionAndRemoval) {
    TProbe owner(nullptr, u"Owner");
    auto* a = new TProbe(&owner, u"A");
    auto* b = new TProbe(&owner, u"B");
    using heard = std::vector<std::pair<TComponent*, TOperation>>;
    EXPECT_EQ(owner.Heard, (heard{{a, TOperation::opInsert}, {b, TOperation::opInsert}}));
    EXPECT_EQ(a->Heard, (heard{{b, TOperation::opInsert}})); // a was not yet a TProbe when inserted

    a->SetTarget(b); // same owner: no free-notification link needed
    delete b;        // a component freed directly leaves its owner, which tells the rest
    EXPECT_EQ(a->Target, nullptr);
    EXPECT_EQ(owner.ComponentCount(), 1);
}

TEST(TComponent, ReferencesAcrossOwnersAreClearedWhenTheTargetGoes) {
    auto form1 = std::make_unique<TProbe>(nullptr, u"Form1");
    auto form2 = std::make_unique<TProbe>(nullptr, u"Form2");
    auto* images = new TProbe(form1.get(), u"Images");
    auto* user = new TProbe(form2.get(), u"User");
    auto* quitter = new TProbe(form2.get(), u"Quitter");
    user->SetTarget(images);
    quitter->SetTarget(images);

    // A component that stops listening is not told; one freed before its target is unlinked, so the
    // target does not call into freed memory (the sanitizers would see it).
    images->RemoveFreeNotification(quitter);
    quitter->Target = nullptr;
    quitter->Heard.clear();

    form1.reset();
    EXPECT_EQ(user->Target, nullptr);
    EXPECT_TRUE(quitter->Heard.empty());

    auto* images2 = new TProbe(form2.get(), u"Images2");
    auto form3 = std::make_unique<TProbe>(nullptr, u"Form3");
    auto* late = new TProbe(form3.get(), u"Late");
    late->SetTarget(images2);
    form3.reset();  // the referencing side goes first
    form2.reset();  // images2 must not notify the freed component
}

TEST(TComponent, SiblingsReferringToLaterSiblingsAreToldDuringOwnerDestruction) {
    std::vector<String> log;
    auto owner = std::make_unique<TProbe>(nullptr, u"Owner");
    auto* early = new TProbe(owner.get(), u"Early", &log);
    auto* late = new TProbe(owner.get(), u"Late", &log);
    early->SetTarget(late);
    owner.reset(); // Late goes first; Early must not still point at it when its own turn comes
    EXPECT_EQ(log, (std::vector<String>{u"Late!", u"Early!"}));
}

// --- TComponent: names and state

TEST(TComponent, NamesMustBeIdentifiers) {
    struct row {
        const char16_t* name;
        const char16_t* message;
    };
    const row rows[] = {
        {u"1abc", u"Component name \"1abc\" is not a valid identifier"},
        {u"a b", u"Component name \"a b\" is not a valid identifier"},
        {u"a.b", u"Component name \"a.b\" is not a valid identifier"},
        {u"über", u"Component name \"über\" is not a valid identifier"},
        {u"_ok9", u"not raised"},
        {u"", u"not raised"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.name));
        TComponent c(nullptr);
        c.SetName(u"Before");
        EXPECT_EQ(raised_message<EComponentError>([&] { c.SetName(r.name); }), r.message);
        if (String(r.message) != u"not raised") {
            EXPECT_EQ(c.Name(), u"Before");
        }
    }
}

TEST(TComponent, NamesAreUniqueAmongTheOwnersComponentsWithoutRegardToCase) {
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    auto* b = new TComponent(&owner);
    auto* unnamed = new TComponent(&owner);
    a->SetName(u"Button1");
    EXPECT_EQ(raised_message<EComponentError>([&] { b->SetName(u"BUTTON1"); }), u"A component named BUTTON1 already exists");
    EXPECT_EQ(b->Name(), u"");
    a->SetName(u"BUTTON1"); // renaming in another case is no clash with itself
    b->SetName(u"Button2");
    EXPECT_EQ(owner.FindComponent(u"button1"), a);
    EXPECT_EQ(owner.FindComponent(u"bUTTON2"), b);
    EXPECT_EQ(owner.FindComponent(u"Button3"), nullptr);
    EXPECT_EQ(owner.FindComponent(u""), nullptr); // empty names never match, several may exist
    EXPECT_EQ(unnamed->Name(), u"");
}

TEST(TComponent, LoadedEndsLoadingAndDestroyingCannotBeCleared) {
    TComponent c(nullptr);
    c.SetComponentState({TComponentStateFlag::csLoading, TComponentStateFlag::csReading});
    c.Loaded();
    EXPECT_EQ(c.ComponentState(), TComponentState{TComponentStateFlag::csReading});
    c.SetTag(-5);
    EXPECT_EQ(c.Tag(), -5);
}

// --- TCollection

TEST(TCollection, KeepsItemsInOrderWithUniqueIds) {
    TRecordingCollection c;
    c.AddNamed(u"a");
    c.AddNamed(u"b");
    auto* x = static_cast<TNamedItem*>(c.Insert(1));
    x->Caption = u"x";
    c.AddNamed(u"c");
    EXPECT_EQ(captions(c), (std::vector<String>{u"a", u"x", u"b", u"c"}));
    EXPECT_EQ(x->Index(), 1);
    EXPECT_EQ(x->Collection(), &c);
    EXPECT_EQ(x->GetOwner(), &c);

    const int id_b = c.Item(2)->ID();
    c.Delete(0);
    c.AddNamed(u"d");
    EXPECT_EQ(captions(c), (std::vector<String>{u"x", u"b", u"c", u"d"}));
    EXPECT_EQ(c.FindItemID(id_b), c.Item(1));
    std::vector<int> ids;
    for (int i = 0; i < c.Count(); ++i) ids.push_back(c.Item(i)->ID());
    EXPECT_EQ(ids, (std::vector<int>{2, 1, 3, 4})); // never reused

    c.Item(3)->SetIndex(0);
    EXPECT_EQ(captions(c), (std::vector<String>{u"d", u"x", u"b", u"c"}));
    c.Clear();
    EXPECT_EQ(c.Count(), 0);
}

TEST(TCollection, IndexOutOfRangeRaisesListError) {
    TRecordingCollection c;
    c.AddNamed(u"a");
    EXPECT_EQ(raised_message<EListError>([&] { c.Items(1); }), u"List index out of bounds (1)");
    EXPECT_EQ(raised_message<EListError>([&] { c.Delete(-1); }), u"List index out of bounds (-1)");
    EXPECT_EQ(raised_message<EListError>([&] { c.Insert(2); }), u"List index out of bounds (2)");
    EXPECT_EQ(raised_message<EListError>([&] { c.Item(0)->SetIndex(1); }), u"List index out of bounds (1)");
    EXPECT_EQ(c.Count(), 1);
}

TEST(TCollection, ReportsEachChangeAndOneUpdateAfterABatch) {
    TRecordingCollection c;
    auto* a = c.AddNamed(u"");
    a->Caption = u"a";
    c.AddNamed(u"b");
    c.Log.clear();

    a->Touch();
    c.Item(1)->SetIndex(0);
    c.Delete(0);
    EXPECT_EQ(c.Log, (std::vector<std::string>{"update:a", "update:*", "notify:deleting:b", "update:*"}));

    c.Log.clear();
    c.BeginUpdate();
    c.BeginUpdate();
    c.AddNamed(u"c");
    a->Touch();
    c.EndUpdate();
    EXPECT_EQ(c.Log, std::vector<std::string>{"notify:added:"});
    c.EndUpdate();
    EXPECT_EQ(c.Log, (std::vector<std::string>{"notify:added:", "update:*"}));
}

TEST(TCollection, SettingAnItemsCollectionMovesIt) {
    TRecordingCollection from, to;
    from.AddNamed(u"a");
    auto* b = from.AddNamed(u"b");
    to.AddNamed(u"z");
    from.Log.clear();
    to.Log.clear();

    b->SetCollection(&to);
    EXPECT_EQ(captions(from), std::vector<String>{u"a"});
    EXPECT_EQ(captions(to), (std::vector<String>{u"z", u"b"}));
    EXPECT_EQ(b->Collection(), &to);
    EXPECT_EQ(b->ID(), 1); // numbered by its new collection
    EXPECT_EQ(from.Log, (std::vector<std::string>{"notify:extracting:b", "update:*"}));
    EXPECT_EQ(to.Log, (std::vector<std::string>{"notify:added:b", "update:*"}));
}

TEST(TCollection, AssignCopiesItemsThroughTheirAssign) {
    TPoint2 owner;
    TRecordingCollection source(&owner), target;
    source.AddNamed(u"one");
    source.AddNamed(u"two");
    target.AddNamed(u"old");
    target.Log.clear();

    target.Assign(&source);
    EXPECT_EQ(captions(target), (std::vector<String>{u"one", u"two"}));
    EXPECT_EQ(target.Log, (std::vector<std::string>{"notify:deleting:old", "notify:added:one", "notify:added:two",
                                                    "update:*"}));
    EXPECT_EQ(source.GetOwner(), &owner);
    EXPECT_EQ(target.GetOwner(), nullptr);

    // Items without a copy of their own: the item's Assign raises, and the target keeps its items.
    TCollection plain(&TCollection::item_class<TPlainItem>), plain2(&TCollection::item_class<TPlainItem>);
    plain.Add();
    TCollectionItem* kept = plain2.Add();
    EXPECT_EQ(raised_message<EConvertError>([&] { plain2.Assign(&plain); }), u"Cannot assign a TPlainItem to a TPlainItem");
    EXPECT_EQ(raised_message<EConvertError>([&] { plain2.Assign(&owner); }), u"Cannot assign a TPoint2 to a TCollection");
    EXPECT_EQ(plain2.UpdateCount(), 0);
    ASSERT_EQ(plain2.Count(), 1);
    EXPECT_EQ(plain2.Items(0), kept);
}
