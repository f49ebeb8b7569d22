#include "platform/ado/recordset_cursor.h"

#include <algorithm>

#include "platform/automation/conversion.h"
#include "platform/automation/safearray.h"
#include "platform/automation/text_case.h"

namespace {

constexpr std::u16string_view kSource = u"ADODB.Recordset";

Error CannotFetchBackwards() {
  return Error::FromHresult(kDbCannotFetchBackwards, u"Rowset does not support fetching backward.",
                            std::u16string(kProviderSource));
}

Error TooManyBufferedRows() {
  return Error::FromHresult(
      E_OUTOFMEMORY,
      u"The result is larger than 512 MiB; read it with a forward-only cursor or fewer rows.",
      std::u16string(kSource));
}

size_t CellBytes(const VARIANT& value) {
  size_t bytes = sizeof(VARIANT);
  if (value.vt == VT_BSTR) bytes += SysStringLen(value.bstrVal) * sizeof(char16_t);
  if (value.vt == (VT_ARRAY | VT_UI1) && value.parray != nullptr) bytes += SafeArrayElementCount(value.parray);
  return bytes;
}

std::u16string QuoteIdentifier(std::u16string_view name) {
  std::u16string quoted = u"\"";
  for (char16_t c : name) {
    quoted += c;
    if (c == u'"') quoted += u'"';
  }
  return quoted + u"\"";
}

// A column whose values can find their row again by equality.
bool IsComparable(const ColumnInfo& column) {
  return column.fetch != FetchKind::Binary && column.fetch != FetchKind::Single &&
         (column.attributes & adFldLong) == 0;
}

}  // namespace

RecordsetCursor::RecordsetCursor(std::unique_ptr<OdbcStatement> statement, int32_t cursor_type,
                                 int32_t lock_type, std::u16string table, int32_t max_records)
    : statement_(std::move(statement)),
      columns_(statement_->columns()),
      cursor_type_(cursor_type == adOpenUnspecified ? adOpenForwardOnly : cursor_type),
      lock_type_(lock_type == adLockUnspecified ? adLockReadOnly : lock_type),
      table_(std::move(table)),
      max_records_(std::max(max_records, 0)) {
  if (cursor_type_ == adOpenKeyset || cursor_type_ == adOpenDynamic) cursor_type_ = adOpenStatic;
  for (const ColumnInfo& column : columns_) upper_names_.push_back(ToUpper(column.name));
}

std::optional<size_t> RecordsetCursor::FindColumn(std::u16string_view name) const {
  // Pages name fields on every row: the names are upper-cased once, and the wanted name only
  // when no column matches it exactly.
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i].name == name) return i;
  }
  std::u16string wanted = ToUpper(name);
  for (size_t i = 0; i < upper_names_.size(); ++i) {
    if (upper_names_[i] == wanted) return i;
  }
  return std::nullopt;
}

Result<std::shared_ptr<RecordsetCursor>> RecordsetCursor::Open(
    std::unique_ptr<OdbcStatement> statement, int32_t cursor_type, int32_t lock_type,
    std::u16string table, int32_t max_records) {
  std::shared_ptr<RecordsetCursor> cursor(new RecordsetCursor(
      std::move(statement), cursor_type, lock_type, std::move(table), max_records));
  TRY(cursor->LoadRows());
  return cursor;
}

Result<bool> RecordsetCursor::FetchInto(std::vector<Variant>& cells) {
  if (max_records_ > 0 && fetched_ >= max_records_) return false;
  size_t before = cells.size();
  bool fetched = TRY(statement_->FetchRow(cells));
  if (fetched) ++fetched_;
  for (size_t i = before; i < cells.size(); ++i) buffered_bytes_ += CellBytes(cells[i]);
  if (buffered_bytes_ > kMaxBufferedBytes) return TooManyBufferedRows();
  return fetched;
}

Result<void> RecordsetCursor::LoadRows() {
  cells_.clear();
  rows_ = 0;
  position_ = 0;
  buffered_bytes_ = 0;
  fetched_ = 0;
  exhausted_ = false;
  current_deleted_ = false;
  if (!is_static()) {
    rows_ = TRY(FetchInto(cells_)) ? 1 : 0;
    exhausted_ = rows_ == 0;
    return {};
  }
  while (TRY(FetchInto(cells_))) ++rows_;
  exhausted_ = true;
  return {};
}

bool RecordsetCursor::bof() const {
  if (rows_ == 0) return is_static() || position_ == 0;
  return is_static() && position_ < 0;
}

bool RecordsetCursor::eof() const {
  if (edit_mode_ == adEditAdd) return false;
  if (!is_static()) return rows_ == 0;
  return rows_ == 0 || position_ >= rows_;
}

int64_t RecordsetCursor::RecordCount() const { return is_static() ? rows_ : -1; }

const Variant* RecordsetCursor::CurrentRow() const {
  if (!is_static()) return cells_.data();
  return cells_.data() + position_ * static_cast<int64_t>(columns_.size());
}

Result<void> RecordsetCursor::RequireRecord() const {
  if (current_deleted_ || bof() || eof()) return MakeAdoError(AdoError::NoCurrentRecord, kSource);
  return {};
}

Result<Variant> RecordsetCursor::Value(size_t column) const {
  if (column >= columns_.size()) return MakeAdoError(AdoError::ItemNotFound, kSource);
  if (edit_mode_ != adEditNone && pending_[column]) return *pending_[column];
  if (edit_mode_ == adEditAdd) return Variant();
  TRY(RequireRecord());
  return CurrentRow()[column];
}

Result<Variant> RecordsetCursor::OriginalValue(size_t column) const {
  if (column >= columns_.size()) return MakeAdoError(AdoError::ItemNotFound, kSource);
  if (edit_mode_ == adEditAdd) return Variant();
  TRY(RequireRecord());
  return CurrentRow()[column];
}

Result<void> RecordsetCursor::MoveNext() {
  TRY(FinishEdit());
  if (current_deleted_) {
    current_deleted_ = false;
    return {};
  }
  if (eof()) return MakeAdoError(AdoError::NoCurrentRecord, kSource);
  ++position_;
  if (is_static()) return {};
  cells_.clear();
  buffered_bytes_ = 0;
  rows_ = TRY(FetchInto(cells_)) ? 1 : 0;
  exhausted_ = rows_ == 0;
  return {};
}

Result<void> RecordsetCursor::MovePrevious() {
  if (!is_static()) return CannotFetchBackwards();
  TRY(FinishEdit());
  current_deleted_ = false;
  if (bof()) return MakeAdoError(AdoError::NoCurrentRecord, kSource);
  --position_;
  return {};
}

Result<void> RecordsetCursor::MoveFirst() {
  TRY(FinishEdit());
  current_deleted_ = false;
  if (!is_static()) {
    if (position_ == 0) return {};
    return Requery();
  }
  if (rows_ == 0) return MakeAdoError(AdoError::NoCurrentRecord, kSource);
  position_ = 0;
  return {};
}

Result<void> RecordsetCursor::MoveLast() {
  if (!is_static()) return CannotFetchBackwards();
  TRY(FinishEdit());
  current_deleted_ = false;
  if (rows_ == 0) return MakeAdoError(AdoError::NoCurrentRecord, kSource);
  position_ = rows_ - 1;
  return {};
}

Result<void> RecordsetCursor::Move(int64_t count) {
  if (count == 0) return RequireRecord();
  if (!is_static()) {
    if (count < 0) return CannotFetchBackwards();
    for (int64_t i = 0; i < count && !eof(); ++i) TRY(MoveNext());
    return {};
  }
  TRY(FinishEdit());
  if ((count > 0 && eof()) || (count < 0 && bof())) return MakeAdoError(AdoError::NoCurrentRecord, kSource);
  current_deleted_ = false;
  position_ = std::clamp<int64_t>(position_ + count, -1, rows_);
  return {};
}

Result<void> RecordsetCursor::MoveTo(int64_t row) {
  if (!is_static()) return CannotFetchBackwards();
  if (row < 0 || row >= rows_) return MakeAdoError(AdoError::InvalidArgument, kSource);
  TRY(FinishEdit());
  current_deleted_ = false;
  position_ = row;
  return {};
}

Result<Variant> RecordsetCursor::GetRows(int64_t rows, const std::vector<size_t>& fields) {
  TRY(FinishEdit());
  TRY(RequireRecord());
  std::vector<Variant> taken;
  int64_t count = 0;
  if (is_static()) {
    int64_t available = rows_ - position_;
    count = rows < 0 ? available : std::min(rows, available);
    taken.reserve(static_cast<size_t>(count) * fields.size());
    for (int64_t row = 0; row < count; ++row) {
      const Variant* cells = CurrentRow() + row * static_cast<int64_t>(columns_.size());
      for (size_t field : fields) taken.push_back(cells[field]);
    }
    position_ += count;
  } else {
    size_t budget = 0;
    while (rows_ != 0 && (rows < 0 || count < rows)) {
      for (size_t field : fields) {
        budget += CellBytes(cells_[field]);
        taken.push_back(std::move(cells_[field]));
      }
      if (budget > kMaxBufferedBytes) return TooManyBufferedRows();
      ++count;
      TRY(MoveNext());
    }
  }
  SAFEARRAYBOUND bounds[2] = {{static_cast<uint32_t>(fields.size()), 0},
                              {static_cast<uint32_t>(count), 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  if (array == nullptr) return ErrorNumber::OutOfMemory;
  VARIANT* elements = static_cast<VARIANT*>(array->pvData);
  for (size_t i = 0; i < taken.size(); ++i) elements[i] = taken[i].Detach();
  return Variant::FromArray(VT_VARIANT, array);
}

Result<std::u16string> RecordsetCursor::GetString(int64_t rows,
                                                  std::u16string_view column_delimiter,
                                                  std::u16string_view row_delimiter,
                                                  std::u16string_view null_text) {
  TRY(FinishEdit());
  TRY(RequireRecord());
  std::u16string text;
  for (int64_t count = 0; !eof() && (rows < 0 || count < rows); ++count) {
    const Variant* cells = CurrentRow();
    for (size_t column = 0; column < columns_.size(); ++column) {
      if (column > 0) text += column_delimiter;
      if (cells[column].IsNull()) {
        text += null_text;
        continue;
      }
      Bstr value = TRY(ToBstr(cells[column]));
      text += value.view();
    }
    text += row_delimiter;
    if (text.size() * sizeof(char16_t) > kMaxBufferedBytes) return TooManyBufferedRows();
    TRY(MoveNext());
  }
  return text;
}

Result<std::shared_ptr<RecordsetCursor>> RecordsetCursor::NextResult() {
  if (!statement_) return std::shared_ptr<RecordsetCursor>();
  if (!TRY(statement_->NextResult())) return std::shared_ptr<RecordsetCursor>();
  return Open(std::move(statement_), cursor_type_, lock_type_, u"");
}

Result<void> RecordsetCursor::Requery() {
  if (!statement_) return MakeAdoError(AdoError::ObjectClosed, kSource);
  edit_mode_ = adEditNone;
  statement_->CloseCursor();
  TRY(statement_->Execute());
  return LoadRows();
}

// ---------------------------------------------------------------------------------------------
// Edits

bool RecordsetCursor::updatable() const {
  return is_static() && lock_type_ != adLockReadOnly && !table_.empty() && statement_;
}

Result<void> RecordsetCursor::AddNew() {
  if (!updatable()) return MakeAdoError(AdoError::FeatureNotAvailable, kSource);
  TRY(FinishEdit());
  current_deleted_ = false;
  edit_mode_ = adEditAdd;
  pending_.assign(columns_.size(), std::nullopt);
  return {};
}

Result<void> RecordsetCursor::SetValue(size_t column, const VARIANT& value) {
  if (column >= columns_.size()) return MakeAdoError(AdoError::ItemNotFound, kSource);
  if (!updatable()) return MakeAdoError(AdoError::FeatureNotAvailable, kSource);
  if (edit_mode_ == adEditNone) {
    TRY(RequireRecord());
    edit_mode_ = adEditInProgress;
    pending_.assign(columns_.size(), std::nullopt);
  }
  Variant copy;
  if (FAILED(VariantCopyInd(&copy, &value))) return ErrorNumber::OutOfMemory;
  pending_[column] = std::move(copy);
  return {};
}

void RecordsetCursor::CancelUpdate() {
  edit_mode_ = adEditNone;
  pending_.clear();
}

Result<void> RecordsetCursor::FinishEdit() {
  if (edit_mode_ == adEditNone) return {};
  return Update();
}

Result<void> RecordsetCursor::RunEdit(const std::u16string& sql, std::vector<Variant> values) {
  std::unique_ptr<OdbcStatement> statement = TRY(OdbcStatement::Create(statement_->connection()));
  TRY(statement->Prepare(sql));
  TRY(statement->BindParameters(values, {}, {}));
  TRY(statement->Execute());
  if (statement->rows_affected() != 1) {
    return Error::FromHresult(kDbRowNotFound,
                              u"Row cannot be located for updating. Some values may have been "
                              u"changed since it was last read.",
                              std::u16string(kProviderSource));
  }
  return {};
}

void RecordsetCursor::AppendRowCondition(std::u16string& sql, std::vector<Variant>& values) const {
  const Variant* cells = CurrentRow();
  bool first = true;
  for (size_t column = 0; column < columns_.size(); ++column) {
    if (!IsComparable(columns_[column])) continue;
    sql += first ? u" WHERE " : u" AND ";
    first = false;
    sql += QuoteIdentifier(columns_[column].name);
    if (cells[column].IsNull()) {
      sql += u" IS NULL";
      continue;
    }
    sql += u" = ?";
    values.push_back(cells[column]);
  }
}

Result<void> RecordsetCursor::Update() {
  if (edit_mode_ == adEditNone) return {};
  std::vector<Variant> values;
  std::u16string sql;
  if (edit_mode_ == adEditAdd) {
    std::u16string names, markers;
    for (size_t column = 0; column < columns_.size(); ++column) {
      if (!pending_[column]) continue;
      names += (names.empty() ? u"" : u", ") + QuoteIdentifier(columns_[column].name);
      markers += markers.empty() ? u"?" : u", ?";
      values.push_back(*pending_[column]);
    }
    sql = u"INSERT INTO " + table_ +
          (names.empty() ? u" DEFAULT VALUES" : u" (" + names + u") VALUES (" + markers + u")");
  } else {
    std::u16string assignments;
    for (size_t column = 0; column < columns_.size(); ++column) {
      if (!pending_[column]) continue;
      assignments += (assignments.empty() ? u"" : u", ") + QuoteIdentifier(columns_[column].name) + u" = ?";
      values.push_back(*pending_[column]);
    }
    sql = u"UPDATE " + table_ + u" SET " + assignments;
    AppendRowCondition(sql, values);
  }
  TRY(RunEdit(sql, std::move(values)));
  // The buffered row takes the values written.
  size_t width = columns_.size();
  if (edit_mode_ == adEditAdd) {
    for (size_t column = 0; column < width; ++column) {
      cells_.push_back(pending_[column] ? *pending_[column] : Variant::Null());
    }
    position_ = rows_++;
  } else {
    Variant* cells = cells_.data() + position_ * static_cast<int64_t>(width);
    for (size_t column = 0; column < width; ++column) {
      if (pending_[column]) cells[column] = *pending_[column];
    }
  }
  CancelUpdate();
  return {};
}

Result<void> RecordsetCursor::Delete() {
  if (!updatable()) return MakeAdoError(AdoError::FeatureNotAvailable, kSource);
  if (edit_mode_ == adEditAdd) {
    CancelUpdate();
    return {};
  }
  CancelUpdate();
  TRY(RequireRecord());
  std::vector<Variant> values;
  std::u16string sql = u"DELETE FROM " + table_;
  AppendRowCondition(sql, values);
  TRY(RunEdit(sql, std::move(values)));
  auto first = cells_.begin() + position_ * static_cast<int64_t>(columns_.size());
  cells_.erase(first, first + static_cast<int64_t>(columns_.size()));
  --rows_;
  current_deleted_ = true;
  return {};
}
