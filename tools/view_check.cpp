// Checks how a window shows the game's picture: black outside the rectangle at (X, Y) of
// 320 x 180 times SCALE, and inside it uniform SCALE x SCALE blocks (crisp, evenly enlarged
// pixels), not all black. Prints what it finds; status 0 when the picture is as expected.
// Usage: view_check WINDOW_ID X Y SCALE
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kViewWidth = 320;
constexpr int kViewHeight = 180;

int check(XImage* image, int x0, int y0, int scale) {
    const int w = image->width;
    const int h = image->height;
    auto pixel = [image](int x, int y) { return XGetPixel(image, x, y) & 0xFFFFFFul; };
    const int x1 = x0 + kViewWidth * scale;
    const int y1 = y0 + kViewHeight * scale;
    if (x0 < 0 || y0 < 0 || x1 > w || y1 > h) {
        std::printf("the picture at (%d, %d) x%d does not fit in %d x %d\n", x0, y0, scale, w, h);
        return 1;
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
            if (!inside && pixel(x, y) != 0) {
                std::printf("border pixel (%d, %d) is %06lx, not black\n", x, y, pixel(x, y));
                return 1;
            }
            if (inside && pixel(x, y) !=
                              pixel(x0 + (x - x0) / scale * scale, y0 + (y - y0) / scale * scale)) {
                std::printf("pixel (%d, %d) differs from its block's corner\n", x, y);
                return 1;
            }
        }
    }
    unsigned long lit = 0;
    for (int y = y0; y < y1; y += scale)
        for (int x = x0; x < x1; x += scale)
            lit += pixel(x, y) != 0;
    std::printf("window %d x %d: picture at (%d, %d), %d times, %lu lit pixels\n", w, h, x0, y0,
                scale, lit);
    return lit > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: view_check WINDOW_ID X Y SCALE\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }
    const Window window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) {
        std::fprintf(stderr, "cannot read the window\n");
        return 2;
    }
    const int status = check(image, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    XDestroyImage(image);
    XCloseDisplay(display);
    return status;
}
