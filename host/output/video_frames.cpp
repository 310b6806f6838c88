#include "host/output/video_frames.h"

#include <cstring>
#include <utility>

#include "platform/display.h"

namespace Host {

namespace {

constexpr int kW = Display::kWidth;
constexpr int kH = Display::kHeight;

} // namespace

std::vector<std::string> ffmpeg_arguments(VideoFormat format, int width, int height, Quality quality,
                                          const std::string& output) {
    // GIF takes the pictures as they are, indices and palette; a picture
    // never has more than 256 colours, so each frame is exact.
    // The other formats take yuv420p, made here from the palette: ffmpeg then
    // has no conversion to do and spends its time on encoding.
    const char* pixels = format == VideoFormat::Gif ? "pal8" : "yuv420p";
    std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-nostats", "-y",
                                     "-f", "rawvideo", "-pixel_format", pixels,
                                     "-video_size", std::to_string(width) + "x" + std::to_string(height),
                                     "-framerate", std::to_string(video_frame_rate(format)),
                                     "-i", "-", "-an"};
    const int level = static_cast<int>(quality);
    switch (format) {
    case VideoFormat::Mp4: {
        // Constant quality, with a ceiling on the rate so that the busiest
        // stage (the rotozoomer's texture changes at every refresh) cannot
        // make the file huge; the ceiling is what the levels mostly differ in.
        // The levels: small and quick; good, under 30 MB for the whole show
        // at scale 2 with the rotozoomer near 30 dB; high, near lossless.
        static const char* const preset[] = {"superfast", "veryfast", "veryfast"};
        static const char* const crf[] = {"26", "25", "18"};
        static const char* const rate[] = {"1500k", "4M", "20M"};
        static const char* const buffer[] = {"1500k", "8M", "20M"};
        args.insert(args.end(), {"-c:v", "libx264", "-preset", preset[level], "-tune", "animation", "-crf",
                                 crf[level], "-maxrate", rate[level], "-bufsize", buffer[level], "-pix_fmt",
                                 "yuv420p", "-movflags", "+faststart", "-f", "mp4"});
        break;
    }
    case VideoFormat::Webm: {
        // VP9 in real-time mode: a quality target under a bit rate it keeps
        // to, so that the whole show stays shareable.
        static const char* const crf[] = {"40", "33", "24"};
        static const char* const rate[] = {"1M", "2M", "8M"};
        args.insert(args.end(), {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-row-mt", "1",
                                 "-crf", crf[level], "-b:v", rate[level], "-pix_fmt", "yuv420p", "-f", "webm"});
        break;
    }
    case VideoFormat::Gif:
        // The frames come so that the encoder's own differencing (a rectangle
        // around what changed, unchanged pixels made transparent) is exact.
        args.insert(args.end(), {"-c:v", "gif", "-gifflags", "offsetting+transdiff", "-f", "gif"});
        break;
    }
    args.push_back(output);
    return args;
}

size_t video_frame_size(VideoFormat format, int scale) {
    const size_t pixels = static_cast<size_t>(kW) * scale * kH * scale;
    return format == VideoFormat::Gif ? pixels + kPaletteBytes : pixels * 3 / 2;
}

void scale_indices(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out) {
    const size_t row_bytes = static_cast<size_t>(kW) * scale;
    for (int y = 0; y < kH; ++y) {
        uint8_t* row = out + row_bytes * scale * y;
        uint8_t* p = row;
        for (int x = 0; x < kW; ++x, p += scale) std::memset(p, indices[y * kW + x], scale);
        for (int i = 1; i < scale; ++i) std::memcpy(row + row_bytes * i, row, row_bytes);
    }
    // The palette follows as 256 native 32-bit words 0xAARRGGBB, all opaque.
    uint8_t* palette = out + row_bytes * scale * kH;
    for (int i = 0; i < 256; ++i) {
        const uint32_t word = 0xFF000000u | uint32_t{rgb[3 * i]} << 16 | uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
        std::memcpy(palette + 4 * i, &word, 4);
    }
}

void GifFrames::convert(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out) {
    constexpr size_t kPixels = static_cast<size_t>(kW) * kH;
    auto colour = [](const uint8_t* palette, int i) {
        return uint32_t{palette[3 * i]} << 16 | uint32_t{palette[3 * i + 1]} << 8 | palette[3 * i + 2];
    };
    bool used[256] = {};
    for (size_t p = 0; p < kPixels; ++p) used[indices[p]] = true;

    // The encoder takes equal indices for equal colours, so each colour goes
    // by one entry: the first of that colour in the palette it is sent with.
    uint8_t map[256] = {};
    auto map_into = [&](const uint8_t* palette) {
        for (int i = 0; i < 256; ++i) {
            if (!used[i]) continue;
            int j = 0;
            while (j < 256 && colour(palette, j) != colour(rgb, i)) ++j;
            if (j == 256) return false;
            map[i] = static_cast<uint8_t>(j);
        }
        return true;
    };
    std::vector<uint8_t> palette;
    if (!first_.empty() && map_into(first_.data())) {
        palette = first_;
        // Kept pixels must show what they showed before, and a frame that
        // changes this much is smaller whole.
        bool changed_colour[256];
        for (int i = 0; i < 256; ++i) changed_colour[i] = colour(sent_rgb_.data(), i) != colour(first_.data(), i);
        bool slot_used[256] = {};
        bool wrong = false;
        size_t changed = 0;
        for (size_t p = 0; p < kPixels; ++p) {
            const uint8_t slot = map[indices[p]];
            slot_used[slot] = true;
            if (slot != sent_[p]) ++changed;
            else if (changed_colour[slot]) wrong = true;
        }
        if (wrong || changed * 4 > kPixels) {
            int spare = 0;
            while (spare < 256 && slot_used[spare]) ++spare;
            if (spare < 256) {
                palette[3 * spare] ^= 0x80; // nothing shows it; only the palette differs
            } else {
                // Every entry is in use: two entries trade places instead.
                for (int c = 0; c < 3; ++c) std::swap(palette[c], palette[3 + c]);
                for (int i = 0; i < 256; ++i) map[i] = map[i] == 0 ? 1 : map[i] == 1 ? 0 : map[i];
            }
        } else {
            ++differenced_;
        }
    } else {
        palette.assign(rgb, rgb + 768);
        map_into(rgb);
        if (first_.empty()) first_ = palette;
    }
    sent_.resize(kPixels);
    for (size_t p = 0; p < kPixels; ++p) sent_[p] = map[indices[p]];
    sent_rgb_ = palette;
    scale_indices(sent_.data(), palette.data(), scale, out);
}

void scale_refresh(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out) {
    const size_t row_bytes = static_cast<size_t>(kW) * scale * 3;
    for (int y = 0; y < kH; ++y) {
        uint8_t* row = out + row_bytes * scale * y;
        uint8_t* p = row;
        for (int x = 0; x < kW; ++x) {
            const uint8_t* colour = rgb + 3 * indices[y * kW + x];
            for (int i = 0; i < scale; ++i, p += 3) {
                p[0] = colour[0];
                p[1] = colour[1];
                p[2] = colour[2];
            }
        }
        for (int i = 1; i < scale; ++i) std::memcpy(row + row_bytes * i, row, row_bytes);
    }
}

void scale_to_yuv420(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out) {
    // BT.601 in limited range, as ffmpeg's own conversion: one luma and one
    // chroma pair per palette entry.
    uint8_t luma[256];
    int chroma_u[256], chroma_v[256];
    for (int i = 0; i < 256; ++i) {
        const int r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
        luma[i] = static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
        chroma_u[i] = ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128;
        chroma_v[i] = ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128;
    }
    const int width = kW * scale, height = kH * scale;
    uint8_t* y_plane = out;
    for (int y = 0; y < kH; ++y) {
        uint8_t* row = y_plane + static_cast<size_t>(width) * scale * y;
        uint8_t* p = row;
        for (int x = 0; x < kW; ++x, p += scale) std::memset(p, luma[indices[y * kW + x]], scale);
        for (int i = 1; i < scale; ++i) std::memcpy(row + static_cast<size_t>(width) * i, row, width);
    }
    // Each chroma sample covers 2 x 2 output pixels: the mean of their colours.
    uint8_t* u_plane = out + static_cast<size_t>(width) * height;
    uint8_t* v_plane = u_plane + static_cast<size_t>(width / 2) * (height / 2);
    for (int cy = 0; cy < height / 2; ++cy) {
        const uint8_t* top = indices + (2 * cy / scale) * kW;
        const uint8_t* bottom = indices + ((2 * cy + 1) / scale) * kW;
        for (int cx = 0; cx < width / 2; ++cx) {
            const int left = 2 * cx / scale, right = (2 * cx + 1) / scale;
            const int u = chroma_u[top[left]] + chroma_u[top[right]] + chroma_u[bottom[left]] + chroma_u[bottom[right]];
            const int v = chroma_v[top[left]] + chroma_v[top[right]] + chroma_v[bottom[left]] + chroma_v[bottom[right]];
            u_plane[cy * (width / 2) + cx] = static_cast<uint8_t>((u + 2) >> 2);
            v_plane[cy * (width / 2) + cx] = static_cast<uint8_t>((v + 2) >> 2);
        }
    }
}

} // namespace Host
