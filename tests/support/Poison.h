// The value a test fills every result slot with before a call: a slot that
// still holds it was not written.
#pragma once

namespace msx {

inline constexpr float kPoison = -12345.0f;

}  // namespace msx
