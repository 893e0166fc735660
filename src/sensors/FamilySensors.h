// The drivers of the family besides the 880HQLN, by the class names the product table uses.
// A model's driver is its row of FamilyDefaults on top of the shared paths of
// CSensorFamilyMember; drivers with register traffic of their own replace their line below
// with their own header.
#pragma once

#include "sensors/FamilyMember.h"

// Image sensor chips programmed register by register.
#include "sensors/SensorImx.h"
#include "sensors/SensorMT9.h"

// Camera heads with a controller and FPGA of their own.
using CSensorICX274 = CSensorModel<SensorModel::ICX274>;
using CSensorP3090 = CSensorModel<SensorModel::P3090>;
using CSensorP30B0 = CSensorModel<SensorModel::P30B0>;
using CSensorP30C0 = CSensorModel<SensorModel::P30C0>;
using CSensorP3130 = CSensorModel<SensorModel::P3130>;
using CSensorP3140 = CSensorModel<SensorModel::P3140>;
using CSensorP3150 = CSensorModel<SensorModel::P3150>;
using CSensorP3170 = CSensorModel<SensorModel::P3170>;
using CSensorP3190 = CSensorModel<SensorModel::P3190>;
using CSensorP31A0 = CSensorModel<SensorModel::P31A0>;
using CSensorP31D0 = CSensorModel<SensorModel::P31D0>;
using CSensorP31E0 = CSensorModel<SensorModel::P31E0>;
using CSensorP3210 = CSensorModel<SensorModel::P3210>;
using CSensorG1467x = CSensorModel<SensorModel::G1467x>;
using CSensorP32D0 = CSensorModel<SensorModel::P32D0>;
