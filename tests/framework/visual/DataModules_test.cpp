#include "framework/DataModules.h"

#include "framework/Properties.h"
#include "framework/Timers.h"

#include "VisualFixture.h"

using namespace kq;
using kq::test::visual_test;

namespace {

// Built from the RCDATA resource named after its class (ResourceForm.rc).
class TTestDataModule : public TDataModule {
public:
    using TDataModule::TDataModule;

    TTimer* Clock = nullptr;
    TTimer* Extra = nullptr;
    std::vector<String>* Log = nullptr;

    void ModuleCreate(TObject* sender) {
        SeenAtCreate = sender == this && Clock && Extra && Clock->Interval() == 40 && !Clock->Enabled() &&
                       Extra->Interval() == 75 && Extra->Tag() == 7 && Extra->Owner() == this;
    }
    void ModuleDestroy(TObject* sender) {
        if (Log) Log->push_back(sender == this && Clock && FindComponent(u"Extra") ? u"destroy, whole" : u"destroy");
    }

    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TTestDataModule>(TDataModule::PublishedProperties())
            .field(u"Clock", &TTestDataModule::Clock)
            .field(u"Extra", &TTestDataModule::Extra)
            .method(u"ModuleCreate", &TTestDataModule::ModuleCreate)
            .method(u"ModuleDestroy", &TTestDataModule::ModuleDestroy);
        return table;
    }

    bool SeenAtCreate = false;
};

// No resource of its name.
class TPlainDataModule : public TDataModule {
public:
    using TDataModule::TDataModule;
};

class TBadDataModule : public TDataModule {
public:
    using TDataModule::TDataModule;
};

} // namespace

TEST_F(visual_test, DataModuleIsReadFromItsResourceBeforeOnCreateAndRaisesOnDestroyWhole) {
    std::vector<String> log;
    // Without owner, as a program-wide module is made at start-up.
    std::unique_ptr<TTestDataModule> module(CreateDataModule<TTestDataModule>(nullptr));
    module->Log = &log;
    EXPECT_TRUE(module->SeenAtCreate);
    EXPECT_EQ(module->Name(), u"TestDataModule");
    EXPECT_EQ(module->ComponentCount(), 2);
    EXPECT_EQ(module->FindComponent(u"clock"), module->Clock);
    module.reset();
    EXPECT_EQ(log, std::vector<String>{u"destroy, whole"});

    // Owned by the application: it goes with its owner (the fixture counts the timer's window).
    TTestDataModule* owned = CreateDataModule<TTestDataModule>(Application);
    EXPECT_EQ(Application->FindComponent(u"TestDataModule"), owned);
}

TEST_F(visual_test, DataModuleWithoutResourceRaisesOnCreateAndOneThatFailsToReadLeavesNothing) {
    int created = 0;
    struct counted : TPlainDataModule {
        explicit counted(TComponent* owner, int& count) : TPlainDataModule(owner) {
            OnCreate = [&count](TObject*) { ++count; };
        }
    };
    std::unique_ptr<counted> plain(CreateDataModule<counted>(nullptr, created));
    EXPECT_EQ(created, 1);
    EXPECT_EQ(plain->ComponentCount(), 0);

    // The timer read before the bad line is freed with the module (the fixture counts its window).
    const int before = Application->ComponentCount();
    try {
        CreateDataModule<TBadDataModule>(Application);
        FAIL() << "no error";
    } catch (const EReadError& e) {
        EXPECT_NE(String(e.Message()).find(u"Missing"), String::npos) << string_to_utf8(e.Message());
    }
    EXPECT_EQ(Application->ComponentCount(), before);
}
