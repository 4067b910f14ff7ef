#pragma once

namespace kq {
} // namespace kq
