// Writing result records as JSON objects (floats as %.9g) or as aligned text with units.
#include "tools/jsonout.h"

#include <charconv>
#include <cmath>

#include <nlohmann/json.hpp>

namespace {

// printf's %.<digits>g of a finite double: std::to_chars with a precision writes the same
// characters (C++17 [charconv.to.chars]), without printf's locale and format parsing.
std::string general(double value, int digits) {
    char buf[40];
    return std::string(
        buf, std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits).ptr);
}

} // namespace

std::string jsonString(const std::string &text) {
    // Printable ASCII without quotes or backslashes stands as it is, the common case of keys
    // and times; anything else goes through the JSON library's escaping. Latin-1 bytes (the
    // degree sign) are not valid UTF-8; replace rather than throw.
    bool plain = true;
    for (unsigned char c : text)
        plain = plain && c >= 0x20 && c < 0x7f && c != '"' && c != '\\';
    if (plain) {
        std::string out;
        out.reserve(text.size() + 2);
        return out.append(1, '"').append(text).append(1, '"');
    }
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string jsonFloat(float value) {
    if (!std::isfinite(value)) return "null";
    return general(static_cast<double>(value), 9);
}

void ResultRecord::addFloat(const char *key, float value, const char *unit) {
    items_.push_back({key, jsonFloat(value), unit ? unit : ""});
}
void ResultRecord::addDouble(const char *key, double value, const char *unit) {
    const bool finite = std::isfinite(value);
    items_.push_back({key, finite ? general(value, 10) : "null", unit && finite ? unit : ""});
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
    size_t size = 2;
    for (const Item &item : items_)
        size += item.key.size() + item.json.size() + 8;
    std::string out;
    out.reserve(size);
    out += '{';
    for (size_t i = 0; i < items_.size(); ++i) {
        if (i) out += ", ";
        out += jsonString(items_[i].key);
        out += ": ";
        out += items_[i].json;
    }
    out += '}';
    return out;
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
