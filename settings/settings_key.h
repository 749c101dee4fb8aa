// The settings key: the registry key that locates the account database and its backup
// directory. Windows: the registry itself. Elsewhere: a directory tree below the root named by
// the environment variable GATEKEEPER_REGISTRY (default /var/lib/kestrel-gatekeeper/registry),
// where a key is the directory <root>/<root key name>/<path with "\" as "/"> and a value is the
// file of that name in it, holding the value's bytes (a string with its terminating zero).
#ifndef GATEKEEPER_SETTINGS_SETTINGS_KEY_H_
#define GATEKEEPER_SETTINGS_SETTINGS_KEY_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace gatekeeper {

// The predefined keys of the registry that a settings key can lie under.
enum class RegistryRoot {
  kLocalMachine,  // HKEY_LOCAL_MACHINE: where the system keeps its settings
  kCurrentUser,   // HKEY_CURRENT_USER
};

// Where every program of the system finds its settings, and the names of the two values.
inline constexpr RegistryRoot kSettingsRoot = RegistryRoot::kLocalMachine;
inline constexpr char kSettingsPath[] = "Software\\Kestrel\\Gatekeeper (Text)";
inline constexpr char kConfigurationFileValue[] = "Configuration File";
inline constexpr char kBackupDirectoryValue[] = "Backup directory";

// One use of a registry key: open, read or write string values, close. Opening again closes
// the key held before. Destroying the object closes the key.
class SettingsKey {
 public:
  SettingsKey();
  ~SettingsKey();
  SettingsKey(const SettingsKey&) = delete;
  SettingsKey& operator=(const SettingsKey&) = delete;

  // Opens an existing key for reading; true when a handle is held. A missing key (or, outside
  // Windows, a directory that cannot be read) holds none.
  bool openForReading(RegistryRoot root = kSettingsRoot, const char* path = kSettingsPath);
  // Opens a key for reading and writing, creating it and any missing parent keys; true when a
  // handle is held. Only a key opened this way accepts writes.
  bool openForWriting(RegistryRoot root = kSettingsRoot, const char* path = kSettingsPath);
  bool isOpen() const;
  void close();

  // The text of a string value: its bytes up to the first zero byte (all of them when there is
  // none). Absent when the key is not open, the value does not exist, holds 0 bytes or cannot be
  // read. A value holding only the zero byte reads as the empty text. The value's registry type
  // is not examined.
  std::optional<std::string> readString(const char* valueName) const;

  // Stores a text as a string value with its terminating zero byte (REG_SZ). false when the key
  // is not open, was opened only for reading, the text holds a zero byte (it would not read
  // back whole) or the store fails. Outside Windows the value file is replaced atomically.
  bool writeString(const char* valueName, std::string_view text);

  // The system's error code (platform/system_error.h) of the last open, readString or
  // writeString of this object that failed, taken where it failed: a key or value that does
  // not exist gives a code for which meansMissing holds, one that this account may not read
  // EACCES (ERROR_ACCESS_DENIED on Windows). 0 after a success, after reading a value of 0
  // bytes, and for a refusal of the object's own (a write to a key opened for reading).
  int lastError() const { return lastError_; }
  // Whether an error code says that the key or value does not exist (rather than that it
  // exists and cannot be used).
  static bool meansMissing(int code);
  // Where a key is kept, for a diagnostic: outside Windows the directory that stands for it;
  // on Windows the registry path below its root key ("HKEY_LOCAL_MACHINE\Software\...").
  static std::string location(RegistryRoot root = kSettingsRoot, const char* path = kSettingsPath);

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  bool writable_ = false;
  mutable int lastError_ = 0;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_SETTINGS_SETTINGS_KEY_H_
