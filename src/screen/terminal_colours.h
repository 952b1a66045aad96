/* What a terminal can show, from what the user and the terminal say. */
#ifndef TREMLOX_SCREEN_TERMINAL_COLOURS_H
#define TREMLOX_SCREEN_TERMINAL_COLOURS_H

#include <tremlox/screen.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The colours TREMLOX_COLOURS_AUTO stands for (the header gives the rule),
 * from the environment variables `environment` looks up (getenv, or a
 * test's table) and whether the output is a Windows console that was given
 * virtual terminal processing. Never TREMLOX_COLOURS_AUTO. */
enum tremlox_colours tremlox__colours_of_terminal(const char *(*environment)(const char *name),
                                                  bool console_takes_escapes);

#ifdef __cplusplus
}
#endif

#endif
