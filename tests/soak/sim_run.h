// Runs quellbore-sim over a private copy of the built data, for the soak
// and bad-data suites.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// 1 under AddressSanitizer (gcc or clang): runs are slower and resident
// memory includes the quarantine of freed blocks.
#if defined(__SANITIZE_ADDRESS__)
#define QUELLBORE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUELLBORE_ASAN 1
#endif
#endif
#ifndef QUELLBORE_ASAN
#define QUELLBORE_ASAN 0
#endif

namespace simrun {

namespace fs = std::filesystem;

// A fresh folder holding a copy of the build's data/, removed at the end.
struct WorkCopy {
    fs::path dir;
    explicit WorkCopy(const std::string& tag) {
        dir = fs::temp_directory_path() / ("quellbore-" + tag + "-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy(QUELLBORE_DATA_DIR, dir / "data", fs::copy_options::recursive);
    }
    ~WorkCopy() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path Data(const std::string& name) const { return dir / "data" / name; }
};

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// The exit code of the runner (128 + signal when a signal ended it).
inline int RunSim(const std::string& arguments) {
    std::string command = std::string(QUELLBORE_BUILD_DIR) + "/quellbore-sim " + arguments + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    if (status == -1) return -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    // The shell reports a signal of its child as 128 + n.
    return WEXITSTATUS(status);
}

// The last "Total size:N" after "Alloc memory dump" in a Log.txt, -1 if none.
inline long LeftOverBytes(const std::string& log) {
    size_t dump = log.rfind("Alloc memory dump");
    if (dump == std::string::npos) return -1;
    size_t total = log.find("Total size:", dump);
    if (total == std::string::npos) return -1;
    return std::strtol(log.c_str() + total + 11, nullptr, 10);
}

// One line of quellbore-sim --memory-log: anonymous resident memory (the
// heap) and file-backed resident memory (mapped files) in KiB.
struct MemorySample {
    int frame, scene, stage;
    long heapKb, fileKb;
};
inline std::vector<MemorySample> ReadMemoryLog(const fs::path& path) {
    std::vector<MemorySample> samples;
    std::ifstream in(path);
    MemorySample s;
    while (in >> s.frame >> s.scene >> s.stage >> s.heapKb >> s.fileKb) samples.push_back(s);
    return samples;
}

}  // namespace simrun
