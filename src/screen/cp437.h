/* The IBM PC character set (code page 437). */
#ifndef TREMLOX_SCREEN_CP437_H
#define TREMLOX_SCREEN_CP437_H

#ifdef __cplusplus
extern "C" {
#endif

/* The UTF-8 text of the glyph the IBM PC shows for `byte`, NUL-terminated:
 * 0x01-0x1F and 0x7F are the pictures of the control codes (smileys,
 * arrows, the house), 0x00 is a blank. */
const char *tremlox_cp437_glyph(unsigned char byte);

#ifdef __cplusplus
}
#endif

#endif
