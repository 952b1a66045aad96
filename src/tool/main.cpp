// tremlox: converts any file into C source declaring the array `screendata`.
//
//   tremlox infile outfile
//
// Exit status: 0 after a conversion, 1 after the usage texts, 2 when a file
// cannot be read or written (one line on standard error says why).

#include "array_writer.h"
#include "platform.h"

namespace {

using namespace tremlox;
using namespace tremlox::platform;

using name_type = const native_char *;

constexpr int exit_converted = 0;
constexpr int exit_usage = 1;
constexpr int exit_failed = 2;

// The banner's "version 1.0" is part of the converter's fixed usage text,
// which scripts may compare: it is not the package's version.
void print_usage(const message_part &program) {
    print(console::output, {"\n", program, " - ANSI screen to C data converter, version 1.0\n"});
    print(console::output, {"Purpose : Convert an ANSI file to c data statements.\n"});
    print(console::output, {"Usage : ", program, " infile outfile\n\n"});
}

int report(name_type name, error_code error) {
    print(console::error,
          {"tremlox: ", message_part::name(name), ": ", message_part::reason(error), "\n"});
    return exit_failed;
}

int refuse_same_file(name_type input_name, name_type output_name) {
    print(console::error, {"tremlox: ", message_part::name(input_name), " and ",
                           message_part::name(output_name), " are the same file\n"});
    return exit_failed;
}

int convert(name_type input_name, name_type output_name) {
    file input;
    error_code error = 0;
    if (!open_input(input_name, input, error))
        return report(input_name, error);
    // A folder opens but cannot be read: say so before any output exists.
    if (input.type() == file_type::folder)
        return report(input_name, folder_error());
    // Only a regular file is emptied by being written, so only a regular
    // input needs guarding against being its own output.
    const bool input_is_regular = input.type() == file_type::regular;
    if (input_is_regular && names_file(output_name, input))
        return refuse_same_file(input_name, output_name);

    // Opened without emptying it, so that a file that has turned into the
    // input since the check above is still left as it was.
    file output;
    if (!open_output(output_name, output, error))
        return report(output_name, error);
    if (input_is_regular && same_file(input, output))
        return refuse_same_file(input_name, output_name);
    // Only a regular file is emptied first, and removed when the text in it
    // is incomplete; pipes and devices are left alone.
    const bool output_is_regular = output.type() == file_type::regular;
    if (output_is_regular) {
        guard_output(output_name);
        if (!output.truncate(error)) {
            unguard_output();
            return report(output_name, error);
        }
    }

    const write_status status = write_array(input, output);
    const error_code close_error = output.close();
    const bool converted = status == write_status::done && close_error == 0;
    if (!converted && output_is_regular)
        remove_file(output_name);
    if (output_is_regular)
        unguard_output();
    switch (status) {
    case write_status::read_failed:
        return report(input_name, input.last_error());
    case write_status::write_failed:
        return report(output_name, output.last_error());
    case write_status::done:
        break;
    }
    return close_error == 0 ? exit_converted : report(output_name, close_error);
}

int run(int argc, native_char **argv) {
    if (argc != 3) {
        // A process may be started with no argument 0, or an empty one.
        const bool named = argc >= 1 && argv[0] != nullptr && argv[0][0] != 0;
        print_usage(named ? message_part::name(argv[0]) : message_part("tremlox"));
        return exit_usage;
    }
    return convert(argv[1], argv[2]);
}

} // namespace

// Windows passes the arguments as UTF-16 to wmain; names stay in that form
// until they are printed.
#if defined(_WIN32)
int wmain(int argc, wchar_t **argv) {
    return run(argc, argv);
}
#else
int main(int argc, char **argv) {
    return run(argc, argv);
}
#endif
