#include "browser/WebB.Handler.ResourceBundle.h"

#include "engine/EngineStrings.h"

namespace kq {

TWebBResourceBundleHandler::TWebBResourceBundleHandler() {
    cef()->get_localized_string = &engine_thunk<&TWebBResourceBundleHandler::GetLocalizedString>::call;
    cef()->get_data_resource = &engine_thunk<&TWebBResourceBundleHandler::GetDataResource>::call;
    cef()->get_data_resource_for_scale = &engine_thunk<&TWebBResourceBundleHandler::GetDataResourceForScale>::call;
}

int TWebBResourceBundleHandler::GetLocalizedString(int message_id, cef_string_t* string) {
    String value;
    bool cancel = false;
    if (OnGetLocalizedString) OnGetLocalizedString(message_id, value, cancel);
    if (cancel && string) assign_cef_string(string, value);
    return cancel ? 1 : 0;
}

int TWebBResourceBundleHandler::GetDataResource(int resourceId, void** data, std::size_t* data_size) {
    void* supplied = nullptr;
    std::size_t size = data_size ? *data_size : 0;
    bool cancel = false;
    if (OnGetDataResource) OnGetDataResource(resourceId, supplied, size, cancel);
    if (cancel) {
        if (data) *data = supplied;
        if (data_size) *data_size = size;
    }
    return cancel ? 1 : 0;
}

int TWebBResourceBundleHandler::GetDataResourceForScale(int resourceId, cef_scale_factor_t scaleFactor, void** data,
                                                        std::size_t* data_size) {
    void* supplied = nullptr;
    std::size_t size = data_size ? *data_size : 0;
    bool cancel = false;
    if (OnGetDataResourceForScale) OnGetDataResourceForScale(resourceId, scaleFactor, supplied, size, cancel);
    if (cancel) {
        if (data) *data = supplied;
        if (data_size) *data_size = size;
    }
    return cancel ? 1 : 0;
}

} // namespace kq
