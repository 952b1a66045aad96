// The painter: small screens against pictures checked by eye and kept in
// pictures/ (TREMLOX_WRITE_PICTURES=1 writes them anew), a font of the
// test's own, and what must hold of every picture: its size, bands, scale,
// blink and the caller's colours.
#include "screen_support.h"

#include <tremlox/screen.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using screen_support::record;
using screen_support::record_fields;
using grid_pointer = std::unique_ptr<tremlox_grid, void (*)(tremlox_grid *)>;

grid_pointer drawn(const std::string &screen, unsigned width = 0) {
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.width = width;
    return {tremlox_screen_draw(screen.data(), screen.size(), &options), tremlox_grid_free};
}

tremlox_picture_options picture_options(unsigned letter_spacing = 8, unsigned scale = 1) {
    tremlox_picture_options options = TREMLOX_PICTURE_OPTIONS_INIT;
    options.letter_spacing = letter_spacing;
    options.scale = scale;
    return options;
}

struct picture {
    unsigned width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // 0xRRGGBB
    bool operator==(const picture &) const = default;
};

// The picture painted in bands of `band` rows (0: at once), rows a little
// further apart than their width, none of it written past.
picture painted(const tremlox_grid *grid, const tremlox_picture_options &options,
                unsigned band = 0) {
    picture result;
    EXPECT_EQ(tremlox_grid_picture_size(grid, &options, &result.width, &result.height), 0);
    const std::size_t stride = result.width * 4 + 12;
    std::vector<unsigned char> rgba(stride * result.height, 0x5a);
    const unsigned step = band > 0 ? band : result.height + 1;
    for (unsigned row = 0; row < result.height; row += step)
        EXPECT_EQ(tremlox_grid_paint(grid, &options, row, std::min(step, result.height - row),
                                     &rgba[stride * row], stride),
                  0);
    for (unsigned y = 0; y < result.height; ++y) {
        for (const unsigned char *pixel = &rgba[stride * y];
             pixel < &rgba[stride * y + result.width * 4]; pixel += 4) {
            EXPECT_EQ(pixel[3], 255);
            result.pixels.push_back(pixel[0] << 16 | pixel[1] << 8 | pixel[2]);
        }
        EXPECT_EQ(rgba[stride * y + result.width * 4], 0x5a) << "painted past row " << y;
    }
    return result;
}

// One character a pixel, after a legend of the colours in order of value.
std::string as_text(const picture &picture) {
    const std::string characters = ".#@ox+=*%&abcdefghijklmnpqrstuvwyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::map<std::uint32_t, char> legend;
    for (const std::uint32_t colour : picture.pixels)
        legend[colour] = 0;
    std::ostringstream key, rows;
    std::size_t next = 0;
    for (auto &[colour, character] : legend) {
        character = characters.at(next++);
        key << ' ' << character << '=' << std::hex << std::setw(6) << std::setfill('0') << colour;
    }
    for (std::size_t at = 0; at < picture.pixels.size(); ++at)
        rows << legend[picture.pixels[at]] << ((at + 1) % picture.width == 0 ? "\n" : "");
    return "legend" + key.str() + "\n" + rows.str();
}

void expect_golden(const picture &picture, const std::string &name) {
    const std::string path = std::string(PICTURES_DIRECTORY) + "/" + name + ".txt";
    const std::string text = as_text(picture);
    if (std::getenv("TREMLOX_WRITE_PICTURES") != nullptr)
        std::ofstream(path, std::ios::binary) << text;
    std::ifstream file(path, std::ios::binary);
    const std::string stored((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(text, stored) << name << " painted as:\n" << text;
}

// Colours, an iCE background, lines that join across the 9th column, a
// shade and the half blocks.
std::string classic_screen() {
    record_fields fields;
    fields.width = 6;
    fields.flags = 0x01 | 0x04; // iCE colours, 9-dot letters
    return "\x1b[1;31mA\x1b[0;33;5;44mB\x1b[0m\xc4\xc5\xc4\xbf"
           "\xb0\xdf\x1b[32;41m\xdc\xdb\xdd\xde\x1a" +
           record(fields);
}

// 24-bit colour, the underlines, strike, overline, italic, a mark the font
// lacks, a wide glyph and one it lacks, faint, bold, and the terminal's
// palette.
std::string modern_screen() {
    return "\x1b[38;2;255;128;0mA\x1b[0;4mB\x1b[4:3mA\x1b[4:4;58;2;255;0;255mB\x1b[0;9mA"
           "\x1b[0;53mB\x1b[0;3mA\x1b[0me\xcc\x81\r\n"
           "\x1b[21mA\x1b[4:5mB\x1b[0m\xe4\xb8\x80\xee\x80\x80\x1b[2mB\x1b[0;1mA"
           "\x1b[0;38;5;200;41mB";
}

TEST(Painter, PicturesOfClassicAndModernScreens) {
    const grid_pointer classic = drawn(classic_screen());
    expect_golden(painted(classic.get(), picture_options(8)), "classic_8_dots");
    expect_golden(painted(classic.get(), picture_options(0)), "classic_9_dots");
    // The terminal's colours and palette as the caller gives them.
    std::vector<std::uint32_t> palette(256);
    for (std::uint32_t entry = 0; entry < palette.size(); ++entry)
        palette[entry] = 0x102030 + entry;
    tremlox_picture_options options = picture_options();
    options.terminal_foreground = TREMLOX_RGB(0xcc, 0xdd, 0xee);
    options.terminal_background = TREMLOX_RGB(1, 2, 3);
    options.palette = palette.data();
    expect_golden(painted(drawn(modern_screen(), 8).get(), options), "modern");
}

TEST(Painter, LetterSpacingComesFromTheRecordAndSetsTheSize) {
    record_fields fields;
    for (const auto &[flags, spacing] : {std::pair{0, 0u}, {2, 8u}, {4, 9u}, {6, 0u}, {5, 9u}}) {
        fields.flags = static_cast<std::uint8_t>(flags);
        const std::string screen = "A\r\nB\x1a" + record(fields);
        EXPECT_EQ(tremlox_screen_letter_spacing(screen.data(), screen.size()), spacing) << flags;
        const picture defaults = painted(drawn(screen, 5).get(), picture_options(0, 3));
        EXPECT_EQ(std::pair(defaults.width, defaults.height),
                  std::pair(5 * (spacing == 9 ? 27u : 24u), 2 * 48u));
    }
    unsigned width = 1, height = 1;
    ASSERT_EQ(tremlox_grid_picture_size(drawn("", 3).get(), nullptr, &width, &height), 0);
    EXPECT_EQ(std::pair(width, height), std::pair(24u, 0u));
}

// A PSF2 font of 10x6 glyphs (two bytes a row) with a Unicode table: A a
// full block, U+0301 its top row, U+2500 a middle row, U+4E00 its left
// half; no U+FFFD.
std::string custom_font() {
    const auto le32 = [](std::uint32_t value) {
        return std::string{static_cast<char>(value), static_cast<char>(value >> 8),
                           static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    };
    const std::string full("\xff\xc0", 2), left("\xf8\x00", 2), none(2, '\0');
    return le32(0x864ab572) + le32(0) + le32(32) + le32(1) + le32(4) + le32(12) + le32(6) +
           le32(10) + full + full + full + full + full + full + full + none + none + none + none +
           none + none + none + none + full + none + none + left + left + left + left + left +
           left + "A\xff\xcc\x81\xff\xe2\x94\x80\xff\xe4\xb8\x80\xff";
}

TEST(Painter, CustomFontsGlyphsMarksWideGlyphsAndHollowBoxes) {
    const std::string bytes = custom_font();
    const std::unique_ptr<tremlox_font, void (*)(tremlox_font *)> font(
        tremlox_font_read(bytes.data(), bytes.size()), tremlox_font_free);
    ASSERT_NE(font, nullptr) << tremlox_font_error(bytes.data(), bytes.size());
    tremlox_picture_options options = picture_options(9);
    options.font = font.get();
    expect_golden(painted(drawn("A\xe2\x94\x80\xcc\x81\xe4\xb8\x80Z", 5).get(), options),
                  "custom_font");
}

TEST(Painter, BandsOfAnySizeAndScalesAreTheWholePicture) {
    const grid_pointer modern = drawn(modern_screen(), 8);
    const grid_pointer classic = drawn(classic_screen());
    for (const tremlox_grid *grid : {modern.get(), classic.get()}) {
        const picture whole = painted(grid, picture_options(9));
        for (const unsigned band : {1u, 7u, 17u})
            EXPECT_EQ(painted(grid, picture_options(9), band), whole) << band;
        const picture tripled = painted(grid, picture_options(9, 3), 5);
        ASSERT_EQ(std::pair(tripled.width, tripled.height),
                  std::pair(whole.width * 3, whole.height * 3));
        for (unsigned y = 0; y < tripled.height; ++y)
            for (unsigned x = 0; x < tripled.width; ++x)
                ASSERT_EQ(tripled.pixels[y * tripled.width + x],
                          whole.pixels[y / 3 * whole.width + x / 3])
                    << x << "," << y;
    }
}

TEST(Painter, BlinkHiddenLeavesTheBackground) {
    const grid_pointer blinking = drawn("\x1b[5;34;42m\xe2\x96\x88\x1b[0;4;5m\xe4\xb8\x80", 3);
    tremlox_picture_options options = picture_options();
    EXPECT_EQ(painted(blinking.get(), options).pixels[0], 0x0000aau); // the visible phase
    options.blink_hidden = true;
    const picture hidden = painted(blinking.get(), options);
    for (std::size_t at = 0; at < hidden.pixels.size(); ++at)
        ASSERT_EQ(hidden.pixels[at], at % hidden.width < 8 ? 0x00aa00u : 0) << at;
}

TEST(Painter, RefusesBadArguments) {
    const grid_pointer grid = drawn("AB", 2); // 16 x 16 pixels
    std::vector<unsigned char> rgba(64 * 16);
    const auto paints = [&](tremlox_picture_options options, unsigned first, unsigned count,
                            std::size_t stride = 64) {
        errno = 0;
        return tremlox_grid_paint(grid.get(), &options, first, count, rgba.data(), stride) == 0 ||
               errno != EINVAL;
    };
    const tremlox_picture_options good = picture_options();
    EXPECT_TRUE(paints(good, 15, 1) && paints(tremlox_picture_options{}, 0, 16)); // {}: defaults
    EXPECT_FALSE(paints(good, 16, 1) || paints(good, 1, 0xffffffffu) || paints(good, 0, 1, 63));
    EXPECT_EQ(tremlox_grid_paint(grid.get(), &good, 0, 1, nullptr, 64), -1);
    tremlox_picture_options bad[4] = {good, good, good, good};
    bad[0].letter_spacing = 7;
    bad[1].scale = 9;
    bad[2].size = sizeof(std::size_t);
    bad[3].terminal_foreground = 0xaaaaaa; // not TREMLOX_RGB
    for (const tremlox_picture_options &options : bad) {
        unsigned width, height;
        EXPECT_FALSE(paints(options, 0, 1));
        EXPECT_EQ(tremlox_grid_picture_size(grid.get(), &options, &width, &height), -1);
    }
}

} // namespace
