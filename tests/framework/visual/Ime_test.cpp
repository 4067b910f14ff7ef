#include "framework/Ime.h"

#include "framework/Forms.h"

#include "VisualFixture.h"

#include <cstring>

using namespace kq;
using kq::test::visual_test;

// A system that answers a bad size must give nothing, or whole characters, never bytes past the buffer.
TEST(read_composition_string, TakesOnlyWholeCharactersThatFit) {
    const String source = u"输入法abc";
    struct row {
        const char* name;
        LONG size;   // what the size query answers
        LONG copied; // what the copy answers (bytes)
        String expected;
    };
    const row rows[] = {
        {"whole", 12, 12, u"输入法abc"},
        {"error on the size", -1, 12, u""},
        {"no string", 0, 0, u""},
        {"odd size", 7, 7, u"输入法"},
        {"odd size of one byte", 1, 1, u""},
        {"copy claims more than asked", 4, 12, u"输入"},
        {"copy fails", 12, -2, u""},
        {"copy shorter than the size", 12, 5, u"输入"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        int calls = 0;
        const String got = read_composition_string([&](void* buffer, DWORD bytes) -> LONG {
            ++calls;
            if (!buffer) return r.size;
            EXPECT_EQ(bytes % 2, 0u);
            const size_t n = std::min<size_t>(bytes, source.size() * 2);
            std::memcpy(buffer, source.data(), n);
            return r.copied;
        });
        EXPECT_EQ(got, r.expected);
    }
}

TEST_F(visual_test, InputContextOfAFormWindowIsTakenAndReleased) {
    auto* form = CreateForm<TForm>(Application);
    form->Font().SetName(u"Tahoma");
    {
        const ime_context context(form->Handle());
        ASSERT_TRUE(context);
        EXPECT_EQ(context.CompositionString(GCS_RESULTSTR), u"");
        context.SetCompositionFont(form->Font());
        context.SetCompositionWindow(RECT{0, 0, 100, 20}, POINT{5, 0});
        LOGFONTW lf{};
        ASSERT_TRUE(::ImmGetCompositionFontW(context.get(), &lf));
        EXPECT_EQ(String(from_wide(lf.lfFaceName)), u"Tahoma");
    }
    // Taken away, the window has none; given back, it has it again.
    const HIMC own = ::ImmAssociateContext(form->Handle(), nullptr);
    EXPECT_FALSE(ime_context(form->Handle()));
    ::ImmAssociateContext(form->Handle(), own);
    EXPECT_TRUE(ime_context(form->Handle()));
    delete form;
}
