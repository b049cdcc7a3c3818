#include "platform/registry.h"

#include <unistd.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/registry_store.h"

namespace pellvane {
namespace {

constexpr std::uint32_t kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK |
                                       0x10000u /* DELETE */ | 0x40000u /* WRITE_DAC */ |
                                       0x80000u /* WRITE_OWNER */;
constexpr HKEY kFirstHandle = 0x100;
constexpr HKEY kLastHandle = 0x7FFFFFF0;

struct Handle {
  std::shared_ptr<RegistryStore> store;  // null while the store file does not exist
  KeyPath path;
  std::int64_t id = 0;  // 0 until the key is found in the store
  std::uint32_t sam = 0;
  // What RegEnumKey and RegEnumValue hand out by index: read whole at index 0 (or when none is
  // held), so that counting up through a key reads it once.
  std::optional<std::vector<std::string>> sub_keys;
  std::optional<std::vector<RegistryStore::StoredValue>> values;
};

KeyPath SplitPath(std::string_view text) {
  KeyPath parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\\', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// True when the nearest existing folder above `path` lets us create what is missing.
bool CanCreate(const std::string& path) {
  std::string folder = path;
  while (true) {
    const std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return access(".", W_OK | X_OK) == 0;
    folder.resize(slash == 0 ? 1 : slash);
    if (access(folder.c_str(), F_OK) == 0) return access(folder.c_str(), W_OK | X_OK) == 0;
    if (slash == 0) return false;
  }
}

enum class Need { kRead, kWrite, kCreate };

}  // namespace

// The handles and the store connection. The last connection used stays open, so that
// opening and closing a key again and again does not reopen the file each time.
struct Registry::State {
  std::mutex mutex;
  std::string store_path;
  pid_t pid = ProcessId();
  std::unordered_map<HKEY, Handle> handles;
  HKEY next = kLastHandle;  // the first handle given is kFirstHandle
  std::shared_ptr<RegistryStore> recent;

  // After a fork the parent's handles and connection are not ours; they are dropped
  // without closing (the store objects know not to close a foreign connection).
  void AdoptAfterFork() {
    if (pid == ProcessId()) return;
    pid = ProcessId();
    handles.clear();
    recent.reset();
  }

  // The connection to the store: the open one when it still fits, else a fresh one. Without
  // `create`, a missing file gives ERROR_FILE_NOT_FOUND.
  LSTATUS Acquire(bool for_write, bool create, std::shared_ptr<RegistryStore>* out) {
    if (recent && !recent->foreign() && !recent->replaced() && (!for_write || recent->writable())) {
      *out = recent;
      return ERROR_SUCCESS;
    }
    std::shared_ptr<RegistryStore> store;
    LSTATUS r = RegistryStore::Open(store_path, for_write, &store);
    if (r == ERROR_FILE_NOT_FOUND && create) r = RegistryStore::Create(store_path, &store);
    if (r != ERROR_SUCCESS) return r;
    *out = recent = store;
    return ERROR_SUCCESS;
  }

  // The handle named by `key`; the predefined root works without being opened.
  Handle* Find(HKEY key, Handle* root) {
    AdoptAfterFork();
    if (key == HKEY_LOCAL_MACHINE) {
      root->sam = KEY_ALL_ACCESS;
      return root;
    }
    const auto it = handles.find(key);
    return it == handles.end() ? nullptr : &it->second;
  }

  // Makes the handle's store and key id ready for an operation. ERROR_FILE_NOT_FOUND means
  // there is no store file yet; only kCreate (a write that adds something) creates it.
  LSTATUS Bind(Handle& h, Need need) {
    const bool for_write = need != Need::kRead;
    if (for_write && (h.sam & kWriteRights) == 0) return ERROR_ACCESS_DENIED;
    if (!h.store || h.store->foreign() || (for_write && !h.store->writable())) {
      if (LSTATUS r = Acquire(for_write, need == Need::kCreate, &h.store); r != ERROR_SUCCESS) {
        return r;
      }
      h.id = 0;
    }
    if (h.id != 0) return ERROR_SUCCESS;
    if (need == Need::kCreate && IsPredefinedKey(h.path)) return h.store->EnsureKey(h.path, &h.id);
    return h.store->FindKey(h.path, &h.id);
  }

  // Handles count up in steps of four below the predefined roots, skipping any still in use.
  HKEY AddHandle(Handle h) {
    do {
      next = next >= kLastHandle ? kFirstHandle : next + 4;
    } while (handles.count(next) != 0);
    handles.emplace(next, std::move(h));
    return next;
  }
};

Registry::Registry(std::string store_path) : state_(std::make_unique<State>()) {
  state_->store_path = std::move(store_path);
}

Registry::~Registry() = default;

const std::string& Registry::store_path() const { return state_->store_path; }

LSTATUS Registry::RegOpenKeyEx(HKEY key, std::string_view sub_key, std::uint32_t, std::uint32_t sam,
                               HKEY* result) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  Handle root;
  Handle* parent = s.Find(key, &root);
  if (parent == nullptr || result == nullptr) return ERROR_INVALID_HANDLE;
  Handle h;
  h.path = parent->path;
  const KeyPath below = SplitPath(sub_key);
  h.path.insert(h.path.end(), below.begin(), below.end());
  h.sam = sam;
  const bool for_write = (sam & kWriteRights) != 0;
  LSTATUS r = s.Acquire(for_write, false, &h.store);
  if (r == ERROR_FILE_NOT_FOUND) {
    // No store file yet: only the keys every store has can be opened, and with write rights
    // only where the file could be created.
    if (!IsPredefinedKey(h.path)) return ERROR_FILE_NOT_FOUND;
    if (for_write && !CanCreate(s.store_path)) return ERROR_ACCESS_DENIED;
  } else if (r != ERROR_SUCCESS) {
    return r;
  } else if (parent->store == h.store && parent->id != 0) {
    r = h.store->FindKey(parent->id, below, &h.id);
  } else {
    r = h.store->FindKey(h.path, &h.id);
  }
  if (r == ERROR_FILE_NOT_FOUND && IsPredefinedKey(h.path)) r = ERROR_SUCCESS;
  if (r != ERROR_SUCCESS) return r;
  *result = s.AddHandle(std::move(h));
  return ERROR_SUCCESS;
}

LSTATUS Registry::RegCreateKeyEx(HKEY key, std::string_view sub_key, std::uint32_t,
                                 std::uint32_t sam, HKEY* result, std::uint32_t* disposition) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  Handle root;
  Handle* parent = s.Find(key, &root);
  if (parent == nullptr || result == nullptr) return ERROR_INVALID_HANDLE;
  if ((parent->sam & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
  if (LSTATUS r = s.Bind(*parent, Need::kCreate); r != ERROR_SUCCESS) return r;
  Handle h;
  h.store = parent->store;
  h.path = parent->path;
  const KeyPath below = SplitPath(sub_key);
  h.path.insert(h.path.end(), below.begin(), below.end());
  h.sam = sam;
  bool created = false;
  if (LSTATUS r = h.store->EnsureKey(parent->id, below, &h.id, &created); r != ERROR_SUCCESS) {
    return r;
  }
  if (disposition != nullptr)
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = s.AddHandle(std::move(h));
  return ERROR_SUCCESS;
}

LSTATUS Registry::RegCloseKey(HKEY key) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  s.AdoptAfterFork();
  if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  return s.handles.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS Registry::RegQueryValueEx(HKEY key, std::string_view name, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* size) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  Handle root;
  Handle* h = s.Find(key, &root);
  if (h == nullptr) return ERROR_INVALID_HANDLE;
  if ((h->sam & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (data != nullptr && size == nullptr) return ERROR_INVALID_HANDLE;
  if (LSTATUS r = s.Bind(*h, Need::kRead); r != ERROR_SUCCESS) return r;
  std::uint32_t stored_type = 0;
  std::string bytes;
  if (LSTATUS r = h->store->GetValue(h->id, std::string(name), &stored_type, &bytes);
      r != ERROR_SUCCESS) {
    // No such value, or no such key any more: a key deleted under the handle is gone for it.
    std::int64_t now = 0;
    if (r == ERROR_FILE_NOT_FOUND && h->id != 0 &&
        (h->store->FindKey(h->path, &now) != ERROR_SUCCESS || now != h->id)) {
      return ERROR_INVALID_HANDLE;
    }
    return r;
  }
  if (type != nullptr) *type = stored_type;
  const auto needed = static_cast<std::uint32_t>(bytes.size());
  if (data != nullptr && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr) std::memcpy(data, bytes.data(), bytes.size());
  if (size != nullptr) *size = needed;
  return ERROR_SUCCESS;
}

LSTATUS Registry::RegSetValueEx(HKEY key, std::string_view name, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t size) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  Handle root;
  Handle* h = s.Find(key, &root);
  if (h == nullptr || (data == nullptr && size != 0)) return ERROR_INVALID_HANDLE;
  if ((h->sam & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (LSTATUS r = s.Bind(*h, Need::kCreate); r != ERROR_SUCCESS) return r;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  return h->store->SetValue(h->id, std::string(name), type, bytes);
}

LSTATUS Registry::RegEnumKey(HKEY key, std::uint32_t index, char* name, std::uint32_t size) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  Handle root;
  Handle* h = s.Find(key, &root);
  if (h == nullptr || name == nullptr) return ERROR_INVALID_HANDLE;
  if ((h->sam & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
  LSTATUS r = s.Bind(*h, Need::kRead);
  if (r == ERROR_FILE_NOT_FOUND) return ERROR_NO_MORE_ITEMS;
  if (r != ERROR_SUCCESS) return r;
  if (index == 0 || !h->sub_keys) {
    h->sub_keys.emplace();
    if (r = h->store->SubKeys(h->id, &*h->sub_keys); r != ERROR_SUCCESS) return r;
  }
  if (index >= h->sub_keys->size()) return ERROR_NO_MORE_ITEMS;
  const std::string& found = (*h->sub_keys)[index];
  if (found.size() + 1 > size) return ERROR_MORE_DATA;
  std::memcpy(name, found.c_str(), found.size() + 1);
  return ERROR_SUCCESS;
}

LSTATUS Registry::RegEnumValue(HKEY key, std::uint32_t index, char* name, std::uint32_t* name_size,
                               std::uint32_t* type, std::uint8_t* data, std::uint32_t* data_size) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  Handle root;
  Handle* h = s.Find(key, &root);
  if (h == nullptr || name == nullptr || name_size == nullptr) return ERROR_INVALID_HANDLE;
  if (data != nullptr && data_size == nullptr) return ERROR_INVALID_HANDLE;
  if ((h->sam & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  LSTATUS r = s.Bind(*h, Need::kRead);
  if (r == ERROR_FILE_NOT_FOUND) return ERROR_NO_MORE_ITEMS;
  if (r != ERROR_SUCCESS) return r;
  if (index == 0 || !h->values) {
    h->values.emplace();
    if (r = h->store->Values(h->id, &*h->values); r != ERROR_SUCCESS) return r;
  }
  if (index >= h->values->size()) return ERROR_NO_MORE_ITEMS;
  const auto& [found, stored_type, bytes] = (*h->values)[index];
  const auto needed = static_cast<std::uint32_t>(bytes.size());
  if (found.size() + 1 > *name_size || (data != nullptr && needed > *data_size)) {
    return ERROR_MORE_DATA;
  }
  std::memcpy(name, found.c_str(), found.size() + 1);
  *name_size = static_cast<std::uint32_t>(found.size());
  if (type != nullptr) *type = stored_type;
  if (data != nullptr) std::memcpy(data, bytes.data(), bytes.size());
  if (data_size != nullptr) *data_size = needed;
  return ERROR_SUCCESS;
}

LSTATUS Registry::RegDeleteKey(HKEY key, std::string_view sub_key) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  Handle root;
  Handle* h = s.Find(key, &root);
  if (h == nullptr) return ERROR_INVALID_HANDLE;
  KeyPath target = h->path;
  const KeyPath below = SplitPath(sub_key);
  target.insert(target.end(), below.begin(), below.end());
  if (IsPredefinedKey(target)) return ERROR_ACCESS_DENIED;
  if (LSTATUS r = s.Bind(*h, Need::kWrite); r != ERROR_SUCCESS) return r;
  std::int64_t id = 0;
  if (LSTATUS r = h->store->FindKey(h->id, below, &id); r != ERROR_SUCCESS) return r;
  return h->store->DeleteKey(id);
}

LSTATUS Registry::RegDeleteValue(HKEY key, std::string_view name) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  Handle root;
  Handle* h = s.Find(key, &root);
  if (h == nullptr) return ERROR_INVALID_HANDLE;
  if ((h->sam & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (LSTATUS r = s.Bind(*h, Need::kWrite); r != ERROR_SUCCESS) return r;
  return h->store->DeleteValue(h->id, std::string(name));
}

}  // namespace pellvane
