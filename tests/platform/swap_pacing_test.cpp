// The pacing decision against a simulated clock and simulated drivers: one that blocks each swap
// until the next vertical blank, as a driver honouring the swap interval does, and one that
// presents as soon as its frame is drawn, at whatever speed it draws. The layer is told SDL's
// whole-number (rounded) rate of the display, a lower one, or, as under Xvfb, nothing at all.
// Sleeps overshoot and a waiting driver's swap returns a little after the blank, as real ones do.
#include "platform/sdl/swap_pacing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <tuple>
#include <vector>

namespace {

using sdlplatform::SwapPacing;

struct Driver {
    bool waits = false;   // blocks in the swap until the next blank of the display
    double drawRate = 0;  // frames a second it draws when nothing holds it back (jittered)
    double slowFrame = 0; // when set, every other frame takes this long (seconds) instead
};

struct Frame {
    double presented; // when the swap returned
    double slept;     // what the pacing slept after it
};

struct Presents {
    std::vector<Frame> frames;
    double displayRate;

    int presentsBetween(double from, double to) const {
        int count = 0;
        for (const Frame& frame : frames) {
            count += frame.presented >= from && frame.presented < to ? 1 : 0;
        }
        return count;
    }
    double sleptBetween(double from, double to) const {
        double total = 0.0;
        for (const Frame& frame : frames) {
            total += frame.presented >= from && frame.presented < to ? frame.slept : 0.0;
        }
        return total;
    }
    // Blanks of the display that passed with no frame, between two presents in [from, to).
    int blanksMissedBetween(double from, double to) const {
        int missed = 0;
        for (size_t i = 1; i < frames.size(); ++i) {
            if (frames[i - 1].presented >= from && frames[i].presented < to) {
                const double blanks = (frames[i].presented - frames[i - 1].presented) * displayRate;
                missed += static_cast<int>(std::lround(blanks)) - 1;
            }
        }
        return missed;
    }
    double firstSleep() const {
        for (const Frame& frame : frames) {
            if (frame.slept > 0.0) {
                return frame.presented;
            }
        }
        return -1.0;
    }
};

// `seconds` of the program's loop on a display at `displayRate` Hz that reports `reportedRate`:
// a frame's drawing (jittered around the driver's speed; 2 to 4 ms for a waiting driver), the
// swap, the pacing and its sleep. The driver may change with the time.
Presents simulate(double displayRate, double reportedRate, double seconds,
                  const std::function<Driver(double)>& driverAt, double firstBlank = 0.0) {
    SwapPacing pacing;
    sdlplatform::startPacing(pacing, 1, reportedRate);
    const double blank = 1.0 / displayRate;
    Presents run{{}, displayRate};
    double now = 0.0;
    for (int frame = 0; now < seconds; ++frame) {
        const Driver driver = driverAt(now);
        const double jitter = ((frame * 7919) % 13) / 12.0 - 0.5; // -0.5 .. 0.5
        if (driver.waits) {
            now += 0.003 + 0.002 * jitter;
            now = firstBlank + std::ceil((now - firstBlank) / blank) * blank;
            now += 0.00005 * (1.0 + jitter); // the wake-up
        } else if (driver.slowFrame > 0.0) {
            now += frame % 2 == 0 ? 1.0 / driver.drawRate : driver.slowFrame;
        } else {
            now += (1.0 + 0.1 * jitter) / driver.drawRate;
        }
        const double until = sdlplatform::afterSwap(pacing, now);
        EXPECT_GE(until, now);
        run.frames.push_back({now, until - now});
        now = until > now ? until + 0.0003 + 0.0002 * jitter : now;
        sdlplatform::resumed(pacing, now);
    }
    return run;
}

std::function<Driver(double)> always(Driver driver) {
    return [driver](double) { return driver; };
}

// A driver that does not wait, against a display whose rate is told or (Xvfb) not.
struct UnpacedCase {
    double drawRate;
    double displayRate;
    double reportedRate;
    double slowFrame = 0; // every other frame takes this long instead of 1 / drawRate
};
std::ostream& operator<<(std::ostream& out, const UnpacedCase& c) {
    return out << c.drawRate << " fps unpaced (slow frames " << c.slowFrame << " s) on "
               << c.displayRate << " Hz told " << c.reportedRate;
}

class UnpacedDriver : public testing::TestWithParam<UnpacedCase> {};

TEST_P(UnpacedDriver, IsPacedWithinHalfASecondToTheRefreshOr60WhenUnknown) {
    const UnpacedCase c = GetParam();
    // One frame at 5 s stalls for a third of a second (the machine was busy).
    const Presents run = simulate(c.displayRate, c.reportedRate, 10.0, [c](double now) {
        return now >= 5.0 && now < 5.02 ? Driver{false, 3.0}
                                        : Driver{false, c.drawRate, c.slowFrame};
    });
    const double expected = c.reportedRate > 0.0 ? c.displayRate : 60.0;
    const double first = run.firstSleep();
    // Decided after about half a second; the first sleep follows the first frame that comes early.
    EXPECT_GE(first, 0.0);
    EXPECT_LE(first, 0.6);
    EXPECT_LE(run.presentsBetween(0.0, 0.5), expected / 2.0 + 6);
    // The settled cadence, across faster probe windows, before and after the stall: counted from
    // when each frame was due, late frames and overshooting sleeps cost none.
    const int settled = run.presentsBetween(1.0, 5.0) + run.presentsBetween(5.5, 10.0);
    EXPECT_NEAR(settled / 8.5, expected, 0.01 * expected);
    // Never a burst, after the stall either: no second is more than 1 % faster than the refresh,
    // and none but the stall's more than 1 % slower (the driver is not let go meanwhile).
    for (double second = 1.0; second + 1.0 <= 10.0; second += 1.0) {
        const int presents = run.presentsBetween(second, second + 1.0);
        EXPECT_LE(presents, std::ceil(1.01 * expected) + 1) << "in second " << second;
        EXPECT_TRUE(second == 5.0 || presents >= std::floor(0.99 * expected) - 1)
            << presents << " in second " << second;
    }
}

INSTANTIATE_TEST_SUITE_P(SwapPacing, UnpacedDriver,
                         testing::Values(UnpacedCase{61, 60, 60}, UnpacedCase{70, 60, 60},
                                         UnpacedCase{75, 60, 60}, UnpacedCase{80, 60, 60},
                                         UnpacedCase{120, 60, 60}, UnpacedCase{5000, 60, 60},
                                         UnpacedCase{61, 60, 0}, UnpacedCase{76, 60, 0},
                                         UnpacedCase{5000, 60, 0}, UnpacedCase{400, 59.94, 60},
                                         UnpacedCase{400, 75, 75}, UnpacedCase{400, 144, 144},
                                         UnpacedCase{150, 144, 144}, UnpacedCase{400, 60, 1000},
                                         UnpacedCase{150, 144, 0},
                                         UnpacedCase{1 / 0.012, 60, 60, 0.0185}));

// A driver that waits for the blank, and a renderer slower than the refresh: never slept.
struct LeftAloneCase {
    Driver driver;
    double displayRate;
};
std::ostream& operator<<(std::ostream& out, const LeftAloneCase& c) {
    return out << (c.driver.waits ? "waiting driver" : "unpaced renderer at ")
               << (c.driver.waits ? 0.0 : c.driver.drawRate) << " on " << c.displayRate << " Hz";
}

class LeftAlone : public testing::TestWithParam<LeftAloneCase> {};

TEST_P(LeftAlone, IsNeverSleptOnAndMissesNoBlank) {
    // Told the display's rate, no rate, or (a waiting driver) a lower one than the display's; a
    // waiting driver told less than the display's rate is asked within half a second whether it
    // waits, with frames held back that it hides in its wait for the blank.
    const LeftAloneCase c = GetParam();
    for (const double reported : {std::round(c.displayRate), 0.0, 60.0}) {
        const Presents run = simulate(c.displayRate, reported, 10.0, always(c.driver));
        const bool toldLess = reported < std::round(c.displayRate);
        EXPECT_EQ(run.sleptBetween(toldLess && c.driver.waits ? 0.6 : 0.0, 10.0), 0.0)
            << "told " << reported;
        if (c.driver.waits) {
            EXPECT_EQ(run.blanksMissedBetween(0.0, 10.0), 0) << "told " << reported;
            EXPECT_GE(run.presentsBetween(0.0, 10.0), std::floor(10.0 * c.displayRate) - 1)
                << "told " << reported;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    SwapPacing, LeftAlone,
    testing::Values(LeftAloneCase{{true, 0}, 59.94}, LeftAloneCase{{true, 0}, 60},
                    LeftAloneCase{{true, 0}, 60.02}, LeftAloneCase{{true, 0}, 75},
                    LeftAloneCase{{true, 0}, 144}, LeftAloneCase{{false, 40}, 60},
                    LeftAloneCase{{false, 59}, 60}));

// The blanks' phase against the paced cadence, in tenths of a refresh, and the display's rate:
// 60 Hz told 60, or 144 Hz told nothing (paced to 60 Hz until the driver shows its own).
class ChangingDriver : public testing::TestWithParam<std::tuple<int, double>> {};

TEST_P(ChangingDriver, ThatStartsWaitingIsLetGoAndThatStopsIsPacedAgain) {
    // Unpaced for 3 s, then a compositor that honours the interval for 10 s, then unpaced again.
    const auto [phase, rate] = GetParam();
    const Presents run = simulate(
        rate, rate == 60.0 ? 60.0 : 0.0, 16.0,
        [](double now) {
            return now >= 3.0 && now < 13.0 ? Driver{true, 0} : Driver{false, 5000};
        },
        phase / (10.0 * rate));
    EXPECT_NEAR(run.presentsBetween(1.0, 3.0) / 2.0, 60.0, 0.6);
    // Let go within one probe interval and from then on never slept on.
    EXPECT_EQ(run.sleptBetween(8.0, 13.0), 0.0);
    EXPECT_EQ(run.blanksMissedBetween(rate == 60.0 ? 3.1 : 8.0, 13.0), 0);
    // Paced again within half a second of the driver racing, to the display's own rate.
    EXPECT_GT(run.sleptBetween(13.0, 13.5), 0.0);
    EXPECT_LE(run.presentsBetween(13.0, 13.5), rate / 2.0 + 6);
    EXPECT_NEAR(run.presentsBetween(13.5, 16.0) / 2.5, rate, 0.01 * rate);
}

INSTANTIATE_TEST_SUITE_P(SwapPacing, ChangingDriver,
                         testing::Combine(testing::Range(0, 10), testing::Values(60.0, 144.0)));

TEST(SwapPacing, ADriverThatBecomesSlowerThanTheRefreshIsLetGo) {
    // Paced at 5,000 frames a second, then frames of 10 and 35 ms in turn: the pacing would only
    // hold back its quick frames.
    const Presents run = simulate(60.0, 60.0, 6.0, [](double now) {
        return now < 2.0 ? Driver{false, 5000} : Driver{false, 100, 0.035};
    });
    EXPECT_GT(run.sleptBetween(1.0, 2.0), 0.0);
    EXPECT_EQ(run.sleptBetween(3.0, 6.0), 0.0);
}

TEST(SwapPacing, ADriverThatGetsFasterWhileAskedIsStillPaced) {
    // At 70 frames a second, then at 96 (the machine less busy) from about when it is first asked
    // whether it waits: its held frames come a blank's length after the swap before, as a waiting
    // driver's would, but no sooner after the program went on than its unheld frames.
    for (double faster = 0.2; faster < 0.3; faster += 0.005) {
        const Presents run = simulate(60.0, 60.0, 5.0, [faster](double now) {
            return Driver{false, now < faster ? 70.0 : 96.0};
        });
        EXPECT_NEAR(run.presentsBetween(1.0, 5.0) / 4.0, 60.0, 0.6) << "faster from " << faster;
    }
}

TEST(SwapPacing, ADisplayOfAnotherRateStartsTheDecisionAgain) {
    // As the layer does when SDL reports another rate: a window moved from a 60 Hz to a 144 Hz
    // display, with a driver that waits on the second one and does not on the first.
    SwapPacing pacing;
    sdlplatform::startPacing(pacing, 1, 60);
    double now = 0.0;
    for (int frame = 0; frame < 120; ++frame) {
        now = sdlplatform::afterSwap(pacing, now + 0.001);
    }
    EXPECT_TRUE(pacing.paced);
    sdlplatform::startPacing(pacing, 1, 144);
    EXPECT_FALSE(pacing.paced);
    double slept = 0.0;
    for (int frame = 0; frame < 1440; ++frame) {
        const double presented = std::ceil((now + 0.003) * 144.0) / 144.0;
        now = sdlplatform::afterSwap(pacing, presented);
        slept += now - presented;
    }
    EXPECT_EQ(slept, 0.0);
    EXPECT_FALSE(pacing.paced);
}

} // namespace
