// Cuts the byte stream from the tool into request frames. The protocol has no frame markers: the first
// byte of a frame decides its length ("E" also needs its two length bytes). A byte that starts no known
// request is dropped, and so is a partial frame when the line stays quiet for longer than the gap, so a
// request the tool sends again after a time-out starts clean.
#pragma once

#include <cstdint>
#include <optional>

#include "link/codec.h"
#include "link/timer.h"

namespace etc::sim {

struct ReceivedFrame {
    link::Duration at;  // when the last byte had fully arrived
    int baud;           // line speed of every byte of the frame
    link::Bytes bytes;
};

class RequestFramer {
  public:
    // Largest "E" payload accepted as a frame: the whole settings memory. A longer length field is
    // line noise, and waiting for that many bytes would swallow the next requests.
    static constexpr int kMaxBlockBytes = 2048;

    explicit RequestFramer(link::Duration gap) : m_gap(gap) {}

    // One byte that started arriving at `start` and was complete at `end`. A frame whose bytes came at
    // different line speeds is garbage and is dropped.
    [[nodiscard]] std::optional<ReceivedFrame> push(std::uint8_t byte, link::Duration start,
                                                    link::Duration end, int baud);
    [[nodiscard]] bool hasPartial() const { return !m_partial.empty(); }
    void reset() { m_partial.clear(); }

    // Frame length for a first byte, or 0 when the byte starts no request. "E" reports its header
    // length (3); the full length follows from the header.
    [[nodiscard]] static std::size_t lengthFor(std::uint8_t first);

  private:
    link::Duration m_gap;
    link::Bytes m_partial;
    std::size_t m_expected = 0;
    int m_baud = 0;
    link::Duration m_lastEnd{};
};

}  // namespace etc::sim
