/* Checks made from C, called from the C++ program. */
#ifndef CHECK_SCREENS_H
#define CHECK_SCREENS_H

#ifdef __cplusplus
extern "C" {
#endif

/* Returns the number of checks that failed. */
int check_screens_from_c(void);

#ifdef __cplusplus
}
#endif

#endif
