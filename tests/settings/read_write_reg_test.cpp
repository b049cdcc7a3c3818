#include "settings/read_write_reg.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/registry.h"
#include "support/env_registry.h"
#include "support/recording_dialogs.h"
#include "support/store_home.h"

namespace pellvane {
namespace {

using testing::RecordingDialogs;
using testing::StoreHome;

constexpr const char* kKey = "SOFTWARE\\Brackfell\\Pellvane";

class ReadWriteRegTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HKEY key = 0;
    ASSERT_EQ(testing::EnvRegistry().RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS,
                                                    &key, nullptr),
              ERROR_SUCCESS);
    testing::EnvRegistry().RegCloseKey(key);
    ASSERT_TRUE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, kKey));
  }

  // Writes raw bytes under any type, past the class, as another program could.
  void Store(const std::string& name, std::uint32_t type, const std::string& data) {
    HKEY key = 0;
    ASSERT_EQ(
        testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, kReadWriteAccess, &key),
        ERROR_SUCCESS);
    ASSERT_EQ(testing::EnvRegistry().RegSetValueEx(
                  key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                  static_cast<std::uint32_t>(data.size())),
              ERROR_SUCCESS);
    testing::EnvRegistry().RegCloseKey(key);
  }

  // The stored type and bytes of a value.
  std::pair<std::uint32_t, std::string> Stored(const std::string& name) {
    HKEY key = 0;
    EXPECT_EQ(testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key),
              ERROR_SUCCESS);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    testing::EnvRegistry().RegQueryValueEx(key, name, &type, nullptr, &size);
    std::string data(size, '\0');
    testing::EnvRegistry().RegQueryValueEx(key, name, &type,
                                           reinterpret_cast<std::uint8_t*>(data.data()), &size);
    testing::EnvRegistry().RegCloseKey(key);
    return {type, data};
  }

  StoreHome home_;
  RecordingDialogs dialogs_;
  CReadWriteReg reg_{testing::EnvRegistry(), dialogs_};
};

TEST_F(ReadWriteRegTest, GetValueRendersEachType) {
  using std::string;
  struct Case {
    std::uint32_t type;
    string data;
    bool bin;
    Variant expected;
  };
  const Case cases[] = {
      {REG_SZ, string("abc\0", 4), false, "abc"},
      {REG_SZ, string("\0", 1), false, ""},
      {REG_SZ, "", false, ""},  // size 0: no text to give
      {REG_SZ, string(5000, 'l') + '\0', false, string(5000, 'l')},
      {REG_EXPAND_SZ, string("%PATH%\0", 7), false, "%PATH%"},
      {REG_BINARY, "\x0a\xff", false, "0A FF "},
      {REG_DWORD, string("\x01\0\0\0", 4), false, "01 00 00 00 "},
      {REG_DWORD, string("\x01\0\0\0", 4), true, string("\x01\0\0\0", 4)},
      {REG_DWORD_BIG_ENDIAN, string("\0\0\0\x01", 4), false, string("\0\0\0\x01", 4)},
      {REG_NONE, "x", false, "Not defined value_type=REG_NONE"},
      {REG_LINK, "x", false, "Not defined value_type=REG_LINK"},
      {REG_MULTI_SZ, string("a\0b\0\0", 5), false, VariantArray{"a", "b", ""}},
      {REG_MULTI_SZ, "a", false, ""},  // not ending in a NUL
      {REG_RESOURCE_LIST, "x", false, "Not defined value_type=REG_RESOURCE_LIST"},
      {REG_FULL_RESOURCE_DESCRIPTOR, "x", false,
       "Not defined value_type=REG_FULL_RESOURCE_DESCRIPTOR"},
      {REG_RESOURCE_REQUIREMENTS_LIST, "x", false,
       "Not defined value_type=REG_RESOURCE_REQUIREMENTS_LIST"},
      {11, "x", false, "value_type=11"},
  };
  for (const Case& c : cases) {
    Store("v", c.type, c.data);
    EXPECT_EQ(reg_.GetValue("v", c.bin), c.expected) << "type " << c.type;
  }
  EXPECT_TRUE(reg_.GetValue("missing").IsNothing());
}

TEST_F(ReadWriteRegTest, CreateValueBuildsDataByType) {
  using std::string;
  EXPECT_TRUE(reg_.CreateValue("n", std::int16_t{3}, REG_SZ));
  EXPECT_EQ(Stored("n"), std::make_pair(REG_SZ, string("3\0", 2)));
  EXPECT_TRUE(reg_.CreateValue("b", true, REG_EXPAND_SZ));
  EXPECT_EQ(Stored("b"), std::make_pair(REG_EXPAND_SZ, string("True\0", 5)));
  EXPECT_TRUE(reg_.CreateValue("null", Null(), REG_SZ));
  EXPECT_EQ(Stored("null").second, string("\0", 1));

  EXPECT_TRUE(reg_.CreateValue("m", "a", REG_MULTI_SZ, VariantArray{"b", "", Null(), "c"}));
  EXPECT_EQ(Stored("m"), std::make_pair(REG_MULTI_SZ, string("a\0b\0c\0\0", 7)));
  EXPECT_TRUE(reg_.CreateValue("m1", "a", REG_MULTI_SZ, std::int32_t{7}));
  EXPECT_EQ(Stored("m1").second, string("a\0007\0\0", 5));
  EXPECT_TRUE(reg_.CreateValue("m0", "a", REG_MULTI_SZ, string(1, '\0')));
  EXPECT_EQ(Stored("m0").second, string("a\0\0", 3));

  // A REG_DWORD round trip through the raw form; a text too short to hold four bytes is refused.
  Store("d", REG_DWORD, string("\x2a\0\0\x80", 4));
  const Variant raw = reg_.GetValue("d", true);
  EXPECT_TRUE(reg_.CreateValue("d2", raw, REG_DWORD));
  EXPECT_EQ(Stored("d2"), std::make_pair(REG_DWORD, string("\x2a\0\0\x80", 4)));
  EXPECT_FALSE(reg_.CreateValue("d3", "ab", REG_DWORD));
  EXPECT_EQ(Stored("d3").second, "");
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(ReadWriteRegTest, UnsupportedTypesShowTheMessageOnceAndWriteNothing) {
  for (std::int32_t type : {3, 5, 6, 0, 8, -1}) {
    dialogs_.boxes.clear();
    EXPECT_FALSE(reg_.CreateValue("x", "data", type));
    ASSERT_EQ(dialogs_.boxes.size(), 1u) << type;
    EXPECT_EQ(dialogs_.boxes[0].first, "Unable To process that Type of data.");
  }
  EXPECT_TRUE(reg_.GetValue("x").IsNothing());
}

TEST_F(ReadWriteRegTest, ClosedObjectDoesNothing) {
  CReadWriteReg fresh(testing::EnvRegistry(), dialogs_);
  EXPECT_EQ(fresh.RegistryRootKey(), 0u);
  EXPECT_FALSE(fresh.CreateValue("x", "y", REG_SZ));
  EXPECT_TRUE(fresh.GetValue("x").IsNothing());
  EXPECT_TRUE(fresh.GetAllValues().IsNothing());
  EXPECT_TRUE(fresh.GetAllSubDirectories().IsNothing());
  EXPECT_FALSE(fresh.CreateDirectory("a"));
  EXPECT_FALSE(fresh.DeleteValue("x"));
  EXPECT_FALSE(fresh.DeleteDirectory("a"));
  EXPECT_FALSE(fresh.CreateValue("x", "y", 3));  // closed: no message either
  EXPECT_TRUE(dialogs_.boxes.empty());

  // A failed open closes what was open and keeps nothing open.
  EXPECT_FALSE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, "SOFTWARE\\missing"));
  EXPECT_EQ(reg_.SubDirectory(), "SOFTWARE\\missing");
  EXPECT_FALSE(reg_.CreateValue("x", "y", REG_SZ));
  EXPECT_FALSE(reg_.OpenRegistry(0, kKey));
  EXPECT_EQ(reg_.SubDirectory(), "SOFTWARE\\missing");
}

TEST_F(ReadWriteRegTest, DirectoriesAndValuesAreListedCreatedAndDeleted) {
  EXPECT_EQ(reg_.GetAllSubDirectories(), Variant(VariantArray{}));
  EXPECT_TRUE(reg_.CreateDirectory("b\\deep"));
  EXPECT_TRUE(reg_.CreateDirectory("a"));
  EXPECT_TRUE(reg_.CreateDirectory("a"));
  EXPECT_EQ(reg_.GetAllSubDirectories(), Variant(VariantArray{"a", "b"}));
  EXPECT_FALSE(reg_.DeleteDirectory("b"));
  EXPECT_TRUE(reg_.DeleteDirectory("a"));
  EXPECT_FALSE(reg_.DeleteDirectory("a"));

  reg_.CreateValue("one", "1", REG_SZ);
  reg_.CreateValue("fits", std::string(239, 'x'), REG_SZ);  // 240 bytes with its NUL
  reg_.CreateValue("big", std::string(240, 'x'), REG_SZ);
  reg_.CreateValue(std::string(240, 'n'), "long name", REG_SZ);
  reg_.CreateValue("three", "3", REG_SZ);
  EXPECT_EQ(reg_.GetAllValues(), Variant(VariantArray{"one", "fits"}));
  EXPECT_TRUE(reg_.DeleteValue("BIG"));
  EXPECT_TRUE(reg_.DeleteValue(std::string(240, 'N')));
  EXPECT_EQ(reg_.GetAllValues(), Variant(VariantArray{"one", "fits", "three"}));
  EXPECT_FALSE(reg_.DeleteValue("big"));
}

TEST_F(ReadWriteRegTest, OneBackOnKeyReopensTheParent) {
  reg_.CreateDirectory("A\\B");
  ASSERT_TRUE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, std::string(kKey) + "\\A\\B"));
  reg_.OneBackOnKey();
  EXPECT_EQ(reg_.SubDirectory(), std::string(kKey) + "\\A");
  EXPECT_EQ(reg_.GetAllSubDirectories(), Variant(VariantArray{"B"}));
  ASSERT_TRUE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, std::string(kKey) + "\\A\\"));
  reg_.OneBackOnKey();
  EXPECT_EQ(reg_.SubDirectory(), std::string(kKey) + "\\A");
  EXPECT_EQ(reg_.GetAllSubDirectories(), Variant(VariantArray{"B"}));
  reg_.OpenRegistry(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brackfell");
  reg_.OneBackOnKey();
  EXPECT_EQ(reg_.SubDirectory(), "SOFTWARE");
  EXPECT_EQ(reg_.GetAllSubDirectories(), Variant(VariantArray{"Brackfell"}));
  EXPECT_THROW(reg_.OneBackOnKey(), std::invalid_argument);
}

TEST_F(ReadWriteRegTest, SortArrayAscendingSortsACopy) {
  const Variant texts = VariantArray{"b", "a", "c", "B"};
  EXPECT_EQ(reg_.SortArrayAscending(texts), Variant(VariantArray{"B", "a", "b", "c"}));
  EXPECT_EQ(texts, Variant(VariantArray{"b", "a", "c", "B"}));
  const Variant numbers = VariantArray{std::int16_t{10}, std::int32_t{-2}, std::int16_t{3}};
  EXPECT_EQ(reg_.SortArrayAscending(numbers),
            Variant(VariantArray{std::int32_t{-2}, std::int16_t{3}, std::int16_t{10}}));
  EXPECT_EQ(reg_.SortArrayAscending("x"), Variant("x"));
  const Variant mixed = VariantArray{"b", std::int16_t{1}};
  EXPECT_EQ(reg_.SortArrayAscending(mixed), mixed);
  EXPECT_EQ(reg_.SortArrayAscending(VariantArray{}), Variant(VariantArray{}));
}

}  // namespace
}  // namespace pellvane
