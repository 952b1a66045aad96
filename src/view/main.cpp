// tremlox-view: shows ANSI screens on the terminal, one after the other,
// as tremlox::screen writes them (as text, or as pictures in a terminal's
// image protocol), writes one as a PNG picture, or prints what their
// records say.
//
//   tremlox-view [OPTION]... [FILE]...
//
// Exit status: 0 when every file was shown, 1 after a usage error, 2 when a
// file could not be read or an output could not be written (one line on
// standard error says why).

#include "arguments.h"
#include "font_file.h"
#include "info.h"
#include "input_file.h"
#include "messages.h"
#include "pictures.h"

#include <tremlox/screen.h>

#include <cerrno>
#include <memory>
#include <string>

namespace {

using namespace tremlox::view;
using namespace tremlox::platform;

// Real screens are under 1 MiB: a larger file is no screen, and is refused
// before it fills the memory.
constexpr size_limit largest_screen = {std::size_t{64} << 20, "File too large (over 64 MiB)"};

constexpr native_char standard_input_name[] = {'-', 0};

struct grid_deleter {
    void operator()(tremlox_grid *grid) const { tremlox_grid_free(grid); }
};
using grid_pointer = std::unique_ptr<tremlox_grid, grid_deleter>;

// Says, after the screen, that the grid left out what the art drew past its
// largest size: the screen is shown all the same.
void warn_clipped(name_type name) {
    static const std::string what_is_shown =
        "clipped: only the first " + std::to_string(TREMLOX_SCREEN_MAX_ROWS) + " rows and " +
        std::to_string(TREMLOX_SCREEN_MAX_COLUMNS) + " columns are shown\n";
    print(console::error,
          {"tremlox-view: ", message_part::name(name), ": ", message_part::utf8(what_is_shown)});
}

outcome show_text(name_type name, const tremlox_grid *grid, const settings &settings,
                  error_code &error) {
    if (tremlox_grid_write(standard_output(), grid, &settings.screen) == 0)
        return outcome::shown;
    const int failure = errno;
    error = error_from_errno(failure);
    // Out of memory: this file cannot be shown, the next may be.
    if (failure == ENOMEM) {
        report(name, error);
        return outcome::file_failed;
    }
    return outcome::output_failed;
}

// A picture has at least a row of pixels: an empty screen makes none.
outcome refuse_empty_picture(name_type name) {
    report(name, "empty screen: no picture to write");
    return outcome::file_failed;
}

outcome show(const picture_source &source, const std::string &bytes, const settings &settings,
             const tremlox_picture_options &picture, bool first_block, error_code &error) {
    const name_type name = source.name;
    const grid_pointer grid(tremlox_screen_draw(bytes.data(), bytes.size(), &settings.screen));
    if (grid == nullptr) {
        report(name, error_from_errno(errno));
        return outcome::file_failed;
    }
    if (settings.info)
        return print_info(name, bytes, grid.get(), settings.screen, picture, first_block, error);
    outcome result = outcome::shown;
    if (settings.output != nullptr)
        result = tremlox_grid_height(grid.get()) == 0
                     ? refuse_empty_picture(name)
                     : write_picture_file(source, settings.output, grid.get(), picture, error);
    else if (settings.graphics != graphics_mode::none)
        result = tremlox_grid_height(grid.get()) == 0
                     ? outcome::shown
                     : show_picture(name, settings.graphics, grid.get(), picture, error);
    else
        result = show_text(name, grid.get(), settings, error);
    if (result == outcome::shown && tremlox_grid_clipped(grid.get()))
        warn_clipped(name);
    return result;
}

int show_all(settings &settings) {
    font_pointer font;
    if (settings.font != nullptr && !read_font_file(settings.font, font))
        return exit_failed;
    tremlox_picture_options picture = TREMLOX_PICTURE_OPTIONS_INIT;
    picture.font = font.get();
    picture.letter_spacing = settings.letter_spacing;
    picture.scale = settings.scale;

    if (settings.files.empty())
        settings.files.push_back(standard_input_name);
    int status = exit_shown;
    bool first_block = true;
    for (const name_type name : settings.files) {
        std::string bytes;
        picture_source source = {name, {}};
        if (!read_input_file(name, largest_screen, bytes, &source.identity)) {
            status = exit_failed;
            continue;
        }
        error_code error = 0;
        const outcome result = show(source, bytes, settings, picture, first_block, error);
        if (result == outcome::output_failed)
            return stop_output(error, status);
        if (result == outcome::file_failed)
            status = exit_failed;
        else
            first_block = false;
    }
    // A full disk may only show when the last of the output is written.
    errno = 0;
    if (std::fclose(standard_output()) != 0)
        return stop_output(error_from_errno(errno != 0 ? errno : EIO), status);
    return status;
}

int run(int argc, native_char **argv) {
    settings settings;
    const int status = read_arguments(argc, argv, settings);
    return status != carry_on ? status : show_all(settings);
}

} // namespace

// Windows passes the arguments as UTF-16 to wmain; names stay in that form
// until they are printed.
#if defined(_WIN32)
int wmain(int argc, wchar_t **argv) {
    return run(argc, argv);
}
#else
int main(int argc, char **argv) {
    return run(argc, argv);
}
#endif
