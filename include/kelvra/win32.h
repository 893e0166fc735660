/* The Win32 subset the SDK is written against.
 * On Windows this is the system's own headers; elsewhere it declares the compact
 * platform library (kelvra_platform) that implements the same names. */
#ifndef KELVRA_WIN32_H
#define KELVRA_WIN32_H

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <setupapi.h>
#include <dbt.h>
#include <winioctl.h>
#include <mmsystem.h>
#include <vfw.h>
#else
#include "win32/types.h"
#include "win32/kernel.h"
#include "win32/registry.h"
#include "win32/user.h"
#include "win32/gdi.h"
#include "win32/devio.h"
#endif

#endif
