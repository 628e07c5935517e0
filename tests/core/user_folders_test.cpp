#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "tests/support/temp_folder.h"

namespace {

// Sets an environment variable for one scope and puts the old value back.
struct EnvSet {
    std::string name, old;
    bool had;
    EnvSet(const char* n, const char* value) : name(n), had(std::getenv(n) != nullptr) {
        if (had) old = std::getenv(n);
        if (value) setenv(n, value, 1); else unsetenv(n);
    }
    ~EnvSet() {
        if (had) setenv(name.c_str(), old.c_str(), 1); else unsetenv(name.c_str());
    }
};

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

TEST(UserFolders, VariablesWinDefaultsFallBelowHomeAndFoldersAreMade) {
    TempFolder folder("quellbore-folders-");
    ASSERT_FALSE(folder.path.empty());
    const char* root = folder.path.c_str();
    std::string home = std::string(root) + "/home";
    EnvSet h("HOME", home.c_str());
    EnvSet d("XDG_DATA_HOME", (std::string(root) + "/data/").c_str());
    EnvSet s("XDG_STATE_HOME", "relative/ignored");  // not absolute: the default
    EnvSet c("XDG_CONFIG_HOME", nullptr);
    char out[512];
    ASSERT_EQ(GetUserFolder(UserFolderData, out, sizeof out), 0);
    EXPECT_EQ(std::string(out), std::string(root) + "/data/quellbore");
    ASSERT_EQ(GetUserFolder(UserFolderState, out, sizeof out), 0);
    EXPECT_EQ(std::string(out), home + "/.local/state/quellbore");
    ASSERT_EQ(GetUserFolder(UserFolderConfig, out, sizeof out), 0);
    EXPECT_EQ(std::string(out), home + "/.config/quellbore");
    EXPECT_TRUE(IsFolder(out));
    // Refusals: unknown kind, a buffer too small, no home at all.
    EXPECT_EQ(GetUserFolder(3, out, sizeof out), -1);
    EXPECT_EQ(GetUserFolder(-1, out, sizeof out), -1);
    EXPECT_EQ(GetUserFolder(UserFolderConfig, out, 8), -1);
    EXPECT_STREQ(out, "");
    {
        EnvSet noHome("HOME", nullptr);
        EXPECT_EQ(GetUserFolder(UserFolderConfig, out, sizeof out), -1);
    }
}
