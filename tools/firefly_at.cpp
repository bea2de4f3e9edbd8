// Finds the player's firefly in the game window: its dark head pixel (0x3C3228) right above
// a body pixel of full red, drawn last and unlit. Prints its place in picture pixels (the
// window shows each one as a 4 x 4 block), or nothing when it is not on screen.
// Usage: firefly_at WINDOW_ID
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: firefly_at WINDOW_ID\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    const Window window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    XImage* image = XGetImage(display, window, 0, 0, 1280, 720, AllPlanes, ZPixmap);
    if (!image) {
        std::fprintf(stderr, "no picture\n");
        XCloseDisplay(display);
        return 1;
    }
    const auto at = [&](int x, int y) { return XGetPixel(image, 4 * x + 2, 4 * y + 2) & 0xFFFFFF; };
    for (int y = 0; y + 1 < 180; ++y) {
        for (int x = 0; x < 320; ++x) {
            if (at(x, y) == 0x3C3228 && (at(x, y + 1) >> 16) == 0xFF) {
                std::printf("%d %d\n", x, y);
                y = 180;
                break;
            }
        }
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    return 0;
}
