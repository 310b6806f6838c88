// The frames of a video as ffmpeg takes them on its standard input, and
// the arguments that make it write them: shared by --record and the
// window's clips.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/output/video_format.h"

namespace Host {

// How much a lossy video may give up for a smaller file (GIF is always exact).
enum class Quality { Small, Good, High };

// The ffmpeg arguments for raw frames of width x height on standard input
// (yuv420p, or pal8 for GIF), written to output.
std::vector<std::string> ffmpeg_arguments(VideoFormat format, int width, int height, Quality quality,
                                          const std::string& output);

// The bytes of one frame on ffmpeg's input: yuv420p (a full-size luma plane
// and two quarter-size chroma planes), or for GIF pal8 (the indices, then the
// palette).
size_t video_frame_size(VideoFormat format, int scale);
inline constexpr size_t kPaletteBytes = 256 * 4;

// Each index through the palette, each pixel made a scale x scale block:
// rows of 320 * scale x R, G, B.
void scale_refresh(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out);
// The same picture as yuv420p planes (luma, then the two quarter-size chroma
// planes), the frame format of the .mp4 and .webm videos.
void scale_to_yuv420(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out);
// Each index made a scale x scale block, then the palette as 256 native
// 32-bit words 0xAARRGGBB (ffmpeg's pal8 layout).
void scale_indices(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out);

// The pal8 frames of a GIF, chosen so that ffmpeg's GIF encoder can leave
// out what has not changed and still be exact. That encoder compares each
// frame's indices with the previous frame's, and only when the frame comes
// with the palette of the first frame; any other palette makes a whole
// frame with a palette of its own. So each picture is put in the first
// frame's palette when its colours are all there, unless the pixels it
// would keep showed other colours before (the previous frame had its own
// palette) or most of it changes anyway (then a whole frame is smaller);
// such a frame is given a palette that differs from the first.
class GifFrames {
public:
    // One refresh as a frame of video_frame_size(Gif, scale) bytes.
    void convert(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out);
    // How many frames so far came in the first palette, to be differenced.
    uint32_t differenced() const { return differenced_; }

private:
    std::vector<uint8_t> first_;   // the first frame's palette, 256 x R, G, B
    std::vector<uint8_t> sent_;    // the indices of the previous frame, 320 x 240
    std::vector<uint8_t> sent_rgb_; // and its palette
    uint32_t differenced_ = 0;
};
} // namespace Host
