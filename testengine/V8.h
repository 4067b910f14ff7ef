#pragma once
// The stand-in's fake script context of a browser's main frame.
#include <memory>

#include "engine/cef_capi.h"

namespace kq::standin {

struct browser_state;

// The fake script context of a browser's main frame: its global object and eval results come from the
// tables the control interface fills.
cef_v8context_t* make_v8context(const std::shared_ptr<browser_state>& b);

void reset_script_tables();
// The engine forgets the script extensions registered with it (at shutdown).
void forget_extensions();

} // namespace kq::standin
