#include "framework/Object.h"

#include <cxxabi.h>
#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace kq {

String TObject::ClassName() const { return class_name_of(typeid(*this)); }

String class_name_of(const std::type_info& type) {
    const char* mangled = type.name();
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> plain{abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                      &std::free};
    std::string name = status == 0 && plain ? plain.get() : mangled;
    if (const auto colon = name.rfind("::"); colon != std::string::npos)
        name.erase(0, colon + 2);
    return utf8_to_string(name);
}

} // namespace kq
