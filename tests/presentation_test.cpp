// What surrounds the picture, drawn once for every viewer: at the sizes
// people use, with every panel on and the widest texts, no text is cut or
// drawn over; the pieces are where the layout puts them; the pointer seeks
// on the timeline, names the pixel under it, shows and hides the controls
// and never ends the show; the buttons' titles come from the key table.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/viewer/presentation.h"
#include "support/test_support.h"

namespace {

using Host::Action;
using Host::Panel;
using Host::PieceKind;
using Host::Player;
using Host::Presentation;

Player& player() {
    static Player p;
    return p;
}

Presentation& presentation() {
    static Presentation shown(player());
    return shown;
}

void set(bool want, bool now, Action a) {
    if (want != now) player().perform(a);
}

// Every panel on, the loop set, paused at refresh n.
void everything_on(uint32_t n) {
    Player& p = player();
    p.seek(n);
    set(true, p.paused(), Action::PlayPause);
    set(true, p.osd_shown(), Action::Osd);
    set(true, p.inspector_shown(), Action::Inspector);
    set(true, p.help_shown(), Action::Help);
    set(true, p.controls_shown(), Action::Controls);
    presentation().update(); // the stage's views are known
    if (p.view() == 0) p.perform(Action::Views);
    if (!p.loop_a()) p.perform(Action::Loop);
}

const Host::Piece* piece(PieceKind kind) {
    for (const Host::Piece& p : presentation().pieces())
        if (p.kind == kind) return &p;
    return nullptr;
}

} // namespace

TEST(Presentation, EveryPieceAtEverySizeKeepsItsTextWholeAndUncovered) {
    const Host::Timeline& t = player().timeline();
    const Host::Viewport sizes[] = {{390 * 3, 844 * 3, 3, true}, {844 * 3, 390 * 3, 3, true}, {1024, 768},
                                    {1280, 800},  {1366, 768}, {1920, 1080}, {500, 300}, {960, 810},
                                    {320, 240},   {200, 150}, {3840, 2160, 2}};
    for (uint32_t n : {2u, t.chapter_start(Show::Stage::Flight) + 10, t.refreshes}) {
        everything_on(n);
        for (const Host::Viewport& v : sizes) {
            presentation().set_viewport(v);
            presentation().update();
            const Host::Layout& l = presentation().layout();
            const std::string where = std::to_string(v.width) + "x" + std::to_string(v.height) + " at refresh " +
                                      std::to_string(n);
            for (const Host::Piece& p : presentation().pieces()) {
                EXPECT_EQ(p.image.clipped, 0) << Host::piece_name(p.kind) << " " << where;
                EXPECT_EQ(p.image.overprinted, 0) << Host::piece_name(p.kind) << " " << where;
                ASSERT_GT(p.image.width, 0) << Host::piece_name(p.kind) << " " << where;
                if (p.kind != PieceKind::Picture || l.scale >= 1) {
                    EXPECT_EQ(p.rect.w % p.image.width, 0) << Host::piece_name(p.kind) << " " << where;
                    EXPECT_EQ(p.rect.w / p.image.width, p.rect.h / p.image.height) << "a whole zoom, both ways";
                }
                if (p.kind != PieceKind::Picture && !p.rect.within(l.controls))
                    EXPECT_FALSE(p.rect.overlaps(l.picture)) << Host::piece_name(p.kind) << " " << where;
            }
            ASSERT_NE(piece(PieceKind::Picture), nullptr);
            EXPECT_EQ(piece(PieceKind::Picture)->rect, l.picture);
        }
    }
    presentation().set_viewport({1280, 800});
}

TEST(Presentation, ThePointerSeeksNamesPixelsAndTogglesTheControlsButNeverEndsTheShow) {
    everything_on(2000);
    Player& p = player();
    p.perform(Action::Help); // room for the rest
    presentation().set_viewport({1920, 1080});
    presentation().update();
    const Host::Layout l = presentation().layout();
    // The timeline: a press seeks to that point, and says the time there.
    const Host::Rect bar = l.timeline;
    ASSERT_FALSE(bar.empty());
    const Host::Image before = piece(PieceKind::Timeline)->image;
    presentation().pointer_move(bar.x + bar.w / 2, bar.y + bar.h / 2);
    presentation().update();
    EXPECT_NE(piece(PieceKind::Timeline)->image.rgba, before.rgba) << "the time under the pointer";
    presentation().pointer_down(bar.x + bar.w / 2, bar.y + bar.h / 2);
    presentation().pointer_up();
    EXPECT_EQ(p.position(), p.refresh_at(double(bar.w / 2) / (bar.w - 1)));
    // The picture's pixel under the pointer, named by the inspector.
    const Host::Rect& pic = l.picture;
    presentation().pointer_move(pic.x + 100 * pic.w / 320, pic.y + 50 * pic.h / 240);
    EXPECT_EQ(presentation().inspected_entry(), p.viewer().pixels()[50 * 320 + 100]);
    // With the inspector off, a click on the picture shows or hides the
    // controls, and the show goes on.
    p.perform(Action::Inspector);
    const bool controls = p.controls_shown();
    presentation().update();
    presentation().pointer_down(pic.x + 5, pic.y + 5);
    EXPECT_NE(p.controls_shown(), controls);
    EXPECT_FALSE(p.at_end());
    presentation().update();
    presentation().pointer_down(presentation().layout().picture.x + 5, presentation().layout().picture.y + 5);
    EXPECT_EQ(p.controls_shown(), controls);
    // A button does its action; the frontend's own come back.
    for (const Host::Button& b : presentation().layout().buttons) {
        if (b.action == Action::Fullscreen) {
            EXPECT_EQ(presentation().pointer_down(b.rect.x + 1, b.rect.y + 1), Action::Fullscreen);
        }
        if (b.action == Action::Osd) {
            const bool osd = p.osd_shown();
            EXPECT_EQ(presentation().pointer_down(b.rect.x + 1, b.rect.y + 1), Action::None);
            EXPECT_NE(p.osd_shown(), osd);
        }
    }
}

// A panel that has no room is folded away with a sign; the sign brings it
// forward, folding another instead.
TEST(Presentation, AFoldedPanelsSignBringsItForward) {
    everything_on(3000);
    bool tried = false;
    for (const Host::Viewport& v : {Host::Viewport{500, 300}, {640, 480}, {800, 600}, {1024, 768}}) {
        presentation().set_viewport(v);
        presentation().update();
        // A sign of a panel that has room on its own at this size.
        std::optional<Host::Button> sign;
        for (const Host::Button& b : presentation().layout().buttons) {
            if (!b.fold || b.panel == Panel::View) continue;
            Host::Scene alone;
            alone.on[static_cast<int>(b.panel)] = true;
            if (!Host::lay_out(v, alone).is_folded(b.panel)) sign = b;
        }
        if (!sign) continue;
        tried = true;
        presentation().pointer_down(sign->rect.x + 1, sign->rect.y + 1);
        presentation().update();
        EXPECT_FALSE(presentation().layout().is_folded(sign->panel)) << v.width << "x" << v.height;
        EXPECT_FALSE(presentation().layout().panel(sign->panel).empty());
        break;
    }
    EXPECT_TRUE(tried) << "some size folds a panel that has room alone";
    presentation().set_viewport({1280, 800});
}

TEST(Presentation, ButtonsAreTitledFromTheKeyTable) {
    for (Action a : Host::control_actions()) {
        const std::string keys = Host::keys_of(a);
        ASSERT_FALSE(keys.empty()) << Host::info(a).name << " has no key";
        EXPECT_NE(Presentation::title(a).find("(" + keys + ")"), std::string::npos) << Presentation::title(a);
        EXPECT_FALSE(Presentation::label(a, player()).empty());
    }
}
