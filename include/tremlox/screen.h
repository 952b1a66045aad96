/* Shows classic ANSI screens on today's terminals: reads a screen's SAUCE
 * record and writes its art as UTF-8, wrapped at the width it was drawn for.
 *
 * A C interface, for C and C++ alike; the library needs only the C library. */
#ifndef TREMLOX_SCREEN_H
#define TREMLOX_SCREEN_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

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
size_t tremlox_screen_parse(const char *screen, size_t size, struct tremlox_sauce *sauce);

enum tremlox_charset {
    /* UTF-8 when the art is valid UTF-8 with at least one multi-byte
     * sequence, else CP437. */
    TREMLOX_CHARSET_GUESS,
    /* IBM PC bytes: CR, LF, TAB and ESC are controls, every other byte a
     * glyph, wrapped at the art's width. */
    TREMLOX_CHARSET_CP437,
    /* Written as it stands, apart from the final reset. */
    TREMLOX_CHARSET_UTF8
};

/* Writes the art of a screen (never its record) to `out` as UTF-8, so a
 * terminal shows it as it was drawn:
 *
 * - CP437 bytes become their glyphs (0x00 a blank); escape sequences
 *   (ESC [ ... final byte) pass through, and lines break with "\r\n" after
 *   the width-th glyph, the width being the record's or else 80, as a DOS
 *   console wraps, whatever the terminal's own width;
 * - with the record's iCE colours flag, blink is written as the bright
 *   background it stands for, and never as blink;
 * - at the end, "\x1b[0m", and "\r\n" when the cursor is not at the start
 *   of a line.
 *
 * On Windows a console `out` gets virtual terminal processing and UTF-8
 * output for the call. Flushes `out`; returns 0 when every write and the
 * flush succeeded, else -1 with errno set (a full disk, a closed pipe, or
 * EINVAL for a NULL `out`, NULL `screen` with a size, or an unknown
 * charset). */
int tremlox_screen_write(FILE *out, const char *screen, size_t size, enum tremlox_charset charset);

#ifdef __cplusplus
}
#endif

#endif
