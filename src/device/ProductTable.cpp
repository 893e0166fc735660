#include "device/ProductTable.h"

#include "sensors/FamilySensors.h"
#include "sensors/Sensor880HQLN.h"

#include <array>
#include <new>

namespace {

template <typename Sensor>
CSensorBase* Make(CControllerBase* controller, uint8_t serialAddress) {
    return new (std::nothrow) Sensor(controller, serialAddress);
}

constexpr std::array<ProductSensorRow, 40> kProducts = {{
    {kProductMT9F, 0x20, 0, &Make<CSensorMT9F001>}, {0x3030, 0x90, 0, &Make<CSensorMT9P001>},
    {0x3040, 0x20, 0, &Make<CSensorMT9J001>},       {0x3042, 0x20, 0, &Make<CSensorMT9J001>},
    {0x3050, 0x00, 0, &Make<CSensorICX274>},        {0x3090, 0x00, 0, &Make<CSensorP3090>},
    {0x30B0, 0x00, 0, &Make<CSensorP30B0>},         {0x30C0, 0x00, 0, &Make<CSensorP30C0>},
    {0x30F0, 0x48, 0, &Make<CSensorIMX178>},        {0x3100, 0x48, 0, &Make<CSensorIMX174>},
    {0x3110, 0x48, 0, &Make<CSensorIMX183>},        {0x3120, 0x48, 0, &Make<CSensorIMX159>},
    {0x3130, 0x42, 0, &Make<CSensorP3130>},         {0x3140, 0x6C, 0, &Make<CSensorP3140>},
    {0x3150, 0x6C, 0, &Make<CSensorP3150>},         {0x3170, 0x6C, 0, &Make<CSensorP3170>},
    {0x3180, 0x48, 0, &Make<CSensor880HQLN>},       {0x3190, 0x20, 0, &Make<CSensorP3190>},
    {0x31A0, 0x20, 0, &Make<CSensorP31A0>},         {0x31B0, 0x48, 59, &Make<CSensorIMX250>},
    {0x31B4, 0x48, 0, &Make<CSensorIMX264>},        {0x31C0, 0x48, 0, &Make<CSensorIMX252>},
    {0x31C4, 0x48, 0, &Make<CSensorIMX265>},        {0x31D0, 0x20, 0, &Make<CSensorP31D0>},
    {0x31E0, 0x6C, 0, &Make<CSensorP31E0>},         {0x31F0, 0x48, 0, &Make<CSensorIMX226>},
    {0x3200, 0x48, 0, &Make<CSensorP3200>},         {0x3210, 0x20, 0, &Make<CSensorP3210>},
    {0x3220, 0x6C, 105, &Make<CSensorG1467x>},      {0x3260, 0x48, 109, &Make<CSensorIMX990>},
    {0x3270, 0x48, 110, &Make<CSensorIMX990>},      {0x3280, 0x48, 111, &Make<CSensorIMX991>},
    {0x3290, 0x48, 112, &Make<CSensorIMX991>},      {0x32A0, 0x48, 113, &Make<CSensorIMX250>},
    {0x32B0, 0x48, 61, &Make<CSensorLI7050>},       {0x32C0, 0x48, 114, &Make<CSensorGLUX9701>},
    {0x32D0, 0x6C, 0, &Make<CSensorP32D0>},         {0x32E0, 0x48, 0, &Make<CSensorIMX536>},
    {0x32F0, 0x48, 0, &Make<CSensorIMX487>},        {0x3300, 0x48, 0, &Make<CSensorIMX273>},
}};
constexpr ProductSensorRow kUnlistedProduct = {0, 0x20, 0, &Make<CSensorMT9F001>};

}  // namespace

const ProductSensorRow& SensorRowForProduct(int32_t productId) {
    for (const ProductSensorRow& row : kProducts) {
        if (row.productId == productId) return row;
    }
    return kUnlistedProduct;
}

SensorFactory SensorFactoryFor(const ProductSensorRow& row, uint16_t chipVersion) {
    if (row.productId == kProductMT9F && chipVersion == kChipVersionMT9F002) return &Make<CSensorMT9F002>;
    return row.create;
}
