// Temporary folders for fixtures, removed with everything in it, and file
// helpers for them.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// The name starts with the prefix; keep leaves it in place for a look.
// Only the process that made it removes it, not a forked child that exits
// (a death test).
struct TempFolder {
    std::string path;
    bool keep = false;
    pid_t owner = getpid();
    explicit TempFolder(const std::string& prefix = "qbfiles") {
        std::string pattern = "/tmp/" + prefix + "XXXXXX";
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path.empty() && !keep && getpid() == owner) std::filesystem::remove_all(path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// A temporary folder with a data/ folder as the working directory; the
// previous one is restored at the end.
struct TempWorkDir {
    TempFolder folder;
    std::filesystem::path previous;
    std::filesystem::path root;

    TempWorkDir() {
        previous = std::filesystem::current_path();
        root = folder.path;
        std::filesystem::create_directories(root / "data");
        std::filesystem::current_path(root);
    }
    ~TempWorkDir() { std::filesystem::current_path(previous); }
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;

    std::string Write(const std::string& relative, const std::string& contents) const {
        std::filesystem::path p = root / relative;
        std::ofstream(p, std::ios::binary) << contents;
        return p.string();
    }
    std::string Read(const std::string& relative) const {
        std::ifstream in(root / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
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

// Removes a folder with everything in it; false when it cannot.
inline bool RemoveTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return !ec;
}

// In test programs only: the fuzz seeds take this header in through the
// sound fixtures.
#ifdef QUELLBORE_BUILD_DIR
// Runs quellbore-pack from the build folder with the given arguments.
inline int RunPacker(const std::string& arguments) {
    std::string command = std::string(QUELLBORE_BUILD_DIR) + "/quellbore-pack " + arguments + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif
