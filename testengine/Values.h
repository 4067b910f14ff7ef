#pragma once
// Values and process messages.
#include <memory>
#include <string>

#include "engine/EngineRef.h"
#include "engine/cef_capi.h"

namespace kq::standin {

// A message's name, for the record.
std::wstring message_name(cef_process_message_t* message);

} // namespace kq::standin
