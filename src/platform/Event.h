// Auto- and manual-reset events.
#pragma once

#include "KernelObject.h"

namespace kelvra::platform {

class Event final : public KernelObject {
public:
    Event(bool manualReset, bool initialState) : manualReset(manualReset), signaled(initialState) {}

    void Set();
    void Reset();

    bool IsWaitable() const override { return true; }
    bool IsSignaled() const override { return signaled; }
    // A satisfied wait consumes an auto-reset event, so SetEvent releases exactly one waiter.
    void Acquire() override {
        if (!manualReset) signaled = false;
    }

private:
    const bool manualReset;
    bool signaled;  // guarded by WaitMutex()
};

}  // namespace kelvra::platform
