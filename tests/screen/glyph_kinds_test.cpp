// The table of how many cells a code point takes: the edges of the wide
// blocks, the marks and format characters that join the glyph before them,
// the bidirectional controls, and the CP437 glyphs, which must all stay
// narrow for classic art to keep its columns.
#include "cp437.h"
#include "glyph_kinds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <utility>

namespace {

// wide_ranges, joining_ranges and dropped_ranges, as the lookup searches them.
#include "glyph_kinds_table.c"

using cases = std::initializer_list<std::pair<std::uint32_t, glyph_kind>>;

void expect_kinds(cases expected) {
    for (auto [code_point, kind] : expected)
        EXPECT_EQ(tremlox__glyph_kind(code_point), kind) << std::hex << "U+" << code_point;
}

TEST(GlyphKinds, HangulJamoAreWideAndTheirMedialsAndFinalsJoin) {
    expect_kinds({{0x10ff, glyph_narrow},
                  {0x1100, glyph_wide},
                  {0x115f, glyph_wide},
                  {0x1160, glyph_joining},
                  {0x11ff, glyph_joining},
                  {0x1200, glyph_narrow},
                  {0xac00, glyph_wide},
                  {0xd7a3, glyph_wide},
                  {0xd7a4, glyph_narrow},
                  {0xd7b0, glyph_joining},
                  {0xd7ff, glyph_joining},
                  {0xd800, glyph_narrow}});
}

TEST(GlyphKinds, CjkSymbolsAndFullwidthFormsAreWide) {
    expect_kinds({{0x2e7f, glyph_narrow},
                  {0x2e80, glyph_wide},
                  {0x3000, glyph_wide},
                  {0x303e, glyph_wide},
                  {0x303f, glyph_narrow},
                  {0xff00, glyph_narrow},
                  {0xff01, glyph_wide},
                  {0xff60, glyph_wide},
                  {0xff61, glyph_narrow},
                  {0xffe0, glyph_wide}});
}

// Unassigned code points in the CJK blocks and planes 2 and 3 are wide, as
// terminals draw them; the two noncharacters that end each plane are not.
TEST(GlyphKinds, IdeographsAssignedOrNotAreWide) {
    expect_kinds({{0x4e00, glyph_wide},
                  {0x9fff, glyph_wide},
                  {0xfa6e, glyph_wide},
                  {0x20000, glyph_wide},
                  {0x2a6e0, glyph_wide},
                  {0x2fffd, glyph_wide},
                  {0x2fffe, glyph_narrow},
                  {0x30000, glyph_wide},
                  {0x3fffd, glyph_wide},
                  {0x3fffe, glyph_narrow}});
}

TEST(GlyphKinds, EmojiAreWideWhenTerminalsDrawThemWide) {
    expect_kinds({{0x1f600, glyph_wide}, {0x2764, glyph_narrow}, {0x231a, glyph_wide}});
}

// Marks that East Asian Width calls wide (the ideographic tone marks, the
// kana voicing marks) still join.
TEST(GlyphKinds, MarksAndFormatCharactersJoin) {
    expect_kinds({{0x0301, glyph_joining},
                  {0x20dd, glyph_joining},
                  {0x200b, glyph_joining},
                  {0x200c, glyph_joining},
                  {0x200d, glyph_joining},
                  {0xfe0f, glyph_joining},
                  {0xe0100, glyph_joining},
                  {0x302a, glyph_joining},
                  {0x3099, glyph_joining},
                  {0x00ad, glyph_narrow}});
}

TEST(GlyphKinds, BidirectionalControlsAreDropped) {
    expect_kinds({{0x061c, glyph_dropped},
                  {0x200e, glyph_dropped},
                  {0x200f, glyph_dropped},
                  {0x202a, glyph_dropped},
                  {0x202b, glyph_dropped},
                  {0x202c, glyph_dropped},
                  {0x202d, glyph_dropped},
                  {0x202e, glyph_dropped},
                  {0x2066, glyph_dropped},
                  {0x2067, glyph_dropped},
                  {0x2068, glyph_dropped},
                  {0x2069, glyph_dropped},
                  {0x2029, glyph_narrow},
                  {0x202f, glyph_narrow},
                  {0x2064, glyph_joining},
                  {0x206a, glyph_joining}});
}

TEST(GlyphKinds, EdgesOfTheCodeSpaceAndOfTheTables) {
    for (std::uint32_t code_point = 0x20; code_point < 0x7f; ++code_point)
        EXPECT_EQ(tremlox__glyph_kind(code_point), glyph_narrow) << code_point;
    expect_kinds({{0x0000, glyph_narrow},
                  {0x02ff, glyph_narrow},
                  {0x0300, glyph_joining},
                  {0xe01ef, glyph_joining},
                  {0xe01f0, glyph_narrow},
                  {0x10ffff, glyph_narrow},
                  {0x110000, glyph_narrow},
                  {0xffffffff, glyph_narrow}});
}

// Both ends of every range are found, and the code points just outside are
// of another kind: the ranges are sorted and merged, and the search misses
// no edge.
template <std::size_t count>
void expect_ranges(const std::uint32_t (&ranges)[count][2], glyph_kind kind) {
    for (const auto &range : ranges) {
        EXPECT_LE(range[0], range[1]);
        EXPECT_EQ(tremlox__glyph_kind(range[0]), kind) << std::hex << "U+" << range[0];
        EXPECT_EQ(tremlox__glyph_kind(range[1]), kind) << std::hex << "U+" << range[1];
        EXPECT_NE(tremlox__glyph_kind(range[0] - 1), kind) << std::hex << "U+" << range[0] - 1;
        EXPECT_NE(tremlox__glyph_kind(range[1] + 1), kind) << std::hex << "U+" << range[1] + 1;
    }
}

TEST(GlyphKinds, EveryRangeIsFoundToItsEdges) {
    expect_ranges(wide_ranges, glyph_wide);
    expect_ranges(joining_ranges, glyph_joining);
    expect_ranges(dropped_ranges, glyph_dropped);
}

TEST(GlyphKinds, EveryCp437GlyphTakesOneCell) {
    for (unsigned byte = 0; byte < 256; ++byte) {
        std::uint32_t code_point = tremlox__cp437_code_point(static_cast<unsigned char>(byte));
        EXPECT_EQ(tremlox__glyph_kind(code_point), glyph_narrow)
            << "byte " << byte << ", U+" << std::hex << code_point;
    }
}

} // namespace
