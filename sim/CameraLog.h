// What a simulated camera saw, for tests. Each log keeps its most recent entries only, so a
// camera that streams for hours does not grow without bound.
#pragma once

#include "kelvra/KelvraSimModel.h"

#include <deque>
#include <vector>

namespace kelvra::sim {

template <class Entry>
class BoundedLog {
public:
    static constexpr std::size_t kCapacity = 65536;

    void Add(Entry entry) {
        if (entries.size() == kCapacity) entries.pop_front();
        entries.push_back(std::move(entry));
    }
    std::vector<Entry> Snapshot() const { return {entries.begin(), entries.end()}; }
    void Clear() { entries.clear(); }

private:
    std::deque<Entry> entries;
};

struct CameraLog {
    BoundedLog<ControlRecord> control;
    BoundedLog<I2cRecord> i2c;
    BoundedLog<FpgaWrite> fpgaWrites;
    BoundedLog<HeadCommand> headCommands;
    BoundedLog<EndpointRequest> endpoints;
    BoundedLog<HeadRegisterWrite> headRegisters;
    BoundedLog<ChipWrite> chipWrites;

    void Clear() {
        endpoints.Clear();
        control.Clear();
        i2c.Clear();
        fpgaWrites.Clear();
        headCommands.Clear();
        headRegisters.Clear();
        chipWrites.Clear();
    }
};

}  // namespace kelvra::sim
