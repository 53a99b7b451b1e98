// main.cpp: the asset generator's entry: writes every picture, sound and the music into a build tree.
#include "assetgen.h"

#include <sys/stat.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

void ensureDir(const std::string& path) {
    for (size_t i = 1; i <= path.size(); i++) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            fprintf(stderr, "assetgen: cannot create %s: %s\n", part.c_str(), strerror(errno));
            exit(1);
        }
    }
}

int main(int argc, char* argv[]) {
    if (argc != 2) {
        fprintf(stderr, "usage: assetgen OUTPUT_DIR\n");
        return 2;
    }
    std::string root = argv[1];
    auto start = std::chrono::steady_clock::now();
    ensureDir(root);
    // The pictures take the longest; the sounds and the music are made beside them.
    std::thread audio([&root] {
        makeSounds(root);
        makeMusic(root);
    });
    makeImages(root);
    audio.join();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    printf("assetgen: wrote every asset into %s in %.0f ms\n", root.c_str(), ms);
    return 0;
}
