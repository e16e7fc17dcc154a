#include "app/duvoload/record/json_text.h"

#include <cmath>
#include <cstdio>

#include "app/duvoload/console/unicode_text.h"

namespace {

std::string UnicodeEscape(char16_t unit) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
    return escape;
}

}  // namespace

std::string JsonString(const std::string& utf8) {
    std::string json = "\"";
    for (char16_t unit : Utf16FromUtf8(utf8)) {
        switch (unit) {
            case u'"':
                json += "\\\"";
                break;
            case u'\\':
                json += "\\\\";
                break;
            case u'\n':
                json += "\\n";
                break;
            case u'\r':
                json += "\\r";
                break;
            case u'\t':
                json += "\\t";
                break;
            default:
                if (unit < 0x20 || unit >= 0x7F) {
                    json += UnicodeEscape(unit);
                } else {
                    json += static_cast<char>(unit);
                }
        }
    }
    return json + "\"";
}

std::string JsonNumber(long long value) {
    return std::to_string(value);
}

std::string JsonDecimal(double value, int decimals) {
    if (!std::isfinite(value)) return JSON_NULL;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string JsonObject(const std::vector<JsonMember>& members) {
    std::string json = "{";
    for (const JsonMember& member : members) {
        if (json.size() > 1) json += ',';
        json += JsonString(member.name) + ":" + member.value;
    }
    return json + "}";
}
