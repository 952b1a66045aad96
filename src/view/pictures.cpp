#include "pictures.h"

#include "input_file.h"
#include "png_writer.h"
#include "terminal_query.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace tremlox::view {

using namespace platform;

namespace {

// A sink on an open file: the file keeps the failure.
int write_to_file(void *context, const char *bytes, std::size_t size) {
    return static_cast<file *>(context)->write_all(std::span(bytes, size)) ? 0 : 1;
}

// The image data of kitty's o=z: a zlib stream, deflated as the pixels come.
class zlib_compressor {
  public:
    zlib_compressor() : buffer_(std::size_t{1} << 16) {}
    ~zlib_compressor() {
        if (started_)
            deflateEnd(&stream_);
    }
    zlib_compressor(const zlib_compressor &) = delete;
    zlib_compressor &operator=(const zlib_compressor &) = delete;

    // A tremlox_compress_fn; `context` is the compressor.
    static int compress(void *context, const unsigned char *bytes, std::size_t size, bool last,
                        tremlox_write_fn write, void *write_context) {
        return static_cast<zlib_compressor *>(context)->add(bytes, size, last, write,
                                                            write_context);
    }

  private:
    // Level 1: the pixels travel to a terminal once, and are soon shown.
    static constexpr int level = 1;

    int add(const unsigned char *bytes, std::size_t size, bool last, tremlox_write_fn write,
            void *write_context) {
        if (!started_) {
            if (deflateInit(&stream_, level) != Z_OK)
                return ENOMEM;
            started_ = true;
        }
        do {
            const std::size_t piece = std::min<std::size_t>(size, UINT_MAX);
            stream_.next_in = const_cast<Bytef *>(bytes);
            stream_.avail_in = static_cast<uInt>(piece);
            bytes += piece;
            size -= piece;
            const int flush = last && size == 0 ? Z_FINISH : Z_NO_FLUSH;
            int result = Z_OK;
            do {
                stream_.next_out = buffer_.data();
                stream_.avail_out = static_cast<uInt>(buffer_.size());
                result = deflate(&stream_, flush);
                const std::size_t made = buffer_.size() - stream_.avail_out;
                if (made > 0) {
                    const int failure =
                        write(write_context, reinterpret_cast<const char *>(buffer_.data()), made);
                    if (failure != 0)
                        return failure;
                }
            } while (stream_.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
        } while (size > 0);
        if (last) {
            deflateEnd(&stream_);
            started_ = false;
        }
        return 0;
    }

    z_stream stream_{};
    bool started_ = false;
    std::vector<unsigned char> buffer_;
};

// Asked once, before the first sixel picture, and only then: a terminal
// that is asked answers on standard input.
unsigned cell_height() {
    static const unsigned height = terminal_cell_height();
    return height;
}

outcome write_picture_to_standard_output(const tremlox_grid *grid,
                                         const tremlox_picture_options &options,
                                         error_code &error) {
    const int result = write_png(tremlox_write_to_file, standard_output(), grid, options);
    if (result == 0)
        return outcome::shown;
    error = error_from_errno(result > 0 ? result : errno);
    return outcome::output_failed;
}

} // namespace

outcome write_picture_file(const picture_source &source, name_type output_name,
                           const tremlox_grid *grid, const tremlox_picture_options &options,
                           error_code &error) {
    if (is_standard_input(output_name))
        return write_picture_to_standard_output(grid, options, error);
    file output;
    if (!open_output(output_name, output, error)) {
        report(output_name, error);
        return outcome::file_failed;
    }
    // Opened without emptying it: the screen's own file is left as it was.
    if (source.identity.known && output.identity() == source.identity) {
        print(console::error, {"tremlox-view: ", message_part::name(source.name), " and ",
                               message_part::name(output_name), " are the same file\n"});
        return outcome::file_failed;
    }
    // Only a regular file is emptied first, and removed when the picture
    // in it is incomplete; devices are left alone.
    const bool output_is_regular = output.type() == file_type::regular;
    if (output_is_regular) {
        guard_output(output_name);
        if (!output.truncate(error)) {
            unguard_output();
            report(output_name, error);
            return outcome::file_failed;
        }
    }
    const int result = write_png(write_to_file, &output, grid, options);
    const int failure = errno;
    const error_code close_error = output.close();
    const bool written = result == 0 && close_error == 0;
    if (!written && output_is_regular)
        remove_file(output_name);
    if (output_is_regular)
        unguard_output();
    if (written)
        return outcome::shown;
    report(output_name, result > 0   ? output.last_error()
                        : result < 0 ? error_from_errno(failure)
                                     : close_error);
    return outcome::file_failed;
}

outcome show_picture(name_type name, graphics_mode mode, const tremlox_grid *grid,
                     const tremlox_picture_options &options, error_code &error) {
    std::FILE *out = standard_output();
    const escape_sequences_on_standard_output console;
    tremlox_image_options image = TREMLOX_IMAGE_OPTIONS_INIT;
    zlib_compressor compressor;
    int result = 0;
    if (mode == graphics_mode::sixel) {
        std::fflush(out);
        image.cell_height = cell_height();
        result = tremlox_grid_write_sixel(tremlox_write_to_file, out, grid, &options, &image);
    } else {
        image.compress = zlib_compressor::compress;
        image.compress_context = &compressor;
        result = tremlox_grid_write_kitty(tremlox_write_to_file, out, grid, &options, &image);
    }
    if (result == 0)
        return outcome::shown;
    const int failure = result > 0 ? result : errno;
    error = error_from_errno(failure);
    // Out of memory for the picture: this file cannot be shown, the next may be.
    if (result < 0 && failure == ENOMEM) {
        report(name, error);
        return outcome::file_failed;
    }
    return outcome::output_failed;
}

} // namespace tremlox::view
