// What the screen library's tests and its fuzzer share: SAUCE records built
// field by field, UTF-8 written and read by code of the tests' own rather
// than the library's, and a reader of rendered text that accepts nothing but
// glyphs, SGR sequences and CR LF line breaks.
#ifndef TREMLOX_TESTS_SCREEN_SUPPORT_H
#define TREMLOX_TESTS_SCREEN_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace screen_support {

// --- SAUCE records ---------------------------------------------------------

constexpr std::size_t record_size = 128;

struct record_fields {
    std::string title = "Title";
    std::string author = "Author";
    std::string group = "Group";
    std::string date = "19960412";
    std::uint8_t data_type = 1;
    std::uint8_t file_type = 1;
    std::uint16_t width = 80;
    std::uint16_t height = 25;
    std::uint8_t comment_lines = 0;
    std::uint8_t flags = 0;
    std::string font = "IBM VGA";
};

inline std::string padded(std::string_view text, std::size_t size, char pad = ' ') {
    std::string field(text.substr(0, size));
    field.resize(size, pad);
    return field;
}

inline std::string little_endian(std::uint16_t value) {
    return {static_cast<char>(value & 0xff), static_cast<char>(value >> 8)};
}

// A 128-byte SAUCE record, laid out field by field. Throws std::logic_error
// if the fields do not add up to 128 bytes; a test reports it as its failure.
inline std::string record(const record_fields &fields) {
    std::string bytes = "SAUCE00";
    bytes += padded(fields.title, 35) + padded(fields.author, 20) + padded(fields.group, 20);
    bytes += padded(fields.date, 8);
    bytes += std::string(4, '\0'); // the file size, which the library does not need
    bytes += static_cast<char>(fields.data_type);
    bytes += static_cast<char>(fields.file_type);
    bytes += little_endian(fields.width) + little_endian(fields.height);
    bytes += std::string(4, '\0');
    bytes += static_cast<char>(fields.comment_lines);
    bytes += static_cast<char>(fields.flags);
    bytes += padded(fields.font, 22, '\0');
    if (bytes.size() != record_size)
        throw std::logic_error("a SAUCE record of " + std::to_string(bytes.size()) + " bytes");
    return bytes;
}

// The comment block that goes before a record: "COMNT" and 64 bytes a line.
inline std::string comment_block(const std::vector<std::string> &lines) {
    std::string bytes = "COMNT";
    for (const std::string &line : lines)
        bytes += padded(line, 64);
    return bytes;
}

// --- UTF-8 -----------------------------------------------------------------

// Whether a terminal shows `code_point` as a glyph: no C0 or C1 control code,
// no DEL, no surrogate, nothing past U+10FFFF.
inline bool printable(std::uint32_t code_point) {
    return code_point >= 0x20 && !(code_point >= 0x7f && code_point <= 0x9f) &&
           !(code_point >= 0xd800 && code_point <= 0xdfff) && code_point <= 0x10ffff;
}

// `code_point` in UTF-8. A value that is no code point gives bytes that are
// no UTF-8, so that a comparison with a real glyph fails.
inline std::string utf8(std::uint32_t code_point) {
    std::string text;
    if (code_point < 0x80) {
        text += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        text += static_cast<char>(0xc0 | code_point >> 6);
        text += static_cast<char>(0x80 | (code_point & 0x3f));
    } else if (code_point < 0x10000) {
        text += static_cast<char>(0xe0 | code_point >> 12);
        text += static_cast<char>(0x80 | (code_point >> 6 & 0x3f));
        text += static_cast<char>(0x80 | (code_point & 0x3f));
    } else {
        text += static_cast<char>(0xf0 | code_point >> 18);
        text += static_cast<char>(0x80 | (code_point >> 12 & 0x3f));
        text += static_cast<char>(0x80 | (code_point >> 6 & 0x3f));
        text += static_cast<char>(0x80 | (code_point & 0x3f));
    }
    return text;
}

// Reads the glyph that starts at text[at], at < text.size(): returns the
// bytes it takes and sets `code_point`, or returns 0 and leaves `code_point`
// alone when the bytes there are not UTF-8 (a stray or missing continuation
// byte, an overlong form, a surrogate, past U+10FFFF, cut off by the end).
inline std::size_t next_glyph(std::string_view text, std::size_t at, std::uint32_t &code_point) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length;
    std::uint32_t value;
    std::uint32_t smallest;
    if (lead < 0x80) {
        code_point = lead;
        return 1;
    } else if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        value = lead & 0x1fu;
        smallest = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        value = lead & 0x0fu;
        smallest = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        value = lead & 0x07u;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (std::size_t next = 1; next < length; ++next) {
        const unsigned char byte = static_cast<unsigned char>(text[at + next]);
        if ((byte & 0xc0u) != 0x80u)
            return 0;
        value = value << 6 | (byte & 0x3fu);
    }
    if (value < smallest || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff))
        return 0;
    code_point = value;
    return length;
}

// --- Rendered text ---------------------------------------------------------

struct rendered_line {
    std::size_t columns = 0;      // as a terminal places the glyphs
    bool ends_with_reset = false; // "\x1b[0m" right before its CR LF
};

struct rendered_text {
    std::string fault;                // "" when the text is nothing but what it may hold
    std::vector<rendered_line> lines; // each line ended by CR LF
    std::size_t columns_after_last_line = 0;
    std::size_t sgr_sequences = 0;
};

// Every glyph one column, where a test does not care how many each takes.
inline unsigned one_column(std::uint32_t) {
    return 1;
}

// Reads what a renderer wrote: printable UTF-8 glyphs, SGR sequences
// (ESC [ digits, semicolons and colons m) and CR LF line breaks, nothing else. The
// first thing that is none of them ends the reading and is named in
// `fault`, with its offset. `columns_of` says how many columns a glyph
// takes (0 for one that joins the glyph before it).
inline rendered_text read_rendered_text(std::string_view text,
                                        unsigned (*columns_of)(std::uint32_t) = one_column) {
    rendered_text result;
    rendered_line line;
    bool after_reset = false;
    const auto faulty = [&](const char *what, std::size_t at) {
        result.fault = what + (" at byte " + std::to_string(at));
        result.columns_after_last_line = line.columns;
        return result;
    };
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] == '\r') {
            if (text.substr(at, 2) != "\r\n")
                return faulty("a CR without LF", at);
            line.ends_with_reset = after_reset;
            result.lines.push_back(line);
            line = rendered_line{};
            after_reset = false;
            at += 2;
        } else if (text[at] == '\x1b') {
            const std::size_t end = text.find('m', at);
            if (text.substr(at, 2) != "\x1b[" || end == std::string_view::npos ||
                text.find_first_not_of("0123456789;:", at + 2) != end)
                return faulty("an escape sequence that is no SGR", at);
            after_reset = text.substr(at, end + 1 - at) == "\x1b[0m";
            ++result.sgr_sequences;
            at = end + 1;
        } else {
            std::uint32_t code_point = 0;
            const std::size_t length = next_glyph(text, at, code_point);
            if (length == 0 || !printable(code_point))
                return faulty("a byte that is no glyph", at);
            line.columns += columns_of(code_point);
            after_reset = false;
            at += length;
        }
    }
    result.columns_after_last_line = line.columns;
    return result;
}

} // namespace screen_support

#endif
