// One SDK session for the length of a command. When no camera is attached it plugs in a
// simulated 880HQLN first, so the tool does something useful on any machine, and says so.
#pragma once

#include "Options.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

struct CameraEntry {
    int32_t deviceNumber;  // what Kelvra_SetDeviceNumber takes
    std::string name;      // the name Kelvra_EnumDevice gives it
};

class CameraSession {
public:
    // Opens the session; the note about a simulated camera goes to out. On failure Handle() is 0
    // and the reason has gone to err.
    // A simulated camera plugged in here shows the scene and runs at the rate simulation asks for.
    CameraSession(std::ostream& out, std::ostream& err, const SimulationOptions& simulation = {});
    ~CameraSession();
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    int32_t Handle() const { return handle; }
    // The attached cameras, by device number.
    std::vector<CameraEntry> Cameras();
    // Selects camera number, or the first camera; what went wrong goes to err.
    std::optional<CameraEntry> Select(std::optional<int32_t> number, std::ostream& err);
    // The newest error the session recorded, in words.
    std::string LastError();
    // The simulated camera's id (KelvraSim), 0 when a real camera is in use.
    int SimulatedCamera() const { return simulatedCamera; }

private:
    int32_t handle = 0;
    int simulatedCamera = 0;
};
