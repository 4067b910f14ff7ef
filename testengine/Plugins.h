#pragma once
// The stand-in's plug-ins and scheme handler factories.

namespace kq::standin {

// The engine forgets the scheme handler factories registered with it (at shutdown).
void forget_scheme_handler_factories();

} // namespace kq::standin
