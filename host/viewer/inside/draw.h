// Drawing a view: the viewer's canvas (host/viewer/canvas.h), and numbers
// as the views print them.
#pragma once
#include <cstdint>
#include <string>

#include "host/viewer/inside/inside.h"
#include "host/viewer/canvas.h"
#include "text/cue.h"

namespace Host::Inside {

using Host::Canvas;
using Host::cue_colour;
using Host::cue_name;
using Host::kLine;
using Host::Rgb;
using Host::text_width;
namespace Colours = Host::Colours;

// Numbers as the views print them.
std::string number(long n);
// An angle of 65536 to the turn in degrees, one decimal.
std::string degrees(uint32_t angle);

} // namespace Host::Inside
