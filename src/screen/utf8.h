/* UTF-8: reading code points from art, and writing glyphs. */
#ifndef TREMLOX_SCREEN_UTF8_H
#define TREMLOX_SCREEN_UTF8_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { tremlox__utf8_longest = 4, tremlox__replacement_character = 0xfffd };

/* Reads the code point at text[0..size), size > 0, into `code_point`.
 * Returns the bytes it takes, or 0 when the sequence is not valid UTF-8
 * (overlong, a surrogate, beyond U+10FFFF, a stray or cut-off byte). */
size_t tremlox__utf8_decode(const unsigned char *text, size_t size, uint32_t *code_point);

/* Whether text[0..size) is valid UTF-8 with at least one multi-byte
 * sequence: art written for today's terminals rather than for the PC. */
bool tremlox__utf8_looks_like_utf8(const char *text, size_t size);

/* Writes `code_point` (at most U+10FFFF, no surrogate) to `out`, which has
 * room for tremlox__utf8_longest bytes; returns the bytes written. */
size_t tremlox__utf8_encode(uint32_t code_point, char *out);

/* The length of the longest start of text[0..length) that does not end in
 * a character cut short: `length` itself, unless its last character's
 * bytes run on past it. For writing long text in parts. */
size_t tremlox__utf8_whole_characters(const char *text, size_t length);

#ifdef __cplusplus
}
#endif

#endif
