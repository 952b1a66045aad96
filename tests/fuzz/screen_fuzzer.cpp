// Runs the screen library on arbitrary bytes: the record parser, the drawing
// into a grid, and the renderer in every colour mode. Whatever the screen,
// the record's texts end within their fields and the art lies within the
// screen; the grid stays within its caps and holds printable glyphs and
// real colours; and the renderer writes nothing but glyphs, SGR sequences
// and CR LF, one line a row, each exactly as wide as the grid or the column
// limit.
//
// Byte 0 picks the character set (its value modulo 3), the wrapping (its
// value / 3 modulo 3) and, for a large grid, the colour mode (its value / 9
// modulo 4); byte 1 the width (0 for the record's) and byte 2 the column
// limit (0 for none). The rest is the screen.
#include <tremlox/screen.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool ends_within(const char *text, std::size_t size) {
    return std::memchr(text, '\0', size) != nullptr;
}

void check_record(const char *screen, std::size_t size) {
    tremlox_sauce sauce;
    const std::size_t art = tremlox_screen_parse(screen, size, &sauce);
    require(art <= size, "art longer than the screen");
    require(std::memchr(screen, 26, art) == nullptr, "byte 26 inside the art");
    require(ends_within(sauce.title, sizeof sauce.title) &&
                ends_within(sauce.author, sizeof sauce.author) &&
                ends_within(sauce.group, sizeof sauce.group) &&
                ends_within(sauce.date, sizeof sauce.date) &&
                ends_within(sauce.font, sizeof sauce.font),
            "a text without its NUL");
    require(!sauce.present || art + 128 <= size, "art overlapping the record");
    require(sauce.comment_lines == 0 || art + 128 + 5 + 64u * sauce.comment_lines <= size,
            "comments overlapping the art");
    for (unsigned line = 0; line < sauce.comment_lines; ++line) {
        char text[65];
        require(tremlox_screen_comment(screen, size, line, text), "a comment line not read");
        require(ends_within(text, sizeof text), "a comment line without its NUL");
    }
}

bool printable(std::uint32_t glyph) {
    return glyph >= 0x20 && !(glyph >= 0x7f && glyph <= 0x9f) &&
           !(glyph >= 0xd800 && glyph <= 0xdfff) && glyph <= 0x10ffff;
}

bool real_colour(tremlox_colour colour) {
    return TREMLOX_COLOUR_IS_RGB(colour) ? colour <= 0x1ffffffu : colour < 16;
}

void check_grid(const tremlox_grid *grid) {
    const unsigned width = tremlox_grid_width(grid);
    const unsigned height = tremlox_grid_height(grid);
    require(width >= 1 && width <= TREMLOX_SCREEN_MAX_COLUMNS, "a width past the cap");
    require(height <= TREMLOX_SCREEN_MAX_ROWS, "a height past the cap");
    require(tremlox_grid_row(grid, height) == nullptr, "a row past the height");
    for (unsigned row = 0; row < height; ++row) {
        const tremlox_cell *cells = tremlox_grid_row(grid, row);
        require(cells != nullptr, "a row missing");
        for (unsigned column = 0; column < width; ++column)
            require(printable(cells[column].glyph) && real_colour(cells[column].foreground) &&
                        real_colour(cells[column].background),
                    "a cell that is no glyph or no colour");
    }
}

// Returns the bytes the UTF-8 glyph at text[at] takes, 0 when it is none.
std::size_t glyph_length(const std::string &text, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length;
    std::uint32_t code_point;
    if (lead < 0x80)
        return lead >= 0x20 && lead != 0x7f ? 1 : 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        code_point = lead & 0x1fu;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        code_point = lead & 0x0fu;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        code_point = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xc0u) != 0x80u)
            return 0;
        code_point = code_point << 6 | (next & 0x3fu);
    }
    const bool overlong =
        (length == 3 && code_point < 0x800) || (length == 4 && code_point < 0x10000);
    return !overlong && printable(code_point) ? length : 0;
}

// Checks the text of a grid `height` rows high whose lines hold `columns`
// glyphs each, with SGR sequences (none when `plain`).
void check_text(const std::string &text, unsigned height, unsigned columns, bool plain) {
    unsigned rows = 0;
    unsigned glyphs = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text.compare(at, 2, "\r\n") == 0) {
            require(glyphs == columns, "a line of another width");
            require(plain || (at >= 4 && text.compare(at - 4, 4, "\x1b[0m") == 0),
                    "a line without its reset");
            ++rows;
            glyphs = 0;
            at += 2;
        } else if (text[at] == '\x1b') {
            require(!plain, "an escape sequence without colours");
            const std::size_t end = text.find('m', at);
            require(text.compare(at, 2, "\x1b[") == 0 && end != std::string::npos &&
                        text.find_first_not_of("0123456789;", at + 2) == end,
                    "an escape sequence that is no SGR");
            at = end + 1;
        } else {
            const std::size_t length = glyph_length(text, at);
            require(length > 0, "a byte that is no glyph");
            ++glyphs;
            at += length;
        }
    }
    require(glyphs == 0, "text after the last line break");
    require(rows == height, "not one line a row");
}

constexpr std::uint64_t largest_for_all_modes = 100000; // cells

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 3)
        return 0;
    const tremlox_charset charsets[] = {TREMLOX_CHARSET_GUESS, TREMLOX_CHARSET_CP437,
                                        TREMLOX_CHARSET_UTF8};
    const tremlox_wrapping wrappings[] = {TREMLOX_WRAPPING_AUTO, TREMLOX_WRAPPING_DOS,
                                          TREMLOX_WRAPPING_VT};
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.charset = charsets[data[0] % 3];
    options.wrapping = wrappings[data[0] / 3 % 3];
    options.width = data[1];
    options.column_limit = data[2];
    const char *screen = reinterpret_cast<const char *>(data) + 3;
    const std::size_t screen_size = size - 3;
    check_record(screen, screen_size);

    tremlox_grid *grid = tremlox_screen_draw(screen, screen_size, &options);
    require(grid != nullptr, "drawing failed");
    check_grid(grid);
    const unsigned width = tremlox_grid_width(grid);
    const unsigned columns =
        options.column_limit > 0 && options.column_limit < width ? options.column_limit : width;
    // A grid near the caps is written in one mode, which byte 0 picks, to
    // keep the runs quick; a smaller one in all four.
    const tremlox_colours all_colours[] = {TREMLOX_COLOURS_24_BIT, TREMLOX_COLOURS_256,
                                           TREMLOX_COLOURS_16, TREMLOX_COLOURS_NONE};
    const bool large = std::uint64_t{width} * tremlox_grid_height(grid) > largest_for_all_modes;
    for (const tremlox_colours colours : all_colours) {
        if (large && colours != all_colours[data[0] / 9 % 4])
            continue;
        options.colours = colours;
        char *buffer = nullptr;
        std::size_t length = 0;
        std::FILE *out = open_memstream(&buffer, &length);
        require(out != nullptr, "open_memstream");
        require(tremlox_grid_write(out, grid, &options) == 0, "a write failed");
        std::fclose(out);
        const std::string text(buffer, length);
        std::free(buffer);
        check_text(text, tremlox_grid_height(grid), columns, colours == TREMLOX_COLOURS_NONE);
    }
    tremlox_grid_free(grid);
    return 0;
}
