// The device object a session owns: all behaviour is in CKelvraU3G5Base.
#pragma once

#include "device/CKelvraU3G5Base.h"

class CKelvraUSB3G5SimpleSdk final : public CKelvraU3G5Base {
public:
    CKelvraUSB3G5SimpleSdk() = default;
    ~CKelvraUSB3G5SimpleSdk() override;
};
