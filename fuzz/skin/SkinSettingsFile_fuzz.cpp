// Settings files from anywhere, loaded as the settings component loads "Skin\Config.xml": reading their
// values may only succeed or raise EConvertError naming the element, and a style it accepts is one a form
// can draw.

#include "fuzz/FuzzInput.h"
#include "framework/Exceptions.h"
#include "skin/SkinSettingsFile.h"
#include "xml/XmlDocument.h"
#include "xml/XmlStreams.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kq;
    constexpr std::int32_t last_style = 1;
    TXmlDocument doc;
    TXmlStringStream in(std::string_view(reinterpret_cast<const char*>(data), size));
    doc.LoadFromStream(in);
    try {
        const auto values = read_skin_file_values(doc, u"Config.xml", last_style);
        if (values && values->Style) fuzz::check((*values->Style & 0xFF) <= last_style);
    } catch (const EConvertError& e) {
        fuzz::check(e.Message().find(u"of \"Config.xml\"") != String::npos);
    }
    return 0;
}
