// The browser frontend: the display controller model drawn into a canvas.
// The blocking show loop runs under Asyncify; every vertical sync yields to
// the browser and resumes at the animation frame that is due, so the show
// keeps 60 refreshes a second on 60 Hz and 120 Hz screens alike.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
#include <cstring>

#include "host/snapshot.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace {

// Resolves on the next animation frame at which a 1/60 s period is due.
EM_ASYNC_JS(void, wait_for_refresh_time, (), {
    await new Promise((resolve) => {
        const period = 1000 / 60;
        const tick = (now) => {
            if (Module.nyraNextDue === undefined) Module.nyraNextDue = now;
            if (now + 2 >= Module.nyraNextDue) {
                Module.nyraNextDue = Math.max(Module.nyraNextDue + period, now - period);
                resolve();
            } else {
                requestAnimationFrame(tick);
            }
        };
        requestAnimationFrame(tick);
    });
});

// Draws 320 x 240 RGBA bytes into the page's canvas.
EM_JS(void, present_rgba, (const uint8_t* rgba), {
    Module.nyraPresent(HEAPU8.subarray(rgba, rgba + 320 * 240 * 4));
});

EM_JS(void, toggle_fullscreen, (), { Module.nyraToggleFullscreen(); });

// START: Enter, Space, Escape, a tap or click on the picture, a gamepad's
// Start. A press is latched until a poll has seen it, so a short tap between
// two polls still counts.
int keys_down;
bool pointer_down;
bool latched;

bool is_start_key(const EmscriptenKeyboardEvent* e) {
    return !std::strcmp(e->code, "Enter") || !std::strcmp(e->code, "NumpadEnter") ||
           !std::strcmp(e->code, "Space") || !std::strcmp(e->code, "Escape");
}

EM_BOOL on_key(int type, const EmscriptenKeyboardEvent* e, void*) {
    if (is_start_key(e)) {
        if (type == EMSCRIPTEN_EVENT_KEYDOWN && !e->repeat) {
            ++keys_down;
            latched = true;
        } else if (type == EMSCRIPTEN_EVENT_KEYUP && keys_down > 0) {
            --keys_down;
        }
        return EM_TRUE;
    }
    if (type == EMSCRIPTEN_EVENT_KEYDOWN && !e->repeat && !std::strcmp(e->code, "KeyF")) {
        toggle_fullscreen();
        return EM_TRUE;
    }
    return EM_FALSE;
}

EM_BOOL on_pointer(int type, const EmscriptenMouseEvent*, void*) {
    pointer_down = type == EMSCRIPTEN_EVENT_MOUSEDOWN;
    latched = latched || pointer_down;
    return EM_TRUE;
}

EM_BOOL on_touch(int type, const EmscriptenTouchEvent*, void*) {
    pointer_down = type == EMSCRIPTEN_EVENT_TOUCHSTART;
    latched = latched || pointer_down;
    return EM_TRUE;
}

bool gamepad_start() {
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return false;
    const int pads = emscripten_get_num_gamepads();
    for (int i = 0; i < pads; ++i) {
        EmscriptenGamepadEvent pad;
        if (emscripten_get_gamepad_status(i, &pad) == EMSCRIPTEN_RESULT_SUCCESS && pad.connected &&
            pad.numButtons > 9 && pad.digitalButton[9]) {
            return true;
        }
    }
    return false;
}

bool page_start_held() {
    const bool held = latched || keys_down > 0 || pointer_down || gamepad_start();
    latched = false;
    return held;
}

void listen() {
    const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(window, nullptr, EM_TRUE, on_key);
    emscripten_set_keyup_callback(window, nullptr, EM_TRUE, on_key);
    emscripten_set_mousedown_callback("#screen", nullptr, EM_TRUE, on_pointer);
    emscripten_set_mouseup_callback(window, nullptr, EM_TRUE, on_pointer);
    emscripten_set_touchstart_callback("#screen", nullptr, EM_TRUE, on_touch);
    emscripten_set_touchend_callback(window, nullptr, EM_TRUE, on_touch);
}

EM_JS(void, show_ended, (int completed, int refreshes), {
    Module.nyraEnded(completed, refreshes);
});

EM_JS(int, test_refresh, (), { return Module.nyraTestRefresh || 0; });

class CanvasFrontend : public DisplayController::Frontend {
public:
    explicit CanvasFrontend(uint32_t test_at) : test_at_(test_at) {}

    void refresh(const DisplayController::Refresh& r) override {
        if (test_at_ != 0) {
            // Deterministic test mode: virtual time, and only refresh N is drawn.
            if (!drawn_ && (r.number == test_at_ || r.final)) {
                draw(r);
                drawn_ = true;
            }
            return;
        }
        draw(r);
        if (!r.final) wait_for_refresh_time();
    }

    // In test mode START is held once refresh N is drawn, to end the run.
    bool start_held() override { return test_at_ == 0 ? page_start_held() : drawn_; }

private:
    void draw(const DisplayController::Refresh& r) {
        for (int i = 0; i < 320 * 240; ++i) {
            const uint8_t* c = r.rgb + 3 * r.pixels[i];
            rgba_[4 * i] = c[0];
            rgba_[4 * i + 1] = c[1];
            rgba_[4 * i + 2] = c[2];
            rgba_[4 * i + 3] = 255;
        }
        present_rgba(rgba_);
    }

    uint32_t test_at_;
    bool drawn_ = false;
    uint8_t rgba_[320 * 240 * 4];
};

} // namespace

// Plays the show from a fresh start; called again, it plays it again in
// place, without reloading the page.
extern "C" EMSCRIPTEN_KEEPALIVE void nyra1_play() {
    static CanvasFrontend* frontend = nullptr;
    static bool listening = false;
    if (!listening) {
        listen();
        listening = true;
    }
    delete frontend;
    frontend = new CanvasFrontend(static_cast<uint32_t>(test_refresh()));
    latched = false;
    Host::restart_show();
    DisplayController::attach(frontend);
    Show::run(nullptr);
    show_ended(DisplayController::ending() == DisplayController::Ending::Completed,
               static_cast<int>(DisplayController::refreshes()));
}
