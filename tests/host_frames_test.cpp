// --frames: every refresh as an 8-bit indexed PNG, in refresh order, read
// back and compared with what the display controller model handed over.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "host/frames_frontend.h"
#include "host/png_file.h"
#include "host/program.h"
#include "host/show_runner.h"
#include "support/host_support.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using DisplayController::Ending;

namespace {

// Hands every refresh to the frames writer and keeps a copy for comparison;
// START is the writer's.
class Tee : public DisplayController::Frontend {
public:
    explicit Tee(Host::FramesFrontend& frames, uint32_t interrupt_at = 0)
        : frames_(frames), interrupt_at_(interrupt_at) {}
    void refresh(const DisplayController::Refresh& r) override {
        kept.refresh(r);
        frames_.refresh(r);
        if (r.number == interrupt_at_) frames_.interrupt();
    }
    bool start_held() override {
        const bool held = frames_.start_held();
        polls.push_back({kept.count, held});
        return held;
    }
    RecordingFrontend kept;
    struct Poll {
        uint32_t handed_over;
        bool held;
    };
    std::vector<Poll> polls;

private:
    Host::FramesFrontend& frames_;
    uint32_t interrupt_at_;
};

} // namespace

TEST(HostFrames, FrameNamesAreFiveDigitsInRefreshOrder) {
    EXPECT_EQ(Host::FramesFrontend::frame_name(1), "00001.png");
    EXPECT_EQ(Host::FramesFrontend::frame_name(6702), "06702.png");
    EXPECT_EQ(Host::FramesFrontend::frame_name(99999), "99999.png");
    EXPECT_EQ(Host::FramesFrontend::frame_name(123456), "123456.png");
}

TEST(HostFrames, IndexedPngKeepsIndicesAndAllPaletteEntries) {
    const std::string folder = temp_folder("nyra1-frames");
    std::vector<uint8_t> indices(320 * 240), rgb(768);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i * 7 + i / 320);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(255 - i * 3);
    rgb[0] = rgb[1] = rgb[2] = 0; // duplicate colours must stay separate entries
    rgb[765] = rgb[766] = rgb[767] = 0;
    std::string error;
    ASSERT_TRUE(Host::write_indexed_png(folder + "/p.png", 320, 240, indices.data(), rgb.data(), error))
        << error;
    Host::PngPicture picture;
    ASSERT_TRUE(Host::read_png(folder + "/p.png", picture, error)) << error;
    EXPECT_TRUE(picture.indexed);
    EXPECT_EQ(picture.bit_depth, 8);
    EXPECT_EQ(picture.width, 320);
    EXPECT_EQ(picture.height, 240);
    EXPECT_EQ(picture.palette, rgb);
    EXPECT_EQ(picture.pixels, indices);

    EXPECT_FALSE(Host::write_indexed_png(folder + "/none/p.png", 320, 240, indices.data(), rgb.data(), error));
    EXPECT_EQ(error.rfind("cannot write " + folder + "/none/p.png", 0), 0u) << error;
    fs::remove_all(folder);
}

TEST(HostFrames, ShortRunWritesEveryRefreshIncludingTheFinal) {
    const std::string folder = temp_folder("nyra1-frames") + "/new/frames"; // made on the way
    constexpr long kStartAt = 5;
    Host::FramesFrontend frames(folder, kStartAt);
    std::string error;
    ASSERT_TRUE(frames.prepare(error)) << error;
    Tee tee(frames);
    const Host::ShowResult result = Host::play_show(tee);
    ASSERT_FALSE(frames.failed()) << frames.error();

    const auto& kept = tee.kept.refreshes;
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(result.refreshes, kept.size());
    EXPECT_EQ(frames.written(), kept.size());
    EXPECT_TRUE(kept.back().final);
    // START is held at every poll made once refresh 5 has been handed over,
    // never before; the show then ends with its final refresh.
    size_t first_held = tee.polls.size();
    for (size_t i = 0; i < tee.polls.size(); ++i) {
        EXPECT_EQ(tee.polls[i].held, tee.polls[i].handed_over >= kStartAt) << "poll " << i;
        if (tee.polls[i].held && first_held == tee.polls.size()) first_held = i;
    }
    if (result.ending == Ending::StoppedByStart) {
        ASSERT_LT(first_held, tee.polls.size());
        EXPECT_GE(tee.polls[first_held].handed_over, static_cast<uint32_t>(kStartAt));
        EXPECT_EQ(kept.size(), tee.polls[first_held].handed_over + 1u);
    } else {
        EXPECT_EQ(result.ending, Ending::Completed);
        EXPECT_EQ(first_held, tee.polls.size());
    }

    std::set<std::string> expected;
    for (size_t n = 1; n <= kept.size(); ++n) expected.insert(Host::FramesFrontend::frame_name(n));
    EXPECT_EQ(names_in(folder), expected);

    for (size_t n = 1; n <= kept.size(); ++n) {
        Host::PngPicture picture;
        ASSERT_TRUE(Host::read_png(folder + "/" + Host::FramesFrontend::frame_name(n), picture, error)) << error;
        ASSERT_TRUE(picture.indexed);
        ASSERT_EQ(picture.width, 320);
        ASSERT_EQ(picture.height, 240);
        EXPECT_EQ(picture.pixels, kept[n - 1].pixels) << "refresh " << n;
        EXPECT_EQ(picture.palette, kept[n - 1].rgb) << "refresh " << n;
    }
    fs::remove_all(fs::path(folder).parent_path().parent_path());
}

TEST(HostFrames, HeldFromTheStartShowsTheFirstRefreshAndTheFinal) {
    const std::string folder = temp_folder("nyra1-frames");
    Host::FramesFrontend frames(folder, 0);
    std::string error;
    ASSERT_TRUE(frames.prepare(error)) << error;
    Tee tee(frames);
    const Host::ShowResult result = Host::play_show(tee);
    EXPECT_EQ(result.ending, Ending::StoppedByStart);
    // init_video's sync is refresh 1; the show's first poll already sees START.
    ASSERT_EQ(result.refreshes, 2u);
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"00001.png", "00002.png"}));
    EXPECT_TRUE(tee.kept.refreshes[1].final);
    fs::remove_all(folder);
}

TEST(HostFrames, OldNumberedFramesAreReplacedOtherFilesKept) {
    const std::string folder = temp_folder("nyra1-frames");
    for (const char* name : {"00001.png", "00050.png", "99999.png", "123456.png"})
        std::ofstream(folder + "/" + name) << "old";
    for (const char* name : {"notes.txt", "cover.png", "0001.png", "00001.png.bak"})
        std::ofstream(folder + "/" + name) << "mine";

    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = Host::run_program({"--frames", folder, "--press-start-at", "0"}, out, err);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"00001.png", "00002.png", "notes.txt", "cover.png",
                                                      "0001.png", "00001.png.bak"}));
    std::string line(256, '\0');
    std::rewind(out);
    line.resize(std::fread(line.data(), 1, line.size(), out));
    EXPECT_EQ(line, "nyra1: show stopped by START after 2 refreshes; frames in " + folder + "\n");
    std::fclose(out);
    std::fclose(err);
    fs::remove_all(folder);
}

TEST(HostFrames, AWriteFailureEndsTheShowAtOnceWithStatusTwo) {
    const std::string folder = temp_folder("nyra1-frames");
    Host::FramesFrontend frames(folder + "/gone", -1);
    std::string error;
    ASSERT_TRUE(frames.prepare(error)) << error;
    fs::remove_all(folder + "/gone"); // the folder vanishes under the writer

    Tee tee(frames);
    const Host::ShowResult result = Host::play_show(tee);
    EXPECT_TRUE(frames.failed());
    EXPECT_EQ(frames.error().rfind("cannot write " + folder + "/gone/00001.png", 0), 0u) << frames.error();
    EXPECT_EQ(frames.error().find('\n'), std::string::npos);
    EXPECT_EQ(frames.written(), 0u);
    // The failure holds START, so the show ends at its first poll.
    EXPECT_EQ(result.ending, Ending::StoppedByStart);
    EXPECT_EQ(result.refreshes, 2u);
    EXPECT_FALSE(fs::exists(folder + "/gone"));
    fs::remove_all(folder);
}

TEST(HostFrames, AnInterruptionKeepsTheFramesWrittenSoFarAndWritesNoMore) {
    const std::string folder = temp_folder("nyra1-frames");
    Host::FramesFrontend frames(folder, -1);
    std::string error;
    ASSERT_TRUE(frames.prepare(error)) << error;
    Tee tee(frames, 10);
    const Host::ShowResult result = Host::play_show(tee);
    EXPECT_TRUE(frames.interrupted());
    EXPECT_FALSE(frames.failed());
    EXPECT_EQ(result.ending, Ending::StoppedByStart);
    EXPECT_EQ(frames.written(), 10u);
    std::set<std::string> expected;
    for (uint32_t n = 1; n <= 10; ++n) expected.insert(Host::FramesFrontend::frame_name(n));
    EXPECT_EQ(names_in(folder), expected);
    fs::remove_all(folder);
}
