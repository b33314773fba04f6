// Zone edge scan tests on a real evening: edges, the end of the zone, the guard at the poles.
#include "tests/engine_fixture.h"

namespace {

class ZoneScanTest : public EngineTest {
  protected:
    ZoneScan z{};
    bool visible(int column, int row) {
        s.longitudeMinutes = float(column - z.mapColumnOffset - 720);
        s.latitude = rowLatitude(row);
        computeMoonPosition();
        return s.visibilityCode == kVisible;
    }
    // The evening of 8 June 2024 (a day-old crescent): a minute and a visible canvas place.
    bool findZone(int &column, int &row) {
        s.day = 8, s.month = 6, s.year = 2024;
        for (int minute = 1000; minute < 1440; minute += 20) {
            s.calcMinute = int16_t(minute);
            for (int c = 0; c < 1440; c += 16)
                for (int r = 200; r < 600; r += 16)
                    if (visible(c, r)) {
                        column = c, row = r;
                        return true;
                    }
        }
        return false;
    }
};

TEST_F(ZoneScanTest, RowLatitude) {
    EXPECT_FLOAT_EQ(rowLatitude(0), float(-90 * kDeg));
    EXPECT_FLOAT_EQ(rowLatitude(360), 0.0f);
    EXPECT_FLOAT_EQ(rowLatitude(720), float(90 * kDeg));
    EXPECT_FLOAT_EQ(rowLatitude(-1), float(-90.25 * kDeg));
    EXPECT_FLOAT_EQ(rowLatitude(721), float(90.25 * kDeg));
}

TEST_F(ZoneScanTest, LongitudeIsFormedWithoutWrapping) {
    z.scanColumn = 100, z.mapColumnOffset = 1000, z.northRow = z.southRow = 360;
    s.day = 8, s.month = 6, s.year = 2024;
    scanZoneColumn(z);
    EXPECT_EQ(s.longitudeMinutes, -1620.0f);
}

TEST_F(ZoneScanTest, SeedRowGrowsToTheEdgesOfTheColumn) {
    int column = 0, row = 0;
    ASSERT_TRUE(findZone(column, row)) << "no visible place on the evening of 8 June 2024";
    z.scanColumn = column, z.northRow = z.southRow = row;
    ASSERT_EQ(scanZoneColumn(z), 1);
    EXPECT_LE(z.southRow, row);
    EXPECT_GE(z.northRow, row);
    EXPECT_TRUE(visible(column, z.northRow));
    EXPECT_TRUE(visible(column, z.southRow));
    if (z.northRow < 719) {
        EXPECT_FALSE(visible(column, z.northRow + 1));
    }
    if (z.southRow > 1) {
        EXPECT_FALSE(visible(column, z.southRow - 1));
    }
}

TEST_F(ZoneScanTest, FollowsTheZoneWestwardUntilItEnds) {
    int column = 0, row = 0;
    ASSERT_TRUE(findZone(column, row));
    z.scanColumn = column, z.northRow = z.southRow = row;
    int columns = 0;
    while (z.scanColumn > -1440 && scanZoneColumn(z) == 1) {
        SCOPED_TRACE(testing::Message() << "column " << z.scanColumn);
        ASSERT_LE(z.southRow, z.northRow);
        ASSERT_TRUE(visible(z.scanColumn, z.northRow));
        ASSERT_TRUE(visible(z.scanColumn, z.southRow));
        z.scanColumn -= 1;
        ++columns;
    }
    EXPECT_GT(columns, 5);
    EXPECT_GT(z.scanColumn, -1440) << "the zone never ended";
    // On the end the rows cross by one: the caller restores them.
    EXPECT_TRUE(z.northRow + 1 == z.southRow || z.southRow - 1 == z.northRow);
}

TEST_F(ZoneScanTest, ZoneAwayFromTheEntryRowsIsNotFound) {
    int column = 0, row = 0;
    ASSERT_TRUE(findZone(column, row));
    z.scanColumn = column, z.northRow = z.southRow = row;
    ASSERT_EQ(scanZoneColumn(z), 1);
    const int south = z.southRow;
    // Entry rows well south of the zone with nothing visible between: step 3 passes them.
    int entry = south - 40;
    ASSERT_GE(entry, 2);
    for (int r = entry; r <= entry + 2; ++r)
        ASSERT_FALSE(visible(column, r)) << r;
    z.northRow = z.southRow = entry;
    EXPECT_EQ(scanZoneColumn(z), 0);
    EXPECT_EQ(z.northRow, entry - 1) << "stopped one below the southern row";
}

TEST_F(ZoneScanTest, SouthPoleEntryComputesRowMinusOneOnceAndEnds) {
    s.day = 8, s.month = 6, s.year = 2024, s.calcMinute = 1200;
    // In June the South Pole is in polar night with the Moon below its horizon: nothing visible.
    z.scanColumn = 700, z.northRow = 0, z.southRow = 0;
    ASSERT_FALSE(visible(700, 0));
    ASSERT_FALSE(visible(700, 1));
    EXPECT_EQ(scanZoneColumn(z), 0);
    EXPECT_EQ(z.northRow, 0);
    EXPECT_EQ(z.southRow, 1) << "southRow ends one above northRow";
}

TEST_F(ZoneScanTest, NorthPoleEntryDoesNotClimbPastTheCap) {
    s.day = 8, s.month = 6, s.year = 2024, s.calcMinute = 1200;
    z.scanColumn = 700, z.northRow = 720, z.southRow = 720;
    const int result = scanZoneColumn(z);
    EXPECT_LE(z.northRow, 721);
    if (result == 1) {
        EXPECT_LE(z.southRow, z.northRow);
    }
}

} // namespace
