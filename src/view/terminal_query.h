// What tremlox-view asks of the terminal it shows pictures on. One
// implementation per system (terminal_query_posix.cpp,
// terminal_query_windows.cpp); the build picks one.
#pragma once

namespace tremlox::view {

// The height of the terminal's character cells in pixels: from the size of
// its window in pixels where it gives one, else as it answers CSI 16 t, or
// 0 when it does not answer within a fraction of a second. Only asked where
// both the standard input and output are the terminal: a pipe is never
// waited on. Standard output must have been flushed.
unsigned terminal_cell_height();

} // namespace tremlox::view
