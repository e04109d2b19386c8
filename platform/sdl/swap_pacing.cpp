// The pacing decision of swap_pacing.h.
#include "platform/sdl/swap_pacing.h"

#include <cmath>
#include <cstdint>

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
// A waiting driver may run this many frames ahead of the blanks (filling a queue of frames) but no
// more: a driver returning more swaps in a row sooner than the fastest display's interval waits
// for nothing and is paced at once, before it races far, and a window further ahead than that of
// the rate believed is judged at once.
constexpr int queuedFramesAllowed = 3;
// While paced, two frames every few seconds are let go without their sleep and, if their swaps
// came the same time apart, the driver is asked about that time as below: a driver that now waits
// (on the rate believed or a faster one) is let go. The frames asked about take the places of
// frames of the cadence, so it keeps its count.
constexpr double secondsBetweenProbes = 4.0;
// A paced driver that presents fewer frames than this share of the cadence over two windows in a
// row (one could hold a stall) draws slower than the refresh: the pacing only holds its quicker
// frames back, and it is let go.
constexpr double slowerThanCadence = 0.9;
// A waiting driver's swaps return on the blanks, give or take a wake-up, so the times between
// them spread little; a cadence spreading more than this share of its mean (standard deviation)
// is not asked whether it waits, as the answer would be lost in its own spread.
constexpr double steadySpread = 1.0 / 16.0;
// Asking holds this many frames back, each by this share of the cadence and each after a frame
// let go unheld, which a waiting driver hides in its wait for the blank. It answers that it waits
// when the swap after a held frame returns within `answerTolerance` of the cadence of a blank, and
// sooner after the program went on (by at least half the hold) than the unheld frame before took:
// a driver that does not wait needs as long for its frame whenever it starts, so a driver that
// merely got faster (the machine less busy) answers no.
constexpr int framesHeldToAsk = 2;
constexpr double heldShare = 0.25;
constexpr double answerTolerance = 1.0 / 8.0;

// The most frames a second a driver that honours the interval can average.
double waitingDriverLimit(const SwapPacing& pacing) {
    return (pacing.interval / pacing.period + reportedRateSlack) / pacing.interval;
}

void startWindow(SwapPacing& pacing, double now) {
    pacing.windowStart = now;
    pacing.windowFrames = 0;
    pacing.windowSquares = 0.0;
}

void stopAsking(SwapPacing& pacing) {
    pacing.heldCadence = 0.0;
    pacing.holdsLeft = 0;
}

void becomePaced(SwapPacing& pacing, double now) {
    pacing.paced = true;
    pacing.probing = false;
    pacing.slowWindows = 0;
    pacing.nextProbe = now + secondsBetweenProbes;
    pacing.previousEnd = now;
    stopAsking(pacing);
    startWindow(pacing, now);
}

void becomeUnpaced(SwapPacing& pacing, double now) {
    pacing.paced = false;
    pacing.probing = false;
    pacing.fastWindows = 0;
    pacing.quickSwaps = 0;
    pacing.previousEnd = now;
    stopAsking(pacing);
    startWindow(pacing, now);
}

// The window's mean time between swaps when they keep to it closely enough to ask about, at a
// rate some display runs at; 0 otherwise.
double steadyCadence(const SwapPacing& pacing, double elapsed) {
    const double mean = elapsed / pacing.windowFrames;
    const double variance = pacing.windowSquares / pacing.windowFrames - mean * mean;
    const bool steady = variance <= steadySpread * steadySpread * mean * mean;
    return steady && pacing.interval / mean <= highestRefreshRate ? mean : 0.0;
}

void startAsking(SwapPacing& pacing, double cadence, double busy) {
    pacing.heldCadence = cadence;
    pacing.holdsLeft = framesHeldToAsk;
    pacing.holding = true;
    pacing.unheldBusy = busy;
}

// Whether the swap `sinceLast` after the one before it, `busy` after the program went on, answers
// the held frame as a waiting driver does.
bool answersAsWaiting(const SwapPacing& pacing, double sinceLast, double busy) {
    const double cadence = pacing.heldCadence;
    const double blanks = sinceLast / cadence;
    const double nearest = std::round(blanks);
    const bool onBlank = nearest >= 1.0 && std::abs(blanks - nearest) < answerTolerance;
    return onBlank && busy < pacing.unheldBusy - 0.5 * heldShare * cadence;
}

enum class Answer : std::uint8_t { pending, waits, doesNotWait };

// One swap while asking; `until` is set to when the program goes on.
Answer ask(SwapPacing& pacing, double now, double sinceLast, double busy, double& until) {
    if (!pacing.holding) {
        pacing.holding = true;
        pacing.unheldBusy = busy;
        until = now + heldShare * pacing.heldCadence;
        return Answer::pending;
    }
    pacing.holding = false;
    until = now;
    if (!answersAsWaiting(pacing, sinceLast, busy)) {
        stopAsking(pacing);
        return Answer::doesNotWait;
    }
    return --pacing.holdsLeft > 0 ? Answer::pending : Answer::waits;
}

// A fast window: the driver is paced when enough of them came in a row.
double countFastWindow(SwapPacing& pacing, double now) {
    startWindow(pacing, now);
    if (++pacing.fastWindows >= fastWindowsToDecide) {
        becomePaced(pacing, now);
    }
    return now;
}

// Unpaced: watches the cadence and asks a steady fast driver whether it waits; returns the time to
// sleep until.
double watchUnpaced(SwapPacing& pacing, double now, double sinceLast, double busy) {
    if (pacing.heldCadence > 0.0) {
        double until = now;
        const Answer answer = ask(pacing, now, sinceLast, busy, until);
        if (answer == Answer::doesNotWait) {
            becomePaced(pacing, now); // a fast, steady cadence that waits for nothing
            return now;
        }
        if (answer == Answer::pending) {
            return until;
        }
        // It waits: its swaps show the display's interval better than the rate reported.
        pacing.period = pacing.heldCadence;
        pacing.fastWindows = 0;
        stopAsking(pacing);
        startWindow(pacing, now);
        return now;
    }
    pacing.quickSwaps =
        sinceLast < pacing.interval / highestRefreshRate ? pacing.quickSwaps + 1 : 0;
    if (pacing.quickSwaps > queuedFramesAllowed) {
        becomePaced(pacing, now);
        return now;
    }
    // A window further ahead of the rate believed than a queue of frames explains is judged at
    // once: paced if uneven, asked if steady (a waiting driver on a faster display than believed).
    const double elapsed = now - pacing.windowStart;
    const double limit = waitingDriverLimit(pacing) * elapsed;
    const bool ahead = pacing.windowFrames > limit + queuedFramesAllowed;
    if (elapsed < windowSeconds && !ahead) {
        return now;
    }
    if (pacing.windowFrames <= limit) {
        pacing.fastWindows = 0;
        startWindow(pacing, now);
        return now;
    }
    const double cadence = steadyCadence(pacing, elapsed);
    if (cadence <= 0.0 && ahead) {
        becomePaced(pacing, now);
        return now;
    }
    if (cadence <= 0.0) {
        return countFastWindow(pacing, now);
    }
    startWindow(pacing, now);
    startAsking(pacing, cadence, busy);
    return now + heldShare * cadence;
}

// Paced: one frame per period, counted from when each frame was due, with a probe now and then.
double afterPacedSwap(SwapPacing& pacing, double now, double sinceLast, double busy) {
    // Counting from when this frame was due, not from when the sleep ended, keeps the cadence at
    // the refresh rate instead of losing the sleep's overshoot every frame. A frame more than a
    // whole period late starts the cadence again from where it is, so no burst follows a stall.
    const double due = pacing.previousEnd + pacing.period;
    pacing.previousEnd = now >= due + pacing.period ? now : due;
    const double paced = now < due ? due : now;
    const double elapsed = now - pacing.windowStart;
    if (elapsed >= windowSeconds && pacing.heldCadence <= 0.0 && !pacing.probing) {
        const bool slow = pacing.windowFrames < slowerThanCadence * elapsed / pacing.period;
        pacing.slowWindows = slow ? pacing.slowWindows + 1 : 0;
        if (pacing.slowWindows >= fastWindowsToDecide) {
            becomeUnpaced(pacing, now);
            return now;
        }
        startWindow(pacing, now);
    }
    if (pacing.heldCadence > 0.0) {
        double until = now;
        const Answer answer = ask(pacing, now, sinceLast, busy, until);
        if (answer == Answer::doesNotWait) {
            pacing.nextProbe = now + secondsBetweenProbes;
            return paced;
        }
        if (answer == Answer::pending) {
            return until;
        }
        const double cadence = pacing.heldCadence;
        becomeUnpaced(pacing, now);
        pacing.period = cadence;
        return now;
    }
    if (pacing.probing) {
        // Two frames let go: a waiting driver's swaps came on the next blank after the last, the
        // same time apart; one whose frames take unequal times is not asked.
        const double first = pacing.probeInterval;
        const bool steady = first <= 0.0 || std::abs(sinceLast - first) < answerTolerance * first;
        if (pacing.interval / sinceLast > highestRefreshRate || !steady) {
            pacing.probing = false;
            pacing.nextProbe = now + secondsBetweenProbes;
            return paced;
        }
        if (first <= 0.0) {
            pacing.probeInterval = sinceLast;
            return now;
        }
        pacing.probing = false;
        startAsking(pacing, sinceLast, busy);
        return now + heldShare * sinceLast;
    }
    if (now >= pacing.nextProbe) {
        pacing.probing = true;
        pacing.probeInterval = 0.0;
        return now;
    }
    return paced;
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
    const double sinceLast = now - pacing.previousSwap;
    const double busy = now - pacing.resumedAt;
    pacing.previousSwap = now;
    double until = now;
    if (!pacing.havePrevious) {
        pacing.havePrevious = true;
        becomeUnpaced(pacing, now);
    } else {
        ++pacing.windowFrames;
        pacing.windowSquares += sinceLast * sinceLast;
        if (!pacing.paced) {
            pacing.previousEnd = now;
            until = watchUnpaced(pacing, now, sinceLast, busy);
        } else {
            until = afterPacedSwap(pacing, now, sinceLast, busy);
        }
    }
    pacing.resumedAt = until;
    return until;
}

void resumed(SwapPacing& pacing, double now) {
    pacing.resumedAt = now;
}

} // namespace sdlplatform
