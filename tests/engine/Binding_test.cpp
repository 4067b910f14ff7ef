#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "engine/CefLibrary.h"
#include "engine/EngineObject.h"
#include "engine/EngineRef.h"
#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "tests/engine/StandinHarness.h"
#include "framework/Win32.h"

namespace kq {
namespace {

using test::standin_path;

// --- Loading

TEST(EngineLibrary, ResolvesEveryExportOfTheStandIn) {
    engine_library library;
    ASSERT_EQ(library.load(standin_path()), engine_load_status::loaded);
    EXPECT_TRUE(library.loaded());
    EXPECT_TRUE(engine_api_bound());
    EXPECT_EQ(&engine_api(), &library.exports());
    int resolved = 0;
    cef_exports exports = library.exports();
    for_each_export(exports, [&](const char* name, auto& slot) {
        EXPECT_NE(slot, nullptr) << name;
        EXPECT_EQ(reinterpret_cast<void (*)()>(slot),
                  reinterpret_cast<void (*)()>(::GetProcAddress(library.module(), name)))
            << name;
        ++resolved;
    });
    EXPECT_EQ(static_cast<std::size_t>(resolved), cef_export_count);
    library.unload();
    EXPECT_FALSE(engine_api_bound());
}

TEST(EngineLibrary, FailuresLeaveNothingLoaded) {
    struct row {
        const wchar_t* file;
        engine_load_status status;
        DWORD error;
        std::string missing;
    };
    const row rows[] = {
        {L"libcef_missing_export.dll", engine_load_status::export_missing, 0, "cef_resource_bundle_get_global"},
        {L"no_such_library.dll", engine_load_status::not_loadable, ERROR_MOD_NOT_FOUND, ""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(from_wide(r.file)));
        engine_library library;
        EXPECT_EQ(library.load(standin_path(r.file)), r.status);
        EXPECT_FALSE(library.loaded());
        EXPECT_FALSE(engine_api_bound());
        EXPECT_EQ(library.load_error(), r.error);
        EXPECT_EQ(library.missing_export(), r.missing);
    }
}

TEST(EngineLibrary, SecondLoadKeepsTheFirstLibrary) {
    engine_library library;
    ASSERT_EQ(library.load(standin_path()), engine_load_status::loaded);
    const HMODULE first = library.module();
    EXPECT_EQ(library.load(standin_path(L"no_such_library.dll")), engine_load_status::loaded);
    EXPECT_EQ(library.module(), first);
}

// --- References and objects made in C++

// A task whose life the test watches; run() throws on request.
class watched_task : public engine_object<cef_task_t> {
public:
    watched_task(int& alive, bool fail) : FAlive(alive), FFail(fail) {
        ++FAlive;
        cef()->execute = &engine_thunk<&watched_task::Execute>::call;
    }
    ~watched_task() override { --FAlive; }
    int runs = 0;

private:
    void Execute() {
        ++runs;
        if (FFail) throw std::runtime_error("task failed");
    }
    int& FAlive;
    bool FFail;
};

TEST(EngineRef, CountsCopiesAndReleasesOnce) {
    int alive = 0;
    {
        engine_ref<cef_task_t> a = make_engine_object<watched_task>(alive, false);
        EXPECT_EQ(alive, 1);
        EXPECT_TRUE(a->base.has_one_ref(&a->base));
        {
            engine_ref<cef_task_t> b = a;
            EXPECT_FALSE(a->base.has_one_ref(&a->base));
            engine_ref<cef_task_t> c = std::move(b);
            EXPECT_FALSE(b);
            EXPECT_TRUE(c == a);
        }
        EXPECT_TRUE(a->base.has_one_ref(&a->base));

        // What the engine is handed it releases itself; ours stays.
        cef_task_t* given = a.pass();
        EXPECT_EQ(given->base.release(&given->base), 0);
        EXPECT_EQ(alive, 1);

        engine_ref<cef_task_t> shared = engine_ref<cef_task_t>::share(a.get());
        a.reset();
        EXPECT_EQ(alive, 1);
        cef_task_t* raw = shared.detach();
        EXPECT_EQ(alive, 1);
        engine_ref<cef_task_t> adopted = engine_ref<cef_task_t>::adopt(raw);
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);
}

TEST(EngineObject, BaseSizeIsTheWholeStructure) {
    int alive = 0;
    engine_ref<cef_task_t> task = make_engine_object<watched_task>(alive, false);
    EXPECT_EQ(task->base.size, sizeof(cef_task_t));
}

TEST(EngineThunk, CallsTheObjectAndStopsExceptions) {
    const exception_handler previous = get_exception_handler();
    set_exception_handler([](const std::exception_ptr&) {});
    const auto restore = scope_exit([&] { set_exception_handler(previous); });
    int alive = 0;
    for (const bool fail : {false, true}) {
        SCOPED_TRACE(fail);
        engine_ref<cef_task_t> task = make_engine_object<watched_task>(alive, fail);
        task->execute(task.get());
        task->execute(task.get());
        EXPECT_EQ(engine_impl<watched_task>(task.get())->runs, 2);
    }
    EXPECT_EQ(alive, 0);
}

// A callback that answers a value answers the neutral one when its body throws.
class failing_visitor : public engine_object<cef_string_visitor_t> {
public:
    failing_visitor() { cef()->visit = &engine_thunk<&failing_visitor::Visit>::call; }

private:
    void Visit(const cef_string_t*) { throw std::runtime_error("visit failed"); }
};

class answering_handler : public engine_object<cef_focus_handler_t> {
public:
    explicit answering_handler(bool fail) : FFail(fail) {
        cef()->on_set_focus = &engine_thunk<&answering_handler::OnSetFocus>::call;
    }

private:
    int OnSetFocus(cef_browser_t*, cef_focus_source_t) {
        if (FFail) throw std::logic_error("no answer");
        return 7;
    }
    bool FFail;
};

std::vector<String> handled_messages;

TEST(EngineThunk, AnswersZeroAndReportsWhenTheBodyThrows) {
    const exception_handler previous = get_exception_handler();
    set_exception_handler([](const std::exception_ptr& e) { handled_messages.push_back(exception_message(e)); });
    const auto restore = scope_exit([&] { set_exception_handler(previous); });
    handled_messages.clear();

    engine_ref<cef_string_visitor_t> visitor = make_engine_object<failing_visitor>();
    visitor->visit(visitor.get(), nullptr);
    for (const auto& [fail, answer] : {std::pair{false, 7}, std::pair{true, 0}}) {
        engine_ref<cef_focus_handler_t> h = make_engine_object<answering_handler>(fail);
        EXPECT_EQ(h->on_set_focus(h.get(), nullptr, FOCUS_SOURCE_NAVIGATION), answer);
    }
    EXPECT_EQ(handled_messages, (std::vector<String>{u"visit failed", u"no answer"}));
}

} // namespace
} // namespace kq
