// Fuzzing builds only: Buffers::canvas is placed in the middle of one block
// with a 64 KiB guard before and after it (data/buffers.cpp is compiled with
// its own canvas renamed away). The fuzzers poison the guards, so any store
// just outside the canvas, before its first byte included, is reported at
// the faulting instruction.
#include "guarded_canvas.h"

alignas(64) uint8_t nyra1_guarded_canvas[2 * kCanvasGuard + Buffers::kCanvasSize];

static_assert(kCanvasGuard == 65536 && Buffers::kCanvasSize == 122880,
              "the alias below spells out these numbers");

// The canvas symbol is an alias kCanvasGuard bytes into the block.
asm(".globl _ZN7Buffers6canvasE\n"
    ".type _ZN7Buffers6canvasE, @object\n"
    ".size _ZN7Buffers6canvasE, 122880\n"
    ".set _ZN7Buffers6canvasE, nyra1_guarded_canvas + 65536\n");
