// One process's connection to a settings store file: the SQLite schema of keys and values,
// and the key and value operations the registry calls are built from.
// Not safe from two threads: the registry takes a lock around every use.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry_types.h"

namespace pellvane {

using KeyPath = std::vector<std::string>;  // components below the root HKEY_LOCAL_MACHINE

// This process's id, kept up to date across fork() without a system call per use.
pid_t ProcessId();

// Keys that every store has, like a fresh registry: the root and SOFTWARE below it.
bool IsPredefinedKey(const KeyPath& path);

class RegistryStore {
 public:
  // Opens an existing file. A file that is not a store (damaged, a link, another account's, or
  // beside a -wal or -shm that is so), and with `for_write` one that cannot be written, gives
  // ERROR_ACCESS_DENIED; nothing is changed in it.
  static LSTATUS Open(const std::string& path, bool for_write, std::shared_ptr<RegistryStore>* out);
  // Creates the folder (0700) and the file (0600) when they are missing, then opens it for write.
  static LSTATUS Create(const std::string& path, std::shared_ptr<RegistryStore>* out);
  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  const std::string& path() const { return path_; }
  bool writable() const { return writable_; }
  // True when opened by another process (a fork): such a connection must not be used.
  bool foreign() const;
  // True when the file at path() is no longer the one this connection has open.
  bool replaced() const;

  LSTATUS FindKey(std::int64_t parent, const KeyPath& parts, std::int64_t* id);
  LSTATUS FindKey(const KeyPath& path, std::int64_t* id);
  // Creates the missing levels in one transaction; `created` tells whether the last was new.
  LSTATUS EnsureKey(std::int64_t parent, const KeyPath& parts, std::int64_t* id, bool* created);
  LSTATUS EnsureKey(const KeyPath& path, std::int64_t* id);
  LSTATUS DeleteKey(std::int64_t id);
  // The key's sub-key names in name order, in one query.
  LSTATUS SubKeys(std::int64_t id, std::vector<std::string>* names);

  LSTATUS GetValue(std::int64_t key, const std::string& name, std::uint32_t* type,
                   std::string* data);
  LSTATUS SetValue(std::int64_t key, const std::string& name, std::uint32_t type,
                   const std::string& data);
  LSTATUS DeleteValue(std::int64_t key, const std::string& name);
  struct StoredValue {
    std::string name;
    std::uint32_t type = 0;
    std::string data;
  };
  // The key's values in creation order, in one query.
  LSTATUS Values(std::int64_t key, std::vector<StoredValue>* values);

  // While on, reads share one read transaction: one state of the store, its file locked once
  // instead of once per read. A write ends the shared transaction first; so does off.
  void GroupReads(bool on);

 private:
  enum Stmt {
    kFindRoot,
    kFindChild,
    kInsertKey,
    kHasChildren,
    kDeleteKey,
    kSubKeys,
    kGetValue,
    kSetValue,
    kDeleteValue,
    kValues,
    kBegin,
    kBeginRead,
    kCommit,
    kRollback,
    kStmtCount
  };

  RegistryStore(std::string path, sqlite3* db, bool writable);
  LSTATUS Configure();
  LSTATUS CheckSchema();
  LSTATUS EnsureSchema();
  sqlite3_stmt* Prepare(Stmt which);
  void StartRead();  // begins the group's shared read transaction when one is due
  int BeginWrite();  // BEGIN IMMEDIATE, after ending a group's read transaction
  LSTATUS Commit();
  LSTATUS Fail(int rc);  // rolls back an open transaction, maps the SQLite code

  std::string path_;
  sqlite3* db_;
  bool writable_;
  bool has_schema_ = false;
  bool grouped_ = false;
  pid_t pid_;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  std::array<sqlite3_stmt*, kStmtCount> stmts_{};
};

}  // namespace pellvane
