// Writing result records as JSON objects (floats as %.9g) or as aligned text with units.
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

void ResultRecord::addFloat(const char *key, float value, const char *unit) {
    items_.push_back({key, jsonFloat(value), unit ? unit : ""});
}
void ResultRecord::addDouble(const char *key, double value, const char *unit) {
    char buf[32] = "null";
    if (std::isfinite(value)) std::snprintf(buf, sizeof buf, "%.10g", value);
    items_.push_back({key, buf, unit && std::isfinite(value) ? unit : ""});
}
void ResultRecord::addInt(const char *key, long value, const char *unit) {
    items_.push_back({key, std::to_string(value), unit ? unit : ""});
}
void ResultRecord::addString(const char *key, const std::string &value, const char *unit) {
    items_.push_back({key, jsonString(value), unit ? unit : ""});
}
void ResultRecord::addNull(const char *key) {
    items_.push_back({key, "null", ""});
}
void ResultRecord::addRaw(const char *key, const std::string &json) {
    items_.push_back({key, json, ""});
}

std::string ResultRecord::json() const {
    std::string out = "{";
    for (size_t i = 0; i < items_.size(); ++i) {
        if (i) out += ", ";
        out += jsonString(items_[i].key) + ": " + items_[i].json;
    }
    return out + "}";
}

std::string ResultRecord::text() const {
    // Objects are flattened into key.member lines.
    std::vector<std::pair<std::string, std::string>> lines;
    auto shown = [](const nlohmann::ordered_json &v) {
        return v.is_string()
                   ? v.get<std::string>()
                   : v.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    };
    for (const Item &item : items_) {
        if (!item.json.empty() && item.json.front() == '{') {
            const nlohmann::ordered_json object = nlohmann::ordered_json::parse(item.json);
            for (auto it = object.begin(); it != object.end(); ++it)
                lines.emplace_back(item.key + "." + it.key(), shown(it.value()));
            continue;
        }
        std::string value = item.json.front() == '"'
                                ? nlohmann::json::parse(item.json).get<std::string>()
                                : item.json; // numbers exactly as in the JSON form
        if (!item.unit.empty()) value += " " + item.unit;
        lines.emplace_back(item.key, value);
    }
    size_t width = 0;
    for (const auto &[key, value] : lines)
        width = key.size() > width ? key.size() : width;
    std::string out;
    for (const auto &[key, value] : lines)
        out += key + std::string(width + 2 - key.size(), ' ') + value + "\n";
    return out;
}
