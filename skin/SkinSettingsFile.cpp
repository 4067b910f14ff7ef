#include "skin/SkinSettingsFile.h"

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "xml/XmlDocument.h"
#include "xml/XmlNodeTree.h"

namespace kq {

namespace {

std::optional<std::int32_t> read_integer(const TXmlNode& form, const char* name, const String& file) {
    const TXmlNode* node = form.FindNode(name);
    if (!node)
        return std::nullopt;
    try {
        return node->GetValueAsInteger();
    } catch (const EConvertError& e) {
        throw EConvertError(e.Message() + u" (element \"" + utf8_to_string(name) + u"\" of \"" + file + u"\")");
    }
}

} // namespace

std::optional<skin_file_values> read_skin_file_values(const TXmlDocument& Xml, const String& File,
                                                      std::int32_t LastStyle) {
    const TXmlElement* root = Xml.Root();
    const TXmlNode* config = root ? root->FindNode("Config") : nullptr;
    const TXmlNode* custom = config ? config->FindNode("Custom") : nullptr;
    const TXmlNode* form = custom ? custom->FindNode("Form") : nullptr;
    if (!form)
        return std::nullopt;
    skin_file_values v;
    v.Style = read_integer(*form, "Style", File);
    // Only colour and picture are styles; anything else would leave a form with no background to draw.
    if (v.Style && (*v.Style & 0xFF) > LastStyle)
        throw EConvertError(u"'" + IntToStr(*v.Style) + u"' is not a valid style (element \"Style\" of \"" + File +
                            u"\")");
    v.DefaultSkinOrder = read_integer(*form, "DefaultSkinOrder", File);
    if (const TXmlNode* node = form->FindNode("FormBg"))
        v.FormBg = node->ValueUnicode();
    v.GradientHeight = read_integer(*form, "GradientHeight", File);
    v.HitTestWidth = read_integer(*form, "HitTestWidth", File);
    v.TitleHeight = read_integer(*form, "TitleHeight", File);
    v.TitlerColor = read_integer(*form, "TitlerColor", File);
    v.Color = read_integer(*form, "Color", File);
    v.FramWidth = read_integer(*form, "FramWidth", File);
    v.Hue = read_integer(*form, "HSB_H", File);
    v.Saturation = read_integer(*form, "HSB_S", File);
    v.Brightness = read_integer(*form, "HSB_B", File);
    return v;
}

} // namespace kq
