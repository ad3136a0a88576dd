#pragma once
// EPS and ALPHA: the two process-wide settings read by the interpreter and the primitives.
// Everything else of an evaluation belongs to that evaluation.

namespace lv::lang {

constexpr float kDefaultEps = 0.000001f;
constexpr float kDefaultAlpha = 0.0f;

float eps();
float alpha();

// Accepts 0 < value < 1; returns false and keeps the old value otherwise.
bool setEps(float value);
// Accepts -1 <= value <= 1; returns false and keeps the old value otherwise.
bool setAlpha(float value);

// Messages shown when a setter refuses a value.
inline constexpr const char* kEpsRangeMessage = "Range error: EPS must be between (0.0 .. +1.0)";
inline constexpr const char* kAlphaRangeMessage =
    "Range error: ALPHA must be in [-1.0 .. +1.0]";

} // namespace lv::lang
