// Linux stand-in for the current user's registry: one file per value under $XDG_CONFIG_HOME.
//
// File layout (little-endian): "ORVR", type (u32), length (u32), the bytes, FNV-1a hash (u32)
// of everything before it. A file that is short, too long, or whose hash does not match is
// malformed and reads as missing.
#include "platform/registry.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orv::platform {
namespace {

constexpr char kMagic[4] = {'O', 'R', 'V', 'R'};
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kMaxValueSize = 1 << 20;  // far above any record the system stores

std::uint32_t fnv1a(const unsigned char* p, std::size_t n) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 16777619u;
    }
    return h;
}

void putU32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

std::uint32_t getU32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// A key or value name component must not be able to leave the store's folder.
bool safeComponent(const std::string& s) {
    if (s.empty() || s == "." || s == "..") return false;
    for (char c : s)
        if (c == '/' || c == '\0') return false;
    return true;
}

std::string storeRoot() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config";
    return std::string();
}

// Maps a backslash-separated key to a folder path; empty when the key is unusable.
std::string keyFolder(const std::string& key) {
    std::string root = storeRoot();
    if (root.empty()) return std::string();
    std::string path = root;
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find('\\', start);
        if (end == std::string::npos) end = key.size();
        std::string part = key.substr(start, end - start);
        if (!part.empty()) {
            if (!safeComponent(part)) return std::string();
            path += '/';
            path += part;
        }
        start = end + 1;
    }
    return path;
}

bool makeFolders(const std::string& path) {
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            std::string prefix = path.substr(0, pos);
            if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        }
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writeAll(int fd, const unsigned char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool storeValue(const std::string& key, const std::string& name, RegistryType type,
                const unsigned char* data, std::size_t size) {
    if (!safeComponent(name) || size > kMaxValueSize || (size > 0 && !data)) return false;
    std::string folder = keyFolder(key);
    if (folder.empty() || !makeFolders(folder)) return false;

    std::vector<unsigned char> bytes(kMagic, kMagic + 4);
    putU32(bytes, static_cast<std::uint32_t>(type));
    putU32(bytes, static_cast<std::uint32_t>(size));
    bytes.insert(bytes.end(), data, data + size);
    putU32(bytes, fnv1a(bytes.data(), bytes.size()));

    // A temporary name the system makes unique (both plug-ins in one process, and any number of
    // instances and threads, each get their own), then an atomic rename over the old value.
    const std::string finalPath = folder + "/" + name;
    std::string tmpPath = finalPath + ".tmp.XXXXXX";
    const int fd = ::mkostemp(tmpPath.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmpPath.c_str(), finalPath.c_str()) == 0;
    if (!ok) ::unlink(tmpPath.c_str());
    return ok;
}

// Reads a whole value file, at most a little more than the largest valid one. Only a regular
// file counts: a FIFO or device put in the store would otherwise block the open or the read,
// and with it the plug-in's construction, so the file is opened without blocking and anything
// that is not a regular file reads as missing.
bool readRegularFile(const std::string& path, std::vector<unsigned char>& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    unsigned char buf[4096];
    bool ok = true;
    while (bytes.size() <= kMaxValueSize + kHeaderSize + 4) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        bytes.insert(bytes.end(), buf, buf + n);
    }
    ::close(fd);
    return ok;
}

// Loads and validates a value file. False when missing or malformed.
bool loadValue(const std::string& key, const std::string& name, RegistryType& type,
               std::vector<unsigned char>& payload) {
    if (!safeComponent(name)) return false;
    std::string folder = keyFolder(key);
    if (folder.empty()) return false;
    std::vector<unsigned char> bytes;
    if (!readRegularFile(folder + "/" + name, bytes)) return false;
    if (bytes.size() < kHeaderSize + 4 || std::memcmp(bytes.data(), kMagic, 4) != 0) return false;
    std::uint32_t length = getU32(&bytes[8]);
    if (length > kMaxValueSize || bytes.size() != kHeaderSize + length + 4) return false;
    if (getU32(&bytes[kHeaderSize + length]) != fnv1a(bytes.data(), kHeaderSize + length)) return false;
    std::uint32_t t = getU32(&bytes[4]);
    if (t != static_cast<std::uint32_t>(RegistryType::String) && t != static_cast<std::uint32_t>(RegistryType::Binary))
        return false;
    type = static_cast<RegistryType>(t);
    payload.assign(bytes.begin() + kHeaderSize, bytes.begin() + kHeaderSize + length);
    return true;
}

}  // namespace

bool registrySetBinary(const std::string& key, const std::string& name, const void* data, std::size_t size) {
    return storeValue(key, name, RegistryType::Binary, static_cast<const unsigned char*>(data), size);
}

long registryGetBinary(const std::string& key, const std::string& name, void* data, std::size_t capacity) {
    RegistryType type;
    std::vector<unsigned char> payload;
    if (!loadValue(key, name, type, payload) || type != RegistryType::Binary) return -1;
    std::size_t n = payload.size() < capacity ? payload.size() : capacity;
    if (n > 0 && data) std::memcpy(data, payload.data(), n);
    return static_cast<long>(data ? n : 0);
}

bool registrySetString(const std::string& key, const std::string& name, const std::string& value) {
    // 16-bit code units, little-endian, with the terminating zero; 8-bit characters map one to one.
    std::vector<unsigned char> units;
    for (unsigned char c : value) {
        if (c == 0) break;
        units.push_back(c);
        units.push_back(0);
    }
    units.push_back(0);
    units.push_back(0);
    return storeValue(key, name, RegistryType::String, units.data(), units.size());
}

bool registryGetString(const std::string& key, const std::string& name, std::string& value) {
    RegistryType type;
    std::vector<unsigned char> payload;
    if (!loadValue(key, name, type, payload) || type != RegistryType::String || payload.size() % 2 != 0) return false;
    std::string out;
    for (std::size_t i = 0; i + 1 < payload.size(); i += 2) {
        unsigned unit = payload[i] | unsigned(payload[i + 1]) << 8;
        if (unit == 0) break;
        out.push_back(unit < 256 ? static_cast<char>(unit) : '?');
    }
    value = out;
    return true;
}

bool registryDeleteValue(const std::string& key, const std::string& name) {
    if (!safeComponent(name)) return false;
    std::string folder = keyFolder(key);
    if (folder.empty()) return false;
    return ::unlink((folder + "/" + name).c_str()) == 0;
}

}  // namespace orv::platform
