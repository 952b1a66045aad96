/* Reads the SAUCE record at the end of a screen: 128 bytes, after an optional
 * comment block of 64-byte lines behind "COMNT", usually after byte 26. */
#include <tremlox/screen.h>

#include <string.h>

enum {
    record_size = 128,
    comment_id_size = 5,
    comment_line_size = 64,
    end_of_file = 26,
};

/* Where each field lies in the record. */
enum {
    id_at = 0,
    title_at = 7,
    author_at = 42,
    group_at = 62,
    date_at = 82,
    data_type_at = 94,
    file_type_at = 95,
    width_at = 96,
    height_at = 98,
    comment_count_at = 104,
    flags_at = 105,
    font_at = 106,
};

enum { title_size = 35, author_size = 20, group_size = 20, date_size = 8, font_size = 22 };
enum { ice_colours_flag = 0x01 };
/* Bits 1-2 of the flags: 01 asks for 8-dot letters, 10 for the VGA card's 9. */
enum { letter_spacing_shift = 1, letter_spacing_bits = 0x03, eight_dots = 1, nine_dots = 2 };

/* Copies a text field into `text` (field_size + 1 bytes) without its
 * trailing blanks and NULs. */
static void copy_text(char *text, const unsigned char *field, size_t field_size) {
    size_t length = field_size;
    while (length > 0 && (field[length - 1] == ' ' || field[length - 1] == '\0'))
        --length;
    memcpy(text, field, length);
    text[length] = '\0';
}

static uint16_t little_endian_16(const unsigned char *bytes) {
    return (uint16_t)(bytes[0] | bytes[1] << 8);
}

/* Fills `sauce` from the record at `record`; returns where the art before it
 * ends, the comment block excluded when it is where the count says. */
static size_t read_record(const unsigned char *screen, size_t record_at,
                          struct tremlox_sauce *sauce) {
    const unsigned char *record = screen + record_at;
    const size_t comment_lines = record[comment_count_at];
    const size_t comment_block_size = comment_id_size + comment_lines * comment_line_size;

    sauce->present = true;
    copy_text(sauce->title, record + title_at, title_size);
    copy_text(sauce->author, record + author_at, author_size);
    copy_text(sauce->group, record + group_at, group_size);
    copy_text(sauce->date, record + date_at, date_size);
    sauce->data_type = record[data_type_at];
    sauce->file_type = record[file_type_at];
    sauce->width = little_endian_16(record + width_at);
    sauce->height = little_endian_16(record + height_at);
    sauce->ice_colours = (record[flags_at] & ice_colours_flag) != 0;
    copy_text(sauce->font, record + font_at, font_size);

    /* A count that reaches before the screen, or a block without its
     * identifier, is not believed: the record itself is still certain. */
    if (comment_lines == 0 || comment_block_size > record_at ||
        memcmp(record - comment_block_size, "COMNT", comment_id_size) != 0) {
        sauce->comment_lines = 0;
        return record_at;
    }
    sauce->comment_lines = (uint8_t)comment_lines;
    return record_at - comment_block_size;
}

size_t tremlox_screen_parse(const char *screen, size_t size, struct tremlox_sauce *sauce) {
    struct tremlox_sauce unused;
    const unsigned char *bytes = (const unsigned char *)screen;
    size_t art_end = size;
    const unsigned char *end_mark;

    if (sauce == NULL)
        sauce = &unused;
    memset(sauce, 0, sizeof *sauce);
    if (screen == NULL)
        return 0;
    if (size >= record_size && memcmp(bytes + size - record_size + id_at, "SAUCE", 5) == 0)
        art_end = read_record(bytes, size - record_size, sauce);

    /* DOS stops showing a file at its first byte 26. */
    end_mark = art_end > 0 ? memchr(bytes, end_of_file, art_end) : NULL;
    return end_mark != NULL ? (size_t)(end_mark - bytes) : art_end;
}

bool tremlox_screen_comment(const char *screen, size_t size, unsigned line, char text[65]) {
    struct tremlox_sauce sauce;
    size_t line_at;
    text[0] = '\0';
    tremlox_screen_parse(screen, size, &sauce);
    if (line >= sauce.comment_lines)
        return false;
    /* The count was checked against the screen's size by the parse. */
    line_at = size - record_size - (size_t)(sauce.comment_lines - line) * comment_line_size;
    copy_text(text, (const unsigned char *)screen + line_at, comment_line_size);
    return true;
}

unsigned tremlox_screen_letter_spacing(const char *screen, size_t size) {
    const unsigned char *record;
    unsigned asked;
    if (screen == NULL || size < record_size ||
        memcmp(screen + size - record_size, "SAUCE", 5) != 0)
        return 0;
    record = (const unsigned char *)screen + size - record_size;
    asked = record[flags_at] >> letter_spacing_shift & letter_spacing_bits;
    return asked == eight_dots ? 8 : asked == nine_dots ? 9 : 0;
}
