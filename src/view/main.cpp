// tremlox-view: shows ANSI screens on the terminal, one after the other,
// as tremlox::screen writes them, or prints what their records say.
//
//   tremlox-view [OPTION]... [FILE]...
//
// Exit status: 0 when every file was shown, 1 after a usage error, 2 when a
// file could not be read or standard output could not be written (one line
// on standard error says why).

#include "platform.h"

#include <tremlox/screen.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

using namespace tremlox::platform;

using name_type = const native_char *;
using native_view = std::basic_string_view<native_char>;
using native_string = std::basic_string<native_char>;

constexpr int exit_shown = 0;
constexpr int exit_usage = 1;
constexpr int exit_failed = 2;
// What the argument readers return to let the run go on.
constexpr int carry_on = -1;

// Real screens are under 1 MiB: a larger file is no screen, and is refused
// before it fills the memory.
constexpr std::size_t largest_screen = std::size_t{64} << 20;
constexpr char too_large[] = "File too large (over 64 MiB)";

// The widest art the library draws.
constexpr unsigned long long widest_art = 65535;

constexpr native_char standard_input_name[] = {'-', 0};

constexpr char usage_text[] =
    "Usage: tremlox-view [OPTION]... [FILE]...\n"
    "Show ANSI screens (CP437 or UTF-8 art) on the terminal as they were drawn,\n"
    "one after the other. With no FILE, or when FILE is -, read standard input.\n"
    "\n"
    "  -w, --width=N          the art's columns (default: the record's, else 80)\n"
    "  -c, --charset=CHARSET  guess, cp437 or utf8 (default: guess)\n"
    "      --wrap=WRAP        auto, dos or vt (default: auto)\n"
    "      --colours=COLOURS  auto, 24bit, 256, 16 or none (default: auto);\n"
    "                           --colors is the same\n"
    "      --columns=N        clip rows to N columns (default: the terminal's\n"
    "                           width when standard output is a terminal)\n"
    "  -i, --info             print the record's fields and what was decided,\n"
    "                           one 'Name: value' a line, instead of the art\n"
    "  -h, --help             print this help and exit\n"
    "  -V, --version          print the version and exit\n"
    "\n"
    "Exit status: 0 when every file was shown, 1 after a usage error, 2 when a\n"
    "file could not be read or the output could not be written.\n";

constexpr char version_text[] = "tremlox-view " TREMLOX_VERSION "\n";

struct settings {
    tremlox_screen_options screen = TREMLOX_SCREEN_OPTIONS_INIT;
    bool info = false;
    std::vector<name_type> files;
};

// ---- Messages

int report(name_type name, error_code error) {
    print(console::error,
          {"tremlox-view: ", message_part::name(name), ": ", message_part::reason(error), "\n"});
    return exit_failed;
}

// Ends the run after a failed write to standard output: silently when its
// reader went away, as nothing written after would reach anyone.
int stop_output(error_code error, int status) {
    if (reader_went_away(error))
        return status;
    print(console::error, {"tremlox-view: standard output: ", message_part::reason(error), "\n"});
    return exit_failed;
}

int usage_error(std::initializer_list<message_part> message) {
    print(console::error, message);
    print(console::error, {"Try 'tremlox-view --help' for more information.\n"});
    return exit_usage;
}

int print_text(const message_part &text) {
    const error_code error = print(console::output, {text});
    return error == 0 ? exit_shown : stop_output(error, exit_shown);
}

// ---- Arguments

enum class option_name { width, charset, wrap, colours, columns, info, help, version };

struct option {
    const char *long_name;
    char short_name; // 0: none
    option_name name;
    const char *valid; // the values it takes, for messages; nullptr: it takes none
};

constexpr option options[] = {
    {"width", 'w', option_name::width, "1 to 65535"},
    {"charset", 'c', option_name::charset, "guess, cp437, utf8"},
    {"wrap", 0, option_name::wrap, "auto, dos, vt"},
    {"colours", 0, option_name::colours, "auto, 24bit, 256, 16, none"},
    {"colors", 0, option_name::colours, "auto, 24bit, 256, 16, none"},
    {"columns", 0, option_name::columns, "1 to 4294967295"},
    {"info", 'i', option_name::info, nullptr},
    {"help", 'h', option_name::help, nullptr},
    {"version", 'V', option_name::version, nullptr},
};

template <typename value_type> struct choice {
    const char *word;
    value_type value;
};

constexpr choice<tremlox_charset> charsets[] = {{"guess", TREMLOX_CHARSET_GUESS},
                                                {"cp437", TREMLOX_CHARSET_CP437},
                                                {"utf8", TREMLOX_CHARSET_UTF8}};
constexpr choice<tremlox_wrapping> wrappings[] = {
    {"auto", TREMLOX_WRAPPING_AUTO}, {"dos", TREMLOX_WRAPPING_DOS}, {"vt", TREMLOX_WRAPPING_VT}};
constexpr choice<tremlox_colours> colour_modes[] = {{"auto", TREMLOX_COLOURS_AUTO},
                                                    {"24bit", TREMLOX_COLOURS_24_BIT},
                                                    {"256", TREMLOX_COLOURS_256},
                                                    {"16", TREMLOX_COLOURS_16},
                                                    {"none", TREMLOX_COLOURS_NONE}};

bool equals_ascii(native_view text, std::string_view ascii) {
    return text.size() == ascii.size() &&
           std::equal(ascii.begin(), ascii.end(), text.begin(),
                      [](char a, native_char b) { return static_cast<native_char>(a) == b; });
}

// The code units of the character at `text`: a UTF-8 lead byte and its
// continuation bytes, or a UTF-16 surrogate pair, so that a message never
// cuts a character in two.
std::size_t character_length(const native_char *text) {
    const auto continues = [](native_char unit) {
        const auto value = static_cast<std::make_unsigned_t<native_char>>(unit);
        return sizeof(native_char) == 1 ? (value & 0xC0u) == 0x80u : (value & 0xFC00u) == 0xDC00u;
    };
    std::size_t length = 1;
    while (text[length] != 0 && continues(text[length]))
        ++length;
    return length;
}

int invalid_value(const option &spec, name_type value) {
    const std::string valid = std::string("' (valid: ") + spec.valid + ")\n";
    return usage_error({"tremlox-view: invalid argument '", message_part::name(value), "' for '--",
                        message_part::utf8(spec.long_name), message_part::utf8(valid)});
}

// A whole number from 1 to `largest`, in decimal digits alone.
bool read_number(name_type text, unsigned long long largest, unsigned &number) {
    unsigned long long value = 0;
    if (*text == 0)
        return false;
    for (; *text != 0; ++text) {
        if (*text < '0' || *text > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(*text - '0');
        if (value > largest)
            return false;
    }
    number = static_cast<unsigned>(value);
    return value > 0;
}

template <typename value_type, std::size_t count>
bool read_choice(name_type text, const choice<value_type> (&choices)[count], value_type &value) {
    for (const choice<value_type> &candidate : choices)
        if (equals_ascii(text, candidate.word)) {
            value = candidate.value;
            return true;
        }
    return false;
}

// Applies one option, with its value (nullptr for one that takes none).
// Returns carry_on, or the exit status when the run ends here.
int apply(const option &spec, name_type value, settings &settings) {
    tremlox_screen_options &screen = settings.screen;
    bool valid = true;
    switch (spec.name) {
    case option_name::width:
        valid = read_number(value, widest_art, screen.width);
        break;
    case option_name::columns:
        valid = read_number(value, UINT_MAX, screen.column_limit);
        break;
    case option_name::charset:
        valid = read_choice(value, charsets, screen.charset);
        break;
    case option_name::wrap:
        valid = read_choice(value, wrappings, screen.wrapping);
        break;
    case option_name::colours:
        valid = read_choice(value, colour_modes, screen.colours);
        break;
    case option_name::info:
        settings.info = true;
        break;
    case option_name::help:
        return print_text(usage_text);
    case option_name::version:
        return print_text(version_text);
    }
    return valid ? carry_on : invalid_value(spec, value);
}

// The option a long name, or an unambiguous start of one, stands for;
// nullptr when none does, or when it starts the names of several.
const option *find_long_option(native_view name, bool &ambiguous) {
    const option *found = nullptr;
    ambiguous = false;
    for (const option &candidate : options) {
        const std::string_view long_name = candidate.long_name;
        if (name.empty() || name.size() > long_name.size() ||
            !equals_ascii(name, long_name.substr(0, name.size())))
            continue;
        if (name.size() == long_name.size()) {
            ambiguous = false;
            return &candidate;
        }
        if (found != nullptr && found->name != candidate.name)
            ambiguous = true;
        found = &candidate;
    }
    return ambiguous ? nullptr : found;
}

int refuse_ambiguous(native_view name, name_type argument) {
    std::string possibilities;
    for (const option &candidate : options)
        if (std::string_view(candidate.long_name).size() >= name.size() &&
            equals_ascii(name, std::string_view(candidate.long_name).substr(0, name.size())))
            possibilities += std::string(" '--") + candidate.long_name + "'";
    possibilities += "\n";
    return usage_error({"tremlox-view: option '", message_part::name(argument),
                        "' is ambiguous; possibilities:", message_part::utf8(possibilities)});
}

// Reads the long option argv[index] ("--name" or "--name=value"), and the
// next argument when that is its value.
int read_long_option(int argc, native_char **argv, int &index, settings &settings) {
    const name_type argument = argv[index];
    const native_view body = native_view(argument).substr(2);
    const std::size_t equals = body.find('=');
    const native_view name = body.substr(0, equals);
    bool ambiguous = false;
    const option *spec = find_long_option(name, ambiguous);
    if (ambiguous)
        return refuse_ambiguous(name, argument);
    if (spec == nullptr)
        return usage_error(
            {"tremlox-view: unrecognized option '", message_part::name(argument), "'\n"});
    if (equals != native_view::npos) {
        if (spec->valid == nullptr)
            return usage_error({"tremlox-view: option '--", message_part::utf8(spec->long_name),
                                "' doesn't allow an argument\n"});
        return apply(*spec, argument + 2 + equals + 1, settings);
    }
    if (spec->valid == nullptr)
        return apply(*spec, nullptr, settings);
    if (index + 1 >= argc)
        return usage_error({"tremlox-view: option '--", message_part::utf8(spec->long_name),
                            "' requires an argument\n"});
    return apply(*spec, argv[++index], settings);
}

// Reads the short options bundled in argv[index] ("-ic" "cp437", "-w80").
int read_short_options(int argc, native_char **argv, int &index, settings &settings) {
    const name_type argument = argv[index];
    for (std::size_t at = 1; argument[at] != 0; ++at) {
        const option *spec = nullptr;
        for (const option &candidate : options)
            if (candidate.short_name != 0 &&
                static_cast<native_char>(candidate.short_name) == argument[at])
                spec = &candidate;
        if (spec == nullptr) {
            const native_string character(argument + at, character_length(argument + at));
            return usage_error({"tremlox-view: invalid option -- '",
                                message_part::name(character.c_str()), "'\n"});
        }
        if (spec->valid == nullptr) {
            const int status = apply(*spec, nullptr, settings);
            if (status != carry_on)
                return status;
            continue;
        }
        // The rest of the argument is the value, else the next argument is.
        if (argument[at + 1] != 0)
            return apply(*spec, argument + at + 1, settings);
        if (index + 1 >= argc) {
            const std::string letter(1, spec->short_name);
            return usage_error({"tremlox-view: option requires an argument -- '",
                                message_part::utf8(letter), "'\n"});
        }
        return apply(*spec, argv[++index], settings);
    }
    return carry_on;
}

// Reads the options, wherever they stand, and the names of the files, in
// the manner of GNU getopt_long: "--" ends the options, and "-" is a file.
int read_arguments(int argc, native_char **argv, settings &settings) {
    bool options_ended = false;
    for (int index = 1; index < argc; ++index) {
        const native_view argument = argv[index];
        int status = carry_on;
        if (options_ended || argument.size() < 2 || argument[0] != '-')
            settings.files.push_back(argv[index]);
        else if (equals_ascii(argument, "--"))
            options_ended = true;
        else if (argument[1] == '-')
            status = read_long_option(argc, argv, index, settings);
        else
            status = read_short_options(argc, argv, index, settings);
        if (status != carry_on)
            return status;
    }
    return carry_on;
}

// ---- Screens

bool is_standard_input(name_type name) {
    return name[0] == '-' && name[1] == 0;
}

bool refuse_too_large(name_type name) {
    print(console::error, {"tremlox-view: ", message_part::name(name), ": ", too_large, "\n"});
    return false;
}

// Reads the whole file, "-" being standard input, into `bytes`. Reports a
// failure and returns false. Reads at most one byte past the largest
// screen, so that a huge file is refused without being read to its end.
bool read_screen(name_type name, std::string &bytes) {
    file input;
    error_code error = 0;
    const bool opened = is_standard_input(name) ? open_standard_input(input, error)
                                                : open_input(name, input, error);
    if (!opened) {
        report(name, error);
        return false;
    }
    if (input.type() == file_type::folder) {
        report(name, folder_error());
        return false;
    }
    // A regular file says its size: one too large is refused unread.
    unsigned long long file_size = 0;
    if (input.size(file_size) && file_size > largest_screen)
        return refuse_too_large(name);
    constexpr std::size_t first_buffer = std::size_t{1} << 16;
    std::size_t size = 0;
    bytes.clear();
    while (size <= largest_screen) {
        if (size == bytes.size())
            bytes.resize(std::min(std::max(2 * size, first_buffer), largest_screen + 1));
        const std::ptrdiff_t count = input.read_some(
            std::span(reinterpret_cast<unsigned char *>(bytes.data()) + size, bytes.size() - size));
        if (count < 0) {
            report(name, input.last_error());
            return false;
        }
        if (count == 0)
            break;
        size += static_cast<std::size_t>(count);
    }
    if (size > largest_screen)
        return refuse_too_large(name);
    bytes.resize(size);
    return true;
}

void append_utf8(std::string &text, std::uint32_t glyph) {
    // Control codes, surrogates and what lies past Unicode are no glyphs.
    if (glyph < 0x20 || (glyph >= 0x7f && glyph < 0xa0) || (glyph >= 0xd800 && glyph < 0xe000) ||
        glyph > 0x10ffff)
        glyph = 0xfffd;
    if (glyph < 0x80) {
        text += static_cast<char>(glyph);
        return;
    }
    char bytes[4];
    std::size_t length = glyph < 0x800 ? 2 : glyph < 0x10000 ? 3 : 4;
    for (std::size_t at = length - 1; at > 0; --at, glyph >>= 6)
        bytes[at] = static_cast<char>(0x80 | (glyph & 0x3f));
    static constexpr unsigned char lead[] = {0, 0, 0xc0, 0xe0, 0xf0};
    bytes[0] = static_cast<char>(lead[length] | glyph);
    text.append(bytes, length);
}

// A text of the record in UTF-8. Its bytes are CP437 in classic files and
// sometimes UTF-8 in modern ones: the library draws them, in the charset
// the options give (or guessed), and their glyphs are taken from the cells,
// so that no byte of the record reaches the terminal as it stands.
std::string record_text(const char *bytes, tremlox_charset charset) {
    const std::size_t length = std::strlen(bytes);
    std::string text;
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.charset = charset;
    options.width = static_cast<unsigned>(std::max<std::size_t>(length, 1));
    tremlox_grid *grid = tremlox_screen_draw(bytes, length, &options);
    if (grid == nullptr)
        return text;
    // A line break in the text leaves a row each side of it: joined by a blank.
    for (unsigned row = 0; row < tremlox_grid_height(grid); ++row) {
        const tremlox_cell *cells = tremlox_grid_row(grid, row);
        std::string line;
        for (unsigned column = 0; column < tremlox_grid_width(grid); ++column) {
            // The right half of a wide glyph holds nothing of its own.
            if (cells[column].width == 0)
                continue;
            append_utf8(line, cells[column].glyph);
            const std::uint32_t *marks = tremlox_grid_marks(grid, row, column);
            for (unsigned mark = 0; mark < cells[column].marks; ++mark)
                append_utf8(line, marks[mark]);
        }
        line.erase(line.find_last_not_of(' ') + 1);
        if (!text.empty() && !line.empty())
            text += ' ';
        text += line;
    }
    tremlox_grid_free(grid);
    return text;
}

void add_line(std::string &lines, const char *name, const std::string &value) {
    lines += name;
    lines += ": ";
    lines += value;
    lines += '\n';
}

void add_record(std::string &lines, const std::string &bytes, tremlox_charset charset) {
    tremlox_sauce sauce;
    tremlox_screen_parse(bytes.data(), bytes.size(), &sauce);
    if (!sauce.present) {
        add_line(lines, "Record", "none");
        return;
    }
    add_line(lines, "Title", record_text(sauce.title, charset));
    add_line(lines, "Author", record_text(sauce.author, charset));
    add_line(lines, "Group", record_text(sauce.group, charset));
    add_line(lines, "Date", record_text(sauce.date, charset));
    add_line(lines, "Width", std::to_string(sauce.width));
    add_line(lines, "Height", std::to_string(sauce.height));
    add_line(lines, "Font", record_text(sauce.font, charset));
    add_line(lines, "iCE colours", sauce.ice_colours ? "yes" : "no");
    add_line(lines, "Comment lines", std::to_string(sauce.comment_lines));
    for (unsigned line = 0; line < sauce.comment_lines; ++line) {
        char text[65];
        tremlox_screen_comment(bytes.data(), bytes.size(), line, text);
        add_line(lines, "Comment", record_text(text, charset));
    }
}

// How showing one file ended.
enum class outcome { shown, file_failed, output_failed };

// Prints the record's fields and what the drawing decided, a block of
// "Name: value" lines, after an empty line unless it is the first block.
outcome print_info(name_type name, const std::string &bytes, const settings &settings,
                   bool first_block, error_code &error) {
    std::string lines;
    add_record(lines, bytes, settings.screen.charset);
    tremlox_grid *grid = tremlox_screen_draw(bytes.data(), bytes.size(), &settings.screen);
    if (grid == nullptr) {
        report(name, error_from_errno(errno));
        return outcome::file_failed;
    }
    add_line(lines, "Charset",
             tremlox_grid_charset(grid) == TREMLOX_CHARSET_UTF8 ? "utf8" : "cp437");
    add_line(lines, "Wrapping", tremlox_grid_wrapping(grid) == TREMLOX_WRAPPING_VT ? "vt" : "dos");
    add_line(lines, "Grid",
             std::to_string(tremlox_grid_width(grid)) + "x" +
                 std::to_string(tremlox_grid_height(grid)));
    add_line(lines, "Clipped", tremlox_grid_clipped(grid) ? "yes" : "no");
    tremlox_grid_free(grid);
    error = print(console::output, {message_part::utf8(first_block ? "" : "\n"), "File: ",
                                    message_part::name(name), "\n", message_part::utf8(lines)});
    return error == 0 ? outcome::shown : outcome::output_failed;
}

// Says, after the screen, that the grid left out what the art drew past its
// largest size: the screen is shown all the same.
void warn_clipped(name_type name) {
    static const std::string what_is_shown =
        "clipped: only the first " + std::to_string(TREMLOX_SCREEN_MAX_ROWS) + " rows and " +
        std::to_string(TREMLOX_SCREEN_MAX_COLUMNS) + " columns are shown\n";
    print(console::error,
          {"tremlox-view: ", message_part::name(name), ": ", message_part::utf8(what_is_shown)});
}

outcome show(std::FILE *out, name_type name, const std::string &bytes, const settings &settings,
             error_code &error) {
    tremlox_grid *grid = tremlox_screen_draw(bytes.data(), bytes.size(), &settings.screen);
    const bool written = grid != nullptr && tremlox_grid_write(out, grid, &settings.screen) == 0;
    const int failure = errno;
    const bool clipped = tremlox_grid_clipped(grid);
    tremlox_grid_free(grid);
    if (written) {
        if (clipped)
            warn_clipped(name);
        return outcome::shown;
    }
    error = error_from_errno(failure);
    // Out of memory for the grid: this file cannot be shown, the next may be.
    if (failure == ENOMEM) {
        report(name, error);
        return outcome::file_failed;
    }
    return outcome::output_failed;
}

int show_all(settings &settings) {
    std::FILE *out = standard_output();
    if (settings.files.empty())
        settings.files.push_back(standard_input_name);
    int status = exit_shown;
    bool first_block = true;
    for (const name_type name : settings.files) {
        std::string bytes;
        if (!read_screen(name, bytes)) {
            status = exit_failed;
            continue;
        }
        error_code error = 0;
        const outcome result = settings.info ? print_info(name, bytes, settings, first_block, error)
                                             : show(out, name, bytes, settings, error);
        if (result == outcome::output_failed)
            return stop_output(error, status);
        if (result == outcome::file_failed)
            status = exit_failed;
        else
            first_block = false;
    }
    // A full disk may only show when the last of the output is written.
    errno = 0;
    if (std::fclose(out) != 0)
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
