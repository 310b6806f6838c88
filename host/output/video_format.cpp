#include "host/output/video_format.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "host/viewer/clip.h"
#include "platform/display.h"

namespace Host {

bool video_format_of(const std::string& file, VideoFormat& format) {
    const std::filesystem::path path(file);
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (path.stem().empty()) return false;
    if (extension == ".mp4") format = VideoFormat::Mp4;
    else if (extension == ".webm") format = VideoFormat::Webm;
    else if (extension == ".gif") format = VideoFormat::Gif;
    else return false;
    return true;
}

int video_frame_rate(VideoFormat format) { return format == VideoFormat::Gif ? kGifFrameRate : Display::kRefreshRate; }

bool video_keeps_refresh(VideoFormat format, uint32_t number, bool last) {
    return format != VideoFormat::Gif || gif_keeps_refresh(number, false, last);
}

} // namespace Host
