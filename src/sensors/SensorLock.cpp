#include "sensors/SensorLock.h"

SensorLock::SensorLock() { InitializeCriticalSection(&section); }
SensorLock::~SensorLock() { DeleteCriticalSection(&section); }

SensorLock::Hold::Hold(SensorLock& lock) : held(lock) { EnterCriticalSection(&held.section); }
SensorLock::Hold::~Hold() { LeaveCriticalSection(&held.section); }
