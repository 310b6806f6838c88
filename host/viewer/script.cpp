#include "host/viewer/script.h"

#include <algorithm>
#include <cstdio>

#include "host/state/saved_state.h"
#include "host/viewer/script_run.h"
#include "text/scroller.h"

namespace Host {

namespace {

using Stage = Show::Stage;
using ScriptRules::stage_noun;

std::string number_text(uint64_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// How long n refreshes last: m:ss.ff.
std::string duration_text(uint32_t n) { return time_text(n + 1); }

// The line and column of every byte of the text (of a character's first
// byte; a line break belongs to the line it ends), so that the run's
// findings, which name bytes, can name places.
class Places {
public:
    explicit Places(std::string_view bytes) : at_(bytes.size() + 1) {
        ScriptPlace p;
        for (size_t i = 0; i < bytes.size();) {
            size_t length;
            ScriptRules::decode(bytes.data(), bytes.size(), i, length);
            if (length == 0) length = 1;
            for (size_t k = 0; k < length && i + k < bytes.size(); ++k) at_[i + k] = p;
            if (bytes[i] == '\n') p = {p.line + 1, 1};
            else ++p.column;
            i += length;
        }
        at_[bytes.size()] = p;
    }
    ScriptPlace operator[](size_t i) const { return at_[std::min(i, at_.size() - 1)]; }

private:
    std::vector<ScriptPlace> at_;
};

std::string place_text(const ScriptPlace& p) {
    char text[48];
    std::snprintf(text, sizeof text, "line %u, column %u", p.line, p.column);
    return text;
}

const char* code_text(Cue c) {
    switch (c) {
    case Cue::FadeIn: return "@1";
    case Cue::FadeOut: return "@2";
    case Cue::Rewind: return "@3";
    case Cue::End: return "@4";
    case Cue::Pause: return "@5";
    default: return "@?";
    }
}

// What the stage on screen does with a cue; `ignored` says when it does
// nothing. `faded_in`: the plasma has had its fade-in cue already.
std::string effect_of(Stage stage, Cue cue, bool pause_end, bool faded_in, bool& ignored) {
    ignored = false;
    char pause[64];
    std::snprintf(pause, sizeof pause, "; the text stands still, unseen, for %d steps", Scroller::kPauseSteps);
    if (pause_end) {
        if (stage == Stage::Flight) return "the pause ends: starts the flight's fade-out";
        if (stage == Stage::Plasma) return "the pause ends: starts the fade-out";
        ignored = true;
        return std::string("the pause ends; ") + stage_noun(stage) + " ignores the fade-out it brings";
    }
    switch (cue) {
    case Cue::Rewind: return "starts the text again";
    case Cue::End:
    case Cue::Pause: {
        std::string what = stage == Stage::Rotozoomer ? "ends the show"
                           : stage == Stage::HandOver ? "ends the hand-over"
                                                      : std::string("ends ") + stage_noun(stage);
        if (cue == Cue::Pause && stage != Stage::Rotozoomer) what += pause;
        return what;
    }
    case Cue::FadeIn:
        if (stage == Stage::Plasma && !faded_in) return "starts the fade-in";
        ignored = true;
        if (stage == Stage::Plasma) return "ignored: the plasma has faded in already";
        return "ignored: only the plasma fades in";
    case Cue::FadeOut:
        if (stage == Stage::Plasma) return "starts the fade-out";
        if (stage == Stage::Flight) return "starts the flight's fade-out; the text waits, unseen, for the hand-over";
        ignored = true;
        return "ignored: only the plasma and the flight fade out";
    default: return "nothing";
    }
}

// A code that fires within this many steps of a pause's end (a second)
// comes as the pause ends.
constexpr uint32_t kRunsInto = Display::kRefreshRate;

class Checker {
public:
    explicit Checker(std::string_view bytes) : bytes_(bytes), places_(bytes) {}

    ScriptCheck check() {
        ScriptRules::Verdict verdict;
        run_ = check_and_run(bytes_, verdict);
        if (!verdict.accepted) {
            out_.refusal = ScriptFinding{{verdict.place.line, verdict.place.column}, verdict.reason};
            return std::move(out_);
        }
        note_codes_and_warnings();
        return std::move(out_);
    }

private:
    void warn(size_t at, std::string message) {
        for (const ScriptFinding& w : out_.warnings)
            if (w.message == message) return;
        out_.warnings.push_back({places_[at], std::move(message)});
    }
    std::string code_at(size_t at) const { return {'@', bytes_[at + 1]}; }

    std::string why_silent(const SilentCode& s) const {
        char why[ScriptRules::Verdict::kReasonCapacity];
        ScriptRules::why_silent(bytes_.data(), bytes_.size(), s, why, sizeof why);
        return why;
    }

    void note_codes_and_warnings() {
        const ScriptRun& r = run_;
        out_.timeline = r.timeline;
        bool faded_in = false;
        for (size_t k = 0; k < r.cues.size(); ++k) {
            const RunCue& c = r.cues[k];
            const size_t at = static_cast<size_t>(c.at);
            bool ignored;
            std::string effect = effect_of(c.stage, c.cue, c.pause_end, faded_in, ignored);
            if (ignored)
                warn(at, (c.pause_end ? "the pause of this @5 ends in " + std::string(stage_noun(c.stage)) +
                                            ", which ignores the fade-out its end brings"
                                      : "this " + code_at(at) + " fires in " + stage_noun(c.stage) +
                                            ", which ignores it" + effect.substr(effect.find(':'))));
            if (c.stage == Stage::Plasma && c.cue == Cue::FadeIn) faded_in = true;
            // A code that comes into view within a second of a pause's end
            // has the pause run straight into it: the stage it ends is over
            // almost as soon as the text moves again.
            if (c.cue == Cue::Pause && c.stage != Stage::Rotozoomer) {
                for (size_t j = k + 1; j < r.cues.size(); ++j) {
                    if (r.cues[j].pause_end) continue;
                    const uint32_t after = r.cues[j].step - (c.step + Scroller::kPauseSteps);
                    if (after <= kRunsInto)
                        warn(at, "the pause of this @5 runs into the " + code_at(static_cast<size_t>(r.cues[j].at)) +
                                     " at " + place_text(places_[static_cast<size_t>(r.cues[j].at)]) +
                                     ": that code fires " + std::to_string(after) + (after == 1 ? " step" : " steps") +
                                     " after the pause ends, as soon as the text moves again");
                    break;
                }
            }
            if ((c.cue == Cue::End || c.cue == Cue::Pause) && c.stage == Stage::Plasma && !faded_in)
                warn(at, "the plasma never fades in: no @1 fires before this " + code_at(at) +
                             " ends it, and it stays black under the text");
            out_.codes.push_back({c.step, c.refresh, c.cue, c.pause_end, places_[at], c.stage, std::move(effect)});
        }
        for (const SilentCode& s : r.silent)
            warn(static_cast<size_t>(s.at), "this " + code_at(static_cast<size_t>(s.at)) + " never fires: " + why_silent(s));
        const size_t unseen = static_cast<size_t>(r.unseen_from);
        if (bytes_.find_first_not_of(" \r\n", unseen) != std::string_view::npos)
            warn(bytes_.find_first_not_of(" \r\n", unseen), "the text from here on is never seen: the show ends before it");
        std::sort(out_.warnings.begin(), out_.warnings.end(), [](const ScriptFinding& a, const ScriptFinding& b) {
            return a.place.line != b.place.line ? a.place.line < b.place.line : a.place.column < b.place.column;
        });
    }

    std::string_view bytes_;
    Places places_;
    ScriptRun run_;
    ScriptCheck out_;
};

} // namespace

ScriptCheck check_script(std::string_view bytes) { return Checker(bytes).check(); }

std::string finding_line(std::string_view file, const ScriptFinding& finding, bool warning) {
    char place[32];
    std::snprintf(place, sizeof place, ":%u:%u: ", finding.place.line, finding.place.column);
    std::string line(file);
    line += place;
    if (warning) line += "warning: ";
    return line += finding.message;
}

std::string timeline_report(const ScriptCheck& check) {
    const Timeline& t = check.timeline;
    std::string out = "the show: " + number_text(t.refreshes) + " refreshes, " + duration_text(t.refreshes) + "\n";
    char line[200];
    std::snprintf(line, sizeof line, "  %-11s %9s %10s  %s\n", "stage", "first", "refreshes", "from");
    out += line;
    for (const Timeline::Chapter& c : t.chapters) {
        std::snprintf(line, sizeof line, "  %-11s %9s %10s  %s\n", stage_name(c.stage), number_text(c.first).c_str(),
                      number_text(t.chapter_length(c.stage)).c_str(), time_text(c.first).c_str());
        out += line;
    }
    out += "the codes, as the Scroller reports them (a step is one move of 2 pixels):\n";
    std::snprintf(line, sizeof line, "  %-5s %-11s %7s %8s  %-8s %-11s %s\n", "code", "line:column", "step", "refresh",
                  "time", "stage", "what it does");
    out += line;
    for (const ScriptCode& c : check.codes) {
        const std::string code = c.pause_end ? "(@5)" : code_text(c.cue);
        char where[24];
        std::snprintf(where, sizeof where, "%u:%u", c.place.line, c.place.column);
        std::snprintf(line, sizeof line, "  %-5s %-11s %7s %8s  %-8s %-11s %s\n", code.c_str(), where,
                      number_text(c.step).c_str(), number_text(c.refresh).c_str(), time_text(c.refresh).c_str(),
                      stage_name(c.stage), c.effect.c_str());
        out += line;
    }
    return out;
}

uint64_t script_identity(std::string_view text) { return SavedState::script_identity(text.data(), text.size()); }

Script::Script(std::shared_ptr<const std::string> text, std::shared_ptr<const Timeline> timeline)
    : text_(std::move(text)), timeline_(std::move(timeline)), identity_(script_identity(*text_)) {}

const Script& Script::built_in() {
    static const Script script(std::make_shared<const std::string>(Assets::scroll_text, Assets::scroll_text_size),
                               std::shared_ptr<const Timeline>(&built_in_timeline(), [](const Timeline*) {}));
    return script;
}

std::optional<Script> Script::from(std::string bytes, ScriptCheck& check) {
    check = check_script(bytes);
    if (!check.accepted()) return std::nullopt;
    return Script(std::make_shared<const std::string>(std::move(bytes)), std::make_shared<const Timeline>(check.timeline));
}

bool Script::is_built_in() const { return text_ == built_in().text_; }

namespace {

std::optional<Script>& in_use() {
    static std::optional<Script> script;
    return script;
}

} // namespace

void use_script(const Script& script) {
    in_use() = script;
    Scroller::use_text(Assets::scroller_font, script.is_built_in() ? Assets::scroll_text : in_use()->text().c_str());
}

const Script& script_in_use() { return in_use() ? *in_use() : Script::built_in(); }

} // namespace Host
