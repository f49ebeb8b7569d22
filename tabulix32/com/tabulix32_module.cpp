// The Tabulix32 module: its type library and its seven creatable classes. Pages create them by
// ProgID ("Tabulix32.ReportRender", "Tabulix32.StringBuffer", ...) and call them late-bound.
// The identifiers below are fixed for good: registrations and host applications keep them.
#include <new>

#include "platform/com/class_factory.h"
#include "tabulix32/render/report_render.h"
#include "tabulix32/utilities/analysis_calculate.h"
#include "tabulix32/utilities/class_factory.h"
#include "tabulix32/utilities/odbc_list.h"
#include "tabulix32/utilities/string_buffer.h"
#include "tabulix32/utilities/system_settings.h"
#include "tabulix32/utilities/utilities_class.h"

namespace {

// One family of identifiers: the last two bytes tell library (0A00), classes (0A01...) and
// their dispatch interfaces (0B01...) apart.
constexpr GUID Tabulix32Id(uint8_t kind, uint8_t index) {
  return {0x900F5AB3, 0xD1F5, 0x430F, {0x9E, 0xF8, 0x54, 0xB0, 0xCA, 0x6E, kind, index}};
}

constexpr GUID kLibraryId = Tabulix32Id(0x0A, 0x00);
constexpr CLSID kAnalysisCalculateId = Tabulix32Id(0x0A, 0x01);
constexpr CLSID kUtilitiesClassId = Tabulix32Id(0x0A, 0x02);
constexpr CLSID kReportRenderId = Tabulix32Id(0x0A, 0x03);
constexpr CLSID kStringBufferId = Tabulix32Id(0x0A, 0x04);
constexpr CLSID kSystemSettingsId = Tabulix32Id(0x0A, 0x05);
constexpr CLSID kClassFactoryId = Tabulix32Id(0x0A, 0x06);
constexpr CLSID kODBCListId = Tabulix32Id(0x0A, 0x07);
constexpr IID kAnalysisCalculateInterfaceId = Tabulix32Id(0x0B, 0x01);
constexpr IID kUtilitiesClassInterfaceId = Tabulix32Id(0x0B, 0x02);
constexpr IID kReportRenderInterfaceId = Tabulix32Id(0x0B, 0x03);
constexpr IID kStringBufferInterfaceId = Tabulix32Id(0x0B, 0x04);
constexpr IID kSystemSettingsInterfaceId = Tabulix32Id(0x0B, 0x05);
constexpr IID kClassFactoryInterfaceId = Tabulix32Id(0x0B, 0x06);
constexpr IID kODBCListInterfaceId = Tabulix32Id(0x0B, 0x07);

constexpr TypeLibraryClass kClassTable[] = {
    {u"AnalysisCalculate", kAnalysisCalculateId, u"_AnalysisCalculate",
     kAnalysisCalculateInterfaceId, u"", GUID_NULL, kClassCreatable, ThreadingModel::Apartment},
    {u"UtilitiesClass", kUtilitiesClassId, u"_UtilitiesClass", kUtilitiesClassInterfaceId, u"",
     GUID_NULL, kClassCreatable | kClassAppObject, ThreadingModel::Apartment},
    {u"ReportRender", kReportRenderId, u"_ReportRender", kReportRenderInterfaceId, u"",
     GUID_NULL, kClassCreatable, ThreadingModel::Apartment},
    {u"StringBuffer", kStringBufferId, u"_StringBuffer", kStringBufferInterfaceId, u"",
     GUID_NULL, kClassCreatable, ThreadingModel::Apartment},
    {u"SystemSettings", kSystemSettingsId, u"_SystemSettings", kSystemSettingsInterfaceId, u"",
     GUID_NULL, kClassCreatable, ThreadingModel::Apartment},
    {u"ClassFactory", kClassFactoryId, u"_ClassFactory", kClassFactoryInterfaceId, u"",
     GUID_NULL, kClassCreatable, ThreadingModel::Apartment},
    {u"ODBCList", kODBCListId, u"_ODBCList", kODBCListInterfaceId, u"", GUID_NULL,
     kClassCreatable, ThreadingModel::Apartment},
};

constexpr TypeLibrary kLibrary{u"Tabulix32", kLibraryId, 1, 0, 1033,
                               u"Tabulix32 report engine", kClassTable, {}};

// Class factories must not throw: running out of memory is a null object.
IUnknown* CreateUtilitiesClass() {
  return static_cast<IDispatch*>(new (std::nothrow) UtilitiesClass());
}

constexpr ModuleClass kClasses[] = {
    {&kAnalysisCalculateId, &CreateAnalysisCalculate},
    {&kUtilitiesClassId, &CreateUtilitiesClass},
    {&kReportRenderId, &CreateReportRender},
    {&kStringBufferId, &CreateStringBuffer},
    {&kSystemSettingsId, &CreateSystemSettings},
    {&kClassFactoryId, &CreateReportClassFactory},
    {&kODBCListId, &CreateODBCList},
};

}  // namespace

WENDREL_DEFINE_MODULE_ENTRY_POINTS(kLibrary, kClasses)
