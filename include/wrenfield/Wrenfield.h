// Everything a host needs to load and drive the Wrenfield capture driver.
#pragma once

#include "wrenfield/CapabilityQuery.h"
#include "wrenfield/CaptureDriver.h"
#include "wrenfield/CaptureParams.h"
#include "wrenfield/DebugInfo.h"
#include "wrenfield/DriverParams.h"
#include "wrenfield/Exports.h"
#include "wrenfield/IO.h"
#include "wrenfield/Media.h"
#include "wrenfield/PTZ.h"
#include "wrenfield/VideoCapture.h"
