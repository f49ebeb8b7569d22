#pragma once
// The fixed identifiers of the WendrelASP type library: the library, its classes, their
// default interfaces and their event interfaces. Registrations, host applications and scripts
// keep them, so they never change from build to build.
//
// One family of identifiers: the last two bytes tell the kind (0A the library and classes, 0B
// default interfaces, 0C event interfaces) and the class's place in the class table (01...).

#include <cstdint>

#include "platform/automation/ole_interfaces.h"

constexpr GUID WendrelId(uint8_t kind, uint8_t index) {
  return {0x5E0D4C21, 0x7A3B, 0x4C8E, {0xA1, 0x6F, 0x2D, 0x93, 0xB4, 0x17, kind, index}};
}

namespace wendrel_ids {

inline constexpr uint8_t kClass = 0x0A;
inline constexpr uint8_t kInterface = 0x0B;
inline constexpr uint8_t kEvents = 0x0C;

/// The place of each class in the class table (1-based), which is also its identifiers' index.
enum ClassIndex : uint8_t {
  kResponse = 1,
  kServer = 2,
  kRequest = 3,
  kItem = 4,
  kCollection = 5,
  kTextParser = 6,
  kCASPServer = 7,
  kCASPApplication = 8,
  kCHTTPCookie = 9,
  kCASPSession = 10,
  kCQuavDictionary = 11,
  kPNGCapturer = 12,
  kCVirtDir = 13,
  kSysLogClient = 14,
};

constexpr CLSID ClassId(ClassIndex index) { return WendrelId(kClass, index); }
constexpr IID InterfaceId(ClassIndex index) { return WendrelId(kInterface, index); }
constexpr IID EventInterfaceId(ClassIndex index) { return WendrelId(kEvents, index); }

inline constexpr GUID kLibraryId = WendrelId(kClass, 0x00);

}  // namespace wendrel_ids
