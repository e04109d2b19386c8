// The pacing decision of swap_pacing.h.
#include "platform/sdl/swap_pacing.h"

namespace sdlplatform {

namespace {

constexpr double unknownRefreshRate = 60.0;
// Rates outside this range are a display reporting nonsense, not a display.
constexpr double lowestRefreshRate = 20.0;
constexpr double highestRefreshRate = 500.0;

// SDL reports a whole number of hertz, rounded, so the display may really run up to half a hertz
// faster than it says: a waiting driver never averages more than this above the reported rate.
constexpr double reportedRateSlack = 0.6;
// The cadence is measured over windows this long; two fast windows in a row decide, so a driver
// that fills a queue of frames at start-up is judged on its steady cadence, within half a second.
constexpr double windowSeconds = 0.24;
constexpr int fastWindowsToDecide = 2;
// A waiting driver may run this many frames ahead of the blanks (queued swaps) but no more; a
// driver further ahead than that within a window is paced at once, before it races far.
constexpr int queuedFramesAllowed = 3;
// While paced, a window every few seconds runs at a slightly faster cadence: a driver that now
// waits for the blank stays at the refresh and is let go; one that does not keeps ahead of it.
// The faster window costs a driver that does not wait about 0.3 % more frames on average.
constexpr double secondsBetweenProbes = 4.0;
constexpr double probeSpeedUp = 1.05;

// The most frames a second a driver that honours the interval can average.
double waitingDriverLimit(const SwapPacing& pacing) {
    return (pacing.interval / pacing.period + reportedRateSlack) / pacing.interval;
}

void startWindow(SwapPacing& pacing, double now) {
    pacing.windowStart = now;
    pacing.windowFrames = 0;
}

void becomePaced(SwapPacing& pacing, double now) {
    pacing.paced = true;
    pacing.probing = false;
    pacing.nextProbe = now + secondsBetweenProbes;
    pacing.previousEnd = now;
    startWindow(pacing, now);
}

void becomeUnpaced(SwapPacing& pacing, double now) {
    pacing.paced = false;
    pacing.probing = false;
    pacing.fastWindows = 0;
    pacing.previousEnd = now;
    startWindow(pacing, now);
}

// Unpaced: watches the cadence; returns true once the driver is seen not to wait.
bool seenNotToWait(SwapPacing& pacing, double now) {
    const double elapsed = now - pacing.windowStart;
    const double limit = waitingDriverLimit(pacing);
    if (pacing.windowFrames > limit * elapsed + queuedFramesAllowed) {
        return true;
    }
    if (elapsed < windowSeconds) {
        return false;
    }
    const bool fast = pacing.windowFrames > limit * elapsed;
    pacing.fastWindows = fast ? pacing.fastWindows + 1 : 0;
    startWindow(pacing, now);
    return pacing.fastWindows >= fastWindowsToDecide;
}

// Paced: opens and closes the probe windows; returns true when a probe found the driver waiting.
bool probeFoundWaiting(SwapPacing& pacing, double now) {
    const double elapsed = now - pacing.windowStart;
    if (pacing.probing) {
        if (elapsed < windowSeconds) {
            return false;
        }
        if (pacing.windowFrames <= waitingDriverLimit(pacing) * elapsed) {
            return true;
        }
        pacing.probing = false;
        pacing.nextProbe = now + secondsBetweenProbes;
    } else if (now >= pacing.nextProbe) {
        pacing.probing = true;
        startWindow(pacing, now);
    }
    return false;
}

} // namespace

void startPacing(SwapPacing& pacing, int interval, double refreshRate) {
    pacing = SwapPacing{};
    pacing.interval = interval;
    pacing.refreshRate = refreshRate;
    const bool believable = refreshRate >= lowestRefreshRate && refreshRate <= highestRefreshRate;
    pacing.period = interval / (believable ? refreshRate : unknownRefreshRate);
}

double afterSwap(SwapPacing& pacing, double now) {
    if (pacing.interval <= 0) {
        return now;
    }
    if (!pacing.havePrevious) {
        pacing.havePrevious = true;
        becomeUnpaced(pacing, now);
        return now;
    }
    ++pacing.windowFrames;
    if (!pacing.paced) {
        pacing.previousEnd = now;
        if (seenNotToWait(pacing, now)) {
            becomePaced(pacing, now);
        }
        return now;
    }
    if (probeFoundWaiting(pacing, now)) {
        becomeUnpaced(pacing, now);
        return now;
    }
    // Counting from when this frame was due, not from when the sleep ended, keeps the cadence at
    // the refresh rate instead of losing the sleep's overshoot every frame. A frame more than a
    // whole period late starts the cadence again from where it is, so no burst follows a stall.
    const double step = pacing.probing ? pacing.period / probeSpeedUp : pacing.period;
    const double due = pacing.previousEnd + step;
    if (now >= due + step) {
        pacing.previousEnd = now;
        return now;
    }
    pacing.previousEnd = due;
    return now < due ? due : now;
}

} // namespace sdlplatform
