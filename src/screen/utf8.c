/* UTF-8, strictly: what a terminal would take as one glyph. */
#include "utf8.h"

size_t tremlox__utf8_decode(const unsigned char *text, size_t size, uint32_t *code_point) {
    size_t length;
    uint32_t value;
    size_t i;
    if (text[0] < 0x80) {
        *code_point = text[0];
        return 1;
    }
    if (text[0] >= 0xc2 && text[0] <= 0xdf) {
        length = 2;
        value = text[0] & 0x1fu;
    } else if (text[0] >= 0xe0 && text[0] <= 0xef) {
        length = 3;
        value = text[0] & 0x0fu;
    } else if (text[0] >= 0xf0 && text[0] <= 0xf4) {
        length = 4;
        value = text[0] & 0x07u;
    } else {
        return 0;
    }
    if (length > size)
        return 0;
    for (i = 1; i < length; ++i) {
        if ((text[i] & 0xc0u) != 0x80u)
            return 0;
        value = value << 6 | (text[i] & 0x3fu);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) ||
        (value >= 0xd800 && value <= 0xdfff) || value > 0x10ffff)
        return 0;
    *code_point = value;
    return length;
}

bool tremlox__utf8_looks_like_utf8(const char *text, size_t size) {
    const unsigned char *bytes = (const unsigned char *)text;
    bool multi_byte = false;
    size_t at = 0;
    while (at < size) {
        uint32_t code_point;
        const size_t length = tremlox__utf8_decode(bytes + at, size - at, &code_point);
        if (length == 0)
            return false;
        multi_byte = multi_byte || length > 1;
        at += length;
    }
    return multi_byte;
}

size_t tremlox__utf8_encode(uint32_t code_point, char *out) {
    if (code_point < 0x80) {
        out[0] = (char)code_point;
        return 1;
    }
    if (code_point < 0x800) {
        out[0] = (char)(0xc0 | code_point >> 6);
        out[1] = (char)(0x80 | (code_point & 0x3f));
        return 2;
    }
    if (code_point < 0x10000) {
        out[0] = (char)(0xe0 | code_point >> 12);
        out[1] = (char)(0x80 | (code_point >> 6 & 0x3f));
        out[2] = (char)(0x80 | (code_point & 0x3f));
        return 3;
    }
    out[0] = (char)(0xf0 | code_point >> 18);
    out[1] = (char)(0x80 | (code_point >> 12 & 0x3f));
    out[2] = (char)(0x80 | (code_point >> 6 & 0x3f));
    out[3] = (char)(0x80 | (code_point & 0x3f));
    return 4;
}

size_t tremlox__utf8_whole_characters(const char *text, size_t length) {
    size_t lead = length;
    unsigned char first;
    size_t needed;
    while (lead > 0 && length - lead < 3 && ((unsigned char)text[lead - 1] & 0xc0) == 0x80)
        --lead;
    if (lead == 0)
        return length;
    first = (unsigned char)text[lead - 1];
    needed = first >= 0xf0 ? 4 : first >= 0xe0 ? 3 : first >= 0xc0 ? 2 : 1;
    return length - (lead - 1) < needed ? lead - 1 : length;
}
