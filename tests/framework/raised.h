#pragma once
// raised_message: the message of the exception a call raises, for exact-text checks.
#include "framework/Strings.h"

#include <utility>

// The message of the E that f raises, or "not raised"; any other exception fails the test by escaping.
template <class E, class F>
kq::String raised_message(F&& f) {
    try {
        std::forward<F>(f)();
    } catch (const E& e) {
        return e.Message();
    }
    return u"not raised";
}
