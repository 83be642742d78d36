#include "engine/connection_growth.h"

#include <algorithm>
#include <cmath>

namespace korvane::xldl {

namespace {

// Long enough for a rate-limited server's pauses (nginx sends up to 2 MiB, then waits as
// long as that takes at the limit: half a second at 4 MiB/s) to even out over several
// connections. The new connections are measured for longer; the run has them all
// meanwhile.
constexpr double kBaseSeconds = 0.5;
constexpr double kMeasureSeconds = 1.0;
// Connections that wait for the server less than this share of their time are limited by
// us, not by it: more of them would only slow the run.
constexpr double kMinWaitShare = 0.5;
// Connections are given this long to start receiving before a window starts anyway.
constexpr double kSettleLimitSeconds = 1.0;
// The step is kept whole when the new connections brought at least this share of what
// they would at the rate of the old ones.
constexpr double kWholeStepShare = 0.75;

}  // namespace

ConnectionGrowth::ConnectionGrowth(int start, int ceiling)
    : ceiling_(ceiling), connections_(start) {
    if (start < 2 || start >= ceiling) {
        phase_ = Phase::kSettled;  // one stream was asked for, or there is no room to grow
    }
}

bool ConnectionGrowth::AllReceiving(const Sample& now) const {
    return now.receiving >= now.running ||
           now.seconds - windowStart_.seconds >= kSettleLimitSeconds;
}

bool ConnectionGrowth::WindowDone(const Sample& now) const {
    double length = phase_ == Phase::kBase ? kBaseSeconds : kMeasureSeconds;
    return now.seconds - windowStart_.seconds >= length;
}

double ConnectionGrowth::WindowRate(const Sample& now) const {
    double seconds = now.seconds - windowStart_.seconds;
    return seconds > 0 ? static_cast<double>(now.received - windowStart_.received) / seconds : 0;
}

void ConnectionGrowth::Update(const Sample& now) {
    switch (phase_) {
        case Phase::kStartBase:
        case Phase::kStartMeasure:
            if (AllReceiving(now)) {
                windowStart_ = now;
                phase_ = phase_ == Phase::kStartBase ? Phase::kBase : Phase::kMeasure;
            }
            break;
        case Phase::kBase:
            if (WindowDone(now)) {
                AfterBase(now);
            }
            break;
        case Phase::kMeasure:
            if (WindowDone(now)) {
                AfterMeasure(now);
            }
            break;
        case Phase::kSettled:
            break;
    }
}

void ConnectionGrowth::AfterBase(const Sample& now) {
    double seconds = now.seconds - windowStart_.seconds;
    double waitShare = (now.waited - windowStart_.waited) / (seconds * connections_);
    rateBefore_ = WindowRate(now);
    if (waitShare < kMinWaitShare || rateBefore_ <= 0) {
        phase_ = Phase::kSettled;
        return;
    }
    countBefore_ = connections_;
    connections_ = ceiling_;
    windowStart_ = now;
    phase_ = Phase::kStartMeasure;
}

// Keeps the new connections that paid for themselves: all of them when they brought
// nearly what the old ones get each, as many as their gain is worth otherwise.
void ConnectionGrowth::AfterMeasure(const Sample& now) {
    int added = connections_ - countBefore_;
    double perConnection = rateBefore_ / countBefore_;
    double worth = (WindowRate(now) - rateBefore_) / perConnection;
    if (worth < kWholeStepShare * added) {
        // A connection counts when it brought nearly a whole share (rates are not exact).
        int paid = static_cast<int>(std::floor(worth + 0.1));
        connections_ = countBefore_ + std::clamp(paid, 0, added);
    }
    phase_ = Phase::kSettled;
}

}  // namespace korvane::xldl
