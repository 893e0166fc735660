/* Win32 subset: gdi. */
#ifndef KELVRA_WIN32_GDI_H
#define KELVRA_WIN32_GDI_H

#include "types.h"

#endif
