#include "settings/read_write_reg.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "platform/registry.h"

namespace pellvane {
namespace {

constexpr std::uint32_t kSubKeyBuffer = 256;
constexpr std::uint32_t kValueBuffer = 250;
constexpr std::uint32_t kValueBufferPassed = 240;
constexpr std::uint32_t kFirstQueryBuffer = 1024;
// The enumeration index is a signed 16-bit counter: counting on past its top is an overflow,
// which ends a listing in null rather than in a list cut short.
constexpr std::int16_t kLastIndex = INT16_MAX;
// A value that keeps growing between the calls is given up on after this many reads.
constexpr int kQueryAttempts = 4;

const std::uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const std::uint8_t*>(s.data());
}

// Texts that a REG_MULTI_SZ leaves out of its additional strings.
bool SkippedInMultiSz(const Variant& v) {
  if (v.IsNull() || v.IsNothing()) return true;
  const std::string* text = v.Text();
  return text != nullptr && (text->empty() || *text == std::string(1, '\0'));
}

std::string HexBytes(const std::string& data) {
  std::string out;
  char digits[4];
  for (unsigned char c : data) {
    std::snprintf(digits, sizeof digits, "%02X ", c);
    out += digits;
  }
  return out;
}

// REG_MULTI_SZ data split at each NUL; data that does not end in one has no form.
Variant SplitMultiSz(const std::string& data) {
  if (data.empty() || data.back() != '\0') return std::string();
  VariantArray parts;
  std::size_t start = 0;
  while (start < data.size()) {
    const std::size_t nul = data.find('\0', start);
    parts.emplace_back(data.substr(start, nul - start));
    start = nul + 1;
  }
  return parts;
}

// -1, 0 or 1; std::invalid_argument for values that do not compare.
int Compare(const Variant& a, const Variant& b) {
  const auto number = [](const Variant& v, double* out) {
    if (const auto* n = std::get_if<std::int16_t>(&v.value)) return *out = *n, true;
    if (const auto* n = std::get_if<std::int32_t>(&v.value)) return *out = *n, true;
    if (const auto* n = std::get_if<bool>(&v.value)) return *out = *n ? -1 : 0, true;
    if (v.IsNothing()) return *out = 0, true;
    return false;
  };
  const std::string* ta = a.Text();
  const std::string* tb = b.Text();
  if (ta != nullptr || tb != nullptr) {
    if ((ta == nullptr && !a.IsNothing()) || (tb == nullptr && !b.IsNothing())) {
      throw std::invalid_argument("a text compares only with a text");
    }
    const int c = (ta != nullptr ? *ta : std::string()).compare(tb != nullptr ? *tb : "");
    return (c > 0) - (c < 0);
  }
  double x = 0;
  double y = 0;
  if (!number(a, &x) || !number(b, &y)) throw std::invalid_argument("values do not compare");
  return (x > y) - (x < y);
}

}  // namespace

CReadWriteReg::CReadWriteReg(Registry& registry, Dialogs& dialogs)
    : registry_(registry), dialogs_(dialogs) {}

CReadWriteReg::~CReadWriteReg() { registry_.RegCloseKey(key_); }

bool CReadWriteReg::OpenRegistry(HKEY RtHKey, const std::string& SbDr) {
  if (RtHKey == 0) {
    open_ = false;
    return false;
  }
  registry_root_key_ = RtHKey;
  sub_directory_ = SbDr;
  if (open_) {
    CloseRegistry();
    open_ = false;
  }
  if (registry_.RegOpenKeyEx(RtHKey, SbDr, 0, kReadWriteAccess, &key_) != ERROR_SUCCESS)
    return false;
  open_ = true;
  return true;
}

bool CReadWriteReg::CloseRegistry() {
  if (registry_.RegCloseKey(key_) != ERROR_SUCCESS) return false;
  open_ = false;
  return true;
}

bool CReadWriteReg::CreateDirectory(const std::string& sNewDirName) {
  if (!open_) return false;
  HKEY created = 0;
  std::uint32_t disposition = 0;
  if (registry_.RegCreateKeyEx(key_, sNewDirName, 0, KEY_ALL_ACCESS, &created, &disposition) !=
      ERROR_SUCCESS) {
    return false;
  }
  registry_.RegCloseKey(created);
  return true;
}

bool CReadWriteReg::DeleteDirectory(const std::string& sKeyName) {
  return open_ && registry_.RegDeleteKey(key_, sKeyName) == ERROR_SUCCESS;
}

bool CReadWriteReg::DeleteValue(const std::string& sValueName) {
  return open_ && registry_.RegDeleteValue(key_, sValueName) == ERROR_SUCCESS;
}

Variant CReadWriteReg::GetAllSubDirectories() {
  if (!open_) return Variant();
  try {
    VariantArray names;
    for (std::int16_t index = 0;; ++index) {
      std::string buffer(kSubKeyBuffer, ' ');
      if (registry_.RegEnumKey(key_, static_cast<std::uint32_t>(index), buffer.data(),
                               kSubKeyBuffer) != ERROR_SUCCESS) {
        break;
      }
      names.emplace_back(buffer.substr(0, buffer.find('\0')));
      if (index == kLastIndex) return Null();
    }
    return names;
  } catch (...) {
    return Null();
  }
}

Variant CReadWriteReg::GetAllValues() {
  if (!open_) return Variant();
  try {
    VariantArray names;
    for (std::int16_t index = 0;; ++index) {
      std::string name(kValueBuffer, ' ');
      std::string data(kValueBuffer, ' ');
      std::uint32_t name_size = kValueBufferPassed;
      std::uint32_t data_size = kValueBufferPassed;
      std::uint32_t type = 0;
      if (registry_.RegEnumValue(key_, static_cast<std::uint32_t>(index), name.data(), &name_size,
                                 &type, reinterpret_cast<std::uint8_t*>(data.data()),
                                 &data_size) != ERROR_SUCCESS) {
        break;
      }
      names.emplace_back(name.substr(0, name.find('\0')));
      if (index == kLastIndex) return Null();
    }
    return names;
  } catch (...) {
    return Null();
  }
}

bool CReadWriteReg::CreateValue(const std::string& sValueName, const Variant& vWriteThis,
                                std::int32_t ldValueDataType,
                                const Variant& Multi_SZ_AddtlStrings) {
  if (!open_) return false;
  std::string data;
  switch (ldValueDataType) {
    case static_cast<std::int32_t>(REG_SZ):
    case static_cast<std::int32_t>(REG_EXPAND_SZ):
      data = ToText(vWriteThis) + '\0';
      break;
    case static_cast<std::int32_t>(REG_DWORD):
      // The four bytes in stored order, as GetValue gives them with ReturnBinStr; a shorter
      // text has no four bytes to give and writes nothing.
      data = ToText(vWriteThis);
      if (data.size() < 4) return false;
      data.resize(4);
      break;
    case static_cast<std::int32_t>(REG_MULTI_SZ):
      data = ToText(vWriteThis) + '\0';
      if (const VariantArray* more = Multi_SZ_AddtlStrings.Array()) {
        for (const Variant& s : *more) {
          if (!SkippedInMultiSz(s)) data += ToText(s) + '\0';
        }
      } else if (!SkippedInMultiSz(Multi_SZ_AddtlStrings)) {
        data += ToText(Multi_SZ_AddtlStrings) + '\0';
      }
      data += '\0';
      break;
    default:
      dialogs_.MsgBox("Unable To process that Type of data.", MsgKind::kError);
      return false;
  }
  return registry_.RegSetValueEx(key_, sValueName, static_cast<std::uint32_t>(ldValueDataType),
                                 Bytes(data),
                                 static_cast<std::uint32_t>(data.size())) == ERROR_SUCCESS;
}

Variant CReadWriteReg::GetValue(const std::string& VarName, bool ReturnBinStr) {
  if (!open_) return Variant();
  try {
    // Type, size and data in one call when the data fits the first buffer (settings always
    // do); a larger value is read again into a buffer of its size.
    std::uint32_t type = 0;
    std::string data(kFirstQueryBuffer, '\0');
    std::uint32_t size = kFirstQueryBuffer;
    LSTATUS r = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < kQueryAttempts && r == ERROR_MORE_DATA; ++attempt) {
      data.resize(std::max<std::size_t>(size, data.size()));
      size = static_cast<std::uint32_t>(data.size());
      r = registry_.RegQueryValueEx(key_, VarName, &type,
                                    reinterpret_cast<std::uint8_t*>(data.data()), &size);
    }
    if (r == ERROR_FILE_NOT_FOUND) return Variant();
    if (r == ERROR_ACCESS_DENIED) return std::string("Access Denied");
    if (r != ERROR_SUCCESS) return "RegQueryValueEx Returned : (" + std::to_string(r) + ")";
    data.resize(size);
    switch (type) {
      case REG_NONE:
        return std::string("Not defined value_type=REG_NONE");
      case REG_SZ:
      case REG_EXPAND_SZ:
        return data.empty() ? std::string() : data.substr(0, data.size() - 1);
      case REG_BINARY:
      case REG_DWORD:
        return ReturnBinStr ? data : HexBytes(data);
      case REG_DWORD_BIG_ENDIAN:
        return data;
      case REG_LINK:
        return std::string("Not defined value_type=REG_LINK");
      case REG_MULTI_SZ:
        return SplitMultiSz(data);
      case REG_RESOURCE_LIST:
        return std::string("Not defined value_type=REG_RESOURCE_LIST");
      case REG_FULL_RESOURCE_DESCRIPTOR:
        return std::string("Not defined value_type=REG_FULL_RESOURCE_DESCRIPTOR");
      case REG_RESOURCE_REQUIREMENTS_LIST:
        return std::string("Not defined value_type=REG_RESOURCE_REQUIREMENTS_LIST");
      default:
        return "value_type=" + std::to_string(type);
    }
  } catch (...) {
    return std::string();
  }
}

void CReadWriteReg::OneBackOnKey() {
  const std::size_t p = LastBackslashPos(sub_directory_);
  if (p == 0) throw std::invalid_argument("the key path holds no backslash");
  sub_directory_.resize(p - 1);
  CloseRegistry();
  OpenRegistry(registry_root_key_, sub_directory_);
}

Variant CReadWriteReg::SortArrayAscending(const Variant& ValueList) {
  const VariantArray* list = ValueList.Array();
  if (list == nullptr) return ValueList;
  try {
    VariantArray sorted = *list;
    for (std::size_t i = 1; i < sorted.size(); ++i) {
      Variant t = sorted[i];
      std::size_t j = i;
      while (j > 0 && Compare(sorted[j - 1], t) >= 0) --j;
      for (std::size_t k = i; k > j; --k) sorted[k] = std::move(sorted[k - 1]);
      sorted[j] = std::move(t);
    }
    return sorted;
  } catch (...) {
    return ValueList;
  }
}

std::size_t CReadWriteReg::LastBackslashPos(const std::string& text) {
  for (std::size_t i = text.size(); i > 0; --i) {
    if (text[i - 1] == '\\') return i;
  }
  return 0;
}

}  // namespace pellvane
