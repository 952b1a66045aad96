#include "info.h"

#include "utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace tremlox::view {

using namespace platform;

namespace {

// Control codes, surrogates and what lies past Unicode are no glyphs.
void append_glyph(std::string &text, std::uint32_t glyph) {
    if (glyph < 0x20 || (glyph >= 0x7f && glyph < 0xa0) || (glyph >= 0xd800 && glyph < 0xe000) ||
        glyph > 0x10ffff)
        glyph = tremlox__replacement_character;
    char bytes[tremlox__utf8_longest];
    text.append(bytes, tremlox__utf8_encode(glyph, bytes));
}

// A text of the record in UTF-8. Its bytes are CP437 in classic files and
// sometimes UTF-8 in modern ones: the library draws them, in the charset
// the options give (or guessed), and their glyphs are taken from the cells,
// so that no byte of the record reaches the terminal as it stands.
std::string record_text(const char *bytes, tremlox_charset charset) {
    const std::size_t length = std::strlen(bytes);
    std::string text;
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.charset = charset;
    options.width = static_cast<unsigned>(std::max<std::size_t>(length, 1));
    tremlox_grid *grid = tremlox_screen_draw(bytes, length, &options);
    if (grid == nullptr)
        return text;
    // A line break in the text leaves a row each side of it: joined by a blank.
    for (unsigned row = 0; row < tremlox_grid_height(grid); ++row) {
        const tremlox_cell *cells = tremlox_grid_row(grid, row);
        std::string line;
        for (unsigned column = 0; column < tremlox_grid_width(grid); ++column) {
            // The right half of a wide glyph holds nothing of its own.
            if (cells[column].width == 0)
                continue;
            append_glyph(line, cells[column].glyph);
            const std::uint32_t *marks = tremlox_grid_marks(grid, row, column);
            for (unsigned mark = 0; mark < cells[column].marks; ++mark)
                append_glyph(line, marks[mark]);
        }
        line.erase(line.find_last_not_of(' ') + 1);
        if (!text.empty() && !line.empty())
            text += ' ';
        text += line;
    }
    tremlox_grid_free(grid);
    return text;
}

void add_line(std::string &lines, const char *name, const std::string &value) {
    lines += name;
    lines += ": ";
    lines += value;
    lines += '\n';
}

void add_record(std::string &lines, const std::string &bytes, tremlox_charset charset) {
    tremlox_sauce sauce;
    tremlox_screen_parse(bytes.data(), bytes.size(), &sauce);
    if (!sauce.present) {
        add_line(lines, "Record", "none");
        return;
    }
    add_line(lines, "Title", record_text(sauce.title, charset));
    add_line(lines, "Author", record_text(sauce.author, charset));
    add_line(lines, "Group", record_text(sauce.group, charset));
    add_line(lines, "Date", record_text(sauce.date, charset));
    add_line(lines, "Width", std::to_string(sauce.width));
    add_line(lines, "Height", std::to_string(sauce.height));
    add_line(lines, "Font", record_text(sauce.font, charset));
    add_line(lines, "iCE colours", sauce.ice_colours ? "yes" : "no");
    add_line(lines, "Comment lines", std::to_string(sauce.comment_lines));
    for (unsigned line = 0; line < sauce.comment_lines; ++line) {
        char text[65];
        tremlox_screen_comment(bytes.data(), bytes.size(), line, text);
        add_line(lines, "Comment", record_text(text, charset));
    }
}

} // namespace

outcome print_info(name_type name, const std::string &bytes, const tremlox_grid *grid,
                   const tremlox_screen_options &screen, const tremlox_picture_options &picture,
                   bool first_block, error_code &error) {
    std::string lines;
    add_record(lines, bytes, screen.charset);
    add_line(lines, "Charset",
             tremlox_grid_charset(grid) == TREMLOX_CHARSET_UTF8 ? "utf8" : "cp437");
    add_line(lines, "Wrapping", tremlox_grid_wrapping(grid) == TREMLOX_WRAPPING_VT ? "vt" : "dos");
    add_line(lines, "Grid",
             std::to_string(tremlox_grid_width(grid)) + "x" +
                 std::to_string(tremlox_grid_height(grid)));
    add_line(lines, "Clipped", tremlox_grid_clipped(grid) ? "yes" : "no");
    const unsigned letter_spacing =
        picture.letter_spacing != 0 ? picture.letter_spacing : tremlox_grid_letter_spacing(grid);
    add_line(lines, "Letter spacing", std::to_string(letter_spacing));
    unsigned width = 0, height = 0;
    if (tremlox_grid_picture_size(grid, &picture, &width, &height) != 0) {
        report(name, error_from_errno(errno));
        return outcome::file_failed;
    }
    add_line(lines, "Picture", std::to_string(width) + "x" + std::to_string(height));
    error = print(console::output, {message_part::utf8(first_block ? "" : "\n"), "File: ",
                                    message_part::name(name), "\n", message_part::utf8(lines)});
    return error == 0 ? outcome::shown : outcome::output_failed;
}

} // namespace tremlox::view
