#pragma once
// The per-user store of settings. On Windows this is the registry under HKEY_CURRENT_USER;
// on Linux a key is a folder under $XDG_CONFIG_HOME (default ~/.config) and a value is a file
// holding its type and bytes. Writes go to a temporary file that is renamed over the old one,
// so a crash or a second instance never leaves a half-written value. Unreadable or malformed
// values read as missing. Key paths use backslashes, as in "SOFTWARE\\Orv-tonekraft\\Tamarind".
#include <cstddef>
#include <string>

namespace orv::platform {

// Value types as the registry names them.
enum class RegistryType : unsigned { String = 1, Binary = 3 };

// Stores `size` bytes as a binary value, creating the key if needed. False when nothing was stored.
bool registrySetBinary(const std::string& key, const std::string& name, const void* data, std::size_t size);

// Reads at most `capacity` bytes of a binary value into `data`. Returns the number of bytes
// copied, or -1 when the key or value is missing, unreadable, malformed or of another type.
long registryGetBinary(const std::string& key, const std::string& name, void* data, std::size_t capacity);

// Stores an 8-bit string as a 16-bit registry string with its terminating zero character.
bool registrySetString(const std::string& key, const std::string& name, const std::string& value);

// Reads a string value; false (and `value` untouched) when missing or malformed.
bool registryGetString(const std::string& key, const std::string& name, std::string& value);

// Deletes a value; false when there was nothing to delete or it could not be removed.
bool registryDeleteValue(const std::string& key, const std::string& name);

}  // namespace orv::platform
