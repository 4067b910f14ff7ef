#pragma once
// Published properties reached by a dotted path of names.
#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Properties.h"

#include <variant>

namespace kq::test {

// The published property at a dotted path of names, e.g. u"Display.Tabs.MaxWidth", with the object that
// holds it. EConvertError for a name the path does not have.
struct located {
    TPersistent* object;
    const property_info* info;
};

inline located locate(TPersistent& root, StringView path) {
    TPersistent* object = &root;
    for (;;) {
        const auto dot = path.find(u'.');
        const StringView name = path.substr(0, dot);
        const property_info* info = object->PublishedProperties().find(name);
        if (!info) throw EConvertError(u"no property " + String(name));
        if (dot == StringView::npos) return {object, info};
        object = std::get<TPersistent*>(info->get(*object));
        path.remove_prefix(dot + 1);
    }
}

} // namespace kq::test
