#pragma once

// Timing facts of a read on the serial line, and the rates a search for a radio tries.
namespace tmx9 {

// How long a read request is given to be answered, as the window waits for a read.
inline constexpr int kReadTimeoutMs = 3000;

// Bytes of a whole answer to a read request: the parameter response with 69 registers
// (69 + 9 bytes) and the channel table response (140 + 9 bytes).
inline constexpr int kReadAnswerBytes = (69 + 9) + (140 + 9);

// Computer-side rates in the order a search tries them: the radio's own rates, fastest first,
// then 4800, which the window offers although no radio is set to it.
inline constexpr int kSearchRates[] = {115200, 38400, 19200, 9600, 4800};

// What a search waits at each rate for the answer. A radio at 9600 needs 227 bytes x 10 bits
// (8N1) / 9600 baud = 236.5 ms on the wire for the whole answer; the simulated radio starts
// answering within 0.3 ms of the request (measured through a pseudo-terminal). 300 ms leaves
// about 60 ms for a slower radio and a busy computer, and keeps a search of all five rates
// on an empty port near 1.5 s.
inline constexpr int kSearchWaitMs = 300;
static_assert(kReadAnswerBytes * 10 * 1000 / 9600 + 1 < kSearchWaitMs);

} // namespace tmx9
