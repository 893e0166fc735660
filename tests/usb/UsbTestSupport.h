// Shared set-up of the USB transport tests: a device table of this process's own (test processes
// running side by side never share rows), no simulated or scripted camera left over between tests.
#pragma once

#include "ScriptedCamera.h"
#include "kelvra/KelvraSim.h"
#include "kelvra/KelvraSimModel.h"
#include "usb/CKelvCy3Cam.h"
#include "usb/DeviceTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace usbtest {

std::string IsolatedTableName();

// The mapping of the table as another process sees it; Exists() is false when no one holds it.
class TableView {
public:
    explicit TableView(const std::string& name);
    ~TableView();
    bool Exists() const { return view != nullptr; }
    int32_t Int(std::size_t offset) const;
    uint16_t Word(std::size_t offset) const;
    std::string Path(int row) const;

private:
    HANDLE mapping = nullptr;
    const uint8_t* view = nullptr;
};

class UsbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::shared_ptr<ScriptedCamera> PlugScripted(uint16_t productId, const std::string& serial);
    static int RowOf(CKelvCy3Cam& controller, const std::string& path);
    static std::string SimPath(int camera) { return kelvra::sim::DevicePath(camera).value_or(""); }
    // A controller of the interface class with the camera at path selected, its transfer buffer
    // allocated and its stream open.
    static std::unique_ptr<CKelvCy3Cam> Opened(const std::string& path, const GUID* interfaceClass = nullptr);

    std::vector<std::shared_ptr<ScriptedCamera>> scripted;
};

}  // namespace usbtest
