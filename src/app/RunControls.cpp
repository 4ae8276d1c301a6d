#include "app/RunControls.h"

#include <cmath>

namespace halvane {

std::optional<std::int32_t> JumpIndexAt(float xMs, double averagingWindowMs)
{
    const double v = static_cast<double>(xMs) / averagingWindowMs - 0.49999;
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    const double index = std::nearbyint(v);
    if (index < -2147483648.0 || index > 2147483647.0) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(index);
}

void PressOnStrip(SharedState& state, float xMs)
{
    if (!state.Paused) {
        return;
    }
    if (const auto index = JumpIndexAt(xMs, state.AveragingWindowMs)) {
        state.JumpIndex = *index;
    }
}

}  // namespace halvane
