// When SwapBuffers should hold a frame back. Plain data and functions over seconds, with no SDL
// and no clock of their own, so the decision can be driven by a simulated clock and driver.
//
// A driver that honours the swap interval blocks in the swap until the vertical blank, so over any
// stretch of frames it can never average more frames a second than the refresh asks for; sleeping
// on top of it could only make a frame miss its blank. The decision therefore rests on the cadence
// measured over windows of frames, not on single frames: a driver seen to average more than the
// refresh (Mesa's llvmpipe under Xvfb, at 61 frames a second or at 5,000) is paced to one frame per
// interval of the refresh; one that waits, or that draws slower than the refresh, is left alone.
// While paced, two frames are let go without their sleep now and then and the driver asked as
// below, so a driver that starts honouring the interval is let go again.
//
// The rate SDL reports can be missing (Xvfb, some Wayland outputs) or lower than the display's
// (a 144 Hz display read as 60 Hz). A driver that keeps a steady cadence faster than the rate
// believed is therefore asked whether it waits: a frame is held back by a quarter of that cadence
// and the swap after it watched. A waiting driver's swap still returns on the next blank, as if
// nothing had been held; one that does not wait returns a whole frame's drawing after the program
// went on, as long after it as the unheld frame before. A driver found waiting is judged against
// the interval its own swaps show from then on.
#pragma once

namespace sdlplatform {

struct SwapPacing {
    int interval = 0;         // the program's swap interval; 0 means unpaced, as the driver does
    double refreshRate = 0.0; // as the display reported it (0 when it did not); a change restarts
    double period = 0.0;      // seconds between presents the interval asks for, as believed
    bool paced = false;       // the driver was seen not to wait: frames are held back
    bool havePrevious = false;
    double previousSwap = 0.0; // when the previous swap returned
    double previousEnd = 0.0;  // when the previous swap returned (unpaced) or was due (paced)
    double resumedAt = 0.0;    // when the program went on after the previous swap's sleep
    // The cadence over the current window of frames, from the swap that opened it.
    double windowStart = 0.0;
    int windowFrames = 0;
    double windowSquares = 0.0; // the sum of the squared times between its swaps
    int fastWindows = 0;        // whole windows in a row that came faster than the refresh
    int slowWindows = 0;  // while paced: whole windows in a row that came slower than the cadence
    int quickSwaps = 0;   // swaps in a row sooner after the previous than any display's blank
    bool probing = false; // while paced: this frame was let go without its sleep
    double probeInterval = 0.0; // the time between the swaps of the first frame let go
    double nextProbe = 0.0;     // while paced: when the next frames are let go
    // Asking a steady driver whether it waits: the cadence asked about, how many frames are still
    // to be held back (the frame after each held one shows the answer), whether the frame now
    // drawn was held, and how long the unheld frame before it took from the program going on.
    double heldCadence = 0.0;
    int holdsLeft = 0;
    bool holding = false;
    double unheldBusy = 0.0;
};

// Starts a new decision for this interval and refresh rate (Hz; 0 or less when unknown, and a rate
// no display runs at counts as unknown: both fall back to 60 Hz until the swaps show better).
void startPacing(SwapPacing& pacing, int interval, double refreshRate);

// Tells the pacing that a swap has just returned at `now`; returns the time to sleep until before
// the program goes on, or `now` itself when nothing is to be slept.
double afterSwap(SwapPacing& pacing, double now);

// Tells the pacing when the program went on after that sleep (a real sleep overshoots).
void resumed(SwapPacing& pacing, double now);

} // namespace sdlplatform
