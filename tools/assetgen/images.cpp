// images.cpp: every picture of the game, drawn by code and written as PNG into the build tree's images/ folder.
#include "assetgen.h"
#include "img_art.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

void writeAll(const std::string& root, const Pictures& all, size_t from, size_t step) {
    for (size_t i = from; i < all.size(); i += step) {
        std::string path = root + "/images/" + all[i].path;
        ensureDir(path.substr(0, path.rfind('/')));
        if (!writePng(path, all[i].img)) {
            fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
            exit(1);
        }
    }
}

}  // namespace

void makeImages(const std::string& root) {
    // full-screen canvases come and go by the dozen: keep their memory instead of mapping it afresh each time
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    fontsInit();
    // two painters share the work; each keeps its own pictures in the order they are made
    Pictures mine, theirs;
    std::thread other([&theirs] {
        makeScreenPictures(theirs);
        makeHudPictures(theirs);
        makeNetPictures(theirs);
        fontsDone();
    });
    makeCowboyPictures(mine);
    makeStreetPicture(mine);
    makeMenuPictures(mine);
    other.join();
    Pictures all = std::move(mine);
    for (Picture& p : theirs) all.push_back(std::move(p));
    std::thread half([&] { writeAll(root, all, 1, 2); });
    writeAll(root, all, 0, 2);
    makeIcons(root);
    Image sheet = makeContactSheet(all);
    half.join();
    if (!writePng(root + "/contact-sheet.png", sheet)) {
        fprintf(stderr, "assetgen: cannot write the contact sheet\n");
        exit(1);
    }
    fontsDone();
}
