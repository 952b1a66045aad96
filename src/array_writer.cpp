#include "array_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tremlox {
namespace {

// The text of one value, "0," to "255,", padded to four characters so that
// it is always copied whole; only the first `size` characters count.
struct value_text {
    char text[max_value_size];
    unsigned char size;
};

constexpr std::array<value_text, 256> make_value_table() {
    std::array<value_text, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        value_text &entry = table[value];
        char digits[3];
        unsigned count = 0;
        unsigned rest = value;
        do {
            digits[count++] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        for (unsigned i = 0; i < count; ++i)
            entry.text[i] = digits[count - 1 - i];
        entry.text[count] = ',';
        entry.size = static_cast<unsigned char>(count + 1);
    }
    return table;
}

constexpr std::array<value_text, 256> value_table = make_value_table();

// Copies four characters whatever the value's length: one unaligned store
// instead of a length-dependent copy. The caller's room for max_value_size
// per value covers the padding.
inline char *put_value(char *out, unsigned char byte) {
    const value_text &entry = value_table[byte];
    std::memcpy(out, entry.text, max_value_size);
    return out + entry.size;
}

inline char *put_text(char *out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// A count known at compile time lets the compiler unroll a whole row.
template <unsigned count> inline char *put_values(const unsigned char *bytes, char *out) {
    for (unsigned i = 0; i < count; ++i)
        out = put_value(out, bytes[i]);
    return out;
}

inline char *put_values(const unsigned char *bytes, std::size_t count, char *out) {
    for (std::size_t i = 0; i < count; ++i)
        out = put_value(out, bytes[i]);
    return out;
}

// Input is read in blocks of this size; the output buffer holds the header,
// one formatted block and the terminator, so memory use stays fixed.
constexpr std::size_t input_block_size = 128 * 1024;
constexpr std::size_t output_buffer_size =
    header.size() + formatted_size_bound(input_block_size) + terminator.size();

} // namespace

char *format_values(std::span<const unsigned char> bytes, unsigned &row_position, char *out) {
    const unsigned char *next = bytes.data();
    const unsigned char *const end = next + bytes.size();
    while (next != end) {
        const std::size_t count = std::min<std::size_t>(values_per_row - row_position,
                                                        static_cast<std::size_t>(end - next));
        if (count == values_per_row)
            out = put_values<values_per_row>(next, out);
        else
            out = put_values(next, count, out);
        next += count;
        row_position += static_cast<unsigned>(count);
        if (row_position == values_per_row) {
            out = put_text(out, row_break);
            row_position = 0;
        }
    }
    return out;
}

write_result write_array(byte_source &source, byte_sink &sink) {
    static_assert(output_buffer_size < 1024 * 1024, "buffers must stay small");
    std::array<unsigned char, input_block_size> input;
    std::array<char, output_buffer_size> output;

    char *const output_start = output.data();
    char *out = put_text(output_start, header);
    unsigned row_position = 0;
    for (;;) {
        const std::ptrdiff_t count = source.read_some(input);
        if (count < 0) return {write_status::read_failed, errno};
        if (count == 0) break;
        out = format_values(std::span(input.data(), static_cast<std::size_t>(count)), row_position,
                            out);
        if (!sink.write_all(std::span<const char>(output_start, out)))
            return {write_status::write_failed, errno};
        out = output_start;
    }
    out = put_text(out, terminator);
    if (!sink.write_all(std::span<const char>(output_start, out)))
        return {write_status::write_failed, errno};
    return {write_status::done, 0};
}

std::ptrdiff_t fd_source::read_some(std::span<unsigned char> buffer) {
    for (;;) {
        const ssize_t count = ::read(fd_, buffer.data(), buffer.size());
        if (count >= 0 || errno != EINTR) return count;
    }
}

bool fd_sink::write_all(std::span<const char> text) {
    while (!text.empty()) {
        const ssize_t count = ::write(fd_, text.data(), text.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (count == 0) { // no progress and no reason: do not spin
            errno = EIO;
            return false;
        }
        text = text.subspan(static_cast<std::size_t>(count));
    }
    return true;
}

} // namespace tremlox
