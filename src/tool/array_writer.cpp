#include "array_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace tremlox {
namespace {

static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big,
              "the value table is laid out for little- or big-endian stores");

// Where the i-th character of a value's text goes in the 32-bit word that
// put_value stores: the first character must land at the lowest address.
constexpr unsigned character_shift(unsigned i) {
    constexpr unsigned last = max_value_size - 1;
    return std::endian::native == std::endian::little ? 8 * i : 8 * (last - i);
}

// The text of one value, "0," to "255,", padded with zeros to four
// characters so that it is always copied whole, and its length in the bits
// above them: one load per value gives both.
constexpr std::array<std::uint64_t, 256> make_value_table() {
    std::array<std::uint64_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        char text[max_value_size] = {};
        unsigned size = 0;
        if (value >= 100)
            text[size++] = static_cast<char>('0' + value / 100);
        if (value >= 10)
            text[size++] = static_cast<char>('0' + value / 10 % 10);
        text[size++] = static_cast<char>('0' + value % 10);
        text[size++] = ',';
        std::uint64_t entry = std::uint64_t{size} << 32;
        for (unsigned i = 0; i < max_value_size; ++i)
            entry |= std::uint64_t{static_cast<unsigned char>(text[i])} << character_shift(i);
        table[value] = entry;
    }
    return table;
}

constexpr std::array<std::uint64_t, 256> value_table = make_value_table();

// The characters a store of a value's word puts in memory, lowest address
// first: what put_value writes on this target.
constexpr std::array<char, max_value_size> stored_text(unsigned char byte) {
    return std::bit_cast<std::array<char, max_value_size>>(
        static_cast<std::uint32_t>(value_table[byte]));
}
static_assert(stored_text(0) == std::array<char, 4>{'0', ',', 0, 0});
static_assert(stored_text(27) == std::array<char, 4>{'2', '7', ',', 0});
static_assert(stored_text(255) == std::array<char, 4>{'2', '5', '5', ','});

// Copies four characters whatever the value's length: one unaligned store
// instead of a length-dependent copy. The caller's room for max_value_size
// per value covers the padding.
inline char *put_value(char *out, unsigned char byte) {
    const std::uint64_t entry = value_table[byte];
    const auto text = static_cast<std::uint32_t>(entry);
    std::memcpy(out, &text, max_value_size);
    return out + (entry >> 32);
}

inline char *put_text(char *out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

inline char *put_values(const unsigned char *bytes, std::size_t count, char *out) {
    for (std::size_t i = 0; i < count; ++i)
        out = put_value(out, bytes[i]);
    return out;
}

// A whole row and its break, unrolled: the loop that carries nearly all of
// a large input.
inline char *put_row(const unsigned char *bytes, char *out) {
    [&]<std::size_t... i>(std::index_sequence<i...>) {
        ((out = put_value(out, bytes[i])), ...);
    }
    (std::make_index_sequence<values_per_row>{});
    return put_text(out, row_break);
}

} // namespace

char *format_values(std::span<const unsigned char> bytes, unsigned &row_position,
                    char *out) noexcept {
    const unsigned char *next = bytes.data();
    std::size_t left = bytes.size();
    // Finish the row a previous block left open.
    if (row_position != 0) {
        const std::size_t count = std::min<std::size_t>(values_per_row - row_position, left);
        out = put_values(next, count, out);
        next += count;
        left -= count;
        row_position += static_cast<unsigned>(count);
        if (row_position < values_per_row)
            return out;
        out = put_text(out, row_break);
    }
    for (; left >= values_per_row; left -= values_per_row, next += values_per_row)
        out = put_row(next, out);
    row_position = static_cast<unsigned>(left);
    return put_values(next, left, out);
}

} // namespace tremlox
