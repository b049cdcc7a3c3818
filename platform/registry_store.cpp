#include "platform/registry_store.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <map>
#include <utility>

namespace pellvane {
namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr int kRetryMs = 5;
constexpr const char* kRootName = "HKEY_LOCAL_MACHINE";
constexpr const char* kSoftwareName = "SOFTWARE";

constexpr const char* kSchema = R"sql(
CREATE TABLE keys(
  id     INTEGER PRIMARY KEY,
  parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,
  name   TEXT NOT NULL COLLATE NOCASE,
  UNIQUE(parent, name));
CREATE TABLE vals(
  key    INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
  name   TEXT NOT NULL COLLATE NOCASE,
  type   INTEGER NOT NULL,
  data   BLOB NOT NULL,
  PRIMARY KEY(key, name));
INSERT INTO keys(id, parent, name) VALUES(1, NULL, 'HKEY_LOCAL_MACHINE');
INSERT INTO keys(id, parent, name) VALUES(2, 1, 'SOFTWARE');
)sql";

// Every table with its columns, in one query: table, then per column its name, type, not null
// and place in the primary key, as PRAGMA table_info gives them.
constexpr const char* kTablesSql =
    "SELECT m.name, c.name, c.type, c.\"notnull\", c.pk FROM sqlite_master AS m "
    "LEFT JOIN pragma_table_info(m.name) AS c WHERE m.type = 'table' ORDER BY m.name, c.cid";
constexpr const char* kKeysColumns = "id INTEGER 0 1;parent INTEGER 0 0;name TEXT 1 0";
constexpr const char* kValsColumns = "key INTEGER 1 1;name TEXT 1 2;type INTEGER 1 0;data BLOB 1 0";

constexpr const char* kSql[] = {
    "SELECT id FROM keys WHERE parent IS NULL AND name = ?1",
    "SELECT id FROM keys WHERE parent = ?1 AND name = ?2",
    "INSERT INTO keys(parent, name) VALUES(?1, ?2)",
    "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1",
    "DELETE FROM keys WHERE id = ?1",
    "SELECT name FROM keys WHERE parent = ?1 ORDER BY name",
    "SELECT type, data FROM vals WHERE key = ?1 AND name = ?2",
    ("INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
     "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data"),
    "DELETE FROM vals WHERE key = ?1 AND name = ?2",
    "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY rowid",
    "BEGIN IMMEDIATE",
    "BEGIN",
    "COMMIT",
    "ROLLBACK",
};

// A foreign key that no longer exists means the handle's key was deleted meanwhile; every
// other failure (locked past the time-out, read-only, I/O) is a refusal.
LSTATUS MapError(int rc) {
  return (rc & 0xff) == SQLITE_CONSTRAINT ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED;
}

// A cached statement in use; reset and unbound when the scope ends.
class Use {
 public:
  explicit Use(sqlite3_stmt* s) : s_(s) {}
  ~Use() {
    if (s_ != nullptr) {
      sqlite3_reset(s_);
      sqlite3_clear_bindings(s_);
    }
  }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;
  bool ok() const { return s_ != nullptr; }
  Use& Int(int i, std::int64_t v) {
    sqlite3_bind_int64(s_, i, v);
    return *this;
  }
  Use& Text(int i, const std::string& v) {
    sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    return *this;
  }
  Use& Blob(int i, const std::string& v) {
    // A zero-length blob, not NULL: the column is NOT NULL.
    sqlite3_bind_blob(s_, i, v.empty() ? "" : v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    return *this;
  }
  int Step() { return s_ == nullptr ? SQLITE_ERROR : sqlite3_step(s_); }
  std::int64_t ColInt(int c) const { return sqlite3_column_int64(s_, c); }
  std::string ColBytes(int c) const {
    const void* p = sqlite3_column_blob(s_, c);
    const int n = sqlite3_column_bytes(s_, c);
    return p == nullptr ? std::string() : std::string(static_cast<const char*>(p), n);
  }

 private:
  sqlite3_stmt* s_;
};

std::string ColumnText(sqlite3_stmt* s, int c) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
  return text == nullptr ? std::string() : std::string(text);
}

bool StatFile(const std::string& path, dev_t* dev, ino_t* ino) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  *dev = st.st_dev;
  *ino = st.st_ino;
  return true;
}

// The store and its -wal and -shm: each a regular file with one name, of this account or of the
// folder's owner (who may replace anything in it anyway). A link planted in their place, or a
// file another account left there, is never opened: what it leads to is not read nor written.
bool OwnFile(const std::string& path, const struct stat& st) {
  const std::size_t slash = path.rfind('/');
  struct stat folder {};
  const bool owner =
      st.st_uid == geteuid() ||
      (stat(slash == std::string::npos ? "." : path.substr(0, slash + 1).c_str(), &folder) == 0 &&
       st.st_uid == folder.st_uid);
  return S_ISREG(st.st_mode) && st.st_nlink == 1 && owner;
}

bool OwnCompanion(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) != 0 ? errno == ENOENT : OwnFile(path, st);
}

// Makes every missing folder level of `folder` with owner-only permissions.
bool MakeFolders(const std::string& folder) {
  for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
    if (pos != folder.size() && folder[pos] != '/') continue;
    const std::string level = folder.substr(0, pos);
    if (mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

pid_t ProcessId() {
  static pid_t pid = [] {
    pthread_atfork(nullptr, nullptr, [] { pid = getpid(); });
    return getpid();
  }();
  return pid;
}

bool IsPredefinedKey(const KeyPath& path) {
  return path.empty() || (path.size() == 1 && sqlite3_stricmp(path[0].c_str(), kSoftwareName) == 0);
}

RegistryStore::RegistryStore(std::string path, sqlite3* db, bool writable)
    : path_(std::move(path)), db_(db), writable_(writable), pid_(ProcessId()) {
  StatFile(path_, &dev_, &ino_);
}

RegistryStore::~RegistryStore() {
  // A forked child must leave its parent's connection alone: closing it could checkpoint or
  // remove the write-ahead log under the parent.
  if (foreign()) return;
  for (sqlite3_stmt* s : stmts_) sqlite3_finalize(s);
  sqlite3_close_v2(db_);
}

bool RegistryStore::foreign() const { return pid_ != ProcessId(); }

bool RegistryStore::replaced() const {
  dev_t dev = 0;
  ino_t ino = 0;
  return !StatFile(path_, &dev, &ino) || dev != dev_ || ino != ino_;
}

LSTATUS RegistryStore::Open(const std::string& path, bool for_write,
                            std::shared_ptr<RegistryStore>* out) {
  // Looked for first: a file that another instance creates just after a failed open must not
  // read as a refusal.
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0)
    return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
  if (!OwnFile(path, st) || !OwnCompanion(path + "-wal") || !OwnCompanion(path + "-shm")) {
    return ERROR_ACCESS_DENIED;
  }
  // A store is a few pages: no memory set aside up front for pages and small allocations,
  // and no statistics kept on every allocation. Only possible before SQLite's first use;
  // later calls change nothing.
  [[maybe_unused]] static const int configured =
      sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0) +
      sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  sqlite3* db = nullptr;
  // No link is followed, also when one is planted between the look above and the open.
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) !=
      SQLITE_OK) {
    sqlite3_close_v2(db);
    return ERROR_ACCESS_DENIED;
  }
  sqlite3_db_config(db, SQLITE_DBCONFIG_LOOKASIDE, nullptr, 0, 0);
  const bool writable = sqlite3_db_readonly(db, "main") == 0;
  std::shared_ptr<RegistryStore> store(new RegistryStore(path, db, writable));
  if (for_write && !writable) return ERROR_ACCESS_DENIED;
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // The schema is checked before anything may write to the file.
  if (LSTATUS r = store->CheckSchema(); r != ERROR_SUCCESS) return r;
  if (LSTATUS r = store->Configure(); r != ERROR_SUCCESS) return r;
  *out = std::move(store);
  return ERROR_SUCCESS;
}

LSTATUS RegistryStore::Create(const std::string& path, std::shared_ptr<RegistryStore>* out) {
  const std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) {
    return ERROR_ACCESS_DENIED;
  }
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    fchmod(fd, 0600);  // exactly owner-only, whatever the umask
    close(fd);
  } else if (errno != EEXIST) {
    return ERROR_ACCESS_DENIED;
  }
  return Open(path, true, out);
}

LSTATUS RegistryStore::Configure() {
  const char* pragmas = writable_ ? "PRAGMA foreign_keys=ON; PRAGMA journal_mode=WAL; "
                                    "PRAGMA synchronous=NORMAL;"
                                  : "PRAGMA foreign_keys=ON;";
  // The switch to WAL needs the file to itself; while another connection is writing it (two
  // first starts at once), SQLite gives up at once instead of calling the busy handler.
  int rc = SQLITE_BUSY;
  for (int waited = 0; (rc & 0xff) == SQLITE_BUSY && waited <= kBusyTimeoutMs; waited += kRetryMs) {
    if (waited > 0) sqlite3_sleep(kRetryMs);
    rc = sqlite3_exec(db_, pragmas, nullptr, nullptr, nullptr);
  }
  return rc == SQLITE_OK ? ERROR_SUCCESS : MapError(rc);
}

// A file holding our two tables, with our columns, on pages that all read, is a store; one with
// no tables at all is a store not yet written; anything else is not ours to touch.
LSTATUS RegistryStore::CheckSchema() {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db_, kTablesSql, -1, &s, nullptr) != SQLITE_OK) {
    sqlite3_finalize(s);
    return ERROR_ACCESS_DENIED;
  }
  std::map<std::string, std::string> tables;  // name: "column type notnull pk;..."
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    std::string& columns = tables[ColumnText(s, 0)];
    if (!columns.empty()) columns += ';';
    columns +=
        ColumnText(s, 1) + ' ' + ColumnText(s, 2) + ' ' + ColumnText(s, 3) + ' ' + ColumnText(s, 4);
  }
  sqlite3_finalize(s);
  if (rc != SQLITE_DONE) return ERROR_ACCESS_DENIED;
  if (tables.empty()) return ERROR_SUCCESS;
  const std::map<std::string, std::string> ours{{"keys", kKeysColumns}, {"vals", kValsColumns}};
  if (tables != ours) return ERROR_ACCESS_DENIED;
  // Every page read once: a store whose values cannot be read is damaged, not empty.
  if (sqlite3_prepare_v2(db_, "PRAGMA quick_check(1)", -1, &s, nullptr) != SQLITE_OK ||
      sqlite3_step(s) != SQLITE_ROW || ColumnText(s, 0) != "ok") {
    sqlite3_finalize(s);
    return ERROR_ACCESS_DENIED;
  }
  sqlite3_finalize(s);
  has_schema_ = true;
  return ERROR_SUCCESS;
}

LSTATUS RegistryStore::EnsureSchema() {
  if (has_schema_) return ERROR_SUCCESS;
  if (!writable_) return ERROR_ACCESS_DENIED;
  if (int rc = BeginWrite(); rc != SQLITE_DONE) return Fail(rc);
  // Another process may have written the schema since this connection looked.
  if (LSTATUS r = CheckSchema(); r != ERROR_SUCCESS) {
    Fail(SQLITE_ERROR);
    return r;
  }
  if (!has_schema_) {
    if (int rc = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr); rc != SQLITE_OK) {
      return Fail(rc);
    }
  }
  if (LSTATUS r = Commit(); r != ERROR_SUCCESS) return r;
  has_schema_ = true;
  return ERROR_SUCCESS;
}

sqlite3_stmt* RegistryStore::Prepare(Stmt which) {
  static_assert(std::size(kSql) == kStmtCount, "one SQL text per statement, in the enum's order");
  if (stmts_[which] == nullptr) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(db_, kSql[which], -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) !=
        SQLITE_OK) {
      sqlite3_finalize(s);
      return nullptr;
    }
    stmts_[which] = s;
  }
  return stmts_[which];
}

void RegistryStore::GroupReads(bool on) {
  grouped_ = on;
  if (!on && sqlite3_get_autocommit(db_) == 0) Use(Prepare(kCommit)).Step();
}

void RegistryStore::StartRead() {
  if (grouped_ && sqlite3_get_autocommit(db_) != 0) Use(Prepare(kBeginRead)).Step();
}

int RegistryStore::BeginWrite() {
  // A write outside any transaction but a group's shared read: that one ends first.
  if (sqlite3_get_autocommit(db_) == 0) Use(Prepare(kCommit)).Step();
  return Use(Prepare(kBegin)).Step();
}

LSTATUS RegistryStore::Commit() {
  const int rc = Use(Prepare(kCommit)).Step();
  return rc == SQLITE_DONE ? ERROR_SUCCESS : Fail(rc);
}

LSTATUS RegistryStore::Fail(int rc) {
  if (sqlite3_get_autocommit(db_) == 0) Use(Prepare(kRollback)).Step();
  return MapError(rc);
}

LSTATUS RegistryStore::FindKey(std::int64_t parent, const KeyPath& parts, std::int64_t* id) {
  StartRead();
  std::int64_t current = parent;
  for (const std::string& part : parts) {
    Use q(Prepare(kFindChild));
    const int rc = q.Int(1, current).Text(2, part).Step();
    if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW) return MapError(rc);
    current = q.ColInt(0);
  }
  *id = current;
  return ERROR_SUCCESS;
}

LSTATUS RegistryStore::FindKey(const KeyPath& path, std::int64_t* id) {
  StartRead();
  if (!has_schema_ && CheckSchema() != ERROR_SUCCESS) return ERROR_ACCESS_DENIED;
  if (!has_schema_) return ERROR_FILE_NOT_FOUND;
  Use q(Prepare(kFindRoot));
  const int rc = q.Text(1, kRootName).Step();
  if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
  if (rc != SQLITE_ROW) return MapError(rc);
  return FindKey(q.ColInt(0), path, id);
}

LSTATUS RegistryStore::EnsureKey(std::int64_t parent, const KeyPath& parts, std::int64_t* id,
                                 bool* created) {
  if (LSTATUS r = EnsureSchema(); r != ERROR_SUCCESS) return r;
  if (int rc = BeginWrite(); rc != SQLITE_DONE) return Fail(rc);
  std::int64_t current = parent;
  *created = false;
  for (const std::string& part : parts) {
    Use q(Prepare(kFindChild));
    int rc = q.Int(1, current).Text(2, part).Step();
    if (rc == SQLITE_ROW) {
      current = q.ColInt(0);
      *created = false;
      continue;
    }
    if (rc != SQLITE_DONE) return Fail(rc);
    rc = Use(Prepare(kInsertKey)).Int(1, current).Text(2, part).Step();
    if (rc != SQLITE_DONE) return Fail(rc);
    current = sqlite3_last_insert_rowid(db_);
    *created = true;
  }
  if (LSTATUS r = Commit(); r != ERROR_SUCCESS) return r;
  *id = current;
  return ERROR_SUCCESS;
}

LSTATUS RegistryStore::EnsureKey(const KeyPath& path, std::int64_t* id) {
  if (LSTATUS r = EnsureSchema(); r != ERROR_SUCCESS) return r;
  std::int64_t root = 0;
  if (LSTATUS r = FindKey(KeyPath{}, &root); r != ERROR_SUCCESS) return r;
  bool created = false;
  return EnsureKey(root, path, id, &created);
}

LSTATUS RegistryStore::DeleteKey(std::int64_t id) {
  if (int rc = BeginWrite(); rc != SQLITE_DONE) return Fail(rc);
  int rc = Use(Prepare(kHasChildren)).Int(1, id).Step();
  if (rc == SQLITE_ROW) return Fail(SQLITE_PERM);
  if (rc != SQLITE_DONE) return Fail(rc);
  rc = Use(Prepare(kDeleteKey)).Int(1, id).Step();
  if (rc != SQLITE_DONE) return Fail(rc);
  if (sqlite3_changes(db_) == 0) {
    Fail(SQLITE_ERROR);
    return ERROR_FILE_NOT_FOUND;
  }
  return Commit();
}

LSTATUS RegistryStore::SubKeys(std::int64_t id, std::vector<std::string>* names) {
  StartRead();
  Use q(Prepare(kSubKeys));
  q.Int(1, id);
  names->clear();
  int rc = SQLITE_ROW;
  while ((rc = q.Step()) == SQLITE_ROW) names->push_back(q.ColBytes(0));
  return rc == SQLITE_DONE ? ERROR_SUCCESS : MapError(rc);
}

LSTATUS RegistryStore::GetValue(std::int64_t key, const std::string& name, std::uint32_t* type,
                                std::string* data) {
  StartRead();
  Use q(Prepare(kGetValue));
  const int rc = q.Int(1, key).Text(2, name).Step();
  if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
  if (rc != SQLITE_ROW) return MapError(rc);
  *type = static_cast<std::uint32_t>(q.ColInt(0));
  *data = q.ColBytes(1);
  return ERROR_SUCCESS;
}

LSTATUS RegistryStore::SetValue(std::int64_t key, const std::string& name, std::uint32_t type,
                                const std::string& data) {
  if (int rc = BeginWrite(); rc != SQLITE_DONE) return Fail(rc);
  const int rc =
      Use(Prepare(kSetValue)).Int(1, key).Text(2, name).Int(3, type).Blob(4, data).Step();
  if (rc != SQLITE_DONE) return Fail(rc);
  return Commit();
}

LSTATUS RegistryStore::DeleteValue(std::int64_t key, const std::string& name) {
  if (int rc = BeginWrite(); rc != SQLITE_DONE) return Fail(rc);
  const int rc = Use(Prepare(kDeleteValue)).Int(1, key).Text(2, name).Step();
  if (rc != SQLITE_DONE) return Fail(rc);
  if (sqlite3_changes(db_) == 0) {
    Fail(SQLITE_ERROR);
    return ERROR_FILE_NOT_FOUND;
  }
  return Commit();
}

LSTATUS RegistryStore::Values(std::int64_t key, std::vector<StoredValue>* values) {
  StartRead();
  Use q(Prepare(kValues));
  q.Int(1, key);
  values->clear();
  int rc = SQLITE_ROW;
  while ((rc = q.Step()) == SQLITE_ROW) {
    values->push_back({q.ColBytes(0), static_cast<std::uint32_t>(q.ColInt(1)), q.ColBytes(2)});
  }
  return rc == SQLITE_DONE ? ERROR_SUCCESS : MapError(rc);
}

}  // namespace pellvane
