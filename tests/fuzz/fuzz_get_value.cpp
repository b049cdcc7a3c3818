// Any data type and data bytes, stored as a value, through CReadWriteReg::GetValue in both
// forms: no crash, and each type rendered as the registry access class promises.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_folder.h"
#include "platform/registry.h"
#include "settings/read_write_reg.h"
#include "support/env_registry.h"
#include "support/recording_dialogs.h"

namespace {

constexpr const char* kKey = "SOFTWARE\\Brackfell\\Pellvane";

// The settings key in a temporary store for the whole run.
pellvane::HKEY Key() {
  static const pellvane::HKEY key = [] {
    setenv("PELLVANE_HOME", pellvane::fuzzing::FuzzFolder().c_str(), 1);
    pellvane::HKEY k = 0;
    if (pellvane::RegCreateKeyEx(pellvane::HKEY_LOCAL_MACHINE, kKey, 0, pellvane::KEY_ALL_ACCESS,
                                 &k, nullptr) != pellvane::ERROR_SUCCESS) {
      std::abort();
    }
    return k;
  }();
  return key;
}

std::string Hex(const std::string& data) {
  std::string out;
  char digits[4];
  for (unsigned char c : data) {
    std::snprintf(digits, sizeof digits, "%02X ", c);
    out += digits;
  }
  return out;
}

// What GetValue must give for a text result; false for REG_MULTI_SZ, checked apart.
bool ExpectedText(std::uint32_t type, const std::string& data, bool raw, std::string* out) {
  using namespace pellvane;
  switch (type) {
    case REG_NONE:
      *out = "Not defined value_type=REG_NONE";
      return true;
    case REG_SZ:
    case REG_EXPAND_SZ:
      *out = data.empty() ? "" : data.substr(0, data.size() - 1);
      return true;
    case REG_BINARY:
    case REG_DWORD:
      *out = raw ? data : Hex(data);
      return true;
    case REG_DWORD_BIG_ENDIAN:
      *out = data;
      return true;
    case REG_LINK:
      *out = "Not defined value_type=REG_LINK";
      return true;
    case REG_MULTI_SZ:
      return false;
    case REG_RESOURCE_LIST:
      *out = "Not defined value_type=REG_RESOURCE_LIST";
      return true;
    case REG_FULL_RESOURCE_DESCRIPTOR:
      *out = "Not defined value_type=REG_FULL_RESOURCE_DESCRIPTOR";
      return true;
    case REG_RESOURCE_REQUIREMENTS_LIST:
      *out = "Not defined value_type=REG_RESOURCE_REQUIREMENTS_LIST";
      return true;
    default:
      *out = "value_type=" + std::to_string(type);
      return true;
  }
}

// A REG_MULTI_SZ result: its elements, each with a NUL after it, give the data back; data
// that does not end in a NUL gives the empty text.
bool MultiSzFits(const pellvane::Variant& got, const std::string& data) {
  if (data.empty() || data.back() != '\0') return got == pellvane::Variant(std::string());
  const pellvane::VariantArray* parts = got.Array();
  if (parts == nullptr) return false;
  std::string joined;
  for (const pellvane::Variant& p : *parts) {
    if (p.Text() == nullptr) return false;
    joined += *p.Text() + '\0';
  }
  return joined == data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t type =
      data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
  const std::string bytes(reinterpret_cast<const char*>(data + 4), size - 4);
  if (pellvane::RegSetValueEx(Key(), "v", type, data + 4, static_cast<std::uint32_t>(size - 4)) !=
      pellvane::ERROR_SUCCESS) {
    std::abort();
  }
  pellvane::testing::RecordingDialogs dialogs;
  pellvane::CReadWriteReg reg(testing::EnvRegistry(), dialogs);
  if (!reg.OpenRegistry(pellvane::HKEY_LOCAL_MACHINE, kKey)) std::abort();
  for (bool raw : {false, true}) {
    const pellvane::Variant got = reg.GetValue("V", raw);
    std::string expected;
    if (ExpectedText(type, bytes, raw, &expected)) {
      if (got != pellvane::Variant(expected)) std::abort();
    } else if (!MultiSzFits(got, bytes)) {
      std::abort();
    }
  }
  if (!dialogs.boxes.empty()) std::abort();
  return 0;
}
