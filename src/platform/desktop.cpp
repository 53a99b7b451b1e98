// desktop.cpp: the desktop's side of the platform calls: the music module itself, and the settings' file.
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

const char* musicFile() { return "../music/wildwest.it"; }

bool onPage() { return false; }

// $XDG_CONFIG_HOME/korvado (~/.config/korvado when it is unset or empty); empty when there is no home either.
static std::string settingsFolder() {
    const char* xdg = getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/korvado";
    const char* home = getenv("HOME");
    return home && *home ? std::string(home) + "/.config/korvado" : "";
}

bool readSettingsStore(std::string& text, std::string& where) {
    std::string folder = settingsFolder();
    where = folder + "/settings";
    std::ifstream in(where, std::ios::binary);
    if (folder.empty() || !in) return false;
    std::stringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

// Each missing folder of the path, made in turn (as mkdir -p).
static bool makeFolders(const std::string& path) {
    for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (at == std::string::npos) return true;
    }
}

bool writeSettingsStore(const std::string& text) {
    std::string folder = settingsFolder(), file = folder + "/settings", temp = file + ".new";
    bool ok = !folder.empty() && makeFolders(folder);
    FILE* f = ok ? fopen(temp.c_str(), "wb") : nullptr;
    ok = f && fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f) ok = (fflush(f) == 0 && fsync(fileno(f)) == 0 && ok), ok = (fclose(f) == 0 && ok);
    if (ok) ok = rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) {
        fprintf(stderr, "korvado: cannot write %s: %s\n", file.c_str(), folder.empty() ? "no home folder" : strerror(errno));
        if (f) unlink(temp.c_str());
    }
    return ok;
}
