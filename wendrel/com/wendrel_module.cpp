// The Wendrel module: its type library and class table. Host applications create the Server
// by ProgID ("WendrelASP.Server"); the other classes are registered so that their ProgIDs map
// to their identifiers, but they exist only inside a running server. No threading model is
// registered: the Server lives in the host's main apartment and the workers reach it there.
// The identifiers below are fixed for good: registrations and host applications keep them.
#include "platform/com/class_factory.h"
#include "wendrel/server/http_server.h"

namespace {

// One family of identifiers: the last two bytes tell library (0A00), classes (0A01...) and
// their interfaces (0B01...) apart.
constexpr GUID WendrelId(uint8_t kind, uint8_t index) {
  return {0x5E0D4C21, 0x7A3B, 0x4C8E, {0xA1, 0x6F, 0x2D, 0x93, 0xB4, 0x17, kind, index}};
}

constexpr GUID kLibraryId = WendrelId(0x0A, 0x00);
constexpr CLSID kResponseId = WendrelId(0x0A, 0x01);
constexpr CLSID kServerId = WendrelId(0x0A, 0x02);
constexpr CLSID kRequestId = WendrelId(0x0A, 0x03);
constexpr CLSID kItemId = WendrelId(0x0A, 0x04);
constexpr CLSID kCollectionId = WendrelId(0x0A, 0x05);
constexpr CLSID kCookieId = WendrelId(0x0A, 0x09);
constexpr CLSID kDictionaryId = WendrelId(0x0A, 0x0B);
constexpr IID kResponseInterfaceId = WendrelId(0x0B, 0x01);
constexpr IID kServerInterfaceId = WendrelId(0x0B, 0x02);
constexpr IID kServerEventsId = WendrelId(0x0C, 0x02);
constexpr IID kRequestInterfaceId = WendrelId(0x0B, 0x03);
constexpr IID kItemInterfaceId = WendrelId(0x0B, 0x04);
constexpr IID kCollectionInterfaceId = WendrelId(0x0B, 0x05);
constexpr IID kCookieInterfaceId = WendrelId(0x0B, 0x09);
constexpr IID kDictionaryInterfaceId = WendrelId(0x0B, 0x0B);

constexpr TypeLibraryClass kClassTable[] = {
    {u"Response", kResponseId, u"IResponse", kResponseInterfaceId, u"", GUID_NULL, 0,
     ThreadingModel::None},
    {u"Server", kServerId, u"IServer", kServerInterfaceId, u"DServer_events", kServerEventsId,
     kClassCreatable, ThreadingModel::None},
    {u"Request", kRequestId, u"IRequest", kRequestInterfaceId, u"", GUID_NULL, 0,
     ThreadingModel::None},
    {u"Item", kItemId, u"IItem", kItemInterfaceId, u"", GUID_NULL, 0, ThreadingModel::None},
    {u"Collection", kCollectionId, u"ICollection", kCollectionInterfaceId, u"", GUID_NULL, 0,
     ThreadingModel::None},
    {u"CHTTPCookie", kCookieId, u"ICHTTPCookie", kCookieInterfaceId, u"", GUID_NULL, 0,
     ThreadingModel::None},
    {u"CQuavDictionary", kDictionaryId, u"ICQuavDictionary", kDictionaryInterfaceId, u"",
     GUID_NULL, 0, ThreadingModel::None},
};

constexpr TypeLibrary kLibrary{u"WendrelASP", kLibraryId, 2, 0, 1033,
                               u"Harborlane Type Library", kClassTable, {}};

constexpr ModuleClass kClasses[] = {
    {&kServerId, &CreateHttpServer},
};

}  // namespace

WENDREL_DEFINE_MODULE_ENTRY_POINTS(kLibrary, kClasses)
