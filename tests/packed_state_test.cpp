// Packed states: the packing gives back every byte of any pieces, refuses
// what is not a packing of them, and a packed show comes back as the very
// state it was taken from, anywhere in the show, for less memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "host/viewer/packed_state.h"
#include "host/viewer/save_state.h"
#include "host/viewer/show_runner.h"
#include "platform/display.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace {

using Host::StatePacking::Piece;

// Pieces of random sizes (some empty, most not whole words), filled with
// runs of zeros, of their reference's bytes and of other bytes; a piece's
// reference is another buffer or an earlier piece.
struct Pieces {
    std::vector<std::vector<uint8_t>> data, references;
    std::vector<Piece> pieces;

    explicit Pieces(std::mt19937& random) {
        const size_t count = 1 + random() % 12;
        data.resize(count);
        references.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const size_t size = random() % 3 == 0 ? random() % 9 : random() % 400;
            data[i].resize(size);
            references[i].resize(size);
            for (uint8_t& b : references[i]) b = static_cast<uint8_t>(random());
        }
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* reference = nullptr;
            const int kind = static_cast<int>(random() % 3);
            if (kind == 1) reference = references[i].data();
            for (size_t j = 0; kind == 2 && j < i; ++j)
                if (data[j].size() >= data[i].size()) reference = data[j].data();
            for (size_t at = 0; at < data[i].size();) {
                const size_t run = std::min<size_t>(1 + random() % 40, data[i].size() - at);
                const int fill = static_cast<int>(random() % 3);
                for (size_t k = at; k < at + run; ++k)
                    data[i][k] = fill == 0 ? 0 : fill == 1 && reference ? reference[k] : static_cast<uint8_t>(random());
                at += run;
            }
            pieces.push_back({data[i].data(), reference, data[i].size()});
        }
    }
};

std::vector<uint8_t> packed(const std::vector<Piece>& pieces) {
    std::vector<uint8_t> out;
    Host::StatePacking::pack(pieces, out);
    return out;
}

} // namespace

TEST(StatePacking, GivesBackEveryByteOfAnyPieces) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        Pieces p(random);
        const std::vector<std::vector<uint8_t>> before = p.data;
        const std::vector<uint8_t> bytes = packed(p.pieces);
        for (auto& d : p.data)
            for (uint8_t& b : d) b = static_cast<uint8_t>(random());
        ASSERT_TRUE(Host::StatePacking::unpack(bytes.data(), bytes.size(), p.pieces)) << "round " << round;
        ASSERT_EQ(p.data, before) << "round " << round;
    }
}

TEST(StatePacking, RefusesWhatIsNotAPackingOfThesePieces) {
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        Pieces p(random);
        std::vector<uint8_t> bytes = packed(p.pieces);
        for (size_t cut = 0; cut < bytes.size(); ++cut)
            ASSERT_FALSE(Host::StatePacking::unpack(bytes.data(), cut, p.pieces)) << "cut to " << cut;
        bytes.push_back(0);
        EXPECT_FALSE(Host::StatePacking::unpack(bytes.data(), bytes.size(), p.pieces)) << "a byte too many";
        bytes.pop_back();
        // Pieces of other sizes: one byte more or less somewhere.
        std::vector<uint8_t> spare(512);
        std::vector<Piece> other = p.pieces;
        Piece& changed = other[random() % other.size()];
        const bool grow = changed.size == 0 || random() % 2;
        changed = {spare.data(), nullptr, grow ? changed.size + 1 : changed.size - 1};
        EXPECT_FALSE(Host::StatePacking::unpack(bytes.data(), bytes.size(), other)) << "round " << round;
    }
    // Runs of no length, and a run longer than all the pieces.
    std::vector<uint8_t> data(16);
    const std::vector<Piece> pieces = {{data.data(), nullptr, data.size()}};
    const std::vector<uint8_t> empty_run = {2, 0, 32};
    EXPECT_FALSE(Host::StatePacking::unpack(empty_run.data(), empty_run.size(), pieces));
    const std::vector<uint8_t> too_long = {1, 64};
    EXPECT_FALSE(Host::StatePacking::unpack(too_long.data(), too_long.size(), pieces));
}

// Taken all through the show, in every stage, each packed state brings
// back the saved state of the moment it was taken, in whatever order they
// are restored, and keeps the frame buffer just drawn as next to nothing.
TEST(PackedState, BringsBackTheStateItWasTakenFromAnywhereInTheShow) {
    Host::restart_show();
    DisplayController::attach(nullptr);
    Show::begin(nullptr);
    std::vector<std::pair<Host::PackedState, std::vector<uint8_t>>> taken;
    for (uint32_t n = 1; Show::step(); ++n) {
        if (n % 97 != 1 && n != 2) continue;
        taken.emplace_back(Host::PackedState::take(), Host::save_state());
        EXPECT_LT(taken.back().first.size(), Host::state_size() - Display::kFrameBufferSize) << "refresh " << n;
    }
    ASSERT_GT(taken.size(), 60u);
    std::mt19937 random(3);
    std::shuffle(taken.begin(), taken.end(), random);
    for (const auto& [state, saved] : taken) {
        state.restore();
        ASSERT_EQ(Host::save_state(), saved);
        Show::step(); // and it plays on from there
    }
}
