#include <windows.h>

namespace {
// The predefined roots, taken before their names are given back to our own constants below.
const ::HKEY kMachineKey = HKEY_LOCAL_MACHINE;
const ::HKEY kUserKey = HKEY_CURRENT_USER;
}  // namespace

// Our registry_types.h names the same numbers as constants; the Windows macros of those names
// would stand in their way. The values are the same.
#undef HKEY_LOCAL_MACHINE
#undef REG_NONE
#undef REG_SZ
#undef REG_EXPAND_SZ
#undef REG_BINARY
#undef REG_DWORD
#undef REG_DWORD_BIG_ENDIAN
#undef REG_LINK
#undef REG_MULTI_SZ
#undef REG_RESOURCE_LIST
#undef REG_FULL_RESOURCE_DESCRIPTOR
#undef REG_RESOURCE_REQUIREMENTS_LIST
#undef KEY_QUERY_VALUE
#undef KEY_SET_VALUE
#undef KEY_CREATE_SUB_KEY
#undef KEY_ENUMERATE_SUB_KEYS
#undef KEY_NOTIFY
#undef KEY_CREATE_LINK
#undef READ_CONTROL
#undef KEY_READ
#undef KEY_WRITE
#undef KEY_ALL_ACCESS
#undef ERROR_SUCCESS
#undef ERROR_FILE_NOT_FOUND
#undef ERROR_ACCESS_DENIED
#undef ERROR_INVALID_HANDLE
#undef ERROR_MORE_DATA
#undef ERROR_NO_MORE_ITEMS
#undef REG_CREATED_NEW_KEY
#undef REG_OPENED_EXISTING_KEY
// And the names of our Registry's calls, which are macros for the A or W calls there.
#undef RegOpenKeyEx
#undef RegCreateKeyEx
#undef RegQueryValueEx
#undef RegSetValueEx
#undef RegEnumKey
#undef RegEnumValue
#undef RegDeleteKey
#undef RegDeleteValue

#include <cstring>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/registry.h"
#include "platform/wide_text.h"

namespace pellvane {
namespace {

constexpr HKEY kFirstHandle = 0x100;
constexpr HKEY kLastHandle = 0x7FFFFFF0;
constexpr const char* kUserRoot = "HKEY_CURRENT_USER";

// The path with its empty parts (a doubled or a trailing backslash) left out.
std::wstring KeyPath(std::string_view text) {
  std::string joined;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\\', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) {
      if (!joined.empty()) joined += '\\';
      joined.append(text.substr(start, end - start));
    }
    start = end + 1;
  }
  return Widen(joined);
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Registry data as the callers hold it: texts in UTF-8 (their NULs kept), the rest as it is.
std::string FromStored(DWORD type, const std::vector<BYTE>& data) {
  if (!IsText(type)) return std::string(data.begin(), data.end());
  return Narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2));
}

std::vector<BYTE> ToStored(DWORD type, std::string_view data) {
  if (!IsText(type)) return std::vector<BYTE>(data.begin(), data.end());
  const std::wstring wide = Widen(data);
  const auto* bytes = reinterpret_cast<const BYTE*>(wide.data());
  return std::vector<BYTE>(bytes, bytes + wide.size() * sizeof(wchar_t));
}

// Hands out `found` by the registry's buffer rules: ERROR_MORE_DATA and the size needed when
// the caller's buffer is too small; the size in any case.
LSTATUS CopyOut(const std::string& found, std::uint8_t* data, std::uint32_t* size) {
  const auto needed = static_cast<std::uint32_t>(found.size());
  if (data != nullptr && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr) std::memcpy(data, found.data(), found.size());
  if (size != nullptr) *size = needed;
  return ERROR_SUCCESS;
}

// True when the settings key under `root` may be written, or made where it is missing: the
// key itself opens for writing, or its nearest existing parent lets a sub-key be created.
bool Writable(::HKEY root, std::wstring path) {
  REGSAM sam = KEY_READ | KEY_WRITE;
  for (;;) {
    ::HKEY key = nullptr;
    const LONG r = ::RegOpenKeyExW(root, path.c_str(), 0, sam, &key);
    if (r == ERROR_SUCCESS) RegCloseKey(key);
    if (r != ERROR_FILE_NOT_FOUND || path.empty()) return r == ERROR_SUCCESS;
    const std::size_t cut = path.rfind(L'\\');
    path.resize(cut == std::wstring::npos ? 0 : cut);
    sam = KEY_CREATE_SUB_KEY;
  }
}

}  // namespace

struct Registry::State {
  std::mutex mutex;
  std::string store_path;
  std::optional<::HKEY> root;
  std::unordered_map<HKEY, ::HKEY> handles;
  HKEY next = kLastHandle;  // the first handle given is kFirstHandle

  // What HKEY_LOCAL_MACHINE stands for: the machine's key where this account may write the
  // settings key, else the same path under the user's own key. Decided once.
  ::HKEY Root() {
    if (root) return *root;
    const std::size_t slash = store_path.find('\\');
    const std::string name = store_path.substr(0, slash);
    const std::wstring path =
        KeyPath(slash == std::string::npos ? "" : std::string_view(store_path).substr(slash));
    if (name == kUserRoot || !Writable(kMachineKey, path)) {
      root = kUserKey;
      store_path = kUserRoot + store_path.substr(name.size());
    } else {
      root = kMachineKey;
    }
    return *root;
  }

  ::HKEY Find(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return Root();
    const auto it = handles.find(key);
    return it == handles.end() ? nullptr : it->second;
  }

  // Handles count up in steps of four below the predefined roots, skipping any still in use.
  HKEY AddHandle(::HKEY real) {
    do {
      next = next >= kLastHandle ? kFirstHandle : next + 4;
    } while (handles.count(next) != 0);
    handles.emplace(next, real);
    return next;
  }
};

Registry::Registry(std::string store_path) : state_(std::make_unique<State>()) {
  state_->store_path = std::move(store_path);
}

Registry::~Registry() {
  for (const auto& [ours, real] : state_->handles) ::RegCloseKey(real);
}

const std::string& Registry::store_path() const {
  std::lock_guard lock(state_->mutex);
  state_->Root();
  return state_->store_path;
}

LSTATUS Registry::RegOpenKeyEx(HKEY key, std::string_view sub_key, std::uint32_t options,
                               std::uint32_t sam, HKEY* result) {
  std::lock_guard lock(state_->mutex);
  const ::HKEY parent = state_->Find(key);
  if (parent == nullptr || result == nullptr) return ERROR_INVALID_HANDLE;
  ::HKEY opened = nullptr;
  const LONG r = ::RegOpenKeyExW(parent, KeyPath(sub_key).c_str(), options, sam, &opened);
  if (r != ERROR_SUCCESS) return r;
  *result = state_->AddHandle(opened);
  return ERROR_SUCCESS;
}

LSTATUS Registry::RegCreateKeyEx(HKEY key, std::string_view sub_key, std::uint32_t options,
                                 std::uint32_t sam, HKEY* result, std::uint32_t* disposition) {
  std::lock_guard lock(state_->mutex);
  const ::HKEY parent = state_->Find(key);
  if (parent == nullptr || result == nullptr) return ERROR_INVALID_HANDLE;
  ::HKEY created = nullptr;
  DWORD how = 0;
  const LONG r = ::RegCreateKeyExW(parent, KeyPath(sub_key).c_str(), 0, nullptr, options, sam,
                                   nullptr, &created, &how);
  if (r != ERROR_SUCCESS) return r;
  if (disposition != nullptr) *disposition = how;
  *result = state_->AddHandle(created);
  return ERROR_SUCCESS;
}

LSTATUS Registry::RegCloseKey(HKEY key) {
  std::lock_guard lock(state_->mutex);
  if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  const auto it = state_->handles.find(key);
  if (it == state_->handles.end()) return ERROR_INVALID_HANDLE;
  const LONG r = ::RegCloseKey(it->second);
  state_->handles.erase(it);
  return r;
}

LSTATUS Registry::RegQueryValueEx(HKEY key, std::string_view name, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* size) {
  std::lock_guard lock(state_->mutex);
  const ::HKEY real = state_->Find(key);
  if (real == nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_HANDLE;
  const std::wstring wide_name = Widen(name);
  DWORD stored_type = 0;
  DWORD stored_size = 0;
  std::vector<BYTE> bytes;
  LONG r = ERROR_MORE_DATA;
  // The value may grow between the two calls; then it is read again.
  while (r == ERROR_MORE_DATA) {
    r = ::RegQueryValueExW(real, wide_name.c_str(), nullptr, &stored_type, nullptr, &stored_size);
    if (r != ERROR_SUCCESS) return r;
    bytes.resize(stored_size);
    r = ::RegQueryValueExW(real, wide_name.c_str(), nullptr, &stored_type, bytes.data(),
                           &stored_size);
  }
  if (r != ERROR_SUCCESS) return r;
  bytes.resize(stored_size);
  if (type != nullptr) *type = stored_type;
  return CopyOut(FromStored(stored_type, bytes), data, size);
}

LSTATUS Registry::RegSetValueEx(HKEY key, std::string_view name, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t size) {
  std::lock_guard lock(state_->mutex);
  const ::HKEY real = state_->Find(key);
  if (real == nullptr || (data == nullptr && size != 0)) return ERROR_INVALID_HANDLE;
  const std::vector<BYTE> stored =
      ToStored(type, std::string_view(reinterpret_cast<const char*>(data), size));
  return ::RegSetValueExW(real, Widen(name).c_str(), 0, type, stored.data(),
                          static_cast<DWORD>(stored.size()));
}

LSTATUS Registry::RegEnumKey(HKEY key, std::uint32_t index, char* name, std::uint32_t size) {
  std::lock_guard lock(state_->mutex);
  const ::HKEY real = state_->Find(key);
  if (real == nullptr || name == nullptr) return ERROR_INVALID_HANDLE;
  wchar_t found[256];
  DWORD length = 256;
  const LONG r = ::RegEnumKeyExW(real, index, found, &length, nullptr, nullptr, nullptr, nullptr);
  if (r != ERROR_SUCCESS) return r;
  const std::string text = Narrow(std::wstring_view(found, length));
  if (text.size() + 1 > size) return ERROR_MORE_DATA;
  std::memcpy(name, text.c_str(), text.size() + 1);
  return ERROR_SUCCESS;
}

LSTATUS Registry::RegEnumValue(HKEY key, std::uint32_t index, char* name, std::uint32_t* name_size,
                               std::uint32_t* type, std::uint8_t* data, std::uint32_t* data_size) {
  std::lock_guard lock(state_->mutex);
  const ::HKEY real = state_->Find(key);
  if (real == nullptr || name == nullptr || name_size == nullptr) return ERROR_INVALID_HANDLE;
  if (data != nullptr && data_size == nullptr) return ERROR_INVALID_HANDLE;
  std::vector<wchar_t> found(16384);
  DWORD length = static_cast<DWORD>(found.size());
  DWORD stored_type = 0;
  DWORD stored_size = 0;
  LONG r = ::RegEnumValueW(real, index, found.data(), &length, nullptr, &stored_type, nullptr,
                           &stored_size);
  if (r != ERROR_SUCCESS) return r;
  std::vector<BYTE> bytes(stored_size);
  length = static_cast<DWORD>(found.size());
  r = ::RegEnumValueW(real, index, found.data(), &length, nullptr, &stored_type, bytes.data(),
                      &stored_size);
  if (r != ERROR_SUCCESS) return r;
  bytes.resize(stored_size);
  const std::string text = Narrow(std::wstring_view(found.data(), length));
  const std::string value = FromStored(stored_type, bytes);
  if (text.size() + 1 > *name_size || (data != nullptr && value.size() > *data_size)) {
    return ERROR_MORE_DATA;
  }
  std::memcpy(name, text.c_str(), text.size() + 1);
  *name_size = static_cast<std::uint32_t>(text.size());
  if (type != nullptr) *type = stored_type;
  return CopyOut(value, data, data_size);
}

LSTATUS Registry::RegDeleteKey(HKEY key, std::string_view sub_key) {
  std::lock_guard lock(state_->mutex);
  const ::HKEY real = state_->Find(key);
  if (real == nullptr) return ERROR_INVALID_HANDLE;
  return ::RegDeleteKeyW(real, KeyPath(sub_key).c_str());
}

LSTATUS Registry::RegDeleteValue(HKEY key, std::string_view name) {
  std::lock_guard lock(state_->mutex);
  const ::HKEY real = state_->Find(key);
  if (real == nullptr) return ERROR_INVALID_HANDLE;
  return ::RegDeleteValueW(real, Widen(name).c_str());
}

}  // namespace pellvane
