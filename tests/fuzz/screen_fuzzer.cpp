// Runs the screen library on arbitrary bytes: the record parser, the drawing
// into a grid, and the renderer in every colour mode. Whatever the screen,
// the record's texts end within their fields and the art lies within the
// screen; the grid stays within its caps and holds printable glyphs, real
// colours and whole wide glyphs; and the renderer writes nothing but
// glyphs, SGR sequences and CR LF, one line a row, each exactly as many
// columns wide as the grid or the column limit.
//
// Byte 0 picks the character set (its value modulo 3), the wrapping (its
// value / 3 modulo 3), for a large grid the colour mode (its value / 9
// modulo 4), and the default colours (its value / 36 modulo 3); byte 1 the
// width (0 for the record's) and byte 2 the column limit (0 for none). The
// rest is the screen.
#include "font.h"
#include "glyph_kinds.h"
#include "grid.h"
#include "screen_support.h"

#include <tremlox/screen.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using screen_support::printable;
using screen_support::read_rendered_text;
using screen_support::rendered_line;
using screen_support::rendered_text;

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

bool real_colour(tremlox_colour colour) {
    if (TREMLOX_COLOUR_IS_TERMINAL(colour))
        return colour == TREMLOX_TERMINAL_FOREGROUND || colour == TREMLOX_TERMINAL_BACKGROUND;
    if (TREMLOX_COLOUR_IS_PALETTE(colour))
        return colour == TREMLOX_PALETTE_COLOUR(TREMLOX_PALETTE_INDEX(colour)) ||
               (TREMLOX_PALETTE_INDEX(colour) < 16 &&
                colour == (TREMLOX_PALETTE_COLOUR(TREMLOX_PALETTE_INDEX(colour)) |
                           TREMLOX_PALETTE_BY_CODE));
    return TREMLOX_COLOUR_IS_RGB(colour) ? colour <= 0x1ffffffu : colour < 16;
}

// Modern art's attributes are known ones, and CP437 art has none.
void check_attributes(const tremlox_grid *grid, unsigned row, unsigned column) {
    const tremlox_attributes *attributes = tremlox_grid_attributes(grid, row, column);
    const bool plain = tremlox__attributes_are_plain(attributes);
    require(attributes->flags < 0x80u && attributes->underline <= TREMLOX_UNDERLINE_DASHED &&
                (attributes->underline_colour == TREMLOX_UNDERLINE_FOREGROUND ||
                 real_colour(attributes->underline_colour)) &&
                (plain || tremlox_grid_charset(grid) == TREMLOX_CHARSET_UTF8),
            "an attribute no art sets");
}

// A wide glyph's left cell is followed by its right one, which follows
// nothing else; marks are printable, and no more than a cell holds.
void check_cell(const tremlox_grid *grid, unsigned row, unsigned column) {
    const tremlox_cell *cells = tremlox_grid_row(grid, row);
    const tremlox_cell &cell = cells[column];
    const unsigned width = tremlox_grid_width(grid);
    require(printable(cell.glyph) && real_colour(cell.foreground) && real_colour(cell.background),
            "a cell that is no glyph or no colour");
    require(!cell.bold || cell.foreground == TREMLOX_TERMINAL_FOREGROUND ||
                tremlox_grid_charset(grid) == TREMLOX_CHARSET_UTF8,
            "bold in CP437 art on another foreground than the terminal's own");
    check_attributes(grid, row, column);
    require(cell.width <= 2, "a cell wider than two columns");
    require(cell.width != 2 || (column + 1 < width && cells[column + 1].width == 0),
            "a wide glyph without its right half");
    require(cell.width != 0 || (column > 0 && cells[column - 1].width == 2),
            "a right half without its wide glyph");
    require(cell.marks <= TREMLOX_CELL_MAX_MARKS, "more marks than a cell holds");
    const std::uint32_t *marks = tremlox_grid_marks(grid, row, column);
    require((marks != nullptr) == (cell.marks > 0), "marks that are not where the cell says");
    for (unsigned mark = 0; mark < cell.marks; ++mark)
        require(printable(marks[mark]) && tremlox__glyph_kind(marks[mark]) == glyph_joining,
                "a mark that is no joining code point");
}

// The columns the renderer's glyphs take, by the library's own table.
unsigned columns_of(std::uint32_t code_point) {
    switch (tremlox__glyph_kind(code_point)) {
    case glyph_wide:
        return 2;
    case glyph_joining:
        return 0;
    default:
        return 1;
    }
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
            check_cell(grid, row, column);
    }
}

// Checks the text of a grid `height` rows high whose lines take `columns`
// columns each, with SGR sequences (none when `plain`).
void check_text(const std::string &text, unsigned height, unsigned columns, bool plain) {
    const rendered_text shape = read_rendered_text(text, columns_of);
    require(shape.fault.empty(), shape.fault.c_str());
    require(!plain || shape.sgr_sequences == 0, "an escape sequence without colours");
    for (const rendered_line &line : shape.lines) {
        require(line.columns == columns, "a line of another width");
        require(plain || line.ends_with_reset, "a line without its reset");
    }
    require(shape.columns_after_last_line == 0, "text after the last line break");
    require(shape.lines.size() == height, "not one line a row");
}

// The top of the picture at 9 dots, as a viewer paints its first band:
// every pixel opaque.
void check_first_band(const tremlox_grid *grid) {
    tremlox_picture_options options = TREMLOX_PICTURE_OPTIONS_INIT;
    options.letter_spacing = 9;
    unsigned width = 0, height = 0;
    require(tremlox_grid_picture_size(grid, &options, &width, &height) == 0, "no picture size");
    const unsigned rows = height < 32 ? height : 32;
    std::vector<unsigned char> rgba(std::size_t{width} * 4 * rows);
    require(tremlox_grid_paint(grid, &options, 0, rows, rgba.data(), std::size_t{width} * 4) == 0,
            "painting failed");
    for (std::size_t alpha = 3; alpha < rgba.size(); alpha += 4)
        require(rgba[alpha] == 255, "a pixel not opaque");
}

// The same bytes as a PSF font: read exactly when no reason is given, and
// then its glyphs within bounds and its code points sorted, each once.
void check_font(const std::uint8_t *data, std::size_t size) {
    tremlox_font *font = tremlox_font_read(data, size);
    require((font != nullptr) == (tremlox_font_error(data, size) == nullptr), "font misjudged");
    for (std::size_t i = 0; font != nullptr && i < font->mapping_count; ++i)
        require(font->mappings[i].glyph < font->glyph_count &&
                    (i == 0 || font->mappings[i - 1].code_point < font->mappings[i].code_point),
                "font mapping out of order or bounds");
    tremlox_font_free(font);
}

constexpr std::uint64_t largest_for_all_modes = 100000; // cells

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    check_font(data, size);
    if (size < 3)
        return 0;
    const tremlox_charset charsets[] = {TREMLOX_CHARSET_GUESS, TREMLOX_CHARSET_CP437,
                                        TREMLOX_CHARSET_UTF8};
    const tremlox_wrapping wrappings[] = {TREMLOX_WRAPPING_AUTO, TREMLOX_WRAPPING_DOS,
                                          TREMLOX_WRAPPING_VT};
    const tremlox_default_colours default_colours[] = {TREMLOX_DEFAULT_COLOURS_AUTO,
                                                       TREMLOX_DEFAULT_COLOURS_VGA,
                                                       TREMLOX_DEFAULT_COLOURS_TERMINAL};
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.charset = charsets[data[0] % 3];
    options.wrapping = wrappings[data[0] / 3 % 3];
    options.default_colours = default_colours[data[0] / 36 % 3];
    options.width = data[1];
    // 0 would ask the terminal, which a fuzzer's output is not.
    options.column_limit = data[2] > 0 ? data[2] : TREMLOX_ALL_COLUMNS;
    const char *screen = reinterpret_cast<const char *>(data) + 3;
    const std::size_t screen_size = size - 3;
    check_record(screen, screen_size);

    tremlox_grid *grid = tremlox_screen_draw(screen, screen_size, &options);
    require(grid != nullptr, "drawing failed");
    check_grid(grid);
    const unsigned width = tremlox_grid_width(grid);
    const unsigned columns = options.column_limit < width ? options.column_limit : width;
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
    check_first_band(grid);
    tremlox_grid_free(grid);
    return 0;
}
