// Calendar tests: day of the year, day numbers, weekdays, and the day counter's year roll.
#include "tests/engine_fixture.h"

namespace {

class Calendar : public EngineTest {
  protected:
    void date(int d, int m, int y) { setDate(int16_t(d), int16_t(m), int16_t(y)); }
};

TEST_F(Calendar, DayOfYear) {
    struct Case {
        int d, m, y, expected;
    } cases[] = {
        {29, 2, 2000, 60},   {1, 3, 2000, 61}, {1, 3, 2001, 60},   {31, 12, 2000, 366},
        {31, 12, 2001, 365}, {1, 1, 1901, 1},  {15, 6, 2024, 167},
    };
    for (const Case &c : cases) {
        date(c.d, c.m, c.y);
        EXPECT_EQ(dayOfYear(), c.expected) << c.d << "/" << c.m << "/" << c.y;
    }
}

TEST_F(Calendar, DayNumberAndWeekday) {
    struct Case {
        int d, m, y, number, weekday;
    } cases[] = {
        {1, 1, 2000, 0, 6},     {2, 1, 2000, 1, 7},      {3, 1, 2000, 2, 1},
        {31, 12, 1999, -1, 5},  {1, 1, 1901, -36159, 2}, {31, 12, 2099, 36524, 4},
        {15, 6, 2024, 8932, 6},
    };
    for (const Case &c : cases) {
        date(c.d, c.m, c.y);
        EXPECT_EQ(dayNumber(), c.number) << c.d << "/" << c.m << "/" << c.y;
        EXPECT_EQ(weekday(), c.weekday) << c.d << "/" << c.m << "/" << c.y;
    }
}

TEST_F(Calendar, DayNumberIsContinuousOverTheWholeRange) {
    date(1, 1, 1901);
    int32_t previous = dayNumber();
    for (int y = 1901; y <= 2099; ++y)
        for (int m = 1; m <= 12; ++m) {
            static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
            int days = len[m - 1] + ((m == 2 && y % 4 == 0) ? 1 : 0);
            for (int d = 1; d <= days; ++d) {
                if (y == 1901 && m == 1 && d == 1) continue;
                date(d, m, y);
                ASSERT_EQ(dayNumber(), previous + 1) << d << "/" << m << "/" << y;
                previous = dayNumber();
            }
        }
}

TEST_F(Calendar, DayOfYearToDate) {
    struct Case {
        int n, y, day, month;
    } cases[] = {
        {60, 2000, 29, 2},   {60, 2001, 1, 3}, {366, 2000, 31, 12}, {1, 2001, 1, 1},
        {365, 2001, 31, 12}, {0, 2001, 0, 1},  {-5, 2001, -5, 1},
    };
    for (const Case &c : cases) {
        s.year = int16_t(c.y);
        int32_t d = 0, m = 0;
        dayOfYearToDate(c.n, &d, &m);
        EXPECT_EQ(d, c.day) << "n=" << c.n << " year " << c.y;
        EXPECT_EQ(m, c.month) << "n=" << c.n << " year " << c.y;
    }
}

TEST_F(Calendar, NormalizeDayCounterRollsTheYear) {
    struct Case {
        int counter, year, day, month, newYear, newCounter;
    } cases[] = {
        {366, 2023, 1, 1, 2024, 1},
        {0, 2024, 31, 12, 2023, 365},
        {-5, 2024, 26, 12, 2023, 360},
        {366, 2098, 1, 1, 2099, 1},
        {366, 2099, 30, 1, 1901, 30},
        {367, 2000, 1, 1, 2001, 1},
        {60, 2024, 29, 2, 2024, 60},
        {1, 1901, 1, 1, 1901, 1},
        // a stored year above 2099 runs to its end, then wraps
        {100, 2150, 10, 4, 2150, 100},
        {366, 2150, 30, 1, 1901, 30},
    };
    for (const Case &c : cases) {
        s.year = int16_t(c.year);
        dayOfYearCounter = c.counter;
        normalizeDayCounter();
        EXPECT_EQ(s.day, c.day) << "counter " << c.counter << " in " << c.year;
        EXPECT_EQ(s.month, c.month) << "counter " << c.counter << " in " << c.year;
        EXPECT_EQ(s.year, c.newYear) << "counter " << c.counter << " in " << c.year;
        EXPECT_EQ(dayOfYearCounter, c.newCounter) << "counter " << c.counter << " in " << c.year;
    }
}

TEST_F(Calendar, DamagedMonthNeverReadsOutsideTheTable) {
    for (int m : {-32768, -1, 0, 13, 99, 32767}) {
        s.month = int16_t(m);
        s.day = 1;
        s.year = 2000;
        const int n = dayOfYear();
        EXPECT_GE(n, 1) << "month " << m;
        EXPECT_LE(n, 367) << "month " << m;
    }
}

} // namespace
