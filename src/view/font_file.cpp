#include "font_file.h"

#include "input_file.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace tremlox::view {

namespace {

// Console fonts are a few KiB: the largest PSF2 font of 512 glyphs of
// 32x64 pixels with a full Unicode table is well under 1 MiB. The limit
// keeps a gzip bomb from filling the memory.
constexpr size_limit largest_font = {std::size_t{16} << 20, "File too large (over 16 MiB)"};
constexpr char too_large_unpacked[] = "font too large (over 16 MiB uncompressed)";

bool is_gzip(const std::string &bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
           static_cast<unsigned char>(bytes[1]) == 0x8b;
}

// Inflates the gzip stream `packed` into `bytes`. Returns nullptr, or why
// it cannot.
const char *gunzip(const std::string &packed, std::string &bytes) {
    z_stream stream{};
    // 15 + 32: a window of up to 32 KiB, and a gzip or zlib header.
    if (inflateInit2(&stream, 15 + 32) != Z_OK)
        return "out of memory";
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size()); // at most 16 MiB
    bytes.clear();
    int result = Z_OK;
    while (result == Z_OK) {
        if (stream.total_out == bytes.size()) {
            if (bytes.size() > largest_font.bytes)
                break;
            bytes.resize(std::min(std::max<std::size_t>(2 * bytes.size(), std::size_t{1} << 16),
                                  largest_font.bytes + 1));
        }
        stream.next_out = reinterpret_cast<Bytef *>(bytes.data()) + stream.total_out;
        stream.avail_out = static_cast<uInt>(bytes.size() - stream.total_out);
        result = inflate(&stream, Z_NO_FLUSH);
    }
    bytes.resize(stream.total_out);
    inflateEnd(&stream);
    if (bytes.size() > largest_font.bytes)
        return too_large_unpacked;
    switch (result) {
    case Z_STREAM_END:
        return nullptr;
    case Z_MEM_ERROR:
        return "out of memory";
    case Z_BUF_ERROR: // no progress: the input ended inside the stream
        return "gzip data cut short";
    default:
        return "not valid gzip data";
    }
}

} // namespace

bool read_font_file(name_type name, font_pointer &font) {
    std::string bytes;
    if (!read_input_file(name, largest_font, bytes))
        return false;
    if (is_gzip(bytes)) {
        std::string unpacked;
        if (const char *failure = gunzip(bytes, unpacked)) {
            report(name, failure);
            return false;
        }
        bytes.swap(unpacked);
    }
    font.reset(tremlox_font_read(bytes.data(), bytes.size()));
    if (font != nullptr)
        return true;
    const int failure = errno;
    const char *reason = tremlox_font_error(bytes.data(), bytes.size());
    if (reason != nullptr)
        report(name, reason);
    else
        report(name, platform::error_from_errno(failure));
    return false;
}

} // namespace tremlox::view
