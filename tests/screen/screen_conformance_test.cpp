// Draws every case of the conformance table (screen_conformance.txt, whose
// head describes its form) and compares the grid, cell by cell, with the
// glyph rows and the colour layer written out there by hand. Each case is a
// test of its own, named after its title. The table is read whenever the
// tests are listed or run, so an edited table needs no rebuild; a table that
// cannot be read, or whose titles give no usable names, fails
// ConformanceTable.HoldsItsCases.
#include "glyph_kinds.h"
#include "screen_support.h"

#include <tremlox/screen.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using screen_support::next_glyph;
using screen_support::record_fields;
using screen_support::utf8;

struct colour_spec {
    tremlox_colour foreground = TREMLOX_VGA_LIGHT_GREY;
    tremlox_colour background = TREMLOX_VGA_BLACK;
    std::set<std::string> flags; // blink, bold, the attributes and the underline's style
    tremlox_colour underline_colour = TREMLOX_UNDERLINE_FOREGROUND;
    bool operator==(const colour_spec &) const = default;
};

// The legend's names of the attribute flags, and of the underlines.
const std::pair<const char *, unsigned> attribute_names[] = {
    {"faint", TREMLOX_ATTRIBUTE_FAINT},       {"italic", TREMLOX_ATTRIBUTE_ITALIC},
    {"strike", TREMLOX_ATTRIBUTE_STRIKETHROUGH}, {"overline", TREMLOX_ATTRIBUTE_OVERLINE},
    {"reverse", TREMLOX_ATTRIBUTE_REVERSE},   {"conceal", TREMLOX_ATTRIBUTE_CONCEAL},
    {"semicolons", TREMLOX_ATTRIBUTE_UNDERLINE_COLOUR_BY_SEMICOLONS}};
const std::vector<std::string> underline_names = {"", "underline", "double", "curly", "dotted",
                                                  "dashed"};

colour_spec spec_of(const tremlox_cell &cell, const tremlox_attributes &attributes) {
    colour_spec spec{cell.foreground, cell.background, {}, attributes.underline_colour};
    if (cell.blink)
        spec.flags.insert("blink");
    if (cell.bold)
        spec.flags.insert("bold");
    for (const auto &[name, flag] : attribute_names)
        if ((attributes.flags & flag) != 0)
            spec.flags.insert(name);
    if (attributes.underline != TREMLOX_UNDERLINE_NONE)
        spec.flags.insert(attributes.underline < underline_names.size()
                              ? underline_names[attributes.underline]
                              : "underline " + std::to_string(attributes.underline));
    return spec;
}

struct conformance_case {
    std::string title;
    int line = 0;
    std::string test_name;
    std::string problem; // "line N: ..." when a line of the case cannot be read
    std::string bytes;
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    std::vector<std::string> glyph_rows;  // UTF-8, as a terminal shows the cells
    std::vector<std::string> colour_rows; // one legend letter a cell
    std::map<char, colour_spec> legend;   // "." is the default colours unless given
};

std::string read_file(const char *path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path, "rb"), std::fclose);
    if (!file)
        throw std::runtime_error(std::string("cannot open ") + path);
    std::string text;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        text.append(buffer, count);
    return text;
}

std::string unescape(const std::string &text) {
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\\' || at + 1 >= text.size()) {
            bytes += text[at];
            continue;
        }
        const char kind = text[++at];
        if (kind == 'e')
            bytes += '\x1b';
        else if (kind == 'r')
            bytes += '\r';
        else if (kind == 'n')
            bytes += '\n';
        else if (kind == 't')
            bytes += '\t';
        else if (kind == '\\')
            bytes += '\\';
        else if (kind == 'x' && at + 2 < text.size()) {
            bytes += static_cast<char>(std::stoi(text.substr(at + 1, 2), nullptr, 16));
            at += 2;
        } else
            throw std::runtime_error("unknown escape \\" + std::string(1, kind));
    }
    return bytes;
}

std::vector<std::string> words(const std::string &text) {
    std::istringstream stream(text);
    std::vector<std::string> result;
    for (std::string word; stream >> word;)
        result.push_back(word);
    return result;
}

const char *const vga_names[16] = {"black",     "blue",          "green",       "cyan",
                                   "red",       "magenta",       "brown",       "grey",
                                   "dark-grey", "light-blue",    "light-green", "light-cyan",
                                   "light-red", "light-magenta", "yellow",      "white"};

tremlox_colour colour_named(const std::string &name) {
    if (name == "term-fg")
        return TREMLOX_TERMINAL_FOREGROUND;
    if (name == "term-bg")
        return TREMLOX_TERMINAL_BACKGROUND;
    if (name.rfind("ansi", 0) == 0 && name.size() > 4)
        return TREMLOX_PALETTE_COLOUR(std::stoul(name.substr(4))) | TREMLOX_PALETTE_BY_CODE;
    if (name.rfind("idx", 0) == 0 && name.size() > 3)
        return TREMLOX_PALETTE_COLOUR(std::stoul(name.substr(3)));
    if (name.size() == 7 && name[0] == '#') {
        const unsigned long rgb = std::stoul(name.substr(1), nullptr, 16);
        return TREMLOX_RGB(rgb >> 16, rgb >> 8 & 255, rgb & 255);
    }
    for (unsigned colour = 0; colour < 16; ++colour)
        if (name == vga_names[colour])
            return colour;
    throw std::runtime_error("unknown colour " + name);
}

std::string name_of(tremlox_colour colour) {
    if (colour == TREMLOX_TERMINAL_FOREGROUND)
        return "term-fg";
    if (colour == TREMLOX_TERMINAL_BACKGROUND)
        return "term-bg";
    if (TREMLOX_COLOUR_IS_PALETTE(colour))
        return ((colour & TREMLOX_PALETTE_BY_CODE) != 0 ? "ansi" : "idx") +
               std::to_string(TREMLOX_PALETTE_INDEX(colour));
    if (!TREMLOX_COLOUR_IS_RGB(colour))
        return colour < 16 ? vga_names[colour] : "?";
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(colour & 0xffffffu));
    return text;
}

std::string name_of(const colour_spec &spec) {
    std::string name = name_of(spec.foreground) + "/" + name_of(spec.background);
    for (const std::string &flag : spec.flags)
        name += "+" + flag;
    if (spec.underline_colour != TREMLOX_UNDERLINE_FOREGROUND)
        name += "+ul:" + name_of(spec.underline_colour);
    return name;
}

bool is_flag_name(const std::string &flag) {
    return flag == "blink" || flag == "bold" ||
           std::any_of(std::begin(attribute_names), std::end(attribute_names),
                       [&](const auto &known) { return flag == known.first; }) ||
           std::find(underline_names.begin() + 1, underline_names.end(), flag) !=
               underline_names.end();
}

// "r=red/black", "b=#AA5500/blue+blink" or "u=idx196/term-bg+curly+ul:#FF0000".
void read_legend(const std::string &text, conformance_case &case_) {
    for (const std::string &entry : words(text)) {
        const std::size_t slash = entry.find('/');
        if (entry.size() < 5 || entry[1] != '=' || slash == std::string::npos)
            throw std::runtime_error("a legend entry is not L=FOREGROUND/BACKGROUND: " + entry);
        std::istringstream background(entry.substr(slash + 1));
        std::string part;
        colour_spec spec;
        spec.foreground = colour_named(entry.substr(2, slash - 2));
        std::getline(background, part, '+');
        spec.background = colour_named(part);
        while (std::getline(background, part, '+')) {
            if (part.rfind("ul:", 0) == 0)
                spec.underline_colour = colour_named(part.substr(3));
            else if (is_flag_name(part))
                spec.flags.insert(part);
            else
                throw std::runtime_error("unknown flag +" + part);
        }
        case_.legend[entry[0]] = spec;
    }
}

void read_options(const std::string &text, conformance_case &case_) {
    for (const std::string &option : words(text)) {
        if (option.rfind("width=", 0) == 0)
            case_.options.width = static_cast<unsigned>(std::stoul(option.substr(6)));
        else if (option == "wrapping=dos")
            case_.options.wrapping = TREMLOX_WRAPPING_DOS;
        else if (option == "wrapping=vt")
            case_.options.wrapping = TREMLOX_WRAPPING_VT;
        else if (option == "wrapping=auto")
            case_.options.wrapping = TREMLOX_WRAPPING_AUTO;
        else if (option == "charset=cp437")
            case_.options.charset = TREMLOX_CHARSET_CP437;
        else if (option == "charset=utf8")
            case_.options.charset = TREMLOX_CHARSET_UTF8;
        else if (option == "charset=guess")
            case_.options.charset = TREMLOX_CHARSET_GUESS;
        else if (option == "defaults=auto")
            case_.options.default_colours = TREMLOX_DEFAULT_COLOURS_AUTO;
        else if (option == "defaults=vga")
            case_.options.default_colours = TREMLOX_DEFAULT_COLOURS_VGA;
        else if (option == "defaults=terminal")
            case_.options.default_colours = TREMLOX_DEFAULT_COLOURS_TERMINAL;
        else
            throw std::runtime_error("unknown option " + option);
    }
}

// Byte 26 and a SAUCE record with the width and the iCE colours flag given.
std::string record(const std::string &text) {
    record_fields fields;
    fields.title = fields.author = fields.group = fields.font = "";
    fields.date = "20261209";
    fields.width = 0;
    for (const std::string &field : words(text)) {
        if (field.rfind("width=", 0) == 0)
            fields.width = static_cast<std::uint16_t>(std::stoul(field.substr(6)));
        else if (field == "ice")
            fields.flags = 1;
        else
            throw std::runtime_error("unknown record field " + field);
    }
    return "\x1a" + screen_support::record(fields);
}

// Reads one line of a case, other than its title; `rows` is where the
// glyph or colour rows that follow go.
void read_line(const std::string &line, conformance_case &case_, std::vector<std::string> *&rows,
               std::string &record_bytes) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first != std::string::npos && line[first] == '|') {
        if (rows == nullptr || line.size() < first + 2 || line.back() != '|')
            throw std::runtime_error("a stray row");
        rows->push_back(line.substr(first + 1, line.size() - first - 2));
    } else if (line.rfind("bytes:", 0) == 0) {
        case_.bytes += unescape(line.size() > 7 ? line.substr(7) : "");
    } else if (line.rfind("options:", 0) == 0) {
        read_options(line.substr(8), case_);
    } else if (line.rfind("record:", 0) == 0) {
        record_bytes = record(line.substr(7));
    } else if (line == "glyphs:") {
        rows = &case_.glyph_rows;
    } else if (line.rfind("colours:", 0) == 0) {
        read_legend(line.substr(8), case_);
        rows = &case_.colour_rows;
    } else {
        throw std::runtime_error("not understood: " + line);
    }
}

struct conformance_table {
    std::vector<conformance_case> cases;
    std::vector<std::string> problems; // of the table as a whole
};

// A line that cannot be read is its case's problem, and fails that case
// alone; only text before the first case is the table's.
conformance_table read_cases(const std::string &text) {
    conformance_table table;
    std::vector<conformance_case> &cases = table.cases;
    std::istringstream stream(text);
    std::string line;
    std::string record_bytes;
    std::vector<std::string> *rows = nullptr;
    int number = 0;
    auto finish = [&] {
        if (!cases.empty())
            cases.back().bytes += record_bytes;
        record_bytes.clear();
    };
    while (std::getline(stream, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') // a checkout with CR LF line ends
            line.pop_back();
        if (line.rfind("== ", 0) == 0) {
            finish();
            cases.emplace_back();
            cases.back().title = line.substr(3);
            cases.back().line = number;
            rows = nullptr;
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        if (cases.empty()) {
            table.problems.push_back("line " + std::to_string(number) + " is before a case");
            continue;
        }
        try {
            read_line(line, cases.back(), rows, record_bytes);
        } catch (const std::exception &error) {
            if (cases.back().problem.empty())
                cases.back().problem = "line " + std::to_string(number) + ": " + error.what();
        }
    }
    finish();
    return table;
}

// A title as a test name: its letters and digits, apostrophes dropped, and
// one underscore for every run of anything else.
std::string test_name_of(const std::string &title) {
    std::string name;
    bool gap = false;
    for (const char c : title) {
        if (c == '\'')
            continue;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            if (gap && !name.empty())
                name += '_';
            name += c;
            gap = false;
        } else {
            gap = true;
        }
    }
    return name;
}

// Names every case after its title. A title that gives no name, or the name
// of an earlier case, is the table's problem; its case still runs, under a
// name with its line number, so that no case goes untested.
void name_cases(conformance_table &table) {
    std::map<std::string, int> lines_by_name;
    for (conformance_case &case_ : table.cases) {
        const std::string at = "line " + std::to_string(case_.line);
        case_.test_name = test_name_of(case_.title);
        if (case_.test_name.empty()) {
            table.problems.push_back(at + ": the title gives no test name");
        } else if (const auto [named, added] = lines_by_name.emplace(case_.test_name, case_.line);
                   !added) {
            table.problems.push_back(at + ": the title gives " + case_.test_name +
                                     ", the test name of line " + std::to_string(named->second));
        } else {
            continue;
        }
        case_.test_name +=
            (case_.test_name.empty() ? "line_" : "_line_") + std::to_string(case_.line);
        lines_by_name.emplace(case_.test_name, case_.line);
    }
}

// The table, read once a run: when gtest lists the tests and when one runs.
const conformance_table &the_table() {
    static const conformance_table table = [] {
        conformance_table read;
        try {
            read = read_cases(read_file(CONFORMANCE_TABLE));
        } catch (const std::exception &error) {
            read.problems.push_back(error.what());
        }
        name_cases(read);
        return read;
    }();
    return table;
}

// A cell as the table gives it: a glyph and the code points joined to it,
// and the columns it takes (0 for the right half of a wide glyph).
struct table_cell {
    std::uint32_t glyph = ' ';
    std::vector<std::uint32_t> marks;
    unsigned width = 1;
};

// Splits a row of the table into its cells as a terminal shows them: a wide
// glyph stands for two, and combining code points go with the glyph before
// them. A byte that is not UTF-8 is U+FFFF, which no cell holds.
std::vector<table_cell> cells_of(const std::string &row) {
    std::vector<table_cell> cells;
    for (std::size_t at = 0; at < row.size();) {
        std::uint32_t code_point = 0xffff;
        at += std::max<std::size_t>(next_glyph(row, at, code_point), 1);
        const glyph_kind kind = tremlox__glyph_kind(code_point);
        if (kind == glyph_joining && !cells.empty()) {
            (cells.back().width == 0 ? cells[cells.size() - 2] : cells.back())
                .marks.push_back(code_point);
            continue;
        }
        cells.push_back({code_point, {}, kind == glyph_wide ? 2u : 1u});
        if (kind == glyph_wide)
            cells.push_back({' ', {}, 0});
    }
    return cells;
}

table_cell cell_of(const tremlox_grid *grid, unsigned row, unsigned column) {
    const tremlox_cell &cell = tremlox_grid_row(grid, row)[column];
    const std::uint32_t *marks = tremlox_grid_marks(grid, row, column);
    table_cell drawn{cell.glyph, {}, cell.width};
    if (marks != nullptr)
        drawn.marks.assign(marks, marks + cell.marks);
    return drawn;
}

// How the table writes a cell's glyph: the right half of a wide glyph is
// written with its left.
std::string text_of(const table_cell &cell) {
    if (cell.width == 0)
        return "";
    std::string text = utf8(cell.glyph);
    for (const std::uint32_t mark : cell.marks)
        text += utf8(mark);
    return text;
}

// What "." stands for: the colours the art leaves to the screen.
colour_spec default_colours(const tremlox_grid *grid, const conformance_case &case_) {
    const tremlox_default_colours chosen = case_.options.default_colours;
    const bool terminal = chosen == TREMLOX_DEFAULT_COLOURS_TERMINAL ||
                          (chosen == TREMLOX_DEFAULT_COLOURS_AUTO &&
                           tremlox_grid_charset(grid) == TREMLOX_CHARSET_UTF8);
    colour_spec spec;
    if (terminal) {
        spec.foreground = TREMLOX_TERMINAL_FOREGROUND;
        spec.background = TREMLOX_TERMINAL_BACKGROUND;
    }
    return spec;
}

std::map<char, colour_spec> legend_of(const tremlox_grid *grid, const conformance_case &case_) {
    std::map<char, colour_spec> legend = case_.legend;
    legend.emplace('.', default_colours(grid, case_));
    return legend;
}

// The grid as the table writes it, for the failure message.
std::string picture_of(const tremlox_grid *grid, const conformance_case &case_) {
    const std::map<char, colour_spec> legend = legend_of(grid, case_);
    std::string text = "glyphs:\n";
    std::string colours = "colours:\n";
    std::map<std::string, colour_spec> unnamed;
    for (unsigned row = 0; row < tremlox_grid_height(grid); ++row) {
        const tremlox_cell *cells = tremlox_grid_row(grid, row);
        text += "  |";
        colours += "  |";
        for (unsigned column = 0; column < tremlox_grid_width(grid); ++column) {
            text += text_of(cell_of(grid, row, column));
            const colour_spec spec =
                spec_of(cells[column], *tremlox_grid_attributes(grid, row, column));
            char letter = '?';
            for (const auto &[name, known] : legend)
                if (known == spec && letter == '?')
                    letter = name;
            if (letter == '?')
                unnamed[name_of(spec)] = spec;
            colours += letter;
        }
        text += "|\n";
        colours += "|\n";
    }
    for (const auto &[name, spec] : unnamed)
        colours += "  ? includes " + name + "\n";
    return text + colours;
}

// Returns "" when the grid is the case's, else what differs.
std::string compare(const tremlox_grid *grid, const conformance_case &case_) {
    std::ostringstream problems;
    const std::map<char, colour_spec> legend = legend_of(grid, case_);
    const unsigned height = tremlox_grid_height(grid);
    const unsigned width = tremlox_grid_width(grid);
    if (height != case_.glyph_rows.size())
        problems << "height " << height << ", meant " << case_.glyph_rows.size() << "\n";
    if (!case_.colour_rows.empty() && case_.colour_rows.size() != case_.glyph_rows.size())
        problems << "the colour layer has " << case_.colour_rows.size() << " rows\n";
    for (unsigned row = 0; row < height && row < case_.glyph_rows.size(); ++row) {
        const tremlox_cell *cells = tremlox_grid_row(grid, row);
        const std::vector<table_cell> meant_cells = cells_of(case_.glyph_rows[row]);
        const std::string colours =
            row < case_.colour_rows.size() ? case_.colour_rows[row] : std::string(width, '.');
        if (meant_cells.size() != width || colours.size() != width) {
            problems << "row " << row << ": width " << width << ", the table gives "
                     << meant_cells.size() << " cells and " << colours.size() << " colours\n";
            continue;
        }
        for (unsigned column = 0; column < width; ++column) {
            const table_cell drawn = cell_of(grid, row, column);
            const table_cell &meant_cell = meant_cells[column];
            if (drawn.glyph != meant_cell.glyph || drawn.marks != meant_cell.marks ||
                drawn.width != meant_cell.width)
                problems << "row " << row << " column " << column << ": glyph " << text_of(drawn)
                         << " of width " << drawn.width << ", meant " << text_of(meant_cell)
                         << " of width " << meant_cell.width << "\n";
            const auto meant = legend.find(colours[column]);
            if (meant == legend.end()) {
                problems << "row " << row << ": no legend for " << colours[column] << "\n";
                continue;
            }
            const colour_spec shown =
                spec_of(cells[column], *tremlox_grid_attributes(grid, row, column));
            if (!(shown == meant->second))
                problems << "row " << row << " column " << column << ": colours " << name_of(shown)
                         << ", meant " << name_of(meant->second) << "\n";
        }
    }
    return problems.str();
}

// How gtest shows a case where it names its parameter.
void PrintTo(const conformance_case &case_, std::ostream *out) {
    *out << "the case of line " << case_.line;
}

TEST(ConformanceTable, HoldsItsCases) {
    const conformance_table &table = the_table();
    for (const std::string &problem : table.problems)
        ADD_FAILURE() << CONFORMANCE_TABLE << ": " << problem;
    EXPECT_GE(table.cases.size(), 80u) << "the table has too few cases";
}

class ConformanceCase : public testing::TestWithParam<conformance_case> {};

TEST_P(ConformanceCase, DrawsItsGrid) {
    const conformance_case &case_ = GetParam();
    const testing::ScopedTrace trace(CONFORMANCE_TABLE, case_.line, case_.title);
    ASSERT_EQ(case_.problem, "");
    const std::unique_ptr<char[]> exact(new char[case_.bytes.size() + 1]);
    std::copy(case_.bytes.begin(), case_.bytes.end(), exact.get());
    const std::unique_ptr<tremlox_grid, void (*)(tremlox_grid *)> grid(
        tremlox_screen_draw(exact.get(), case_.bytes.size(), &case_.options), tremlox_grid_free);
    ASSERT_NE(grid, nullptr);
    EXPECT_FALSE(tremlox_grid_clipped(grid.get()));
    const std::string problems = compare(grid.get(), case_);
    EXPECT_EQ(problems, "") << picture_of(grid.get(), case_);
}

INSTANTIATE_TEST_SUITE_P(Table, ConformanceCase, testing::ValuesIn(the_table().cases),
                         [](const testing::TestParamInfo<conformance_case> &info) {
                             return info.param.test_name;
                         });

// A table that cannot be read has no cases: HoldsItsCases fails and says why.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ConformanceCase);

} // namespace
