#include "lang/settings.h"

#include <atomic>

namespace lv::lang {

namespace {
std::atomic<float> gEps{kDefaultEps};
std::atomic<float> gAlpha{kDefaultAlpha};
} // namespace

float eps() { return gEps.load(std::memory_order_relaxed); }
float alpha() { return gAlpha.load(std::memory_order_relaxed); }

bool setEps(float value) {
    if (!(value > 0.0f && value < 1.0f)) return false;
    gEps.store(value, std::memory_order_relaxed);
    return true;
}

bool setAlpha(float value) {
    if (!(value >= -1.0f && value <= 1.0f)) return false;
    gAlpha.store(value, std::memory_order_relaxed);
    return true;
}

} // namespace lv::lang
