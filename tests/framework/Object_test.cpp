#include "framework/Object.h"

#include <gtest/gtest.h>

namespace kq {
class TSampleThing : public TObject {};
} // namespace kq

using namespace kq;

TEST(TObject, ClassNameIsTheDynamicClassWithoutNamespace) {
    TSampleThing thing;
    const TObject& base = thing;
    EXPECT_EQ(base.ClassName(), u"TSampleThing");
}
