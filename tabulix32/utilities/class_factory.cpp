// ClassFactory: new UtilitiesClass objects for the pages (see class_factory.h).
#include "tabulix32/utilities/class_factory.h"

#include <new>

#include "tabulix32/utilities/utilities_class.h"

std::span<const DispatchMember<ReportClassFactory>> ReportClassFactory::Members() {
  static constexpr DispatchMember<ReportClassFactory> kMembers[] = {
      {u"createUtilitiesClass", 1, kMethod | kPropertyGet, 0, 0,
       &ReportClassFactory::createUtilitiesClass},
  };
  return kMembers;
}

Result<Variant> ReportClassFactory::createUtilitiesClass(const DispatchArguments&) {
  ComPtr<UtilitiesClass> utilities = MakeObject<UtilitiesClass>();
  return Variant::FromDispatch(utilities.get());
}

IUnknown* CreateReportClassFactory() {
  return static_cast<IDispatch*>(new (std::nothrow) ReportClassFactory());
}
