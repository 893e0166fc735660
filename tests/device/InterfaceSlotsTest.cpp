// The slot numbers of the device and sensor interfaces are a binary contract: each operation's
// entry in the compiled vtable must sit at the number its list gives it.
#include "device/CKelvraU3G5Base.h"
#include "sensors/SensorBase.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

// The Itanium C++ ABI (GCC, Clang, mingw-w64) keeps a pointer to a virtual member function as
// 1 + the byte offset of its vtable entry (on ARM: the offset, with bit 0 of the adjustment set).
template <typename Member>
std::optional<std::size_t> VtableIndex(Member member) {
    struct Representation {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    };
    static_assert(sizeof(Member) == sizeof(Representation));
    Representation raw{};
    std::memcpy(&raw, &member, sizeof raw);
#if defined(__arm__) || defined(__aarch64__)
    if ((raw.adjustment & 1) == 0) return std::nullopt;
    return raw.pointer / sizeof(void*);
#else
    if ((raw.pointer & 1) == 0) return std::nullopt;
    return (raw.pointer - 1) / sizeof(void*);
#endif
}

struct ListedSlot {
    int slot;
    std::string name;
    std::optional<std::size_t> vtableIndex;
};

std::vector<ListedSlot> DeviceList() {
    std::vector<ListedSlot> list;
#define KELVRA_DEVICE_OP(slot, kind, result, name, parameters) \
    list.push_back({slot, #name, VtableIndex(&CKelvraU3G5Base::name)});
#define KELVRA_DEVICE_FORWARD(slot, kind, result, name, parameters, sensorOperation, arguments, withoutSensor) \
    KELVRA_DEVICE_OP(slot, kind, result, name, parameters)
#include "device/DeviceOperations.def"
#undef KELVRA_DEVICE_FORWARD
#undef KELVRA_DEVICE_OP
    return list;
}

std::vector<ListedSlot> SensorList() {
    std::vector<ListedSlot> list;
#define KELVRA_SENSOR_OP(slot, kind, result, name, parameters) \
    list.push_back({slot, #name, VtableIndex(&CSensorBase::name)});
#include "sensors/SensorOperations.def"
#undef KELVRA_SENSOR_OP
    return list;
}

// The destructor comes first and takes two vtable entries (complete and deleting) but one
// documented slot; the operations follow it one slot and one entry each, in list order.
void ExpectListMatchesVtable(const std::vector<ListedSlot>& list, int destructorSlot, std::size_t documentedSlots) {
    EXPECT_EQ(list.size() + 1, documentedSlots);
    for (std::size_t position = 0; position < list.size(); ++position) {
        const ListedSlot& entry = list[position];
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.slot, destructorSlot + 1 + static_cast<int>(position)) << "listed out of order";
        ASSERT_TRUE(entry.vtableIndex.has_value()) << "not virtual";
        EXPECT_EQ(*entry.vtableIndex, position + 2) << "compiled into another slot";
    }
}

TEST(InterfaceSlots, EveryDeviceOperationSitsInItsListedSlot) {
#if !defined(__GNUC__)
    GTEST_SKIP() << "member pointers are decoded for the Itanium C++ ABI only";
#endif
    ExpectListMatchesVtable(DeviceList(), 1, 168);
}

TEST(InterfaceSlots, EverySensorOperationSitsInItsListedSlot) {
#if !defined(__GNUC__)
    GTEST_SKIP() << "member pointers are decoded for the Itanium C++ ABI only";
#endif
    ExpectListMatchesVtable(SensorList(), 0, 130);
}

// Spot checks against slots that other code relies on by number.
TEST(InterfaceSlots, KnownSlotsKeepTheirNumbers) {
    const auto device = DeviceList();
    const auto sensor = SensorList();
    auto slotOf = [](const std::vector<ListedSlot>& list, const std::string& name) {
        for (const ListedSlot& entry : list)
            if (entry.name == name) return entry.slot;
        return -1;
    };
    EXPECT_EQ(slotOf(device, "CreateController"), 2);
    EXPECT_EQ(slotOf(device, "SetTriggerMode"), 51);
    EXPECT_EQ(slotOf(device, "SendSensorText"), 134);
    EXPECT_EQ(slotOf(device, "GetSensorModeSwitch"), 168);
    EXPECT_EQ(slotOf(sensor, "SetVariant"), 1);
    EXPECT_EQ(slotOf(sensor, "WriteRegister"), 75);
    EXPECT_EQ(slotOf(sensor, "SetModeSwitch"), 129);
}

}  // namespace
