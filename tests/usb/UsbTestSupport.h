// Shared set-up of the USB transport tests: a device table of this process's own (so test
// processes running side by side never share rows) and cameras that are unplugged after each test.
#pragma once

#include "ScriptedCamera.h"
#include "usb/CKelvCy3Cam.h"
#include "usb/DeviceTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace usbtest {

constexpr uint16_t kTestVendor = 0x7E57;

std::string IsolatedTableName();

// The mapping of the table as another process would see it; null when no one holds it.
class TableView {
public:
    explicit TableView(const std::string& name);
    ~TableView();
    bool Exists() const { return view_ != nullptr; }
    int32_t Int(std::size_t offset) const;
    uint16_t Word(std::size_t offset) const;
    std::string Path(int row) const;

private:
    HANDLE mapping_ = nullptr;
    const uint8_t* view_ = nullptr;
};

class UsbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::shared_ptr<ScriptedCamera> Plug(uint16_t productId, const std::string& serial);
    std::unique_ptr<CKelvCy3Cam> MakeController();
    // A controller with the first recorded row selected and its transfer buffer allocated.
    std::unique_ptr<CKelvCy3Cam> OpenedController(const std::shared_ptr<ScriptedCamera>& camera);

    std::vector<std::shared_ptr<ScriptedCamera>> cameras_;
};

}  // namespace usbtest
