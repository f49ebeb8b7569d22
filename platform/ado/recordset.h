#pragma once
// ADODB.Recordset with its Fields collection and Field objects, over a RecordsetCursor.
//
// rs("name") and rs(0) read the default member, Fields, with an index: the Field, whose default
// member is its Value. GetRows(Rows, Start, Fields) returns a [field, row] array and moves past
// the rows read; Start takes adBookmarkCurrent (0), adBookmarkFirst (1), adBookmarkLast (2) or a
// Bookmark of a static cursor. Paging (PageSize, PageCount, AbsolutePage) and positions
// (AbsolutePosition, Bookmark) need a static cursor; forward-only ones report -1.

#include <memory>
#include <string>

#include "platform/ado/recordset_cursor.h"
#include "platform/com/dispatch_object.h"

class Connection;

class Recordset : public DispatchObject<Recordset> {
 public:
  static std::span<const DispatchMember<Recordset>> Members();
  std::u16string_view TypeName() override { return u"Recordset"; }

  /// A Recordset over an executed statement: open when the statement returned rows, closed
  /// otherwise. `connection` is the Connection object it reports as ActiveConnection.
  static Result<ComPtr<Recordset>> FromStatement(std::unique_ptr<OdbcStatement> statement,
                                                 int32_t cursor_type, int32_t lock_type,
                                                 std::u16string source, std::u16string table,
                                                 ComPtr<IDispatch> connection);

 private:
  std::u16string_view ErrorSource() const override { return u"ADODB.Recordset"; }
  void* QueryOtherInterface(REFIID iid) override;
  Result<RecordsetCursor*> OpenCursor() const;
  Result<void> Attach(std::shared_ptr<RecordsetCursor> cursor);

  Result<Variant> Open(const DispatchArguments& arguments);
  Result<Variant> Close(const DispatchArguments& arguments);
  Result<Variant> GetFields(const DispatchArguments& arguments);
  Result<Variant> LetFieldValue(const DispatchArguments& arguments);
  Result<Variant> Collect(const DispatchArguments& arguments);
  Result<Variant> LetCollect(const DispatchArguments& arguments);
  Result<Variant> GetEof(const DispatchArguments& arguments);
  Result<Variant> GetBof(const DispatchArguments& arguments);
  Result<Variant> MoveNext(const DispatchArguments& arguments);
  Result<Variant> MovePrevious(const DispatchArguments& arguments);
  Result<Variant> MoveFirst(const DispatchArguments& arguments);
  Result<Variant> MoveLast(const DispatchArguments& arguments);
  Result<Variant> Move(const DispatchArguments& arguments);
  Result<Variant> GetRows(const DispatchArguments& arguments);
  Result<Variant> GetString(const DispatchArguments& arguments);
  Result<Variant> GetRecordCount(const DispatchArguments& arguments);
  Result<Variant> GetPageSize(const DispatchArguments& arguments);
  Result<Variant> LetPageSize(const DispatchArguments& arguments);
  Result<Variant> GetPageCount(const DispatchArguments& arguments);
  Result<Variant> GetAbsolutePage(const DispatchArguments& arguments);
  Result<Variant> LetAbsolutePage(const DispatchArguments& arguments);
  Result<Variant> GetAbsolutePosition(const DispatchArguments& arguments);
  Result<Variant> LetAbsolutePosition(const DispatchArguments& arguments);
  Result<Variant> GetBookmark(const DispatchArguments& arguments);
  Result<Variant> LetBookmark(const DispatchArguments& arguments);
  Result<Variant> GetState(const DispatchArguments& arguments);
  Result<Variant> GetCursorType(const DispatchArguments& arguments);
  Result<Variant> LetCursorType(const DispatchArguments& arguments);
  Result<Variant> GetLockType(const DispatchArguments& arguments);
  Result<Variant> LetLockType(const DispatchArguments& arguments);
  Result<Variant> GetCursorLocation(const DispatchArguments& arguments);
  Result<Variant> LetCursorLocation(const DispatchArguments& arguments);
  Result<Variant> GetCacheSize(const DispatchArguments& arguments);
  Result<Variant> LetCacheSize(const DispatchArguments& arguments);
  Result<Variant> GetMaxRecords(const DispatchArguments& arguments);
  Result<Variant> LetMaxRecords(const DispatchArguments& arguments);
  Result<Variant> GetSource(const DispatchArguments& arguments);
  Result<Variant> LetSource(const DispatchArguments& arguments);
  Result<Variant> GetActiveConnection(const DispatchArguments& arguments);
  Result<Variant> LetActiveConnection(const DispatchArguments& arguments);
  Result<Variant> GetEditMode(const DispatchArguments& arguments);
  Result<Variant> AddNew(const DispatchArguments& arguments);
  Result<Variant> Update(const DispatchArguments& arguments);
  Result<Variant> CancelUpdate(const DispatchArguments& arguments);
  Result<Variant> Delete(const DispatchArguments& arguments);
  Result<Variant> NextRecordset(const DispatchArguments& arguments);
  Result<Variant> Requery(const DispatchArguments& arguments);
  Result<Variant> Supports(const DispatchArguments& arguments);

  // Moves to the record a Start argument names.
  Result<void> MoveToStart(RecordsetCursor& cursor, const VARIANT& start);

  std::shared_ptr<RecordsetCursor> cursor_;
  ComPtr<IDispatch> fields_;
  ComPtr<IDispatch> connection_;       // the Connection object, when known
  Variant connection_setting_;          // what ActiveConnection was set to before Open
  std::u16string source_;
  int32_t cursor_type_ = 0;             // adOpenForwardOnly
  int32_t lock_type_ = 1;               // adLockReadOnly
  int32_t cursor_location_ = 2;         // adUseServer
  int32_t page_size_ = 10;
  int32_t cache_size_ = 1;
  int32_t max_records_ = 0;
};

/// The columns of a record set.
class FieldCollection : public DispatchObject<FieldCollection> {
 public:
  explicit FieldCollection(std::shared_ptr<RecordsetCursor> cursor);
  static std::span<const DispatchMember<FieldCollection>> Members();
  std::u16string_view TypeName() override { return u"Fields"; }

  /// The column an index names (a number from 0, or a name ignoring case); ItemNotFound (3265).
  static Result<size_t> ColumnIndex(const RecordsetCursor& cursor, const VARIANT& index);
  Result<ComPtr<IDispatch>> FieldAt(size_t column);

 private:
  std::u16string_view ErrorSource() const override { return u"ADODB.Fields"; }
  Result<Variant> Count(const DispatchArguments& arguments);
  Result<Variant> Item(const DispatchArguments& arguments);
  Result<Variant> Refresh(const DispatchArguments& arguments);
  Result<Variant> NewEnum(const DispatchArguments& arguments);

  std::shared_ptr<RecordsetCursor> cursor_;
  std::vector<ComPtr<IDispatch>> fields_;  // made on first use
};

/// One column of the current record.
class Field : public DispatchObject<Field> {
 public:
  Field(std::shared_ptr<RecordsetCursor> cursor, size_t column)
      : cursor_(std::move(cursor)), column_(column) {}
  static std::span<const DispatchMember<Field>> Members();
  std::u16string_view TypeName() override { return u"Field"; }

 private:
  std::u16string_view ErrorSource() const override { return u"ADODB.Field"; }
  const ColumnInfo& info() const { return cursor_->columns()[column_]; }
  Result<Variant> Value(const DispatchArguments& arguments);
  Result<Variant> LetValue(const DispatchArguments& arguments);
  Result<Variant> OriginalValue(const DispatchArguments& arguments);
  Result<Variant> Name(const DispatchArguments& arguments);
  Result<Variant> Type(const DispatchArguments& arguments);
  Result<Variant> DefinedSize(const DispatchArguments& arguments);
  Result<Variant> ActualSize(const DispatchArguments& arguments);
  Result<Variant> Precision(const DispatchArguments& arguments);
  Result<Variant> NumericScale(const DispatchArguments& arguments);
  Result<Variant> Attributes(const DispatchArguments& arguments);
  Result<Variant> GetChunk(const DispatchArguments& arguments);

  std::shared_ptr<RecordsetCursor> cursor_;
  size_t column_;
  size_t chunk_offset_ = 0;
};
