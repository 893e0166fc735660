/* Win32 subset: user. */
#ifndef KELVRA_WIN32_USER_H
#define KELVRA_WIN32_USER_H

#include "types.h"

#endif
