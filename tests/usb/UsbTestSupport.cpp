#include "UsbTestSupport.h"

#include <cstring>

namespace usbtest {

std::string IsolatedTableName()
{
    return "U3G5-MemMap-usbtest-" + std::to_string(GetCurrentProcessId());
}

TableView::TableView(const std::string& name)
{
    mapping_ = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (mapping_ != nullptr)
        view_ = static_cast<const uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
}

TableView::~TableView()
{
    if (view_ != nullptr)
        UnmapViewOfFile(view_);
    if (mapping_ != nullptr)
        CloseHandle(mapping_);
}

int32_t TableView::Int(std::size_t offset) const
{
    int32_t value;
    std::memcpy(&value, view_ + offset, sizeof value);
    return value;
}

uint16_t TableView::Word(std::size_t offset) const
{
    return uint16_t(view_[offset] | view_[offset + 1] << 8);
}

std::string TableView::Path(int row) const
{
    const char* path = reinterpret_cast<const char*>(view_ + 4 + 268 * row + 8);
    return std::string(path, strnlen(path, 260));
}

void UsbTest::SetUp()
{
    kelvra::usb::SetSharedTableName(IsolatedTableName().c_str());
}

void UsbTest::TearDown()
{
    for (auto& camera : cameras_)
        camera->Unplug();
    cameras_.clear();
}

std::shared_ptr<ScriptedCamera> UsbTest::Plug(uint16_t productId, const std::string& serial)
{
    auto camera = ScriptedCamera::Plug(kTestVendor, productId, serial);
    if (camera)
        cameras_.push_back(camera);
    return camera;
}

std::unique_ptr<CKelvCy3Cam> UsbTest::MakeController()
{
    return std::make_unique<CKelvCy3Cam>(&kScriptedClass);
}

std::unique_ptr<CKelvCy3Cam> UsbTest::OpenedController(const std::shared_ptr<ScriptedCamera>& camera)
{
    auto controller = MakeController();
    controller->EnumerateDevices();
    for (int row = 0; row < controller->EntryCount(); ++row) {
        if (controller->DeviceEntry(row).devicePath == camera->Path()) {
            EXPECT_EQ(1, controller->SelectDevice(row));
            break;
        }
    }
    EXPECT_EQ(1, controller->AllocateTransferBuffer());
    return controller;
}

}  // namespace usbtest
