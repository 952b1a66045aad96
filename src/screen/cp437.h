/* The IBM PC character set (code page 437). */
#ifndef TREMLOX_SCREEN_CP437_H
#define TREMLOX_SCREEN_CP437_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The code point of the glyph the IBM PC shows for `byte`: 0x01-0x1F and
 * 0x7F are the pictures of the control codes (smileys, arrows, the house),
 * 0x00 is a blank. */
uint32_t tremlox__cp437_code_point(unsigned char byte);

#ifdef __cplusplus
}
#endif

#endif
