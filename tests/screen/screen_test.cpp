// The screen library: records built field by field (screen_support.h),
// lying records and their comments, the CP437 table, the renderer's colours and rows, the grid's
// caps, and the options. How the art draws into the grid is the
// conformance table's (screen_conformance.txt).
#include "cp437.h"
#include "screen_support.h"
#include "terminal_colours.h"

#include <tremlox/screen.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using screen_support::comment_block;
using screen_support::read_rendered_text;
using screen_support::record;
using screen_support::record_fields;
using screen_support::utf8;

// Parses a copy of `screen` in a buffer of exactly its size, so that the
// address sanitizer sees any read past its end.
std::size_t parse(const std::string &screen, tremlox_sauce &sauce) {
    const std::unique_ptr<char[]> exact(new char[screen.size()]);
    std::copy(screen.begin(), screen.end(), exact.get());
    return tremlox_screen_parse(exact.get(), screen.size(), &sauce);
}

// The text `screen` is written as, read back from a file.
std::string written(const std::string &screen, const tremlox_screen_options &options) {
    std::FILE *file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    EXPECT_EQ(tremlox_screen_write_with(file, screen.data(), screen.size(), &options), 0);
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
    std::fclose(file);
    return text;
}

tremlox_screen_options options_of(tremlox_colours colours, unsigned width,
                                  unsigned column_limit = 0) {
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.colours = colours;
    options.width = width;
    options.column_limit = column_limit;
    return options;
}

using grid_pointer = std::unique_ptr<tremlox_grid, void (*)(tremlox_grid *)>;

grid_pointer drawn(const std::string &screen, const tremlox_screen_options *options = nullptr) {
    return grid_pointer(tremlox_screen_draw(screen.data(), screen.size(), options),
                        tremlox_grid_free);
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
        EXPECT_EQ(utf8(tremlox__cp437_code_point(static_cast<unsigned char>(byte))), glyphs[byte])
            << "byte " << byte;
}

TEST(ScreenRender, EveryByteValueAsCp437) {
    const std::vector<std::string> glyphs = expected_glyphs();
    ASSERT_EQ(glyphs.size(), 256u);
    tremlox_screen_options options = options_of(TREMLOX_COLOURS_NONE, 1);
    options.charset = TREMLOX_CHARSET_CP437;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte == '\t' || byte == '\n' || byte == '\r' || byte == 26 || byte == 27)
            continue;
        EXPECT_EQ(written(std::string(1, static_cast<char>(byte)), options), glyphs[byte] + "\r\n")
            << "byte " << byte;
    }
}

TEST(ScreenRender, EachRowIsOneLineAsWideAsTheArt) {
    const tremlox_screen_options none = options_of(TREMLOX_COLOURS_NONE, 4);
    EXPECT_EQ(written("ab\r\nc", none), "ab  \r\nc   \r\n");
    // Rows never drawn on between drawn ones are blank lines of the width.
    EXPECT_EQ(written("a\x1b[3Bb", none), "a   \r\n    \r\n    \r\n b  \r\n");
    // Glyphs past the column limit are clipped; a limit past the width is none.
    EXPECT_EQ(written("abcdef", options_of(TREMLOX_COLOURS_NONE, 6, 4)), "abcd\r\n");
    EXPECT_EQ(written("abcdef", options_of(TREMLOX_COLOURS_NONE, 6, 99)), "abcdef\r\n");
    EXPECT_EQ(written("é", options_of(TREMLOX_COLOURS_NONE, 3)), "é  \r\n");
    // A file is no terminal: nothing is clipped, and TREMLOX_ALL_COLUMNS never clips.
    EXPECT_EQ(written(std::string(90, 'x'), options_of(TREMLOX_COLOURS_NONE, 90)),
              std::string(90, 'x') + "\r\n");
    EXPECT_EQ(written("abc", options_of(TREMLOX_COLOURS_NONE, 3, TREMLOX_ALL_COLUMNS)), "abc\r\n");
    // An empty screen writes nothing at all.
    EXPECT_EQ(written("", options_of(TREMLOX_COLOURS_24_BIT, 4)), "");
    EXPECT_EQ(written("\x1b[2J\x1b[0m", options_of(TREMLOX_COLOURS_24_BIT, 4)), "");
}

TEST(ScreenRender, WideGlyphsOnceMarksAfterTheirGlyphAndNothingSplitByTheClip) {
    const tremlox_screen_options none = options_of(TREMLOX_COLOURS_NONE, 5);
    EXPECT_EQ(written("ＡＢc", none), "ＡＢc\r\n");
    EXPECT_EQ(written("e\xcc\x81\xcc\xa3x", none), "e\xcc\x81\xcc\xa3x   \r\n");
    // A wide glyph the clip would cut in two is a blank in its colours.
    EXPECT_EQ(written("aＢc", options_of(TREMLOX_COLOURS_NONE, 4, 2)), "a \r\n");
    EXPECT_EQ(written("\x1b[44maＢ", options_of(TREMLOX_COLOURS_16, 3, 2)),
              "\x1b[39;44ma \x1b[0m\r\n");
}

TEST(ScreenRender, TheTerminalsOwnColoursAre39And49With7And8WhereNeeded) {
    for (const tremlox_colours colours :
         {TREMLOX_COLOURS_24_BIT, TREMLOX_COLOURS_256, TREMLOX_COLOURS_16}) {
        const tremlox_screen_options options = options_of(colours, 2);
        // Left to the terminal, reversed, concealed, and bold in its own colour.
        EXPECT_EQ(written("é", options), "\x1b[39;49mé \x1b[0m\r\n");
        EXPECT_EQ(written("\x1b[7mé\x1b[27m", options), "\x1b[7;39;49mé\x1b[27m \x1b[0m\r\n");
        EXPECT_EQ(written("\x1b[8mé\x1b[28m", options), "\x1b[8;39;49mé\x1b[28m \x1b[0m\r\n");
        EXPECT_EQ(written("\x1b[7;8mé\x1b[0m", options), "\x1b[7;8;39;49mé\x1b[27;28m \x1b[0m\r\n");
        EXPECT_EQ(written("\x1b[1mé\x1b[22m", options), "\x1b[1;39;49mé\x1b[22m \x1b[0m\r\n");
    }
    // The art's colour on the terminal's background, reversed: the colour is
    // set as the text and shown as the background.
    EXPECT_EQ(written("\x1b[38;2;1;2;3;7mé", options_of(TREMLOX_COLOURS_24_BIT, 1)),
              "\x1b[7;38;2;1;2;3;49mé\x1b[0m\r\n");
    EXPECT_EQ(written("\x1b[41;7mé", options_of(TREMLOX_COLOURS_16, 1)),
              "\x1b[7;39;41mé\x1b[0m\r\n");
    // CP437 art is told its VGA colours; bold brightens them, never SGR 1.
    EXPECT_EQ(written("\x1b[1mA", options_of(TREMLOX_COLOURS_16, 1)), "\x1b[97;40mA\x1b[0m\r\n");
    // Asked for, either art gets the other default colours.
    tremlox_screen_options vga = options_of(TREMLOX_COLOURS_16, 1);
    vga.default_colours = TREMLOX_DEFAULT_COLOURS_VGA;
    EXPECT_EQ(written("é", vga), "\x1b[37;40mé\x1b[0m\r\n");
    tremlox_screen_options terminal = options_of(TREMLOX_COLOURS_16, 1);
    terminal.default_colours = TREMLOX_DEFAULT_COLOURS_TERMINAL;
    EXPECT_EQ(written("A", terminal), "\x1b[39;49mA\x1b[0m\r\n");
}

TEST(ScreenRender, TwentyFourBitColoursAreTheVgaCard) {
    const tremlox_screen_options rgb = options_of(TREMLOX_COLOURS_24_BIT, 2);
    // Brown and the default grey on black, written out for every cell.
    EXPECT_EQ(written("\x1b[33mA", rgb),
              "\x1b[38;2;170;85;0;48;2;0;0;0mA\x1b[38;2;170;170;170m \x1b[0m\r\n");
    EXPECT_EQ(written("\x1b[1;30;44mA", rgb),
              "\x1b[38;2;85;85;85;48;2;0;0;170mA\x1b[38;2;170;170;170;48;2;0;0;0m \x1b[0m\r\n");
    // The art's own 24-bit colours.
    EXPECT_EQ(written("\x1b[38;2;1;22;255;48;5;208mAB", rgb),
              "\x1b[38;2;1;22;255;48;2;255;135;0mAB\x1b[0m\r\n");
    // Every row starts afresh after its reset.
    EXPECT_EQ(written("\x1b[31mA\r\nB", options_of(TREMLOX_COLOURS_24_BIT, 1)),
              "\x1b[38;2;170;0;0;48;2;0;0;0mA\x1b[0m\r\n\x1b[38;2;170;0;0;48;2;0;0;0mB\x1b[0m\r\n");
}

TEST(ScreenRender, TwoHundredFiftySixColoursAreTheNearestOfXterms) {
    const tremlox_screen_options xterm = options_of(TREMLOX_COLOURS_256, 1);
    // Brown #AA5500 is #AF5F00; grey #AAAAAA the ramp's #A8A8A8; black the cube's.
    EXPECT_EQ(written("\x1b[33mA", xterm), "\x1b[38;5;130;48;5;16mA\x1b[0m\r\n");
    EXPECT_EQ(written("A", xterm), "\x1b[38;5;248;48;5;16mA\x1b[0m\r\n");
    EXPECT_EQ(written("\x1b[1;37;44mA", xterm), "\x1b[38;5;231;48;5;19mA\x1b[0m\r\n");
    EXPECT_EQ(written("\x1b[38;2;255;135;0;48;2;128;128;128mA", xterm),
              "\x1b[38;5;208;48;5;244mA\x1b[0m\r\n");
}

TEST(ScreenRender, SixteenColoursAreBrightWithoutBold) {
    const tremlox_screen_options sixteen = options_of(TREMLOX_COLOURS_16, 1);
    EXPECT_EQ(written("\x1b[1;30mA", sixteen), "\x1b[90;40mA\x1b[0m\r\n");
    EXPECT_EQ(written("\x1b[33;41mA", sixteen), "\x1b[33;41mA\x1b[0m\r\n");
    EXPECT_EQ(written("A", sixteen), "\x1b[37;40mA\x1b[0m\r\n");
    EXPECT_EQ(written("\x1b[97;107mA", sixteen), "\x1b[97;107mA\x1b[0m\r\n");
    // iCE colours: the bright background as 100-107.
    record_fields fields;
    fields.width = 1;
    fields.flags = 1;
    EXPECT_EQ(written("\x1b[5;34;44mA\x1a" + record(fields), sixteen), "\x1b[34;104mA\x1b[0m\r\n");
    // A 24-bit colour as the nearest VGA colour.
    EXPECT_EQ(written("\x1b[38;2;250;250;80;48;2;0;0;160mA", sixteen), "\x1b[93;44mA\x1b[0m\r\n");
}

// UTF-8 art is written back as its bytes named it, for the terminal to show
// as it shows them to cat: its own palette, bold, and every attribute.
TEST(ScreenRender, ModernArtIsWrittenAsItsBytesSayInEveryMode) {
    struct render_case {
        std::string art;
        std::string direct, xterm, sixteen; // the SGR of 24-bit, 256 and 16 colours
    };
    const std::vector<render_case> cases = {
        // Palette entries by code stay codes; by number, numbers, or the nearest of 16.
        {"\x1b[31;107m", "\x1b[31;107m", "\x1b[31;107m", "\x1b[31;107m"},
        {"\x1b[38;5;1;48;5;231m", "\x1b[38;5;1;48;5;231m", "\x1b[38;5;1;48;5;231m",
         "\x1b[31;107m"},
        // Bold is bold, on a dark colour too.
        {"\x1b[1;30m", "\x1b[1;30;49m", "\x1b[1;30;49m", "\x1b[1;30;49m"},
        // 24-bit colours as the mode has them.
        {"\x1b[38;2;255;0;0m", "\x1b[38;2;255;0;0;49m", "\x1b[38;5;196;49m", "\x1b[31;49m"},
        // Reverse and conceal as the art set them, the hidden colour too.
        {"\x1b[32;41;7m", "\x1b[7;32;41m", "\x1b[7;32;41m", "\x1b[7;32;41m"},
        {"\x1b[32;41;8m", "\x1b[8;32;41m", "\x1b[8;32;41m", "\x1b[8;32;41m"},
        {"\x1b[7;8;32m", "\x1b[7;8;32;49m", "\x1b[7;8;32;49m", "\x1b[7;8;32;49m"},
        // Every attribute, and underlines of each kind.
        {"\x1b[2;3;9;53;21m", "\x1b[2;3;21;9;53;39;49m", "\x1b[2;3;21;9;53;39;49m",
         "\x1b[2;3;21;9;53;39;49m"},
        {"\x1b[4m", "\x1b[4;39;49m", "\x1b[4;39;49m", "\x1b[4;39;49m"},
        {"\x1b[4:5m", "\x1b[4:5;39;49m", "\x1b[4:5;39;49m", "\x1b[4:5;39;49m"},
        // The underline colour in the art's form: a terminal that does not
        // know 58 shows it as it shows it to cat.
        {"\x1b[58;2;1;2;3m", "\x1b[39;49;58;2;1;2;3m", "\x1b[39;49;58;5;16m",
         "\x1b[39;49;58;5;0m"},
        {"\x1b[58:2:1:2:3m", "\x1b[39;49;58:2::1:2:3m", "\x1b[39;49;58:5:16m",
         "\x1b[39;49;58:5:0m"},
        {"\x1b[58:5:9m", "\x1b[39;49;58:5:9m", "\x1b[39;49;58:5:9m", "\x1b[39;49;58:5:9m"},
    };
    for (const render_case &case_ : cases)
        for (const auto &[colours, meant] :
             {std::pair{TREMLOX_COLOURS_24_BIT, case_.direct},
              std::pair{TREMLOX_COLOURS_256, case_.xterm},
              std::pair{TREMLOX_COLOURS_16, case_.sixteen}}) {
            const std::string text = written(case_.art + "é", options_of(colours, 1));
            EXPECT_EQ(text, meant + "é\x1b[0m\r\n") << case_.art << " in mode " << colours;
            EXPECT_EQ(read_rendered_text(text).fault, "") << text;
        }
    // Only the attributes that end are ended: 22 ends bold and faint both.
    EXPECT_EQ(written("\x1b[1;2;4;58;5;9mé\x1b[22;1;24;58:5:9mb\x1b[0;4:3mc",
                      options_of(TREMLOX_COLOURS_16, 3)),
              "\x1b[1;2;4;39;49;58;5;9mé\x1b[22;1;24;58:5:9mb\x1b[22;4:3;59mc\x1b[0m\r\n");
    EXPECT_EQ(written("\x1b[1;2;3;4;9;53;7;8;38;5;196;58:5:1mé", options_of(TREMLOX_COLOURS_NONE, 1)),
              "é\r\n");
}

TEST(ScreenRender, BlinkWithoutIceColoursIsSgr5) {
    EXPECT_EQ(written("\x1b[5mAB\x1b[25mC", options_of(TREMLOX_COLOURS_16, 3)),
              "\x1b[37;40;5mAB\x1b[25mC\x1b[0m\r\n");
    EXPECT_EQ(written("\x1b[5mA", options_of(TREMLOX_COLOURS_24_BIT, 1)),
              "\x1b[38;2;170;170;170;48;2;0;0;0;5mA\x1b[0m\r\n");
    EXPECT_EQ(written("\x1b[5mA", options_of(TREMLOX_COLOURS_NONE, 1)), "A\r\n");
}

TEST(ScreenRender, OnlyWhatChangesIsWritten) {
    const tremlox_screen_options sixteen = options_of(TREMLOX_COLOURS_16, 6);
    EXPECT_EQ(written("\x1b[31mAB\x1b[44mC\x1b[1mD\x1b[0;31;44mEF", sixteen),
              "\x1b[31;40mAB\x1b[44mC\x1b[91mD\x1b[31mEF\x1b[0m\r\n");
    // Colours that map to the same terminal colour are not written again.
    EXPECT_EQ(
        written("\x1b[38;2;255;135;0mA\x1b[38;2;250;140;5mB", options_of(TREMLOX_COLOURS_256, 2)),
        "\x1b[38;5;208;48;5;16mAB\x1b[0m\r\n");
}

TEST(ScreenRender, NothingButGlyphsSgrAndLineBreaksLeaves) {
    const std::string hostile =
        "\x1b[2Ja\x1b]8;;http://"
        "x\alink\x1b]8;;\a\x1b[6n\x1b[?1049h\x1b[21t\x1b[?1000h\x1b[3;5H\x1b[79C\x1b[5C"
        "X\x1b[s\x1b[u\x1bPq\x1b\\\x1b_x\x1b\\\x1b^y\x1b\\\x1bXz\x1b\\\x1b"
        "c\x1b(B\x1b[>4;1m\x1b[=5u\x07\x08\x0b\x0c\x0e"
        "\x7f\xc2\x9b\xc2\x9d\x1b[1;2;3;4;5;6;7;8;9;38;5;300;48;2;1;2;3m\x1b[";
    for (const tremlox_colours colours :
         {TREMLOX_COLOURS_24_BIT, TREMLOX_COLOURS_256, TREMLOX_COLOURS_16, TREMLOX_COLOURS_NONE})
        for (const tremlox_charset charset : {TREMLOX_CHARSET_CP437, TREMLOX_CHARSET_UTF8}) {
            tremlox_screen_options options = options_of(colours, 0);
            options.charset = charset;
            const std::string text = written(hostile, options);
            EXPECT_EQ(read_rendered_text(text).fault, "") << text;
            EXPECT_NE(text.find("link"), std::string::npos) << text;
            EXPECT_EQ(text.find("http"), std::string::npos) << text;
        }
}

TEST(ScreenRender, WriteIsTheRendererWithAutoSettings) {
    // A full row and then CR LF: the art says VT, so no blank row.
    const std::string art = std::string(80, 'x') + "\r\nB";
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.charset = TREMLOX_CHARSET_CP437;
    std::FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(tremlox_screen_write(file, art.data(), art.size(), TREMLOX_CHARSET_CP437), 0);
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    ASSERT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
    std::fclose(file);
    EXPECT_EQ(text, written(art, options));
    EXPECT_EQ(read_rendered_text(text).fault, "") << text;
    // Two rows, each ending with a reset and a line break.
    std::size_t row_ends = 0;
    for (std::size_t at = text.find("\x1b[0m\r\n"); at != std::string::npos;
         at = text.find("\x1b[0m\r\n", at + 1))
        ++row_ends;
    EXPECT_EQ(row_ends, 2u) << text;
    EXPECT_EQ(text.compare(text.size() - 6, 6, "\x1b[0m\r\n"), 0) << text;
}

// The environment a case of the colour rule sees: NAME=VALUE words.
std::map<std::string, std::string> environment_of_case;

const char *variable_of_case(const char *name) {
    const auto found = environment_of_case.find(name);
    return found != environment_of_case.end() ? found->second.c_str() : nullptr;
}

TEST(ScreenColours, AutoFollowsWhatTheUserAndTheTerminalSay) {
    struct colour_case {
        std::vector<std::string> environment;
        bool console_takes_escapes;
        tremlox_colours meant;
    };
    const tremlox_colours direct = TREMLOX_COLOURS_24_BIT, xterm = TREMLOX_COLOURS_256,
                          sixteen = TREMLOX_COLOURS_16, none = TREMLOX_COLOURS_NONE;
    const std::vector<colour_case> cases = {
        // The user first: NO_COLOR, then TREMLOX_COLOURS, over anything the terminal says.
        {{"NO_COLOR=1", "COLORTERM=truecolor", "TREMLOX_COLOURS=24bit"}, true, none},
        {{"NO_COLOR=", "TREMLOX_COLOURS=16", "COLORTERM=truecolor"}, true, sixteen},
        {{"TREMLOX_COLOURS=24bit", "TERM=dumb"}, false, direct},
        {{"TREMLOX_COLOURS=none", "TERM=xterm-kitty"}, false, none},
        {{"TREMLOX_COLOURS=truecolor", "TERM=xterm"}, false, xterm},
        // A dumb terminal takes no escape sequence, whatever else it claims.
        {{"TERM=dumb", "COLORTERM=truecolor"}, true, none},
        // 24-bit: said, or known of the terminal, not only by its name's start.
        {{"COLORTERM=24bit", "TERM=screen"}, false, direct},
        {{"TERM=xterm-direct256"}, false, direct},
        {{"TERM=foot-extra"}, false, direct},
        {{"TERM=footloose"}, false, sixteen},
        {{"TERM=xterm-256color", "VTE_VERSION=3600"}, false, direct},
        {{"TERM=xterm-256color", "VTE_VERSION=3405"}, false, xterm},
        {{"WT_SESSION=5f3c"}, false, direct},
        {{}, true, direct},
        // 256: named, and stock xterm; the rest 16.
        {{"TERM=xterm"}, false, xterm},
        {{"TERM=xterm-color"}, false, sixteen},
        {{}, false, sixteen},
    };
    for (const colour_case &case_ : cases) {
        environment_of_case.clear();
        std::string described;
        for (const std::string &word : case_.environment) {
            const std::size_t equals = word.find('=');
            environment_of_case[word.substr(0, equals)] = word.substr(equals + 1);
            described += word + " ";
        }
        EXPECT_EQ(tremlox__colours_of_terminal(variable_of_case, case_.console_takes_escapes),
                  case_.meant)
            << described << (case_.console_takes_escapes ? "on a console" : "");
    }
}

TEST(ScreenGrid, CapsBoundTheGrid) {
    // A cursor sent past the rows the grid can hold draws nothing there.
    grid_pointer far = drawn("\x1b[65535;65535HX");
    ASSERT_NE(far, nullptr);
    EXPECT_TRUE(tremlox_grid_clipped(far.get()));
    EXPECT_EQ(tremlox_grid_height(far.get()), 0u);
    EXPECT_EQ(tremlox_grid_width(far.get()), 80u);
    // B goes no further than the last row the grid holds.
    grid_pointer down = drawn("\x1b[65535BX");
    ASSERT_NE(down, nullptr);
    EXPECT_FALSE(tremlox_grid_clipped(down.get()));
    ASSERT_EQ(tremlox_grid_height(down.get()), unsigned{TREMLOX_SCREEN_MAX_ROWS});
    EXPECT_EQ(tremlox_grid_row(down.get(), TREMLOX_SCREEN_MAX_ROWS - 1)[0].glyph,
              std::uint32_t{'X'});
    EXPECT_EQ(tremlox_grid_row(down.get(), 0)[0].glyph, std::uint32_t{' '});
    // A million line feeds: the rows past the cap are dropped.
    grid_pointer fed = drawn(std::string(1000000, '\n') + "X");
    ASSERT_NE(fed, nullptr);
    EXPECT_TRUE(tremlox_grid_clipped(fed.get()));
    EXPECT_EQ(tremlox_grid_height(fed.get()), 0u);
    grid_pointer last = drawn(std::string(TREMLOX_SCREEN_MAX_ROWS - 1, '\n') + "X");
    ASSERT_NE(last, nullptr);
    EXPECT_FALSE(tremlox_grid_clipped(last.get()));
    EXPECT_EQ(tremlox_grid_height(last.get()), unsigned{TREMLOX_SCREEN_MAX_ROWS});
    // A record's width of 65535: the columns past the cap are dropped, and
    // the art still wraps at 65535.
    record_fields fields;
    fields.width = 65535;
    grid_pointer wide = drawn("a\x1b[1100Cb\x1b[65535Gcd\x1a" + record(fields));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(tremlox_grid_width(wide.get()), unsigned{TREMLOX_SCREEN_MAX_COLUMNS});
    EXPECT_TRUE(tremlox_grid_clipped(wide.get()));
    ASSERT_EQ(tremlox_grid_height(wide.get()), 2u);
    EXPECT_EQ(tremlox_grid_row(wide.get(), 0)[0].glyph, std::uint32_t{'a'});
    EXPECT_EQ(tremlox_grid_row(wide.get(), 1)[0].glyph, std::uint32_t{'d'});
    EXPECT_EQ(tremlox_grid_row(wide.get(), 2), nullptr);
    // Clipped art still renders what fits.
    EXPECT_EQ(written("ab\x1b[65535;1Hc", options_of(TREMLOX_COLOURS_NONE, 3)), "ab \r\n");
}

TEST(ScreenGrid, CellsAndPalette) {
    grid_pointer grid = drawn("\x1b[1;33;44mA\x1b[0m\x1b[38;2;1;2;3mB\r\n\x1b[5mC");
    ASSERT_NE(grid, nullptr);
    ASSERT_EQ(tremlox_grid_height(grid.get()), 2u);
    const tremlox_cell *top = tremlox_grid_row(grid.get(), 0);
    EXPECT_EQ(top[0].glyph, std::uint32_t{'A'});
    EXPECT_EQ(top[0].foreground, tremlox_colour{TREMLOX_VGA_YELLOW});
    EXPECT_EQ(top[0].background, tremlox_colour{TREMLOX_VGA_BLUE});
    EXPECT_TRUE(TREMLOX_COLOUR_IS_RGB(top[1].foreground));
    EXPECT_EQ(tremlox_colour_rgb(top[1].foreground), 0x010203u);
    EXPECT_EQ(top[2].glyph, std::uint32_t{' '});
    EXPECT_EQ(top[2].foreground, tremlox_colour{TREMLOX_VGA_LIGHT_GREY});
    EXPECT_TRUE(tremlox_grid_row(grid.get(), 1)[0].blink);
    // What the drawing decided: no multi-byte sequence, no full row.
    EXPECT_EQ(tremlox_grid_charset(grid.get()), TREMLOX_CHARSET_CP437);
    EXPECT_EQ(tremlox_grid_wrapping(grid.get()), TREMLOX_WRAPPING_DOS);
    grid_pointer modern = drawn(std::string(80, 'x') + "\r\n\xe2\x96\x88");
    ASSERT_NE(modern, nullptr);
    EXPECT_EQ(tremlox_grid_charset(modern.get()), TREMLOX_CHARSET_UTF8);
    EXPECT_EQ(tremlox_grid_wrapping(modern.get()), TREMLOX_WRAPPING_VT);
    // The palette a program draws with.
    EXPECT_EQ(tremlox_colour_rgb(TREMLOX_VGA_BROWN), 0xaa5500u);
    EXPECT_EQ(tremlox_colour_rgb(TREMLOX_VGA_DARK_GREY), 0x555555u);
    EXPECT_EQ(tremlox_colour_rgb(TREMLOX_VGA_LIGHT_GREY), 0xaaaaaau);
    EXPECT_EQ(tremlox_colour_rgb(TREMLOX_VGA_BLUE), 0x0000aau);
    EXPECT_EQ(tremlox_colour_rgb(TREMLOX_VGA_WHITE), 0xffffffu);
    EXPECT_EQ(tremlox_vga_palette[TREMLOX_VGA_LIGHT_RED][0], 255u);
    EXPECT_EQ(tremlox_vga_palette[TREMLOX_VGA_LIGHT_RED][1], 85u);
    EXPECT_EQ(tremlox_colour_rgb(TREMLOX_RGB(255, 254, 253)), 0xfffefdu);
    // The terminal's own colours, for a program that draws cells itself.
    EXPECT_EQ(tremlox_colour_rgb(TREMLOX_TERMINAL_FOREGROUND), 0xaaaaaau);
    EXPECT_EQ(tremlox_colour_rgb(TREMLOX_TERMINAL_BACKGROUND), 0x000000u);
    EXPECT_FALSE(TREMLOX_COLOUR_IS_TERMINAL(TREMLOX_RGB(255, 255, 255)));
    // A wide glyph's two cells, and the marks joined to a glyph.
    grid_pointer wide = drawn("Ａe\xcc\x81\xcc\x81\xcc\x81\xcc\x81\xcc\x81");
    ASSERT_NE(wide, nullptr);
    const tremlox_cell *wide_cells = tremlox_grid_row(wide.get(), 0);
    EXPECT_EQ(wide_cells[0].width, 2u);
    EXPECT_EQ(wide_cells[1].width, 0u);
    EXPECT_EQ(wide_cells[1].glyph, std::uint32_t{' '});
    EXPECT_EQ(wide_cells[2].glyph, std::uint32_t{'e'});
    EXPECT_EQ(wide_cells[2].marks, unsigned{TREMLOX_CELL_MAX_MARKS}) << "the fifth is dropped";
    ASSERT_NE(tremlox_grid_marks(wide.get(), 0, 2), nullptr);
    EXPECT_EQ(tremlox_grid_marks(wide.get(), 0, 2)[3], 0x301u);
    EXPECT_EQ(tremlox_grid_marks(wide.get(), 0, 0), nullptr);
    EXPECT_EQ(tremlox_grid_marks(wide.get(), 0, 80), nullptr);
    EXPECT_EQ(tremlox_grid_marks(wide.get(), 1, 0), nullptr);
    EXPECT_EQ(wide_cells[3].foreground, tremlox_colour{TREMLOX_TERMINAL_FOREGROUND});
    EXPECT_EQ(tremlox_grid_row(nullptr, 0), nullptr);
    EXPECT_EQ(tremlox_grid_height(nullptr), 0u);
    tremlox_grid_free(nullptr);
}

TEST(ScreenOptions, OlderAndBadOptions) {
    // No options are the defaults.
    grid_pointer grid = drawn("abc", nullptr);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(tremlox_grid_width(grid.get()), 80u);
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    EXPECT_EQ(options.size, sizeof(tremlox_screen_options));
    // A size no version had, or values no enum holds, are refused.
    for (const std::size_t size : {std::size_t{1}, sizeof(std::size_t)}) {
        options.size = size;
        errno = 0;
        EXPECT_EQ(drawn("abc", &options), nullptr);
        EXPECT_EQ(errno, EINVAL);
    }
    const auto refused = [](tremlox_screen_options bad) {
        errno = 0;
        const bool refused = drawn("abc", &bad) == nullptr && errno == EINVAL;
        std::FILE *file = std::tmpfile();
        errno = 0;
        const bool refused_too =
            tremlox_screen_write_with(file, "abc", 3, &bad) == -1 && errno == EINVAL;
        std::fclose(file);
        return refused && refused_too;
    };
    options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.charset = static_cast<tremlox_charset>(3);
    EXPECT_TRUE(refused(options));
    options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.wrapping = static_cast<tremlox_wrapping>(-1);
    EXPECT_TRUE(refused(options));
    options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.colours = static_cast<tremlox_colours>(5);
    EXPECT_TRUE(refused(options));
    options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.default_colours = static_cast<tremlox_default_colours>(3);
    EXPECT_TRUE(refused(options));
    // A later version's caller gives a larger size: what this one knows counts.
    struct later_options {
        tremlox_screen_options known;
        int added_later;
    } later = {TREMLOX_SCREEN_OPTIONS_INIT, 1};
    later.known.size = sizeof later;
    later.known.colours = TREMLOX_COLOURS_NONE;
    later.known.width = 2;
    std::FILE *file = std::tmpfile();
    ASSERT_EQ(tremlox_screen_write_with(file, "abc", 3, &later.known), 0);
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    ASSERT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
    std::fclose(file);
    EXPECT_EQ(text, "ab\r\nc \r\n");
    // A struct of zeros, size and all, is the defaults; what is set in it counts.
    tremlox_screen_options zeroed = {};
    zeroed.colours = TREMLOX_COLOURS_NONE;
    zeroed.width = 2;
    EXPECT_EQ(written("abc", zeroed), "ab\r\nc \r\n");
    EXPECT_EQ(tremlox_grid_width(drawn("abc", &zeroed).get()), 2u);
    errno = 0;
    EXPECT_EQ(tremlox_grid_write(nullptr, grid.get(), nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    std::FILE *other = std::tmpfile();
    errno = 0;
    EXPECT_EQ(tremlox_grid_write(other, nullptr, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    std::fclose(other);
}

TEST(ScreenParse, CommentLinesAreRead) {
    record_fields fields;
    fields.comment_lines = 2;
    const std::string screen =
        "art\x1a" + comment_block({"first line", std::string(64, 'x')}) + record(fields);
    char text[65];
    EXPECT_TRUE(tremlox_screen_comment(screen.data(), screen.size(), 0, text));
    EXPECT_STREQ(text, "first line");
    EXPECT_TRUE(tremlox_screen_comment(screen.data(), screen.size(), 1, text));
    EXPECT_EQ(std::string(text), std::string(64, 'x'));
    EXPECT_FALSE(tremlox_screen_comment(screen.data(), screen.size(), 2, text));
    EXPECT_STREQ(text, "");
    // A count that is not believed gives no lines.
    fields.comment_lines = 255;
    const std::string lying = "art" + record(fields);
    EXPECT_FALSE(tremlox_screen_comment(lying.data(), lying.size(), 0, text));
    EXPECT_FALSE(tremlox_screen_comment(nullptr, 0, 0, text));
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
