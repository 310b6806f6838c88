#include "host/viewer/script_run.h"

#include <memory>
#include <stdexcept>
#include <string>

#include "data/assets.h"

namespace Host {

namespace {

// Keeps what a run tells: the cues, the polls and the stages' first
// refreshes, after the start-up's and the title's, which are the built-in
// show's.
class Learner final : public ScriptRules::Listener {
public:
    Learner(ScriptRun& out, uint32_t bound) : out_(out), bound_(bound) {
        const Timeline& built_in = built_in_timeline();
        const uint32_t plasma = built_in.chapter_start(Show::Stage::Plasma);
        if (plasma != ScriptRules::kPlasmaFirst)
            throw std::logic_error("the plasma begins at refresh " + std::to_string(plasma) + ", the run has it at " +
                                   std::to_string(ScriptRules::kPlasmaFirst));
        for (const Timeline::Chapter& c : built_in.chapters)
            if (c.first < plasma) out_.timeline.chapters.push_back(c);
        for (uint32_t p : built_in.polls)
            if (p < plasma) out_.timeline.polls.push_back(p);
    }

    void cue(const RunCue& c) override { out_.cues.push_back(c); }
    void marked(uint32_t refresh) override {
        RunCue& c = out_.cues.back();
        c.refresh = refresh;
        if (refresh <= bound_) out_.timeline.cues.push_back({refresh, c.cue});
    }
    void chapter(Show::Stage stage, uint32_t first) override { out_.timeline.chapters.push_back({stage, first}); }
    void poll(uint32_t refresh) override { out_.timeline.polls.push_back(refresh); }

    // What the run found, from its room.
    void finish(const ScriptRules::Work& work) {
        out_.ending = work.ending;
        out_.stage = work.stage;
        out_.at = work.at;
        out_.timeline.refreshes = work.refreshes;
        out_.silent.assign(work.silent, work.silent + work.silent_count);
        out_.unseen_from = work.unseen_from;
    }

private:
    ScriptRun& out_;
    uint32_t bound_;
};

} // namespace

ScriptRun run_script(const uint8_t* font, std::string_view text, uint32_t bound) {
    if (text.size() > ScriptRules::kMaxBytes)
        throw std::length_error("a script of " + std::to_string(text.size()) + " bytes is longer than any that runs");
    const auto work = std::make_unique<ScriptRules::Work>();
    ScriptRun out;
    Learner learner(out, bound);
    ScriptRules::run(font, text.data(), text.size(), bound, *work, &learner);
    learner.finish(*work);
    return out;
}

ScriptRun check_and_run(std::string_view bytes, ScriptRules::Verdict& verdict) {
    const auto work = std::make_unique<ScriptRules::Work>();
    ScriptRun out;
    Learner learner(out, ScriptRules::kLongestShow);
    ScriptRules::check(bytes.data(), bytes.size(), *work, verdict, &learner);
    learner.finish(*work);
    return out;
}

} // namespace Host
