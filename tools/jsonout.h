// An ordered record of named results, written as one JSON object or as aligned text lines.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Values are kept as their final JSON text: floats as %.9g of the single-precision value,
// integers as integers, strings quoted and escaped, null.
class ResultRecord {
  public:
    void addFloat(const char *key, float value);
    // A double as %.10g (null when not finite); `unit` follows the value in text().
    void addDouble(const char *key, double value, const char *unit = nullptr);
    void addInt(const char *key, long value);
    void addString(const char *key, const std::string &value);
    void addNull(const char *key);
    void addRaw(const char *key, const std::string &json); // already JSON (an object, say)
    std::string json() const;                              // one line, no trailing newline
    std::string text() const; // "key  value" lines, each ending in a newline
    const std::vector<std::pair<std::string, std::string>> &items() const { return items_; }

  private:
    std::vector<std::pair<std::string, std::string>> items_;
    std::vector<std::string> units_; // one per item, "" for none
};

// The JSON text of a string (quoted and escaped).
std::string jsonString(const std::string &text);
// %.9g of a float, or null when it is not finite.
std::string jsonFloat(float value);
