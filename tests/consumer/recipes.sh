#!/bin/sh
# Builds what a make or Meson user builds against an installed tremlox, in a
# prefix that was moved after the install, under strict warnings:
#
#   pkg_config    a C program compiled with pkg-config's flags alone
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

# expect_shows SCREEN COMMAND...: the command (the recipe's game) writes the
# screen's art as it stands, UTF-8 that it is, then the reset that ends it.
expect_shows() {
    screen=$1
    shift
    "$@" >shown || fail "$* failed"
    size=$(wc -c <"$screen")
    head -c "$size" shown | cmp -s - "$screen" || fail "$* did not show $screen as it is"
    [ "$(tail -c +"$((size + 1))" shown | head -c 4)" = "$(printf '\033[0m')" ] ||
        fail "$* showed more than $screen"
}

# expect_converted LOG WORD YES|NO: whether the build in LOG converted the screen.
expect_converted() {
    if grep -q "$2" "$1"; then found=yes; else found=no; fi
    [ "$found" = "$3" ] || fail "converted $2: $found, expected $3; the build said:
$(cat "$1")"
}

# A program built with the compiler and pkg-config alone shows its screen.
check_pkg_config() {
    # shellcheck disable=SC2046 # pkg-config's flags are words to split
    ${CC:-cc} $strict -o show "$source_dir/tests/consumer/show_screen.c" \
        $(pkg-config --cflags --libs tremlox-screen) ${LDFLAGS:-}
    ./show >shown
    grep -q '░▒▓█ tremlox::screen' shown || fail "show wrote: $(cat shown)"
}

check_make() {
    cp -R "$source_dir/examples/recipes/make" recipe
    # The tool named with TREMLOX=, not found on the PATH.
    set -- -C recipe TREMLOX="$prefix/bin/tremlox" CFLAGS="$strict"
    make "$@" >log 2>&1 || fail "make failed: $(cat log)"
    expect_shows recipe/title.ans recipe/build/game
    expect_shows recipe/help.ans recipe/build/game help

    printf 'one more line \342\234\223\r\n' >>recipe/title.ans
    make "$@" >log 2>&1
    expect_converted log title.ans yes
    expect_converted log help.ans no
    expect_shows recipe/title.ans recipe/build/game

    # A screen named after a source, newer than it: main.c stays as it is.
    cp recipe/main.c main.c
    cp recipe/help.ans recipe/main.ans
    (cd recipe && find . -path ./build -prune -o -type f -print | sort) >sources
    make "$@" SCREENS="title help main" >log 2>&1 || fail "make with main.ans failed: $(cat log)"
    cmp -s recipe/main.c main.c || fail "main.ans replaced main.c"
    [ -f recipe/build/screens/main_screen.o ] || fail "main.ans was not compiled in"
    expect_shows recipe/title.ans recipe/build/game

    make "$@" clean >log 2>&1
    [ ! -e recipe/build ] || fail "make clean left the build folder"
    (cd recipe && find . -type f | sort) | cmp -s - sources || fail "make clean touched the sources"

    # Older than the source, and built from scratch.
    touch -d 2000-01-01 recipe/main.ans
    make "$@" SCREENS="title help main" >log 2>&1 || fail "make with an old main.ans failed: $(cat log)"
    cmp -s recipe/main.c main.c || fail "the old main.ans replaced main.c"
}

check_meson() {
    cp -R "$source_dir/examples/recipes/meson" recipe
    meson setup build recipe -Dtremlox="$prefix/bin/tremlox" -Dwarning_level=3 -Dwerror=true \
        -Dc_args="$strict" ${LDFLAGS:+"-Dc_link_args=$LDFLAGS"} >log 2>&1 ||
        fail "meson setup failed: $(cat log)"
    meson compile -C build >log 2>&1 || fail "meson compile failed: $(cat log)"
    expect_shows recipe/title.ans build/game
    expect_shows recipe/help.ans build/game help

    printf 'one more line \342\234\223\r\n' >>recipe/title.ans
    meson compile -C build >log 2>&1
    expect_converted log title_converted yes
    expect_converted log help_converted no
    expect_shows recipe/title.ans build/game

    # The tool named in a native file instead.
    printf "[binaries]\ntremlox = '%s'\n" "$prefix/bin/tremlox" >native.ini
    meson setup native recipe --native-file native.ini ${LDFLAGS:+"-Dc_link_args=$LDFLAGS"} \
        >log 2>&1 || fail "meson setup with a native file failed: $(cat log)"
    meson compile -C native >log 2>&1 || fail "meson compile failed: $(cat log)"
    expect_shows recipe/help.ans native/game help
}

# dependency('tremlox', method: 'cmake') finds tremlox::screen with its header.
check_meson_cmake() {
    mkdir project
    cp "$source_dir/tests/consumer/show_screen.c" project
    cat >project/meson.build <<'EOF'
project('show', 'c')
screen = dependency('tremlox', method: 'cmake', modules: ['tremlox::screen'])
executable('show', 'show_screen.c', dependencies: screen)
EOF
    meson setup build project -Dcmake_prefix_path="$prefix" -Dwarning_level=3 -Dwerror=true \
        -Dc_args="$strict" ${LDFLAGS:+"-Dc_link_args=$LDFLAGS"} >log 2>&1 ||
        fail "meson setup failed: $(cat log)"
    meson compile -C build >log 2>&1 || fail "meson compile failed: $(cat log)"
    ./build/show >shown
    grep -q '░▒▓█ tremlox::screen' shown || fail "show wrote: $(cat shown)"
}

case $case_name in
pkg_config) check_pkg_config ;;
recipe_make) check_make ;;
recipe_meson) check_meson ;;
meson_cmake) check_meson_cmake ;;
*) fail "no such case" ;;
esac
echo "$case_name: built and shown"
