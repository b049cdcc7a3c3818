// The registry: the Reg* calls with the Windows semantics and error codes, and the key handles
// they give out. On Linux over one settings store (a SQLite file); on Windows advapi32 itself.
// Safe from two threads: every call takes the object's lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/registry_types.h"

namespace pellvane {

class Registry {
 public:
  // Linux: the store file at `store_path`; nothing is opened or created before the first call.
  // Windows: `store_path` names the settings key ("HKEY_LOCAL_MACHINE\SOFTWARE\..."). Where
  // this account may not write it there, HKEY_LOCAL_MACHINE stands for HKEY_CURRENT_USER, and
  // store_path() says so.
  explicit Registry(std::string store_path);
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  const std::string& store_path() const;

  // Key paths are split at backslashes; empty parts are ignored. Names match without regard to
  // ASCII case. An access mask with write rights fails with ERROR_ACCESS_DENIED on a store that
  // cannot be written or is not a store at all.
  LSTATUS RegOpenKeyEx(HKEY key, std::string_view sub_key, std::uint32_t options, std::uint32_t sam,
                       HKEY* result);
  // Creates the missing levels; `disposition` (may be null) tells whether the key was new.
  LSTATUS RegCreateKeyEx(HKEY key, std::string_view sub_key, std::uint32_t options,
                         std::uint32_t sam, HKEY* result, std::uint32_t* disposition);
  LSTATUS RegCloseKey(HKEY key);

  // Without `data`, gives type and size. With it, `*size` is the buffer's size in bytes; a
  // smaller buffer than the data gives ERROR_MORE_DATA and the size needed.
  LSTATUS RegQueryValueEx(HKEY key, std::string_view name, std::uint32_t* type, std::uint8_t* data,
                          std::uint32_t* size);
  // One committed transaction; an existing value keeps the spelling of its name.
  LSTATUS RegSetValueEx(HKEY key, std::string_view name, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t size);

  // The sub-key at `index` (in name order) into `name` of `size` characters, NUL included.
  LSTATUS RegEnumKey(HKEY key, std::uint32_t index, char* name, std::uint32_t size);
  // The value at `index` (in creation order): `*name_size` characters in, the name's length out;
  // `data` may be null, otherwise `*data_size` bytes in and the data's size out.
  LSTATUS RegEnumValue(HKEY key, std::uint32_t index, char* name, std::uint32_t* name_size,
                       std::uint32_t* type, std::uint8_t* data, std::uint32_t* data_size);

  // A key with sub-keys, or the SOFTWARE key itself, is refused with ERROR_ACCESS_DENIED.
  LSTATUS RegDeleteKey(HKEY key, std::string_view sub_key);
  LSTATUS RegDeleteValue(HKEY key, std::string_view name);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace pellvane
