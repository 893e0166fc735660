// Puts a test's own driver behind a device object that has a camera open, so that values no
// driver of the family reports yet (readout orientation, board revision, readout option, clock
// and gain modes) can reach the device core's paths that depend on them.
#pragma once

#include "SimulatedDevice.h"
#include "device/CKelvraU3G5Base.h"
#include "sensors/Sensor880HQLN.h"

#include <memory>
#include <utility>
#include <vector>

class DeviceTestAccess {
public:
    // Swaps the driver; the buffers, window and frame size of the device stay as they are.
    static std::unique_ptr<CSensorBase> ReplaceSensor(CKelvraU3G5Base& device, std::unique_ptr<CSensorBase> sensor) {
        std::swap(device.sensor, sensor);
        return sensor;
    }
};

// A head that answers like the 880HQLN, starts from another driver's parameters and records
// what the device core hands to the operations the 880HQLN does not have.
class ScriptedHead : public CSensor880HQLN {
public:
    explicit ScriptedHead(const CSensorBase& original)
        : CSensor880HQLN(original.Controller(), original.SerialAddress()) {
        params = original.Parameters();
    }

    void SetReadoutOrientation(int32_t code) { readoutOrientation = code; }
    void SetRevision(int32_t value) { revision = value; }
    int32_t SetReadoutOption(int32_t value) override {
        readoutOption = value;
        return 1;
    }
    int32_t SupportsReadoutOption() override { return supportsReadoutOption; }

    // Taken as the head took it, without the text command.
    int32_t SetExposure(int32_t value) override {
        exposures.push_back(value);
        params.exposure = value;
        return 1;
    }

    int32_t SetMirrorH(int32_t on) override {
        params.mirrorH = on;
        return 1;
    }
    int32_t SetMirrorV(int32_t on) override {
        params.mirrorV = on;
        return 1;
    }

    int32_t SetHalfClock(int32_t mode) override {
        clockModes.push_back(mode);
        return 1;
    }

    int32_t SensorModeAvailable() override { return 1; }
    int32_t GetFpgaFlag() override { return fpgaFlag; }
    int32_t WriteFpgaFlag(int32_t value) override {
        fpgaFlag = value;
        return 1;
    }

    int32_t SetSamplingRate(int32_t value, int32_t* rate) override {
        samplingRates.push_back(value);
        samplingRatePointers.push_back(rate);
        return 1;
    }

    int32_t SetAnalogMode(int32_t step) override {
        analogSteps.push_back(step);
        analogMode = step;
        return 1;
    }
    int32_t GetAnalogMode(int32_t* step) override {
        *step = analogMode;
        return 1;
    }

    int32_t supportsReadoutOption = 0;
    int32_t fpgaFlag = 0;
    int32_t analogMode = 0;
    std::vector<int32_t> exposures;  // written by whichever thread applies the exposure
    std::vector<int32_t> clockModes;
    std::vector<int32_t> samplingRates;
    std::vector<int32_t*> samplingRatePointers;
    std::vector<int32_t> analogSteps;
};

// A device in front of simulated cameras whose driver a test replaces with a scripted head.
class ScriptedDevice : public SimulatedDevice {
protected:
    // Opens a camera of the product and puts a head built from the open driver's values behind it.
    template <class Head = ScriptedHead>
    Head& OpenWithHead(unsigned short productId) {
        camera = Attach(productId);
        Open(camera, productId);  // some generic boards never report ready; the driver exists anyway
        EXPECT_NE(device->Sensor(), nullptr);
        auto head = std::make_unique<Head>(*device->Sensor());
        Head& kept = *head;
        original = DeviceTestAccess::ReplaceSensor(*device, std::move(head));
        kelvra::sim::ClearLogs(camera);
        return kept;
    }

    // Forgets every camera and starts again with a fresh controller, for the next case of a table.
    void NextCamera() {
        device->StopStreaming();
        KelvraSim_Reset();
        original.reset();
        ASSERT_EQ(device->CreateController(nullptr, nullptr), 1);
    }

    int camera = 0;
    std::unique_ptr<CSensorBase> original;  // the driver the head replaced
};
