/* Win32 subset: registry. */
#ifndef KELVRA_WIN32_REGISTRY_H
#define KELVRA_WIN32_REGISTRY_H

#include "types.h"

#endif
