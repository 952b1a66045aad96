/* The VGA palette, xterm's 256 colours, and the nearest of each. */
#include "palette.h"

/* clang-format off */
const uint8_t tremlox_vga_palette[16][3] = {
    /* black, blue, green, cyan */          {0, 0, 0},     {0, 0, 170},    {0, 170, 0},    {0, 170, 170},
    /* red, magenta, brown, light grey */   {170, 0, 0},   {170, 0, 170},  {170, 85, 0},   {170, 170, 170},
    /* and their bright forms */            {85, 85, 85},  {85, 85, 255},  {85, 255, 85},  {85, 255, 255},
                                            {255, 85, 85}, {255, 85, 255}, {255, 255, 85}, {255, 255, 255},
};
/* clang-format on */

const unsigned char tremlox__sgr_order[8] = {0, 4, 2, 6, 1, 5, 3, 7};

/* The levels of each channel in xterm's 6x6x6 colour cube. */
static const unsigned char cube_levels[6] = {0, 95, 135, 175, 215, 255};
enum { cube_start = 16, grey_start = 232, grey_count = 24 };

uint32_t tremlox_colour_rgb(tremlox_colour colour) {
    const uint8_t *vga;
    if (TREMLOX_COLOUR_IS_PALETTE(colour))
        colour = tremlox__xterm_colour(TREMLOX_PALETTE_INDEX(colour));
    if (TREMLOX_COLOUR_IS_RGB(colour))
        return colour & 0xffffffu;
    /* The terminal's own colours keep light grey and black in their low bits. */
    vga = tremlox_vga_palette[colour & 15u];
    return (uint32_t)vga[0] << 16 | (uint32_t)vga[1] << 8 | vga[2];
}

tremlox_colour tremlox__xterm_colour(unsigned index) {
    if (index < 16)
        return index < 8 ? tremlox__sgr_order[index] : 8u + tremlox__sgr_order[index - 8];
    if (index < grey_start) {
        const unsigned cube = index - cube_start;
        return TREMLOX_RGB(cube_levels[cube / 36], cube_levels[cube / 6 % 6],
                           cube_levels[cube % 6]);
    }
    {
        const unsigned grey = 8 + 10 * (index - grey_start);
        return TREMLOX_RGB(grey, grey, grey);
    }
}

static unsigned long distance(uint32_t rgb, unsigned red, unsigned green, unsigned blue) {
    const long dr = (long)(rgb >> 16 & 255) - (long)red;
    const long dg = (long)(rgb >> 8 & 255) - (long)green;
    const long db = (long)(rgb & 255) - (long)blue;
    return (unsigned long)(dr * dr + dg * dg + db * db);
}

static unsigned nearest_level(unsigned value) {
    unsigned level = 0;
    while (level < 5 && value > (cube_levels[level] + cube_levels[level + 1]) / 2u)
        ++level;
    return level;
}

unsigned tremlox__nearest_xterm_colour(uint32_t rgb) {
    const unsigned red = nearest_level(rgb >> 16 & 255);
    const unsigned green = nearest_level(rgb >> 8 & 255);
    const unsigned blue = nearest_level(rgb & 255);
    const unsigned average = ((rgb >> 16 & 255) + (rgb >> 8 & 255) + (rgb & 255)) / 3;
    unsigned grey = average < 8 ? 0 : (average - 8 + 5) / 10;
    unsigned long cube_distance;
    unsigned long grey_distance;
    if (grey >= grey_count)
        grey = grey_count - 1;
    cube_distance = distance(rgb, cube_levels[red], cube_levels[green], cube_levels[blue]);
    grey_distance = distance(rgb, 8 + 10 * grey, 8 + 10 * grey, 8 + 10 * grey);
    if (grey_distance < cube_distance)
        return grey_start + grey;
    return cube_start + 36 * red + 6 * green + blue;
}

unsigned tremlox__xterm_index_of_vga(unsigned vga) {
    return (vga & 8u) + tremlox__sgr_order[vga & 7u];
}

unsigned tremlox__nearest_vga_colour(uint32_t rgb) {
    unsigned best = 0;
    unsigned long best_distance = (unsigned long)-1;
    unsigned colour;
    for (colour = 0; colour < 16; ++colour) {
        const uint8_t *vga = tremlox_vga_palette[colour];
        const unsigned long this_distance = distance(rgb, vga[0], vga[1], vga[2]);
        if (this_distance < best_distance) {
            best = colour;
            best_distance = this_distance;
        }
    }
    return best;
}
