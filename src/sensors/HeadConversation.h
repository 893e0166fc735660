// Each session of the process opens a camera with a driver of its own, yet the camera's head has
// one serial line: a command and its reply must not interleave with another session's. The
// table hands out one lock per device path, shared by every driver open on that path and
// forgotten when the last of them goes.
#pragma once

#include "common/CriticalSection.h"

#include <memory>

std::shared_ptr<CriticalSection> ConversationLockFor(const char* devicePath);
