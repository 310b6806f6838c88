// The browser page's side of the show: the viewer (host/viewer.h) behind a
// few plain calls. The page's script paces it from its animation frames,
// one call per refresh, and draws the picture this file converts to RGBA.
#include <emscripten.h>

#include <cstdint>
#include <string>

#include "host/viewer.h"

namespace {

Host::Viewer* viewer = nullptr;
uint8_t rgba[320 * 240 * 4];
std::string timeline_json;

const char* cue_name(Cue c) {
    switch (c) {
    case Cue::FadeIn: return "fade in";
    case Cue::FadeOut: return "fade out";
    case Cue::Rewind: return "rewind";
    case Cue::End: return "end";
    case Cue::Pause: return "pause";
    case Cue::None: break;
    }
    return "cue";
}

// The timeline as the page's script reads it:
// {"refreshes":N,"chapters":[["title",2],...],"cues":[["fade in",40],...]}
std::string describe(const Host::Timeline& t) {
    std::string out = "{\"refreshes\":" + std::to_string(t.refreshes) + ",\"chapters\":[";
    for (size_t i = 0; i < t.chapters.size(); ++i) {
        out += (i ? ",[\"" : "[\"") + std::string(Host::stage_name(t.chapters[i].stage)) + "\"," +
               std::to_string(t.chapters[i].first) + "]";
    }
    out += "],\"cues\":[";
    for (size_t i = 0; i < t.cues.size(); ++i) {
        out += (i ? ",[\"" : "[\"") + std::string(cue_name(t.cues[i].cue)) + "\"," +
               std::to_string(t.cues[i].refresh) + "]";
    }
    return out + "]}";
}

} // namespace

extern "C" {

// Learns the show's timeline and stands at refresh 1; the timeline as JSON.
EMSCRIPTEN_KEEPALIVE const char* nyra1_open() {
    if (!viewer) {
        viewer = new Host::Viewer();
        timeline_json = describe(viewer->timeline());
    }
    return timeline_json.c_str();
}

EMSCRIPTEN_KEEPALIVE void nyra1_seek(uint32_t n) { viewer->seek(n); }
// The next refresh; 0 at the end of the show.
EMSCRIPTEN_KEEPALIVE int nyra1_advance() { return viewer->advance() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE uint32_t nyra1_position() { return viewer->position(); }
EMSCRIPTEN_KEEPALIVE int nyra1_at_end() { return viewer->at_end() ? 1 : 0; }
// 1 when the show ended by START, 0 otherwise.
EMSCRIPTEN_KEEPALIVE int nyra1_stopped() {
    return DisplayController::ending() == DisplayController::Ending::StoppedByStart ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE const char* nyra1_stage() { return Host::stage_name(viewer->stage()); }
EMSCRIPTEN_KEEPALIVE void nyra1_press_start() { viewer->press_start(); }

// The refresh on show: 320 x 240 indices, 256 x R, G, B, and as RGBA.
EMSCRIPTEN_KEEPALIVE const uint8_t* nyra1_pixels() { return viewer->pixels(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* nyra1_palette() { return viewer->rgb(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* nyra1_rgba() {
    const uint8_t* pixels = viewer->pixels();
    const uint8_t* rgb = viewer->rgb();
    for (int i = 0; i < 320 * 240; ++i) {
        const uint8_t* c = rgb + 3 * pixels[i];
        rgba[4 * i] = c[0];
        rgba[4 * i + 1] = c[1];
        rgba[4 * i + 2] = c[2];
        rgba[4 * i + 3] = 255;
    }
    return rgba;
}

} // extern "C"
