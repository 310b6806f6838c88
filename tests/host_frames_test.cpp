// --frames: every refresh as an 8-bit indexed PNG, in refresh order, read
// back and compared with what the display controller model handed over.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "host/program/frames_frontend.h"
#include "host/output/png_file.h"
#include "host/program/program.h"
#include "host/viewer/show_runner.h"
#include "host/viewer/timeline.h"
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
    ASSERT_TRUE(Host::write_png(folder + "/p.png", Host::PngImage::indexed(320, 240, indices.data(), rgb.data()), error))
        << error;
    Host::PngPicture picture;
    ASSERT_TRUE(Host::read_png(folder + "/p.png", picture, error)) << error;
    EXPECT_TRUE(picture.indexed);
    EXPECT_EQ(picture.bit_depth, 8);
    EXPECT_EQ(picture.width, 320);
    EXPECT_EQ(picture.height, 240);
    EXPECT_EQ(picture.palette, rgb);
    EXPECT_EQ(picture.pixels, indices);

    EXPECT_FALSE(Host::write_png(folder + "/none/p.png", Host::PngImage::indexed(320, 240, indices.data(), rgb.data()), error));
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
    // The permissions of any new file here, not those of a temporary file.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(static_cast<mode_t>(fs::status(folder + "/00001.png").permissions()), 0666 & ~mask);

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

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A folder of pictures and notes that are not this run's.
std::string mixed_folder() {
    const std::string folder = temp_folder("nyra1-frames");
    for (const char* name : {"00001.png", "00003.png", "06762.png", "07000.png", "000001.png", "notes.txt",
                             "cover.png", "0001.png", "00001.png.bak"})
        std::ofstream(folder + "/" + name) << "mine " << name;
    return folder;
}

void expect_untouched(const std::string& folder, const std::set<std::string>& except = {}) {
    for (const std::string& name : names_in(folder))
        if (!except.count(name)) EXPECT_EQ(read_file(folder + "/" + name), "mine " + name) << name;
}

} // namespace

TEST(HostFrames, AFolderThatHoldsAnythingIsRefusedAndLeftAsItWas) {
    const std::string folder = mixed_folder();
    const auto before = names_in(folder);
    const Outcome o = run({"--frames", folder, "--press-start-at", "0"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "nyra1: " + folder +
                         " is not empty (9 entries); give a new or empty folder, or --overwrite to replace only "
                         "the frames this run writes\n");
    EXPECT_EQ(names_in(folder), before);
    expect_untouched(folder);
    EXPECT_EQ(DisplayController::refreshes(), 0u);
    fs::remove_all(folder);
}

TEST(HostFrames, OverwriteReplacesOnlyTheNamesThisRunWritesAndSaysSo) {
    const std::string folder = mixed_folder();
    const std::string outside = temp_folder("nyra1-frames");
    std::ofstream(outside + "/kept.txt") << "outside";
    fs::create_symlink(outside + "/kept.txt", folder + "/00002.png");
    const Outcome o = run({"--frames", folder, "--press-start-at", "0", "--overwrite"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "nyra1: show stopped by START after 2 refreshes; frames in " + folder +
                         ", replacing 2 files of the same name and leaving 8 other entries as they were\n");
    auto expected = names_in(folder);
    EXPECT_EQ(expected.size(), 10u); // nothing added but the frames, no temporary left
    expect_untouched(folder, {"00001.png", "00002.png"});
    // A link of a frame's name is replaced, not followed.
    EXPECT_FALSE(fs::is_symlink(folder + "/00002.png"));
    EXPECT_EQ(read_file(outside + "/kept.txt"), "outside");
    Host::PngPicture picture;
    std::string error;
    for (const char* name : {"00001.png", "00002.png"})
        EXPECT_TRUE(Host::read_png(folder + "/" + name, picture, error)) << error;
    fs::remove_all(folder);
    fs::remove_all(outside);
}

TEST(HostFrames, OneReplacedFileAndOneOtherEntryAreCountedInTheSingular) {
    const std::string folder = temp_folder("nyra1-frames");
    std::ofstream(folder + "/00001.png") << "mine";
    std::ofstream(folder + "/notes.txt") << "mine";
    const Outcome o = run({"--frames", folder, "--overwrite", "--to", "1"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "nyra1: refreshes 1 to 1 of the show; frames in " + folder +
                         ", replacing 1 file of the same name and leaving 1 other entry as it was\n");
    fs::remove_all(folder);
}

TEST(HostFrames, RangeWritesExactlyThoseRefreshesWithTheirOwnNumbers) {
    const std::string folder = temp_folder("nyra1-frames") + "/clip";
    Host::FramesFrontend frames(folder, -1, {3300, 3400, true});
    std::string error;
    ASSERT_TRUE(frames.prepare(error)) << error;
    Tee tee(frames);
    Host::play_show(tee);
    frames.finish();
    ASSERT_FALSE(frames.failed()) << frames.error();
    std::set<std::string> expected;
    for (uint32_t n = 3300; n <= 3400; ++n) expected.insert(Host::FramesFrontend::frame_name(n));
    EXPECT_EQ(names_in(folder), expected);
    EXPECT_EQ(frames.written(), 101u);
    // The show stopped soon after the range instead of playing on.
    EXPECT_LT(tee.kept.refreshes.size(), 3410u);
    for (uint32_t n : {3300u, 3350u, 3400u}) {
        Host::PngPicture picture;
        ASSERT_TRUE(Host::read_png(folder + "/" + Host::FramesFrontend::frame_name(n), picture, error)) << error;
        EXPECT_EQ(picture.pixels, tee.kept.refreshes[n - 1].pixels) << n;
        EXPECT_EQ(picture.palette, tee.kept.refreshes[n - 1].rgb) << n;
    }
    fs::remove_all(fs::path(folder).parent_path());
}

TEST(HostFrames, ARangeThatEndsPastTheShowIsCutAndSaid) {
    const std::string base = temp_folder("nyra1-frames");
    const uint32_t last = Host::built_in_timeline().refreshes;
    const std::string from = std::to_string(last - 5), end = std::to_string(last);
    Outcome o = run({"--frames", base + "/tail", "--from", from, "--to", "9000"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "nyra1: refreshes " + from + " to " + end + " of the show (it ended after " + end +
                         ", before --to 9000); frames in " + base + "/tail\n");
    EXPECT_EQ(names_in(base + "/tail").size(), 6u);
    fs::remove_all(base);
}

TEST(HostFrames, ARangeTheShowNeverReachesWritesNothing) {
    const std::string base = temp_folder("nyra1-frames");
    const Outcome o = run({"--frames", base + "/new/clip", "--from", "7000"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "nyra1: --from 7000 is past the end of the show, which has " +
                         std::to_string(Host::built_in_timeline().refreshes) + " refreshes; nothing written\n");
    EXPECT_TRUE(names_in(base).empty()); // not even the folders
    fs::remove_all(base);
}

TEST(HostFrames, AFullDiskLeavesCompletePicturesAndSaysHowMany) {
    const std::string folder = temp_folder("nyra1-frames");
    // Files may not grow past 3 KB: the first, black refreshes fit, the
    // logo does not.
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 3000;
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const Outcome o = run({"--frames", folder});
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(o.status, 2);
    const auto names = names_in(folder);
    ASSERT_FALSE(names.empty());
    const std::string last = *names.rbegin();
    EXPECT_EQ(o.err.rfind("nyra1: cannot write " + folder + "/", 0), 0u) << o.err;
    const std::string held = names.size() == 1 ? "1 complete frame 00001.png"
                                               : std::to_string(names.size()) + " complete frames 00001.png to " + last;
    EXPECT_NE(o.err.find("; " + folder + " holds the " + held + "\n"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1);
    std::set<std::string> expected;
    for (uint32_t n = 1; n <= names.size(); ++n) expected.insert(Host::FramesFrontend::frame_name(n));
    EXPECT_EQ(names, expected); // no partial picture, no temporary file
    for (const std::string& name : names) {
        Host::PngPicture picture;
        std::string error;
        EXPECT_TRUE(Host::read_png(folder + "/" + name, picture, error)) << error;
    }
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
