#!/bin/sh
# Builds what a CMake, make or Meson user builds against an installed tremlox, in a
# prefix that was moved after the install, under strict warnings:
#
#   pkg_config    a C program compiled with pkg-config's flags alone
#   recipe_cmake  the CMake recipe, examples/recipes/cmake
#   recipe_make   the make recipe, examples/recipes/make
#   recipe_meson  the Meson recipe, examples/recipes/meson
#   meson_cmake   a Meson project that finds tremlox::screen through CMake
#
#   recipes.sh CASE SOURCE_DIR PREFIX WORK_DIR
#
# CC and LDFLAGS from the environment are used throughout (a sanitized
# tremlox::screen needs the sanitizer's runtime linked in).
set -eu
case_name=$1 source_dir=$2 prefix=$3 work=$4
strict="-Wall -Wextra -pedantic -Wconversion -Werror"
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

fail() {
    echo "$case_name: $*" >&2
    exit 1
}

# Runs a command with its output in log, which is shown if it fails.
quietly() {
    "$@" >log 2>&1 || fail "$* failed: $(cat log)"
}

# The glyphs of a screen or of what a program showed, row by row: colour
# changes, the CR of each line end and the blanks that end a row removed.
glyphs() {
    sed -e 's/\x1b\[[0-9;]*m//g' -e 's/\r$//' -e 's/ *$//' "$1"
}

# expect_shows SCREEN COMMAND...: the command (the recipe's game) shows the
# screen's art, every glyph on its row.
expect_shows() {
    screen=$1
    shift
    "$@" >shown || fail "$* failed"
    glyphs "$screen" >glyphs_meant
    glyphs shown >glyphs_shown
    cmp -s glyphs_meant glyphs_shown ||
        fail "$* did not show $screen: $(diff glyphs_meant glyphs_shown)"
}

# expect_converted WORD yes|no: whether the last build converted that screen.
expect_converted() {
    if grep -q "$1" log; then found=yes; else found=no; fi
    [ "$found" = "$2" ] || fail "converted $1: $found, expected $2: $(cat log)"
}

# expect_read_only PROGRAM: its screens are read-only data (nm's R).
expect_read_only() {
    for screen in title_screen help_screen; do
        nm "$1" | grep -q " R $screen\$" || fail "$screen is not read-only data in $1: $(nm "$1" | grep " $screen\$")"
    done
}

# The program built with tremlox::screen alone shows its screen.
expect_shows_shades() {
    "$1" >shown
    grep -q '░▒▓█ tremlox::screen' shown || fail "$1 wrote: $(cat shown)"
}

check_pkg_config() {
    # shellcheck disable=SC2046 # pkg-config's flags are words to split
    quietly "${CC:-cc}" $strict -o show "$source_dir/tests/consumer/show_screen.c" \
        $(pkg-config --cflags --libs tremlox-screen) ${LDFLAGS:-}
    expect_shows_shades ./show
}

check_cmake() {
    cp -R "$source_dir/examples/recipes/cmake" recipe
    quietly cmake -S recipe -B build -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_FLAGS="$strict"
    quietly cmake --build build
    expect_shows recipe/title.ans build/game
    expect_shows recipe/help.ans build/game help
    expect_read_only build/game

    printf 'one more line \342\234\223\r\n' >>recipe/title.ans
    quietly cmake --build build
    expect_shows recipe/title.ans build/game
}

check_make() {
    cp -R "$source_dir/examples/recipes/make" recipe
    # The tool named with TREMLOX=, not found on the PATH.
    set -- -C recipe TREMLOX="$prefix/bin/tremlox" CFLAGS="$strict"
    quietly make "$@"
    expect_shows recipe/title.ans recipe/build/game
    expect_shows recipe/help.ans recipe/build/game help
    expect_read_only recipe/build/game

    printf 'one more line \342\234\223\r\n' >>recipe/title.ans
    quietly make "$@"
    expect_converted title.ans yes
    expect_converted help.ans no
    expect_shows recipe/title.ans recipe/build/game

    # A screen named after a source, newer than it: main.c stays as it is.
    cp recipe/main.c main.c
    cp recipe/help.ans recipe/main.ans
    (cd recipe && find . -path ./build -prune -o -type f -print | sort) >sources
    quietly make "$@" SCREENS="title help main"
    cmp -s recipe/main.c main.c || fail "main.ans replaced main.c"
    [ -f recipe/build/screens/main_screen.o ] || fail "main.ans was not compiled in"
    expect_shows recipe/title.ans recipe/build/game

    quietly make "$@" clean
    [ ! -e recipe/build ] || fail "make clean left the build folder"
    (cd recipe && find . -type f | sort) | cmp -s - sources || fail "make clean touched the sources"

    # Older than the source, and built from scratch.
    touch -d 2000-01-01 recipe/main.ans
    quietly make "$@" SCREENS="title help main"
    cmp -s recipe/main.c main.c || fail "the older main.ans replaced main.c"
}

# meson_setup BUILD SOURCE OPTION...: strict, and linked as LDFLAGS says.
meson_setup() {
    quietly meson setup "$@" -Dwarning_level=3 -Dwerror=true -Dc_args="$strict" \
        ${LDFLAGS:+"-Dc_link_args=$LDFLAGS"}
    quietly meson compile -C "$1"
}

check_meson() {
    cp -R "$source_dir/examples/recipes/meson" recipe
    meson_setup build recipe -Dtremlox="$prefix/bin/tremlox"
    expect_shows recipe/title.ans build/game
    expect_shows recipe/help.ans build/game help
    expect_read_only build/game

    printf 'one more line \342\234\223\r\n' >>recipe/title.ans
    quietly meson compile -C build
    expect_converted title_converted yes
    expect_converted help_converted no
    expect_shows recipe/title.ans build/game

    # The tool named in a native file instead.
    printf "[binaries]\ntremlox = '%s'\n" "$prefix/bin/tremlox" >native.ini
    meson_setup native recipe --native-file native.ini
    expect_shows recipe/help.ans native/game help
}

# dependency('tremlox', method: 'cmake') gives tremlox::screen with its header.
check_meson_cmake() {
    mkdir project
    cp "$source_dir/tests/consumer/show_screen.c" project
    cat >project/meson.build <<'EOF'
project('show', 'c')
screen = dependency('tremlox', method: 'cmake', modules: ['tremlox::screen'])
executable('show', 'show_screen.c', dependencies: screen)
EOF
    meson_setup build project -Dcmake_prefix_path="$prefix"
    expect_shows_shades build/show
}

case $case_name in
pkg_config) check_pkg_config ;;
recipe_cmake) check_cmake ;;
recipe_make) check_make ;;
recipe_meson) check_meson ;;
meson_cmake) check_meson_cmake ;;
*) fail "no such case" ;;
esac
echo "$case_name: built and shown"
