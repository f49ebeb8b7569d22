#pragma once
// ODBCList: the ODBC data sources configured on the machine, for the administration pages
// that set up a report connection.

#include "platform/com/dispatch_object.h"

class ODBCList : public DispatchObject<ODBCList> {
 public:
  static std::span<const DispatchMember<ODBCList>> Members();
  std::u16string_view TypeName() override { return u"ODBCList"; }

  /// getDataSources(fetchStart): a new Scripting.Dictionary from data-source name to the
  /// driver description the driver manager reports, in enumeration order (the first of two
  /// equal names wins; blank names are left out). `fetchStart` is a 32-bit integer by
  /// reference, the fetch direction of the first enumeration call: 2 all data sources,
  /// 31 user ones, 32 system ones, 1 next (from the start for a fresh environment); it is
  /// never written. Results:
  /// - the empty dictionary when the driver manager cannot be loaded or refuses to allocate
  ///   an environment, or when there are no data sources;
  /// - Empty (no dictionary) when the driver manager fails during the enumeration, which
  ///   includes a direction it does not know (any value outside the 16-bit range too).
  /// A non-numeric `fetchStart` fails with type mismatch (13), Null with invalid use of Null
  /// (94); a dictionary that cannot be created fails with 429.
  Result<Variant> getDataSources(const DispatchArguments& arguments);
};

/// A new ODBCList for the module's class factory; null when memory runs out.
IUnknown* CreateODBCList();
