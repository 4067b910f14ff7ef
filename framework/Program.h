#pragma once
// Run_program, a program's entry with the "Application Error" box.
#include <exception>
#include <functional>

#include "framework/Strings.h"

namespace kq {

// Runs a program's body. An exception that leaves it is reported in a task-modal "Application Error" box
// without owner and the answer is exit code 1; otherwise 0.
int run_program(const std::function<void()>& body) noexcept;

// Whether the program's command line holds the switch "--name" or "--name=value" (a value given is
// stored in value). The program's name itself is never a switch.
bool command_line_switch(StringView name, String* value = nullptr);

// The text of that box: "Exception <class> in module <file> at <address>.\r\n<message>[.]\r\n", the address
// relative to the start of the module's code.
String application_error_text(const std::exception_ptr& error);

} // namespace kq
