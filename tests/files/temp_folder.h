// A temporary folder for fixtures, removed with everything in it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>

struct TempFolder {
    std::string path;
    TempFolder() {
        char pattern[] = "/tmp/qbfilesXXXXXX";
        char* made = mkdtemp(pattern);
        if (made) path = made;
    }
    ~TempFolder() {
        if (!path.empty()) {
            std::string command = "rm -rf '" + path + "'";
            if (std::system(command.c_str()) != 0) {
            }
        }
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

inline bool WriteFileText(const std::string& path, const std::string& text) {
    return WriteFileBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

inline std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    unsigned char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(f);
    return bytes;
}

inline void MakeFolder(const std::string& path) { mkdir(path.c_str(), 0755); }

// Runs quellbore-pack from the build folder with the given arguments.
inline int RunPacker(const std::string& arguments) {
    std::string command = std::string(QUELLBORE_BUILD_DIR) + "/quellbore-pack " + arguments + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
