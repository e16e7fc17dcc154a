#include "app/duvoload/gang/member_command.h"

#include "app/duvoload/console/unicode_text.h"

namespace {

// An argument as the C runtime's command-line parser takes it back, quotes and backslashes
// included.
std::u16string Quoted(const std::u16string& arg) {
    if (!arg.empty() && arg.find_first_of(u" \t\"") == std::u16string::npos) return arg;
    std::u16string quoted = u"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, u'\\');
    return quoted + u"\"";
}

}  // namespace

std::u16string MemberCommandLine(const std::u16string& program, const Options& options,
                                 unsigned socket, bool live) {
    std::u16string line = Quoted(program) + u" --slot " + Utf16FromUtf8(std::to_string(socket)) +
                          u" --gang-member " + (live ? u"live" : u"plain");
    if (options.station) line += u" --station";
    if (options.cards != 0) line += u" --cards " + Utf16FromUtf8(std::to_string(options.cards));
    if (options.quiet) line += u" --quiet";
    if (!options.logPath.empty()) line += u" --log " + Quoted(Utf16FromUtf8(options.logPath));
    if (!options.tag.empty()) line += u" --tag " + Quoted(Utf16FromUtf8(options.tag));
    return line;
}
