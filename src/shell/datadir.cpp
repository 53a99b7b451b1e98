// datadir.cpp: where the pictures, sounds and music are: beside the working directory, the program, or installed.
#include "shell/shell.h"

#include <climits>
#include <string>
#include <unistd.h>

#ifndef KORVADO_DATA_FROM_BIN
#define KORVADO_DATA_FROM_BIN "../share/games/korvado"  // the installed data, seen from the program's folder
#endif

static const char PROBE[] = "../images/menu/loading.png";
static std::string dataRoot;  // empty: the asset paths as they are, relative to the working directory

// The folder the running program lives in, or "" when the system does not say.
static std::string programFolder() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "";
    std::string path(exe, size_t(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

// The first of: the working directory (where a player's copy in bin/ starts), the folder beside the
// program (the build tree), the installed data found from the program's own place (any prefix).
void findAssets() {
    dataRoot.clear();
    if (access(PROBE, R_OK) == 0) return;
    std::string bin = programFolder();
    if (bin.empty()) return;
    for (std::string root : {bin + "/../", bin + "/" KORVADO_DATA_FROM_BIN "/"}) {
        if (access((root + (PROBE + 3)).c_str(), R_OK) == 0) {
            dataRoot = root;
            return;
        }
    }
}

std::string assetPath(const char* path) {
    if (dataRoot.empty() || path[0] != '.' || path[1] != '.' || path[2] != '/') return path;
    return dataRoot + (path + 3);
}
