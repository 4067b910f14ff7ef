#pragma once
// Published properties through component text: a text sets each row's property, the component is written
// back, and each row must come back as the same line.
#include "framework/ComponentText.h"
#include "framework/Components.h"
#include "framework/Conversions.h"
#include "framework/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace kq::test {

// One property as component text writes it: "Font.Name" and "'Tahoma'", "Pos.X" and "20".
struct published_row {
    String path;
    String value;
};

// Reads head, the rows (one line each) and tail into root, then writes root back: every row's line must
// be among the lines written after the one that starts with after (an "object Name: TClass" line).
inline void expect_round_trip(TComponent& root, const String& head, const std::vector<published_row>& rows,
                              const String& tail, const String& after) {
    String text = head;
    for (const published_row& r : rows) text += r.path + u" = " + r.value + u"\r\n";
    text += tail;
    read_component_text(text, root);

    const String written = write_component_text(root);
    std::vector<String> lines;
    bool started = false;
    for (std::size_t start = 0; start < written.size();) {
        std::size_t end = written.find(u'\n', start);
        if (end == String::npos) end = written.size();
        const String line = Trim(written.substr(start, end - start));
        start = end + 1;
        if (!started) started = line.rfind(after, 0) == 0;
        else lines.push_back(line);
    }
    ASSERT_TRUE(started) << string_to_utf8(written);
    for (const published_row& r : rows) {
        const String line = r.path + u" = " + r.value;
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end())
            << string_to_utf8(line) << " is not in\n" << string_to_utf8(written);
    }
}

} // namespace kq::test
