// Faults the simulated module injects on request, each aimed at the Nth request of one letter.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/timer.h"

namespace etc::sim {

enum class FaultKind {
    Drop,     // the request is lost on the line: no effect, no answer
    Corrupt,  // the request is carried out, its answer arrives with a wrong checksum (or a wrong ack byte)
    Nak,      // a write or ack request is refused; other letters behave as Drop (see Module)
    Delay,    // the answer leaves `delay` later than usual
    Unplug,   // the cable is pulled: this request is lost and the port fails from then on
};

// `letter` is the request's first byte ("*" is the live poll, not a wildcard). `nth` counts the
// requests of that letter the module heard, from 1 since the module started.
struct Fault {
    FaultKind kind;
    char letter;
    int nth;
    link::Duration delay{};
};

// "KIND:LETTER:N", or "delay:LETTER:N:MS" where MS may be fractional. KIND is drop, corrupt, nak, delay
// or unplug (any case); LETTER is one character (":" allowed); N >= 1. Nullopt when malformed.
[[nodiscard]] std::optional<Fault> parseFault(std::string_view text);

}  // namespace etc::sim
