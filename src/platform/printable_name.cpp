// Names as the programs print them: a file name may hold anything but NUL
// and '/', and one that reached the terminal as it is could retitle the
// window, move the cursor or turn the text red.
#include "platform.h"
#include "utf8.h"

#include <cstdint>

namespace tremlox::platform {

namespace {

// The bidirectional controls, which would let the terminal show the rest of
// the line in another order, and the line and paragraph separators.
bool is_invisible_control(std::uint32_t code_point) {
    return code_point == 0x061c || code_point == 0x200e || code_point == 0x200f ||
           (code_point >= 0x2028 && code_point <= 0x202e) ||
           (code_point >= 0x2066 && code_point <= 0x2069);
}

// "\033": three octal digits, as C writes a byte.
void append_octal(std::string &text, unsigned value) {
    text += '\\';
    for (int shift = 6; shift >= 0; shift -= 3)
        text += static_cast<char>('0' + (value >> shift & 7));
}

// "\u202e": four hexadecimal digits, as C writes a code point.
void append_unicode(std::string &text, std::uint32_t code_point) {
    static constexpr char digits[] = "0123456789abcdef";
    text += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        text += digits[code_point >> shift & 15];
}

} // namespace

std::string printable_name(std::string_view name) {
    std::string shown;
    shown.reserve(name.size());
    const auto *bytes = reinterpret_cast<const unsigned char *>(name.data());
    for (std::size_t at = 0; at < name.size();) {
        std::uint32_t code_point = 0;
        const std::size_t length = tremlox__utf8_decode(bytes + at, name.size() - at, &code_point);
        if (length == 0) {
            // A byte that is no UTF-8, which some terminals take as C1.
            append_octal(shown, bytes[at]);
            ++at;
            continue;
        }
        at += length;
        if (code_point == '\n')
            shown += "\\n";
        else if (code_point == '\r')
            shown += "\\r";
        else if (code_point == '\t')
            shown += "\\t";
        else if (code_point < 0x20 || code_point == 0x7f)
            append_octal(shown, code_point);
        else if ((code_point >= 0x80 && code_point < 0xa0) || is_invisible_control(code_point))
            append_unicode(shown, code_point);
        else
            shown.append(name.substr(at - length, length));
    }
    return shown;
}

} // namespace tremlox::platform
