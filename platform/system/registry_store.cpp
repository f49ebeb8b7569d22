#include "platform/system/registry_store_internal.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <atomic>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/system/code_page.h"

namespace registry_internal {
namespace {

// Hive paths longer than this are refused instead of being handed to the file system.
constexpr size_t kMaxHivePathBytes = 4000;
// How long a writer waits for another process's transaction before giving up.
constexpr int kBusyTimeoutMilliseconds = 5000;
// A UTF-16 unit takes at most three UTF-8 bytes; stored text longer than the API accepts means
// the file was changed behind our back, and is refused rather than converted.
constexpr size_t kMaxStoredTextBytes = kMaxRegistryValueBytes / sizeof(char16_t) * 3;
constexpr size_t kMaxStoredNameBytes = 16383 * 3;

constexpr const char kSchemaSql[] =
    "BEGIN IMMEDIATE;"
    "CREATE TABLE IF NOT EXISTS registry_keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"  // never reused: a stale handle stays stale
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " UNIQUE(parent, name));"
    "CREATE TABLE IF NOT EXISTS registry_values("
    " key_id INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL,"
    " data_text TEXT NOT NULL DEFAULT '',"
    " data_number INTEGER NOT NULL DEFAULT 0,"
    " PRIMARY KEY(key_id, name));"
    "INSERT OR IGNORE INTO registry_keys(id, parent, name) VALUES(1, 0, '');"
    "COMMIT;";

// ---------------------------------------------------------------------------------------------
// Errors

struct SqliteFailureKind {
  int primary_code;
  HRESULT hresult;
  const char* text;
};

constexpr SqliteFailureKind kSqliteFailureKinds[] = {
    {SQLITE_NOMEM, E_OUTOFMEMORY, "out of memory"},
    {SQLITE_READONLY, kRegistryAccessDenied, "the file cannot be written"},
    {SQLITE_PERM, kRegistryAccessDenied, "permission denied"},
    {SQLITE_AUTH, kRegistryAccessDenied, "permission denied"},
    {SQLITE_CANTOPEN, kRegistryAccessDenied, "the file cannot be opened"},
    {SQLITE_CORRUPT, E_FAIL, "the file is damaged"},
    {SQLITE_NOTADB, E_FAIL, "the file is not a registry file"},
    {SQLITE_BUSY, E_FAIL, "another process kept the file locked too long"},
    {SQLITE_LOCKED, E_FAIL, "the file is locked"},
    {SQLITE_FULL, E_FAIL, "the disk is full"},
    {SQLITE_IOERR, E_FAIL, "input/output error"},
};
// Any other failure: in practice SQLITE_ERROR for a database without our tables.
constexpr SqliteFailureKind kOtherSqliteFailure = {SQLITE_ERROR, E_FAIL,
                                                   "the file does not hold a registry"};

const SqliteFailureKind& FailureKindOf(int code) {
  for (const SqliteFailureKind& kind : kSqliteFailureKinds) {
    if (kind.primary_code == (code & 0xFF)) return kind;
  }
  return kOtherSqliteFailure;
}

Error HiveError(HRESULT hr, std::string_view file, std::string_view what) {
  std::string description = "Registry file ";
  description += file;
  description += ": ";
  description += what;
  return Error::FromHresult(hr, BytesToText(description, CP_UTF8));
}

Error KeyNotFound() {
  return Error::FromHresult(kRegistryNotFound, u"The registry key does not exist");
}

Error ValueNotFound() {
  return Error::FromHresult(kRegistryNotFound, u"The registry value does not exist");
}

// ---------------------------------------------------------------------------------------------
// Statements and transactions

// One operation's use of an open connection; `file` names it in error messages.
struct Session {
  sqlite3* db;
  std::string_view file;
};

Error SqliteFailure(const Session& session, int code, std::string_view action) {
  const SqliteFailureKind& kind = FailureKindOf(code);
  std::string what(action);
  what += ": ";
  what += kind.text;
  what += " (";
  what += session.db != nullptr ? sqlite3_errmsg(session.db) : sqlite3_errstr(code);
  what += ")";
  return HiveError(kind.hresult, session.file, what);
}

Result<void> Execute(const Session& session, const char* sql, std::string_view action) {
  int code = sqlite3_exec(session.db, sql, nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) return SqliteFailure(session, code, action);
  return {};
}

// A prepared statement, finalized when it goes out of scope. Bound text is not copied, so it
// must outlive the last Step().
class Statement {
 public:
  static Result<Statement> Prepare(const Session& session, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(session.db, sql, -1, &statement, nullptr);
    if (code != SQLITE_OK) return SqliteFailure(session, code, "prepare");
    return Statement(session, statement);
  }
  Statement(Statement&& other) noexcept
      : session_(other.session_),
        statement_(std::exchange(other.statement_, nullptr)),
        bind_code_(other.bind_code_) {}
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& operator=(Statement&&) = delete;
  ~Statement() { sqlite3_finalize(statement_); }

  void Bind(int index, int64_t number) {
    Note(sqlite3_bind_int64(statement_, index, number));
  }
  void Bind(int index, std::string_view text) {
    // A null pointer would bind SQL NULL; an empty name is "", not NULL.
    const char* bytes = text.empty() ? "" : text.data();
    Note(sqlite3_bind_text64(statement_, index, bytes, text.size(), SQLITE_STATIC, SQLITE_UTF8));
  }

  /// True when a row is ready, false when the statement has finished.
  Result<bool> Step() {
    if (bind_code_ != SQLITE_OK) return SqliteFailure(*session_, bind_code_, "bind");
    int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    return SqliteFailure(*session_, code, "step");
  }
  Result<void> Run() {
    TRY(Step());
    return {};
  }

  int64_t Number(int column) const { return sqlite3_column_int64(statement_, column); }
  std::string Text(int column) const {
    const unsigned char* text = sqlite3_column_text(statement_, column);
    if (text == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
  }
  size_t TextBytes(int column) const {
    sqlite3_column_text(statement_, column);  // the size is of the text form
    return static_cast<size_t>(sqlite3_column_bytes(statement_, column));
  }

 private:
  Statement(const Session& session, sqlite3_stmt* statement)
      : session_(&session), statement_(statement) {}
  void Note(int code) {
    if (bind_code_ == SQLITE_OK) bind_code_ = code;
  }

  const Session* session_;
  sqlite3_stmt* statement_;
  int bind_code_ = SQLITE_OK;  // the first failed bind, reported by Step()
};

enum class TransactionKind { Read, Write };

// A transaction rolled back unless committed. Writes take the write lock at once (BEGIN
// IMMEDIATE) so that the busy timeout applies instead of failing when a read turns into a write.
class Transaction {
 public:
  static Result<Transaction> Begin(const Session& session, TransactionKind kind) {
    const char* sql = kind == TransactionKind::Write ? "BEGIN IMMEDIATE" : "BEGIN";
    TRY(Execute(session, sql, "begin"));
    return Transaction(&session);
  }
  Transaction(Transaction&& other) noexcept : session_(std::exchange(other.session_, nullptr)) {}
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  Transaction& operator=(Transaction&&) = delete;
  ~Transaction() {
    if (session_ != nullptr) sqlite3_exec(session_->db, "ROLLBACK", nullptr, nullptr, nullptr);
  }

  Result<void> Commit() {
    TRY(Execute(*session_, "COMMIT", "commit"));
    session_ = nullptr;
    return {};
  }

 private:
  explicit Transaction(const Session* session) : session_(session) {}
  const Session* session_;
};

// ---------------------------------------------------------------------------------------------
// Where the hive files live

struct HiveLocation {
  std::string folder;
  std::string file;
  mode_t folder_mode = 0700;  // for folders the first write creates
};

std::optional<HiveLocation> InFolder(std::string_view base, std::string_view below,
                                     std::string_view file_name, mode_t folder_mode) {
  if (base.size() > kMaxHivePathBytes) return std::nullopt;
  HiveLocation location;
  location.folder.assign(base);
  location.folder += below;
  location.file = location.folder + "/";
  location.file += file_name;
  location.folder_mode = folder_mode;
  return location;
}

// The hive's file and folder; none when no folder is known (no HOME for the user hive, or a
// path too long).
std::optional<HiveLocation> LocateHive(RegistryHive hive) {
  bool user = hive == RegistryHive::CurrentUser;
  mode_t mode = user ? 0700 : 0755;
  const char* moved = std::getenv("WENDREL_REGISTRY_DIR");
  if (moved != nullptr && *moved != '\0') {
    return InFolder(moved, "", user ? "user.db" : "machine.db", mode);
  }
  if (!user) return InFolder("/var/lib/wendrel", "", "machine.db", mode);
  // Relative XDG_CONFIG_HOME values are to be ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return InFolder(config, "/wendrel", "user.db", mode);
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') {
    return InFolder(home, "/.config/wendrel", "user.db", mode);
  }
  return std::nullopt;
}

bool Exists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Whether the folder, or the nearest existing folder above it, has the owner's write bit.
// The mode bits decide, not access(2): root may write anywhere, yet a read-only hive must stay
// read-only for it too.
bool NearestFolderWritable(std::string path) {
  while (true) {
    struct stat status;
    if (stat(path.c_str(), &status) == 0) {
      return S_ISDIR(status.st_mode) && (status.st_mode & S_IWUSR) != 0;
    }
    if (errno != ENOENT || path == "." || path == "/") return false;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
      path = ".";
    } else {
      path.resize(slash == 0 ? 1 : slash);
    }
  }
}

bool WritableByMode(const HiveLocation& location) {
  struct stat status;
  if (stat(location.file.c_str(), &status) == 0 && (status.st_mode & S_IWUSR) == 0) return false;
  return NearestFolderWritable(location.folder);
}

// mkdir -p, refused when the nearest existing folder is read-only.
Result<void> MakeFolders(const HiveLocation& location) {
  const std::string& folder = location.folder;
  if (IsFolder(folder)) return {};
  if (!NearestFolderWritable(folder)) {
    return HiveError(kRegistryAccessDenied, location.file, "its folder cannot be created");
  }
  for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    std::string prefix = folder.substr(0, end);
    if (mkdir(prefix.c_str(), location.folder_mode) != 0 && errno != EEXIST) {
      return HiveError(kRegistryAccessDenied, location.file, "cannot create folder " + prefix);
    }
    if (end == std::string::npos) return {};
  }
}

// ---------------------------------------------------------------------------------------------
// Connections

enum class OpenMode { ReadOnly, ReadWrite, Immutable };

bool IsUriSafe(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '/' || c == '-' || c == '.' || c == '_' || c == '~';
}

// "immutable" skips locking and shared memory, which a read-only WAL file needs when the
// folder does not let us create them. Only used for hives nobody may write.
std::string ImmutableUri(std::string_view file) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (unsigned char c : file) {
    if (IsUriSafe(c)) {
      uri += static_cast<char>(c);
      continue;
    }
    uri += '%';
    uri += kHex[c >> 4];
    uri += kHex[c & 15];
  }
  uri += "?immutable=1";
  return uri;
}

Result<sqlite3*> OpenHandle(const std::string& file, OpenMode mode) {
  int flags = SQLITE_OPEN_FULLMUTEX;
  if (mode == OpenMode::ReadWrite) flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  if (mode != OpenMode::ReadWrite) flags |= SQLITE_OPEN_READONLY;
  if (mode == OpenMode::Immutable) flags |= SQLITE_OPEN_URI;
  // "./" keeps a relative "file:..." folder from being read as a URI.
  std::string name = mode == OpenMode::Immutable ? ImmutableUri(file)
                     : file.starts_with("file:") ? "./" + file
                                                 : file;
  sqlite3* db = nullptr;
  int code = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
  if (code != SQLITE_OK) {
    Error error = SqliteFailure(Session{db, file}, code, "open");
    sqlite3_close_v2(db);
    return error;
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMilliseconds);
  // The file may come from anywhere: no writes to the schema, no functions from its triggers.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  return db;
}

// Reads the schema (which tells a database from anything else) and, when the connection may
// write, turns on WAL so readers and the writer do not block each other, and creates the tables.
int PrepareDatabase(sqlite3* db) {
  int code = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  if (code != SQLITE_OK || sqlite3_db_readonly(db, "main") == 1) return code;
  code = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr,
                      nullptr);
  if (code != SQLITE_OK) return code;
  code = sqlite3_exec(db, kSchemaSql, nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  return code;
}

bool IsSharedMemoryFailure(int code) {
  return (code & 0xFF) == SQLITE_CANTOPEN || (code & 0xFF) == SQLITE_READONLY;
}

Result<sqlite3*> OpenDatabase(const std::string& file, OpenMode mode) {
  sqlite3* db = TRY(OpenHandle(file, mode));
  int code = PrepareDatabase(db);
  if (code == SQLITE_OK) return db;
  bool retry_immutable = mode != OpenMode::Immutable && sqlite3_db_readonly(db, "main") == 1 &&
                         IsSharedMemoryFailure(code);
  Error error = SqliteFailure(Session{db, file}, code, "open");
  sqlite3_close_v2(db);
  if (retry_immutable) return OpenDatabase(file, OpenMode::Immutable);
  return error;
}

// A hive's connection. `owner` is the process that opened it: after fork() the child must not
// use the parent's connection (SQLite's locks belong to a process).
struct HiveConnection {
  std::mutex mutex;
  sqlite3* db = nullptr;
  bool read_only = false;
  pid_t owner = 0;
  HiveLocation location;  // of the open file
};

struct HiveConnections {
  HiveConnection user;
  HiveConnection machine;
};

HiveConnection& ConnectionOf(RegistryHive hive) {
  assert(hive != RegistryHive::ClassesRoot && "classes keys are resolved to a hive first");
  // Never destroyed: other modules may still use the registry while the process exits.
  static HiveConnections* const connections = new HiveConnections;
  return hive == RegistryHive::CurrentUser ? connections->user : connections->machine;
}

// Closing a connection inherited across fork() could release the parent's locks, so the
// child forgets it instead.
void ForgetInheritedConnection(HiveConnection& connection) {
  if (connection.db != nullptr && connection.owner != getpid()) connection.db = nullptr;
}

void CloseConnection(HiveConnection& connection) {
  ForgetInheritedConnection(connection);
  sqlite3_close_v2(connection.db);
  connection.db = nullptr;
}

// Grows whenever what a read may answer can have changed: a hive opened (perhaps another file),
// closed, or written by this process.
std::atomic<uint64_t> registry_changes{1};

void NoteRegistryChange() { registry_changes.fetch_add(1, std::memory_order_release); }

Result<void> OpenConnection(HiveConnection& connection, HiveLocation location, OpenMode mode) {
  sqlite3* db = TRY(OpenDatabase(location.file, mode));
  NoteRegistryChange();
  connection.db = db;
  connection.read_only = sqlite3_db_readonly(db, "main") == 1;
  connection.owner = getpid();
  connection.location = std::move(location);
  return {};
}

Session SessionOf(const HiveConnection& connection) {
  return Session{connection.db, connection.location.file};
}

// The connection for reading; none when the hive file does not exist (an empty hive), in which
// case nothing is created.
Result<std::optional<Session>> ConnectForRead(HiveConnection& connection, RegistryHive hive) {
  ForgetInheritedConnection(connection);
  if (connection.db != nullptr) return std::optional<Session>(SessionOf(connection));
  std::optional<HiveLocation> location = LocateHive(hive);
  if (!location || !Exists(location->file)) return std::optional<Session>();
  OpenMode mode = WritableByMode(*location) ? OpenMode::ReadWrite : OpenMode::ReadOnly;
  TRY(OpenConnection(connection, std::move(*location), mode));
  return std::optional<Session>(SessionOf(connection));
}

// The location of a hive that may be written: its file and folder (or the nearest existing
// folder above it) carry the owner's write bit.
Result<HiveLocation> WritableLocation(const HiveConnection& connection, RegistryHive hive) {
  std::optional<HiveLocation> location =
      connection.db != nullptr ? std::optional(connection.location) : LocateHive(hive);
  if (!location) {
    return Error::FromHresult(kRegistryAccessDenied,
                              u"No folder is known for the registry hive (HOME is not set, or "
                              u"the folder's path is too long)");
  }
  if (!WritableByMode(*location)) {
    return HiveError(kRegistryAccessDenied, location->file, "the file or its folder is read-only");
  }
  return std::move(*location);
}

// The connection for writing, creating folder and file. The mode bits are looked at on every
// write so that a hive made read-only while open is read-only at once.
Result<Session> ConnectForWrite(HiveConnection& connection, RegistryHive hive) {
  ForgetInheritedConnection(connection);
  HiveLocation location = TRY(WritableLocation(connection, hive));
  TRY(MakeFolders(location));
  if (connection.db == nullptr || connection.read_only) {
    CloseConnection(connection);
    TRY(OpenConnection(connection, std::move(location), OpenMode::ReadWrite));
  }
  // Mode bits allowed it, yet the system did not (another user's file).
  if (connection.read_only) {
    return HiveError(kRegistryAccessDenied, connection.location.file, "the file cannot be written");
  }
  return SessionOf(connection);
}

// ---------------------------------------------------------------------------------------------
// Rows

Result<void> RequireKey(const Session& session, int64_t key) {
  Statement select = TRY(Statement::Prepare(session, "SELECT 1 FROM registry_keys WHERE id = ?1"));
  select.Bind(1, key);
  if (!TRY(select.Step())) return KeyNotFound();
  return {};
}

Result<std::optional<int64_t>> FindChild(const Session& session, int64_t parent,
                                         std::string_view name) {
  Statement select = TRY(Statement::Prepare(
      session, "SELECT id FROM registry_keys WHERE parent = ?1 AND name = ?2"));
  select.Bind(1, parent);
  select.Bind(2, name);
  if (!TRY(select.Step())) return std::optional<int64_t>();
  return std::optional<int64_t>(select.Number(0));
}

Result<int64_t> AddChild(const Session& session, int64_t parent, std::string_view name) {
  Statement insert = TRY(Statement::Prepare(
      session, "INSERT INTO registry_keys(parent, name) VALUES(?1, ?2)"));
  insert.Bind(1, parent);
  insert.Bind(2, name);
  TRY(insert.Run());
  return sqlite3_last_insert_rowid(session.db);
}

Result<bool> HasChildren(const Session& session, int64_t key) {
  Statement select = TRY(Statement::Prepare(
      session, "SELECT 1 FROM registry_keys WHERE parent = ?1 AND id <> ?1 LIMIT 1"));
  select.Bind(1, key);
  return select.Step();
}

// Deletes the key, everything below it and their values. UNION ends the walk on a cycle that a
// tampered file might contain, and the root is never part of it.
Result<void> DeleteRows(const Session& session, int64_t key) {
  constexpr const char* kDeletes[] = {
      "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT k.id FROM registry_keys AS k"
      " JOIN tree ON k.parent = tree.id WHERE k.id <> ?2)"
      " DELETE FROM registry_values WHERE key_id IN (SELECT id FROM tree)",
      "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT k.id FROM registry_keys AS k"
      " JOIN tree ON k.parent = tree.id WHERE k.id <> ?2)"
      " DELETE FROM registry_keys WHERE id IN (SELECT id FROM tree)",
  };
  for (const char* sql : kDeletes) {
    Statement statement = TRY(Statement::Prepare(session, sql));
    statement.Bind(1, key);
    statement.Bind(2, kRootKeyId);
    TRY(statement.Run());
  }
  return {};
}

// Columns: name, type, data_text, data_number. Rows the API could not have written fail.
Result<StoredValue> ValueFromRow(const Session& session, const Statement& row) {
  int64_t type = row.Number(1);
  if (type != REG_SZ && type != REG_DWORD) {
    return HiveError(E_FAIL, session.file,
                     "a value has an unknown type " + std::to_string(type) + " (damaged file)");
  }
  if (row.TextBytes(0) > kMaxStoredNameBytes || row.TextBytes(2) > kMaxStoredTextBytes) {
    return HiveError(E_FAIL, session.file, "a value is too long (damaged file)");
  }
  StoredValue value;
  value.name = row.Text(0);
  value.type = static_cast<uint32_t>(type);
  if (type == REG_SZ) value.text = row.Text(2);
  value.number = static_cast<uint32_t>(row.Number(3));
  return value;
}

// ---------------------------------------------------------------------------------------------
// Running an operation

// Runs `work` in a read transaction after checking that `key` exists. With no hive file yet,
// only the root exists and `absent` is the root's answer.
template <class T, class Work>
Result<T> ReadHive(RegistryHive hive, int64_t key, Result<T> absent, Work work) {
  HiveConnection& connection = ConnectionOf(hive);
  std::lock_guard lock(connection.mutex);
  std::optional<Session> session = TRY(ConnectForRead(connection, hive));
  if (!session) return key == kRootKeyId ? std::move(absent) : Result<T>(KeyNotFound());
  // A read transaction changes nothing; it ends by rolling back.
  Transaction transaction = TRY(Transaction::Begin(*session, TransactionKind::Read));
  TRY(RequireKey(*session, key));
  return work(*session);
}

// Runs `work` in a write transaction after checking that `key` exists; commits on success.
template <class T, class Work>
Result<T> WriteHive(RegistryHive hive, int64_t key, Work work) {
  HiveConnection& connection = ConnectionOf(hive);
  std::lock_guard lock(connection.mutex);
  Session session = TRY(ConnectForWrite(connection, hive));
  Transaction transaction = TRY(Transaction::Begin(session, TransactionKind::Write));
  TRY(RequireKey(session, key));
  Result<T> result = work(session);
  if (!result.ok()) return result;
  TRY(transaction.Commit());
  NoteRegistryChange();
  return result;
}

}  // namespace

Result<int64_t> FindKey(RegistryHive hive, int64_t start,
                        const std::vector<std::string>& components) {
  Result<int64_t> absent = components.empty() ? Result<int64_t>(kRootKeyId) : KeyNotFound();
  return ReadHive<int64_t>(hive, start, std::move(absent),
                           [&](const Session& session) -> Result<int64_t> {
                             int64_t key = start;
                             for (const std::string& name : components) {
                               std::optional<int64_t> child = TRY(FindChild(session, key, name));
                               if (!child) return KeyNotFound();
                               key = *child;
                             }
                             return key;
                           });
}

Result<int64_t> CreateKey(RegistryHive hive, int64_t start,
                          const std::vector<std::string>& components) {
  return WriteHive<int64_t>(hive, start, [&](const Session& session) -> Result<int64_t> {
    int64_t key = start;
    for (const std::string& name : components) {
      std::optional<int64_t> child = TRY(FindChild(session, key, name));
      key = child ? *child : TRY(AddChild(session, key, name));
    }
    return key;
  });
}

Result<void> DeleteKey(RegistryHive hive, int64_t key, DeleteMode mode) {
  if (key == kRootKeyId) {
    return Error::FromHresult(kRegistryAccessDenied, u"The root of a hive cannot be deleted");
  }
  return WriteHive<void>(hive, key, [&](const Session& session) -> Result<void> {
    if (mode == DeleteMode::KeyOnly && TRY(HasChildren(session, key))) {
      return Error::FromHresult(kRegistryHasSubKeys, u"The registry key has sub-keys");
    }
    return DeleteRows(session, key);
  });
}

Result<bool> HasSubKeys(RegistryHive hive, int64_t key) {
  return ReadHive<bool>(hive, key, false,
                        [&](const Session& session) { return HasChildren(session, key); });
}

Result<void> WriteValue(RegistryHive hive, int64_t key, const StoredValue& value) {
  return WriteHive<void>(hive, key, [&](const Session& session) -> Result<void> {
    // An existing value keeps its row, and so its spelling and its place in the order.
    Statement upsert = TRY(Statement::Prepare(
        session,
        "INSERT INTO registry_values(key_id, name, type, data_text, data_number)"
        " VALUES(?1, ?2, ?3, ?4, ?5) ON CONFLICT(key_id, name) DO UPDATE SET"
        " type = excluded.type, data_text = excluded.data_text,"
        " data_number = excluded.data_number"));
    upsert.Bind(1, key);
    upsert.Bind(2, value.name);
    upsert.Bind(3, int64_t{value.type});
    upsert.Bind(4, value.text);
    upsert.Bind(5, int64_t{value.number});
    return upsert.Run();
  });
}

Result<void> DeleteValue(RegistryHive hive, int64_t key, std::string_view name) {
  return WriteHive<void>(hive, key, [&](const Session& session) -> Result<void> {
    Statement remove = TRY(Statement::Prepare(
        session, "DELETE FROM registry_values WHERE key_id = ?1 AND name = ?2"));
    remove.Bind(1, key);
    remove.Bind(2, name);
    TRY(remove.Run());
    if (sqlite3_changes(session.db) == 0) return ValueNotFound();
    return {};
  });
}

Result<StoredValue> ReadValue(RegistryHive hive, int64_t key, std::string_view name) {
  return ReadHive<StoredValue>(
      hive, key, ValueNotFound(), [&](const Session& session) -> Result<StoredValue> {
        Statement select = TRY(Statement::Prepare(
            session,
            "SELECT name, type, data_text, data_number FROM registry_values"
            " WHERE key_id = ?1 AND name = ?2"));
        select.Bind(1, key);
        select.Bind(2, name);
        if (!TRY(select.Step())) return ValueNotFound();
        return ValueFromRow(session, select);
      });
}

Result<std::vector<StoredValue>> ReadValues(RegistryHive hive, int64_t key) {
  using Values = std::vector<StoredValue>;
  return ReadHive<Values>(hive, key, Values{}, [&](const Session& session) -> Result<Values> {
    Statement select = TRY(Statement::Prepare(
        session,
        "SELECT name, type, data_text, data_number FROM registry_values"
        " WHERE key_id = ?1 ORDER BY rowid"));
    select.Bind(1, key);
    Values values;
    while (TRY(select.Step())) values.push_back(TRY(ValueFromRow(session, select)));
    return values;
  });
}

Result<std::vector<std::string>> ReadSubKeyNames(RegistryHive hive, int64_t key) {
  using Names = std::vector<std::string>;
  return ReadHive<Names>(hive, key, Names{}, [&](const Session& session) -> Result<Names> {
    Statement select = TRY(Statement::Prepare(
        session, "SELECT name FROM registry_keys WHERE parent = ?1 AND id <> ?1 ORDER BY id"));
    select.Bind(1, key);
    Names names;
    while (TRY(select.Step())) names.push_back(select.Text(0));
    return names;
  });
}

Result<void> CheckWritable(RegistryHive hive) {
  HiveConnection& connection = ConnectionOf(hive);
  std::lock_guard lock(connection.mutex);
  ForgetInheritedConnection(connection);
  TRY(WritableLocation(connection, hive));
  return {};
}

void CloseHives() {
  for (RegistryHive hive : {RegistryHive::CurrentUser, RegistryHive::LocalMachine}) {
    HiveConnection& connection = ConnectionOf(hive);
    std::lock_guard lock(connection.mutex);
    CloseConnection(connection);
  }
  NoteRegistryChange();
}

uint64_t ChangeCount() { return registry_changes.load(std::memory_order_acquire); }

}  // namespace registry_internal
