// Fuzzing builds only: the canvas inside a block with a guard on each side.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "platform/display.h"

inline constexpr size_t kCanvasGuard = 65536;

// kCanvasGuard bytes, the canvas (Display::canvas()), kCanvasGuard bytes.
extern "C" uint8_t nyra1_guarded_canvas[2 * kCanvasGuard + Display::kCanvasSize];
