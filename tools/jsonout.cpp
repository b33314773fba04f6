// Writing result records as JSON objects (floats as %.9g) or as aligned text.
#include "tools/jsonout.h"

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

std::string jsonString(const std::string &text) {
    // Latin-1 bytes (the degree sign) are not valid UTF-8; replace rather than throw.
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string jsonFloat(float value) {
    if (!std::isfinite(value)) return "null";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(value));
    return buf;
}

void ResultRecord::addFloat(const char *key, float value) {
    items_.emplace_back(key, jsonFloat(value));
}
void ResultRecord::addDouble(const char *key, double value, const char *unit) {
    char buf[32] = "null";
    if (std::isfinite(value)) std::snprintf(buf, sizeof buf, "%.10g", value);
    items_.emplace_back(key, buf);
    units_.resize(items_.size());
    if (unit && std::isfinite(value)) units_.back() = unit;
}
void ResultRecord::addInt(const char *key, long value) {
    items_.emplace_back(key, std::to_string(value));
}
void ResultRecord::addString(const char *key, const std::string &value) {
    items_.emplace_back(key, jsonString(value));
}
void ResultRecord::addNull(const char *key) {
    items_.emplace_back(key, "null");
}
void ResultRecord::addRaw(const char *key, const std::string &json) {
    items_.emplace_back(key, json);
}

std::string ResultRecord::json() const {
    std::string out = "{";
    for (size_t i = 0; i < items_.size(); ++i) {
        if (i) out += ", ";
        out += jsonString(items_[i].first) + ": " + items_[i].second;
    }
    return out + "}";
}

std::string ResultRecord::text() const {
    size_t width = 0;
    for (const auto &[key, value] : items_)
        width = key.size() > width ? key.size() : width;
    std::string out;
    for (size_t i = 0; i < items_.size(); ++i) {
        const auto &[key, value] = items_[i];
        std::string shown = value;
        if (shown.size() >= 2 && shown.front() == '"') // plain text for strings
            shown = nlohmann::json::parse(shown).get<std::string>();
        if (i < units_.size() && !units_[i].empty()) shown += " " + units_[i];
        out += key + std::string(width + 2 - key.size(), ' ') + shown + "\n";
    }
    return out;
}
