// An ordered record of named results, written as one JSON object or as aligned text lines that
// give each value's unit.
#pragma once

#include <string>
#include <vector>

// Values are kept as their final JSON text: floats as %.9g of the single-precision value,
// integers as integers, strings quoted and escaped, null. The unit (or nullptr) is shown only in
// the text form: "sunLongitude  174.129883 rad (not reduced)".
class ResultRecord {
  public:
    void addFloat(const char *key, float value, const char *unit = nullptr);
    // A double as %.10g (null when not finite); its unit only when it is finite.
    void addDouble(const char *key, double value, const char *unit = nullptr);
    void addInt(const char *key, long value, const char *unit = nullptr);
    void addString(const char *key, const std::string &value, const char *unit = nullptr);
    void addNull(const char *key);
    // Already JSON (an object, say); the text form shows an object's members as key.member.
    void addRaw(const char *key, const std::string &json);
    std::string json() const; // one line, no trailing newline
    std::string text() const; // "key  value unit" lines, each ending in a newline

  private:
    struct Item {
        std::string key, json, unit;
    };
    std::vector<Item> items_;
};

// The JSON text of a string (quoted and escaped).
std::string jsonString(const std::string &text);
// %.9g of a float, or null when it is not finite.
std::string jsonFloat(float value);
