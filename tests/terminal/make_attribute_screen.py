#!/usr/bin/env python3
"""Writes UTF-8 art that names the terminal's palette and sets every
attribute a terminal of today shows, for the tests that hold what a program
shows of it against `cat` of its bytes in the same terminal.

    make_attribute_screen.py [--for-xterm] OUTPUT

Rows of 80 columns at most, each ended by a reset and CR LF: the sixteen
colours by their codes (30-37, 90-97, 40-47, 100-107) and by 38;5;n and
48;5;n, bold on each (which some terminals brighten, some not), xterm's
colours past 15, faint, italic, the underlines (4, 21, 4:3-4:5) with and
without colours of their own, strikethrough, overline, reverse, conceal,
the colon forms of ITU T.416 (of 38 and 48 also for xterm), blanks underlined (as logos are drawn with
them), and wide glyphs with attributes. The
underline colour is written in the colon form only: a terminal that does
not know 58 would read 58;5;n as blink. No blink and no 24-bit colour: a
screenshot must not depend on when it is taken, nor the mode on COLORTERM.

--for-xterm leaves out the colon forms 4:n and 58, and underline colours,
which xterm (379) does not know: it hides the text after them.
"""

import sys

ESC = "\x1b"


def sgr(*codes):
    return f"{ESC}[{';'.join(str(code) for code in codes)}m"


def row_of(parts):
    return "".join(parts) + sgr(0) + "\r\n"


def screen(colon_forms):
    rows = []
    # The sixteen, by code and by number, as text and as background.
    rows.append(row_of([sgr(30 + n) + "██" for n in range(8)] +
                       [sgr(90 + n) + "██" for n in range(8)] +
                       [sgr(0), " "] + [sgr(38, 5, n) + "██" for n in range(16)]))
    rows.append(row_of([sgr(40 + n) + "  " for n in range(8)] +
                       [sgr(100 + n) + "  " for n in range(8)] +
                       [sgr(0), " "] + [sgr(48, 5, n) + "  " for n in range(16)]))
    # Bold on each: the terminal brightens those named by code, or not.
    rows.append(row_of([sgr(0, 1, 30 + n) + "B" + sgr(0, 1, 38, 5, n) + "b" for n in range(8)] +
                       [sgr(0, 1, 90 + n) + "B" for n in range(8)] +
                       [sgr(0, 1, 32, 44) + " bold green on blue"]))
    # xterm's colours past 15, and their colon forms.
    rows.append(row_of([sgr(38, 5, n) + "▓" for n in (16, 52, 88, 124, 160, 196, 202, 208, 214,
                                                        220, 226, 46, 21, 93, 232, 244, 255)] +
                       [sgr(0), " ", f"{ESC}[38:5:208mcolon ", f"{ESC}[48:5:19;97mforms",
                        f"{ESC}[38:5:46;48:5:52m!"]))
    # Faint, italic, strikethrough, overline, and their ends.
    rows.append(row_of([sgr(2) + "faint ", sgr(3) + "italic ", sgr(22, 9) + "struck ",
                        sgr(23, 53) + "overlined", sgr(29, 55) + " plain ",
                        sgr(2, 3, 9, 53, 35) + "all four", sgr(22, 23) + " half"]))
    # Underlines of every style, then in colours of their own.
    if colon_forms:
        rows.append(row_of([sgr(4) + "single", sgr(24) + " ", sgr(21) + "double", sgr(24) + " ",
                            f"{ESC}[4:3mcurly", sgr(24) + " ", f"{ESC}[4:4mdotted",
                            sgr(24) + " ", f"{ESC}[4:5mdashed", f"{ESC}[4:0m none ",
                            f"{ESC}[4:1;33mand yellow"]))
        rows.append(row_of([f"{ESC}[4;58:5:196mred line", sgr(59) + " own line ",
                            f"{ESC}[4:3;58:5:21;32mgreen on blue waves", sgr(24) + " ",
                            f"{ESC}[21;58:2::255:128:0mbright"]))
    else:
        rows.append(row_of([sgr(4) + "single", sgr(24) + " ", sgr(21) + "double", sgr(24) + " ",
                            sgr(4, 33) + "and yellow", sgr(0, 1, 4) + " bold"]))
    # Reverse and conceal on the palette and on the terminal's own colours.
    rows.append(row_of([sgr(7) + "reverse", sgr(27) + " ", sgr(31, 47, 7) + "red on white",
                        sgr(0) + " ", sgr(8) + "hidden", sgr(28) + " ",
                        sgr(36, 41, 8) + "hidden too", sgr(28) + "!", sgr(0, 7, 8) + "both"]))
    # A logo's underlined blanks, and wide glyphs.
    red_line = f"{ESC}[58:5:9m" if colon_forms else ""
    rows.append(row_of([sgr(4, 34) + "      ", sgr(24, 44) + "  ", sgr(0, 4) + red_line + "     ",
                        sgr(0, 3, 4, 93) + "Ｗｉｄｅ", sgr(0) + " ", sgr(9, 7, 92) + "ｇｌｙｐｈｓ"]))
    return "".join(rows).encode("utf-8")


def main(arguments):
    colon_forms = len(arguments) == 2
    if len(arguments) == 3 and arguments[1] == "--for-xterm":
        arguments = arguments[1:]
    elif not colon_forms:
        sys.exit(__doc__)
    with open(arguments[1], "wb") as output:
        output.write(screen(colon_forms))


if __name__ == "__main__":
    main(sys.argv)
