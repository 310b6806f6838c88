// The video formats --record makes, told by the file name's extension, and
// which refreshes each keeps.
#pragma once
#include <cstdint>
#include <string>

namespace Host {

enum class VideoFormat { Mp4, Webm, Gif };

// By the file name's extension (any letter case); false for others.
bool video_format_of(const std::string& file, VideoFormat& format);

// Frames a second in the file: 60, but 50 for GIF, whose delays count in
// hundredths of a second and whose players slow down delays under 2/100 s.
int video_frame_rate(VideoFormat format);

// Whether refresh number n goes into a file of this format: all of them at
// 60 frames a second; at 50, five of every six (every sixth is left out),
// but never the last one asked for (`last`: the clip's end or the show's
// final refresh).
bool video_keeps_refresh(VideoFormat format, uint32_t number, bool last);

} // namespace Host
