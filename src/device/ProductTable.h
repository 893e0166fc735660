// Which sensor driver drives which camera model, and where the driver finds its chip or head on
// the camera's I2C bus. Any product id the table does not list is driven as an MT9F001 camera.
#pragma once

#include <cstdint>
#include <memory>

class CControllerBase;
class CSensorBase;

using SensorFactory = CSensorBase* (*)(CControllerBase* controller, uint8_t serialAddress);

struct ProductSensorRow {
    uint16_t productId;
    uint8_t serialAddress;  // 8-bit write form
    int32_t variantCode;    // handed to SetVariant after creation; 0 for none
    SensorFactory create;   // null result when memory is short
};

// Product 0x3020 carries either chip; the chip reports which one.
constexpr uint16_t kProductMT9F = 0x3020;
constexpr uint16_t kChipVersionMT9F002 = 302;

const ProductSensorRow& SensorRowForProduct(int32_t productId);
// The row's factory, or for product 0x3020 the one that matches the chip version read from it.
SensorFactory SensorFactoryFor(const ProductSensorRow& row, uint16_t chipVersion);
