// Tests of the Hijri month table: the Umm al-Qura rule against ICU's islamic-umalqura calendar
// from 1423 to 1500 AH, and the chaining of the months under every rule.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include "calendar/calendar.h"

namespace {

// The first day of a Hijri month by ICU's islamic-umalqura calendar (the published Umm al-Qura
// table), as a civil date.
almanac::CivilDate icuMonthStart(int year, int month) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> cal(icu::Calendar::createInstance(
        *icu::TimeZone::getGMT(), icu::Locale("en@calendar=islamic-umalqura"), status));
    EXPECT_TRUE(U_SUCCESS(status));
    cal->clear();
    cal->set(UCAL_YEAR, year);
    cal->set(UCAL_MONTH, month - 1);
    cal->set(UCAL_DATE, 1);
    const UDate ms = cal->getTime(status);
    EXPECT_TRUE(U_SUCCESS(status));
    using namespace std::chrono;
    const year_month_day ymd{sys_days{days{static_cast<long>(std::floor(ms / 86400000.0))}}};
    return {int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day()))};
}

std::string text(almanac::CivilDate d) {
    char s[16];
    std::snprintf(s, sizeof s, "%04d-%02d-%02d", d.year, d.month, d.day);
    return s;
}

// What Mecca's evening looked like, for the report of a difference.
std::string meccaEvening(almanac::CivilDate d, double conjunction) {
    const almanac::Sighting s = almanac::sighting(meccaPlace(), d);
    char out[160];
    std::snprintf(out, sizeof out, "evening %s: conjunction %+.0f min from sunset, lag %.0f min",
                  text(d).c_str(), (conjunction - s.evening.sunset) * 1440.0, s.evening.lagMinutes);
    return out;
}

TEST(UmmAlQura, Year1445MatchesIcu) {
    MonthTableRequest r;
    r.hijriYear = 1445;
    r.rule = MonthRule::UmmAlQura;
    for (const MonthRow &m : hijriMonthTable(r))
        EXPECT_EQ(text(m.firstDay), text(icuMonthStart(1445, m.hijriMonth)))
            << "1445/" << m.hijriMonth;
}

// The rule reproduces the published calendar of the years it has governed (1423-1450 AH, to
// 2029) in all but a couple of months. Beyond them ICU's table is one day later in nearly
// every month where the Moon sets less than 20 minutes after the Sun at Mecca on the deciding
// evening (210 of 222): that part of the table was made with a stricter condition than the
// bare rule. Each difference is printed with the evening that decided it.
TEST(UmmAlQura, AgreementWithIcuFrom1423To1500) {
    MonthTableRequest r;
    r.hijriYear = 1423;
    r.months = (1500 - 1423 + 1) * 12;
    r.rule = MonthRule::UmmAlQura;
    const std::vector<MonthRow> rows = hijriMonthTable(r);
    ASSERT_EQ(rows.size(), size_t(r.months));
    int agree = 0, agreeTo1450 = 0, monthsTo1450 = 0, shortLagAgree = 0, shortLagDiffer = 0;
    for (const MonthRow &m : rows) {
        const almanac::CivilDate icu = icuMonthStart(m.hijriYear, m.hijriMonth);
        const bool same = text(icu) == text(m.firstDay);
        agree += same;
        if (m.hijriYear <= 1450) monthsTo1450 += 1, agreeTo1450 += same;
        // Months the rule began on the day after a sighting evening with a short lag.
        const almanac::Sighting s = almanac::sighting(meccaPlace(), addDays(m.firstDay, -1));
        if (m.hijriYear > 1450 && m.visibleAnywhere &&
            daysBetween(m.anywhereEvening, m.firstDay) == 1 && s.evening.lagMinutes < 20)
            (same ? shortLagAgree : shortLagDiffer) += 1;
        if (same) continue;
        std::printf("%d/%02d: rule %s, ICU %s; %s\n", m.hijriYear, m.hijriMonth,
                    text(m.firstDay).c_str(), text(icu).c_str(),
                    meccaEvening(addDays(m.firstDay, -1), m.conjunction).c_str());
    }
    std::printf("Umm al-Qura rule against ICU: 1423-1500 AH %d of %d months agree (%.1f %%); "
                "1423-1450 AH %d of %d\n",
                agree, r.months, 100.0 * agree / r.months, agreeTo1450, monthsTo1450);
    std::printf("1451-1500 AH, months begun after a lag under 20 min: %d agree, %d differ\n",
                shortLagAgree, shortLagDiffer);
    EXPECT_GE(agreeTo1450, monthsTo1450 - 3);
    EXPECT_GE(agree, r.months * 3 / 4);
}

TEST(MonthTable, MonthsOf29Or30DaysAfterTheConjunction) {
    for (MonthRule rule : {MonthRule::Yallop, MonthRule::Odeh, MonthRule::Conjunction}) {
        MonthTableRequest r;
        r.hijriYear = 1445;
        r.rule = rule;
        r.step = 6;
        r.hasPlace = true;
        r.place = meccaPlace();
        const std::vector<MonthRow> rows = hijriMonthTable(r);
        ASSERT_EQ(rows.size(), 12u);
        for (size_t k = 0; k < rows.size(); ++k) {
            const MonthRow &m = rows[k];
            SCOPED_TRACE(std::string(monthRuleName(rule)) + " month " + std::to_string(k + 1));
            EXPECT_EQ(m.hijriMonth, int(k) + 1);
            ASSERT_TRUE(m.visibleAnywhere);
            // Seen after the conjunction, from the place first (if at all) no earlier than
            // anywhere, and the month begins the day after a sighting at the latest.
            EXPECT_GE(almanac::julianDateUt(m.anywhereEvening, 36), m.conjunction);
            if (m.visibleHere) {
                EXPECT_GE(daysBetween(m.anywhereEvening, m.hereEvening), 0);
            }
            EXPECT_LE(daysBetween(m.firstDay, addDays(m.anywhereEvening, 1)), 0);
            if (k > 0) {
                const int length = daysBetween(rows[k - 1].firstDay, m.firstDay);
                EXPECT_TRUE(length == 29 || length == 30) << length;
            }
        }
    }
}

#ifdef TELVOR_BIN
// telvor calendar as a process: the JSON of 1445 AH by the Umm al-Qura rule against ICU, and
// bad input.
TEST(CalendarCommand, UmmAlQura1445JsonMatchesIcu) {
    const std::string out = testing::TempDir() + "calendar_" + std::to_string(getpid());
    const std::string command = std::string(TELVOR_BIN) +
                                " calendar --year 1445 --rule umm-al-qura --lat 21.4225 "
                                "--lon 39.8262 --json >" +
                                out;
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream f(out);
    const nlohmann::json j = nlohmann::json::parse(f);
    EXPECT_EQ(j["hijriYear"], 1445);
    EXPECT_EQ(j["rule"], "umm-al-qura");
    ASSERT_EQ(j["months"].size(), 12u);
    for (const auto &m : j["months"]) {
        const int month = m["hijriMonth"].get<int>();
        EXPECT_EQ(m["firstDay"], text(icuMonthStart(1445, month))) << month;
        EXPECT_EQ(m["conjunction"].get<std::string>().size(), 17u); // YYYY-MM-DDTHH:MMZ
        EXPECT_EQ(m["firstVisibleAnywhere"]["lat"], 21.4225);
        EXPECT_EQ(m["firstVisibleHere"], m["firstVisibleAnywhere"]["date"]);
    }
    // Ramadan 1445: conjunction on 10 March 2024 at 09:00 UT, first day 11 March.
    EXPECT_EQ(j["months"][8]["conjunction"], "2024-03-10T09:00Z");
    for (const char *bad : {"calendar --year 1000", "calendar --year 1445 --rule sighting",
                            "calendar --year 1445 --lat 91", "calendar --year 1445 --step 0.7"}) {
        const int status =
            std::system((std::string(TELVOR_BIN) + " " + bad + " >/dev/null 2>" + out).c_str());
        EXPECT_EQ(WEXITSTATUS(status), 2) << bad;
        std::ifstream e(out);
        std::string line, more;
        EXPECT_TRUE(std::getline(e, line) && !std::getline(e, more)) << bad;
    }
    std::remove(out.c_str());
}
#endif

} // namespace
