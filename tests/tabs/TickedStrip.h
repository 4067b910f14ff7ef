#pragma once
// A strip whose animation clock ticks only when a test says so.
#include "tabs/PageTabs.h"

namespace kq::test {

class ticked_strip : public TPageTabs {
public:
    using TPageTabs::TPageTabs;
    void tick() { AdvanceAnimations(); }
};

} // namespace kq::test
