// Decodes a PNG file with libpng, an independent decoder, and checks its size.
// Usage: png_check FILE WIDTH HEIGHT      status 0 when it decodes whole at that size
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: png_check FILE WIDTH HEIGHT\n");
        return 2;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, argv[1])) {
        std::printf("%s: %s\n", argv[1], image.message);
        return 1;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        std::printf("%s: %s\n", argv[1], image.message);
        return 1;
    }
    std::printf("%s: %u x %u\n", argv[1], image.width, image.height);
    const bool right_size = image.width == std::strtoul(argv[2], nullptr, 10) &&
                            image.height == std::strtoul(argv[3], nullptr, 10);
    return right_size ? 0 : 1;
}
