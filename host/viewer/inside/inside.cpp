#include "host/viewer/inside/inside.h"

#include "host/viewer/inside/views.h"
#include "platform/host/display_controller.h"

namespace Host::Inside {

const char* name(Kind kind) {
    switch (kind) {
    case Kind::Flight: return "flight";
    case Kind::Plasma: return "plasma";
    case Kind::Rotozoomer: return "rotozoomer";
    case Kind::Title: return "title";
    case Kind::HandOver: return "hand-over";
    case Kind::ScrollText: return "scroll text";
    case Kind::Palettes: return "palettes";
    }
    return "?";
}

std::vector<Kind> views_for(Show::Stage stage) {
    std::vector<Kind> kinds;
    switch (stage) {
    case Show::Stage::Title: kinds.push_back(Kind::Title); break;
    case Show::Stage::Plasma: kinds.push_back(Kind::Plasma); break;
    case Show::Stage::Flight: kinds.push_back(Kind::Flight); break;
    // The scroll text runs on over the flight's last frame.
    case Show::Stage::HandOver: kinds.push_back(Kind::HandOver); break;
    case Show::Stage::Rotozoomer: kinds.push_back(Kind::Rotozoomer); break;
    case Show::Stage::StartUp:
    case Show::Stage::Ended: break;
    }
    kinds.push_back(Kind::ScrollText);
    kinds.push_back(Kind::Palettes);
    return kinds;
}

Show::Stage shown_stage(const Viewer& viewer) {
    if (viewer.stage() != Show::Stage::Ended) return viewer.stage();
    const Timeline& t = viewer.timeline();
    Show::Stage s = t.chapter_at(viewer.position()).stage;
    if (s == Show::Stage::Ended && viewer.position() > 1) s = t.chapter_at(viewer.position() - 1).stage;
    return s;
}

Shown shown(const Viewer& viewer) {
    Shown s;
    s.refresh = viewer.position();
    s.stage = shown_stage(viewer);
    const uint32_t first = viewer.timeline().chapter_start(s.stage);
    s.index = s.refresh >= first ? s.refresh - first : 0;
    s.state_ahead = viewer.stage() != Show::Stage::Ended;
    return s;
}

void heading(Canvas& c, const std::string& title, const std::string& note) {
    c.rect(0, 0, c.width(), 11, Colours::kPanel);
    c.text(3, 2, title, Colours::kTitle);
    c.text(c.width() - 3 - text_width(note), 2, note, Colours::kDim);
}

namespace {

// The core holds the viewer's show when the viewer is its frontend and the
// latest refresh handed over is the one the viewer shows.
bool core_holds(const Viewer& viewer) {
    return DisplayController::attached() == &viewer && DisplayController::refreshes() == viewer.position();
}

Image elsewhere(Kind kind) {
    Canvas c(kViewWidth, 40, Colours::kBackground);
    heading(c, name(kind), "");
    c.text(3, 20, "the show is elsewhere: a step or a seek", Colours::kDim);
    c.text(3, 29, "brings it back", Colours::kDim);
    return c.take();
}

} // namespace

Image render(Kind kind, const Context& context) {
    if (!core_holds(context.viewer)) return elsewhere(kind);
    switch (kind) {
    case Kind::Flight: return render_flight(context);
    case Kind::Plasma: return render_plasma(context);
    case Kind::Rotozoomer: return render_rotozoomer(context);
    case Kind::Title: return render_title(context);
    case Kind::HandOver: return render_hand_over(context);
    case Kind::ScrollText: return render_scroll_text(context);
    case Kind::Palettes: return render_palettes(context);
    }
    return elsewhere(kind);
}

} // namespace Host::Inside
