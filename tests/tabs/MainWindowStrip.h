#pragma once
// A strip set up as the application's main window sets up its own.
namespace kq {
class TCustomPageTabs;
}

namespace kq::test {

// Gives a strip every option and look value the application's main window sets on its own strip (the
// form's values), for tests and benchmarks that need the strip as the user sees it.
void apply_main_window_settings(TCustomPageTabs& Strip);

} // namespace kq::test
