// The writers on a sink, and the sixel and kitty images read back by
// decoders of the tests' own: the bytes a sink gets are the FILE * writer's,
// a failing sink stops every writer, and each image decodes to the
// painter's pixels.
#include <tremlox/screen.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

namespace {

struct sink {
    std::string bytes;
    std::size_t fail_after = SIZE_MAX; // fails the write that would pass this many bytes
    int calls_after_failure = 0;
    bool failed = false;
};

int collect(void *context, const char *bytes, std::size_t size) {
    auto &to = *static_cast<sink *>(context);
    if (to.failed) {
        ++to.calls_after_failure;
        return 42;
    }
    if (to.bytes.size() + size > to.fail_after) {
        to.failed = true;
        return 42;
    }
    to.bytes.append(bytes, size);
    return 0;
}

// Classic art in the sixteen colours, `rows` rows of 80 columns: each row
// a run of colours and line graphics that differs from its neighbours.
std::string classic_art(int rows) {
    std::string art;
    for (int row = 0; row < rows; ++row) {
        art += "\x1b[" + std::to_string(30 + row % 8) + ";" + std::to_string(40 + row * 3 % 8) +
               (row % 2 ? ";1m" : "m");
        for (int column = 0; column < 80; ++column)
            art += "\xb0\xb1\xdb\xc4\xda Ab"[(row + column) % 8];
        art += "\r\n";
    }
    return art;
}

// UTF-8 art of 320 cells, each its own 24-bit background.
std::string many_colours() {
    std::string art;
    for (int cell = 0; cell < 320; ++cell)
        art += "\x1b[48;2;" + std::to_string(cell % 16 * 17) + ";" +
               std::to_string(cell / 16 * 13) + ";" + std::to_string(cell * 37 % 256) + "m\u2592";
    return art;
}

struct grid_holder {
    tremlox_grid *grid;
    explicit grid_holder(const std::string &art, tremlox_charset charset = TREMLOX_CHARSET_CP437) {
        tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
        options.charset = charset;
        grid = tremlox_screen_draw(art.data(), art.size(), &options);
    }
    ~grid_holder() { tremlox_grid_free(grid); }
};

// The picture as the painter gives it, 3 bytes a pixel.
std::vector<unsigned char> painted_rgb(const tremlox_grid *grid, unsigned &width,
                                       unsigned &height) {
    EXPECT_EQ(tremlox_grid_picture_size(grid, nullptr, &width, &height), 0);
    std::vector<unsigned char> rgba(std::size_t{width} * height * 4), rgb;
    EXPECT_EQ(tremlox_grid_paint(grid, nullptr, 0, height, rgba.data(), width * 4), 0);
    for (std::size_t at = 0; at < rgba.size(); at += 4)
        rgb.insert(rgb.end(), rgba.begin() + at, rgba.begin() + at + 3);
    return rgb;
}

TEST(Sinks, GetTheBytesOfTheFileWriters) {
    const std::string art = classic_art(30) + "\x1b[0m\xe2\x96\x92 \x1b[38;2;1;2;3mX";
    grid_holder drawn(art);
    for (auto colours : {TREMLOX_COLOURS_24_BIT, TREMLOX_COLOURS_16, TREMLOX_COLOURS_NONE}) {
        tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
        options.colours = colours;
        std::FILE *file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(tremlox_grid_write(file, drawn.grid, &options), 0);
        std::string expected(static_cast<std::size_t>(std::ftell(file)), '\0');
        std::rewind(file);
        ASSERT_EQ(std::fread(expected.data(), 1, expected.size(), file), expected.size());
        std::fclose(file);
        sink grid_sink, screen_sink;
        EXPECT_EQ(tremlox_grid_write_to(collect, &grid_sink, drawn.grid, &options), 0);
        EXPECT_EQ(tremlox_screen_write_to(collect, &screen_sink, art.data(), art.size(), &options),
                  0);
        EXPECT_EQ(grid_sink.bytes, expected) << "colours " << colours;
        EXPECT_EQ(screen_sink.bytes, expected) << "colours " << colours;
    }
}

TEST(Sinks, FailingSinkStopsEveryWriterWithItsValue) {
    grid_holder drawn(classic_art(250)); // text of more than one buffer

    const std::pair<const char *, int (*)(sink &, const tremlox_grid *)> cases[] = {
        {"text",
         [](sink &to, const tremlox_grid *grid) {
             return tremlox_grid_write_to(collect, &to, grid, nullptr);
         }},
        {"sixel",
         [](sink &to, const tremlox_grid *grid) {
             return tremlox_grid_write_sixel(collect, &to, grid, nullptr, nullptr);
         }},
        {"kitty",
         [](sink &to, const tremlox_grid *grid) {
             return tremlox_grid_write_kitty(collect, &to, grid, nullptr, nullptr);
         }},
    };
    for (auto [name, write] : cases)
        for (std::size_t fail_after : {std::size_t{0}, std::size_t{20000}}) {
            sink to;
            to.fail_after = fail_after;
            EXPECT_EQ(write(to, drawn.grid), 42) << name << " failing after " << fail_after;
            EXPECT_TRUE(to.failed) << name;
            EXPECT_EQ(to.calls_after_failure, 0) << name << " failing after " << fail_after;
        }
    EXPECT_EQ(tremlox_grid_write_sixel(nullptr, nullptr, drawn.grid, nullptr, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
}

// --- kitty -----------------------------------------------------------------

// A compressor that passes the pixels on as they are, so that the payload
// shows what reached it; it counts the calls with the last pixels.
int pass_on(void *context, const unsigned char *bytes, std::size_t size, bool last,
            tremlox_write_fn write, void *write_context) {
    *static_cast<int *>(context) += last;
    return write(write_context, reinterpret_cast<const char *>(bytes), size);
}

std::string base64_decoded(const std::string &text) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string data;
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '=') {
            EXPECT_GE(at + 2, text.size()) << "padding inside the payload";
            continue;
        }
        bits = bits << 6 | static_cast<std::uint32_t>(alphabet.find(text[at]));
        if ((count += 6) >= 8)
            data += static_cast<char>(bits >> (count -= 8) & 255);
    }
    return data;
}

// The first chunk's keys and the payload of a kitty image, its chunks
// checked: at most 4096 characters each, whole groups of base64, every one
// but the last m=1, the keys in the first alone; then a line break.
std::pair<std::string, std::string> read_kitty(const std::string &stream) {
    std::string keys, base64;
    std::size_t at = 0;
    for (bool more = true, first = true; more; first = false) {
        const std::size_t semicolon = stream.find(';', at), end = stream.find("\x1b\\", at);
        if (stream.compare(at, 3, "\x1b_G") != 0 || semicolon > end || end == std::string::npos) {
            ADD_FAILURE() << "no chunk at " << at;
            return {};
        }
        const std::string chunk_keys = stream.substr(at + 3, semicolon - at - 3);
        more = chunk_keys.ends_with("m=1");
        EXPECT_TRUE(more || chunk_keys.ends_with("m=0")) << chunk_keys;
        EXPECT_TRUE(first || chunk_keys.size() == 3) << chunk_keys;
        EXPECT_LE(end - semicolon - 1, 4096u);
        EXPECT_EQ((end - semicolon - 1) % 4, 0u);
        if (first)
            keys = chunk_keys;
        base64 += stream.substr(semicolon + 1, end - semicolon - 1);
        at = end + 2;
    }
    EXPECT_EQ(stream.substr(at), "\r\n");
    return {keys, base64_decoded(base64)};
}

TEST(Kitty, ChunksDecodeToThePaintersPixels) {
    grid_holder drawn(classic_art(25));
    unsigned width, height;
    const auto pixels = painted_rgb(drawn.grid, width, height);
    const std::string size_keys = ",s=" + std::to_string(width) + ",v=" + std::to_string(height);
    for (bool compressed : {false, true}) {
        int last_calls = 0;
        tremlox_image_options image = TREMLOX_IMAGE_OPTIONS_INIT;
        image.compress = compressed ? pass_on : nullptr;
        image.compress_context = &last_calls;
        sink to;
        ASSERT_EQ(tremlox_grid_write_kitty(collect, &to, drawn.grid, nullptr, &image), 0);
        auto [keys, payload] = read_kitty(to.bytes);
        for (const std::string key : {"a=T", "f=24", "q=2", "o=z"})
            EXPECT_EQ(("," + keys + ",").find("," + key + ",") != std::string::npos,
                      key != "o=z" || compressed)
                << keys;
        EXPECT_NE(("," + keys).find(size_keys), std::string::npos) << keys;
        EXPECT_EQ(last_calls, compressed ? 1 : 0);
        EXPECT_TRUE(payload == std::string(pixels.begin(), pixels.end()))
            << "compressed " << compressed;
    }
}

// --- sixel -----------------------------------------------------------------

unsigned read_number(const std::string &text, std::size_t &at) {
    unsigned value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        value = value * 10 + static_cast<unsigned>(text[at++] - '0');
    return value;
}

// The images of a sixel stream one below the other, 3 bytes a pixel, each
// followed by a line break; the height of each in `bands`. Every pixel must
// be drawn, none outside the images' sizes.
std::vector<unsigned char> read_sixel(const std::string &stream, unsigned width,
                                      std::vector<unsigned> &bands) {
    const std::string start = "\x1bP0;1;0q\"1;1;";
    std::vector<unsigned char> rgb;
    std::size_t at = 0, undrawn = 0;
    while (at < stream.size() && stream.compare(at, start.size(), start) == 0) {
        at += start.size();
        EXPECT_EQ(read_number(stream, at), width);
        ++at;
        const unsigned height = read_number(stream, at), top = rgb.size() / 3 / width;
        bands.push_back(height);
        rgb.resize(rgb.size() + std::size_t{width} * height * 3);
        std::vector<bool> drawn(std::size_t{width} * height);
        unsigned colours[256][3] = {}, x = 0, y = 0, current = 0;
        while (at < stream.size() && stream[at] != '\x1b') {
            char c = stream[at++];
            unsigned repeat = 1;
            if (c == '#') {
                current = read_number(stream, at);
                if (current > 255)
                    return ADD_FAILURE() << "register " << current, rgb;
                for (int part = -1; part < 3 && stream[at] == ';'; ++part, ++at) {
                    const unsigned percent = read_number(stream, ++at);
                    if (part >= 0)
                        colours[current][part] = (percent * 255 + 50) / 100;
                    --at;
                }
                continue;
            }
            if (c == '$' || c == '-') {
                x = 0;
                y += c == '-' ? 6 : 0;
                continue;
            }
            if (c == '!') {
                repeat = read_number(stream, at);
                c = stream[at++];
            }
            for (; repeat > 0; --repeat, ++x)
                for (unsigned row = 0; row < 6; ++row) {
                    if (((c - '?') >> row & 1) == 0)
                        continue;
                    if (x >= width || y + row >= height)
                        return ADD_FAILURE() << "a pixel outside at " << at, rgb;
                    drawn[std::size_t{y + row} * width + x] = true;
                    std::copy(colours[current], colours[current] + 3,
                              rgb.begin() + (std::size_t{top + y + row} * width + x) * 3);
                }
        }
        undrawn += std::count(drawn.begin(), drawn.end(), false);
        EXPECT_EQ(stream.compare(at, 2, "\x1b\\"), 0);
        at += 2;
        at += stream.compare(at, 2, "\r\n") == 0 ? 2 : stream.compare(at, 1, "\n") == 0 ? 1 : 0;
    }
    EXPECT_EQ(at, stream.size()) << "what follows the images";
    EXPECT_EQ(undrawn, 0u);
    EXPECT_EQ(stream.substr(stream.size() - 2), "\r\n");
    return rgb;
}

unsigned largest_difference(const std::vector<unsigned char> &a,
                            const std::vector<unsigned char> &b) {
    unsigned largest = 0;
    for (std::size_t at = 0; at < std::min(a.size(), b.size()); ++at)
        largest = std::max(largest, static_cast<unsigned>(std::abs(a[at] - b[at])));
    return largest;
}

TEST(Sixel, BandsOfWholeCellsDecodeToThePaintersPixels) {
    struct {
        std::string art;
        tremlox_charset charset;
        unsigned cell_height;
        unsigned tolerance; // the percents' rounding, and the colour cube's steps
    } const cases[] = {
        {classic_art(25), TREMLOX_CHARSET_CP437, 0, 2},
        {classic_art(70), TREMLOX_CHARSET_CP437, 0, 2},
        {classic_art(70), TREMLOX_CHARSET_CP437, 13, 2},
        {classic_art(1), TREMLOX_CHARSET_CP437, 997, 2},
        {many_colours() + "\r\n" + classic_art(2), TREMLOX_CHARSET_UTF8, 0, 28},
    };
    for (const auto &c : cases) {
        grid_holder drawn(c.art, c.charset);
        unsigned width, height;
        const auto pixels = painted_rgb(drawn.grid, width, height);
        tremlox_image_options image = TREMLOX_IMAGE_OPTIONS_INIT;
        image.cell_height = c.cell_height;
        sink to;
        ASSERT_EQ(tremlox_grid_write_sixel(collect, &to, drawn.grid, nullptr, &image), 0);
        std::vector<unsigned> bands;
        const auto decoded = read_sixel(to.bytes, width, bands);
        ASSERT_EQ(decoded.size(), pixels.size()) << "cell height " << c.cell_height;
        EXPECT_LE(largest_difference(decoded, pixels), c.tolerance);
        const unsigned cell = c.cell_height != 0 ? c.cell_height : 16;
        const unsigned whole = std::lcm(cell, 6u);
        for (std::size_t band = 0; band + 1 < bands.size(); ++band) {
            EXPECT_EQ(bands[band] % whole, 0u) << "cell height " << cell;
            EXPECT_LE(bands[band], std::max(1000u, whole));
            EXPECT_GT(bands[band] + whole, 1000u) << "a band shorter than it may be";
        }
    }
}

} // namespace
