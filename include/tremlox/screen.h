/* Shows ANSI screens on today's terminals: reads a screen's SAUCE record,
 * draws its art into a grid of cells (classic CP437 art as ANSI.SYS and the
 * BBS terminals drew it, modern UTF-8 art as a terminal shows its bytes),
 * and writes that grid to a terminal in the art's own colours and
 * attributes, or hands the cells to a program that draws them itself.
 *
 * A C interface, for C and C++ alike; the library needs only the C library. */
#ifndef TREMLOX_SCREEN_H
#define TREMLOX_SCREEN_H

#include <tremlox/screen_version.h>

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

/* What the library exports: the calls and objects of this header, and
 * nothing else. */
#if defined(_WIN32) && TREMLOX_SCREEN_SHARED
#if defined(TREMLOX_SCREEN_BUILDING)
#define TREMLOX_SCREEN_API __declspec(dllexport)
#else
#define TREMLOX_SCREEN_API __declspec(dllimport)
#endif
#elif defined(TREMLOX_SCREEN_BUILDING) && defined(__GNUC__)
#define TREMLOX_SCREEN_API __attribute__((visibility("default")))
#else
#define TREMLOX_SCREEN_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The version of the library the program runs with, as
 * TREMLOX_SCREEN_VERSION gives the version of this header: 10400 for
 * 1.4.0. A program linked with a shared library may compare the two. */
TREMLOX_SCREEN_API unsigned tremlox_screen_version(void);

/* What a screen's SAUCE record says about it. The texts are NUL-terminated,
 * with the record's trailing blanks and NULs removed, and hold the record's
 * bytes as they stand (CP437 in classic files). */
struct tremlox_sauce {
    bool present; /* the screen ends with a record; when false, all else is 0 or "" */
    char title[36];
    char author[21];
    char group[21];
    char date[9]; /* CCYYMMDD */
    uint8_t data_type;
    uint8_t file_type;
    uint16_t width;        /* TInfo1: characters per line for character screens, 0 when not given */
    uint16_t height;       /* TInfo2: number of lines */
    bool ice_colours;      /* flag bit 0: blink stands for a bright background */
    char font[23];         /* TInfoS, such as "IBM VGA" */
    uint8_t comment_lines; /* 64-byte lines of the comment block before the record */
};

/* Returns the length of the art alone: the bytes before the first byte 26,
 * the comment block and the record, whichever comes first. Fills `sauce`
 * (which may be NULL) from the record in the screen's last 128 bytes.
 *
 * A screen without a record gives its length up to its first byte 26, or its
 * whole length, and `present` false. Nothing outside screen[0..size) is ever
 * read. A record whose comment count reaches before the start of the screen,
 * or where the comment block is not, is still read (its fields are certain),
 * with `comment_lines` 0 and the art ending at the record. A screen shorter
 * than a record has none. `size` may be the `_size` that tremlox_add_screen
 * defines; `screen` may be NULL when `size` is 0. */
TREMLOX_SCREEN_API size_t tremlox_screen_parse(const char *screen, size_t size,
                                               struct tremlox_sauce *sauce);

/* Copies line `line` (0 first) of the screen's comment block into `text`,
 * NUL-terminated, without its trailing blanks and NULs, as the CP437 bytes
 * it holds. Returns false, with `text` "", when the screen has no such line
 * (see `comment_lines` of tremlox_screen_parse). */
TREMLOX_SCREEN_API bool tremlox_screen_comment(const char *screen, size_t size, unsigned line,
                                               char text[65]);

enum tremlox_charset {
    /* UTF-8 when the art is valid UTF-8 with at least one multi-byte
     * sequence, else CP437. */
    TREMLOX_CHARSET_GUESS,
    /* IBM PC bytes: CR, LF, TAB and ESC are controls, every other byte a
     * glyph (0x00 a blank, 0x01-0x1F and 0x7F the PC's pictures). */
    TREMLOX_CHARSET_CP437,
    /* UTF-8: other control codes are not drawn, and each byte of an invalid
     * sequence is drawn as U+FFFD. */
    TREMLOX_CHARSET_UTF8
};

/* What happens after a glyph lands in the last column. */
enum tremlox_wrapping {
    /* DOS when nothing tells otherwise; VT when the art ends at least half
     * of the rows it fills to the last column with a line break right
     * after that column's glyph (colour changes between them not counted):
     * art drawn on a terminal that would otherwise show a blank row after
     * each of them. */
    TREMLOX_WRAPPING_AUTO,
    /* As a DOS screen: the cursor moves to the next row at once. */
    TREMLOX_WRAPPING_DOS,
    /* As today's terminals: the cursor stays on the last column until the
     * next glyph, so a line break there adds no blank row. */
    TREMLOX_WRAPPING_VT
};

/* How a terminal is told the colours. */
enum tremlox_colours {
    /* What the terminal can show, decided in this order:
     *  1. none where NO_COLOR is set and not empty (no-color.org);
     *  2. the mode TREMLOX_COLOURS names, "24bit", "256", "16" or "none",
     *     a default for every program built with the library (any other
     *     value is ignored);
     *  3. none where TERM is "dumb";
     *  4. 24-bit where COLORTERM is "truecolor" or "24bit", TERM ends in
     *     "-direct" (or a variant of it, "-direct256") or names a terminal
     *     that takes 24-bit colours whatever it says (xterm-kitty,
     *     alacritty, foot, wezterm, contour, ghostty, konsole, mintty,
     *     mlterm, st), VTE_VERSION is 3600 or more,
     *     WT_SESSION is set (Windows Terminal), or on a Windows console with
     *     virtual terminal processing;
     *  5. 256 where TERM names 256 colours, or is "xterm";
     *  6. else 16. */
    TREMLOX_COLOURS_AUTO,
    /* 38;2;r;g;b and 48;2;r;g;b: the exact VGA colours and the art's own;
     * the terminal's palette entries as such. */
    TREMLOX_COLOURS_24_BIT,
    /* 38;5;n and 48;5;n: the nearest of xterm's colours 16-255, which
     * terminals do not redefine; the terminal's palette entries as such. */
    TREMLOX_COLOURS_256,
    /* 30-37, 90-97, 40-47 and 100-107, in the terminal's own palette;
     * brightness by 90-97 and 100-107, never by bold (but where modern art
     * asks for bold). */
    TREMLOX_COLOURS_16,
    /* The glyphs alone, without a single escape sequence. */
    TREMLOX_COLOURS_NONE
};

/* The colours of what the art leaves uncoloured: cells it never sets a
 * colour for, or resets with SGR 0, 39 or 49. */
enum tremlox_default_colours {
    /* The terminal's own for UTF-8 art, drawn for today's terminals to sit
     * on their background; VGA light grey on black for CP437 art, a DOS
     * screen. */
    TREMLOX_DEFAULT_COLOURS_AUTO,
    /* VGA light grey on black, as a DOS screen shows them. */
    TREMLOX_DEFAULT_COLOURS_VGA,
    /* The terminal's own foreground and background, whatever its theme. */
    TREMLOX_DEFAULT_COLOURS_TERMINAL
};

/* The choices for drawing and writing a screen. Declare it with its
 * defaults and change what you need:
 *
 *     struct tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
 *     options.column_limit = 60;
 *
 * Later versions add members at the end; `size` tells the library which
 * ones a caller knows, so a program built against this header keeps
 * working. Every 0 is a default, `size` too: a struct set to all zeros
 * (`struct tremlox_screen_options options = {0};`) is every default. With
 * a `size` of 0 the library reads the members of version 1.2, which every
 * such caller has, and no further: a member added later counts only where
 * `size` is set, as the macro sets it. */
struct tremlox_screen_options {
    size_t size; /* sizeof(struct tremlox_screen_options), as the macro sets it */
    enum tremlox_charset charset;
    enum tremlox_wrapping wrapping;
    unsigned width; /* columns of the art; 0: the record's, else 80 */
    enum tremlox_colours colours;
    /* The columns shown, the rest of each row clipped: never wrapped, so a
     * screen keeps its rows in a narrower terminal. 0: the terminal's width
     * when `out` is a terminal (a Windows console: its window's), else
     * every column; TREMLOX_ALL_COLUMNS: every column. */
    unsigned column_limit;
    enum tremlox_default_colours default_colours; /* since 1.2 */
};

/* A column_limit that never clips. */
#define TREMLOX_ALL_COLUMNS ((unsigned)-1)

#define TREMLOX_SCREEN_OPTIONS_INIT                                                                \
    {                                                                                              \
        sizeof(struct tremlox_screen_options), TREMLOX_CHARSET_GUESS, TREMLOX_WRAPPING_AUTO, 0,    \
            TREMLOX_COLOURS_AUTO, 0, TREMLOX_DEFAULT_COLOURS_AUTO                                  \
    }

/* The largest grid: columns past TREMLOX_SCREEN_MAX_COLUMNS and rows past
 * TREMLOX_SCREEN_MAX_ROWS are dropped as they are drawn (the art's width
 * still decides where it wraps), and tremlox_grid_clipped says so. A grid
 * holds at most 44 bytes a cell: the cell, its marks and its attributes. */
#define TREMLOX_SCREEN_MAX_COLUMNS 1024
#define TREMLOX_SCREEN_MAX_ROWS 10000

/* A colour: one of the sixteen VGA colours, 0-15 in the PC's order (below),
 * a 24-bit colour the art gives, TREMLOX_RGB(r, g, b), an entry of the
 * terminal's own palette that modern art names, TREMLOX_PALETTE_COLOUR(n),
 * or the terminal's own foreground or background,
 * TREMLOX_TERMINAL_FOREGROUND and TREMLOX_TERMINAL_BACKGROUND. */
typedef uint32_t tremlox_colour;

enum tremlox_vga_colour {
    TREMLOX_VGA_BLACK,
    TREMLOX_VGA_BLUE,
    TREMLOX_VGA_GREEN,
    TREMLOX_VGA_CYAN,
    TREMLOX_VGA_RED,
    TREMLOX_VGA_MAGENTA,
    TREMLOX_VGA_BROWN,
    TREMLOX_VGA_LIGHT_GREY,
    TREMLOX_VGA_DARK_GREY,
    TREMLOX_VGA_LIGHT_BLUE,
    TREMLOX_VGA_LIGHT_GREEN,
    TREMLOX_VGA_LIGHT_CYAN,
    TREMLOX_VGA_LIGHT_RED,
    TREMLOX_VGA_LIGHT_MAGENTA,
    TREMLOX_VGA_YELLOW,
    TREMLOX_VGA_WHITE
};

#define TREMLOX_RGB(red, green, blue)                                                              \
    ((tremlox_colour)(0x1000000u | (uint32_t)(red) << 16 | (uint32_t)(green) << 8 |                \
                      (uint32_t)(blue)))
#define TREMLOX_COLOUR_IS_RGB(colour) (((colour)&0x1000000u) != 0)

/* The terminal's own colours, where the art leaves a cell to it (see
 * enum tremlox_default_colours); reverse video can put either in either
 * place. tremlox_colour_rgb gives them as VGA light grey and black, and
 * their low four bits are those VGA colours, so a program that draws cells
 * itself shows them as a DOS screen would. */
#define TREMLOX_TERMINAL_FOREGROUND ((tremlox_colour)0x2000007u)
#define TREMLOX_TERMINAL_BACKGROUND ((tremlox_colour)0x2000000u)
#define TREMLOX_COLOUR_IS_TERMINAL(colour) (((colour)&0x2000000u) != 0)

/* An entry of the terminal's palette, 0-255 as xterm numbers them (1 is
 * red, 9 bright red, 16-255 the colour cube and the grey ramp): what modern
 * UTF-8 art names with 38;5;n and 48;5;n, and, with
 * TREMLOX_PALETTE_BY_CODE, with 30-37, 90-97, 40-47 and 100-107. Each
 * terminal shows its own (a theme's red, a light theme's darker yellow),
 * and some brighten bold text only in the colours named by code, so the
 * grid keeps both apart. tremlox_colour_rgb gives 0-15 as the VGA colours
 * and 16-255 as xterm's. Since 1.3. */
#define TREMLOX_PALETTE_COLOUR(index) ((tremlox_colour)(0x4000000u | ((uint32_t)(index)&0xffu)))
#define TREMLOX_PALETTE_BY_CODE 0x100u
#define TREMLOX_COLOUR_IS_PALETTE(colour) (((colour)&0x4000000u) != 0)
#define TREMLOX_PALETTE_INDEX(colour) ((unsigned)((colour)&0xffu))

/* The VGA palette: red, green and blue of each of the sixteen colours, as
 * a VGA card shows them (brown is 170, 85, 0). */
extern TREMLOX_SCREEN_API const uint8_t tremlox_vga_palette[16][3];

/* The colour as 0xRRGGBB, VGA colours through tremlox_vga_palette, the
 * terminal's own as VGA light grey and black, its palette entries 0-15 as
 * the VGA colours and 16-255 as xterm's. */
TREMLOX_SCREEN_API uint32_t tremlox_colour_rgb(tremlox_colour colour);

/* One character cell of a drawn screen, its colours as they show: bold,
 * iCE colours, reverse and conceal already applied. What modern art sets
 * beyond them (underline, italic and the like) comes from
 * tremlox_grid_attributes. A cell the art never
 * drew is a blank (U+0020) in the default colours (see enum
 * tremlox_default_colours).
 *
 * A wide glyph (CJK, fullwidth forms, most emoji) takes two cells, as
 * terminals give it: the left one holds it with `width` 2, the right one a
 * blank with `width` 0 and the same colours. Combining and zero-width code
 * points (accents, variation selectors, joiners) join the cell before
 * them: `marks` says how many, tremlox_grid_marks gives them. */
struct tremlox_cell {
    uint32_t glyph; /* a Unicode code point, never a control code */
    tremlox_colour foreground;
    tremlox_colour background;
    bool blink; /* blink without iCE colours: the glyph blinks */
    /* The terminal shows the glyph bold: always in UTF-8 art, which leaves
     * bold to the terminal as cat of its bytes does; in CP437 art only on
     * the terminal's own foreground, which bold cannot brighten as it does
     * the VGA colours. Since 1.2. */
    bool bold;
    uint8_t width; /* the columns the glyph takes: 1; 2 wide; 0 a wide glyph's right half */
    uint8_t marks; /* code points joined to the glyph, at most TREMLOX_CELL_MAX_MARKS */
};

/* The most code points a cell joins to its glyph; more are dropped. */
#define TREMLOX_CELL_MAX_MARKS 4

/* A screen drawn into cells. */
struct tremlox_grid;

/* Draws the art of a screen (never its record or comments) into a new
 * grid, from its top-left corner, as ANSI.SYS and the classic terminals
 * drew it: the glyphs, line breaks, TAB, cursor moves, erasing and colours
 * of docs/screen.md; any other escape sequence or control string is
 * consumed and never drawn. `options` may be NULL for the defaults; its
 * charset, wrapping and width are used. The grid is as wide as the art and
 * as tall as far down as the art draws (0 rows for an empty screen).
 *
 * Returns the grid, to be freed with tremlox_grid_free, or NULL with errno
 * set: ENOMEM, or EINVAL for NULL `screen` with a size or options with an
 * unknown value or a `size` too small. */
TREMLOX_SCREEN_API struct tremlox_grid *
tremlox_screen_draw(const char *screen, size_t size, const struct tremlox_screen_options *options);

TREMLOX_SCREEN_API void tremlox_grid_free(struct tremlox_grid *grid);

/* The grid's columns (the art's width, at most TREMLOX_SCREEN_MAX_COLUMNS)
 * and rows. */
TREMLOX_SCREEN_API unsigned tremlox_grid_width(const struct tremlox_grid *grid);
TREMLOX_SCREEN_API unsigned tremlox_grid_height(const struct tremlox_grid *grid);

/* The cells of row `row` (0 the top), tremlox_grid_width of them, valid
 * until the grid is freed; NULL for a row past the height. For example,
 * with SDL:
 *
 *     for (unsigned row = 0; row < tremlox_grid_height(grid); ++row) {
 *         const struct tremlox_cell *cells = tremlox_grid_row(grid, row);
 *         for (unsigned column = 0; column < tremlox_grid_width(grid); ++column) {
 *             uint32_t rgb = tremlox_colour_rgb(cells[column].background);
 *             SDL_Rect box = {column * 8, row * 16, 8, 16};
 *             SDL_SetRenderDrawColor(renderer, rgb >> 16, rgb >> 8 & 255, rgb & 255, 255);
 *             SDL_RenderFillRect(renderer, &box);
 *             draw_glyph(cells[column].glyph, tremlox_colour_rgb(cells[column].foreground),
 *                        box);
 *         }
 *     }
 */
TREMLOX_SCREEN_API const struct tremlox_cell *tremlox_grid_row(const struct tremlox_grid *grid,
                                                               unsigned row);

/* What the drawing decided where the options left it to the art: the
 * charset the art was read in (TREMLOX_CHARSET_CP437 or _UTF8, never GUESS)
 * and how it wrapped (TREMLOX_WRAPPING_DOS or _VT, never AUTO). */
TREMLOX_SCREEN_API enum tremlox_charset tremlox_grid_charset(const struct tremlox_grid *grid);
TREMLOX_SCREEN_API enum tremlox_wrapping tremlox_grid_wrapping(const struct tremlox_grid *grid);

/* The code points joined to the glyph of the cell at `row` and `column`,
 * as many as its `marks`, in the order the art gave them; valid until the
 * grid is freed. NULL where the cell has none or lies outside the grid. */
TREMLOX_SCREEN_API const uint32_t *tremlox_grid_marks(const struct tremlox_grid *grid, unsigned row,
                                                      unsigned column);

/* How an underline is drawn: SGR 4 or 4:1, 21 or 4:2, and 4:3 to 4:5. */
enum tremlox_underline {
    TREMLOX_UNDERLINE_NONE,
    TREMLOX_UNDERLINE_SINGLE,
    TREMLOX_UNDERLINE_DOUBLE,
    TREMLOX_UNDERLINE_CURLY,
    TREMLOX_UNDERLINE_DOTTED,
    TREMLOX_UNDERLINE_DASHED
};

/* The flags of struct tremlox_attributes, each with the SGR code that sets
 * it. Reverse and conceal are already applied to the cell's colours. */
#define TREMLOX_ATTRIBUTE_FAINT 0x01u         /* 2 */
#define TREMLOX_ATTRIBUTE_ITALIC 0x02u        /* 3 */
#define TREMLOX_ATTRIBUTE_STRIKETHROUGH 0x04u /* 9 */
#define TREMLOX_ATTRIBUTE_OVERLINE 0x08u      /* 53 */
#define TREMLOX_ATTRIBUTE_REVERSE 0x10u       /* 7 */
#define TREMLOX_ATTRIBUTE_CONCEAL 0x20u       /* 8 */
/* The art named the underline colour as 58;5;n or 58;2;r;g;b rather than
 * 58:5:n or 58:2::r:g:b. A terminal that does not know 58 reads the first
 * as other codes (5, blink), and the second not at all, or worse: the
 * renderer writes it back in the art's form, for the terminal to show it as
 * it shows it to cat. */
#define TREMLOX_ATTRIBUTE_UNDERLINE_COLOUR_BY_SEMICOLONS 0x40u

/* The underline colour where the art gives none: the glyph's foreground. */
#define TREMLOX_UNDERLINE_FOREGROUND ((tremlox_colour)0x8000000u)

/* What modern UTF-8 art draws a cell with beyond its colours, bold and
 * blink; CP437 art, a DOS screen, has none of it. Since 1.3. */
struct tremlox_attributes {
    uint16_t flags;    /* TREMLOX_ATTRIBUTE_... */
    uint8_t underline; /* enum tremlox_underline */
    /* SGR 58 (58;5;n, 58;2;r;g;b, 58:5:n, 58:2::r:g:b), or
     * TREMLOX_UNDERLINE_FOREGROUND where the art gives none or resets it
     * with 59. */
    tremlox_colour underline_colour;
    /* With TREMLOX_ATTRIBUTE_CONCEAL: the foreground the hidden glyph
     * would show in, which the cell's foreground (its background) hides. */
    tremlox_colour concealed_foreground;
};

/* The attributes of the cell at `row` and `column`, valid until the grid
 * is freed: those of a plain cell (no flags, no underline) where the art
 * set none. NULL outside the grid. Since 1.3. */
TREMLOX_SCREEN_API const struct tremlox_attributes *
tremlox_grid_attributes(const struct tremlox_grid *grid, unsigned row, unsigned column);

/* Whether the art drew past TREMLOX_SCREEN_MAX_COLUMNS or
 * TREMLOX_SCREEN_MAX_ROWS, where what it drew was dropped. */
TREMLOX_SCREEN_API bool tremlox_grid_clipped(const struct tremlox_grid *grid);

/* Writes the grid to `out` as UTF-8: each row on a line of its own, exactly
 * as wide as the grid or as the columns shown (`column_limit` of `options`,
 * which may be NULL: by default the terminal's width), every cell's colours
 * given in the `colours` of `options`, and "\x1b[0m" and "\r\n" at the end
 * of every row, so nothing bleeds past the art and the cursor ends at the
 * start of the line after it. Nothing but glyphs, SGR sequences (none with
 * TREMLOX_COLOURS_NONE) and line breaks is ever written: no cursor
 * positioning, whatever the art held. The terminal's own colours are
 * written as SGR 39 and 49, with 7 or 8 where reverse or conceal needs
 * them, and 1 for bold on its own foreground; its palette entries as the
 * codes that named them (30-37, 90-97, 38;5;n and the like); the
 * attributes of modern art as theirs (4, 21 and 4:3-4:5 for the
 * underlines, 58 for their colours in the art's form); a wide glyph
 * once, never split by the clip (a blank takes its place there).
 *
 * On Windows a console `out` gets virtual terminal processing and UTF-8
 * output for the call. Flushes `out`; returns 0 when every write and the
 * flush succeeded, else -1 with errno set (a full disk, a closed pipe, or
 * EINVAL for a NULL argument or bad options). */
TREMLOX_SCREEN_API int tremlox_grid_write(FILE *out, const struct tremlox_grid *grid,
                                          const struct tremlox_screen_options *options);

/* Draws the screen with tremlox_screen_draw and writes the grid with
 * tremlox_grid_write, with the same `options` (NULL for the defaults). */
TREMLOX_SCREEN_API int tremlox_screen_write_with(FILE *out, const char *screen, size_t size,
                                                 const struct tremlox_screen_options *options);

/* Writes the art of a screen (never its record) to `out`, so a terminal
 * shows it as it was drawn: tremlox_screen_write_with with the defaults and
 * `charset`. Returns 0, or -1 with errno set as tremlox_grid_write, or
 * EINVAL for an unknown charset. */
TREMLOX_SCREEN_API int tremlox_screen_write(FILE *out, const char *screen, size_t size,
                                            enum tremlox_charset charset);

/* Where the writers put their bytes, for a program that sends them
 * somewhere of its own (a socket, a window's buffer) or links a library
 * whose C runtime is not its own. Returns 0 when it took all `size`
 * bytes, else a non-zero value (a positive errno value, say), which stops
 * the writer and which the writer returns as it is. Since 1.4. */
typedef int (*tremlox_write_fn)(void *context, const char *bytes, size_t size);

/* A tremlox_write_fn for a FILE *: `context` is the stream. Returns 0, or
 * the errno value of a failed write (EIO where the C library sets none). */
TREMLOX_SCREEN_API int tremlox_write_to_file(void *context, const char *bytes, size_t size);

/* tremlox_grid_write and tremlox_screen_write_with with `write` in place
 * of a FILE *: the same bytes, but with no console to ask, a
 * `column_limit` of 0 shows every column, and TREMLOX_COLOURS_AUTO
 * decides from the environment alone. Return 0, the sink's non-zero value,
 * or -1 with errno set: EINVAL for a NULL argument or bad options, ENOMEM.
 * Since 1.4. */
TREMLOX_SCREEN_API int tremlox_grid_write_to(tremlox_write_fn write, void *context,
                                             const struct tremlox_grid *grid,
                                             const struct tremlox_screen_options *options);
TREMLOX_SCREEN_API int tremlox_screen_write_to(tremlox_write_fn write, void *context,
                                               const char *screen, size_t size,
                                               const struct tremlox_screen_options *options);

/* Pictures: a grid painted in the pixels of a console font, each cell its
 * glyph in its colours, as a VGA card showed the screen. Since 1.4. */

/* A console font: glyphs of one size, each for the code points it holds. */
struct tremlox_font;

/* The largest glyphs a font may have, in pixels. */
#define TREMLOX_FONT_MAX_WIDTH 32
#define TREMLOX_FONT_MAX_HEIGHT 64

/* Reads a console font in the PSF1 or PSF2 format of the Linux and BSD
 * consoles (as setfont loads it: not compressed), with its Unicode table;
 * a font without one holds the CP437 glyphs in CP437 order. The bytes are
 * copied. Returns the font, to be freed with tremlox_font_free, or NULL
 * with errno set: EINVAL for a font it refuses (tremlox_font_error says
 * why), ENOMEM. */
TREMLOX_SCREEN_API struct tremlox_font *tremlox_font_read(const void *bytes, size_t size);

/* Why tremlox_font_read refuses the bytes, in a few words ("not a PSF1 or
 * PSF2 font", "cut short", ...), or NULL when it reads them. */
TREMLOX_SCREEN_API const char *tremlox_font_error(const void *bytes, size_t size);

TREMLOX_SCREEN_API void tremlox_font_free(struct tremlox_font *font);

/* The size of the font's glyphs in pixels; NULL is the built-in font,
 * 8 by 16. */
TREMLOX_SCREEN_API void tremlox_font_glyph_size(const struct tremlox_font *font, unsigned *width,
                                                unsigned *height);

/* The letter spacing the screen's SAUCE record asks for (its TFlags): 8, 9
 * for the VGA card's 9-dot font, or 0 where it has no record or leaves it
 * to the viewer. */
TREMLOX_SCREEN_API unsigned tremlox_screen_letter_spacing(const char *screen, size_t size);

/* How a grid is painted. Declare it with its defaults and change what you
 * need, as struct tremlox_screen_options:
 *
 *     struct tremlox_picture_options options = TREMLOX_PICTURE_OPTIONS_INIT;
 *     options.scale = 2;
 *
 * Every 0 is a default, `size` too (a struct set to all zeros reads every
 * member of version 1.4); later versions add members at the end. */
struct tremlox_picture_options {
    size_t size; /* sizeof(struct tremlox_picture_options), as the macro sets it */
    const struct tremlox_font *font; /* NULL: the built-in 8x16 font */
    /* 8: each glyph in its own columns; 9: one more column after each, in
     * the background, but for the line graphics of CP437's 0xC0-0xDF and
     * the rest of U+2500-U+257F, which repeat their last column there, as
     * the VGA card's 9-dot font does. 0: 9 where the screen's record asks
     * for it (the grid keeps what it asked), else 8. */
    unsigned letter_spacing;
    unsigned scale; /* 1-8: each pixel a square of scale x scale; 0: 1 */
    /* Blinking glyphs in their hidden phase: a program animates blink with
     * two pictures. false: the visible phase. */
    bool blink_hidden;
    /* The terminal's own foreground and background (see enum
     * tremlox_default_colours) as TREMLOX_RGB(r, g, b); 0: VGA light grey
     * and black. Any other value is refused. */
    tremlox_colour terminal_foreground;
    tremlox_colour terminal_background;
    /* The 256 colours of the terminal's palette that modern art names
     * (TREMLOX_PALETTE_COLOUR), as 0xRRGGBB; NULL: as tremlox_colour_rgb
     * gives them. */
    const uint32_t *palette;
};

#define TREMLOX_PICTURE_OPTIONS_INIT                                                               \
    { sizeof(struct tremlox_picture_options), NULL, 0, 1, false, 0, 0, NULL }

/* The letter spacing the grid's screen asked for in its record, 8 or 9;
 * 8 where it asked nothing. */
TREMLOX_SCREEN_API unsigned tremlox_grid_letter_spacing(const struct tremlox_grid *grid);

/* The picture's size in pixels: columns x letter spacing (the font's width,
 * or one more) x scale, and rows x the font's height x scale. Returns 0, or
 * -1 with errno EINVAL for a NULL argument or bad options. */
TREMLOX_SCREEN_API int tremlox_grid_picture_size(const struct tremlox_grid *grid,
                                                 const struct tremlox_picture_options *options,
                                                 unsigned *width, unsigned *height);

/* Paints pixel rows first_row to first_row + row_count - 1 of the picture
 * into `rgba`: for each row, width pixels of 4 bytes (red, green, blue, and
 * 255), rows `stride` bytes apart, so a program paints the picture band by
 * band and never holds all of it. A glyph the font lacks is drawn as its
 * U+FFFD, else as a hollow box; a wide glyph spans its two cells; marks
 * are drawn over their glyph where the font holds them. Returns 0, or -1
 * with errno EINVAL for a NULL argument (`rgba` may be NULL where
 * row_count is 0), bad options, rows past the picture or a stride shorter
 * than a row. */
TREMLOX_SCREEN_API int tremlox_grid_paint(const struct tremlox_grid *grid,
                                          const struct tremlox_picture_options *options,
                                          unsigned first_row, unsigned row_count,
                                          unsigned char *rgba, size_t stride);

/* A compressor for tremlox_grid_write_kitty: takes the next `size` bytes
 * of the image's pixels (`last` with the final ones) and writes their zlib
 * stream (RFC 1950) through `write` and `write_context`. Returns 0, or
 * the non-zero value of the sink or of its own failure. */
typedef int (*tremlox_compress_fn)(void *context, const unsigned char *bytes, size_t size,
                                   bool last, tremlox_write_fn write, void *write_context);

/* How an image reaches a terminal. Every 0 is a default. */
struct tremlox_image_options {
    size_t size; /* sizeof(struct tremlox_image_options) */
    /* The height of the terminal's character cells in pixels (the pixel
     * size of TIOCGWINSZ over its rows, or CSI 16 t): a sixel picture taller than a terminal takes
     * in one image goes in bands of whole rows of cells, so they meet
     * without a gap or an overlap. 0: 16. */
    unsigned cell_height;
    /* For kitty: compresses the pixels as they go (o=z). NULL: sent as
     * they are. */
    tremlox_compress_fn compress;
    void *compress_context;
};

#define TREMLOX_IMAGE_OPTIONS_INIT { sizeof(struct tremlox_image_options), 0, NULL, NULL }

/* Writes the picture to a terminal that shows sixel images (xterm -ti
 * vt340, foot, WezTerm, mlterm, Windows Terminal) at the cursor, painted
 * and sent in bands, each in its own exact palette where it has at most
 * 256 colours, else in the nearest of 256; the cursor ends at the start of
 * the line below the picture. Nothing but the images' escape sequences and
 * line breaks is written. xterm shows no more than 1000 pixels across and
 * clips the rest. Returns as tremlox_grid_write_to. */
TREMLOX_SCREEN_API int tremlox_grid_write_sixel(tremlox_write_fn write, void *context,
                                                const struct tremlox_grid *grid,
                                                const struct tremlox_picture_options *options,
                                                const struct tremlox_image_options *image);

/* Writes the picture to a terminal of the kitty graphics protocol (kitty,
 * WezTerm, Ghostty, Konsole) at the cursor as one image, painted band by
 * band and sent in the protocol's chunks; the cursor ends at the start of
 * the line below the picture. Returns as tremlox_grid_write_to. */
TREMLOX_SCREEN_API int tremlox_grid_write_kitty(tremlox_write_fn write, void *context,
                                                const struct tremlox_grid *grid,
                                                const struct tremlox_picture_options *options,
                                                const struct tremlox_image_options *image);

#ifdef __cplusplus
}
#endif

#endif
