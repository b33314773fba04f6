// Shared helpers of the engine tests: a zeroed record per test and tolerance checks that report the
// worst error.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "engine/ephemeris.h"

constexpr double kDeg = 0.017453292519943295;

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ephemerisState = EphemerisState{};
        saverSettings = SaverSettings{0, 50, 0, 33, 33, 1, 0};
        dayOfYearCounter = 0;
    }
    EphemerisState &s = ephemerisState;
    // Writes the inputs of one computation: date, clock minute, zone, longitude and latitude.
    void place(int d, int m, int y, int minute, int zone, double lonMinutes, double latDeg) {
        s.day = int16_t(d), s.month = int16_t(m), s.year = int16_t(y);
        s.calcMinute = s.simMinute = int16_t(minute);
        s.zoneOffsetMinutes = int16_t(zone);
        s.longitudeMinutes = float(lonMinutes);
        s.latitude = float(latDeg * kDeg);
    }
};

// A table of golden comparisons: each names its case and unit; the worst error is printed.
class Golden {
  public:
    explicit Golden(const char *table) : table_(table) {}
    ~Golden() {
        std::printf("[ golden   ] %s: worst error %.4g %s (%s)\n", table_, worst_, unit_.c_str(),
                    worstCase_.c_str());
    }
    void check(const std::string &name, double actual, double expected, double tolerance,
               const char *unit) {
        const double error = std::fabs(actual - expected);
        if (!(error <= worst_)) {
            worst_ = error;
            worstCase_ = name;
            unit_ = unit;
        }
        EXPECT_LE(error, tolerance) << table_ << ": " << name << " = " << actual << ", expected "
                                    << expected << " within " << tolerance << " " << unit;
    }

  private:
    const char *table_;
    double worst_ = 0;
    std::string worstCase_ = "-", unit_ = "";
};
