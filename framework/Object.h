#pragma once
// TObject, the root of every class the framework streams, lists or owns.
#include "framework/Strings.h"

#include <functional>
#include <typeinfo>

namespace kq {

// Root of every class the framework streams, lists or owns: a virtual destructor, so a list that owns
// its objects frees them through a base pointer, and the class's own name.
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    // The dynamic class's name without namespace, e.g. u"TStringList".
    String ClassName() const;
};

// A class's name without namespace, as ClassName gives it for an object of that class.
String class_name_of(const std::type_info& type);

// The event that says only who raised it (OnClick, OnChange, OnTimer).
using TNotifyEvent = std::function<void(TObject* Sender)>;

} // namespace kq
