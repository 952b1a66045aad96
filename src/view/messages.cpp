#include "messages.h"

namespace tremlox::view {

using namespace platform;

int report(name_type name, error_code error) {
    print(console::error,
          {"tremlox-view: ", message_part::name(name), ": ", message_part::reason(error), "\n"});
    return exit_failed;
}

int report(name_type name, std::string_view reason) {
    print(console::error,
          {"tremlox-view: ", message_part::name(name), ": ", message_part::utf8(reason), "\n"});
    return exit_failed;
}

int stop_output(error_code error, int status) {
    if (reader_went_away(error))
        return status;
    print(console::error, {"tremlox-view: standard output: ", message_part::reason(error), "\n"});
    return exit_failed;
}

int usage_error(std::initializer_list<message_part> message) {
    print(console::error, message);
    print(console::error, {"Try 'tremlox-view --help' for more information.\n"});
    return exit_usage;
}

int print_text(const message_part &text) {
    const error_code error = print(console::output, {text});
    return error == 0 ? exit_shown : stop_output(error, exit_shown);
}

} // namespace tremlox::view
