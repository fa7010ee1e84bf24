// The library's exported functions and describe entry points, for the tests
// that link its objects and call them as the host does.
#pragma once

#include <cstdint>

#include "host/Export.h"
#include "host/MSXStruct.h"

#define MSX_HOST_FUNCTION(name)                                                             \
  MSX_EXPORT int32_t MSX_CALL name(const msx::HostDataRecord*, const msx::HostSeriesArgs*,  \
                                   const msx::HostNumericArgs*, const msx::HostStringArgs*, \
                                   const msx::HostCustomArgs*, msx::ResultRec*);
MSX_HOST_FUNCTION(NRTR)
MSX_HOST_FUNCTION(NRTR_WATR)
MSX_HOST_FUNCTION(CER)
MSX_HOST_FUNCTION(RENKO_WATR)
MSX_HOST_FUNCTION(JMA)
MSX_HOST_FUNCTION(JTPO)
MSX_HOST_FUNCTION(WriteData)
MSX_HOST_FUNCTION(WriteDataEx)
MSX_HOST_FUNCTION(ReadData)
MSX_HOST_FUNCTION(TradeFile)
MSX_HOST_FUNCTION(TradeQuik)
#undef MSX_HOST_FUNCTION
MSX_EXPORT int32_t MSX_CALL MSXInfo(msx::LibraryDescription*);
MSX_EXPORT int32_t MSX_CALL MSXNthFunction(int32_t, msx::FunctionDescription*);
MSX_EXPORT int32_t MSX_CALL MSXNthArg(int32_t, int32_t, msx::ArgumentDescription*);
MSX_EXPORT int32_t MSX_CALL MSXNthCustomString(int32_t, int32_t, int32_t,
                                               msx::CustomStringDescription*);
