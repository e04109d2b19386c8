// The pacing decision against a simulated clock and a simulated driver: one that blocks each swap
// until the next vertical blank, as a driver honouring the swap interval does, and one that
// presents at once. The display runs at the true rate; the layer is told SDL's whole-number rate
// (rounded down, the worse case for a pacing that sleeps) or, as under Xvfb, nothing at all.
#include "platform/sdl/swap_pacing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using sdlplatform::SwapPacing;

// Ten simulated seconds of the program's loop: a frame's work (2 to 4 ms), the swap, the pacing.
// Returns when each frame reached the screen.
std::vector<double> simulate(double trueRate, double reportedRate, bool driverWaits) {
    SwapPacing pacing;
    sdlplatform::startPacing(pacing, 1, reportedRate);
    const double blank = 1.0 / trueRate;
    std::vector<double> presents;
    double now = 0.0;
    for (int frame = 0; now < 10.0; ++frame) {
        now += 0.002 + 0.002 * ((frame * 7919) % 13) / 13.0;
        if (driverWaits) {
            now = std::ceil(now / blank) * blank;
        } else {
            now += 0.0002;
        }
        presents.push_back(now);
        now = sdlplatform::afterSwap(pacing, now);
    }
    return presents;
}

const double displayRates[] = {59.94, 60.0, 60.02, 75.0, 144.0};

TEST(SwapPacing, ADriverThatWaitsForTheBlankIsNeverHeldBackSoNoBlankIsMissed) {
    for (const double rate : displayRates) {
        const double reported = std::floor(rate);
        {
            const std::vector<double> presents = simulate(rate, reported, true);
            int missed = 0;
            for (size_t i = 1; i < presents.size(); ++i) {
                const double blanks = (presents[i] - presents[i - 1]) * rate;
                missed += static_cast<int>(std::lround(blanks)) - 1;
            }
            EXPECT_EQ(missed, 0) << "display at " << rate << " Hz, told " << reported;
        }
    }
}

TEST(SwapPacing, ADriverThatDoesNotWaitIsPacedToTheRefreshRateOr60WhenUnknown) {
    for (const double rate : displayRates) {
        for (const double reported : {std::round(rate), 0.0}) {
            const std::vector<double> presents = simulate(rate, reported, false);
            int settled = 0; // presents of the last eight seconds, once the decision is made
            for (const double at : presents) {
                settled += at >= 2.0 && at < 10.0 ? 1 : 0;
            }
            const double expected = reported > 0.0 ? rate : 60.0;
            EXPECT_NEAR(settled / 8.0, expected, 0.01 * expected)
                << "display at " << rate << " Hz, told " << reported;
        }
    }
}

} // namespace
