/* Win32 subset: devio. */
#ifndef KELVRA_WIN32_DEVIO_H
#define KELVRA_WIN32_DEVIO_H

#include "types.h"

#endif
