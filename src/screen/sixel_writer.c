/* Being written. */
#include "font.h"
