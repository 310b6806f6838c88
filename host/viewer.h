// The show as a viewer sees it: any refresh at will, exactly as a straight
// play shows it. One play in virtual time learns the timeline (stages, cues,
// START polls) and keeps a snapshot of the show every few seconds; a seek
// goes back to the nearest snapshot and plays on from there. The window and
// the web page are both built on it.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/show_runner.h"
#include "host/save_state.h"
#include "platform/host/display_controller.h"
#include "show/show.h"
#include "text/cue.h"

namespace Host {

// Time in the show: 60 refreshes a second, the handheld's display rate;
// refresh n is on display from (n - 1) / 60 s on.
inline constexpr int kRefreshRate = 60;
// m:ss.ff of refresh n: refresh 1 at 0:00.00.
std::string time_text(uint32_t refresh);

struct Timeline {
    struct Chapter {
        Show::Stage stage;
        uint32_t first; // its first refresh
    };
    struct Mark {
        uint32_t refresh; // the refresh whose frame the cue fired in
        Cue cue;
    };

    uint32_t refreshes = 0; // the whole show, its final refresh included
    std::vector<Chapter> chapters;
    std::vector<Mark> cues;
    // Refreshes handed over at each START poll, ascending, each once.
    std::vector<uint32_t> polls;

    // The chapter that refresh n belongs to (the final refresh: Ended).
    const Chapter& chapter_at(uint32_t n) const;
    // The first refresh of a stage and its number of refreshes (0, 0: the
    // show never reaches it).
    uint32_t chapter_start(Show::Stage s) const;
    uint32_t chapter_length(Show::Stage s) const;
    // The refreshes of a play with START held from the poll after refresh k.
    uint32_t refreshes_with_start_at(long k) const;
};

const char* stage_name(Show::Stage s);

// The timeline of the show this program was built with, learned by the build
// (make_timeline): known without playing the show.
const Timeline& built_in_timeline();

class Viewer : public DisplayController::Frontend {
public:
    static constexpr uint32_t kSnapshotEvery = 256;
    // Seeks keep more snapshots on their way, closer together, so that
    // stepping back around one place stays quick; only the nearest are kept.
    static constexpr uint32_t kNearEvery = 16;
    static constexpr size_t kNearKept = 48;

    // Learns the timeline (about a third of a second), then stands at
    // refresh 1. START is held from the poll after refresh `press_start_at`
    // on (negative: never) in the straight play.
    explicit Viewer(long press_start_at = -1);
    ~Viewer() override;
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    const Timeline& timeline() const { return timeline_; }

    // The refresh on show, 1 .. timeline().refreshes (a play ended by START
    // ends sooner), its picture and colours.
    uint32_t position() const { return position_; }
    const uint8_t* pixels() const { return pixels_.data(); }
    const uint8_t* rgb() const { return rgb_.data(); }
    bool at_end() const { return ended_; }
    Show::Stage stage() const;

    // The next refresh of the play; false (nothing changes) at the end.
    bool advance();
    // Exactly refresh n of a straight play, n limited to the show.
    void seek(uint32_t n);
    // Drops the snapshots seeks have kept: the next seek is as slow as the
    // first (for measurements).
    void forget_seeks();
    // START held from the next poll on, until the next seek.
    void press_start() { start_pressed_ = true; }

    // Frontend: keeps the refresh handed over.
    void refresh(const DisplayController::Refresh& r) override;
    bool start_held() override;

private:
    void learn();
    void take_picture();
    // True when the show in the core is this viewer's; otherwise it takes
    // the core back and marks its position for a return to a snapshot.
    bool holds_the_show();
    void keep_near(uint32_t n);

    Timeline timeline_;
    StartRule rule_;
    std::vector<std::pair<uint32_t, Snapshot>> snapshots_; // refresh, the show right after it
    std::map<uint32_t, Snapshot> near_;                     // the same, taken by seeks
    std::vector<uint8_t> pixels_;
    std::vector<uint8_t> rgb_;
    uint32_t position_ = 0;
    bool ended_ = false;
    bool start_pressed_ = false;
    bool learning_ = false;
    bool stale_ = false; // the core no longer holds this viewer's show
};

} // namespace Host
