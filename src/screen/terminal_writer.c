/* Writes a screen's art to a UTF-8 terminal as a DOS console showed it. */
#include "console.h"
#include "cp437.h"

#include <tremlox/screen.h>

#include <errno.h>
#include <string.h>

enum { default_width = 80, tab_stop = 8, largest_parameter = 65535 };

enum {
    escape = 0x1b,
    control_sequence_introducer = '[',
    /* ESC [ is followed by parameter bytes, intermediate bytes, then one final byte. */
    first_parameter_byte = 0x20,
    last_parameter_byte = 0x3f,
    first_final_byte = 0x40,
    last_final_byte = 0x7e,
};

/* The background as the writer knows it: the terminal's default, one of the
 * sixteen colours, or one given in another form (256 colours, RGB). */
enum { default_background = -1, other_background = 16 };

struct terminal_writer {
    FILE *out;
    struct tremlox_console_state *console;
    int failed_errno; /* 0 until a write fails */
    bool wraps;
    unsigned width;
    bool ice_colours;
    unsigned column;
    unsigned saved_column;
    /* Something was written on the line since the last line feed, so the end
     * needs a line break even when the cursor was taken back to column 0. */
    bool line_written;
    int background;
    bool blink;
};

static void emit(struct terminal_writer *writer, const char *text, size_t length) {
    if (writer->failed_errno != 0 || length == 0)
        return;
    writer->failed_errno = tremlox_console_write(writer->out, writer->console, text, length);
}

static void emit_text(struct terminal_writer *writer, const char *text) {
    emit(writer, text, strlen(text));
}

static void emit_number(struct terminal_writer *writer, unsigned value) {
    char digits[12];
    size_t start = sizeof digits;
    do {
        digits[--start] = (char)('0' + value % 10);
        value /= 10;
    } while (value > 0);
    emit(writer, digits + start, sizeof digits - start);
}

static void break_line(struct terminal_writer *writer) {
    emit_text(writer, "\r\n");
    writer->column = 0;
    writer->line_written = false;
}

/* The DOS console moves to the next line right after the width-th glyph. */
static void advance_column(struct terminal_writer *writer, unsigned columns) {
    writer->column += columns;
    writer->line_written = true;
    if (writer->wraps && writer->column >= writer->width)
        break_line(writer);
}

/* Puts the cursor on `column`, kept on the art's lines as ANSI.SYS keeps it. */
static void move_to_column(struct terminal_writer *writer, unsigned column) {
    if (writer->wraps && column >= writer->width)
        column = writer->width - 1;
    writer->column = column;
    if (column > 0)
        writer->line_written = true;
}

/* The parameters of a control sequence, read one at a time. */
struct parameters {
    const char *next;
    const char *end;
    bool more;
};

static struct parameters parameters_of(const char *start, const char *end) {
    struct parameters parameters = {start, end, true};
    return parameters;
}

/* Returns the next parameter, `fallback` when it is empty or missing. */
static unsigned next_parameter(struct parameters *parameters, unsigned fallback) {
    unsigned value = 0;
    bool given = false;
    if (!parameters->more)
        return fallback;
    while (parameters->next < parameters->end && *parameters->next != ';') {
        const unsigned digit = (unsigned)(*parameters->next - '0');
        value = value * 10 + digit;
        if (value > largest_parameter)
            value = largest_parameter;
        given = true;
        ++parameters->next;
    }
    if (parameters->next < parameters->end)
        ++parameters->next; /* the ';' */
    else
        parameters->more = false;
    return given ? value : fallback;
}

static bool only_digits_and_separators(const char *start, const char *end) {
    for (; start < end; ++start)
        if ((*start < '0' || *start > '9') && *start != ';')
            return false;
    return true;
}

/* Adds one code to the select graphic rendition sequence being written. */
static void emit_code(struct terminal_writer *writer, unsigned code, bool *sequence_started) {
    emit_text(writer, *sequence_started ? ";" : "\x1b[");
    *sequence_started = true;
    emit_number(writer, code);
}

/* The code of the background as it shows with or without the blink bit. */
static void emit_background(struct terminal_writer *writer, bool *sequence_started) {
    const int background = writer->background;
    if (background == other_background)
        return; /* given in a form of its own, which the terminal keeps */
    if (background == default_background)
        emit_code(writer, writer->blink ? 100 : 49, sequence_started);
    else if (background >= 8)
        emit_code(writer, 100 + (unsigned)background - 8, sequence_started);
    else
        emit_code(writer, (writer->blink ? 100 : 40) + (unsigned)background, sequence_started);
}

/* Copies a colour given as 38 or 48 with 5;n or 2;r;g;b. A form of another
 * number is left out with its code, so that the number is not taken for a
 * code of its own (6 would blink). */
static void write_extended_colour(struct terminal_writer *writer, struct parameters *parameters,
                                  unsigned code, bool *sequence_started) {
    struct parameters after_code = *parameters;
    const unsigned form = next_parameter(parameters, 0);
    unsigned following = form == 5 ? 1 : 3;
    if (form != 5 && form != 2) {
        *parameters = after_code;
        return;
    }
    emit_code(writer, code, sequence_started);
    emit_code(writer, form, sequence_started);
    while (following-- > 0 && parameters->more)
        emit_code(writer, next_parameter(parameters, 0), sequence_started);
    if (code == 48)
        writer->background = other_background;
}

/* Rewrites an SGR sequence for iCE colours: blink (5, 6) becomes the bright
 * form of the current background and blink off (25) its normal form, so
 * nothing blinks; every other code passes in its order. */
static void write_ice_colours(struct terminal_writer *writer, const char *start, const char *end) {
    struct parameters parameters = parameters_of(start, end);
    bool sequence_started = false;
    while (parameters.more) {
        const unsigned code = next_parameter(&parameters, 0);
        if (code == 0) {
            writer->background = default_background;
            writer->blink = false;
            emit_code(writer, 0, &sequence_started);
        } else if (code == 5 || code == 6 || code == 25) {
            writer->blink = code != 25;
            emit_background(writer, &sequence_started);
        } else if ((code >= 40 && code <= 47) || code == 49) {
            writer->background = code == 49 ? default_background : (int)code - 40;
            emit_background(writer, &sequence_started);
        } else if (code >= 100 && code <= 107) {
            writer->background = (int)code - 100 + 8;
            emit_code(writer, code, &sequence_started);
        } else if (code == 38 || code == 48) {
            write_extended_colour(writer, &parameters, code, &sequence_started);
        } else {
            emit_code(writer, code, &sequence_started);
        }
    }
    if (sequence_started)
        emit_text(writer, "m");
}

/* Follows the cursor through a control sequence with parameters
 * [start, end) and final byte `final`. */
static void track_cursor(struct terminal_writer *writer, const char *start, const char *end,
                         char final) {
    struct parameters parameters = parameters_of(start, end);
    unsigned count;
    switch (final) {
    case 'C':
        count = next_parameter(&parameters, 1);
        move_to_column(writer, writer->column + (count == 0 ? 1 : count));
        break;
    case 'D':
        count = next_parameter(&parameters, 1);
        count = count == 0 ? 1 : count;
        writer->column = writer->column > count ? writer->column - count : 0;
        break;
    case 'G':
        count = next_parameter(&parameters, 1);
        move_to_column(writer, count > 0 ? count - 1 : 0);
        break;
    case 'H':
    case 'f':
        (void)next_parameter(&parameters, 1); /* the row */
        count = next_parameter(&parameters, 1);
        move_to_column(writer, count > 0 ? count - 1 : 0);
        break;
    case 's':
        writer->saved_column = writer->column;
        break;
    case 'u':
        move_to_column(writer, writer->saved_column);
        break;
    default:
        break;
    }
}

/* Writes the escape sequence at art[at] (an ESC) and returns where the art
 * goes on. A sequence that the art cuts off, or an ESC that begins no
 * control sequence, is left out: on its own it would swallow what follows. */
static size_t write_escape_sequence(struct terminal_writer *writer, const char *art, size_t size,
                                    size_t at) {
    const char *parameters;
    size_t end = at + 2;
    if (at + 1 >= size || art[at + 1] != control_sequence_introducer)
        return at + 1;
    parameters = art + end;
    while (end < size && (unsigned char)art[end] >= first_parameter_byte &&
           (unsigned char)art[end] <= last_parameter_byte)
        ++end;
    if (end >= size)
        return size;
    if ((unsigned char)art[end] < first_final_byte || (unsigned char)art[end] > last_final_byte)
        return end;

    if (only_digits_and_separators(parameters, art + end)) {
        if (art[end] == 'm' && writer->ice_colours) {
            write_ice_colours(writer, parameters, art + end);
            return end + 1;
        }
        track_cursor(writer, parameters, art + end, art[end]);
    }
    emit(writer, art + at, end + 1 - at);
    return end + 1;
}

static void write_cp437(struct terminal_writer *writer, const char *art, size_t size) {
    size_t at = 0;
    while (at < size && writer->failed_errno == 0) {
        const unsigned char byte = (unsigned char)art[at];
        if (byte == escape) {
            at = write_escape_sequence(writer, art, size, at);
            continue;
        }
        if (byte == '\r') {
            emit_text(writer, "\r");
            writer->column = 0;
        } else if (byte == '\n') {
            emit_text(writer, "\n");
            writer->column = 0;
            writer->line_written = false;
        } else if (byte == '\t') {
            emit_text(writer, "\t");
            advance_column(writer, tab_stop - writer->column % tab_stop);
        } else {
            emit_text(writer, tremlox_cp437_glyph(byte));
            advance_column(writer, 1);
        }
        ++at;
    }
}

/* UTF-8 art goes out as it is; only whether its last line holds anything
 * is needed, for the end. */
static void write_utf8(struct terminal_writer *writer, const char *art, size_t size) {
    size_t at = size;
    emit(writer, art, size);
    while (at > 0 && art[at - 1] != '\n')
        --at;
    for (; at < size; ++at) {
        const unsigned char byte = (unsigned char)art[at];
        if (byte == escape && at + 1 < size && art[at + 1] == '[') {
            at += 2;
            while (at < size && ((unsigned char)art[at] < first_final_byte ||
                                 (unsigned char)art[at] > last_final_byte))
                ++at;
        } else if (byte >= ' ' || byte == '\t') {
            writer->line_written = true;
        }
    }
}

/* Returns the number of bytes the UTF-8 sequence at text[0..size) takes, or
 * 0 when it is not valid (overlong, a surrogate, beyond U+10FFFF, cut off). */
static size_t utf8_sequence_length(const unsigned char *text, size_t size) {
    size_t length;
    unsigned long code_point;
    size_t i;
    if (text[0] < 0x80)
        return 1;
    if (text[0] >= 0xc2 && text[0] <= 0xdf) {
        length = 2;
        code_point = text[0] & 0x1fu;
    } else if (text[0] >= 0xe0 && text[0] <= 0xef) {
        length = 3;
        code_point = text[0] & 0x0fu;
    } else if (text[0] >= 0xf0 && text[0] <= 0xf4) {
        length = 4;
        code_point = text[0] & 0x07u;
    } else {
        return 0;
    }
    if (length > size)
        return 0;
    for (i = 1; i < length; ++i) {
        if ((text[i] & 0xc0u) != 0x80u)
            return 0;
        code_point = code_point << 6 | (text[i] & 0x3fu);
    }
    if ((length == 3 && code_point < 0x800) || (length == 4 && code_point < 0x10000) ||
        (code_point >= 0xd800 && code_point <= 0xdfff) || code_point > 0x10ffff)
        return 0;
    return length;
}

static bool looks_like_utf8(const char *art, size_t size) {
    const unsigned char *text = (const unsigned char *)art;
    bool multi_byte = false;
    size_t at = 0;
    while (at < size) {
        const size_t length = utf8_sequence_length(text + at, size - at);
        if (length == 0)
            return false;
        multi_byte = multi_byte || length > 1;
        at += length;
    }
    return multi_byte;
}

int tremlox_screen_write(FILE *out, const char *screen, size_t size, enum tremlox_charset charset) {
    struct tremlox_sauce sauce;
    struct terminal_writer writer;
    struct tremlox_console_state console;
    size_t art_size;
    bool utf8;

    if (out == NULL || (screen == NULL && size > 0) ||
        (charset != TREMLOX_CHARSET_GUESS && charset != TREMLOX_CHARSET_CP437 &&
         charset != TREMLOX_CHARSET_UTF8)) {
        errno = EINVAL;
        return -1;
    }
    art_size = tremlox_screen_parse(screen, size, &sauce);
    utf8 = charset == TREMLOX_CHARSET_UTF8 ||
           (charset == TREMLOX_CHARSET_GUESS && looks_like_utf8(screen, art_size));

    memset(&writer, 0, sizeof writer);
    writer.out = out;
    writer.wraps = !utf8;
    writer.width = sauce.width > 0 ? sauce.width : default_width;
    writer.ice_colours = !utf8 && sauce.ice_colours;
    writer.background = default_background;

    writer.console = &console;
    tremlox_console_begin(out, &console);
    if (utf8)
        write_utf8(&writer, screen, art_size);
    else
        write_cp437(&writer, screen, art_size);
    emit_text(&writer, "\x1b[0m");
    if (writer.column != 0 || writer.line_written)
        emit_text(&writer, "\r\n");
    const int console_error = tremlox_console_end(out, &console);
    if (writer.failed_errno == 0)
        writer.failed_errno = console_error;
    errno = 0;
    if (fflush(out) != 0 && writer.failed_errno == 0)
        writer.failed_errno = errno != 0 ? errno : EIO;

    if (writer.failed_errno != 0) {
        errno = writer.failed_errno;
        return -1;
    }
    return 0;
}
