// xshot.cpp: the end-to-end tests' eyes, in milliseconds where ImageMagick takes tens: a screenshot of the X screen.
// `xshot grab FILE` writes the screen as a PNG; `xshot pixels FILE X,Y...` prints the colours there, "r g b" each;
// `xshot raw FILE OUT` writes its pixels as raw RGB bytes.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

static int fail(const char* what, const char* path) {
    fprintf(stderr, "xshot: %s %s\n", what, path);
    return 1;
}

// One channel of an X pixel as 8 bits, from the visual's mask (Xvfb's 24-bit screen: 8 bits a channel).
static unsigned channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    unsigned shift = __builtin_ctzl(mask);
    unsigned long value = (pixel & mask) >> shift, top = mask >> shift;
    return unsigned(value * 255 / top);
}

// The PNG at zlib's quickest level and without filters: screenshots are read back at once, rarely kept.
static bool writePng(const char* path, const std::vector<png_byte>& rgb, unsigned w, unsigned h) {
    FILE* f = fopen(path, "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = info && !setjmp(png_jmpbuf(png));
    if (ok) {
        png_init_io(png, f);
        png_set_compression_level(png, 1);
        png_set_filter(png, 0, PNG_FILTER_NONE);
        png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (unsigned y = 0; y < h; y++) png_write_row(png, &rgb[size_t(y) * w * 3]);
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    return fclose(f) == 0 && ok;
}

static int grab(const char* path) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return fail("cannot open the display for", path);
    Window root = DefaultRootWindow(dpy);
    XWindowAttributes a;
    XGetWindowAttributes(dpy, root, &a);
    XImage* img = XGetImage(dpy, root, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!img) return XCloseDisplay(dpy), fail("cannot read the screen for", path);
    std::vector<png_byte> rgb(size_t(a.width) * a.height * 3);
    png_byte* p = rgb.data();
    for (int y = 0; y < a.height; y++)
        for (int x = 0; x < a.width; x++) {
            unsigned long px = XGetPixel(img, x, y);
            *p++ = png_byte(channel(px, img->red_mask));
            *p++ = png_byte(channel(px, img->green_mask));
            *p++ = png_byte(channel(px, img->blue_mask));
        }
    XDestroyImage(img);
    XCloseDisplay(dpy);
    return writePng(path, rgb, unsigned(a.width), unsigned(a.height)) ? 0 : fail("cannot write", path);
}

// A PNG as 8-bit RGB rows, top first.
static bool readRgb(const char* path, png_image& img, std::vector<png_byte>& rgb) {
    img = png_image{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path)) return false;
    img.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(img));
    return png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr);
}

// A point outside the picture reads its nearest edge, as ImageMagick's does.
static int pixels(const char* path, int count, char** points) {
    png_image img;
    std::vector<png_byte> rgb;
    if (!readRgb(path, img, rgb)) return fail("cannot read", path);
    for (int i = 0; i < count; i++) {
        int x = 0, y = 0;
        if (sscanf(points[i], "%d,%d", &x, &y) != 2) return fail("not a point X,Y:", points[i]);
        x = std::clamp(x, 0, int(img.width) - 1);
        y = std::clamp(y, 0, int(img.height) - 1);
        const png_byte* c = &rgb[(size_t(y) * img.width + x) * 3];
        printf(i ? " %d %d %d" : "%d %d %d", c[0], c[1], c[2]);
    }
    printf("\n");
    return 0;
}

// The PNG's pixels as raw RGB bytes in a file of their own, for scripts that read many points with od.
static int raw(const char* path, const char* out) {
    png_image img;
    std::vector<png_byte> rgb;
    if (!readRgb(path, img, rgb)) return fail("cannot read", path);
    FILE* f = fopen(out, "wb");
    bool ok = f && fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
    if (f && fclose(f) != 0) ok = false;
    return ok ? 0 : fail("cannot write", out);
}

int main(int argc, char* argv[]) {
    std::string_view verb = argc > 2 ? argv[1] : "";
    if (verb == "grab" && argc == 3) return grab(argv[2]);
    if (verb == "pixels") return pixels(argv[2], argc - 3, argv + 3);
    if (verb == "raw" && argc == 4) return raw(argv[2], argv[3]);
    fprintf(stderr, "usage: xshot grab FILE | xshot pixels FILE X,Y... | xshot raw FILE OUT\n");
    return 2;
}
