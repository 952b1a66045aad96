/* What a terminal can show. TERM is often less than the truth: stock xterm
 * says "xterm" and has had 256 colours since 1999, and the terminals that
 * take 24-bit colours say so in COLORTERM only where they start the shell
 * themselves, not over ssh or sudo. */
#include "terminal_colours.h"

#include <string.h>

/* Terminals that take 24-bit colours whatever COLORTERM says, by the TERM
 * they set: the name alone, or followed by "-" and a variant
 * ("alacritty-direct", "foot-extra", "st-256color"). */
static const char *const direct_colour_terminals[] = {
    "xterm-kitty", "alacritty", "foot",   "wezterm", "contour", "xterm-ghostty", "ghostty",
    "konsole",     "mintty",    "mlterm", "st",      "stterm",
};

/* VTE, the terminal of GNOME and many others, has taken them since 0.36. */
enum { first_direct_colour_vte = 3600 };

static bool is(const char *value, const char *wanted) {
    return value != NULL && strcmp(value, wanted) == 0;
}

/* "-direct" ends the name of every terminfo entry with 24-bit colours
 * (xterm-direct, tmux-direct), or comes before a variant's number
 * (xterm-direct256). */
static bool names_direct_colour_terminal(const char *term) {
    size_t at;
    if (strstr(term, "-direct") != NULL)
        return true;
    for (at = 0; at < sizeof direct_colour_terminals / sizeof *direct_colour_terminals; ++at) {
        const char *name = direct_colour_terminals[at];
        const size_t length = strlen(name);
        if (strncmp(term, name, length) == 0 && (term[length] == '\0' || term[length] == '-'))
            return true;
    }
    return false;
}

/* A version number of digits alone, or 0. */
static unsigned long version_of(const char *text) {
    unsigned long version = 0;
    if (text == NULL || *text == '\0')
        return 0;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9' || version > 99999999ul)
            return 0;
        version = version * 10 + (unsigned long)(*text - '0');
    }
    return version;
}

/* The mode TREMLOX_COLOURS names, or AUTO where it names none. */
static enum tremlox_colours chosen_by_user(const char *chosen) {
    if (is(chosen, "24bit"))
        return TREMLOX_COLOURS_24_BIT;
    if (is(chosen, "256"))
        return TREMLOX_COLOURS_256;
    if (is(chosen, "16"))
        return TREMLOX_COLOURS_16;
    if (is(chosen, "none"))
        return TREMLOX_COLOURS_NONE;
    return TREMLOX_COLOURS_AUTO;
}

enum tremlox_colours tremlox__colours_of_terminal(const char *(*environment)(const char *name),
                                                  bool console_takes_escapes) {
    const char *no_colour_wanted = environment("NO_COLOR");
    const enum tremlox_colours chosen = chosen_by_user(environment("TREMLOX_COLOURS"));
    const char *term = environment("TERM");
    const char *colour_term = environment("COLORTERM");
    if (no_colour_wanted != NULL && no_colour_wanted[0] != '\0')
        return TREMLOX_COLOURS_NONE;
    if (chosen != TREMLOX_COLOURS_AUTO)
        return chosen;
    if (is(term, "dumb"))
        return TREMLOX_COLOURS_NONE;
    if (is(colour_term, "truecolor") || is(colour_term, "24bit") ||
        (term != NULL && names_direct_colour_terminal(term)) ||
        version_of(environment("VTE_VERSION")) >= first_direct_colour_vte ||
        environment("WT_SESSION") != NULL || console_takes_escapes)
        return TREMLOX_COLOURS_24_BIT;
    if (term != NULL && (strstr(term, "256") != NULL || is(term, "xterm")))
        return TREMLOX_COLOURS_256;
    return TREMLOX_COLOURS_16;
}
