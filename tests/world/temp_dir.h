// A fresh working directory with a data/ folder, left again at the end.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

struct TempWorkDir {
    std::filesystem::path previous;
    std::filesystem::path root;

    TempWorkDir() {
        previous = std::filesystem::current_path();
        char pattern[] = "/tmp/quellbore-world-XXXXXX";
        root = mkdtemp(pattern);
        std::filesystem::create_directories(root / "data");
        std::filesystem::current_path(root);
    }
    ~TempWorkDir() {
        std::filesystem::current_path(previous);
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
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
