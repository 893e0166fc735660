// The drivers of the family besides the 880HQLN, by the class names the product table uses.
// A model's driver is its row of FamilyDefaults on top of the shared paths of
// CSensorFamilyMember; drivers with register traffic of their own replace their line below
// with their own header.
#pragma once

#include "sensors/FamilyMember.h"

// Image sensor chips programmed register by register.
using CSensorMT9F001 = CSensorModel<SensorModel::MT9F001>;
using CSensorMT9F002 = CSensorModel<SensorModel::MT9F002>;
using CSensorMT9P001 = CSensorModel<SensorModel::MT9P001>;
using CSensorMT9J001 = CSensorModel<SensorModel::MT9J001>;
using CSensorIMX178 = CSensorModel<SensorModel::IMX178>;
using CSensorIMX174 = CSensorModel<SensorModel::IMX174>;
using CSensorIMX183 = CSensorModel<SensorModel::IMX183>;
using CSensorIMX159 = CSensorModel<SensorModel::IMX159>;
using CSensorIMX250 = CSensorModel<SensorModel::IMX250>;
using CSensorIMX264 = CSensorModel<SensorModel::IMX264>;
using CSensorIMX252 = CSensorModel<SensorModel::IMX252>;
using CSensorIMX265 = CSensorModel<SensorModel::IMX265>;
using CSensorIMX226 = CSensorModel<SensorModel::IMX226>;
using CSensorP3200 = CSensorModel<SensorModel::P3200>;
using CSensorIMX990 = CSensorModel<SensorModel::IMX990>;
using CSensorIMX991 = CSensorModel<SensorModel::IMX991>;
using CSensorLI7050 = CSensorModel<SensorModel::LI7050>;
using CSensorGLUX9701 = CSensorModel<SensorModel::GLUX9701>;
using CSensorIMX536 = CSensorModel<SensorModel::IMX536>;
using CSensorIMX487 = CSensorModel<SensorModel::IMX487>;
using CSensorIMX273 = CSensorModel<SensorModel::IMX273>;

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
