// A minimal PNG writer for saving rendered frames: 8-bit RGB, zlib stream of stored (uncompressed)
// deflate blocks, so it needs no compression library.
#include "render/render_fixture.h"

#include <cstdint>
#include <cstdio>

namespace rendertest {

namespace {

std::uint32_t crc32(const unsigned char* data, size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void putBigEndian(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<unsigned char>(value >> shift));
    }
}

void putChunk(std::vector<unsigned char>& out, const char* type,
              const std::vector<unsigned char>& data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, crc32(&out[typeAt], data.size() + 4));
}

} // namespace

bool writePng(const std::string& path, int width, int height,
              const std::vector<unsigned char>& rgb) {
    // Rows top first, each preceded by filter type 0.
    std::vector<unsigned char> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        const auto row = rgb.begin() + static_cast<long>(y) * width * 3;
        raw.insert(raw.end(), row, row + width * 3);
    }

    std::vector<unsigned char> zlib = {0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t size = raw.size() - at < 65535 ? raw.size() - at : 65535;
        zlib.push_back(at + size == raw.size() ? 1 : 0);
        zlib.push_back(static_cast<unsigned char>(size));
        zlib.push_back(static_cast<unsigned char>(size >> 8));
        zlib.push_back(static_cast<unsigned char>(~size));
        zlib.push_back(static_cast<unsigned char>(~size >> 8));
        zlib.insert(zlib.end(), raw.begin() + static_cast<long>(at),
                    raw.begin() + static_cast<long>(at + size));
    }
    putBigEndian(zlib, (b << 16) | a);

    std::vector<unsigned char> header;
    putBigEndian(header, static_cast<std::uint32_t>(width));
    putBigEndian(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, no interlace

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlib);
    putChunk(png, "IEND", {});

    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

} // namespace rendertest
