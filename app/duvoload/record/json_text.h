// JSON Lines for line software: one object per line, its members in the order given. The text is
// plain ASCII whatever it holds: every character outside printable ASCII is a \u escape, so no
// code page, console or pipe between duvoload and its reader can change it.
#pragma once

#include <string>
#include <vector>

// A member of an object: its name and its value, already JSON (JsonString, JsonNumber, ...).
struct JsonMember {
    std::string name;
    std::string value;
};

// A JSON string of UTF-8 text: quotes, backslashes and control characters escaped, every
// non-ASCII character as \uXXXX (a surrogate pair beyond U+FFFF). A byte that is not UTF-8 becomes
// U+FFFD.
std::string JsonString(const std::string& utf8);

// A whole number.
std::string JsonNumber(long long value);

// A number with `decimals` digits after the point (0.30 for seconds, as the log gives them).
std::string JsonDecimal(double value, int decimals);

inline constexpr char JSON_NULL[] = "null";

// `{"a":1,"b":"x"}`, without a line end.
std::string JsonObject(const std::vector<JsonMember>& members);
