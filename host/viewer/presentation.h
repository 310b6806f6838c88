// What a viewer shows, made once for every frontend: the layout
// (layout.h) of the picture and everything around it for the viewport the
// frontend has, and each of those drawn as an image: the picture itself,
// the timeline, the controls, the on-screen display, the palette inspector,
// the view inside the show, the key list and the signs of folded panels.
// The pointer comes in here too, in the viewport's device pixels: the
// buttons, the timeline, the swatches, the picture. A frontend passes the
// time, its input and its viewport, and shows the pieces where they say.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/viewer/canvas.h"
#include "host/viewer/inside/inside.h"
#include "host/viewer/layout.h"
#include "host/viewer/player.h"

namespace Host {

enum class PieceKind : uint8_t { Picture, Timeline, Controls, Osd, Inspector, View, Help, Sign };
inline constexpr int kPieceKinds = 8;
// "picture", "timeline", "controls", "osd", "inspector", "view", "help", "sign"
const char* piece_name(PieceKind kind);

struct Piece {
    PieceKind kind;
    Rect rect;   // where it goes, in device pixels
    // Its picture: as large as rect, or (the show's picture, a view) smaller
    // by a whole factor, to be shown scaled up to rect without smoothing.
    Image image;
    uint64_t version = 0; // moves whenever image is drawn again
    std::string drawn;    // what it was drawn from
};

class Presentation {
public:
    explicit Presentation(Player& player);
    ~Presentation();
    Presentation(const Presentation&) = delete;
    Presentation& operator=(const Presentation&) = delete;

    Player& player() { return player_; }
    const Player& player() const { return player_; }

    void set_viewport(const Viewport& viewport);
    const Viewport& viewport() const { return viewport_; }

    // The pointer, in device pixels. A press on a button does its action
    // (one that is the frontend's own comes back to be done); on a fold
    // sign brings its panel forward; on the timeline seeks, and dragging
    // on seeks as it goes; on the swatches picks a colour; on the picture
    // shows or hides the controls (or, with the inspector open, picks the
    // pixel).
    Action pointer_down(int x, int y);
    void pointer_move(int x, int y);
    void pointer_up();
    void pointer_leave();
    // A button's action, pressed (the page's buttons): done by the player,
    // or handed back when it is the frontend's own.
    Action press(Action a);
    // The action of the button at (x, y), None for none.
    Action button_at(int x, int y) const;

    // Lays out and draws whatever changed; true when a piece changed or
    // the layout did.
    bool update();
    const Layout& layout() const { return layout_; }
    // Moves whenever the layout changes (a frontend places its own
    // elements again: the page's buttons and fields).
    uint64_t layout_version() const { return layout_version_; }
    const std::vector<Piece>& pieces() const { return pieces_; }

    // The whole show's history, learned with the viewer's snapshots.
    const Inside::History* history() const { return history_->history(); }
    // The picture's pixel under the pointer (x -1: none).
    int pointed_x() const { return pixel_x_; }
    int pointed_y() const { return pixel_y_; }
    // The palette entry the inspector names (-1: none).
    int inspected_entry() const;

    // A button's label as drawn now, and its title: what it does and its keys.
    static std::string label(Action a, const Player& player);
    static std::string title(Action a);

private:
    Scene scene() const;
    void set_pointer(int x, int y);
    void draw_piece(Piece& piece);
    Image draw_timeline(const Rect& r) const;
    Image draw_controls(const Rect& r) const;
    Image draw_osd(const Rect& r) const;
    Image draw_inspector(const Rect& r) const;
    Image draw_help(const Rect& r) const;
    Image draw_sign(const Button& b) const;
    std::string drawn_from(const Piece& piece) const;

    Player& player_;
    std::unique_ptr<Inside::HistoryLearner> history_;
    Viewport viewport_{Display::kWidth, Display::kHeight, 1, false};
    Layout layout_;
    Scene laid_out_for_;
    bool laid_out_ = false;
    uint64_t layout_version_ = 0;
    std::vector<Piece> pieces_;
    uint64_t versions_ = 0;

    Image view_;        // the view on show at 1x
    std::string view_drawn_;
    int pointer_x_ = -1, pointer_y_ = -1;
    int pixel_x_ = -1, pixel_y_ = -1;   // the picture's pixel pointed at
    int swatch_ = -1;                   // the swatch pointed at
    bool dragging_ = false;
};

} // namespace Host
