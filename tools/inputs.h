// The tool's inputs: one table of options with their ranges, checked the same way on the command
// line and in batch lines.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

// One computation's inputs, as the user gave them.
struct Inputs {
    int year = 2000, month = 1, day = 1;
    int minute = 0;       // local clock minute, -1440..2879
    int zone = 0;         // local time minus UT, minutes, -1440..1440
    double lat = 0;       // degrees, north positive, -90..90
    double lon = 0;       // degrees, east positive, -180..180
    int height = 0;       // metres, 0..9999
    int probability = 50; // percent, 1..99
};

// Today's local date into `in`.
void setToday(Inputs &in);

// Sets one input from its text; the name is the option without dashes ("lat", "date", "time"...).
// Returns an empty string on success, else a one-line message naming the option and its range.
std::string setInput(Inputs &in, const std::string &name, const std::string &text);

// Sets the inputs from one batch line (a JSON object whose keys are option names).
std::string setInputsFromJson(Inputs &in, const nlohmann::json &line);

// Whether the date exists in the engine's calendar (1901..2099, leap years divisible by 4).
bool validDate(int year, int month, int day);

// Zeroes the engine's records and writes the inputs into them.
void loadInputs(const Inputs &in);

// Proleptic calendar date `days` after (or before, when negative) the given date.
void addDays(int &year, int &month, int &day, int days);
