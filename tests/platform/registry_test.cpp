#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/env_registry.h"
#include "support/store_home.h"
#include "support/temp_dir.h"

namespace pellvane {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::StoreHome;
using testing::TempDir;
using testing::WriteFile;

constexpr const char* kKey = "SOFTWARE\\Brackfell\\Pellvane";

LSTATUS SetText(HKEY key, const std::string& name, const std::string& text) {
  const std::string data = text + '\0';
  return testing::EnvRegistry().RegSetValueEx(key, name, REG_SZ,
                                              reinterpret_cast<const std::uint8_t*>(data.data()),
                                              static_cast<std::uint32_t>(data.size()));
}

// The value's bytes, or the error code as text.
std::string Query(HKEY key, const std::string& name, std::uint32_t* type = nullptr) {
  std::uint32_t size = 0;
  LSTATUS r = testing::EnvRegistry().RegQueryValueEx(key, name, type, nullptr, &size);
  if (r != ERROR_SUCCESS) return "error " + std::to_string(r);
  std::string data(size, '\0');
  r = testing::EnvRegistry().RegQueryValueEx(key, name, type,
                                             reinterpret_cast<std::uint8_t*>(data.data()), &size);
  return r == ERROR_SUCCESS ? data : "error " + std::to_string(r);
}

HKEY CreateSettingsKey() {
  HKEY key = 0;
  EXPECT_EQ(testing::EnvRegistry().RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key,
                                                  nullptr),
            ERROR_SUCCESS);
  return key;
}

// Rows of a query on the store file, read with SQLite directly; cells joined by '|'.
std::vector<std::string> Rows(const std::string& file, const std::string& sql) {
  sqlite3* db = nullptr;
  std::vector<std::string> rows;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
    while (s != nullptr && sqlite3_step(s) == SQLITE_ROW) {
      std::string row;
      for (int c = 0; c < sqlite3_column_count(s); ++c) {
        if (c > 0) row += '|';
        const auto* p = static_cast<const char*>(sqlite3_column_blob(s, c));
        row.append(p == nullptr ? "" : p, sqlite3_column_bytes(s, c));
      }
      rows.push_back(row);
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return rows;
}

TEST(RegistryPathTest, FollowsTheEnvironmentAtEveryCall) {
  struct Case {
    const char* pellvane_home;
    const char* xdg_config_home;
    const char* home;
    const char* expected;
  };
  const Case cases[] = {
      {"/p", "/x", "/h", "/p/registry.sqlite3"},
      {nullptr, "/x", "/h", "/x/pellvane/registry.sqlite3"},
      {"", "", "/h", "/h/.config/pellvane/registry.sqlite3"},
  };
  for (const Case& c : cases) {
    const auto set = [](const char* name, const char* value) {
      value == nullptr ? unsetenv(name) : setenv(name, value, 1);
    };
    set("PELLVANE_HOME", c.pellvane_home);
    set("XDG_CONFIG_HOME", c.xdg_config_home);
    set("HOME", c.home);
    EXPECT_EQ(StorePathFromEnvironment(), c.expected);
  }
  unsetenv("PELLVANE_HOME");
  unsetenv("XDG_CONFIG_HOME");
}

TEST(RegistryTest, StoreIsCreatedOnFirstWriteOnlyWithOwnerOnlyModes) {
  TempDir dir;
  const std::string home = dir.File("a/b");
  setenv("PELLVANE_HOME", home.c_str(), 1);
  const std::string file = home + "/registry.sqlite3";
  HKEY key = 0;
  EXPECT_EQ(
      testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, kReadWriteAccess, &key),
      ERROR_FILE_NOT_FOUND);
  HKEY software = 0;
  ASSERT_EQ(testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, kReadWriteAccess,
                                                &software),
            ERROR_SUCCESS);
  EXPECT_EQ(Query(software, "x"), "error 2");
  EXPECT_FALSE(FileExists(file));

  std::uint32_t disposition = 0;
  ASSERT_EQ(testing::EnvRegistry().RegCreateKeyEx(software, "Brackfell\\", 0, KEY_ALL_ACCESS, &key,
                                                  &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  testing::EnvRegistry().RegCloseKey(key);
  ASSERT_EQ(testing::EnvRegistry().RegCreateKeyEx(software, "brackfell", 0, KEY_ALL_ACCESS, &key,
                                                  &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  testing::EnvRegistry().RegCloseKey(key);
  testing::EnvRegistry().RegCloseKey(software);

  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat(home.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat(dir.File("a").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(Rows(file, "PRAGMA journal_mode"), std::vector<std::string>{"wal"});
  EXPECT_EQ(Rows(file, "SELECT name FROM keys ORDER BY id"),
            (std::vector<std::string>{"HKEY_LOCAL_MACHINE", "SOFTWARE", "Brackfell"}));
  const auto schema = Rows(file, "SELECT sql FROM sqlite_master WHERE type='table' ORDER BY name");
  ASSERT_EQ(schema.size(), 2u);
  EXPECT_NE(schema[0].find("name   TEXT NOT NULL COLLATE NOCASE"), std::string::npos);
  EXPECT_NE(schema[0].find("UNIQUE(parent, name)"), std::string::npos);
  EXPECT_NE(schema[1].find("PRIMARY KEY(key, name)"), std::string::npos);
  unsetenv("PELLVANE_HOME");
}

TEST(RegistryTest, ValuesMatchWithoutCaseAndKeepTheirFirstSpelling) {
  StoreHome home;
  const HKEY key = CreateSettingsKey();
  EXPECT_EQ(SetText(key, "proxyPort", "8080"), ERROR_SUCCESS);
  EXPECT_EQ(SetText(key, "PROXYPORT", "3128"), ERROR_SUCCESS);
  std::uint32_t type = 0;
  EXPECT_EQ(Query(key, "proxyport", &type), std::string("3128\0", 5));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(Rows(home.StoreFile(), "SELECT name, type, hex(data) FROM vals"),
            std::vector<std::string>{"proxyPort|1|3331323800"});

  // A buffer too small says so and gives the size needed.
  std::uint8_t small[2];
  std::uint32_t size = sizeof small;
  EXPECT_EQ(testing::EnvRegistry().RegQueryValueEx(key, "proxyport", nullptr, small, &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 5u);
  // Empty data is a value too.
  EXPECT_EQ(testing::EnvRegistry().RegSetValueEx(key, "empty", REG_BINARY, nullptr, 0),
            ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "EMPTY", &type), "");
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(Query(key, "missing"), "error 2");

  // Another handle on the same key, opened by another spelling of the path, sees the values.
  HKEY again = 0;
  ASSERT_EQ(
      testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, "software\\BRACKFELL\\\\pellvane\\",
                                          0, kReadWriteAccess, &again),
      ERROR_SUCCESS);
  EXPECT_EQ(Query(again, "ProxyPort"), std::string("3128\0", 5));
  EXPECT_EQ(testing::EnvRegistry().RegDeleteValue(again, "proxyport"), ERROR_SUCCESS);
  EXPECT_EQ(testing::EnvRegistry().RegDeleteValue(again, "proxyport"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Query(key, "proxyPort"), "error 2");
  testing::EnvRegistry().RegCloseKey(again);
  testing::EnvRegistry().RegCloseKey(key);
}

TEST(RegistryTest, EnumeratesKeysByNameAndValuesInCreationOrder) {
  StoreHome home;
  const HKEY key = CreateSettingsKey();
  for (const char* sub : {"zeta", "Alpha", "beta\\inner"}) {
    HKEY k = 0;
    ASSERT_EQ(testing::EnvRegistry().RegCreateKeyEx(key, sub, 0, KEY_ALL_ACCESS, &k, nullptr),
              ERROR_SUCCESS);
    testing::EnvRegistry().RegCloseKey(k);
  }
  std::vector<std::string> keys;
  char name[256];
  for (std::uint32_t i = 0;
       testing::EnvRegistry().RegEnumKey(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    keys.emplace_back(name);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "beta", "zeta"}));
  EXPECT_EQ(testing::EnvRegistry().RegEnumKey(key, 3, name, sizeof name), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(testing::EnvRegistry().RegEnumKey(key, 0, name, 5),
            ERROR_MORE_DATA);  // "Alpha" needs 6

  SetText(key, "b", "2");
  SetText(key, "a", "1");
  std::uint32_t name_size = sizeof name;
  std::uint32_t type = 0;
  std::uint8_t data[8];
  std::uint32_t data_size = sizeof data;
  ASSERT_EQ(testing::EnvRegistry().RegEnumValue(key, 0, name, &name_size, &type, data, &data_size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(name), "b");
  EXPECT_EQ(name_size, 1u);
  EXPECT_EQ(data_size, 2u);
  name_size = sizeof name;
  data_size = 1;
  EXPECT_EQ(testing::EnvRegistry().RegEnumValue(key, 1, name, &name_size, &type, data, &data_size),
            ERROR_MORE_DATA);
  name_size = sizeof name;
  EXPECT_EQ(
      testing::EnvRegistry().RegEnumValue(key, 2, name, &name_size, nullptr, nullptr, nullptr),
      ERROR_NO_MORE_ITEMS);

  // A key with sub-keys is refused; a leaf goes, with its values.
  EXPECT_EQ(testing::EnvRegistry().RegDeleteKey(key, "beta"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(testing::EnvRegistry().RegDeleteKey(key, "beta\\inner"), ERROR_SUCCESS);
  EXPECT_EQ(testing::EnvRegistry().RegDeleteKey(key, "beta"), ERROR_SUCCESS);
  EXPECT_EQ(testing::EnvRegistry().RegDeleteKey(key, "beta"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(testing::EnvRegistry().RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE"),
            ERROR_ACCESS_DENIED);
  testing::EnvRegistry().RegCloseKey(key);
}

TEST(RegistryTest, HandlesAreCheckedAndAccessIsEnforced) {
  StoreHome home;
  const HKEY key = CreateSettingsKey();
  ASSERT_EQ(testing::EnvRegistry().RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(testing::EnvRegistry().RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SetText(key, "x", "y"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Query(0x12345, "x"), "error 6");

  HKEY read_only = 0;
  ASSERT_EQ(testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &read_only),
            ERROR_SUCCESS);
  EXPECT_EQ(SetText(read_only, "x", "y"), ERROR_ACCESS_DENIED);
  HKEY sub = 0;
  EXPECT_EQ(
      testing::EnvRegistry().RegCreateKeyEx(read_only, "sub", 0, KEY_ALL_ACCESS, &sub, nullptr),
      ERROR_ACCESS_DENIED);
  testing::EnvRegistry().RegCloseKey(read_only);

  // A key deleted behind a handle's back: the handle can no longer write.
  HKEY a = 0;
  HKEY b = 0;
  ASSERT_EQ(testing::EnvRegistry().RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\gone", 0,
                                                  KEY_ALL_ACCESS, &a, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(
      testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, kReadWriteAccess, &b),
      ERROR_SUCCESS);
  EXPECT_EQ(testing::EnvRegistry().RegDeleteKey(b, "gone"), ERROR_SUCCESS);
  EXPECT_NE(SetText(a, "x", "y"), ERROR_SUCCESS);
  EXPECT_EQ(Query(a, "x"), "error 6");
  testing::EnvRegistry().RegCloseKey(a);
  testing::EnvRegistry().RegCloseKey(b);
}

// A file that is not a store, or a database of someone else's, stays byte for byte as it was.
TEST(RegistryTest, ForeignFileIsNeverWritten) {
  StoreHome home;
  sqlite3* db = nullptr;
  const std::string other = home.path() + "/other.db";
  ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1);", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  const std::string contents[] = {std::string(4096, 'x') + "not a store", ReadFile(other),
                                  "SQLite format 3"};
  for (const std::string& bytes : contents) {
    WriteFile(home.StoreFile(), bytes);
    HKEY key = 0;
    EXPECT_EQ(testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE", 0,
                                                  kReadWriteAccess, &key),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(testing::EnvRegistry().RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS,
                                                    &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetText(HKEY_LOCAL_MACHINE, "x", "y"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadFile(home.StoreFile()), bytes);
    EXPECT_FALSE(FileExists(home.StoreFile() + "-wal"));
  }
}

int WriteOpenAndReadOpen(void*) {
  HKEY key = 0;
  if (testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, kReadWriteAccess, &key) !=
      ERROR_ACCESS_DENIED) {
    return 1;
  }
  if (testing::EnvRegistry().RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key,
                                            nullptr) != ERROR_ACCESS_DENIED) {
    return 2;
  }
  if (testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return 3;
  if (Query(key, "lastip") != std::string("1.2.3.4\0", 8)) return 4;
  if (SetText(key, "lastip", "5.6.7.8") != ERROR_ACCESS_DENIED) return 5;
  return 0;
}

TEST(RegistryTest, StoreThatCannotBeWrittenRefusesWriteAccess) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to run the check as another user";
  StoreHome home;
  const HKEY key = CreateSettingsKey();
  SetText(key, "lastip", "1.2.3.4");
  testing::EnvRegistry().RegCloseKey(key);
  const std::string before = ReadFile(home.StoreFile());
  // Readable by everyone, writable by the owner only; the tests' user is not the owner.
  chmod(home.path().c_str(), 0755);
  chmod(home.StoreFile().c_str(), 0644);
  for (const char* suffix : {"-wal", "-shm"}) chmod((home.StoreFile() + suffix).c_str(), 0644);
  EXPECT_EQ(testing::RunUnprivileged(WriteOpenAndReadOpen, nullptr), 0);
  EXPECT_EQ(ReadFile(home.StoreFile()), before);
}

}  // namespace
}  // namespace pellvane
