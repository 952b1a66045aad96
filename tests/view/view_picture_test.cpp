// tremlox-view's pictures: -o writes a PNG whose pixels are tremlox::screen's
// painting of the screen, with --font, --letter-spacing and --scale; a
// failure leaves no file behind; --graphics writes images, never the art.
#include "view_fixture.h"

#include <zlib.h>

#include <cstdlib>

namespace {

struct png_image {
    unsigned width = 0, height = 0;
    int bit_depth = 0, colour_type = -1;
    std::vector<unsigned char> rgba; // as tremlox_grid_paint paints it
    std::string error;
};

png_image failed(const std::string &why) {
    png_image image;
    image.error = why;
    return image;
}

std::uint32_t big_endian(const std::string &bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Decodes the palette (bit depth 4 or 8) and RGB PNGs the viewer writes,
// with every filter, checking each chunk's CRC.
png_image decode_png(const std::string &file) {
    png_image image;
    if (file.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0)
        return failed("no PNG signature");
    std::string palette, data;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t size = big_endian(file, at);
        const std::string chunk = file.substr(at + 4, size + 4); // type and data
        const auto *bytes = reinterpret_cast<const Bytef *>(chunk.data());
        if (chunk.size() != size + 4 || at + 12 + size > file.size() ||
            crc32(0, bytes, static_cast<uInt>(chunk.size())) != big_endian(file, at + 8 + size))
            return failed("bad chunk at " + std::to_string(at));
        if (chunk.starts_with("IHDR")) {
            image.width = big_endian(chunk, 4);
            image.height = big_endian(chunk, 8);
            image.bit_depth = chunk[12];
            image.colour_type = chunk[13];
        }
        if (chunk.starts_with("PLTE"))
            palette = chunk.substr(4);
        if (chunk.starts_with("IDAT"))
            data += chunk.substr(4);
        at += 12 + size;
    }
    const bool rgb = image.colour_type == 2;
    const std::size_t pixel_bytes = rgb ? 3 : 1;
    const std::size_t line = (std::size_t{image.width} * pixel_bytes * image.bit_depth + 7) / 8;
    std::vector<unsigned char> raw((line + 1) * image.height);
    uLongf raw_size = raw.size();
    if (uncompress(raw.data(), &raw_size, reinterpret_cast<const Bytef *>(data.data()),
                   data.size()) != Z_OK ||
        raw_size != raw.size())
        return failed("image data of a wrong size");
    std::vector<unsigned char> above(line), current(line);
    for (unsigned y = 0; y < image.height; ++y) {
        const unsigned char *row = &raw[y * (line + 1)];
        for (std::size_t i = 0; i < line; ++i) {
            const int left = i >= pixel_bytes ? current[i - pixel_bytes] : 0;
            const int above_left = i >= pixel_bytes ? above[i - pixel_bytes] : 0;
            const int estimate = left + above[i] - above_left;
            const int paeth = std::abs(estimate - left) <= std::abs(estimate - above[i]) &&
                                      std::abs(estimate - left) <= std::abs(estimate - above_left)
                                  ? left
                              : std::abs(estimate - above[i]) <= std::abs(estimate - above_left)
                                  ? above[i]
                                  : above_left;
            const int predictions[] = {0, left, above[i], (left + above[i]) / 2, paeth};
            current[i] = static_cast<unsigned char>(row[1 + i] + predictions[row[0] % 5]);
        }
        for (unsigned x = 0; x < image.width; ++x) {
            const unsigned char *colour = &current[3 * x];
            if (!rgb) {
                const unsigned index = image.bit_depth == 8 ? current[x]
                                       : x % 2 == 0         ? current[x / 2] >> 4
                                                            : current[x / 2] & 15;
                if (3 * index + 3 > palette.size())
                    return failed("an index past the palette");
                colour = reinterpret_cast<const unsigned char *>(&palette[3 * index]);
            }
            image.rgba.insert(image.rgba.end(), {colour[0], colour[1], colour[2], 255});
        }
        above.swap(current);
    }
    return image;
}

// The picture tremlox::screen paints of the screen, whole.
png_image painted(const std::string &screen, const tremlox_picture_options &options) {
    const tremlox_screen_options defaults = TREMLOX_SCREEN_OPTIONS_INIT;
    tremlox_grid *grid = tremlox_screen_draw(screen.data(), screen.size(), &defaults);
    png_image image;
    EXPECT_EQ(tremlox_grid_picture_size(grid, &options, &image.width, &image.height), 0);
    image.rgba.resize(std::size_t{image.width} * image.height * 4);
    EXPECT_EQ(tremlox_grid_paint(grid, &options, 0, image.height, image.rgba.data(),
                                 std::size_t{image.width} * 4),
              0);
    tremlox_grid_free(grid);
    return image;
}

// A PSF1 font of 256 glyphs of 8x8 pixels, each of its own pattern.
std::string small_font() {
    std::string font = {0x36, 0x04, 0x00, 0x08};
    for (int glyph = 0; glyph < 256; ++glyph)
        for (int row = 0; row < 8; ++row)
            font += static_cast<char>(glyph ^ (row * 37));
    return font;
}

std::string gzipped(const std::string &bytes) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string packed(deflateBound(&stream, bytes.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef *>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}

// Art in `count` colours of xterm's palette, or of 24-bit colours.
std::string art_in_colours(int count, bool rgb) {
    std::string art;
    for (int colour = 0; colour < count; ++colour)
        art += (rgb ? "\x1b[38;2;" + std::to_string(colour % 256) + ";" +
                          std::to_string(colour / 256) + ";9m"
                    : "\x1b[38;5;" + std::to_string(colour) + "m") +
               "\xe2\x96\x88";
    return art;
}

using PictureTest = ViewTest;

TEST_F(PictureTest, PngHoldsWhatThePainterPaints) {
    write_file(work / "classic.ans", read_file(utf8_path(CLASSIC_SCREEN)));
    write_file(work / "palette.ans", art_in_colours(40, false));
    write_file(work / "rgb.ans", art_in_colours(300, true));
    const std::string font = small_font();
    write_file(work / "font.psf.gz", gzipped(font));
    tremlox_font *small = tremlox_font_read(font.data(), font.size());
    ASSERT_NE(small, nullptr);
    struct picture_case {
        std::vector<std::string> args;
        unsigned width, height; // columns x spacing x scale, rows x glyph height x scale
        int bit_depth, colour_type;
        unsigned letter_spacing, scale;
        const tremlox_font *font;
    };
    const std::vector<picture_case> cases = {
        {{"classic.ans"}, 80 * 8, 13 * 16, 4, 3, 0, 1, nullptr},
        {{"--letter-spacing=9", "--scale=2", "classic.ans"},
         80 * 9 * 2,
         13 * 16 * 2,
         4,
         3,
         9,
         2,
         nullptr},
        {{"--font=font.psf.gz", "--scale=3", "classic.ans"},
         80 * 8 * 3,
         13 * 8 * 3,
         4,
         3,
         0,
         3,
         small},
        {{"palette.ans"}, 80 * 8, 16, 8, 3, 0, 1, nullptr},
        {{"--scale=2", "rgb.ans"}, 80 * 8 * 2, 4 * 16 * 2, 8, 2, 0, 2, nullptr},
    };
    for (const picture_case &test : cases) {
        std::vector<std::string> args = {"-o", "picture.png"};
        args.insert(args.end(), test.args.begin(), test.args.end());
        const run_result result = run(args);
        const std::string what = test.args[0];
        EXPECT_EQ(result.status, 0) << what << ": " << result.err;
        EXPECT_EQ(result.out + result.err, "") << what;
        const png_image image = decode_png(read_file(work / "picture.png"));
        EXPECT_EQ(image.error, "") << what;
        EXPECT_EQ(image.width, test.width) << what;
        EXPECT_EQ(image.height, test.height) << what;
        EXPECT_EQ(image.bit_depth, test.bit_depth) << what;
        EXPECT_EQ(image.colour_type, test.colour_type) << what;
        tremlox_picture_options options = TREMLOX_PICTURE_OPTIONS_INIT;
        options.font = test.font;
        options.letter_spacing = test.letter_spacing;
        options.scale = test.scale;
        EXPECT_TRUE(image.rgba == painted(read_file(work / test.args.back()), options).rgba)
            << what;
    }
    tremlox_font_free(small);
    // "-" is standard output: the same picture.
    const run_result piped = run({"--output=-", "classic.ans"});
    EXPECT_EQ(piped.status, 0) << piped.err;
    run({"-o", "picture.png", "classic.ans"});
    EXPECT_TRUE(piped.out == read_file(work / "picture.png")) << piped.err;
}

TEST_F(PictureTest, FailuresLeaveNoFile) {
    write_file(work / "screen.ans", "\x1b[31mred\r\n");
    const std::string font = small_font();
    const std::string cut_font = font.substr(0, 1000);
    write_file(work / "garbage.psf.gz", gzipped(std::string(3000, '\x55')));
    write_file(work / "cut.psf", cut_font);
    write_file(work / "cut.psf.gz", gzipped(font).substr(0, 40));
    write_file(work / "empty.ans", "");
    fs::create_directory(work / "folder");
    const std::vector<std::string> before = files_in_work();
    struct failure_case {
        std::vector<std::string> args;
        std::string name, reason;
        bool system_reason; // worded by the system: Windows has words of its own
    };
    const std::string cut_reason = tremlox_font_error(cut_font.data(), cut_font.size());
    const std::vector<failure_case> cases = {
        {{"--font=garbage.psf.gz", "-o", "out.png", "screen.ans"},
         "garbage.psf.gz",
         "not a PSF1 or PSF2 font",
         false},
        {{"--font=cut.psf", "-o", "out.png", "screen.ans"}, "cut.psf", cut_reason, false},
        {{"--font=cut.psf.gz", "-o", "out.png", "screen.ans"},
         "cut.psf.gz",
         "gzip data cut short",
         false},
        {{"--font=garbage.psf.gz", "screen.ans"},
         "garbage.psf.gz",
         "not a PSF1 or PSF2 font",
         false},
        {{"-o", "out.png", "empty.ans"}, "empty.ans", "empty screen: no picture to write", false},
        {{"--font=missing.psf", "-o", "out.png", "screen.ans"},
         "missing.psf",
         "No such file or directory",
         true},
        {{"-o", "out.png", "missing.ans"}, "missing.ans", "No such file or directory", true},
        {{"-o", "folder", "screen.ans"}, "folder", "Is a directory", true},
    };
    for (const failure_case &test : cases) {
        const run_result result = run(test.args);
        EXPECT_EQ(result.status, 2) << test.reason;
        EXPECT_EQ(result.out, "") << test.reason;
        if (test.system_reason)
            expect_failure_line(result.err, test.name, test.reason, "tremlox-view");
        else
            EXPECT_EQ(result.err, "tremlox-view: " + test.name + ": " + test.reason + "\n");
        EXPECT_EQ(files_in_work(), before) << test.reason;
    }
    // The screen is never written over with its own picture.
    const run_result same = run({"-o", "screen.ans", "screen.ans"});
    EXPECT_EQ(same.status, 2);
    EXPECT_EQ(same.err, "tremlox-view: screen.ans and screen.ans are the same file\n");
    EXPECT_EQ(read_file(work / "screen.ans"), "\x1b[31mred\r\n");
    const run_result several = run({"-o", "out.png", "screen.ans", "screen.ans"});
    EXPECT_EQ(several.status, 1);
    EXPECT_EQ(several.err, "tremlox-view: option '--output' takes exactly one FILE\n" + usage_hint);
    EXPECT_EQ(files_in_work(), before);
}

TEST_F(PictureTest, GraphicsWriteImagesNeverTheArt) {
    write_file(work / "screen.ans", "\x1b[31mUNIQUE-ART-TEXT\r\n");
    const std::vector<std::pair<std::string, std::string>> modes = {{"--graphics=kitty", "\x1b_G"},
                                                                    {"--graphics=sixel", "\x1bP"}};
    for (const auto &[option, introducer] : modes) {
        const run_result result = run({option, "screen.ans", "screen.ans"});
        EXPECT_EQ(result.status, 0) << option << ": " << result.err;
        EXPECT_EQ(result.out.rfind(introducer, 0), 0u) << option;
        EXPECT_EQ(result.out.find("UNIQUE"), std::string::npos) << option;
        EXPECT_EQ(result.out.find("\x1b[31m"), std::string::npos) << option;
    }
    EXPECT_EQ(run({"--graphics=none", "screen.ans"}).out,
              library_output("\x1b[31mUNIQUE-ART-TEXT\r\n"));
}

} // namespace
