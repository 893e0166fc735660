#include "UsbTestSupport.h"

#include <cstring>

namespace usbtest {

std::string IsolatedTableName() { return "U3G5-MemMap-usbtest-" + std::to_string(GetCurrentProcessId()); }

TableView::TableView(const std::string& name) {
    mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (mapping != nullptr) view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
}

TableView::~TableView() {
    if (view != nullptr) UnmapViewOfFile(view);
    if (mapping != nullptr) CloseHandle(mapping);
}

int32_t TableView::Int(std::size_t offset) const {
    int32_t value;
    std::memcpy(&value, view + offset, sizeof value);
    return value;
}

uint16_t TableView::Word(std::size_t offset) const { return uint16_t(view[offset] | view[offset + 1] << 8); }

std::string TableView::Path(int row) const {
    const char* path = reinterpret_cast<const char*>(view + 4 + 268 * row + 8);
    return std::string(path, strnlen(path, 260));
}

void UsbTest::SetUp() {
    kelvra::usb::SetSharedTableName(IsolatedTableName().c_str());
    KelvraSim_Reset();
}

void UsbTest::TearDown() {
    KelvraSim_Reset();
    for (auto& camera : scripted) camera->Unplug();
}

std::shared_ptr<ScriptedCamera> UsbTest::PlugScripted(uint16_t productId, const std::string& serial) {
    auto camera = ScriptedCamera::PlugAt(ScriptedCamera::PathFor(productId, serial));
    if (camera) scripted.push_back(camera);
    return camera;
}

int UsbTest::RowOf(CKelvCy3Cam& controller, const std::string& path) {
    for (int row = 0; row < controller.EntryCount(); ++row)
        if (path == controller.DeviceEntry(row).devicePath) return row;
    return -1;
}

std::unique_ptr<CKelvCy3Cam> UsbTest::Opened(const std::string& path, const GUID* interfaceClass) {
    auto controller = std::make_unique<CKelvCy3Cam>(interfaceClass);
    controller->EnumerateDevices();
    EXPECT_EQ(1, controller->SelectDevice(RowOf(*controller, path)));
    EXPECT_EQ(1, controller->AllocateTransferBuffer());
    EXPECT_EQ(1, controller->OpenStream());
    return controller;
}

}  // namespace usbtest
