// telvor score: every chosen criterion's call compared with the observations of a log or a CSV
// file, the saver's test over its probability settings, and the ARCV-W picture.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "obslog/log.h"
#include "obslog/plot.h"
#include "obslog/score.h"
#include "shell/platform/backend.h"
#include "tools/inputs.h"
#include "tools/mapcmd.h"
#include "tools/observe.h"
#include "tools/output.h"
#include "tools/saverrun.h"

namespace {

int report(const Subcommand &sub, int code, const std::string &message) {
    printError(std::string("telvor ") + sub.name, message);
    return code;
}

std::string fixed(double v, int decimals) {
    if (!std::isfinite(v)) return "-";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

nlohmann::ordered_json number(double v) {
    return std::isfinite(v) ? nlohmann::ordered_json(v) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json tableJson(const obslog::Contingency &t) {
    const obslog::Scores s = obslog::scoresOf(t);
    nlohmann::ordered_json j;
    j["seenPredicted"] = t.seenPredicted;
    j["seenNotPredicted"] = t.seenNotPredicted;
    j["predictedNotSeen"] = t.predictedNotSeen;
    j["neither"] = t.neither;
    j["records"] = t.total();
    j["agreement"] = number(s.agreement);
    j["hitRate"] = number(s.hitRate);
    j["falseAlarmRate"] = number(s.falseAlarmRate);
    j["falseAlarmRatio"] = number(s.falseAlarmRatio);
    j["bias"] = number(s.bias);
    j["criticalSuccessIndex"] = number(s.criticalSuccess);
    j["heidkeSkillScore"] = number(s.heidke);
    j["peirceSkillScore"] = number(s.peirce);
    return j;
}

std::string tableHeader(const char *first) {
    char line[200];
    std::snprintf(line, sizeof line, "%-18s %9s %9s %9s %9s %6s %6s %6s %6s %6s %6s\n", first,
                  "seen&pred", "seen-not", "pred-not", "neither", "agree", "hit", "F", "FAR", "CSI",
                  "HSS");
    return line;
}

std::string tableRow(const std::string &name, const obslog::Contingency &t) {
    const obslog::Scores s = obslog::scoresOf(t);
    char line[200];
    std::snprintf(line, sizeof line, "%-18s %9ld %9ld %9ld %9ld %6s %6s %6s %6s %6s %6s\n",
                  name.c_str(), t.seenPredicted, t.seenNotPredicted, t.predictedNotSeen, t.neither,
                  fixed(s.agreement, 3).c_str(), fixed(s.hitRate, 3).c_str(),
                  fixed(s.falseAlarmRate, 3).c_str(), fixed(s.falseAlarmRatio, 3).c_str(),
                  fixed(s.criticalSuccess, 3).c_str(), fixed(s.heidke, 3).c_str());
    return line;
}

std::string isoDate(const almanac::CivilDate &d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

// One wrong call with the quantities behind it.
nlohmann::ordered_json worstJson(const obslog::CriterionRule &rule, const obslog::Observation &o,
                                 const obslog::Evaluation &e, const std::string &where,
                                 obslog::Aid aid) {
    const almanac::Sighting &s = e.sighting;
    const almanac::Crescent &c = s.crescent;
    const bool ok = s.hasCrescent;
    nlohmann::ordered_json j;
    j["record"] = where;
    j["date"] = isoDate(o.date);
    j["lat"] = o.place.latitude;
    j["lon"] = o.place.longitude;
    j["height"] = o.place.height;
    j["result"] = obslog::resultName(o.result);
    j["call"] = rule.predicts(e, aid) ? "visible" : "not visible";
    const int k = rule.classOf(e);
    j["class"] = k >= 0 ? nlohmann::ordered_json(rule.classes[static_cast<size_t>(k)])
                        : nlohmann::ordered_json(nullptr);
    j["state"] = almanac::stateName(s.evening.state);
    j[rule.quantity] = number(rule.value(e));
    size_t slot = 0;
    if (obslog::calendarSlot(rule, slot)) {
        // The calendar rule's weakest condition at the place's sunset.
        const EveningJudgement &c = e.calendar[slot];
        nlohmann::ordered_json w;
        w["quantity"] = c.quantity;
        w["unit"] = c.unit;
        w["value"] = number(c.value);
        w["threshold"] = number(c.threshold);
        w["margin"] = number(c.margin);
        j["condition"] = w;
    }
    j["q"] = number(ok ? c.q : NAN);
    j["V"] = number(ok ? c.V : NAN);
    j["arcl"] = number(ok ? c.arcl : NAN);
    j["arcv"] = number(ok ? c.arcv : NAN);
    j["daz"] = number(ok ? c.daz : NAN);
    j["width"] = number(ok ? c.width : NAN);
    j["arcvTopocentric"] = number(ok ? c.arcvTopocentric : NAN);
    j["widthTopocentric"] = number(ok ? c.widthTopocentric : NAN);
    j["lagMinutes"] = number(s.evening.lagMinutes);
    j["moonAgeHours"] = number(s.moonAgeHours);
    j["telvorCode"] = ok ? nlohmann::ordered_json(e.saverCode) : nlohmann::ordered_json(nullptr);
    return j;
}

std::string worstText(const nlohmann::ordered_json &w) {
    auto num = [&](const char *key, int decimals) {
        return w[key].is_null() ? std::string("-") : fixed(w[key].get<double>(), decimals);
    };
    char line[300];
    std::snprintf(line, sizeof line,
                  "  %-10s %s %8.3f %9.3f %-10s %-11s %-11s q %6s  V %6s  ARCL %5s ARCV %5s "
                  "DAZ %6s W %5s  lag %4s min  age %5s h\n",
                  w["record"].get<std::string>().c_str(), w["date"].get<std::string>().c_str(),
                  w["lat"].get<double>(), w["lon"].get<double>(),
                  w["result"].get<std::string>().c_str(), w["call"].get<std::string>().c_str(),
                  w["class"].is_null() ? w["state"].get<std::string>().c_str()
                                       : ("class " + w["class"].get<std::string>()).c_str(),
                  num("q", 3).c_str(), num("V", 2).c_str(), num("arcl", 1).c_str(),
                  num("arcv", 1).c_str(), num("daz", 1).c_str(), num("width", 2).c_str(),
                  num("lagMinutes", 0).c_str(), num("moonAgeHours", 1).c_str());
    std::string out = line;
    if (w.contains("condition") && !w["condition"]["value"].is_null()) {
        // A calendar rule's deciding condition: "altitude 2.91 deg (3)".
        const nlohmann::ordered_json &c = w["condition"];
        const std::string unit = c["unit"].get<std::string>();
        out.pop_back();
        out += "  " + c["quantity"].get<std::string>() + " " +
               fixed(c["value"].get<double>(), unit == "s" ? 0 : 2) + (unit.empty() ? "" : " ") +
               unit + " (" + fixed(c["threshold"].get<double>(), unit == "s" ? 0 : 2) + ")\n";
    }
    return out;
}

} // namespace

int runScoreCommand(const Subcommand &sub, const Given &given) {
    // What is asked, checked before the work.
    if (given.has("db") && given.has("csv"))
        return report(sub, 2, "--db and --csv both name the records; use one of them");
    std::vector<const obslog::CriterionRule *> rules;
    if (given.has("criteria")) {
        const std::string list = given.value("criteria");
        size_t start = 0;
        for (;;) {
            const size_t comma = list.find(',', start);
            const std::string name =
                list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            const obslog::CriterionRule *rule = obslog::findCriterion(name);
            if (!rule) {
                std::string known;
                for (const obslog::CriterionRule &r : obslog::criteria())
                    known += (known.empty() ? "" : ", ") + std::string(r.name);
                return report(sub, 2,
                              "--criteria: " + quoteValue(name) + " is not one of " + known);
            }
            if (std::find(rules.begin(), rules.end(), rule) == rules.end()) rules.push_back(rule);
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    } else
        for (const obslog::CriterionRule &r : obslog::criteria())
            rules.push_back(&r);
    obslog::Aid aid = obslog::Aid::NakedEye;
    if (given.has("aid")) {
        const std::string a = given.value("aid");
        if (a == "optical")
            aid = obslog::Aid::Optical;
        else if (a != "naked-eye")
            return report(sub, 2, "--aid: " + quoteValue(a) + " is not naked-eye or optical");
    }
    obslog::Sky sky = obslog::Sky::Unknown;
    if (given.has("sky") &&
        (given.value("sky").empty() || !obslog::skyFromName(given.value("sky"), sky)))
        return report(sub, 2,
                      "--sky: " + quoteValue(given.value("sky")) +
                          " is not clear, hazy, partly-cloudy or cloudy");
    long worst = 0, probability = 50, threads = 0;
    std::string error;
    if (given.has("worst")) error = parseInteger("worst", given.value("worst"), worst);
    if (error.empty() && given.has("probability"))
        error = parseInteger("probability", given.value("probability"), probability);
    if (error.empty() && given.has("threads"))
        error = parseInteger("threads", given.value("threads"), threads);
    if (!error.empty()) return report(sub, 2, error);
    const bool json = given.has("json"), sweep = given.has("sweep");
    WholeFile plot;
    if (given.has("plot")) {
        const std::string reason = plot.open(given.value("plot"));
        if (!reason.empty())
            return report(
                sub, 2, "--plot: cannot write " + quoteValue(given.value("plot")) + ": " + reason);
    }

    // The records: from a CSV file, or from the log.
    std::vector<obslog::Observation> all;
    std::vector<int> lines; // CSV line numbers, to name the records
    if (given.has("csv")) {
        const std::string file = given.value("csv");
        std::string text;
        errno = 0;
        FILE *f = file == "-" ? stdin : std::fopen(file.c_str(), "rb");
        if (file.empty() || !f)
            return report(sub, 2,
                          "--csv: cannot read " + quoteValue(file) + ": " +
                              systemError(errno ? errno : ENOENT));
        char buf[1 << 16];
        for (size_t got; (got = std::fread(buf, 1, sizeof buf, f)) > 0;)
            text.append(buf, got);
        const bool bad = std::ferror(f);
        if (f != stdin) std::fclose(f);
        if (bad) return report(sub, 2, "--csv: cannot read " + quoteValue(file));
        obslog::CsvContent csv = obslog::parseCsv(text);
        for (const obslog::CsvError &e : csv.errors)
            printError("telvor score", file + ":" + std::to_string(e.line) + ": " + e.reason);
        if (!csv.errors.empty() && !given.has("skip-bad"))
            return report(sub, 1,
                          std::to_string(csv.errors.size()) + " bad " +
                              (csv.errors.size() == 1 ? "line" : "lines") + " in " +
                              quoteValue(file) + " (--skip-bad scores the rest)");
        all = std::move(csv.records);
        lines = std::move(csv.lines);
    } else {
        const std::string path = logPathFromOptions(given, error);
        if (!error.empty()) return report(sub, 2, error);
        obslog::Log log;
        error = log.open(path, obslog::Log::Mode::Read);
        if (!error.empty()) return report(sub, 2, error);
        error = log.list(all);
        if (!error.empty()) return report(sub, 1, error);
    }
    std::vector<obslog::Observation> records;
    std::vector<std::string> names;
    for (size_t i = 0; i < all.size(); ++i)
        if (!given.has("sky") || all[i].sky == sky) {
            names.push_back(lines.empty() ? "id " + std::to_string(all[i].id)
                                          : "line " + std::to_string(lines[i]));
            records.push_back(std::move(all[i]));
        }

    const bool saverNeeded = sweep || std::find(rules.begin(), rules.end(),
                                                obslog::findCriterion("telvor")) != rules.end();
    const obslog::SaverTest saver = [](const almanac::Place &p, double jdUt, int setting) {
        return engineVisibilityCode(p.latitude, p.longitude, jdUt,
                                    static_cast<int>(std::lround(p.height)), setting);
    };
    const std::vector<obslog::Evaluation> evaluations =
        obslog::evaluateAll(records, static_cast<int>(probability),
                            saverNeeded ? saver : obslog::SaverTest{}, static_cast<int>(threads));

    nlohmann::ordered_json out;
    out["records"] = records.size();
    out["aid"] = aid == obslog::Aid::NakedEye ? "naked-eye" : "optical";
    out["sky"] = given.has("sky") ? nlohmann::ordered_json(obslog::skyName(sky))
                                  : nlohmann::ordered_json(nullptr);
    out["probability"] = probability;
    std::string text;
    char line[300];
    std::snprintf(line, sizeof line,
                  "%zu %s, %s, %s; each evening at its best time (the calendar rules at its "
                  "sunset)\n\n",
                  records.size(), records.size() == 1 ? "record" : "records",
                  aid == obslog::Aid::NakedEye ? "seen with the naked eye"
                                               : "seen with or without optical aid",
                  given.has("sky") ? ("sky " + std::string(obslog::skyName(sky))).c_str()
                                   : "every sky");
    text += line + tableHeader("criterion");
    std::string details;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const obslog::CriterionRule *rule : rules) {
        const obslog::CriterionScore s =
            obslog::score(*rule, records, evaluations, aid, static_cast<size_t>(worst));
        std::string name = rule->name;
        if (rule == obslog::findCriterion("telvor"))
            name += " (P " + std::to_string(probability) + ")";
        text += tableRow(name, s.table);
        nlohmann::ordered_json j;
        j["name"] = rule->name;
        j["title"] = rule->title;
        j["table"] = tableJson(s.table);
        nlohmann::ordered_json classes = nlohmann::ordered_json::array();
        details += std::string("\n") + rule->name + " classes (records, seen):";
        for (size_t k = 0; k < s.classes.size(); ++k) {
            const char *cls = k < rule->classes.size() ? rule->classes[k] : rule->none;
            classes.push_back(
                {{"class", cls}, {"records", s.classes[k].records}, {"seen", s.classes[k].seen}});
            details += std::string("  ") + cls + " " + std::to_string(s.classes[k].records) + " (" +
                       std::to_string(s.classes[k].seen) + ")";
        }
        details += "\n";
        j["classes"] = classes;
        if (worst > 0) {
            nlohmann::ordered_json w = nlohmann::ordered_json::array();
            details += std::string(rule->name) + " worst calls:\n";
            for (size_t i : s.worst) {
                w.push_back(worstJson(*rule, records[i], evaluations[i], names[i], aid));
                details += worstText(w.back());
            }
            if (s.worst.empty()) details += "  none wrong\n";
            j["worst"] = w;
        }
        list.push_back(j);
    }
    out["criteria"] = list;
    text += details;
    if (sweep) {
        const std::vector<obslog::Contingency> tables =
            obslog::sweepSaver(records, evaluations, aid, saver);
        nlohmann::ordered_json sw = nlohmann::ordered_json::array();
        text += "\nthe saver's test by its probability setting\n" + tableHeader("probability");
        int bestAgreement = 1, bestHeidke = 1;
        for (int p = 1; p <= 99; ++p) {
            const obslog::Contingency &t = tables[static_cast<size_t>(p - 1)];
            nlohmann::ordered_json j = tableJson(t);
            j["probability"] = p;
            sw.push_back(j);
            text += tableRow(std::to_string(p), t);
            const auto better = [&](double obslog::Scores::*m, int best) {
                const double v = obslog::scoresOf(t).*m,
                             b = obslog::scoresOf(tables[static_cast<size_t>(best - 1)]).*m;
                return std::isfinite(v) && (!std::isfinite(b) || v > b);
            };
            if (better(&obslog::Scores::agreement, bestAgreement)) bestAgreement = p;
            if (better(&obslog::Scores::heidke, bestHeidke)) bestHeidke = p;
        }
        text += "best agreement at probability " + std::to_string(bestAgreement) +
                ", best Heidke skill score at probability " + std::to_string(bestHeidke) + "\n";
        out["sweep"] = sw;
        out["bestAgreementProbability"] = bestAgreement;
        out["bestHeidkeProbability"] = bestHeidke;
    }
    if (given.has("plot")) {
        const std::vector<obslog::PlotPoint> points = obslog::plotPoints(records, evaluations, aid);
        const obslog::PlotFrame frame = obslog::plotFrame(points);
        Picture p = obslog::drawPlot(
            points, rules, aid, frame,
            std::to_string(points.size()) + " records on ARCV against W" +
                (aid == obslog::Aid::NakedEye ? " (naked eye)" : " (optical aid)"));
        std::string reason;
        if (!writePngTo(plot.file(), PixelBuffer{p.width, p.height, p.pixels.data()}, reason) ||
            !(reason = plot.commit()).empty())
            return report(sub, 1,
                          "cannot write " + quoteValue(given.value("plot")) + ": " + reason);
    }
    writeOutput(json ? out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"
                     : text);
    return 0;
}
