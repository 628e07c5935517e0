// The player's own folders, after the XDG base-directory rules: a variable
// holding an absolute path wins, else the default under $HOME.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "engine/engine.h"

namespace {

struct FolderRule {
    const char* variable;
    const char* fallback;  // below $HOME
};
constexpr FolderRule Rules[] = {
    {"XDG_DATA_HOME", ".local/share"},
    {"XDG_STATE_HOME", ".local/state"},
    {"XDG_CONFIG_HOME", ".config"},
};

// Creates every missing folder of an absolute path (mode 0700 as the rules
// ask for new base folders). 0 when the whole path is a folder afterwards.
int MakeFolders(const std::string& path) {
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/') continue;
        std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return -1;
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : -1;
}

}  // namespace

int GetUserFolder(int which, char* out, int size) {
    if (!out || size <= 0) return -1;
    out[0] = '\0';
    if (which < 0 || which >= (int)(sizeof Rules / sizeof Rules[0])) return -1;
    const FolderRule& rule = Rules[which];
    std::string base;
    const char* value = std::getenv(rule.variable);
    if (value && value[0] == '/') {
        base = value;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') return -1;
        base = std::string(home) + "/" + rule.fallback;
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    std::string folder = base + "/quellbore";
    if ((int)folder.size() + 1 > size) return -1;
    if (MakeFolders(folder) != 0) return -1;
    std::memcpy(out, folder.c_str(), folder.size() + 1);
    return 0;
}
