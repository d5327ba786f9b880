// A machine whose counters run on a virtual clock: every reading moves it on a little, and a test
// moves it on by hours at once. The time-stamp counter's rate can change under the clock's feet.
#ifndef TEST_FAKE_MACHINE_H
#define TEST_FAKE_MACHINE_H

#include <cmath>
#include <string>

#include "timing_clock.h"

class FakeMachine {
public:
    FakeMachine() {
        source_ = {this, timeStampCounter, performanceCounter, performanceFrequency, registryMegahertz,
                   raisePriority, restorePriority, hypervisor};
    }
    FakeMachine(const FakeMachine &) = delete;
    FakeMachine &operator=(const FakeMachine &) = delete;

    const timing::TimeSource *source() const { return &source_; }

    int64_t performanceHz = 10000000;
    uint32_t registryMhz = 0;
    int64_t nanosPerReading = 100;
    bool hypervisorRunning = false;
    std::string hypervisorName = "Xen v4.1 (HVM)";

    // The rate holds from now on; what the counter counted so far stays.
    void setTscHz(double hz) {
        tscBase_ = tscAt(now_);
        tscBaseTime_ = now_;
        tscHz_ = hz;
    }
    void advance(int64_t nanos) { now_ += nanos; }

    int registryReads() const { return registryReads_; }
    int priorityRaises() const { return raises_; }
    int priorityDepth() const { return depth_; }

private:
    double tscAt(int64_t time) const {
        return tscBase_ + static_cast<double>(time - tscBaseTime_) * tscHz_ / 1e9;
    }
    static FakeMachine &self(void *context) { return *static_cast<FakeMachine *>(context); }

    static int64_t timeStampCounter(void *context) {
        FakeMachine &m = self(context);
        m.now_ += m.nanosPerReading;
        return static_cast<int64_t>(m.tscAt(m.now_));
    }
    static int64_t performanceCounter(void *context) {
        FakeMachine &m = self(context);
        m.now_ += m.nanosPerReading;
        return static_cast<int64_t>(std::floor(static_cast<double>(m.now_) * static_cast<double>(m.performanceHz) / 1e9));
    }
    static int64_t performanceFrequency(void *context) { return self(context).performanceHz; }
    static uint32_t registryMegahertz(void *context) {
        ++self(context).registryReads_;
        return self(context).registryMhz;
    }
    static int raisePriority(void *context) {
        ++self(context).raises_;
        return ++self(context).depth_;
    }
    static void restorePriority(void *context, int saved) {
        FakeMachine &m = self(context);
        if (saved == m.depth_)
            --m.depth_;
    }
    static bool hypervisor(void *context, const char **version) {
        FakeMachine &m = self(context);
        if (m.hypervisorRunning)
            *version = m.hypervisorName.c_str();
        return m.hypervisorRunning;
    }

    timing::TimeSource source_;
    int64_t now_ = 1000000000;
    double tscHz_ = 2.1e9;
    double tscBase_ = 5e9;
    int64_t tscBaseTime_ = 0;
    int registryReads_ = 0;
    int raises_ = 0;
    int depth_ = 0;
};

#endif
