#pragma once

#include "text/PlayerOptions.h"

#include <functional>
#include <string>

namespace tovrin {

// Receives a prepared portion and the shares of the text (0..1) read before and after it;
// returns false to stop.
using PortionHandler = std::function<bool(const std::string& text, double from, double to)>;

// Cuts the zero-terminated text [begin, end) from `from` into the portions a player window
// reads, one after another, and hands each one that has something to say to `handle`. Stops
// where the cutter cannot move on. False when the handler stopped it.
bool ForEachPortion(const char* begin, const char* end, const char* from,
                    const PlayerOptions& options, const PortionHandler& handle);

}  // namespace tovrin
