// --record: refreshes through ffmpeg into .mp4, .webm and .gif videos, read
// back with ffmpeg; the temporary file, the rename and every failure path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "host/output/ffmpeg.h"
#include "host/program/program.h"
#include "host/program/record_frontend.h"
#include "host/viewer/show_runner.h"
#include "host/viewer/timeline.h"
#include "support/host_support.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using DisplayController::Ending;
using Host::VideoFormat;

namespace {

constexpr int kW = 320;
constexpr int kH = 240;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_script(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
    chmod(path.c_str(), 0755);
}

void expect_one_line_error(const Outcome& o, const std::string& start) {
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err.rfind("nyra1: " + start, 0), 0u) << o.err;
    ASSERT_FALSE(o.err.empty());
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
    EXPECT_EQ(o.out, "");
}

// The video's frames as rgb24, one after another, every frame as stored.
std::string decode(const std::string& video) {
    const std::string command = "ffmpeg -v error -i '" + video +
                                "' -vsync passthrough -f rawvideo -pix_fmt rgb24 - 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "";
    std::string data;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) data.append(buffer, n);
    pclose(pipe);
    return data;
}

std::string probe(const std::string& video, const std::string& entries) {
    const std::string command = "ffprobe -v error -select_streams v:0 -show_entries stream=" + entries +
                                " -of default=noprint_wrappers=1 '" + video + "' 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    pclose(pipe);
    return text;
}

bool have_ffmpeg() { return !Host::find_on_path("ffmpeg").empty() && !Host::find_on_path("ffprobe").empty(); }

std::vector<uint8_t> scaled(const KeptRefresh& r, int scale) {
    std::vector<uint8_t> out(static_cast<size_t>(kW) * scale * kH * scale * 3);
    Host::scale_refresh(r.pixels.data(), r.rgb.data(), scale, out.data());
    return out;
}

// Hands refreshes to the recorder and keeps a copy; START is the recorder's.
class Tee : public DisplayController::Frontend {
public:
    explicit Tee(Host::RecordFrontend& record, uint32_t interrupt_at = 0)
        : record_(record), interrupt_at_(interrupt_at) {}
    void refresh(const DisplayController::Refresh& r) override {
        kept.refresh(r);
        record_.refresh(r);
        if (r.number == interrupt_at_) record_.interrupt();
    }
    bool start_held() override { return record_.start_held(); }
    RecordingFrontend kept;

private:
    Host::RecordFrontend& record_;
    uint32_t interrupt_at_;
};

// Prepares and starts the recorder, plays the show through tee, finishes.
void record_show(Host::RecordFrontend& record, Tee& tee) {
    std::string error;
    ASSERT_TRUE(record.prepare(error)) << error;
    ASSERT_TRUE(record.start(error)) << error;
    Host::play_show(tee);
    ASSERT_TRUE(record.finish(error)) << error;
}

// An ffmpeg stand-in: lists the encoders it is given, then runs body with
// $out the output file.
std::string fake_ffmpeg(const std::string& folder, const std::string& encoders, const std::string& body) {
    const std::string bin = folder + "/bin";
    fs::create_directories(bin);
    write_script(bin + "/ffmpeg", "#!/bin/sh\n"
                                  "PATH=/usr/bin:/bin\n"
                                  "case \"$*\" in *-encoders*) printf '%s\\n' " + encoders + "; exit 0;; esac\n"
                                  "for a; do out=\"$a\"; done\n" + body);
    return bin;
}

} // namespace

TEST(HostRecordFormat, ChosenByExtension) {
    VideoFormat f;
    ASSERT_TRUE(Host::video_format_of("show.mp4", f));
    EXPECT_EQ(f, VideoFormat::Mp4);
    ASSERT_TRUE(Host::video_format_of("a/b/Show.WebM", f));
    EXPECT_EQ(f, VideoFormat::Webm);
    ASSERT_TRUE(Host::video_format_of("x.GIF", f));
    EXPECT_EQ(f, VideoFormat::Gif);
    for (const char* bad : {"show.avi", "show", "show.mp4.tmp", ".mp4", "dir/.gif", "show.mkv", "mp4"})
        EXPECT_FALSE(Host::video_format_of(bad, f)) << bad;
}

TEST(HostRecordFormat, GifRunsAtFiftyKeepingFiveOfEverySixRefreshes) {
    EXPECT_EQ(Host::video_frame_rate(VideoFormat::Mp4), 60);
    EXPECT_EQ(Host::video_frame_rate(VideoFormat::Webm), 60);
    EXPECT_EQ(Host::video_frame_rate(VideoFormat::Gif), 50);
    int kept = 0;
    for (uint32_t n = 1; n <= 600; ++n) {
        EXPECT_TRUE(Host::video_keeps_refresh(VideoFormat::Mp4, n, false));
        EXPECT_TRUE(Host::video_keeps_refresh(VideoFormat::Webm, n, false));
        kept += Host::video_keeps_refresh(VideoFormat::Gif, n, false);
    }
    EXPECT_EQ(kept, 500); // 50 a second of show
    EXPECT_FALSE(Host::video_keeps_refresh(VideoFormat::Gif, 6, false));
    EXPECT_TRUE(Host::video_keeps_refresh(VideoFormat::Gif, 7, false));
    EXPECT_TRUE(Host::video_keeps_refresh(VideoFormat::Gif, 12, true)); // the final picture always
}

TEST(HostRecordFormat, FfmpegReadsRawFramesFromStandardInput) {
    auto index_of = [](const std::vector<std::string>& args, const std::string& word) {
        return static_cast<size_t>(std::find(args.begin(), args.end(), word) - args.begin());
    };
    for (auto format : {VideoFormat::Mp4, VideoFormat::Webm, VideoFormat::Gif}) {
        const auto args = Host::ffmpeg_arguments(format, 640, 480, Host::Quality::Good, "/tmp/out.x");
        const size_t input = index_of(args, "-i");
        ASSERT_LT(input + 1, args.size());
        EXPECT_EQ(args[input + 1], "-");
        EXPECT_EQ(args.back(), "/tmp/out.x");
        // Everything that describes the raw input comes before it.
        for (const char* option : {"-f", "-pixel_format", "-video_size", "-framerate"}) {
            const size_t at = index_of(args, option);
            ASSERT_LT(at + 1, input) << option;
        }
        EXPECT_EQ(args[index_of(args, "-f") + 1], "rawvideo");
        EXPECT_EQ(args[index_of(args, "-video_size") + 1], "640x480");
        EXPECT_EQ(args[index_of(args, "-framerate") + 1], std::to_string(Host::video_frame_rate(format)));
        EXPECT_EQ(args[index_of(args, "-pixel_format") + 1], format == VideoFormat::Gif ? "pal8" : "yuv420p");
        EXPECT_LT(index_of(args, "-y"), args.size()); // the temporary file exists already
    }
    const auto mp4 = Host::ffmpeg_arguments(VideoFormat::Mp4, 640, 480, Host::Quality::Good, "o.mp4");
    EXPECT_EQ(mp4[index_of(mp4, "-c:v") + 1], "libx264");
    EXPECT_EQ(mp4[index_of(mp4, "-pix_fmt") + 1], "yuv420p");
    const auto webm = Host::ffmpeg_arguments(VideoFormat::Webm, 640, 480, Host::Quality::Good, "o.webm");
    EXPECT_EQ(webm[index_of(webm, "-c:v") + 1], "libvpx-vp9");
    EXPECT_EQ(webm[index_of(webm, "-deadline") + 1], "realtime");
}

TEST(HostRecordFormat, ScalingMakesSharpBlocks) {
    std::vector<uint8_t> indices(kW * kH), rgb(768);
    for (int i = 0; i < kW * kH; ++i) indices[i] = static_cast<uint8_t>((i * 31) ^ (i / kW));
    for (int i = 0; i < 768; ++i) rgb[i] = static_cast<uint8_t>(i * 13 + 7);
    for (int i = 200; i < 256; ++i) std::memcpy(&rgb[3 * i], &rgb[3 * (i % 4)], 3); // equal colours
    for (int scale : {1, 3}) {
        const int w = kW * scale;
        std::vector<uint8_t> out(static_cast<size_t>(w) * kH * scale * 3);
        Host::scale_refresh(indices.data(), rgb.data(), scale, out.data());
        for (int y = 0; y < kH * scale; y += 1 + (y % 7)) {
            for (int x = 0; x < w; ++x) {
                const uint8_t index = indices[(y / scale) * kW + x / scale];
                ASSERT_EQ(0, std::memcmp(&out[(static_cast<size_t>(y) * w + x) * 3], &rgb[3 * index], 3))
                    << "scale " << scale << " at " << x << "," << y;
            }
        }
    }
    const int scale = 2;
    std::vector<uint8_t> pal8(Host::video_frame_size(VideoFormat::Gif, scale));
    EXPECT_EQ(pal8.size(), 640u * 480u + 1024u);
    EXPECT_EQ(Host::video_frame_size(VideoFormat::Mp4, scale), 640u * 480u * 3u / 2);
    Host::scale_indices(indices.data(), rgb.data(), scale, pal8.data());
    for (int y = 0; y < kH * scale; ++y)
        for (int x = 0; x < kW * scale; ++x)
            ASSERT_EQ(pal8[static_cast<size_t>(y) * kW * scale + x], indices[(y / scale) * kW + x / scale]);
    for (int i = 0; i < 256; ++i) {
        uint32_t word;
        std::memcpy(&word, &pal8[640 * 480 + 4 * i], 4);
        EXPECT_EQ(word, 0xFF000000u | uint32_t{rgb[3 * i]} << 16 | uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2]);
    }
}

TEST(HostRecordFfmpeg, FoundOnlyAsAnExecutableFileOnPath) {
    const std::string folder = temp_folder("nyra1-record");
    write_script(folder + "/tool", "#!/bin/sh\n");
    std::ofstream(folder + "/plain") << "not a program";
    fs::create_directories(folder + "/dir");
    {
        PathGuard path("/nonexistent:" + folder);
        EXPECT_EQ(Host::find_on_path("tool"), folder + "/tool");
        EXPECT_EQ(Host::find_on_path("plain"), "");
        EXPECT_EQ(Host::find_on_path("dir"), "");
        EXPECT_EQ(Host::find_on_path("missing"), "");
    }
    {
        PathGuard path("");
        EXPECT_EQ(Host::find_on_path("tool"), "");
    }
    fs::remove_all(folder);
}

TEST(HostRecordFfmpeg, EncoderListIsReadWordForWord) {
    const std::string folder = temp_folder("nyra1-record");
    const std::string bin = fake_ffmpeg(folder, "' V....D libx264rgb  x' ' V..... gif  GIF'", "exit 1\n");
    EXPECT_TRUE(Host::ffmpeg_has_encoder(bin + "/ffmpeg", "gif"));
    EXPECT_FALSE(Host::ffmpeg_has_encoder(bin + "/ffmpeg", "libx264")); // only libx264rgb
    EXPECT_FALSE(Host::ffmpeg_has_encoder(bin + "/ffmpeg", "GIF"));
    EXPECT_FALSE(Host::ffmpeg_has_encoder(folder + "/no-such-program", "gif"));
    fs::remove_all(folder);
}

TEST(HostRecordVideo, GifAtScaleOneHoldsEveryKeptRefreshExactly) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    const std::string folder = temp_folder("nyra1-record");
    const std::string file = folder + "/short.gif";
    // The title's fades: the palette changes often, and returns.
    Host::RecordFrontend record(file, 1, 520);
    std::string error;
    ASSERT_TRUE(record.prepare(error)) << error;
    ASSERT_TRUE(record.start(error)) << error;
    Tee tee(record);
    const Host::ShowResult result = Host::play_show(tee);
    ASSERT_TRUE(record.finish(error)) << error;
    EXPECT_EQ(names_in(folder), std::set<std::string>{"short.gif"});

    std::vector<const KeptRefresh*> expected;
    for (size_t n = 1; n <= tee.kept.refreshes.size(); ++n)
        if (Host::video_keeps_refresh(VideoFormat::Gif, n, tee.kept.refreshes[n - 1].final))
            expected.push_back(&tee.kept.refreshes[n - 1]);
    EXPECT_EQ(result.refreshes, tee.kept.refreshes.size());
    EXPECT_EQ(record.frames(), expected.size());

    const std::string frames = decode(file);
    const size_t frame_size = kW * kH * 3;
    ASSERT_EQ(frames.size(), expected.size() * frame_size);
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto want = scaled(*expected[i], 1);
        ASSERT_EQ(0, std::memcmp(frames.data() + i * frame_size, want.data(), frame_size)) << "frame " << i;
    }
    EXPECT_NE(probe(file, "r_frame_rate").find("r_frame_rate=50/1"), std::string::npos);
    fs::remove_all(folder);
}

TEST(HostRecordVideo, Mp4HoldsEveryRefreshAtSixtyFramesASecond) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    const std::string folder = temp_folder("nyra1-record");
    const std::string file = folder + "/short.mp4";
    Host::RecordFrontend record(file, 2, 40);
    Tee tee(record);
    record_show(record, tee);
    EXPECT_EQ(names_in(folder), std::set<std::string>{"short.mp4"});
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::others_read, fs::perms::others_read);

    const std::string info = probe(file, "codec_name,width,height,r_frame_rate,pix_fmt");
    EXPECT_NE(info.find("codec_name=h264"), std::string::npos) << info;
    EXPECT_NE(info.find("width=640\nheight=480"), std::string::npos) << info;
    EXPECT_NE(info.find("r_frame_rate=60/1"), std::string::npos) << info;
    EXPECT_NE(info.find("pix_fmt=yuv420p"), std::string::npos) << info;

    // Lossy, but each frame must be close to its refresh, in order.
    const std::string frames = decode(file);
    const size_t frame_size = 640 * 480 * 3;
    ASSERT_EQ(frames.size(), tee.kept.refreshes.size() * frame_size);
    for (size_t i = 0; i < tee.kept.refreshes.size(); ++i) {
        const auto want = scaled(tee.kept.refreshes[i], 2);
        uint64_t total = 0;
        for (size_t j = 0; j < frame_size; ++j)
            total += std::abs(int(uint8_t(frames[i * frame_size + j])) - int(want[j]));
        EXPECT_LT(double(total) / frame_size, 3.0) << "frame " << i;
    }
    fs::remove_all(folder);
}

TEST(HostRecordVideo, WebmThroughTheProgramWithItsClosingLine) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    const std::string folder = temp_folder("nyra1-record");
    const std::string file = folder + "/short.webm";
    const Outcome o = run({"--record", file, "--press-start-at", "20", "--scale", "1"});
    ASSERT_EQ(o.status, 0) << o.err;
    const uint32_t refreshes = DisplayController::refreshes();
    EXPECT_EQ(o.out, Host::ending_line({DisplayController::ending(), refreshes}) + "; video in " + file + " (0:" +
                         (refreshes < 600 ? "0" : "") + std::to_string(refreshes / 60) + "." +
                         std::to_string(refreshes % 60 * 10 / 60) + " at 60 fps, made in " +
                         o.out.substr(o.out.find("made in ") + 8));
    EXPECT_EQ(names_in(folder), std::set<std::string>{"short.webm"});
    const std::string info = probe(file, "codec_name,width,height");
    EXPECT_NE(info.find("codec_name=vp9"), std::string::npos) << info;
    EXPECT_NE(info.find("width=320\nheight=240"), std::string::npos) << info;
    EXPECT_EQ(decode(file).size(), refreshes * 320u * 240u * 3u);
    fs::remove_all(folder);
}

TEST(HostRecordErrors, MissingFfmpegFailsBeforeAnyWork) {
    const std::string folder = temp_folder("nyra1-record");
    Outcome o;
    {
        PathGuard path(folder); // holds no ffmpeg
        o = run({"--record", folder + "/show.mp4"});
    }
    expect_one_line_error(o, "--record needs the ffmpeg program");
    EXPECT_TRUE(names_in(folder).empty());
    EXPECT_EQ(DisplayController::refreshes(), 0u);
    EXPECT_FALSE(DisplayController::is_open());
    fs::remove_all(folder);
}

TEST(HostRecordErrors, FfmpegWithoutTheEncoderFailsBeforeAnyWork) {
    const std::string folder = temp_folder("nyra1-record");
    const std::string bin = fake_ffmpeg(folder, "' V..... gif  GIF'", "exit 1\n");
    Outcome o;
    {
        PathGuard path(bin);
        o = run({"--record", folder + "/show.mp4"});
    }
    expect_one_line_error(o, "the ffmpeg program at " + bin + "/ffmpeg has no libx264 encoder");
    EXPECT_EQ(names_in(folder), std::set<std::string>{"bin"});
    EXPECT_EQ(DisplayController::refreshes(), 0u);
    fs::remove_all(folder);
}

TEST(HostRecordErrors, UnwritableTargetFailsBeforeAnyWork) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string folder = temp_folder("nyra1-record");
    std::ofstream(folder + "/plain-file") << "x";
    expect_one_line_error(run({"--record", folder + "/plain-file/show.mp4"}), "cannot write " + folder);
    expect_one_line_error(run({"--record", folder + "/missing/show.gif"}), "cannot write " + folder);
    fs::create_directories(folder + "/taken.webm");
    expect_one_line_error(run({"--record", folder + "/taken.webm"}), "cannot write " + folder + "/taken.webm");
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"plain-file", "taken.webm"}));
    EXPECT_EQ(DisplayController::refreshes(), 0u);
    fs::remove_all(folder);
}

TEST(HostRecordErrors, FailingFfmpegEndsTheShowAndLeavesTheOldFileAlone) {
    const std::string folder = temp_folder("nyra1-record");
    const std::string bin = fake_ffmpeg(folder, "' V....D libx264  x'",
                                        "head -c 100000 >/dev/null\necho 'fake encoder broke' >&2\nexit 1\n");
    std::ofstream(folder + "/show.mp4") << "an older video";
    Outcome o;
    {
        PathGuard path(bin);
        o = run({"--record", folder + "/show.mp4"});
    }
    expect_one_line_error(o, "ffmpeg failed: fake encoder broke");
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"bin", "show.mp4"}));
    EXPECT_EQ(read_file(folder + "/show.mp4"), "an older video");
    // The failure held START: the show ended long before its end.
    EXPECT_EQ(DisplayController::ending(), Ending::StoppedByStart);
    EXPECT_LT(DisplayController::refreshes(), 100u);
    fs::remove_all(folder);
}

TEST(HostRecordErrors, FfmpegFailingAtTheEndLeavesNoVideo) {
    const std::string folder = temp_folder("nyra1-record");
    const std::string bin = fake_ffmpeg(folder, "' V..... gif  GIF'",
                                        "cat >\"$out\"\necho 'trailer not written' >&2\nexit 3\n");
    Outcome o;
    {
        PathGuard path(bin);
        o = run({"--record", folder + "/show.gif", "--press-start-at", "10"});
    }
    expect_one_line_error(o, "ffmpeg failed: trailer not written");
    EXPECT_EQ(names_in(folder), std::set<std::string>{"bin"});
    fs::remove_all(folder);
}

// ffmpeg writes a file that has no name yet, through a descriptor it is
// handed; the folder shows nothing new until the video is complete.
TEST(HostRecordErrors, VideoGetsItsNameOnlyWhenComplete) {
    const std::string folder = temp_folder("nyra1-record");
    const std::string bin = fake_ffmpeg(folder, "' V....D libx264  x'",
                                        "here=\"$(dirname \"$0\")\"\n"
                                        "echo \"$out\" >\"$here/used\"\n"
                                        "cat >/dev/null\necho made >\"$out\"\n"
                                        "ls -A \"$here/..\" >\"$here/seen\"\nexit 0\n");
    Outcome o;
    {
        PathGuard path(bin);
        o = run({"--record", folder + "/show.mp4", "--press-start-at", "10"});
    }
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(read_file(folder + "/show.mp4"), "made\n");
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"bin", "show.mp4"}));
    EXPECT_EQ(read_file(bin + "/used"), "/proc/self/fd/3\n");
    EXPECT_EQ(read_file(bin + "/seen"), "bin\n");
    fs::remove_all(folder);
}

TEST(HostRecordErrors, InterruptedRecordingLeavesNoVideo) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string folder = temp_folder("nyra1-record");
    Host::RecordFrontend record(folder + "/show.mp4", 1, -1);
    std::string error;
    ASSERT_TRUE(record.prepare(error)) << error;
    ASSERT_TRUE(record.start(error)) << error;
    ASSERT_TRUE(record.output().is_open());
    Tee tee(record, 10);
    const Host::ShowResult result = Host::play_show(tee);
    EXPECT_EQ(result.ending, Ending::StoppedByStart);
    EXPECT_FALSE(record.finish(error));
    EXPECT_EQ(error, "recording interrupted; no video written");
    EXPECT_TRUE(names_in(folder).empty());
    fs::remove_all(folder);
}

TEST(HostRecordFormat, YuvFramesGiveEachPaletteColourItsLumaAndAverageChromaAcrossPixels) {
    std::vector<uint8_t> rgb(768, 0);
    rgb[3 * 1 + 0] = 255; rgb[3 * 1 + 1] = 255; rgb[3 * 1 + 2] = 255; // white
    rgb[3 * 2 + 0] = 255;                                             // red
    std::vector<uint8_t> indices(320 * 240, 0);
    indices[0] = 1;
    indices[1] = 2;
    for (int scale : {1, 2, 3}) {
        const int w = 320 * scale, h = 240 * scale;
        std::vector<uint8_t> out(Host::video_frame_size(VideoFormat::Mp4, scale), 7);
        Host::scale_to_yuv420(indices.data(), rgb.data(), scale, out.data());
        const uint8_t* y = out.data();
        const uint8_t* u = y + w * h;
        const uint8_t* v = u + (w / 2) * (h / 2);
        EXPECT_EQ(y[0], 235) << scale;                    // white
        EXPECT_EQ(y[scale * 2], 16) << scale;             // black
        EXPECT_EQ(y[w * h - 1], 16) << scale;
        EXPECT_EQ(y[scale], (66 * 255 + 128 >> 8) + 16);  // red's luma
        EXPECT_EQ(u[(w / 2) * (h / 2) - 1], 128);
        if (scale == 2) {
            // Every chroma sample is one source pixel's own colour.
            EXPECT_EQ(u[0], 128);
            EXPECT_EQ(v[1], ((112 * 255 + 128) >> 8) + 128);
        } else if (scale == 1) {
            // A sample mixes the four pixels it covers: white, red, black, black.
            EXPECT_EQ(v[0], (128 + 240 + 128 + 128 + 2) >> 2);
        } else {
            // At 3x the second sample straddles white and red.
            EXPECT_EQ(v[0], 128);
            EXPECT_EQ(v[1], (128 + 240 + 128 + 240 + 2) >> 2);
        }
    }
}

TEST(HostRecordGif, PaletteChangesAndReturnsStayExactUnderDifferencing) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    // Same indices under a palette that changes and comes back; then a
    // small change under the first palette, which is left to differencing.
    std::vector<uint8_t> red(768, 0), blue(768, 0);
    red[3] = 255;
    blue[5] = 255;
    std::vector<uint8_t> a(kW * kH, 1), b = a;
    b[0] = 0;
    const std::vector<std::pair<const std::vector<uint8_t>*, const std::vector<uint8_t>*>> frames = {
        {&a, &red}, {&a, &blue}, {&a, &red}, {&b, &red}, {&a, &red}, {&b, &blue}, {&b, &red}};
    const std::string folder = temp_folder("nyra1-record");
    const std::string file = folder + "/p.gif";
    Host::FfmpegPipe pipe;
    std::string error;
    ASSERT_TRUE(pipe.start(Host::find_on_path("ffmpeg"),
                           Host::ffmpeg_arguments(VideoFormat::Gif, kW, kH, Host::Quality::Good, file), error))
        << error;
    Host::GifFrames gif;
    std::vector<uint8_t> frame(Host::video_frame_size(VideoFormat::Gif, 1));
    for (const auto& [indices, rgb] : frames) {
        gif.convert(indices->data(), rgb->data(), 1, frame.data());
        ASSERT_TRUE(pipe.write(frame.data(), frame.size()));
    }
    ASSERT_TRUE(pipe.finish(error)) << error;
    EXPECT_GE(gif.differenced(), 2u);
    const std::string decoded = decode(file);
    const size_t size = kW * kH * 3;
    ASSERT_EQ(decoded.size(), frames.size() * size);
    for (size_t i = 0; i < frames.size(); ++i) {
        const auto& [indices, rgb] = frames[i];
        for (size_t p : {size_t{0}, size_t{1}, size_t{kW * kH - 1}})
            ASSERT_EQ(0, std::memcmp(decoded.data() + i * size + 3 * p, rgb->data() + 3 * (*indices)[p], 3))
                << "frame " << i << " pixel " << p;
    }
    fs::remove_all(folder);
}

TEST(HostRecordVideo, GifClipIsExactAndLeavesTheUnchangedOut) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    const std::string folder = temp_folder("nyra1-record");
    const std::string file = folder + "/clip.gif";
    // The scroll text over the still landscape: little changes per refresh.
    // The clip ends on a refresh the 50 fps rule would leave out: it is in.
    constexpr uint32_t kLast = 3642;
    static_assert(kLast % 6 == 0);
    Host::RecordFrontend record(file, 1, -1, {3400, kLast, true});
    Tee tee(record);
    record_show(record, tee);
    ASSERT_GE(tee.kept.refreshes.size(), kLast);
    std::vector<const KeptRefresh*> expected;
    for (uint32_t n = 3400; n <= kLast; ++n)
        if (n == 3400 || Host::video_keeps_refresh(VideoFormat::Gif, n, n == kLast))
            expected.push_back(&tee.kept.refreshes[n - 1]);
    ASSERT_EQ(expected.back(), &tee.kept.refreshes[kLast - 1]);
    EXPECT_EQ(record.frames(), expected.size());
    const std::string frames = decode(file);
    const size_t frame_size = kW * kH * 3;
    ASSERT_EQ(frames.size(), expected.size() * frame_size);
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(0, std::memcmp(frames.data() + i * frame_size, scaled(*expected[i], 1).data(), frame_size))
            << "frame " << i;
    // Whole frames of this stretch take about 4 KB each.
    EXPECT_LT(fs::file_size(file), 2000u * expected.size()) << fs::file_size(file);
    fs::remove_all(folder);
}

TEST(HostRecordVideo, ClipHoldsExactlyTheRefreshesInRange) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    const std::string folder = temp_folder("nyra1-record");
    const std::string file = folder + "/clip.mp4";
    // Six seconds from the plasma's first refresh on.
    const uint32_t first = Host::built_in_timeline().chapter_start(Show::Stage::Plasma), last = first + 359;
    const Outcome o = run({"--record", file, "--from", std::to_string(first), "--to", std::to_string(last), "--scale", "1"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out.rfind("nyra1: refreshes " + std::to_string(first) + " to " + std::to_string(last) +
                              " of the show; video in " + file + " (0:06.0 at 60 fps",
                          0),
              0u)
        << o.out;
    EXPECT_EQ(decode(file).size(), 360u * kW * kH * 3);
    // The run stopped soon after the range instead of playing on.
    EXPECT_LT(DisplayController::refreshes(), last + 10);
    fs::remove_all(folder);
}

TEST(HostRecordFormat, QualityIsChosenByNameAndChangesTheEncoding) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    auto size_at = [](const char* level) {
        const auto args = Host::ffmpeg_arguments(VideoFormat::Webm, kW, kH,
                                                 std::string(level) == "small" ? Host::Quality::Small
                                                                               : Host::Quality::High,
                                                 "out.webm");
        return args;
    };
    EXPECT_NE(size_at("small"), size_at("high"));
    const Host::ParsedOptions p = Host::parse_options({"--record", "a.mp4", "--quality=small"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.quality, Host::Quality::Small);
    EXPECT_EQ(Host::parse_options({"--record", "a.webm"}).options.quality, Host::Quality::Good);
}

TEST(HostRecordErrors, ALinkIsWrittenThroughAndKept) {
    const std::string folder = temp_folder("nyra1-record");
    const std::string bin = fake_ffmpeg(folder, "' V....D libx264  x'", "cat >/dev/null\necho made >\"$out\"\n");
    fs::create_directories(folder + "/videos");
    std::ofstream(folder + "/videos/show.mp4") << "old";
    fs::create_symlink("videos/show.mp4", folder + "/link.mp4");
    mkfifo((folder + "/pipe.mp4").c_str(), 0644);
    Outcome o, to_pipe;
    {
        PathGuard path(bin);
        o = run({"--record", folder + "/link.mp4", "--press-start-at", "5"});
        to_pipe = run({"--record", folder + "/pipe.mp4"});
    }
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(fs::is_symlink(folder + "/link.mp4"));
    EXPECT_EQ(read_file(folder + "/videos/show.mp4"), "made\n");
    EXPECT_NE(o.out.find("through the link " + folder + "/link.mp4"), std::string::npos) << o.out;
    expect_one_line_error(to_pipe, "cannot write " + folder + "/pipe.mp4: it is a named pipe (FIFO)");
    EXPECT_TRUE(fs::is_fifo(folder + "/pipe.mp4"));
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"bin", "videos", "link.mp4", "pipe.mp4"}));
    EXPECT_EQ(names_in(folder + "/videos"), std::set<std::string>{"show.mp4"});
    fs::remove_all(folder);
}

TEST(HostRecordErrors, ARangeBeyondTheShowWritesNothing) {
    const std::string folder = temp_folder("nyra1-record");
    const std::string bin = fake_ffmpeg(folder, "' V..... gif  GIF'", "cat >\"$out\"\n");
    std::ofstream(folder + "/show.gif") << "an older video";
    Outcome o;
    {
        PathGuard path(bin);
        o = run({"--record", folder + "/show.gif", "--from", "100", "--press-start-at", "10"});
    }
    expect_one_line_error(o, "--from 100 is past the end of the show with START held from refresh 10, which has 66 "
                             "refreshes; nothing written");
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"bin", "show.gif"}));
    EXPECT_EQ(read_file(folder + "/show.gif"), "an older video");
    fs::remove_all(folder);
}
