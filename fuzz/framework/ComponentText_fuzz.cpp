// Component text from anywhere (a damaged settings file) may only raise the framework's errors; a
// syntax error changes nothing, and whatever was read writes out so that it reads back the same.

#include "fuzz/FuzzInput.h"
#include "framework/ComponentText.h"
#include "framework/Components.h"
#include "framework/Exceptions.h"
#include "framework/Properties.h"
#include "framework/Streams.h"
#include "tests/framework/sample_components.h"

#include <cstddef>
#include <cstdint>

namespace {

using namespace kq;

using fuzz::check;

void register_once() {
    static bool done = false;
    if (done) return;
    done = true;
    register_sample_classes();
    color_idents().add(0x0000FF, u"clRed");
    cursor_idents().add(-21, u"crHourGlass");
}

// Syntax errors carry a column; errors found while applying name the line only.
bool is_syntax_error(const Exception& e) { return e.Message().find(u", column ") != String::npos; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    register_once();
    TMemoryStream stream;
    stream.WriteBuffer(data, static_cast<std::int64_t>(size));

    TSample root(nullptr);
    // Twice: the second pass reads into the components the first one made.
    for (int pass = 0; pass < 2; ++pass) {
        const String before = write_component_text(root);
        stream.SetPosition(0);
        try {
            read_component_text(stream, root);
        } catch (const Exception& e) {
            if (is_syntax_error(e)) check(write_component_text(root) == before);
        }
    }
    const String written = write_component_text(root);
    TSample copy(nullptr);
    read_component_text(written, copy);
    check(write_component_text(copy) == written);
    return 0;
}
