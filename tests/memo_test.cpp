// The lunar computation's reuse of what it derived for the last inputs: every stored bit must be
// what a fresh computation gives, whatever sequence of calls leads there.
#include <cstring>
#include <vector>

#include "engine/internal.h"
#include "tests/engine_fixture.h"

namespace {

// One call's inputs, and what the record's slot 3 holds when it starts.
struct Call {
    int16_t day, month, year, minute, zone, height, probability;
    float longitude, latitude, slot3;
    bool keepSlot3; // else slot 3 is set to `slot3` first, as a solar query might leave it
};

class EngineMemo : public EngineTest {
  protected:
    void TearDown() override { engineSetMemo(true); }

    // Runs the calls from a zeroed record and returns the record after each.
    std::vector<EphemerisState> run(const std::vector<Call> &calls, bool memo) {
        engineSetMemo(memo);
        s = EphemerisState{};
        std::vector<EphemerisState> after;
        for (const Call &c : calls) {
            s.day = c.day, s.month = c.month, s.year = c.year;
            s.calcMinute = c.minute, s.zoneOffsetMinutes = c.zone;
            s.longitudeMinutes = c.longitude, s.latitude = c.latitude;
            saverSettings.height = c.height, saverSettings.probability = c.probability;
            if (!c.keepSlot3) s.sunTransitMinute = c.slot3;
            computeMoonPosition();
            after.push_back(s);
        }
        return after;
    }

    void expectIdentical(const std::vector<Call> &calls) {
        const std::vector<EphemerisState> fresh = run(calls, false), reused = run(calls, true);
        for (size_t i = 0; i < calls.size(); ++i)
            ASSERT_EQ(std::memcmp(&fresh[i], &reused[i], sizeof(EphemerisState)), 0)
                << "call " << i << " on " << calls[i].year << "-" << calls[i].month << "-"
                << calls[i].day << " minute " << calls[i].minute << ": the record differs";
    }
};

uint64_t lcg = 0x9E3779B97F4A7C15ULL;
int64_t pick(int64_t lo, int64_t hi) {
    lcg = lcg * 6364136223846793005ULL + 1442695040888963407ULL;
    return lo + static_cast<int64_t>((lcg >> 33) % uint64_t(hi - lo + 1));
}

// Sequences like the saver's: a column scanned row by row, the next column, a new minute; and
// inputs changed one at a time, each of which must be part of what is compared.
TEST_F(EngineMemo, SequencesGiveTheFreshRecord) {
    std::vector<Call> calls;
    for (int run = 0; run < 400; ++run) {
        Call c{int16_t(pick(1, 28)),
               int16_t(pick(1, 12)),
               int16_t(pick(1901, 2099)),
               int16_t(pick(0, 1439)),
               int16_t(pick(-720, 840)),
               int16_t(pick(0, 1) * pick(0, 9999)),
               int16_t(pick(1, 99)),
               float(pick(-720, 720)),
               0.0f,
               0.0f,
               true};
        for (int step = 0; step < 60; ++step) {
            switch (pick(0, 9)) {
            case 0:
                c.minute = int16_t(c.minute + 1);
                break;
            case 1:
                c.longitude = float(c.longitude - 1);
                break;
            case 2:
                c.height = int16_t(pick(0, 9999));
                break;
            case 3:
                c.probability = int16_t(pick(1, 99));
                break;
            case 4:
                c.zone = int16_t(pick(-720, 840));
                break;
            case 5:
                c.day = int16_t(c.day % 28 + 1);
                break;
            default:
                break; // the same column, another row
            }
            c.latitude = rowLatitude(int32_t(pick(0, 720)));
            c.keepSlot3 = pick(0, 3) != 0;
            c.slot3 = float(pick(0, 143999) / 100.0); // a transit minute, or another call's left
            calls.push_back(c);
        }
    }
    expectIdentical(calls);
}

} // namespace
