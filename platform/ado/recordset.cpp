#include "platform/ado/recordset.h"

#include <cmath>

#include "platform/ado/ado_arguments.h"
#include "platform/ado/ado_identifiers.h"
#include "platform/ado/command_text.h"
#include "platform/ado/connection.h"
#include "platform/automation/safearray.h"
#include "platform/com/enum_variant.h"

namespace {

constexpr std::u16string_view kSource = u"ADODB.Recordset";
constexpr int32_t adStateClosed = 0;
constexpr int32_t adStateOpen = 1;
constexpr int32_t adClipString = 2;
constexpr int32_t adBookmarkCurrent = 0;
constexpr int32_t adBookmarkFirst = 1;
constexpr int32_t adBookmarkLast = 2;

// CursorOptionEnum bits a cursor offers.
constexpr int32_t adHoldRecords = 0x100;
constexpr int32_t adMovePrevious = 0x200;
constexpr int32_t adAddNew = 0x1000400;
constexpr int32_t adDelete = 0x1000800;
constexpr int32_t adUpdate = 0x1008000;
constexpr int32_t adBookmark = 0x2000;
constexpr int32_t adApproxPosition = 0x4000;

Result<std::vector<size_t>> FieldList(const RecordsetCursor& cursor, const DispatchArguments& arguments,
                                      size_t index) {
  std::vector<size_t> fields;
  if (!IsPresent(arguments, index)) {
    for (size_t i = 0; i < cursor.columns().size(); ++i) fields.push_back(i);
    return fields;
  }
  VARIANT list = PeekValue(arguments[index]);
  if ((list.vt & VT_ARRAY) == 0) {
    fields.push_back(TRY(FieldCollection::ColumnIndex(cursor, list)));
    return fields;
  }
  if (list.parray == nullptr || SafeArrayGetDim(list.parray) != 1) {
    return MakeAdoError(AdoError::InvalidArgument, kSource);
  }
  int32_t lower = TRY(SafeArrayLowerBound(list.parray, 1));
  int32_t upper = TRY(SafeArrayUpperBound(list.parray, 1));
  for (int32_t i = lower; i <= upper; ++i) {
    Variant element = TRY(SafeArrayGetElement(list.parray, &i, 1));
    fields.push_back(TRY(FieldCollection::ColumnIndex(cursor, element)));
  }
  return fields;
}

// The Fields, Values arguments of AddNew and Update: one field and a value, or an array of
// fields and an array of as many values.
Result<void> AssignFields(RecordsetCursor& cursor, const DispatchArguments& arguments) {
  std::vector<size_t> fields = TRY(FieldList(cursor, arguments, 0));
  VARIANT values = PeekValue(arguments[1]);
  if (fields.size() == 1 && (values.vt & VT_ARRAY) == 0) return cursor.SetValue(fields[0], values);
  if ((values.vt & VT_ARRAY) == 0 || values.parray == nullptr ||
      SafeArrayElementCount(values.parray) != fields.size()) {
    return MakeAdoError(AdoError::InvalidArgument, kSource);
  }
  int32_t lower = TRY(SafeArrayLowerBound(values.parray, 1));
  for (size_t i = 0; i < fields.size(); ++i) {
    int32_t index = lower + static_cast<int32_t>(i);
    Variant value = TRY(SafeArrayGetElement(values.parray, &index, 1));
    TRY(cursor.SetValue(fields[i], value));
  }
  return {};
}

}  // namespace

void* Recordset::QueryOtherInterface(REFIID iid) {
  return iid == kRecordsetInterfaceId ? static_cast<IDispatch*>(this) : nullptr;
}

Result<ComPtr<Recordset>> Recordset::FromStatement(std::unique_ptr<OdbcStatement> statement,
                                                   int32_t cursor_type, int32_t lock_type,
                                                   std::u16string source, std::u16string table,
                                                   ComPtr<IDispatch> connection) {
  ComPtr<Recordset> recordset = MakeObject<Recordset>();
  recordset->source_ = std::move(source);
  recordset->connection_ = std::move(connection);
  recordset->cursor_type_ = cursor_type;
  recordset->lock_type_ = lock_type;
  if (statement->columns().empty()) return recordset;  // no rows: a closed record set
  std::shared_ptr<RecordsetCursor> cursor =
      TRY(RecordsetCursor::Open(std::move(statement), cursor_type, lock_type, std::move(table)));
  TRY(recordset->Attach(std::move(cursor)));
  return recordset;
}

Result<void> Recordset::Attach(std::shared_ptr<RecordsetCursor> cursor) {
  cursor_ = std::move(cursor);
  cursor_type_ = cursor_->cursor_type();
  lock_type_ = cursor_->lock_type();
  fields_ = ComPtr<IDispatch>(MakeObject<FieldCollection>(cursor_).get());
  return {};
}

Result<RecordsetCursor*> Recordset::OpenCursor() const {
  if (!cursor_) return MakeAdoError(AdoError::ObjectClosed, kSource);
  return cursor_.get();
}

std::span<const DispatchMember<Recordset>> Recordset::Members() {
  static constexpr DispatchMember<Recordset> kMembers[] = {
      {u"Fields", DISPID_VALUE, kPropertyGet | kMethod, 0, 1, &Recordset::GetFields, u"Index"},
      {u"Fields", DISPID_VALUE, kPropertyPut, 1, 1, &Recordset::LetFieldValue, u"Index"},
      {u"Open", 1, kMethod, 0, 5, &Recordset::Open, u"Source,ActiveConnection,CursorType,LockType,Options"},
      {u"Close", 2, kMethod, 0, 0, &Recordset::Close},
      {u"EOF", 3, kPropertyGet, 0, 0, &Recordset::GetEof},
      {u"BOF", 4, kPropertyGet, 0, 0, &Recordset::GetBof},
      {u"MoveNext", 5, kMethod, 0, 0, &Recordset::MoveNext},
      {u"MovePrevious", 6, kMethod, 0, 0, &Recordset::MovePrevious},
      {u"MoveFirst", 7, kMethod, 0, 0, &Recordset::MoveFirst},
      {u"MoveLast", 8, kMethod, 0, 0, &Recordset::MoveLast},
      {u"Move", 9, kMethod, 1, 2, &Recordset::Move, u"NumRecords,Start"},
      {u"GetRows", 10, kMethod, 0, 3, &Recordset::GetRows, u"Rows,Start,Fields"},
      {u"GetString", 11, kMethod, 0, 5, &Recordset::GetString, u"StringFormat,NumRows,ColumnDelimeter,RowDelimeter,NullExpr"},
      {u"RecordCount", 12, kPropertyGet, 0, 0, &Recordset::GetRecordCount},
      {u"PageSize", 13, kPropertyGet, 0, 0, &Recordset::GetPageSize},
      {u"PageSize", 13, kPropertyPut, 0, 0, &Recordset::LetPageSize},
      {u"PageCount", 14, kPropertyGet, 0, 0, &Recordset::GetPageCount},
      {u"AbsolutePage", 15, kPropertyGet, 0, 0, &Recordset::GetAbsolutePage},
      {u"AbsolutePage", 15, kPropertyPut, 0, 0, &Recordset::LetAbsolutePage},
      {u"AbsolutePosition", 16, kPropertyGet, 0, 0, &Recordset::GetAbsolutePosition},
      {u"AbsolutePosition", 16, kPropertyPut, 0, 0, &Recordset::LetAbsolutePosition},
      {u"Bookmark", 17, kPropertyGet, 0, 0, &Recordset::GetBookmark},
      {u"Bookmark", 17, kPropertyPut, 0, 0, &Recordset::LetBookmark},
      {u"State", 18, kPropertyGet, 0, 0, &Recordset::GetState},
      {u"CursorType", 19, kPropertyGet, 0, 0, &Recordset::GetCursorType},
      {u"CursorType", 19, kPropertyPut, 0, 0, &Recordset::LetCursorType},
      {u"LockType", 20, kPropertyGet, 0, 0, &Recordset::GetLockType},
      {u"LockType", 20, kPropertyPut, 0, 0, &Recordset::LetLockType},
      {u"CursorLocation", 21, kPropertyGet, 0, 0, &Recordset::GetCursorLocation},
      {u"CursorLocation", 21, kPropertyPut, 0, 0, &Recordset::LetCursorLocation},
      {u"CacheSize", 22, kPropertyGet, 0, 0, &Recordset::GetCacheSize},
      {u"CacheSize", 22, kPropertyPut, 0, 0, &Recordset::LetCacheSize},
      {u"MaxRecords", 23, kPropertyGet, 0, 0, &Recordset::GetMaxRecords},
      {u"MaxRecords", 23, kPropertyPut, 0, 0, &Recordset::LetMaxRecords},
      {u"Source", 24, kPropertyGet, 0, 0, &Recordset::GetSource},
      {u"Source", 24, kPropertyPut, 0, 0, &Recordset::LetSource},
      {u"ActiveConnection", 25, kPropertyGet, 0, 0, &Recordset::GetActiveConnection},
      {u"ActiveConnection", 25, kPropertyPut | kPropertyPutRef, 0, 0, &Recordset::LetActiveConnection},
      {u"EditMode", 26, kPropertyGet, 0, 0, &Recordset::GetEditMode},
      {u"AddNew", 27, kMethod, 0, 2, &Recordset::AddNew, u"FieldList,Values"},
      {u"Update", 28, kMethod, 0, 2, &Recordset::Update, u"Fields,Values"},
      {u"CancelUpdate", 29, kMethod, 0, 0, &Recordset::CancelUpdate},
      {u"Delete", 30, kMethod, 0, 1, &Recordset::Delete, u"AffectRecords"},
      {u"NextRecordset", 31, kMethod, 0, 1, &Recordset::NextRecordset, u"RecordsAffected"},
      {u"Requery", 32, kMethod, 0, 1, &Recordset::Requery, u"Options"},
      {u"Supports", 33, kMethod, 1, 1, &Recordset::Supports, u"CursorOptions"},
      {u"Collect", 34, kPropertyGet, 1, 1, &Recordset::Collect, u"Index"},
      {u"Collect", 34, kPropertyPut, 1, 1, &Recordset::LetCollect, u"Index"},
  };
  return kMembers;
}

Result<Variant> Recordset::Open(const DispatchArguments& arguments) {
  if (cursor_) return MakeAdoError(AdoError::ObjectOpen, kSource);
  if (IsPresent(arguments, 0)) source_ = TRY(OptionalText(arguments, 0, u""));
  Variant connection_argument = IsPresent(arguments, 1) ? Variant(arguments[1]) : connection_setting_;
  int32_t cursor_type = TRY(OptionalInt32(arguments, 2, cursor_type_));
  int32_t lock_type = TRY(OptionalInt32(arguments, 3, lock_type_));
  int32_t options = TRY(OptionalInt32(arguments, 4, adCmdUnspecified));

  std::shared_ptr<OdbcConnection> connection;
  ComPtr<IDispatch> connection_object;
  if (Connection* given = Connection::From(ObjectArgument(connection_argument))) {
    connection = TRY(given->OpenConnection());
    given->errors()->clear();
    connection_object = ComPtr<IDispatch>(static_cast<IDispatch*>(given));
  } else if (ObjectArgument(connection_argument) != nullptr || connection_argument.IsEmpty() ||
             connection_argument.IsMissing()) {
    return MakeAdoError(AdoError::InvalidConnection, kSource);
  } else {
    Bstr text = TRY(ToBstr(connection_argument));
    OdbcTarget target = TRY(MapConnectionString(text.view(), u"", u"", u""));
    auto errors = std::make_shared<std::vector<ProviderDiagnostic>>();
    connection = TRY(OdbcConnection::Open(target, 15, errors));
    connection_object = ComPtr<IDispatch>(Connection::Wrap(connection).get());
  }
  int32_t timeout = 30;
  if (Connection* own = Connection::From(connection_object.get())) timeout = own->command_timeout();
  std::unique_ptr<OdbcStatement> statement =
      TRY(ExecuteCommand(connection, source_, options, {}, timeout));
  connection_ = connection_object;
  if (statement->columns().empty()) return Variant();  // no rows: stays closed
  std::shared_ptr<RecordsetCursor> cursor =
      TRY(RecordsetCursor::Open(std::move(statement), cursor_type, lock_type,
                                SingleSourceTable(source_, options), max_records_));
  TRY(Attach(std::move(cursor)));
  return Variant();
}

Result<Variant> Recordset::Close(const DispatchArguments&) {
  if (!cursor_) return MakeAdoError(AdoError::ObjectClosed, kSource);
  cursor_.reset();
  fields_.Reset();
  return Variant();
}

Result<Variant> Recordset::GetFields(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  if (!IsPresent(arguments, 0)) return Variant::FromDispatch(fields_.get());
  size_t column = TRY(FieldCollection::ColumnIndex(*cursor, arguments[0]));
  ComPtr<IDispatch> field = TRY(static_cast<FieldCollection*>(fields_.get())->FieldAt(column));
  return Variant::FromDispatch(field.get());
}

Result<Variant> Recordset::LetFieldValue(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  size_t column = TRY(FieldCollection::ColumnIndex(*cursor, arguments[0]));
  TRY(cursor->SetValue(column, arguments.value()));
  return Variant();
}

Result<Variant> Recordset::Collect(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  size_t column = TRY(FieldCollection::ColumnIndex(*cursor, arguments[0]));
  return cursor->Value(column);
}

Result<Variant> Recordset::LetCollect(const DispatchArguments& arguments) { return LetFieldValue(arguments); }

Result<Variant> Recordset::GetEof(const DispatchArguments&) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  return Variant::FromBool(cursor->eof());
}

Result<Variant> Recordset::GetBof(const DispatchArguments&) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  return Variant::FromBool(cursor->bof());
}

Result<Variant> Recordset::MoveNext(const DispatchArguments&) {
  TRY(TRY(OpenCursor())->MoveNext());
  return Variant();
}

Result<Variant> Recordset::MovePrevious(const DispatchArguments&) {
  TRY(TRY(OpenCursor())->MovePrevious());
  return Variant();
}

Result<Variant> Recordset::MoveFirst(const DispatchArguments&) {
  TRY(TRY(OpenCursor())->MoveFirst());
  return Variant();
}

Result<Variant> Recordset::MoveLast(const DispatchArguments&) {
  TRY(TRY(OpenCursor())->MoveLast());
  return Variant();
}

Result<void> Recordset::MoveToStart(RecordsetCursor& cursor, const VARIANT& start) {
  VARIANT value = PeekValue(start);
  if (value.vt == VT_R8) {  // a Bookmark
    double row = value.dblVal - 1;
    if (row != std::floor(row)) return MakeAdoError(AdoError::InvalidArgument, kSource);
    return cursor.MoveTo(static_cast<int64_t>(row));
  }
  int32_t bookmark = TRY(ToInt32(start));
  switch (bookmark) {
    case adBookmarkCurrent: return {};
    case adBookmarkFirst: return cursor.MoveFirst();
    case adBookmarkLast: return cursor.MoveLast();
    default: return MakeAdoError(AdoError::InvalidArgument, kSource);
  }
}

Result<Variant> Recordset::Move(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  int32_t count = TRY(ToInt32(arguments[0]));
  if (IsPresent(arguments, 1)) TRY(MoveToStart(*cursor, arguments[1]));
  TRY(cursor->Move(count));
  return Variant();
}

Result<Variant> Recordset::GetRows(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  int32_t rows = TRY(OptionalInt32(arguments, 0, -1));
  if (rows < -1) return MakeAdoError(AdoError::InvalidArgument, kSource);
  if (IsPresent(arguments, 1)) TRY(MoveToStart(*cursor, arguments[1]));
  std::vector<size_t> fields = TRY(FieldList(*cursor, arguments, 2));
  return cursor->GetRows(rows, fields);
}

Result<Variant> Recordset::GetString(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  int32_t format = TRY(OptionalInt32(arguments, 0, adClipString));
  int32_t rows = TRY(OptionalInt32(arguments, 1, -1));
  if (format != adClipString || rows < -1) return MakeAdoError(AdoError::InvalidArgument, kSource);
  std::u16string column_delimiter = TRY(OptionalText(arguments, 2, u"\t"));
  std::u16string row_delimiter = TRY(OptionalText(arguments, 3, u"\r"));
  std::u16string null_text = TRY(OptionalText(arguments, 4, u""));
  std::u16string text = TRY(cursor->GetString(rows, column_delimiter, row_delimiter, null_text));
  return Variant::FromString(text);
}

Result<Variant> Recordset::GetRecordCount(const DispatchArguments&) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  return Variant::FromI4(static_cast<int32_t>(cursor->RecordCount()));
}

Result<Variant> Recordset::GetPageSize(const DispatchArguments&) { return Variant::FromI4(page_size_); }

Result<Variant> Recordset::LetPageSize(const DispatchArguments& arguments) {
  int32_t size = TRY(ToInt32(arguments.value()));
  if (size < 1) return MakeAdoError(AdoError::InvalidArgument, kSource);
  page_size_ = size;
  return Variant();
}

Result<Variant> Recordset::GetPageCount(const DispatchArguments&) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  if (!cursor->is_static()) return Variant::FromI4(-1);
  int64_t count = cursor->RecordCount();
  return Variant::FromI4(static_cast<int32_t>((count + page_size_ - 1) / page_size_));
}

Result<Variant> Recordset::GetAbsolutePage(const DispatchArguments&) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  if (!cursor->is_static()) return Variant::FromI4(adPosUnknown);
  if (cursor->bof()) return Variant::FromI4(adPosBOF);
  if (cursor->eof()) return Variant::FromI4(adPosEOF);
  return Variant::FromI4(static_cast<int32_t>(cursor->position() / page_size_ + 1));
}

Result<Variant> Recordset::LetAbsolutePage(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  int32_t page = TRY(ToInt32(arguments.value()));
  if (page < 1) return MakeAdoError(AdoError::InvalidArgument, kSource);
  TRY(cursor->MoveTo(static_cast<int64_t>(page - 1) * page_size_));
  return Variant();
}

Result<Variant> Recordset::GetAbsolutePosition(const DispatchArguments&) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  if (!cursor->is_static()) return Variant::FromI4(adPosUnknown);
  if (cursor->bof()) return Variant::FromI4(adPosBOF);
  if (cursor->eof()) return Variant::FromI4(adPosEOF);
  return Variant::FromI4(static_cast<int32_t>(cursor->position() + 1));
}

Result<Variant> Recordset::LetAbsolutePosition(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  int32_t position = TRY(ToInt32(arguments.value()));
  TRY(cursor->MoveTo(static_cast<int64_t>(position) - 1));
  return Variant();
}

Result<Variant> Recordset::GetBookmark(const DispatchArguments&) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  if (!cursor->is_static()) return MakeAdoError(AdoError::FeatureNotAvailable, kSource);
  if (cursor->bof() || cursor->eof()) return MakeAdoError(AdoError::NoCurrentRecord, kSource);
  return Variant::FromR8(static_cast<double>(cursor->position() + 1));
}

Result<Variant> Recordset::LetBookmark(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  double bookmark = TRY(ToDouble(arguments.value()));
  if (bookmark != std::floor(bookmark)) return MakeAdoError(AdoError::InvalidArgument, kSource);
  TRY(cursor->MoveTo(static_cast<int64_t>(bookmark) - 1));
  return Variant();
}

Result<Variant> Recordset::GetState(const DispatchArguments&) {
  return Variant::FromI4(cursor_ ? adStateOpen : adStateClosed);
}

Result<Variant> Recordset::GetCursorType(const DispatchArguments&) { return Variant::FromI4(cursor_type_); }

Result<Variant> Recordset::LetCursorType(const DispatchArguments& arguments) {
  if (cursor_) return MakeAdoError(AdoError::ObjectOpen, kSource);
  cursor_type_ = TRY(ToInt32(arguments.value()));
  return Variant();
}

Result<Variant> Recordset::GetLockType(const DispatchArguments&) { return Variant::FromI4(lock_type_); }

Result<Variant> Recordset::LetLockType(const DispatchArguments& arguments) {
  if (cursor_) return MakeAdoError(AdoError::ObjectOpen, kSource);
  lock_type_ = TRY(ToInt32(arguments.value()));
  return Variant();
}

Result<Variant> Recordset::GetCursorLocation(const DispatchArguments&) { return Variant::FromI4(cursor_location_); }

Result<Variant> Recordset::LetCursorLocation(const DispatchArguments& arguments) {
  if (cursor_) return MakeAdoError(AdoError::ObjectOpen, kSource);
  cursor_location_ = TRY(ToInt32(arguments.value()));
  // A client cursor is a static one: every row is read when the record set opens.
  if (cursor_location_ == 3) cursor_type_ = adOpenStatic;
  return Variant();
}

Result<Variant> Recordset::GetCacheSize(const DispatchArguments&) { return Variant::FromI4(cache_size_); }

Result<Variant> Recordset::LetCacheSize(const DispatchArguments& arguments) {
  int32_t size = TRY(ToInt32(arguments.value()));
  if (size < 1) return MakeAdoError(AdoError::InvalidArgument, kSource);
  cache_size_ = size;
  return Variant();
}

Result<Variant> Recordset::GetMaxRecords(const DispatchArguments&) { return Variant::FromI4(max_records_); }

Result<Variant> Recordset::LetMaxRecords(const DispatchArguments& arguments) {
  if (cursor_) return MakeAdoError(AdoError::ObjectOpen, kSource);
  int32_t count = TRY(ToInt32(arguments.value()));
  if (count < 0) return MakeAdoError(AdoError::InvalidArgument, kSource);
  max_records_ = count;
  return Variant();
}

Result<Variant> Recordset::GetSource(const DispatchArguments&) { return Variant::FromString(source_); }

Result<Variant> Recordset::LetSource(const DispatchArguments& arguments) {
  if (cursor_) return MakeAdoError(AdoError::ObjectOpen, kSource);
  source_ = TRY(ToBstr(arguments.value())).view();
  return Variant();
}

Result<Variant> Recordset::GetActiveConnection(const DispatchArguments&) {
  if (connection_) return Variant::FromDispatch(connection_.get());
  if (!connection_setting_.IsEmpty()) return connection_setting_;
  return Variant::FromDispatch(nullptr);
}

Result<Variant> Recordset::LetActiveConnection(const DispatchArguments& arguments) {
  if (cursor_) return MakeAdoError(AdoError::ObjectOpen, kSource);
  Variant value;
  if (FAILED(VariantCopyInd(&value, &arguments.value()))) return ErrorNumber::OutOfMemory;
  connection_setting_ = std::move(value);
  connection_.Reset();
  return Variant();
}

Result<Variant> Recordset::GetEditMode(const DispatchArguments&) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  return Variant::FromI4(cursor->edit_mode());
}

Result<Variant> Recordset::AddNew(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  TRY(cursor->AddNew());
  if (!IsPresent(arguments, 0)) return Variant();
  // AddNew FieldList, Values: the fields of the new record in one call, then Update.
  Result<void> assigned = AssignFields(*cursor, arguments);
  if (!assigned.ok()) {
    cursor->CancelUpdate();
    return std::move(assigned).error();
  }
  TRY(cursor->Update());
  return Variant();
}

Result<Variant> Recordset::Update(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  if (IsPresent(arguments, 0)) TRY(AssignFields(*cursor, arguments));
  TRY(cursor->Update());
  return Variant();
}

Result<Variant> Recordset::CancelUpdate(const DispatchArguments&) {
  TRY(OpenCursor())->CancelUpdate();
  return Variant();
}

Result<Variant> Recordset::Delete(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  int32_t affect = TRY(OptionalInt32(arguments, 0, 1));  // adAffectCurrent
  if (affect != 1) return MakeAdoError(AdoError::InvalidArgument, kSource);
  TRY(cursor->Delete());
  return Variant();
}

Result<Variant> Recordset::NextRecordset(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  std::shared_ptr<RecordsetCursor> next = TRY(cursor->NextResult());
  cursor_.reset();
  fields_.Reset();
  if (!next) return Variant::FromDispatch(nullptr);
  ComPtr<Recordset> recordset = MakeObject<Recordset>();
  recordset->connection_ = connection_;
  recordset->source_ = source_;
  TRY(recordset->Attach(std::move(next)));
  return Variant::FromDispatch(recordset.get());
}

Result<Variant> Recordset::Requery(const DispatchArguments&) {
  TRY(TRY(OpenCursor())->Requery());
  return Variant();
}

Result<Variant> Recordset::Supports(const DispatchArguments& arguments) {
  RecordsetCursor* cursor = TRY(OpenCursor());
  int32_t wanted = TRY(ToInt32(arguments[0]));
  int32_t offered = 0;
  if (cursor->is_static()) offered |= adMovePrevious | adBookmark | adApproxPosition | adHoldRecords;
  if (cursor->updatable()) offered |= adAddNew | adUpdate | adDelete;
  return Variant::FromBool((wanted & offered) == wanted);
}

// ---------------------------------------------------------------------------------------------
// Fields

FieldCollection::FieldCollection(std::shared_ptr<RecordsetCursor> cursor)
    : cursor_(std::move(cursor)), fields_(cursor_->columns().size()) {}

std::span<const DispatchMember<FieldCollection>> FieldCollection::Members() {
  static constexpr DispatchMember<FieldCollection> kMembers[] = {
      {u"Item", DISPID_VALUE, kPropertyGet | kMethod, 1, 1, &FieldCollection::Item, u"Index"},
      {u"Count", 1, kPropertyGet, 0, 0, &FieldCollection::Count},
      {u"Refresh", 2, kMethod, 0, 0, &FieldCollection::Refresh},
      {u"_NewEnum", DISPID_NEWENUM, kMethod | kPropertyGet, 0, 0, &FieldCollection::NewEnum},
  };
  return kMembers;
}

Result<size_t> FieldCollection::ColumnIndex(const RecordsetCursor& cursor, const VARIANT& index) {
  VARIANT value = PeekValue(index);
  const std::vector<ColumnInfo>& columns = cursor.columns();
  if (value.vt == VT_BSTR) {
    std::optional<size_t> found = cursor.FindColumn(BstrView(value.bstrVal));
    if (!found) return MakeAdoError(AdoError::ItemNotFound, kSource);
    return *found;
  }
  Result<int32_t> number = ToInt32(value);
  if (!number.ok() || number.value() < 0 || static_cast<size_t>(number.value()) >= columns.size()) {
    return MakeAdoError(AdoError::ItemNotFound, kSource);
  }
  return static_cast<size_t>(number.value());
}

Result<ComPtr<IDispatch>> FieldCollection::FieldAt(size_t column) {
  if (!fields_[column]) fields_[column] = ComPtr<IDispatch>(MakeObject<Field>(cursor_, column).get());
  return fields_[column];
}

Result<Variant> FieldCollection::Count(const DispatchArguments&) {
  return Variant::FromI4(static_cast<int32_t>(cursor_->columns().size()));
}

Result<Variant> FieldCollection::Item(const DispatchArguments& arguments) {
  size_t column = TRY(ColumnIndex(*cursor_, arguments[0]));
  ComPtr<IDispatch> field = TRY(FieldAt(column));
  return Variant::FromDispatch(field.get());
}

// The columns are fixed while the record set is open, as on the platform.
Result<Variant> FieldCollection::Refresh(const DispatchArguments&) { return Variant(); }

Result<Variant> FieldCollection::NewEnum(const DispatchArguments&) {
  std::vector<Variant> items;
  for (size_t column = 0; column < fields_.size(); ++column) {
    ComPtr<IDispatch> field = TRY(FieldAt(column));
    items.push_back(Variant::FromDispatch(field.get()));
  }
  return EnumeratorVariant(std::move(items));
}

// ---------------------------------------------------------------------------------------------
// Field

std::span<const DispatchMember<Field>> Field::Members() {
  static constexpr DispatchMember<Field> kMembers[] = {
      {u"Value", DISPID_VALUE, kPropertyGet, 0, 0, &Field::Value},
      {u"Value", DISPID_VALUE, kPropertyPut, 0, 0, &Field::LetValue},
      {u"Name", 1, kPropertyGet, 0, 0, &Field::Name},
      {u"Type", 2, kPropertyGet, 0, 0, &Field::Type},
      {u"DefinedSize", 3, kPropertyGet, 0, 0, &Field::DefinedSize},
      {u"ActualSize", 4, kPropertyGet, 0, 0, &Field::ActualSize},
      {u"Precision", 5, kPropertyGet, 0, 0, &Field::Precision},
      {u"NumericScale", 6, kPropertyGet, 0, 0, &Field::NumericScale},
      {u"Attributes", 7, kPropertyGet, 0, 0, &Field::Attributes},
      {u"OriginalValue", 8, kPropertyGet, 0, 0, &Field::OriginalValue},
      {u"UnderlyingValue", 9, kPropertyGet, 0, 0, &Field::OriginalValue},
      {u"GetChunk", 10, kMethod, 1, 1, &Field::GetChunk, u"Length"},
  };
  return kMembers;
}

Result<Variant> Field::Value(const DispatchArguments&) { return cursor_->Value(column_); }

Result<Variant> Field::LetValue(const DispatchArguments& arguments) {
  TRY(cursor_->SetValue(column_, arguments.value()));
  return Variant();
}

Result<Variant> Field::OriginalValue(const DispatchArguments&) { return cursor_->OriginalValue(column_); }
Result<Variant> Field::Name(const DispatchArguments&) { return Variant::FromString(info().name); }
Result<Variant> Field::Type(const DispatchArguments&) { return Variant::FromI4(info().ado_type); }
Result<Variant> Field::DefinedSize(const DispatchArguments&) { return Variant::FromI4(info().defined_size); }
Result<Variant> Field::Precision(const DispatchArguments&) { return Variant::FromByte(info().precision); }
Result<Variant> Field::NumericScale(const DispatchArguments&) { return Variant::FromByte(info().scale); }
Result<Variant> Field::Attributes(const DispatchArguments&) { return Variant::FromI4(info().attributes); }

Result<Variant> Field::ActualSize(const DispatchArguments&) {
  Variant value = TRY(cursor_->Value(column_));
  if (value.IsNull()) return Variant::FromI4(-1);  // adFldNull
  if (value.vt == VT_BSTR) return Variant::FromI4(static_cast<int32_t>(SysStringLen(value.bstrVal)));
  if (value.vt == (VT_ARRAY | VT_UI1)) {
    return Variant::FromI4(static_cast<int32_t>(SafeArrayElementCount(value.parray)));
  }
  return Variant::FromI4(info().defined_size);
}

Result<Variant> Field::GetChunk(const DispatchArguments& arguments) {
  if ((info().attributes & adFldLong) == 0) return MakeAdoError(AdoError::IllegalOperation, u"ADODB.Field");
  int32_t length = TRY(ToInt32(arguments[0]));
  if (length < 0) return MakeAdoError(AdoError::InvalidArgument, u"ADODB.Field");
  Variant value = TRY(cursor_->Value(column_));
  if (value.IsNull()) return Variant::Null();
  if (value.vt == VT_BSTR) {
    std::u16string_view text = BstrView(value.bstrVal);
    if (chunk_offset_ >= text.size()) return Variant::Null();
    std::u16string_view piece = text.substr(chunk_offset_, static_cast<size_t>(length));
    chunk_offset_ += piece.size();
    return Variant::FromString(piece);
  }
  size_t total = SafeArrayElementCount(value.parray);
  if (chunk_offset_ >= total) return Variant::Null();
  uint32_t count = static_cast<uint32_t>(std::min<size_t>(total - chunk_offset_, static_cast<size_t>(length)));
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, count);
  if (array == nullptr) return ErrorNumber::OutOfMemory;
  const uint8_t* bytes = static_cast<const uint8_t*>(value.parray->pvData) + chunk_offset_;
  std::copy(bytes, bytes + count, static_cast<uint8_t*>(array->pvData));
  chunk_offset_ += count;
  return Variant::FromArray(VT_UI1, array);
}
