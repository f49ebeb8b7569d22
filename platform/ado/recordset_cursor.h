#pragma once
// The rows of an open record set and the position in them, apart from the script objects
// (Recordset, Fields and Field share one cursor).
//
// - Forward-only cursors keep the current row only and fetch as they move; RecordCount is -1;
//   moving back fails with "Rowset does not support fetching backward"; MoveFirst runs the
//   statement again.
// - Static cursors (keyset and dynamic ones too: they are served as static) read every row when
//   they open, at most kMaxBufferedBytes of values; past that the open fails and names the
//   forward-only cursor as the way to read such a result.
// - BOF and EOF are both true for an empty result. Operations that need a record raise 3021.
// - Edits (AddNew, a Field's Value put, Update, CancelUpdate, Delete) need a static cursor with a
//   lock type other than read-only and a source that reads one table (a table name, or
//   "SELECT ... FROM table" without joins); they run as INSERT, UPDATE and DELETE with every
//   value a bound parameter, the row found by all its original values.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ado/odbc_session.h"

enum AdoCursorType : int32_t {
  adOpenUnspecified = -1, adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2,
  adOpenStatic = 3,
};
enum AdoLockType : int32_t {
  adLockUnspecified = -1, adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3,
  adLockBatchOptimistic = 4,
};
enum AdoEditMode : int32_t { adEditNone = 0, adEditInProgress = 1, adEditAdd = 2 };
enum AdoPosition : int32_t { adPosUnknown = -1, adPosBOF = -2, adPosEOF = -3 };

/// Values of static cursors past this many bytes make the open fail.
inline constexpr size_t kMaxBufferedBytes = size_t{512} << 20;

class RecordsetCursor {
 public:
  /// Reads the first row (forward-only) or every row (static) of the statement's result.
  /// `max_records` above 0 ends the rows there (MaxRecords).
  static Result<std::shared_ptr<RecordsetCursor>> Open(std::unique_ptr<OdbcStatement> statement,
                                                       int32_t cursor_type, int32_t lock_type,
                                                       std::u16string table,
                                                       int32_t max_records = 0);

  const std::vector<ColumnInfo>& columns() const { return columns_; }
  /// The column of a name, ignoring case; none when no column has it.
  std::optional<size_t> FindColumn(std::u16string_view name) const;
  int32_t cursor_type() const { return cursor_type_; }
  int32_t lock_type() const { return lock_type_; }
  bool is_static() const { return cursor_type_ != adOpenForwardOnly; }
  bool bof() const;
  bool eof() const;
  /// Rows of a static cursor; -1 for forward-only.
  int64_t RecordCount() const;
  /// The 0-based position of the current row in a static cursor (may be -1 or the count).
  int64_t position() const { return position_; }

  /// The value of a column of the current record (the pending value while editing).
  Result<Variant> Value(size_t column) const;
  /// The value the record had when read (Field.OriginalValue).
  Result<Variant> OriginalValue(size_t column) const;

  Result<void> MoveNext();
  Result<void> MovePrevious();
  Result<void> MoveFirst();
  Result<void> MoveLast();
  /// Moves `count` records from the current one (from the first or last for `start` 1 / 2).
  Result<void> Move(int64_t count);
  /// Positions a static cursor on a 0-based row; InvalidArgument (3001) outside the rows.
  Result<void> MoveTo(int64_t row);

  /// The next `rows` records (-1: all that are left) as a [fields, rows] array of `fields`
  /// (column indices), moving past them.
  Result<Variant> GetRows(int64_t rows, const std::vector<size_t>& fields);
  /// The next `rows` records as text: columns between `column_delimiter`, each row followed by
  /// `row_delimiter`, Null as `null_text`.
  Result<std::u16string> GetString(int64_t rows, std::u16string_view column_delimiter,
                                   std::u16string_view row_delimiter,
                                   std::u16string_view null_text);

  /// The statement's next result as a cursor of the same kind; null when there is none.
  Result<std::shared_ptr<RecordsetCursor>> NextResult();
  /// Runs the statement again and reads its first rows.
  Result<void> Requery();

  int32_t edit_mode() const { return edit_mode_; }
  Result<void> AddNew();
  Result<void> SetValue(size_t column, const VARIANT& value);
  Result<void> Update();
  void CancelUpdate();
  Result<void> Delete();
  bool updatable() const;

 private:
  RecordsetCursor(std::unique_ptr<OdbcStatement> statement, int32_t cursor_type,
                  int32_t lock_type, std::u16string table, int32_t max_records);
  Result<void> LoadRows();
  Result<bool> FetchInto(std::vector<Variant>& cells);
  const Variant* CurrentRow() const;
  Result<void> RequireRecord() const;
  Result<void> FinishEdit();
  Result<void> RunEdit(const std::u16string& sql, std::vector<Variant> values);
  // Appends "column = ?" conditions on the original values to `sql` and `values`.
  void AppendRowCondition(std::u16string& sql, std::vector<Variant>& values) const;

  std::unique_ptr<OdbcStatement> statement_;
  std::vector<ColumnInfo> columns_;
  std::vector<std::u16string> upper_names_;  // for FindColumn
  int32_t cursor_type_;
  int32_t lock_type_;
  std::u16string table_;
  int64_t max_records_;      // 0: all rows
  int64_t fetched_ = 0;      // rows read from the statement
  // Static: every row; forward-only: the current row only.
  std::vector<Variant> cells_;
  int64_t rows_ = 0;
  int64_t position_ = 0;     // static: current row; forward-only: rows moved past
  bool exhausted_ = false;   // forward-only: the statement has no more rows
  size_t buffered_bytes_ = 0;
  bool current_deleted_ = false;
  int32_t edit_mode_ = adEditNone;
  std::vector<std::optional<Variant>> pending_;
};
