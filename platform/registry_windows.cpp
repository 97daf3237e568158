// The per-user store on Windows: the registry under HKEY_CURRENT_USER. Key and value names and
// string values are 8-bit strings of the current code page, converted to the registry's 16-bit
// strings with MultiByteToWideChar / WideCharToMultiByte.
#include "platform/registry.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace orv::platform {
namespace {

constexpr DWORD kMaxValueSize = 1 << 20;  // far above any record the system stores

// Converts an 8-bit string of the current code page; false when it cannot be converted.
bool toWide(const std::string& s, std::wstring& out) {
    out.clear();
    if (s.empty()) return true;
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) return false;
    out.resize(static_cast<std::size_t>(n));
    return MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &out[0], n) == n;
}

std::string toNarrow(const wchar_t* s, std::size_t length) {
    if (length == 0) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(length), &out[0], n, nullptr, nullptr);
    return out;
}

// An open key that closes itself.
class Key {
public:
    Key() = default;
    ~Key() {
        if (handle) RegCloseKey(handle);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool create(const std::string& path) {
        std::wstring wide;
        if (path.empty() || !toWide(path, wide)) return false;
        return RegCreateKeyExW(HKEY_CURRENT_USER, wide.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                               nullptr, &handle, nullptr) == ERROR_SUCCESS;
    }
    bool open(const std::string& path, REGSAM access) {
        std::wstring wide;
        if (path.empty() || !toWide(path, wide)) return false;
        return RegOpenKeyExW(HKEY_CURRENT_USER, wide.c_str(), 0, access, &handle) == ERROR_SUCCESS;
    }
    HKEY get() const { return handle; }

private:
    HKEY handle = nullptr;
};

bool setValue(const std::string& key, const std::string& name, DWORD type, const void* data, std::size_t size) {
    if (size > kMaxValueSize || (size > 0 && !data)) return false;
    std::wstring wideName;
    if (!toWide(name, wideName)) return false;
    Key k;
    if (!k.create(key)) return false;
    return RegSetValueExW(k.get(), wideName.c_str(), 0, type, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

// Reads a whole value of the expected type; false when missing, of another type or too large.
bool getValue(const std::string& key, const std::string& name, DWORD expectedType, std::vector<unsigned char>& out) {
    std::wstring wideName;
    if (!toWide(name, wideName)) return false;
    Key k;
    if (!k.open(key, KEY_QUERY_VALUE)) return false;
    // The value may change between asking its size and reading it; retry a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(k.get(), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
        if (type != expectedType || size > kMaxValueSize) return false;
        out.assign(size, 0);
        DWORD got = size;
        LONG rc = RegQueryValueExW(k.get(), wideName.c_str(), nullptr, &type, out.empty() ? nullptr : out.data(), &got);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS || type != expectedType || got > size) return false;
        out.resize(got);
        return true;
    }
    return false;
}

}  // namespace

bool registrySetBinary(const std::string& key, const std::string& name, const void* data, std::size_t size) {
    return setValue(key, name, REG_BINARY, data, size);
}

long registryGetBinary(const std::string& key, const std::string& name, void* data, std::size_t capacity) {
    std::vector<unsigned char> payload;
    if (!getValue(key, name, REG_BINARY, payload)) return -1;
    std::size_t n = payload.size() < capacity ? payload.size() : capacity;
    if (n > 0 && data) std::memcpy(data, payload.data(), n);
    return static_cast<long>(data ? n : 0);
}

bool registrySetString(const std::string& key, const std::string& name, const std::string& value) {
    // Stored up to the first zero character, with the terminating zero.
    std::wstring wide;
    if (!toWide(value.substr(0, value.find('\0')), wide)) return false;
    return setValue(key, name, REG_SZ, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
}

bool registryGetString(const std::string& key, const std::string& name, std::string& value) {
    std::vector<unsigned char> payload;
    if (!getValue(key, name, REG_SZ, payload) || payload.size() % sizeof(wchar_t) != 0) return false;
    // Registry strings need not carry their terminating zero: stop at the first zero or the end.
    std::wstring wide(payload.size() / sizeof(wchar_t), L'\0');
    if (!wide.empty()) std::memcpy(&wide[0], payload.data(), payload.size());
    value = toNarrow(wide.c_str(), wide.find(L'\0') == std::wstring::npos ? wide.size() : wide.find(L'\0'));
    return true;
}

bool registryDeleteValue(const std::string& key, const std::string& name) {
    std::wstring wideName;
    if (!toWide(name, wideName)) return false;
    Key k;
    if (!k.open(key, KEY_SET_VALUE)) return false;
    return RegDeleteValueW(k.get(), wideName.c_str()) == ERROR_SUCCESS;
}

}  // namespace orv::platform
