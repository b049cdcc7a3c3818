// The registry access class over the real thing, the settings store on Linux and the registry
// under Wine: every routine with its results and texts, on a key of its own.
#include "settings/read_write_reg.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/harness.h"

namespace pellvane {
namespace {

using namespace testing;
using namespace std::string_literals;
using Stored = std::pair<std::uint32_t, std::string>;  // type and bytes; type 99: missing

const std::string kKey = "SOFTWARE\\Brackfell\\Test";

class ReadWriteRegTest : public ::testing::Test {
 protected:
  ReadWriteRegTest() {
    EnvRegistry().RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey + "\\A\\B", 0, KEY_ALL_ACCESS, &raw_,
                                 nullptr);
    EnvRegistry().RegCloseKey(raw_);
    EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &raw_);
    EXPECT_TRUE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, kKey));
  }
  ~ReadWriteRegTest() override { EnvRegistry().RegCloseKey(raw_); }
  // The value as another program reads and writes it, past the class.
  Stored Raw(const std::string& name) {
    std::uint32_t type = 0, size = 1024;
    std::string data(size, '\0');
    const bool found =
        EnvRegistry().RegQueryValueEx(raw_, name, &type, reinterpret_cast<std::uint8_t*>(&data[0]),
                                      &size) == ERROR_SUCCESS;
    return found ? Stored{type, data.substr(0, size)} : Stored{99, ""};
  }
  void Put(const std::string& name, const Stored& v) {
    EnvRegistry().RegSetValueEx(raw_, name, v.first,
                                reinterpret_cast<const std::uint8_t*>(v.second.data()),
                                static_cast<std::uint32_t>(v.second.size()));
  }

  Sandbox box_;
  RecordingDialogs dialogs_;
  CReadWriteReg reg_{EnvRegistry(), dialogs_};
  HKEY raw_ = 0;
};

// Each write stores these bytes and reads back as text and raw; a type the class cannot write
// shows its one message and stores nothing.
TEST_F(ReadWriteRegTest, WritesTheTypesItTakesByteForByteAndReadsEveryType) {
  const Variant none;
  const std::string dword = "\x01\0\0\0"s;
  const VariantArray ab = {"a", "b", ""}, abc = {"a", "b", "c", ""};
  const Variant bc = VariantArray{"b", "", Null(), "c"};
  for (const auto& [value, type, more, stored, text, raw] :
       std::initializer_list<std::tuple<Variant, std::int32_t, Variant, Stored, Variant, Variant>>{
           {std::int16_t{3}, REG_SZ, none, {REG_SZ, "3\0"s}, "3", "3"},
           {true, REG_SZ, none, {REG_SZ, "True\0"s}, "True", "True"},
           {Null(), REG_EXPAND_SZ, none, {REG_EXPAND_SZ, "\0"s}, "", ""},
           {dword, REG_DWORD, none, {REG_DWORD, dword}, "01 00 00 00 ", dword},
           {"ab", REG_DWORD, none, {99, ""}, none, none},
           {"a", REG_MULTI_SZ, bc, {REG_MULTI_SZ, "a\0b\0c\0\0"s}, abc, abc},
           {"a", REG_MULTI_SZ, "b", {REG_MULTI_SZ, "a\0b\0\0"s}, ab, ab},
           {"x", REG_BINARY, none, {99, ""}, none, none},
           {"x", 5, none, {99, ""}, none, none},
           {"x", 11, none, {99, ""}, none, none}}) {
    SCOPED_TRACE(type);
    EXPECT_EQ(reg_.CreateValue("v", value, type, more), stored.first != 99);
    EXPECT_EQ(Raw("v"), stored);
    EXPECT_EQ(std::pair(reg_.GetValue("v"), reg_.GetValue("v", true)), std::pair(text, raw));
    reg_.DeleteValue("v");
  }
  EXPECT_EQ(dialogs_.Shown(), Texts(3, "Unable To process that Type of data."));
  // What another program stored reads as the class renders its type.
  const std::string undefined = "Not defined value_type=";
  for (const auto& [stored, text] : std::initializer_list<std::pair<Stored, Variant>>{
           {{REG_NONE, "x"}, undefined + "REG_NONE"},
           {{REG_SZ, ""}, ""},
           {{REG_SZ, "\0"s}, ""},
           {{REG_BINARY, "\x0A\xFF"}, "0A FF "},
           {{REG_DWORD_BIG_ENDIAN, "\0\0\0\x01"s}, "\0\0\0\x01"s},
           {{REG_LINK, "x"}, undefined + "REG_LINK"},
           {{REG_RESOURCE_LIST, "x"}, undefined + "REG_RESOURCE_LIST"},
           {{REG_FULL_RESOURCE_DESCRIPTOR, "x"}, undefined + "REG_FULL_RESOURCE_DESCRIPTOR"},
           {{REG_RESOURCE_REQUIREMENTS_LIST, "x"}, undefined + "REG_RESOURCE_REQUIREMENTS_LIST"},
           {{11, "x"}, "value_type=11"}}) {
    Put("v", stored);
    EXPECT_EQ(reg_.GetValue("v"), text) << stored.first;
  }
  EXPECT_EQ(reg_.GetValue("missing"), Variant());
}

// Keys: opened, closed, one level up, made and deleted; names listed until one does not fit;
// nothing works on a closed object.
TEST_F(ReadWriteRegTest, OpensWalksListsAndDeletesKeysAndValues) {
  EXPECT_EQ(std::pair(reg_.RegistryRootKey(), reg_.SubDirectory()),
            std::pair(HKEY_LOCAL_MACHINE, kKey));
  EXPECT_TRUE(reg_.CreateDirectory("C\\D") && reg_.CreateDirectory("C"));
  EXPECT_EQ(reg_.GetAllSubDirectories(), Variant(VariantArray{"A", "C"}));
  EXPECT_FALSE(reg_.DeleteDirectory("C")) << "a key with sub-keys stays";
  EXPECT_TRUE(reg_.DeleteDirectory("C\\D") && reg_.DeleteDirectory("C"));
  for (const char* name : {"a1", "b2", "c3", "d4", "e5"})
    reg_.CreateValue(name, name[0] == 'd' ? std::string(241, 'x') : "v", REG_SZ);
  EXPECT_EQ(reg_.GetAllValues(), Variant(VariantArray{"a1", "b2", "c3"}));
  EXPECT_TRUE(reg_.DeleteValue("b2"));
  EXPECT_FALSE(reg_.DeleteValue("b2"));
  for (const auto& [path, up] : std::initializer_list<std::pair<std::string, std::string>>{
           {kKey + "\\A\\B", kKey + "\\A"}, {kKey + "\\A\\", kKey + "\\A"}}) {
    ASSERT_TRUE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, path));
    reg_.OneBackOnKey();
    EXPECT_EQ(reg_.SubDirectory(), up);
    EXPECT_EQ(reg_.GetAllSubDirectories(), Variant(VariantArray{"B"})) << path;
  }
  EXPECT_FALSE(reg_.OpenRegistry(0, "SOFTWARE"));
  EXPECT_EQ(reg_.SubDirectory(), kKey + "\\A") << "a root of 0 changes nothing";
  ASSERT_TRUE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, "SOFTWARE"));
  EXPECT_THROW(reg_.OneBackOnKey(), std::invalid_argument);
  ASSERT_TRUE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, kKey));
  EXPECT_FALSE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, kKey + "\\missing")) << "closes the held key";
  EXPECT_EQ(reg_.GetValue("a1"), Variant());
  ASSERT_TRUE(reg_.OpenRegistry(HKEY_LOCAL_MACHINE, kKey) && reg_.CloseRegistry());
  EXPECT_EQ(std::tuple(reg_.GetAllSubDirectories(), reg_.GetAllValues(), reg_.GetValue("a1")),
            std::tuple(Variant(), Variant(), Variant()));
  EXPECT_FALSE(reg_.CreateValue("a1", "w", REG_SZ) || reg_.DeleteValue("a1") ||
               reg_.CreateDirectory("E") || reg_.DeleteDirectory("A"));
  EXPECT_EQ(Raw("a1"), Stored(REG_SZ, "v\0"s));
}

TEST_F(ReadWriteRegTest, SortsACopyAndLeavesWhatDoesNotCompare) {
  const Variant two16 = std::int16_t{2}, two32 = std::int32_t{2};
  for (const auto& [in, out] : std::initializer_list<std::pair<Variant, Variant>>{
           {VariantArray{"b", "a", "c", "B"}, VariantArray{"B", "a", "b", "c"}},
           {VariantArray{std::int16_t{3}, std::int32_t{1}, two16},
            VariantArray{std::int32_t{1}, two16, std::int16_t{3}}},
           {VariantArray{two16, two32}, VariantArray{two32, two16}},
           {VariantArray{}, VariantArray{}},
           {VariantArray{"a", std::int16_t{1}}, VariantArray{"a", std::int16_t{1}}},
           {"b,a", "b,a"}}) {
    const Variant argument = in;
    EXPECT_EQ(reg_.SortArrayAscending(argument), out);
    EXPECT_EQ(argument, in);
  }
}

}  // namespace
}  // namespace pellvane
