#pragma once
// The identifiers of the ADO library, its classes and interfaces (the platform's values, so
// that pages naming them in METADATA directives find this library).

#include "platform/automation/ole_interfaces.h"

inline constexpr GUID kAdoLibraryId = {
    0x00000205, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

#define ADO_GUID(name, first) \
  inline constexpr GUID name = {first, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}}
ADO_GUID(kConnectionClassId, 0x00000514);
ADO_GUID(kRecordsetClassId, 0x00000535);
ADO_GUID(kCommandClassId, 0x00000507);
ADO_GUID(kParameterClassId, 0x0000050B);
ADO_GUID(kStreamClassId, 0x00000566);
ADO_GUID(kConnectionInterfaceId, 0x00001550);
ADO_GUID(kRecordsetInterfaceId, 0x00001556);
ADO_GUID(kCommandInterfaceId, 0x0000154E);
ADO_GUID(kParameterInterfaceId, 0x0000150C);
ADO_GUID(kStreamInterfaceId, 0x00000565);
ADO_GUID(kFieldsInterfaceId, 0x00001564);
ADO_GUID(kFieldInterfaceId, 0x00001569);
ADO_GUID(kParametersInterfaceId, 0x0000050D);
ADO_GUID(kErrorsInterfaceId, 0x00000501);
ADO_GUID(kErrorInterfaceId, 0x00000500);
#undef ADO_GUID
