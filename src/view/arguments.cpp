#include "arguments.h"

#include "utf8.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace tremlox::view {

namespace {

using namespace platform;

using native_view = std::basic_string_view<native_char>;
using native_string = std::basic_string<native_char>;

// The widest art the library draws.
constexpr unsigned long long widest_art = 65535;
constexpr unsigned long long largest_scale = 8;

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
    "  -o, --output=FILE      write the screen's picture to FILE as PNG instead\n"
    "                           (- for standard output); one FILE only\n"
    "      --graphics=MODE    sixel, kitty or none: show the screen as a picture\n"
    "                           in the terminal's image protocol (default: none)\n"
    "      --font=FONT        paint pictures with a PSF1 or PSF2 console font,\n"
    "                           gzip-compressed or not (default: built-in 8x16)\n"
    "      --letter-spacing=N 8 or 9 pixel columns a cell (9: the VGA card's\n"
    "                           9-dot font; default: the record's, else 8)\n"
    "      --scale=N          each pixel a square of N x N, 1 to 8 (default: 1)\n"
    "  -h, --help             print this help and exit\n"
    "  -V, --version          print the version and exit\n"
    "\n"
    "Exit status: 0 when every file was shown, 1 after a usage error, 2 when a\n"
    "file could not be read or the output could not be written.\n";

constexpr char version_text[] = "tremlox-view " TREMLOX_VERSION "\n";

// ---- Arguments

enum class option_name {
    width,
    charset,
    wrap,
    colours,
    columns,
    info,
    output,
    graphics,
    font,
    letter_spacing,
    scale,
    help,
    version
};

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
    {"output", 'o', option_name::output, "a file name"},
    {"graphics", 0, option_name::graphics, "sixel, kitty, none"},
    {"font", 0, option_name::font, "a file name"},
    {"letter-spacing", 0, option_name::letter_spacing, "8, 9"},
    {"scale", 0, option_name::scale, "1 to 8"},
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
constexpr choice<graphics_mode> graphics_modes[] = {{"sixel", graphics_mode::sixel},
                                                    {"kitty", graphics_mode::kitty},
                                                    {"none", graphics_mode::none}};
constexpr choice<unsigned> letter_spacings[] = {{"8", 8}, {"9", 9}};

bool equals_ascii(native_view text, std::string_view ascii) {
    return text.size() == ascii.size() &&
           std::equal(ascii.begin(), ascii.end(), text.begin(),
                      [](char a, native_char b) { return static_cast<native_char>(a) == b; });
}

// The code units of the character at `text`: a UTF-8 sequence (a byte
// that is none alone), or a UTF-16 surrogate pair, so that a message never
// cuts a character in two.
std::size_t character_length(const native_char *text) {
    if constexpr (sizeof(native_char) == 1) {
        std::uint32_t code_point = 0;
        const std::size_t length =
            tremlox__utf8_decode(reinterpret_cast<const unsigned char *>(text),
                                 std::char_traits<native_char>::length(text), &code_point);
        return length != 0 ? length : 1;
    } else {
        const auto unit = [](native_char value) { return static_cast<unsigned>(value) & 0xFC00u; };
        return unit(text[0]) == 0xD800u && unit(text[1]) == 0xDC00u ? 2 : 1;
    }
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
    case option_name::output:
        settings.output = value;
        break;
    case option_name::graphics:
        valid = read_choice(value, graphics_modes, settings.graphics);
        break;
    case option_name::font:
        settings.font = value;
        break;
    case option_name::letter_spacing:
        valid = read_choice(value, letter_spacings, settings.letter_spacing);
        break;
    case option_name::scale:
        valid = read_number(value, largest_scale, settings.scale);
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
int read_options(int argc, native_char **argv, settings &settings) {
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

// A picture file holds one screen, and replaces showing it or its record.
int refuse_conflicts(const settings &settings) {
    if (settings.output == nullptr)
        return carry_on;
    if (settings.files.size() > 1)
        return usage_error({"tremlox-view: option '--output' takes exactly one FILE\n"});
    if (settings.info)
        return usage_error({"tremlox-view: options '--output' and '--info' exclude each other\n"});
    if (settings.graphics != graphics_mode::none)
        return usage_error(
            {"tremlox-view: options '--output' and '--graphics' exclude each other\n"});
    return carry_on;
}

} // namespace

int read_arguments(int argc, native_char **argv, settings &settings) {
    const int status = read_options(argc, argv, settings);
    return status != carry_on ? status : refuse_conflicts(settings);
}

} // namespace tremlox::view
