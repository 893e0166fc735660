#include "device/CKelvraUSB3G5SimpleSdk.h"

CKelvraUSB3G5SimpleSdk::~CKelvraUSB3G5SimpleSdk() = default;
