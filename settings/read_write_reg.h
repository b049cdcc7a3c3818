// CReadWriteReg: holds at most one open registry key and reads, writes, enumerates and
// deletes its values and sub-keys, converting between registry data and Variant values.
// Not safe from two threads.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dialogs.h"
#include "platform/registry.h"
#include "platform/registry_types.h"
#include "settings/variant.h"

namespace pellvane {

class CReadWriteReg {
 public:
  // Works on `registry`, which must outlive it; `dialogs` shows the one message of the class,
  // for a data type it cannot write.
  CReadWriteReg(Registry& registry, Dialogs& dialogs);
  ~CReadWriteReg();  // closes the key handle, ignoring failures
  CReadWriteReg(const CReadWriteReg&) = delete;
  CReadWriteReg& operator=(const CReadWriteReg&) = delete;

  // The open key's sub-key names as an array; nothing when not open.
  Variant GetAllSubDirectories();
  // Creates sNewDirName (and missing levels) below the open key; an existing key counts.
  bool CreateDirectory(const std::string& sNewDirName);
  bool DeleteDirectory(const std::string& sKeyName);
  // The open key's value names as an array; it ends before the first value whose name or data
  // does not fit 240 characters or bytes. Nothing when not open.
  Variant GetAllValues();
  // Writes REG_SZ, REG_EXPAND_SZ, REG_DWORD (a text of four bytes) or REG_MULTI_SZ; any other
  // type shows "Unable To process that Type of data." and writes nothing.
  bool CreateValue(const std::string& sValueName, const Variant& vWriteThis,
                   std::int32_t ldValueDataType, const Variant& Multi_SZ_AddtlStrings = Variant());
  bool DeleteValue(const std::string& sValueName);
  // The value rendered by its type, a diagnostic text, or nothing when it does not exist.
  Variant GetValue(const std::string& VarName, bool ReturnBinStr = false);
  HKEY RegistryRootKey() const { return registry_root_key_; }
  const std::string& SubDirectory() const { return sub_directory_; }
  // Opens RtHKey\SbDr for reading and writing; closes the key held before.
  bool OpenRegistry(HKEY RtHKey, const std::string& SbDr);
  // Reopens the parent of SubDirectory(); std::invalid_argument when it holds no backslash.
  void OneBackOnKey();
  bool CloseRegistry();
  // A sorted copy of an array (insertion sort, texts by byte, numbers by value); anything
  // else, or an array whose elements do not compare, comes back unchanged.
  Variant SortArrayAscending(const Variant& ValueList);

 private:
  static std::size_t LastBackslashPos(const std::string& text);

  Registry& registry_;
  Dialogs& dialogs_;
  HKEY registry_root_key_ = 0;
  std::string sub_directory_;
  HKEY key_ = 0;
  bool open_ = false;
};

}  // namespace pellvane
