// Runs the built tremlox-view as a user does, each case in a folder of its
// own, and holds what it shows against what tremlox::screen writes.
#pragma once

#include "program_fixture.h"

#include <tremlox/screen.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline const std::string usage_hint = "Try 'tremlox-view --help' for more information.\n";

class ViewTest : public ProgramTest {
  protected:
    // Without arguments and with an empty standard input it shows nothing.
    ViewTest() : ProgramTest(utf8_text(TREMLOX_VIEW_PATH), 0) {}

    // What a program that calls tremlox_screen_write_with with these
    // options writes for the screen, through a file as the viewer's output is.
    std::string library_output(const std::string &screen,
                               const tremlox_screen_options &options) const {
        const fs::path path = work / "library-output";
        std::FILE *out = std::fopen(path.string().c_str(), "wb");
        EXPECT_NE(out, nullptr);
        if (out == nullptr)
            return {};
        EXPECT_EQ(tremlox_screen_write_with(out, screen.data(), screen.size(), &options), 0);
        std::fclose(out);
        const std::string written = read_file(path);
        fs::remove(path);
        return written;
    }

    std::string library_output(const std::string &screen) const {
        const tremlox_screen_options defaults = TREMLOX_SCREEN_OPTIONS_INIT;
        return library_output(screen, defaults);
    }
};

// The fields of a SAUCE record written by with_record.
struct record_fields {
    std::string title, author, group, date;
    std::uint16_t width = 80, height = 25;
    bool ice_colours = false;
    std::string font;
    unsigned letter_spacing = 0; // 8 or 9 where the record asks for one
    std::vector<std::string> comments;
};

// The art followed by Ctrl-Z, a comment block when there are comments, and
// a record of 128 bytes, as ANSI editors save them.
inline std::string with_record(const std::string &art, const record_fields &fields) {
    const auto padded = [](const std::string &text, std::size_t size, char pad) {
        return (text + std::string(size, pad)).substr(0, size);
    };
    const auto little_endian = [](std::uint32_t value, std::size_t size) {
        std::string bytes;
        for (std::size_t at = 0; at < size; ++at, value >>= 8)
            bytes += static_cast<char>(value & 0xff);
        return bytes;
    };
    std::string screen = art + '\x1a';
    if (!fields.comments.empty()) {
        screen += "COMNT";
        for (const std::string &line : fields.comments)
            screen += padded(line, 64, ' ');
    }
    screen += "SAUCE00" + padded(fields.title, 35, ' ') + padded(fields.author, 20, ' ') +
              padded(fields.group, 20, ' ') + padded(fields.date, 8, ' ');
    screen += little_endian(static_cast<std::uint32_t>(art.size()), 4);
    screen += "\x01\x01"; // a character screen, ANSi
    screen += little_endian(fields.width, 2) + little_endian(fields.height, 2);
    screen += std::string(4, '\0');
    screen += static_cast<char>(fields.comments.size());
    // TFlags: iCE colours in bit 0, the letter spacing in bits 1-2.
    const int spacing_bits = fields.letter_spacing == 9 ? 4 : fields.letter_spacing == 8 ? 2 : 0;
    screen += static_cast<char>((fields.ice_colours ? 1 : 0) | spacing_bits);
    screen += padded(fields.font, 22, '\0');
    return screen;
}

// What in the viewer's output is neither a glyph (valid UTF-8, no control
// code) nor a line break, nor in the art an SGR sequence: "" when nothing
// is. The art's rows end with CR LF, the lines of --info with LF alone.
inline std::string stray_bytes(const std::string &output, bool art) {
    const auto at_text = [&](std::size_t at, const char *what) {
        return std::string(what) + " at byte " + std::to_string(at);
    };
    for (std::size_t at = 0; at < output.size();) {
        const auto byte = static_cast<unsigned char>(output[at]);
        if (byte == 0x1b && art) {
            if (at + 1 >= output.size() || output[at + 1] != '[')
                return at_text(at, "an escape sequence that is no SGR");
            std::size_t end = at + 2;
            while (end < output.size() &&
                   (std::isdigit(static_cast<unsigned char>(output[end])) || output[end] == ';' ||
                    output[end] == ':'))
                ++end;
            if (end >= output.size() || output[end] != 'm')
                return at_text(at, "an escape sequence that is no SGR");
            at = end + 1;
        } else if (byte == '\r' && art) {
            if (at + 1 >= output.size() || output[at + 1] != '\n')
                return at_text(at, "a CR without LF");
            at += 2;
        } else if (byte == '\n') {
            if (art)
                return at_text(at, "an LF without CR");
            ++at;
        } else if (byte < 0x20 || byte == 0x7f) {
            return at_text(at, "a control code");
        } else if (byte < 0x80) {
            ++at;
        } else {
            const std::size_t length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 0;
            if (length == 0 || at + length > output.size())
                return at_text(at, "a broken UTF-8 sequence");
            std::uint32_t glyph = byte & (0x7f >> length);
            for (std::size_t next = 1; next < length; ++next) {
                const auto continuation = static_cast<unsigned char>(output[at + next]);
                if ((continuation & 0xc0) != 0x80)
                    return at_text(at, "a broken UTF-8 sequence");
                glyph = glyph << 6 | (continuation & 0x3f);
            }
            const std::uint32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
            if (glyph < shortest[length] || glyph > 0x10ffff || (glyph >= 0xd800 && glyph < 0xe000))
                return at_text(at, "an invalid UTF-8 sequence");
            if (glyph < 0xa0)
                return at_text(at, "a C1 control code");
            at += length;
        }
    }
    return {};
}
