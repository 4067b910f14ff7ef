#pragma once
// Reading the values of the skin settings file ("Skin\Config.xml"): portable, so that it is fuzzed natively.
#include "framework/Strings.h"

#include <cstdint>
#include <optional>

namespace kq {

class TXmlDocument;

// The values of one settings file, read completely before any of them is applied.
struct skin_file_values {
    std::optional<std::int32_t> Style, DefaultSkinOrder, GradientHeight, HitTestWidth, TitleHeight, TitlerColor,
        Color, FramWidth, Hue, Saturation, Brightness;
    std::optional<String> FormBg;
};

// The values under the root's "Config", "Custom", "Form" of a loaded document; nothing when that path is
// missing. A value that is no integer, or a style above LastStyle, raises EConvertError naming the element
// and File.
std::optional<skin_file_values> read_skin_file_values(const TXmlDocument& Xml, const String& File,
                                                      std::int32_t LastStyle);

} // namespace kq
