// The screen library: records built here, lying records, every byte value
// through the CP437 writer, wrapping as a DOS console wraps, iCE colours,
// guessing the character set, and write failures.
#include "cp437.h"

#include <tremlox/screen.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string reset = "\x1b[0m";

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

std::string padded(const std::string &text, std::size_t size, char pad = ' ') {
    return (text + std::string(size, pad)).substr(0, size);
}

std::string little_endian(std::uint16_t value) {
    return {static_cast<char>(value & 0xff), static_cast<char>(value >> 8)};
}

// A 128-byte SAUCE record, laid out field by field.
std::string record(const record_fields &fields) {
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
    EXPECT_EQ(bytes.size(), 128u);
    return bytes;
}

std::string comment_block(const std::vector<std::string> &lines) {
    std::string bytes = "COMNT";
    for (const std::string &line : lines)
        bytes += padded(line, 64);
    return bytes;
}

// Parses a copy of `screen` in a buffer of exactly its size, so that the
// address sanitizer sees any read past its end.
std::size_t parse(const std::string &screen, tremlox_sauce &sauce) {
    const std::unique_ptr<char[]> exact(new char[screen.size()]);
    std::copy(screen.begin(), screen.end(), exact.get());
    return tremlox_screen_parse(exact.get(), screen.size(), &sauce);
}

std::string written(const std::string &screen, tremlox_charset charset = TREMLOX_CHARSET_CP437) {
    std::FILE *file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    EXPECT_EQ(tremlox_screen_write(file, screen.data(), screen.size(), charset), 0);
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
    std::fclose(file);
    return text;
}

TEST(ScreenParse, ScreenWithoutRecord) {
    tremlox_sauce sauce;
    EXPECT_EQ(parse("\x1b[0mHello", sauce), 9u);
    EXPECT_FALSE(sauce.present);
    EXPECT_STREQ(sauce.title, "");
    EXPECT_EQ(sauce.width, 0u);
    // The art ends at its first byte 26.
    EXPECT_EQ(parse("Hello\x1agarbage\x1a", sauce), 5u);
    EXPECT_EQ(parse("\x1a", sauce), 0u);
    EXPECT_EQ(tremlox_screen_parse(nullptr, 0, &sauce), 0u);
    EXPECT_EQ(tremlox_screen_parse("abc", 3, nullptr), 3u);
    // "SAUCE" anywhere but 128 bytes before the end is no record.
    EXPECT_EQ(parse("art" + record({}) + "x", sauce), 132u);
    EXPECT_FALSE(sauce.present);
}

TEST(ScreenParse, EveryFieldOfTheRecord) {
    record_fields fields;
    fields.title = std::string(35, 'T'); // fills its field: no blank to remove
    fields.author = "Some\xa0one";       // CP437 bytes stay as they are
    fields.group = "Group";
    fields.data_type = 1;
    fields.file_type = 1;
    fields.width = 0x0150; // 336: the low byte comes first
    fields.height = 0x0102;
    fields.flags = 0x03;
    fields.font = "IBM VGA50";
    tremlox_sauce sauce;
    EXPECT_EQ(parse("art\x1a" + record(fields), sauce), 3u);
    EXPECT_TRUE(sauce.present);
    EXPECT_EQ(std::string(sauce.title), std::string(35, 'T'));
    EXPECT_STREQ(sauce.author, "Some\xa0one");
    EXPECT_STREQ(sauce.group, "Group");
    EXPECT_STREQ(sauce.date, "19960412");
    EXPECT_EQ(sauce.data_type, 1u);
    EXPECT_EQ(sauce.file_type, 1u);
    EXPECT_EQ(sauce.width, 336u);
    EXPECT_EQ(sauce.height, 258u);
    EXPECT_TRUE(sauce.ice_colours);
    EXPECT_STREQ(sauce.font, "IBM VGA50");
    EXPECT_EQ(sauce.comment_lines, 0u);

    // Trailing NULs go as trailing blanks do; only bit 0 is iCE colours.
    fields.title = std::string("Title  \0\0 \0", 11);
    fields.flags = 0x02;
    parse(record(fields), sauce);
    EXPECT_STREQ(sauce.title, "Title");
    EXPECT_FALSE(sauce.ice_colours);
    // A record without art, or without byte 26 before it.
    EXPECT_EQ(parse(record(fields), sauce), 0u);
    EXPECT_EQ(parse("art" + record(fields), sauce), 3u);
}

TEST(ScreenParse, CommentBlockBeforeTheRecord) {
    record_fields fields;
    fields.comment_lines = 2;
    tremlox_sauce sauce;
    const std::string comments = comment_block({"first line", "second line"});
    EXPECT_EQ(parse("art\x1a" + comments + record(fields), sauce), 3u);
    EXPECT_EQ(sauce.comment_lines, 2u);
    // Without byte 26, the comment block still is no art.
    EXPECT_EQ(parse("art" + comments + record(fields), sauce), 3u);
    EXPECT_EQ(parse(comments + record(fields), sauce), 0u);
}

TEST(ScreenParse, LyingRecordsAreNeverReadOutOfBounds) {
    tremlox_sauce sauce;
    record_fields fields;
    // A comment count that reaches before the start of the screen: the
    // record is read, the comments are not believed.
    fields.comment_lines = 255;
    EXPECT_EQ(parse("art" + record(fields), sauce), 3u);
    EXPECT_TRUE(sauce.present);
    EXPECT_STREQ(sauce.title, "Title");
    EXPECT_EQ(sauce.comment_lines, 0u);
    // One line more than the screen holds before the record, by one byte.
    fields.comment_lines = 1;
    EXPECT_EQ(parse(std::string("COMNT") + std::string(63, 'c') + record(fields), sauce), 68u);
    EXPECT_EQ(sauce.comment_lines, 0u);
    // A count with no "COMNT" where it points: the art runs up to the record.
    fields.comment_lines = 1;
    EXPECT_EQ(parse(std::string(100, 'a') + record(fields), sauce), 100u);
    EXPECT_EQ(sauce.comment_lines, 0u);
    // Shorter than a record: no record, whatever it begins with.
    const std::string short_screen = record(fields).substr(0, 127);
    EXPECT_EQ(parse(short_screen, sauce), 127u);
    EXPECT_FALSE(sauce.present);
    EXPECT_EQ(parse("SAUCE", sauce), 5u);
    EXPECT_FALSE(sauce.present);
}

// Every glyph, written out here, not taken from the library.
const char *const control_glyphs[32] = {" ", "☺", "☻", "♥", "♦", "♣", "♠", "•", "◘", "○", "◙",
                                        "♂", "♀", "♪", "♫", "☼", "►", "◄", "↕", "‼", "¶", "§",
                                        "▬", "↨", "↑", "↓", "→", "←", "∟", "↔", "▲", "▼"};

// 0x80-0xFF as Python's cp437 codec has them, one per line, written by
// the build into CP437_UPPER_HALF.
std::vector<std::string> python_cp437_upper_half() {
    std::FILE *file = std::fopen(CP437_UPPER_HALF, "rb");
    EXPECT_NE(file, nullptr) << CP437_UPPER_HALF;
    std::string text;
    char buffer[4096];
    std::size_t count;
    while (file != nullptr && (count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, count);
    if (file != nullptr)
        std::fclose(file);
    std::vector<std::string> glyphs;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        glyphs.push_back(text.substr(start, end - start));
    glyphs.push_back(text.substr(start));
    return glyphs;
}

std::vector<std::string> expected_glyphs() {
    std::vector<std::string> glyphs(control_glyphs, control_glyphs + 32);
    for (int byte = 0x20; byte < 0x7f; ++byte)
        glyphs.emplace_back(1, static_cast<char>(byte));
    glyphs.emplace_back("⌂");
    const std::vector<std::string> upper = python_cp437_upper_half();
    EXPECT_EQ(upper.size(), 128u);
    glyphs.insert(glyphs.end(), upper.begin(), upper.end());
    return glyphs;
}

TEST(ScreenCharset, TableMatchesCp437) {
    const std::vector<std::string> glyphs = expected_glyphs();
    ASSERT_EQ(glyphs.size(), 256u);
    for (int byte = 0; byte < 256; ++byte)
        EXPECT_EQ(tremlox_cp437_glyph(static_cast<unsigned char>(byte)), glyphs[byte])
            << "byte " << byte;
}

TEST(ScreenWrite, EveryByteValueAsCp437) {
    const std::vector<std::string> glyphs = expected_glyphs();
    ASSERT_EQ(glyphs.size(), 256u);
    for (int byte = 0; byte < 256; ++byte) {
        const std::string screen(1, static_cast<char>(byte));
        if (byte == '\t' || byte == '\n' || byte == '\r' || byte == 26 || byte == 27)
            continue;
        EXPECT_EQ(written(screen), glyphs[byte] + reset + "\r\n") << "byte " << byte;
    }
    // The controls.
    EXPECT_EQ(written("A\rB"), "A\rB" + reset + "\r\n");
    EXPECT_EQ(written("A\nB\r\n"), "A\nB\r\n" + reset);
    EXPECT_EQ(written("A\x1a"
                      "B"),
              "A" + reset + "\r\n");
    EXPECT_EQ(written("A\tB"), "A\tB" + reset + "\r\n");
    EXPECT_EQ(written(""), reset);
}

TEST(ScreenWrite, WrapsAfterTheWidththGlyph) {
    const std::string row(80, 'x');
    // A full row, then CR LF, leaves an empty line, as on a DOS console.
    EXPECT_EQ(written(row + "\r\nB"), row + "\r\n\r\nB" + reset + "\r\n");
    EXPECT_EQ(written(std::string(79, 'x') + "\r\nB"),
              std::string(79, 'x') + "\r\nB" + reset + "\r\n");
    // Full rows one after the other, the cursor ending on a fresh line.
    EXPECT_EQ(written(row + row), row + "\r\n" + row + "\r\n" + reset);
    // Multi-byte glyphs count as one column each.
    std::string shades;
    for (int i = 0; i < 80; ++i)
        shades += "░";
    EXPECT_EQ(written(std::string(81, '\xb0')), shades + "\r\n░" + reset + "\r\n");
    // CR goes back to column 0.
    EXPECT_EQ(written(std::string(50, 'x') + "\r" + std::string(50, 'y')),
              std::string(50, 'x') + "\r" + std::string(50, 'y') + reset + "\r\n");
    // The width the record gives; the record itself is never written.
    record_fields fields;
    fields.width = 40;
    EXPECT_EQ(written(std::string(41, 'x') + "\x1a" + record(fields)),
              std::string(40, 'x') + "\r\nx" + reset + "\r\n");
    fields.width = 0; // not given: 80
    EXPECT_EQ(written(row + "\x1a" + record(fields)), row + "\r\n" + reset);
}

TEST(ScreenWrite, TabsAndCursorMovesKeepTheColumn) {
    // Nine tabs reach column 72; eight glyphs more fill the row.
    EXPECT_EQ(written(std::string(9, '\t') + std::string(8, 'x') + "y"),
              std::string(9, '\t') + std::string(8, 'x') + "\r\ny" + reset + "\r\n");
    EXPECT_EQ(written("xyz\t" + std::string(72, 'x') + "y"),
              "xyz\t" + std::string(72, 'x') + "\r\ny" + reset + "\r\n");
    // A tab from column 76 reaches the end of the row.
    EXPECT_EQ(written(std::string(76, 'x') + "\ty"),
              std::string(76, 'x') + "\t\r\ny" + reset + "\r\n");

    const std::string tail = "\r\ny" + reset + "\r\n";
    EXPECT_EQ(written("\x1b[10C" + std::string(70, 'x') + "y"),
              "\x1b[10C" + std::string(70, 'x') + tail);
    EXPECT_EQ(written("\x1b[C" + std::string(79, 'x') + "y"),
              "\x1b[C" + std::string(79, 'x') + tail);
    EXPECT_EQ(written(std::string(20, 'x') + "\x1b[5D" + std::string(65, 'x') + "y"),
              std::string(20, 'x') + "\x1b[5D" + std::string(65, 'x') + tail);
    EXPECT_EQ(written("ab\x1b[9D" + std::string(80, 'x') + "y"),
              "ab\x1b[9D" + std::string(80, 'x') + tail);
    EXPECT_EQ(written("\x1b[41G" + std::string(40, 'x') + "y"),
              "\x1b[41G" + std::string(40, 'x') + tail);
    EXPECT_EQ(written("\x1b[3;71H" + std::string(10, 'x') + "y"),
              "\x1b[3;71H" + std::string(10, 'x') + tail);
    EXPECT_EQ(written("abc\x1b[H" + std::string(80, 'x') + "y"),
              "abc\x1b[H" + std::string(80, 'x') + tail);
    EXPECT_EQ(written("\x1b[30Cab\x1b[s\x1b[1G\x1b[u" + std::string(48, 'x') + "y"),
              "\x1b[30Cab\x1b[s\x1b[1G\x1b[u" + std::string(48, 'x') + tail);
    // Moving right stops at the last column, as ANSI.SYS does.
    EXPECT_EQ(written("\x1b[200Cxy"), "\x1b[200Cx" + tail);
    // Other sequences pass untouched and leave the column alone.
    EXPECT_EQ(written("\x1b[2J\x1b[?7h\x1b[1;33m" + std::string(80, 'x') + "y"),
              "\x1b[2J\x1b[?7h\x1b[1;33m" + std::string(80, 'x') + tail);
}

TEST(ScreenWrite, BrokenEscapeSequencesAreLeftOut) {
    EXPECT_EQ(written("abc\x1b[12"), "abc" + reset + "\r\n");
    EXPECT_EQ(written("abc\x1b"), "abc" + reset + "\r\n");
    EXPECT_EQ(written("a\x1b"
                      "cb"),
              "acb" + reset + "\r\n");
    EXPECT_EQ(written("a\x1b[1\x01"
                      "b"),
              "a☺b" + reset + "\r\n");
}

// The background and blink a terminal ends with after the SGR sequences of
// `text`, and whether blink was ever turned on.
struct rendition {
    int background = 49;
    bool blink = false;
    bool ever_blinked = false;
};

rendition rendition_after(const std::string &text) {
    rendition state;
    for (std::size_t at = text.find("\x1b["); at != std::string::npos;
         at = text.find("\x1b[", at + 1)) {
        const std::size_t end = text.find_first_of("ABCDEFGHJKfmsu", at + 2);
        if (end == std::string::npos || text[end] != 'm')
            continue;
        std::string parameters = text.substr(at + 2, end - at - 2) + ";";
        for (std::size_t start = 0, stop; (stop = parameters.find(';', start)) != std::string::npos;
             start = stop + 1) {
            const int code = stop == start ? 0 : std::stoi(parameters.substr(start, stop - start));
            if (code == 0)
                state = rendition{49, false, state.ever_blinked};
            else if (code == 5 || code == 6)
                state.blink = state.ever_blinked = true;
            else if (code == 25)
                state.blink = false;
            else if ((code >= 40 && code <= 49) || (code >= 100 && code <= 107))
                state.background = code;
        }
    }
    return state;
}

std::string ice_screen(const std::string &art) {
    record_fields fields;
    fields.flags = 0x01;
    return art + "\x1a" + record(fields);
}

TEST(ScreenWrite, IceColoursMakeBlinkABrightBackground) {
    struct example {
        std::string art;
        int background;
    };
    const example examples[] = {
        {"\x1b[5;44mX", 104},
        {"\x1b[44;5mX", 104},
        {"\x1b[0;1;5;33;41mX", 101},
        {"\x1b[5m\x1b[42mX", 102},
        {"\x1b[47m\x1b[5mX", 107},
        {"\x1b[5;44m\x1b[25mX", 44},
        {"\x1b[5;44m\x1b[0mX", 49},
        {"\x1b[5;44m\x1b[mX", 49},
        {"\x1b[5;44m\x1b[0;46mX", 46},
        {"\x1b[5;44m\x1b[49mX", 100},
        {"\x1b[1;5;37;40mX", 100},
        {"\x1b[5mX", 100},
        {"\x1b[44;5;25mX", 44},
        // A colour form other than 5 and 2 is no colour: its 6 would blink.
        {"\x1b[44;38;6mX", 104},
    };
    for (const example &case_ : examples) {
        const std::string text = written(ice_screen(case_.art));
        const std::string before_reset = text.substr(0, text.rfind(reset));
        const rendition state = rendition_after(before_reset);
        EXPECT_EQ(state.background, case_.background) << case_.art;
        EXPECT_FALSE(state.ever_blinked) << case_.art;
        EXPECT_NE(before_reset.find('X'), std::string::npos) << case_.art;
    }
    // Other codes keep their order and values.
    const std::string text = written(ice_screen("\x1b[1;33;38;5;208mX"));
    EXPECT_NE(text.find("1;33;38;5;208"), std::string::npos) << text;
    // Without the flag, blink is what the art asks for.
    EXPECT_EQ(written("\x1b[5;44mX"), "\x1b[5;44mX" + reset + "\r\n");
}

TEST(ScreenWrite, GuessesTheCharacterSet) {
    // Valid UTF-8 with a multi-byte sequence passes unchanged, unwrapped.
    const std::string utf8_row = std::string(100, 'x') + "é\x1b[5;44m\x01\r\n";
    EXPECT_EQ(written(utf8_row, TREMLOX_CHARSET_GUESS), utf8_row + reset);
    EXPECT_EQ(written("\xe2\x95\x94", TREMLOX_CHARSET_GUESS), "\xe2\x95\x94" + reset + "\r\n");
    EXPECT_EQ(written("\xf0\x9f\x98\x80", TREMLOX_CHARSET_GUESS),
              "\xf0\x9f\x98\x80" + reset + "\r\n");
    // Plain ASCII, or anything that is not valid UTF-8, is CP437.
    EXPECT_EQ(written("\x01", TREMLOX_CHARSET_GUESS), "☺" + reset + "\r\n");
    EXPECT_EQ(written("\x82", TREMLOX_CHARSET_GUESS), "é" + reset + "\r\n");
    EXPECT_EQ(written("é\x82", TREMLOX_CHARSET_GUESS), "├⌐é" + reset + "\r\n");
    EXPECT_EQ(written("\xc0\xaf", TREMLOX_CHARSET_GUESS), "└»" + reset + "\r\n");      // overlong
    EXPECT_EQ(written("\xed\xa0\x80", TREMLOX_CHARSET_GUESS), "φáÇ" + reset + "\r\n"); // surrogate
    EXPECT_EQ(written("\xe2\x95", TREMLOX_CHARSET_GUESS), "Γò" + reset + "\r\n");      // cut off
    EXPECT_EQ(written("\xf4\x90\x80\x80", TREMLOX_CHARSET_GUESS), "⌠ÉÇÇ" + reset + "\r\n");
    // Told UTF-8, the bytes go out as they are, also when invalid.
    EXPECT_EQ(written("\x82\r\n", TREMLOX_CHARSET_UTF8), "\x82\r\n" + reset);
    // The end needs a line break only when the last line holds something.
    EXPECT_EQ(written("é\r\n\x1b[1m", TREMLOX_CHARSET_GUESS), "é\r\n\x1b[1m" + reset);
    EXPECT_EQ(written("é\r\n\x1b[1mx", TREMLOX_CHARSET_GUESS), "é\r\n\x1b[1mx" + reset + "\r\n");
    // The UTF-8 art's record is not written either.
    EXPECT_EQ(written("é\r\n\x1a" + record({}), TREMLOX_CHARSET_GUESS), "é\r\n" + reset);
}

TEST(ScreenWrite, RefusesBadArguments) {
    std::FILE *file = std::tmpfile();
    errno = 0;
    EXPECT_EQ(tremlox_screen_write(nullptr, "x", 1, TREMLOX_CHARSET_CP437), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(tremlox_screen_write(file, nullptr, 1, TREMLOX_CHARSET_CP437), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(tremlox_screen_write(file, "x", 1, static_cast<tremlox_charset>(7)), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(tremlox_screen_write(file, nullptr, 0, TREMLOX_CHARSET_GUESS), 0);
    EXPECT_EQ(tremlox_screen_write(file, nullptr, 0, TREMLOX_CHARSET_UTF8), 0);
    std::fclose(file);
}

} // namespace
