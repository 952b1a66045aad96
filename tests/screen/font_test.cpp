// Fonts: the built-in font's CP437 glyphs and the geometry of its blocks,
// lines, sextants and Braille; and the PSF reader on small fonts made here,
// the ones it must read and the ones it must refuse.
#include "cp437.h"
#include "font.h"

#include <tremlox/screen.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

const tremlox_font &builtin = *tremlox__builtin_font();

uint32_t builtin_glyph(uint32_t code_point) {
    const uint32_t glyph = tremlox__font_glyph(&builtin, code_point);
    EXPECT_NE(glyph, tremlox__no_glyph) << std::hex << "U+" << code_point;
    return glyph;
}

bool ink(uint32_t code_point, unsigned x, unsigned y) {
    return tremlox__font_bitmap(&builtin, builtin_glyph(code_point))[y] & 0x80 >> x;
}

// Whether the glyph is inked exactly where `inked(x, y)` says.
template <typename Shape> void expect_shape(uint32_t code_point, Shape inked) {
    for (unsigned y = 0; y < 16; ++y)
        for (unsigned x = 0; x < 8; ++x)
            ASSERT_EQ(ink(code_point, x, y), inked(x, y))
                << std::hex << "U+" << code_point << std::dec << " at " << x << "," << y;
}

TEST(BuiltinFont, HoldsEveryCp437GlyphEachItsOwnButTheBlanks) {
    std::map<std::string, int> seen;
    for (int byte = 0; byte < 256; ++byte) {
        const uint32_t glyph = builtin_glyph(tremlox__cp437_code_point((unsigned char)byte));
        const std::string bitmap(
            reinterpret_cast<const char *>(tremlox__font_bitmap(&builtin, glyph)), 16);
        if (byte == 0x00 || byte == 0x20 || byte == 0xff) {
            EXPECT_EQ(bitmap, std::string(16, '\0')) << byte;
            continue;
        }
        const auto [where, fresh] = seen.emplace(bitmap, byte);
        EXPECT_TRUE(fresh) << std::hex << "0x" << byte << " looks like 0x" << where->second;
    }
    unsigned width = 0, height = 0;
    tremlox_font_glyph_size(nullptr, &width, &height);
    EXPECT_EQ(width, 8u);
    EXPECT_EQ(height, 16u);
}

TEST(BuiltinFont, DrawsEveryBlockLineSextantAndBrailleCell) {
    const std::initializer_list<std::pair<uint32_t, uint32_t>> ranges = {
        {0x2500, 0x259f}, {0x1fb00, 0x1fb3b}, {0x2800, 0x28ff}};
    for (auto [first, last] : ranges)
        for (uint32_t code_point = first; code_point <= last; ++code_point)
            builtin_glyph(code_point);
    EXPECT_EQ(tremlox__font_glyph(&builtin, 0x2fffu), tremlox__no_glyph);
}

TEST(BuiltinFont, HalfBlocksEighthsAndQuadrantsCoverTheirShare) {
    expect_shape(0x2580, [](unsigned, unsigned y) { return y < 8; });  // ▀
    expect_shape(0x2584, [](unsigned, unsigned y) { return y >= 8; }); // ▄
    expect_shape(0x258c, [](unsigned x, unsigned) { return x < 4; });  // ▌
    expect_shape(0x2590, [](unsigned x, unsigned) { return x >= 4; }); // ▐
    expect_shape(0x2588, [](unsigned, unsigned) { return true; });     // █
    for (unsigned eighths = 1; eighths < 8; ++eighths) {
        expect_shape(0x2580 + eighths, [&](unsigned, unsigned y) { return y >= 16 - 2 * eighths; });
        expect_shape(0x2590 - eighths, [&](unsigned x, unsigned) { return x < eighths; });
    }
    // ▖▗▘▙▚▛▜▝▞▟ as quadrants: 1 upper left, 2 upper right, 4 lower left, 8 lower right.
    const unsigned quadrants[] = {4, 8, 1, 13, 9, 7, 11, 2, 6, 14};
    for (unsigned i = 0; i < 10; ++i)
        expect_shape(0x2596 + i, [&](unsigned x, unsigned y) {
            return (quadrants[i] >> ((x >= 4) + 2 * (y >= 8)) & 1) != 0;
        });
}

// Evenly spread: every 4x2 window of ░ ▒ ▓ holds 2, 4 or 6 dots, so the
// whole cell a quarter, a half or three quarters of its pixels.
TEST(BuiltinFont, ShadesAreEvenDotsOfAQuarterAHalfAndThreeQuarters) {
    for (unsigned quarters = 1; quarters <= 3; ++quarters)
        for (unsigned top = 0; top + 2 <= 16; ++top)
            for (unsigned left = 0; left + 4 <= 8; ++left) {
                unsigned dots = 0;
                for (unsigned y = top; y < top + 2; ++y)
                    for (unsigned x = left; x < left + 4; ++x)
                        dots += ink(0x2590 + quarters, x, y);
                ASSERT_EQ(dots, 2 * quarters) << quarters << " at " << left << "," << top;
            }
}

// Each pattern's dots, by Unicode's numbering: dots 1-3 and 7 down the left
// column, 4-6 and 8 down the right, each in its own 4x4 square of the cell.
TEST(BuiltinFont, BrailleInksTheDotsItsBitsName) {
    const unsigned dot_column[8] = {0, 0, 0, 1, 1, 1, 0, 1};
    const unsigned dot_row[8] = {0, 1, 2, 0, 1, 2, 3, 3};
    for (unsigned pattern = 0; pattern < 256; ++pattern)
        for (unsigned dot = 0; dot < 8; ++dot) {
            unsigned pixels = 0;
            for (unsigned y = 4 * dot_row[dot]; y < 4 * dot_row[dot] + 4; ++y)
                for (unsigned x = 4 * dot_column[dot]; x < 4 * dot_column[dot] + 4; ++x)
                    pixels += ink(0x2800 + pattern, x, y);
            EXPECT_EQ(pixels, (pattern >> dot & 1) * 4) << std::hex << pattern << " dot " << dot;
        }
}

// Sextants number their six cells 1-6 across then down, in rows of 5, 6 and
// 5 pixels; U+1FB00 on count every pattern but the empty, the full and the
// two halves (▌▐).
TEST(BuiltinFont, SextantsInkTheirCells) {
    uint32_t code_point = 0x1fb00;
    for (unsigned pattern = 1; pattern < 63; ++pattern) {
        if (pattern == 21 || pattern == 42)
            continue;
        expect_shape(code_point++, [&](unsigned x, unsigned y) {
            const unsigned band = y < 5 ? 0 : y < 11 ? 1 : 2;
            return (pattern >> (2 * band + (x >= 4)) & 1) != 0;
        });
    }
}

// Lines join their neighbours: wherever a glyph of U+2500-U+257F (but the
// diagonals) reaches an
// edge of the cell it does so as ─ ━ ═ (left, right) or │ ┃ ║ (top, bottom).
TEST(BuiltinFont, LinesMeetTheEdgesWhereTheirNeighboursDo) {
    auto column = [](uint32_t code_point, unsigned x) {
        std::vector<bool> pixels;
        for (unsigned y = 0; y < 16; ++y)
            pixels.push_back(ink(code_point, x, y));
        return pixels;
    };
    auto row = [](uint32_t code_point, unsigned y) {
        std::vector<bool> pixels;
        for (unsigned x = 0; x < 8; ++x)
            pixels.push_back(ink(code_point, x, y));
        return pixels;
    };
    const std::set<std::vector<bool>> across{column(0x2500, 0), column(0x2501, 0),
                                             column(0x2550, 0), std::vector<bool>(16)};
    const std::set<std::vector<bool>> down{row(0x2502, 0), row(0x2503, 0), row(0x2551, 0),
                                           std::vector<bool>(8)};
    EXPECT_EQ(across.size(), 4u);
    EXPECT_EQ(down.size(), 4u);
    for (uint32_t code_point = 0x2500; code_point <= 0x257f; ++code_point) {
        if (code_point >= 0x2571 && code_point <= 0x2573)
            continue;
        EXPECT_TRUE(across.count(column(code_point, 0)) && across.count(column(code_point, 7)))
            << std::hex << "U+" << code_point;
        EXPECT_TRUE(down.count(row(code_point, 0)) && down.count(row(code_point, 15)))
            << std::hex << "U+" << code_point;
    }
}

// ---- PSF fonts ----

using bytes = std::vector<unsigned char>;

void put32(bytes &out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back((unsigned char)(value >> shift));
}

// A PSF1 font of 8 x `height` glyphs, glyph g's rows all g's low byte,
// then `table` as 16-bit entries.
bytes psf1(unsigned mode, unsigned height, const std::vector<uint16_t> &table = {}) {
    bytes out{0x36, 0x04, (unsigned char)mode, (unsigned char)height};
    for (unsigned glyph = 0; glyph < (mode & 1 ? 512u : 256u); ++glyph)
        out.insert(out.end(), height, (unsigned char)glyph);
    for (uint16_t entry : table)
        out.insert(out.end(), {(unsigned char)entry, (unsigned char)(entry >> 8)});
    return out;
}

// `head`, then `empty` glyphs without code points, then `tail`.
std::vector<uint16_t> psf1_table(std::vector<uint16_t> head, unsigned empty,
                                 std::initializer_list<uint16_t> tail = {}) {
    head.insert(head.end(), empty, 0xffff);
    head.insert(head.end(), tail);
    return head;
}

struct psf2_header {
    uint32_t flags = 1, length = 3, charsize = 24, height = 12, width = 10, header_size = 32;
};

// A PSF2 font: the header, `glyph_bytes` bytes of glyphs (byte i is i), the table.
bytes psf2(psf2_header header, std::size_t glyph_bytes, const std::string &table = "") {
    bytes out{0x72, 0xb5, 0x4a, 0x86};
    for (uint32_t field : {0u, header.header_size, header.flags, header.length, header.charsize,
                           header.height, header.width})
        put32(out, field);
    out.resize(std::clamp<std::size_t>(header.header_size, 32, 64));
    for (std::size_t i = 0; i < glyph_bytes; ++i)
        out.push_back((unsigned char)i);
    out.insert(out.end(), table.begin(), table.end());
    return out;
}

const std::string three_glyphs = "\xc3\xa9\xfe"
                                 "e\xcc\x81\xff"
                                 "\xe2\x82\xac"
                                 "A\xff"
                                 "\xf0\x9f\x98\x80\xff";

struct read_case {
    const char *name;
    bytes font;
    unsigned width, height;
    std::map<uint32_t, uint32_t> glyphs; // code point: glyph or tremlox__no_glyph
};

TEST(PsfFont, ReadsWhatItShouldAndMapsTheFirstGlyphOfEachCodePoint) {
    const uint32_t none = tremlox__no_glyph;
    const std::vector<read_case> cases = {
        {"PSF1 256, no table: CP437 order",
         psf1(0, 14),
         8,
         14,
         {{0x263a, 1}, {'A', 0x41}, {' ', 0x20}, {0xa0, 0xff}, {0x2592, 0xb1}, {0x100, none}}},
        {"PSF1 512 with sequences and a code point twice",
         psf1(0x07, 16,
              psf1_table({'A', 0xfffe, 'B', 0x301, 0xffff, 'B', 'A', 0xffff}, 509,
                         {0x1234, 0xffff})),
         8,
         16,
         {{'A', 0}, {'B', 1}, {0x301, none}, {0x1234, 511}, {0x263a, none}}},
        {"PSF1 mode 0x02 table", psf1(0x02, 8, psf1_table({'x'}, 256)), 8, 8, {{'x', 0}}},
        {"PSF2 with UTF-8 and sequences",
         psf2({}, 72, three_glyphs),
         10,
         12,
         {{0xe9, 0}, {'e', none}, {0x20ac, 1}, {'A', 1}, {0x1f600, 2}}},
        {"PSF2 without table, more than 256 glyphs",
         psf2({0, 300, 24}, 300 * 24),
         10,
         12,
         {{0x263a, 1}, {0xa0, 0xff}, {0x25ba, 0x10}}},
        {"PSF2 with a longer header, 32x64",
         psf2({0, 2, 256, 64, 32, 40}, 512),
         32,
         64,
         {{0x263a, 1}, {0x263b, none}}},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(tremlox_font_error(test.font.data(), test.font.size()), nullptr);
        bytes copy = test.font;
        tremlox_font *font = tremlox_font_read(copy.data(), copy.size());
        ASSERT_NE(font, nullptr);
        copy.assign(copy.size(), 0xaa); // the font must hold its own copy
        unsigned width = 0, height = 0;
        tremlox_font_glyph_size(font, &width, &height);
        EXPECT_EQ(width, test.width);
        EXPECT_EQ(height, test.height);
        for (auto [code_point, glyph] : test.glyphs) {
            EXPECT_EQ(tremlox__font_glyph(font, code_point), glyph) << std::hex << code_point;
            if (glyph == none)
                continue;
            const std::size_t glyph_size = height * ((width + 7) / 8);
            const std::size_t offset = test.font[0] == 0x36 ? 4 : test.font[0x08];
            EXPECT_EQ(bytes(tremlox__font_bitmap(font, glyph),
                            tremlox__font_bitmap(font, glyph) + glyph_size),
                      bytes(&test.font[offset + glyph * glyph_size],
                            &test.font[offset + (glyph + 1) * glyph_size]));
        }
        tremlox_font_free(font);
    }
}

TEST(PsfFont, RefusesBrokenFonts) {
    const bytes valid1 = psf1(0x02, 16, psf1_table({}, 256));
    const bytes valid2 = psf2({}, 72, three_glyphs);
    auto cut = [](bytes font, std::size_t drop) { return font.resize(font.size() - drop), font; };
    auto with = [](bytes font, std::initializer_list<unsigned char> more) {
        return font.insert(font.end(), more), font;
    };
    const std::vector<std::pair<const char *, bytes>> cases = {
        {"empty", {}},
        {"wrong magic", bytes{0x36, 0x05, 0, 16}},
        {"PSF1 header cut short", bytes{0x36, 0x04, 0}},
        {"PSF2 header cut short", bytes(valid2.begin(), valid2.begin() + 31)},
        {"PSF1 glyphs cut short", cut(psf1(0, 16), 1)},
        {"PSF2 glyphs cut short", psf2({0}, 71)},
        {"PSF1 table unterminated", cut(valid1, 2)},
        {"PSF1 table of an odd size", cut(valid1, 1)},
        {"PSF2 table unterminated", cut(valid2, 1)},
        {"PSF1 table past the last glyph", with(valid1, {0xff, 0xff})},
        {"PSF2 table past the last glyph", with(valid2, {'A', 0xff})},
        {"PSF2 table not UTF-8", psf2({}, 72, "\xc0\x80\xff\xff\xff")},
        {"PSF2 sequence not UTF-8", psf2({}, 72, "a\xfe\x80\xff\xff\xff")},
        {"no glyphs", psf2({0, 0}, 0)},
        {"PSF1 glyphs of no rows", psf1(0, 0)},
        {"PSF2 glyphs of no rows", psf2({0, 3, 0, 0}, 0)},
        {"glyphs of no width", psf2({0, 3, 12, 12, 0}, 36)},
        {"33 wide", psf2({0, 1, 320, 64, 33}, 320)},
        {"65 tall", psf2({0, 1, 65, 65, 8}, 65)},
        {"PSF1 65 tall", psf1(0, 65)},
        {"charsize not its width and height", psf2({0, 3, 25}, 75)},
        {"header shorter than PSF2's", psf2({0, 3, 24, 12, 10, 16}, 72)},
        {"header longer than the font", psf2({0, 3, 24, 12, 10, 0xfffffff0}, 72)},
        {"length x charsize past 32 bits", psf2({0, 0x01000001, 256, 64, 32}, 512)},
        {"length x charsize past any size", psf2({1, 0xffffffff, 256, 64, 32}, 512)},
    };
    for (const auto &[name, font] : cases) {
        SCOPED_TRACE(name);
        // An exact copy, so that the address sanitizer sees any read past its end.
        const std::unique_ptr<unsigned char[]> exact(new unsigned char[font.size()]);
        std::copy(font.begin(), font.end(), exact.get());
        EXPECT_NE(tremlox_font_error(exact.get(), font.size()), nullptr);
        errno = 0;
        EXPECT_EQ(tremlox_font_read(exact.get(), font.size()), nullptr);
        EXPECT_EQ(errno, EINVAL);
    }
    errno = 0;
    EXPECT_EQ(tremlox_font_read(nullptr, 4), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_NE(tremlox_font_error(nullptr, 4), nullptr);
}

} // namespace
