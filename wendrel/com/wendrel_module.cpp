// The Wendrel module: its type library and class table. Host applications create the Server,
// the TextParser, the PNGCapturer and the SysLogClient by ProgID ("WendrelASP.Server", ...);
// the other classes are registered so that their ProgIDs map to their identifiers, but they
// exist only inside a running server (a script that creates one gets error 429). No threading
// model is registered: the objects live in the host's main apartment and the workers reach
// them there.
#include "platform/com/class_factory.h"
#include "wendrel/com/class_identities.h"
#include "wendrel/components/png_capturer.h"
#include "wendrel/components/text_parser.h"
#include "wendrel/logging/syslog_client.h"
#include "wendrel/server/host_events.h"
#include "wendrel/server/http_server.h"

namespace {

using namespace wendrel_ids;

constexpr TypeLibraryMember kServerEvents[] = {
    {u"PageRequested", kPageRequestedDispid},
    {u"DebugASPPage", kDebugASPPageDispid},
    {u"LogMessage", kLogMessageDispid},
};

constexpr TypeLibraryMember kTextParserEvents[] = {
    {u"Parse", kParseEventDispid},
};

// A class of the table with its default interface "I" + name (the ones named otherwise are
// written out below).
constexpr TypeLibraryClass Class(std::u16string_view name, std::u16string_view interface_name,
                                 ClassIndex index, uint32_t flags) {
  return {name, ClassId(index), interface_name, InterfaceId(index), u"", GUID_NULL, flags,
          ThreadingModel::None};
}

constexpr TypeLibraryClass kClassTable[] = {
    Class(u"Response", u"IResponse", kResponse, 0),
    {u"Server", ClassId(kServer), u"IServer", InterfaceId(kServer), u"DServer_events",
     EventInterfaceId(kServer), kClassCreatable, ThreadingModel::None, {}, {}, kServerEvents},
    Class(u"Request", u"IRequest", kRequest, 0),
    Class(u"Item", u"IItem", kItem, 0),
    Class(u"Collection", u"ICollection", kCollection, 0),
    {u"TextParser", ClassId(kTextParser), u"ITextParser", InterfaceId(kTextParser),
     u"DTextParser_events", EventInterfaceId(kTextParser), kClassCreatable, ThreadingModel::None,
     {}, {}, kTextParserEvents},
    Class(u"CASPServer", u"ICASPServer", kCASPServer, kClassHidden),
    Class(u"CASPApplication", u"ICASPApplication", kCASPApplication, 0),
    Class(u"CHTTPCookie", u"ICHTTPCookie", kCHTTPCookie, 0),
    Class(u"CASPSession", u"ICASPSession", kCASPSession, 0),
    Class(u"CQuavDictionary", u"ICQuavDictionary", kCQuavDictionary, 0),
    Class(u"PNGCapturer", u"IPNGCapturer", kPNGCapturer, kClassCreatable),
    Class(u"CVirtDir", u"ICVirtDir", kCVirtDir, 0),
    Class(u"SysLogClient", u"ISysLogClient", kSysLogClient, kClassCreatable),
};

constexpr TypeLibraryEnumeration kEnumerations[] = {
    {u"SeverityLevel", kSeverityLevels},
    {u"FacilityLevel", kFacilityLevels},
};

constexpr TypeLibrary kLibrary{u"WendrelASP", kLibraryId, 2, 0, 1033,
                               u"Harborlane Type Library", kClassTable, kEnumerations};

constexpr CLSID kServerId = ClassId(kServer);
constexpr CLSID kTextParserId = ClassId(kTextParser);
constexpr CLSID kPNGCapturerId = ClassId(kPNGCapturer);
constexpr CLSID kSysLogClientId = ClassId(kSysLogClient);

// The creatable classes; every other class of the table has no factory.
constexpr ModuleClass kClasses[] = {
    {&kServerId, &CreateHttpServer},
    {&kTextParserId, &CreateTextParser},
    {&kPNGCapturerId, &CreatePNGCapturer},
    {&kSysLogClientId, &CreateSysLogClient},
};

}  // namespace

WENDREL_DEFINE_MODULE_ENTRY_POINTS(kLibrary, kClasses)
