#include "png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tremlox::view {

namespace {

constexpr unsigned char png_signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr int colour_type_rgb = 2;
constexpr int colour_type_palette = 3;
constexpr unsigned char filter_none = 0;
constexpr unsigned char filter_paeth = 4;

// The painted band is at most this size, whatever the screen's height.
constexpr std::size_t band_bytes = std::size_t{1} << 20;
// The compressed data of one IDAT chunk.
constexpr std::size_t chunk_data_bytes = std::size_t{1} << 16;
// zlib's level 6 makes pictures as small as level 9 does, at a third of its
// time: flat-coloured glyphs compress well at any level.
constexpr int compression_level = 6;

constexpr std::size_t most_colours = 256;

void put_big_endian(unsigned char *at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value >> 24);
    at[1] = static_cast<unsigned char>(value >> 16);
    at[2] = static_cast<unsigned char>(value >> 8);
    at[3] = static_cast<unsigned char>(value);
}

// A painted pixel's four bytes as one value, to compare and look up: its
// alpha byte, always 255, keeps it from being 0, the empty slot's key.
std::uint32_t pixel_key(const unsigned char *pixel) {
    std::uint32_t key;
    std::memcpy(&key, pixel, sizeof key);
    return key;
}

// The picture's colours in the order they first appear, and each one's
// index: an open-addressing table, four times as large as it may get full.
class palette {
  public:
    // The index of the pixel's colour, added when new; -1 when it would be
    // colour 257.
    int index_of(const unsigned char *pixel) {
        const std::uint32_t key = pixel_key(pixel);
        if (key == last_key_)
            return last_index_;
        std::size_t slot = (key * 2654435761u) >> (32 - slot_bits);
        while (keys_[slot] != key && keys_[slot] != 0)
            slot = (slot + 1) & (slot_count - 1);
        if (keys_[slot] == 0) {
            if (size() == most_colours)
                return -1;
            keys_[slot] = key;
            indices_[slot] = static_cast<std::uint8_t>(size());
            colours_.insert(colours_.end(), pixel, pixel + 3);
        }
        last_key_ = key;
        last_index_ = indices_[slot];
        return last_index_;
    }

    // Red, green and blue of each colour, as PLTE holds them.
    const std::vector<unsigned char> &entries() const { return colours_; }
    std::size_t size() const { return colours_.size() / 3; }

  private:
    static constexpr unsigned slot_bits = 10;
    static constexpr std::size_t slot_count = std::size_t{1} << slot_bits;
    std::array<std::uint32_t, slot_count> keys_{};
    std::array<std::uint8_t, slot_count> indices_{};
    std::vector<unsigned char> colours_;
    std::uint32_t last_key_ = 0;
    int last_index_ = 0;
};

// Paints the picture band by band, a whole number of cell rows a band
// where they fit, for `use` to take each pixel row in turn.
class band_painter {
  public:
    band_painter(const tremlox_grid *grid, const tremlox_picture_options &options, unsigned width,
                 unsigned height)
        : grid_(grid), options_(options), height_(height), stride_(std::size_t{width} * 4) {
        const unsigned rows_per_cell = height / std::max(tremlox_grid_height(grid), 1u);
        const std::size_t rows_that_fit = std::max<std::size_t>(band_bytes / stride_, 1);
        band_rows_ = rows_that_fit >= rows_per_cell ? rows_that_fit / rows_per_cell * rows_per_cell
                                                    : rows_that_fit;
        band_rows_ = std::min<std::size_t>(band_rows_, height);
        pixels_.resize(band_rows_ * stride_);
    }

    // Calls use(row) for each pixel row, top to bottom, until it returns
    // false. Returns 0, or -1 with errno set by the painter.
    template <typename row_user> int for_each_row(row_user use) {
        for (unsigned first = 0; first < height_; first += static_cast<unsigned>(band_rows_)) {
            const auto count =
                static_cast<unsigned>(std::min<std::size_t>(band_rows_, height_ - first));
            if (tremlox_grid_paint(grid_, &options_, first, count, pixels_.data(), stride_) != 0)
                return -1;
            for (unsigned row = 0; row < count; ++row)
                if (!use(pixels_.data() + row * stride_))
                    return 0;
        }
        return 0;
    }

  private:
    const tremlox_grid *grid_;
    const tremlox_picture_options &options_;
    unsigned height_;
    std::size_t stride_;
    std::size_t band_rows_ = 1;
    std::vector<unsigned char> pixels_;
};

// Writes chunks through the sink; the first failure stops the rest.
class chunk_writer {
  public:
    chunk_writer(tremlox_write_fn write, void *context) : write_(write), context_(context) {}

    int write(const void *bytes, std::size_t size) {
        if (status_ == 0 && size > 0)
            status_ = write_(context_, static_cast<const char *>(bytes), size);
        return status_;
    }

    int chunk(const char (&type)[5], const unsigned char *data, std::size_t size) {
        unsigned char header[8];
        put_big_endian(header, static_cast<std::uint32_t>(size));
        std::copy(type, type + 4, header + 4);
        uLong crc = crc32(0, header + 4, 4);
        // Never with no data: crc32 takes a null buffer for a request to
        // start over.
        if (size > 0)
            crc = crc32(crc, data, static_cast<uInt>(size));
        unsigned char trailer[4];
        put_big_endian(trailer, static_cast<std::uint32_t>(crc));
        write(header, sizeof header);
        write(data, size);
        return write(trailer, sizeof trailer);
    }

    int status() const { return status_; }

  private:
    tremlox_write_fn write_;
    void *context_;
    int status_ = 0;
};

// The image data: the filtered rows, deflated into IDAT chunks as they come.
class image_data {
  public:
    explicit image_data(chunk_writer &out) : out_(out), buffer_(chunk_data_bytes) {}
    ~image_data() {
        if (started_)
            deflateEnd(&stream_);
    }
    image_data(const image_data &) = delete;
    image_data &operator=(const image_data &) = delete;

    // Returns 0, or -1 with errno ENOMEM.
    int start() {
        if (deflateInit(&stream_, compression_level) != Z_OK) {
            errno = ENOMEM;
            return -1;
        }
        started_ = true;
        return 0;
    }

    // Compresses the bytes; `last` with the final ones, which ends the
    // stream. Returns 0 or the sink's failure.
    int add(const unsigned char *bytes, std::size_t size, bool last) {
        stream_.next_in = const_cast<Bytef *>(bytes);
        stream_.avail_in = static_cast<uInt>(size); // one row: well under 4 GiB
        const int flush = last ? Z_FINISH : Z_NO_FLUSH;
        int result = Z_OK;
        do {
            stream_.next_out = buffer_.data() + used_;
            stream_.avail_out = static_cast<uInt>(buffer_.size() - used_);
            result = deflate(&stream_, flush);
            used_ = buffer_.size() - stream_.avail_out;
            if (used_ == buffer_.size() || (result == Z_STREAM_END && used_ > 0)) {
                if (out_.chunk("IDAT", buffer_.data(), used_) != 0)
                    return out_.status();
                used_ = 0;
            }
        } while (stream_.avail_in > 0 || (last && result != Z_STREAM_END));
        return 0;
    }

  private:
    chunk_writer &out_;
    z_stream stream_{};
    bool started_ = false;
    std::vector<unsigned char> buffer_;
    std::size_t used_ = 0;
};

int paeth_predictor(int left, int above, int above_left) {
    const int estimate = left + above - above_left;
    const int to_left = std::abs(estimate - left);
    const int to_above = std::abs(estimate - above);
    const int to_above_left = std::abs(estimate - above_left);
    if (to_left <= to_above && to_left <= to_above_left)
        return left;
    return to_above <= to_above_left ? above : above_left;
}

// The row's pixels as the palette's indices, 4 or 8 bits each, the first
// in a byte's top bits, after the filter byte.
void pack_indices(const unsigned char *rgba, unsigned width, int bits, palette &colours,
                  unsigned char *line) {
    // Every colour is in the palette: the first pass painted the same.
    const auto index = [&](unsigned x) {
        return static_cast<unsigned char>(std::max(colours.index_of(rgba + 4 * std::size_t{x}), 0));
    };
    *line++ = filter_none;
    if (bits == 8) {
        for (unsigned x = 0; x < width; ++x)
            line[x] = index(x);
        return;
    }
    unsigned x = 0;
    for (; x + 1 < width; x += 2)
        line[x / 2] = static_cast<unsigned char>(index(x) << 4 | index(x + 1));
    if (x < width)
        line[x / 2] = static_cast<unsigned char>(index(x) << 4);
}

// The row's red, green and blue bytes, each less the Paeth predictor from
// its neighbours in this row and the one above (`above`, which then takes
// this row's bytes), after the filter byte. Paeth makes the smallest files
// of 24-bit art: its flat colours repeat both across and down.
void filter_rgb(const unsigned char *rgba, unsigned width, std::vector<unsigned char> &above,
                std::vector<unsigned char> &current, unsigned char *line) {
    for (unsigned x = 0; x < width; ++x)
        std::copy(rgba + 4 * std::size_t{x}, rgba + 4 * std::size_t{x} + 3,
                  current.begin() + 3 * std::size_t{x});
    line[0] = filter_paeth;
    const std::size_t size = std::size_t{width} * 3;
    for (std::size_t at = 0; at < size; ++at) {
        const int left = at >= 3 ? current[at - 3] : 0;
        const int above_left = at >= 3 ? above[at - 3] : 0;
        line[1 + at] =
            static_cast<unsigned char>(current[at] - paeth_predictor(left, above[at], above_left));
    }
    above.swap(current);
}

// Learns the picture's colours: false when it has more than 256.
bool collect_colours(band_painter &painter, unsigned width, palette &colours, int &failure) {
    bool fits = true;
    failure = painter.for_each_row([&](const unsigned char *rgba) {
        for (unsigned x = 0; x < width && fits; ++x)
            fits = colours.index_of(rgba + 4 * std::size_t{x}) >= 0;
        return fits;
    });
    return fits;
}

void write_header(chunk_writer &out, unsigned width, unsigned height, int bit_depth,
                  const palette *colours) {
    out.write(png_signature, sizeof png_signature);
    unsigned char header[13] = {};
    put_big_endian(header, width);
    put_big_endian(header + 4, height);
    header[8] = static_cast<unsigned char>(bit_depth);
    header[9] = colours != nullptr ? colour_type_palette : colour_type_rgb;
    // Compression, filter method and interlacing: 0, the one of each.
    out.chunk("IHDR", header, sizeof header);
    if (colours == nullptr)
        return;
    out.chunk("PLTE", colours->entries().data(), colours->entries().size());
}

} // namespace

int write_png(tremlox_write_fn write, void *context, const tremlox_grid *grid,
              const tremlox_picture_options &options) {
    unsigned width = 0, height = 0;
    if (write == nullptr || tremlox_grid_picture_size(grid, &options, &width, &height) != 0)
        return -1;
    if (width == 0 || height == 0) {
        errno = EINVAL;
        return -1;
    }
    band_painter painter(grid, options, width, height);
    palette colours;
    int failure = 0;
    const bool indexed = collect_colours(painter, width, colours, failure);
    if (failure != 0)
        return failure;
    const int bit_depth = !indexed ? 8 : colours.size() <= 16 ? 4 : 8;

    chunk_writer out(write, context);
    image_data data(out);
    if (data.start() != 0)
        return -1;
    write_header(out, width, height, bit_depth, indexed ? &colours : nullptr);
    const std::size_t line_size =
        1 + (indexed ? (std::size_t{width} * bit_depth + 7) / 8 : std::size_t{width} * 3);
    std::vector<unsigned char> line(line_size);
    std::vector<unsigned char> above(indexed ? 0 : std::size_t{width} * 3);
    std::vector<unsigned char> current(above.size());
    unsigned row = 0;
    failure = painter.for_each_row([&](const unsigned char *rgba) {
        if (indexed)
            pack_indices(rgba, width, bit_depth, colours, line.data());
        else
            filter_rgb(rgba, width, above, current, line.data());
        return data.add(line.data(), line.size(), ++row == height) == 0;
    });
    if (failure != 0)
        return failure;
    if (out.status() != 0)
        return out.status();
    return out.chunk("IEND", nullptr, 0);
}

} // namespace tremlox::view
