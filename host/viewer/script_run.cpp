#include "host/viewer/script_run.h"

#include <algorithm>

#include "text/scroller.h"
#include "text/text_renderer.h"

namespace Host {

namespace {

using Stage = Show::Stage;

// The Scroller (text/scroller.cpp) and the renderer's walk (draw_text in
// text/text_renderer.cpp) without the drawing: the same state, moved by the
// same rules, and the code a walk meets found from sums instead of a walk.
//
// A walk from the first character at pen x passes every character whose
// pen is below the screen's right edge and stops at the first one that is
// not (or at the terminator); spaces move the pen 8, glyphs their columns
// + 2, everything else (codes and their digits included) nothing. With
// `pen_before[k]` the pen movement of characters 0..k-1, the walk from
// index i passes exactly the characters before the first k >= i with
// pen_before[k] - pen_before[i] >= 320 - x: a search. The code it reports
// is that of the last "@" before that k, when it stands at i or later.
class LeanScroller {
public:
    LeanScroller(const uint8_t* font, std::string_view text) : font_(font), text_(text) {
        const size_t n = text.size();
        pen_before_.resize(n + 1);
        last_code_before_.resize(n + 1);
        int64_t pen = 0;
        int32_t last = -1;
        for (size_t k = 0; k < n; ++k) {
            pen_before_[k] = pen;
            last_code_before_[k] = last;
            const uint8_t ch = static_cast<uint8_t>(text[k]);
            if (ch == '@' && k + 1 < n) {
                // The code's digit is taken with it and moves nothing.
                last = static_cast<int32_t>(k);
                pen_before_[k + 1] = pen;
                last_code_before_[k + 1] = last;
                ++k;
                continue;
            }
            pen += ch == ' ' ? 8 : glyph_columns(ch) + (has_glyph(ch) ? 2 : 0);
        }
        pen_before_[n] = pen;
        last_code_before_[n] = last;
        for (size_t k = 0; k < n; ++k)
            if (text[k] == '@' && k + 1 < n) codes_.push_back(static_cast<int32_t>(k++));
        restart();
    }

    void restart() {
        x_ = 0;
        index_ = 0;
        limit_ = -advance(char_at(0));
        seen_until_ = 0;
    }

    // One Scroller::step: what it returns, with `acted` the cue the step
    // acted on (Scroller::last_cue) and `at` the code's "@" (-1: none).
    Cue step(Cue& acted, int32_t& at) {
        ++steps_;
        at = -1;
        acted = advance_one(at);
        return acted == Cue::Pause ? Cue::End : acted;
    }

    uint32_t steps() const { return steps_; }
    bool paused() const { return pause_ > 0; }
    // Nothing will ever be reported again: the text has run out and no
    // pause is left to end.
    bool spent() const { return char_at(index_) == 0 && pause_ == 0; }
    int32_t pause_code() const { return pause_code_; }
    int32_t unseen_from() const { return furthest_; }
    std::vector<SilentCode>& silent() { return silent_; }

private:
    uint8_t char_at(int32_t i) const {
        return static_cast<size_t>(i) < text_.size() ? static_cast<uint8_t>(text_[static_cast<size_t>(i)]) : 0;
    }
    bool has_glyph(uint8_t ch) const { return ch < 128 && (font_[2 * ch] | font_[2 * ch + 1]) != 0; }
    int32_t glyph_columns(uint8_t ch) const {
        return has_glyph(ch) ? font_[(font_[2 * ch] | font_[2 * ch + 1] << 8) + 1] : 0;
    }
    int32_t advance(uint8_t ch) const { return TextRenderer::advance_width(font_, ch); }

    Cue advance_one(int32_t& at) {
        if (pause_ > 0) {
            if (++pause_ > Scroller::kPauseSteps) {
                pause_ = 0;
                at = pause_code_;
                return Cue::FadeOut;
            }
            return Cue::None;
        }
        if (char_at(index_) == 0) return Cue::None;
        x_ -= Scroller::kStep;
        if (x_ < limit_) {
            const bool code = char_at(index_) == '@' && char_at(index_ + 1) != 0;
            // The first step after a restart passes a code at the text's
            // start before any walk has met it.
            if (code && index_ >= seen_until_) silent_.push_back({index_, -1, SilentCode::Why::First});
            index_ += code ? 2 : 1;
            x_ = 0;
            limit_ = -advance(char_at(index_));
            if (char_at(index_) == 0) return Cue::None;
        }
        // The walk: characters index_ .. end - 1.
        const int64_t reach = pen_before_[static_cast<size_t>(index_)] + 320 - x_;
        const auto first = pen_before_.begin() + index_;
        const int32_t end = static_cast<int32_t>(
            std::partition_point(first, pen_before_.end() - 1, [reach](int64_t p) { return p < reach; }) -
            pen_before_.begin());
        furthest_ = std::max(furthest_, end);
        const int32_t last = last_code_before_[static_cast<size_t>(end)];
        const int32_t code_at = last >= index_ ? last : -1;
        const Cue met = code_at >= 0 ? static_cast<Cue>(char_at(code_at + 1) - '0') : Cue::None;
        note_seen(end, code_at, met != stored_);
        if (met == stored_) return Cue::None;
        stored_ = met;
        stored_at_ = code_at;
        at = code_at;
        if (met == Cue::Rewind) restart();
        if (met == Cue::Pause) {
            pause_ = 1;
            pause_code_ = code_at;
        }
        return met;
    }

    // The codes that came into view on this walk: the one reported fires,
    // the others stay silent (and say why).
    void note_seen(int32_t end, int32_t reported, bool fires) {
        auto c = std::lower_bound(codes_.begin(), codes_.end(), std::max(seen_until_, index_));
        for (; c != codes_.end() && *c < end; ++c) {
            if (*c != reported) silent_.push_back({*c, reported, SilentCode::Why::Later});
            else if (!fires) silent_.push_back({*c, stored_at_, SilentCode::Why::Same});
        }
        seen_until_ = std::max(seen_until_, end);
    }

    const uint8_t* font_;
    std::string_view text_;
    std::vector<int64_t> pen_before_;
    std::vector<int32_t> last_code_before_;
    std::vector<int32_t> codes_; // every code's "@", in order
    std::vector<SilentCode> silent_;
    int32_t x_ = 0, index_ = 0, limit_ = 0, pause_ = 0;
    Cue stored_ = Cue::None; // the title's texts have no codes: none is stored when the plasma begins
    int32_t stored_at_ = -1; // the code that walk met
    uint32_t steps_ = 0;
    int32_t pause_code_ = -1;
    int32_t seen_until_ = 0; // codes before this have come into view since the latest restart
    int32_t furthest_ = 0;
};

// The stages' frame rules, refresh by refresh, as show/show.cpp and the
// effects present them, noted as Host's learning of a real play notes them
// (play_timeline): a stage's first refresh is the first sync its frames
// wait for, a cue is marked at the sync that ends the show step in which it
// was reported, a poll at the sync of the frame that polls.
class Run {
public:
    Run(const uint8_t* font, std::string_view text, uint32_t bound) : scroller_(font, text), bound_(bound) {
        // Start-up and title: the built-in show's, up to the plasma.
        const Timeline& built_in = built_in_timeline();
        const uint32_t plasma = built_in.chapter_start(Stage::Plasma);
        for (const Timeline::Chapter& c : built_in.chapters)
            if (c.first < plasma) out_.timeline.chapters.push_back(c);
        for (uint32_t p : built_in.polls)
            if (p < plasma) out_.timeline.polls.push_back(p);
        refreshes_ = plasma - 1;
    }

    ScriptRun play() {
        if (plasma() && flight() && hand_over() && rotozoomer()) {
            ++refreshes_; // the final refresh: the picture left on display
            chapter(Stage::Ended);
            out_.timeline.refreshes = refreshes_;
            if (refreshes_ > bound_) {
                out_.ending = ScriptRun::Ending::TooLong;
                out_.stage = Stage::Rotozoomer;
            }
        }
        // A code silent on one pass may fire on another; each is told once.
        for (const SilentCode& s : scroller_.silent()) {
            const bool told = std::any_of(out_.silent.begin(), out_.silent.end(),
                                          [&](const SilentCode& t) { return t.at == s.at; });
            if (!told && !fired(s.at)) out_.silent.push_back(s);
        }
        out_.unseen_from = scroller_.unseen_from();
        return std::move(out_);
    }

private:
    bool fired(int32_t at) const {
        for (const RunCue& c : out_.cues)
            if (c.at == at && !c.pause_end) return true;
        return false;
    }

    // One Scroller step in `stage`'s frame; false when that stage will never
    // end (out_ says why).
    Cue step(Stage stage, bool& stuck) {
        Cue acted;
        int32_t at;
        const bool was_paused = scroller_.paused();
        const Cue cue = scroller_.step(acted, at);
        if (acted != Cue::None) {
            out_.cues.push_back({scroller_.steps(), 0, acted, at, was_paused, stage});
            pending_mark_ = true;
            if (acted == Cue::Rewind) {
                if (rewound_in_ == stage) return never(ScriptRun::Ending::RewindLoop, stage, at, stuck);
                rewound_in_ = stage;
            }
        }
        if (cue == Cue::None && scroller_.spent()) return never(ScriptRun::Ending::RunsOut, stage, -1, stuck);
        return cue;
    }

    Cue never(ScriptRun::Ending why, Stage stage, int32_t at, bool& stuck) {
        out_.ending = why;
        out_.stage = stage;
        out_.at = at;
        stuck = true;
        return Cue::None;
    }

    // A frame that waits for the sync: the refresh it is shown at, its
    // stage's first when the stage is new, the cue its show step reported.
    void sync(Stage stage) {
        ++refreshes_;
        chapter(stage);
        if (pending_mark_) {
            const RunCue& c = out_.cues.back();
            out_.cues.back().refresh = refreshes_;
            if (within()) out_.timeline.cues.push_back({refreshes_, c.cue});
            pending_mark_ = false;
        }
    }
    void poll() {
        if (within() && (out_.timeline.polls.empty() || out_.timeline.polls.back() != refreshes_))
            out_.timeline.polls.push_back(refreshes_);
    }
    void chapter(Stage stage) {
        if (out_.timeline.chapters.back().stage != stage) out_.timeline.chapters.push_back({stage, refreshes_});
    }
    // Past the bound only the length is still counted, and only so far.
    bool within() const { return refreshes_ <= bound_; }
    bool too_far() {
        if (refreshes_ <= kHardLimit) return false;
        out_.ending = ScriptRun::Ending::TooLong;
        out_.timeline.refreshes = 0; // longer than can be told
        return true;
    }

    // Plasma::frame: a step a frame, every frame shown and polled; ends
    // with the frame of its end cue.
    bool plasma() {
        for (bool stuck = false;;) {
            const Cue cue = step(Stage::Plasma, stuck);
            if (stuck) return false;
            sync(Stage::Plasma);
            poll();
            if (cue == Cue::End) return true;
            if (too_far()) return false;
        }
    }

    // VoxelFlight::frame: two set-up frames that wait for nothing, then a
    // frame a sync, stepping the Scroller until the fade-out begins; the
    // fades move after each sync, the fade-in first (64 frames), then the
    // fade-out (by 8 from 255 down to below 0); the frame after the fade
    // has run down ends the flight without a sync, the frame of an end cue
    // with one.
    bool flight() {
        int32_t fade_in = 0, fade_out = 256;
        for (bool stuck = false;;) {
            if (fade_out <= 0) return true;
            Cue cue = Cue::None;
            if (fade_out > 255) {
                cue = step(Stage::Flight, stuck);
                if (stuck) return false;
                if (cue == Cue::FadeOut) fade_out = 255;
            }
            sync(Stage::Flight);
            if (fade_in <= 255) fade_in += 4;
            else if (fade_out <= 255) fade_out -= 8;
            poll();
            if (cue == Cue::End) return true;
            if (too_far()) return false;
        }
    }

    // The show's hand-over loop: a step a frame; the end cue ends it at
    // once, without a sync, so that cue is marked at the rotozoomer's first.
    bool hand_over() {
        for (bool stuck = false;;) {
            const Cue cue = step(Stage::HandOver, stuck);
            if (stuck) return false;
            if (cue == Cue::End) return true;
            sync(Stage::HandOver);
            poll();
            if (too_far()) return false;
        }
    }

    // Rotozoomer::frame: a grey frame first (a sync, no step, no poll), then
    // a step a frame until the frame of the end cue, after which the show
    // ends.
    bool rotozoomer() {
        sync(Stage::Rotozoomer);
        for (bool stuck = false;;) {
            const Cue cue = step(Stage::Rotozoomer, stuck);
            if (stuck) return false;
            sync(Stage::Rotozoomer);
            poll();
            if (cue == Cue::End) return true;
            if (too_far()) return false;
        }
    }

    // A show that ends, however late, ends within this: each stage passes
    // over the text at most twice (a second rewind in one stage is a loop),
    // 16 steps a character at most.
    static constexpr uint32_t kHardLimit = 20'000'000;

    LeanScroller scroller_;
    uint32_t bound_;
    uint32_t refreshes_ = 0;
    bool pending_mark_ = false;
    // The stage of the latest rewind. A second one in the same stage brings
    // back the very state the first left (the text at its start, the code 3
    // stored, no pause), and the stage can only go round again.
    Stage rewound_in_ = Stage::StartUp;
    ScriptRun out_;
};

} // namespace

ScriptRun run_script(const uint8_t* font, std::string_view text, uint32_t bound) {
    return Run(font, text, bound).play();
}

} // namespace Host
