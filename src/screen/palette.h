/* The colours of the VGA card and of xterm's 256-colour palette. */
#ifndef TREMLOX_SCREEN_PALETTE_H
#define TREMLOX_SCREEN_PALETTE_H

#include <tremlox/screen.h>

#ifdef __cplusplus
extern "C" {
#endif

/* xterm's colour `index` (16-255: the 6x6x6 cube and the grey ramp; 0-15
 * taken as the VGA colours they name) as a tremlox_colour. */
tremlox_colour tremlox__xterm_colour(unsigned index);

/* The xterm colour of 16-255 nearest to `rgb` (0xRRGGBB). */
unsigned tremlox__nearest_xterm_colour(uint32_t rgb);

/* The VGA colour (0-15) nearest to `rgb`. */
unsigned tremlox__nearest_vga_colour(uint32_t rgb);

/* The number xterm's palette (and SGR's order) gives VGA colour `vga`. */
unsigned tremlox__xterm_index_of_vga(unsigned vga);

/* SGR numbers the eight colours in another order than the PC: red is 1 to
 * SGR and 4 to the PC. The same table turns either into the other. */
extern const unsigned char tremlox__sgr_order[8];

#ifdef __cplusplus
}
#endif

#endif
