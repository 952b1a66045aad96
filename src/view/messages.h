// What tremlox-view says when something fails, and the exit statuses that go
// with it: one line on standard error, in the manner of err(3) and of GNU
// programs for usage errors.
#pragma once

#include "platform.h"

#include <initializer_list>
#include <string_view>

namespace tremlox::view {

using platform::native_char;
using name_type = const native_char *;

constexpr int exit_shown = 0;
constexpr int exit_usage = 1;
constexpr int exit_failed = 2;
// What the steps return to let the run go on.
constexpr int carry_on = -1;

// How showing one file ended.
enum class outcome { shown, file_failed, output_failed };

// "tremlox-view: NAME: REASON" with the system's reason; returns exit_failed.
int report(name_type name, platform::error_code error);

// The same with a reason of the program's own, in UTF-8.
int report(name_type name, std::string_view reason);

// Ends the run after a failed write to standard output: silently when its
// reader went away, as nothing written after would reach anyone.
int stop_output(platform::error_code error, int status);

// The message, then the hint to --help; returns exit_usage.
int usage_error(std::initializer_list<platform::message_part> message);

// Prints fixed text on standard output: the usage or the version.
int print_text(const platform::message_part &text);

} // namespace tremlox::view
