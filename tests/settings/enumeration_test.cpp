// Listing a key with the registry class: the index is a signed 16-bit counter, so a key with
// more entries than it can count lists as null; and a key deleted under an open handle
// answers a read with code 6.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "settings/read_write_reg.h"
#include "support/env_registry.h"
#include "support/recording_dialogs.h"
#include "support/store_home.h"

namespace pellvane {
namespace {

class EnumerationTest : public ::testing::Test {
 protected:
  // SOFTWARE\<name> with `count` sub-keys and `count` values, put into the store in one
  // transaction, as another program could.
  void Fill(const std::string& name, int count) {
    HKEY key = 0;
    ASSERT_EQ(testing::EnvRegistry().RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + name, 0,
                                                    KEY_ALL_ACCESS, &key, nullptr),
              ERROR_SUCCESS);
    testing::EnvRegistry().RegCloseKey(key);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(home_.StoreFile().c_str(), &db), SQLITE_OK);
    const std::string n = std::to_string(count);
    const std::string sql =
        "BEGIN; CREATE TEMP TABLE n AS WITH RECURSIVE c(i) AS (SELECT 0 UNION ALL SELECT i + 1 "
        "FROM c WHERE i + 1 < " +
        n +
        ") SELECT i FROM c;"
        "INSERT INTO keys(parent, name) SELECT (SELECT id FROM keys WHERE name = '" +
        name +
        "'), printf('k%05d', i) FROM n;"
        "INSERT INTO vals(key, name, type, data) SELECT (SELECT id FROM keys WHERE name = '" +
        name + "'), printf('v%05d', i), 1, x'7800' FROM n; COMMIT;";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
  }

  testing::StoreHome home_;
  testing::RecordingDialogs dialogs_;
  CReadWriteReg reg_{testing::EnvRegistry(), dialogs_};
};

TEST_F(EnumerationTest, ListingPastTheSixteenBitIndexEndsInNull) {
  for (const int count : {32767, 32768, 32769}) {
    const std::string name = "Many" + std::to_string(count);
    Fill(name, count);
    ASSERT_TRUE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + name));
    for (const Variant& listed : {reg_.GetAllSubDirectories(), reg_.GetAllValues()}) {
      if (count <= 32767) {
        const auto* names = std::get_if<VariantArray>(&listed.value);
        ASSERT_NE(names, nullptr) << count;
        EXPECT_EQ(names->size(), static_cast<std::size_t>(count));
      } else {
        EXPECT_TRUE(listed.IsNull()) << count << " entries are more than the index counts";
      }
    }
  }
}

TEST_F(EnumerationTest, KeyDeletedUnderTheHandleAnswersWithCodeSix) {
  ASSERT_TRUE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, "SOFTWARE"));
  ASSERT_TRUE(reg_.CreateDirectory("Gone"));
  CReadWriteReg gone(testing::EnvRegistry(), dialogs_);
  ASSERT_TRUE(gone.OpenRegistry(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone"));
  ASSERT_TRUE(gone.CreateValue("x", std::string("1"), REG_SZ));
  ASSERT_TRUE(reg_.DeleteDirectory("Gone"));
  EXPECT_EQ(gone.GetValue("x"), Variant(std::string("RegQueryValueEx Returned : (6)")));
  EXPECT_EQ(gone.GetValue("never"), Variant(std::string("RegQueryValueEx Returned : (6)")));
}

}  // namespace
}  // namespace pellvane
