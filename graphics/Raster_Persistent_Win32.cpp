// The persistent bases' Windows side: the framework's graphics and controls as size sources.

#include "graphics/Raster_Persistent.h"

#include "framework/Controls.h"
#include "framework/Graphics.h"

namespace kq {

namespace {

std::optional<std::pair<std::int32_t, std::int32_t>> framework_size(const TPersistent* source) {
    if (const auto* graphic = dynamic_cast<const TGraphic*>(source))
        return std::pair{graphic->Width(), graphic->Height()};
    if (const auto* control = dynamic_cast<const TControl*>(source))
        return std::pair{control->Width(), control->Height()};
    return std::nullopt;
}

} // namespace

void Raster_Persistent_startup() {
    set_size_of_object(framework_size);
}

void Raster_Persistent_shutdown() {
    set_size_of_object(nullptr);
}

} // namespace kq
