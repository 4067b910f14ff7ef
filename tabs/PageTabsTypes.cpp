#include "tabs/PageTabsTypes.h"

namespace kq {

const std::vector<String>& ease_type_names() {
    static const std::vector<String> names = {
        u"ttNone",           u"ttLinearTween",   u"ttEaseInQuad",   u"ttEaseOutQuad",  u"ttEaseInOutQuad",
        u"ttEaseInCubic",    u"ttEaseOutCubic",  u"ttEaseInOutCubic", u"ttEaseInQuart", u"ttEaseOutQuart",
        u"ttEaseInOutQuart", u"ttEaseInQuint",   u"ttEaseOutQuint", u"ttEaseInOutQuint", u"ttEaseInSine",
        u"ttEaseOutSine",    u"ttEaseInOutSine", u"ttEaseInExpo",   u"ttEaseOutExpo",  u"ttEaseInOutExpo",
        u"ttEaseInCirc",     u"ttEaseOutCirc",   u"ttEaseInOutCirc"};
    return names;
}

const std::vector<String>& tab_orientation_names() {
    static const std::vector<String> names = {u"toTop", u"toBottom"};
    return names;
}

} // namespace kq
