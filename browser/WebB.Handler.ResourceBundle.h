#pragma once
// Resource requests through events.
#include "browser/WebB.Events.h"
#include "engine/EngineObject.h"

namespace kq {

// Answers the engine's resource requests through events; with none assigned the engine uses its own packs.
// Called on any engine thread.
class TWebBResourceBundleHandler : public engine_object<cef_resource_bundle_handler_t> {
public:
    TWebBResourceBundleHandler();

    TOnGetDataResource OnGetDataResource;
    TOnGetLocalizedString OnGetLocalizedString;
    TOnGetDataResourceForScale OnGetDataResourceForScale;

private:
    int GetLocalizedString(int message_id, cef_string_t* string);
    int GetDataResource(int resourceId, void** data, std::size_t* data_size);
    int GetDataResourceForScale(int resourceId, cef_scale_factor_t scaleFactor, void** data, std::size_t* data_size);
};

} // namespace kq
