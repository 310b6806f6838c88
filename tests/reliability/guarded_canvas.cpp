// Fuzzing builds only: the canvas is placed in the middle of one block with a
// 64 KiB guard before and after it (platform/display.cpp is compiled without
// its own, NYRA1_CANVAS_ELSEWHERE). The fuzzers poison the guards, so any store
// just outside the canvas, before its first byte included, is reported at
// the faulting instruction.
#include "guarded_canvas.h"
#include "platform/display.h"

alignas(64) uint8_t nyra1_guarded_canvas[2 * kCanvasGuard + Display::kCanvasSize];

static_assert(kCanvasGuard == 65536 && Display::kCanvasSize == 122880,
              "the alias below spells out these numbers");

// The canvas symbol is an alias kCanvasGuard bytes into the block.
asm(".globl _ZN7Display13canvas_bufferE\n"
    ".type _ZN7Display13canvas_bufferE, @object\n"
    ".size _ZN7Display13canvas_bufferE, 122880\n"
    ".set _ZN7Display13canvas_bufferE, nyra1_guarded_canvas + 65536\n");
