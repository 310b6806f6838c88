// The scroll text's control codes, "@" and a digit: the show's script. A
// code is the digit's value (any character after "@" counts, as its value
// minus that of "0"); the show acts on these five.
#pragma once
#include <stdint.h>

enum class Cue : int32_t {
    None = 0,
    FadeIn = 1,
    FadeOut = 2,
    Rewind = 3, // the scroller starts its text again
    End = 4,    // the running effect ends
    Pause = 5,  // the effect ends and the text stands still for 300 steps
};
