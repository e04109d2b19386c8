// When SwapBuffers should hold a frame back. Plain data and functions over seconds, with no SDL
// and no clock of their own, so the decision can be driven by a simulated clock and driver.
//
// A driver that honours the swap interval blocks in the swap until the vertical blank, so frames
// can never come much faster than the refresh; sleeping on top of it could only make a frame miss
// its blank. Only a driver seen not to wait (Mesa's llvmpipe under Xvfb, which presents several
// hundred frames a second) is paced, to one frame per interval of the refresh rate.
#pragma once

namespace sdlplatform {

struct SwapPacing {
    int interval = 0;    // the program's swap interval; 0 means unpaced, as the driver does
    double period = 0.0; // seconds between presents the interval asks for
    bool paced = false;  // the driver was seen not to wait: frames are held back from now on
    int fastStreak = 0;  // consecutive unpaced frames that came far sooner than a refresh
    bool havePrevious = false;
    double previousEnd = 0.0; // when the previous swap returned (unpaced) or was due (paced)
};

// Starts a new decision for this interval and refresh rate (Hz; 0 or less when unknown).
void startPacing(SwapPacing& pacing, int interval, double refreshRate);

// Tells the pacing that a swap has just returned at `now`; returns the time to sleep until before
// the program goes on, or `now` itself when nothing is to be slept.
double afterSwap(SwapPacing& pacing, double now);

} // namespace sdlplatform
