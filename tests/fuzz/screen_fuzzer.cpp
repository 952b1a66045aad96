// Runs the screen library's parser and terminal writer on arbitrary bytes and
// checks what must hold whatever the screen: the record's texts end within
// their fields, the art lies within the screen, and the writer's text is
// valid UTF-8 made of glyphs, CR, LF, TAB and whole escape sequences, ending
// with a reset; with the CP437 set it never blinks under iCE colours.
//
// Byte 0 picks the character set (its value modulo 3); the rest is the screen.
#include <tremlox/screen.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool ends_within(const char *text, std::size_t size) {
    return std::memchr(text, '\0', size) != nullptr;
}

void check_record(const char *screen, std::size_t size) {
    tremlox_sauce sauce;
    const std::size_t art = tremlox_screen_parse(screen, size, &sauce);
    require(art <= size, "art longer than the screen");
    require(std::memchr(screen, 26, art) == nullptr, "byte 26 inside the art");
    require(ends_within(sauce.title, sizeof sauce.title) &&
                ends_within(sauce.author, sizeof sauce.author) &&
                ends_within(sauce.group, sizeof sauce.group) &&
                ends_within(sauce.date, sizeof sauce.date) &&
                ends_within(sauce.font, sizeof sauce.font),
            "a text without its NUL");
    require(!sauce.present || art + 128 <= size, "art overlapping the record");
    require(sauce.comment_lines == 0 || art + 128 + 5 + 64u * sauce.comment_lines <= size,
            "comments overlapping the art");
}

// Returns the length of the escape sequence at text[at], 0 when it is not whole.
std::size_t sequence_length(const std::string &text, std::size_t at) {
    std::size_t end = at + 1;
    if (end >= text.size() || text[end] != '[')
        return 0;
    for (++end; end < text.size(); ++end) {
        const unsigned char byte = static_cast<unsigned char>(text[end]);
        if (byte >= 0x40 && byte <= 0x7e)
            return end + 1 - at;
        if (byte < 0x20 || byte > 0x3f)
            return 0;
    }
    return 0;
}

// Whether the sequence is a plain SGR (digits and ';' only: others, with
// intermediate bytes or private markers, are other functions) that turns
// blink on; the numbers of 38/48;5;n and 38/48;2;r;g;b are colours.
bool blinks(const std::string &text, std::size_t at, std::size_t length) {
    const std::string parameters = text.substr(at + 2, length - 3);
    if (text[at + length - 1] != 'm' ||
        parameters.find_first_not_of("0123456789;") != std::string::npos)
        return false;
    std::vector<long> codes;
    std::size_t start = 0;
    for (;;) {
        const std::size_t stop = parameters.find(';', start);
        const std::string code = parameters.substr(start, stop - start);
        codes.push_back(code.empty() ? 0 : std::strtol(code.substr(0, 6).c_str(), nullptr, 10));
        if (stop == std::string::npos)
            break;
        start = stop + 1;
    }
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if ((codes[i] == 38 || codes[i] == 48) && i + 1 < codes.size())
            i += codes[i + 1] == 5 ? 2 : codes[i + 1] == 2 ? 4 : 0;
        else if (codes[i] == 5 || codes[i] == 6)
            return true;
    }
    return false;
}

void check_cp437_text(const std::string &text, bool ice_colours) {
    std::size_t at = 0;
    while (at < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte == 0x1b) {
            const std::size_t length = sequence_length(text, at);
            require(length > 0, "an escape sequence cut off");
            if (ice_colours)
                require(!blinks(text, at, length), "blink under iCE colours");
            at += length;
        } else if (byte < 0x20 || byte == 0x7f) {
            require(byte == '\r' || byte == '\n' || byte == '\t', "a raw control byte");
            ++at;
        } else {
            const std::size_t length = byte < 0x80 ? 1 : byte < 0xe0 ? 2 : byte < 0xf0 ? 3 : 4;
            require(byte < 0x80 || (byte >= 0xc2 && byte <= 0xef), "not a CP437 glyph's UTF-8");
            require(at + length <= text.size(), "a glyph cut off");
            for (std::size_t i = 1; i < length; ++i)
                require((static_cast<unsigned char>(text[at + i]) & 0xc0) == 0x80, "invalid UTF-8");
            at += length;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const tremlox_charset charsets[] = {TREMLOX_CHARSET_GUESS, TREMLOX_CHARSET_CP437,
                                        TREMLOX_CHARSET_UTF8};
    const tremlox_charset charset = charsets[data[0] % 3];
    const char *screen = reinterpret_cast<const char *>(data) + 1;
    const std::size_t screen_size = size - 1;
    check_record(screen, screen_size);

    char *buffer = nullptr;
    std::size_t length = 0;
    std::FILE *out = open_memstream(&buffer, &length);
    require(out != nullptr, "open_memstream");
    require(tremlox_screen_write(out, screen, screen_size, charset) == 0, "a write failed");
    std::fclose(out);
    const std::string text(buffer, length);
    std::free(buffer);

    const std::string reset = "\x1b[0m";
    require(text.size() >= reset.size(), "no reset");
    const bool ends_with_reset = text.compare(text.size() - reset.size(), reset.size(), reset) == 0;
    const bool ends_with_reset_and_break =
        text.size() >= reset.size() + 2 &&
        text.compare(text.size() - reset.size() - 2, reset.size() + 2, reset + "\r\n") == 0;
    require(ends_with_reset || ends_with_reset_and_break, "the end is no reset");

    tremlox_sauce sauce;
    const std::size_t art = tremlox_screen_parse(screen, screen_size, &sauce);
    if (charset == TREMLOX_CHARSET_CP437)
        check_cp437_text(text, sauce.ice_colours);
    else if (charset == TREMLOX_CHARSET_UTF8)
        require(text.compare(0, art, screen, art) == 0, "UTF-8 art changed");
    return 0;
}
