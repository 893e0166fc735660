/* Win32 subset: kernel. */
#ifndef KELVRA_WIN32_KERNEL_H
#define KELVRA_WIN32_KERNEL_H

#include "types.h"

#endif
