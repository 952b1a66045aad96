// tremlox-view end to end, as a user runs it: help, version and usage
// errors, files and standard input, what it shows beside what the library
// writes, --info, colours, and files too large to be screens. The cases
// that need POSIX facilities are in view_posix_test.cpp.
#include "view_fixture.h"

#include <utility>

namespace {

// A CP437 screen of three rows with the record's width of 60.
const std::string cp437_art =
    "\x1b[1;33m\xb0\xb1\xb2\xdb Caf\x82\x1b[0m\r\nline two\r\n\x01\x03 three";
// Two screens to show one after the other.
const std::string first_screen = "\x1b[31mfirst\x1b[0m\r\n";
const std::string second_screen = "\x1b[44msecond \xe2\x96\x88\r\n";

// A record of the art's width and no more, with iCE colours.
record_fields wide_record(std::uint16_t width) {
    record_fields fields;
    fields.width = width;
    fields.height = 3;
    fields.ice_colours = true;
    return fields;
}

std::string classic_screen() {
    return read_file(utf8_path(CLASSIC_SCREEN));
}

using ViewUsageTest = ViewTest;

TEST_F(ViewUsageTest, HelpGoesToStandardOutput) {
    const run_result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Usage: tremlox-view [OPTION]... [FILE]...\n", 0), 0u) << help.out;
    for (const char *option :
         {"-w, --width=N", "-c, --charset=", "--wrap=", "--colours=", "--colors", "--columns=N",
          "-i, --info", "-o, --output=FILE",
          "--graphics=", "--font=", "--letter-spacing=", "--scale=", "-V, --version"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    // Every spelling, and before files, which are then not shown.
    write_file(work / "screen.ans", first_screen);
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"-h"}, {"--he"}, {"-ih"}, {"screen.ans", "--help"}, {"--help", "--bogus"}}) {
        const run_result result = run(args);
        EXPECT_EQ(result.status, 0) << args[0];
        EXPECT_EQ(result.out, help.out) << args[0];
        EXPECT_EQ(result.err, "") << args[0];
    }
}

TEST_F(ViewUsageTest, VersionIsExact) {
    for (const std::string option : {"--version", "-V", "--vers"}) {
        const run_result result = run({option});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "tremlox-view " TREMLOX_VERSION "\n");
        EXPECT_EQ(result.err, "");
    }
}

TEST_F(ViewUsageTest, BadOptionsAndValuesAreUsageErrors) {
    write_file(work / "screen.ans", first_screen);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "unrecognized option '--bogus'"},
        {{"--bogus=1"}, "unrecognized option '--bogus=1'"},
        {{"--=x"}, "unrecognized option '--=x'"},
        {{"-z"}, "invalid option -- 'z'"},
        {{"-iz"}, "invalid option -- 'z'"},
        {{"-ä"}, "invalid option -- 'ä'"},
        {{"-😀"}, "invalid option -- '😀'"},
        {{"--col=3"},
         "option '--col=3' is ambiguous; possibilities: '--colours' '--colors' '--columns'"},
        {{"--info=yes"}, "option '--info' doesn't allow an argument"},
        {{"--width"}, "option '--width' requires an argument"},
        {{"--charset"}, "option '--charset' requires an argument"},
        {{"-w"}, "option requires an argument -- 'w'"},
        {{"-ic"}, "option requires an argument -- 'c'"},
        {{"--width=0"}, "invalid argument '0' for '--width' (valid: 1 to 65535)"},
        {{"-w", "65536"}, "invalid argument '65536' for '--width' (valid: 1 to 65535)"},
        {{"-w80x"}, "invalid argument '80x' for '--width' (valid: 1 to 65535)"},
        {{"--width="}, "invalid argument '' for '--width' (valid: 1 to 65535)"},
        {{"--width=+80"}, "invalid argument '+80' for '--width' (valid: 1 to 65535)"},
        {{"--columns=0"}, "invalid argument '0' for '--columns' (valid: 1 to 4294967295)"},
        {{"--columns=4294967296"},
         "invalid argument '4294967296' for '--columns' (valid: 1 to 4294967295)"},
        {{"--columns", "-1"}, "invalid argument '-1' for '--columns' (valid: 1 to 4294967295)"},
        {{"--charset=latin1"},
         "invalid argument 'latin1' for '--charset' (valid: guess, cp437, utf8)"},
        {{"--wrap=DOS"}, "invalid argument 'DOS' for '--wrap' (valid: auto, dos, vt)"},
        {{"--colours=8"},
         "invalid argument '8' for '--colours' (valid: auto, 24bit, 256, 16, none)"},
        {{"--colors=экран"},
         "invalid argument 'экран' for '--colors' (valid: auto, 24bit, 256, 16, none)"},
        {{"--scale=0"}, "invalid argument '0' for '--scale' (valid: 1 to 8)"},
        {{"--scale=9"}, "invalid argument '9' for '--scale' (valid: 1 to 8)"},
        {{"--letter-spacing=10"}, "invalid argument '10' for '--letter-spacing' (valid: 8, 9)"},
        {{"--graphics=iterm"},
         "invalid argument 'iterm' for '--graphics' (valid: sixel, kitty, none)"},
        {{"-o"}, "option requires an argument -- 'o'"},
        {{"-o", "picture.png", "screen.ans"}, "option '--output' takes exactly one FILE"},
        {{"-o", "picture.png", "-"}, "option '--output' takes exactly one FILE"},
        {{"--output=picture.png", "-i"}, "options '--output' and '--info' exclude each other"},
        {{"-opicture.png", "--graphics=kitty"},
         "options '--output' and '--graphics' exclude each other"},
        // The first error ends the run, before a later --help.
        {{"--bogus", "--help"}, "unrecognized option '--bogus'"},
    };
    for (const auto &[options, message] : cases) {
        // The file first: options may follow files.
        std::vector<std::string> args = {"screen.ans"};
        args.insert(args.end(), options.begin(), options.end());
        const run_result result = run(args);
        EXPECT_EQ(result.status, 1) << message;
        EXPECT_EQ(result.out, "") << message;
        EXPECT_EQ(result.err, "tremlox-view: " + message + "\n" + usage_hint);
    }
}

TEST_F(ViewUsageTest, OptionsInEveryForm) {
    write_file(work / "screen.ans", cp437_art);
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.width = 40;
    options.colours = TREMLOX_COLOURS_16;
    const std::string expected = library_output(cp437_art, options);
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"--width=40", "--colours=16", "screen.ans"},
                                               {"--width", "40", "--colours", "16", "screen.ans"},
                                               {"-w40", "--colors=16", "screen.ans"},
                                               {"-w", "40", "--colo=16", "screen.ans"},
                                               {"--wid=40", "screen.ans", "--colours=16"},
                                               {"screen.ans", "-w", "040", "--colours", "16"}}) {
        const run_result result = run(args);
        EXPECT_EQ(result.status, 0) << args[0] << ": " << result.err;
        EXPECT_EQ(result.out, expected) << args[0] << " " << args[1];
    }
    // Bundled flags, the last taking its value from the rest or the next.
    const run_result info = run({"--info", "--charset=utf8", "screen.ans"});
    EXPECT_NE(info.out.find("Charset: utf8\n"), std::string::npos) << info.out;
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"-ic", "utf8", "screen.ans"},
                                               {"-icutf8", "screen.ans"},
                                               {"-i", "-cutf8", "screen.ans"}})
        EXPECT_EQ(run(args).out, info.out) << args[0];
}

TEST_F(ViewUsageTest, DoubleDashEndsTheOptions) {
    write_file(work / "-i", first_screen);
    write_file(work / "--help", second_screen);
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.colours = TREMLOX_COLOURS_NONE;
    const run_result result = run({"--colours=none", "--", "-i", "--help"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              library_output(first_screen, options) + library_output(second_screen, options));
}

using ShowTest = ViewTest;

TEST_F(ShowTest, ShowsWhatTheLibraryWrites) {
    // A screen that tries every way out of the grid: OSC strings, cursor
    // reports, private modes, cursor moves, C0 and C1 codes.
    const std::string hostile =
        "\x1b]0;title\x07\x1b[6n\x1b[?25l\x1b[2J\x1b[5;10Hmoved\x1b[A\x08\x7f\x07\x1b[1;31;44m"
        "red\xc2\x9b\x1b[38;2;1;2;3mrgb\x1b[0m\r\nend \xe2\x96\x88\xff";
    const std::vector<std::pair<std::string, std::string>> screens = {
        {"classic.ans", classic_screen()},
        {"cp437.ans", with_record(cp437_art, wide_record(60))},
        {"hostile.ans", hostile}};
    struct option_case {
        std::vector<std::string> args;
        tremlox_screen_options options;
    };
    const tremlox_screen_options defaults = TREMLOX_SCREEN_OPTIONS_INIT;
    const auto with = [&](auto change) {
        tremlox_screen_options options = defaults;
        change(options);
        return options;
    };
    const std::vector<option_case> cases = {
        {{}, defaults},
        {{"--colours=24bit"}, with([](auto &o) { o.colours = TREMLOX_COLOURS_24_BIT; })},
        {{"--colours=256"}, with([](auto &o) { o.colours = TREMLOX_COLOURS_256; })},
        {{"--colours=16"}, with([](auto &o) { o.colours = TREMLOX_COLOURS_16; })},
        {{"--colours=none"}, with([](auto &o) { o.colours = TREMLOX_COLOURS_NONE; })},
        {{"--charset=utf8", "--wrap=vt", "--colours=16"}, with([](auto &o) {
             o.charset = TREMLOX_CHARSET_UTF8;
             o.wrapping = TREMLOX_WRAPPING_VT;
             o.colours = TREMLOX_COLOURS_16;
         })},
        {{"--charset=cp437", "--wrap=dos", "-w", "13", "--colours=256"}, with([](auto &o) {
             o.charset = TREMLOX_CHARSET_CP437;
             o.wrapping = TREMLOX_WRAPPING_DOS;
             o.width = 13;
             o.colours = TREMLOX_COLOURS_256;
         })},
        {{"--columns=14", "--colours=24bit"}, with([](auto &o) {
             o.column_limit = 14;
             o.colours = TREMLOX_COLOURS_24_BIT;
         })},
    };
    for (const auto &[name, bytes] : screens) {
        write_file(work / name, bytes);
        for (const option_case &option : cases) {
            std::vector<std::string> args = option.args;
            args.push_back(name);
            const run_result result = run(args);
            const std::string what = name + " " + (args.size() > 1 ? args[0] : "");
            EXPECT_EQ(result.status, 0) << what << ": " << result.err;
            EXPECT_EQ(result.err, "") << what;
            EXPECT_FALSE(result.out.empty()) << what;
            EXPECT_EQ(result.out, library_output(bytes, option.options)) << what;
            EXPECT_EQ(stray_bytes(result.out, true), "") << what;
        }
    }
}

TEST_F(ShowTest, MissingFileAmongGoodOnes) {
    write_file(work / "first.ans", first_screen);
    write_file(work / "second.ans", second_screen);
    const run_result result = run({"first.ans", "missing.ans", "second.ans"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, library_output(first_screen) + library_output(second_screen));
    expect_failure_line(result.err, "missing.ans", "No such file or directory", "tremlox-view");
}

TEST_F(ShowTest, FolderIsAnUnreadableFile) {
    write_file(work / "first.ans", first_screen);
    fs::create_directory(work / "folder");
    const run_result result = run({"folder", "first.ans"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, library_output(first_screen));
    expect_failure_line(result.err, "folder", "Is a directory", "tremlox-view");
}

TEST_F(ShowTest, StandardInputWithoutAFileOrAsDash) {
    write_file(work / "input.ans", cp437_art);
    write_file(work / "second.ans", second_screen);
    run_options options;
    options.input = work / "input.ans";
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{}, {"-"}, {"--colours=auto", "-"}}) {
        const run_result result = run(args, options);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, library_output(cp437_art));
    }
    // Read once: a second "-" finds it at its end, as cat does.
    const run_result result = run({"second.ans", "-", "-"}, options);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, library_output(second_screen) + library_output(cp437_art));
}

TEST_F(ShowTest, NamesInAnyScript) {
    write_file(work / utf8_path("экран 😀.ans"), first_screen);
    const run_result result = run({"экран 😀.ans", "нет.ans"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, library_output(first_screen));
    expect_failure_line(result.err, "нет.ans", "No such file or directory", "tremlox-view");
}

TEST_F(ShowTest, EmptyScreenShowsNothing) {
    write_file(work / "empty.ans", "");
    const run_result result = run({"empty.ans"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
}

// Neither program lets a name act on the terminal: its control characters
// are escaped, the same way in both, wherever a name is printed.
TEST_F(ShowTest, NamesNeverReachTheTerminalAsTheyAre) {
    std::vector<std::pair<std::string, std::string>> names = {
        {"evil\x1b]0;PWNED\x07\x1b[31mx", "evil\\033]0;PWNED\\007\\033[31mx"},
        {"line\nbreak\ttab\rcr\x7f", "line\\nbreak\\ttab\\rcr\\177"},
        {"c1\xc2\x9b" "31m", "c1\\u009b31m"},
        {"bidi\xe2\x80\xaesna.exe", "bidi\\u202esna.exe"},
        {"plain экран 😀 \\ C:\\x.ans", "plain экран 😀 \\ C:\\x.ans"},
    };
    // Windows names are UTF-16: a byte that is no UTF-8 cannot be one.
    if (!test_platform::windows_names)
        names.push_back({"latin\xe9", "latin\\351"});
    const std::string tool = utf8_text(TREMLOX_PATH);
    for (const auto &[name, shown] : names) {
        const run_result viewer = run({name});
        EXPECT_EQ(viewer.status, 2);
        expect_failure_line(viewer.err, shown, "No such file or directory", "tremlox-view");
        const int status = test_platform::run_program(utf8_path(tool), {tool, name, "out.c"}, work,
                                                      streams({}));
        EXPECT_EQ(status, 2) << shown;
        expect_failure_line(collect(status, {}).err, shown, "No such file or directory");
    }
    if (test_platform::windows_names)
        return; // no file there has a control character in its name
    write_file(work / names[0].first, "art");
    const run_result info = run({"--info", names[0].first});
    EXPECT_EQ(info.out.substr(0, info.out.find('\n') + 1), "File: " + names[0].second + "\n");
    EXPECT_EQ(stray_bytes(info.out, false), "");
}

using InfoTest = ViewTest;

TEST_F(InfoTest, RecordWithTwoCommentLines) {
    record_fields fields;
    fields.title = "Caf\x82 \xb0\xb1\xb2"; // CP437
    fields.author = "J\xc3\xbcrgen";       // UTF-8
    // Its escape sequence, tab and line break act and are never written; a
    // line break joins rows with a blank, and 0x07 is a CP437 glyph.
    fields.group = "\x1b[31mRed\tGroup\r\n\x07";
    fields.date = "19961231";
    fields.width = 60;
    fields.height = 3;
    fields.ice_colours = true;
    fields.font = "IBM VGA";
    fields.comments = {"First line of the comment", "Second: \x01\x03"};
    write_file(work / "record.ans", with_record(cp437_art, fields));
    const run_result result = run({"--info", "record.ans"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "File: record.ans\n"
                          "Title: Café ░▒▓\n"
                          "Author: Jürgen\n"
                          "Group: Red     Group •\n"
                          "Date: 19961231\n"
                          "Width: 60\n"
                          "Height: 3\n"
                          "Font: IBM VGA\n"
                          "iCE colours: yes\n"
                          "Comment lines: 2\n"
                          "Comment: First line of the comment\n"
                          "Comment: Second: ☺♥\n"
                          "Charset: cp437\n"
                          "Wrapping: dos\n"
                          "Grid: 60x3\nClipped: no\n"
                          "Letter spacing: 8\n"
                          "Picture: 480x48\n");
    EXPECT_EQ(stray_bytes(result.out, false), "");
}

TEST_F(InfoTest, DecisionsFollowTheOptions) {
    write_file(work / "plain.ans", "one\r\ntwo\r\n\xe2\x96\x88");
    const run_result guessed = run({"-i", "plain.ans"});
    EXPECT_EQ(guessed.out, "File: plain.ans\nRecord: none\nCharset: utf8\nWrapping: dos\n"
                           "Grid: 80x3\nClipped: no\nLetter spacing: 8\nPicture: 640x48\n");
    const run_result chosen = run({"-i", "-w", "40", "--charset=cp437", "--wrap=vt",
                                   "--letter-spacing=9", "--scale=2", "plain.ans"});
    EXPECT_EQ(chosen.out, "File: plain.ans\nRecord: none\nCharset: cp437\nWrapping: vt\n"
                          "Grid: 40x3\nClipped: no\nLetter spacing: 9\nPicture: 720x96\n");
    EXPECT_EQ(chosen.status, 0);
}

TEST_F(InfoTest, SeveralFilesAreBlocksApart) {
    write_file(work / "a.ans", first_screen);
    record_fields fields;
    fields.title = "B";
    fields.width = 20;
    fields.height = 1;
    fields.letter_spacing = 9;
    write_file(work / "b.ans", with_record("b", fields));
    run_options options;
    options.input = work / "a.ans";
    const run_result result = run({"--info", "missing.ans", "-", "missing.ans", "b.ans"}, options);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "File: -\nRecord: none\nCharset: cp437\nWrapping: dos\nGrid: 80x1\nClipped: no\n"
                          "Letter spacing: 8\nPicture: 640x16\n"
                          "\n"
                          "File: b.ans\nTitle: B\nAuthor: \nGroup: \nDate: \nWidth: 20\n"
                          "Height: 1\nFont: \niCE colours: no\nComment lines: 0\n"
                          "Charset: cp437\nWrapping: dos\nGrid: 20x1\nClipped: no\n"
                          "Letter spacing: 9\nPicture: 180x16\n");
    if (!test_platform::windows_names) {
        EXPECT_EQ(result.err, "tremlox-view: missing.ans: No such file or directory\n"
                              "tremlox-view: missing.ans: No such file or directory\n");
    }
}

using ColoursTest = ViewTest;

TEST_F(ColoursTest, NoneWritesNoEscapeSequence) {
    write_file(work / "classic.ans", classic_screen());
    const run_result coloured = run({"--colours=16", "classic.ans"});
    EXPECT_NE(coloured.out.find('\x1b'), std::string::npos);
    for (const std::string option : {"--colours=none", "--colors=none", "--colo=none"}) {
        const run_result result = run({option, "classic.ans"});
        EXPECT_EQ(result.status, 0);
        EXPECT_FALSE(result.out.empty());
        EXPECT_EQ(result.out.find('\x1b'), std::string::npos) << option;
        EXPECT_EQ(stray_bytes(result.out, true), "");
    }
}

// Sets an environment variable for one case, and puts back what was there.
class scoped_environment {
  public:
    scoped_environment(const char *name, const char *value) : name_(name) {
        if (const char *old = std::getenv(name))
            old_ = old;
        test_platform::set_environment(name, value);
    }
    ~scoped_environment() { test_platform::set_environment(name_, old_ ? old_->c_str() : nullptr); }

  private:
    const char *name_;
    std::optional<std::string> old_;
};

// NO_COLOR (no-color.org) is honoured by tremlox::screen for AUTO colours.
TEST_F(ColoursTest, NoColorTurnsAutomaticColoursOff) {
    write_file(work / "classic.ans", classic_screen());
    const scoped_environment term("TERM", "xterm-256color");
    {
        const scoped_environment no_color("NO_COLOR", "1");
        const run_result automatic = run({"classic.ans"});
        EXPECT_EQ(automatic.status, 0);
        EXPECT_FALSE(automatic.out.empty());
        EXPECT_EQ(automatic.out.find('\x1b'), std::string::npos);
        const run_result chosen = run({"--colours=16", "classic.ans"});
        EXPECT_NE(chosen.out.find("\x1b["), std::string::npos);
    }
    const scoped_environment empty("NO_COLOR", "");
    EXPECT_NE(run({"classic.ans"}).out.find("\x1b["), std::string::npos);
}

// Art past the largest grid is shown clipped, with a word on standard error,
// and the viewer still exits 0.
TEST_F(ShowTest, ClippingIsSaid) {
    write_file(work / "wide.ans", "a\x1b[2000Cx");
    const run_result clipped = run({"--colours=none", "-w", "1100", "wide.ans"});
    EXPECT_EQ(clipped.status, 0);
    EXPECT_EQ(clipped.out, "a" + std::string(1023, ' ') + "\r\n");
    EXPECT_EQ(clipped.err, "tremlox-view: wide.ans: clipped: only the first 10000 rows and "
                           "1024 columns are shown\n");
    EXPECT_NE(run({"--info", "-w", "1100", "wide.ans"}).out.find("\nClipped: yes\n"),
              std::string::npos);
    const run_result whole = run({"--colours=none", "-w", "1024", "wide.ans"});
    EXPECT_EQ(whole.err, "");
    EXPECT_NE(run({"--info", "-w", "1024", "wide.ans"}).out.find("\nClipped: no\n"),
              std::string::npos);
}

using LargeFileTest = ViewTest;

// Real screens are under 1 MiB: past 64 MiB a file is refused, unread
// beyond that point.
TEST_F(LargeFileTest, HundredMebibytesAreRefused) {
    write_file(work / "first.ans", first_screen);
    write_file(work / "big.ans", "");
    fs::resize_file(work / "big.ans", std::uintmax_t{100} << 20);
    const run_result result = run({"first.ans", "big.ans", "first.ans"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, library_output(first_screen) + library_output(first_screen));
    EXPECT_EQ(result.err, "tremlox-view: big.ans: File too large (over 64 MiB)\n");

    run_options options;
    options.input = work / "big.ans";
    const run_result piped = run({"--info"}, options);
    EXPECT_EQ(piped.status, 2);
    EXPECT_EQ(piped.out, "");
    EXPECT_EQ(piped.err, "tremlox-view: -: File too large (over 64 MiB)\n");
}

TEST_F(LargeFileTest, SixtyFourMebibytesAreTheMost) {
    const std::uintmax_t largest = std::uintmax_t{64} << 20;
    write_file(work / "largest.ans", "");
    fs::resize_file(work / "largest.ans", largest);
    const run_result accepted = run({"--info", "largest.ans"});
    EXPECT_EQ(accepted.status, 0) << accepted.err;
    EXPECT_NE(accepted.out.find("Grid: 80x10000\nClipped: yes\n"), std::string::npos)
        << accepted.out;
    fs::resize_file(work / "largest.ans", largest + 1);
    const run_result refused = run({"--info", "largest.ans"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "tremlox-view: largest.ans: File too large (over 64 MiB)\n");
}

} // namespace
