#pragma once
// ClassFactory (the report engine's class, not COM's IClassFactory): hands out new
// UtilitiesClass objects to pages that prefer a factory call to Server.CreateObject.

#include <span>

#include "platform/com/dispatch_object.h"

class ReportClassFactory : public DispatchObject<ReportClassFactory> {
 public:
  static std::span<const DispatchMember<ReportClassFactory>> Members();
  std::u16string_view TypeName() override { return u"ClassFactory"; }

  /// createUtilitiesClass(): a new UtilitiesClass as an object variant, in the caller's
  /// apartment.
  Result<Variant> createUtilitiesClass(const DispatchArguments& arguments);
};

/// A new ClassFactory object for the module's class factory; null when memory runs out.
IUnknown* CreateReportClassFactory();
