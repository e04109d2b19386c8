// The pacing decision of swap_pacing.h.
#include "platform/sdl/swap_pacing.h"

namespace sdlplatform {

namespace {

constexpr double unknownRefreshRate = 60.0;
// A waiting driver cannot return within three quarters of a refresh this many frames in a row: that
// would need it to queue several frames ahead, which the swap interval forbids.
constexpr double fastShare = 0.75;
constexpr int fastFramesToDecide = 8;

} // namespace

void startPacing(SwapPacing& pacing, int interval, double refreshRate) {
    pacing = SwapPacing{};
    pacing.interval = interval;
    const double rate = refreshRate > 0.0 ? refreshRate : unknownRefreshRate;
    pacing.period = interval / rate;
}

double afterSwap(SwapPacing& pacing, double now) {
    if (pacing.interval <= 0) {
        return now;
    }
    if (!pacing.havePrevious) {
        pacing.havePrevious = true;
        pacing.previousEnd = now;
        return now;
    }
    if (!pacing.paced) {
        const bool fast = now - pacing.previousEnd < fastShare * pacing.period;
        pacing.fastStreak = fast ? pacing.fastStreak + 1 : 0;
        pacing.paced = pacing.fastStreak >= fastFramesToDecide;
        pacing.previousEnd = now;
        return now;
    }
    // Counting from when this frame was due, not from when the sleep ended, keeps the cadence at
    // the refresh rate instead of losing the sleep's overshoot every frame. A frame more than a
    // whole period late starts the cadence again from where it is, so no burst follows a stall.
    const double due = pacing.previousEnd + pacing.period;
    if (now >= due + pacing.period) {
        pacing.previousEnd = now;
        return now;
    }
    pacing.previousEnd = due;
    return now < due ? due : now;
}

} // namespace sdlplatform
