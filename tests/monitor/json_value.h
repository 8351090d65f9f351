// A strict reader for the monitor's JSON lines, so tests check values, not
// substrings, and catch output that is not valid JSON.
#ifndef TESTS_JSON_VALUE_H
#define TESTS_JSON_VALUE_H

#include <string>
#include <utility>
#include <vector>

struct JsonValue {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    double number = 0;
    // Strings as bytes: \u0000 to \u00FF become that one byte, larger code
    // points their UTF-8 bytes.
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    bool Has(const std::string &key) const;
    // A missing key or index gives a null value.
    const JsonValue &operator[](const std::string &key) const;
    const JsonValue &operator[](size_t index) const;
};

// Parses one complete JSON text; on failure returns false and says where.
bool ParseJson(const std::string &text, JsonValue *value, std::string *error);

#endif
