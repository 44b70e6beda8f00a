#pragma once
// How every benchmark sets an engine figure beside a peer's: times in
// milliseconds for the same work on the same data, and the ratio engine/peer
// (below 1: the engine is faster). A peer run as its own process pays its
// start; that start is measured apart and shown taken off, and the ratio is
// against the peer less its start, since the engine runs in this process.
#include <cstdio>

// A figure below zero is one that could not be measured.
inline void PrintPeerFigures(const char* what, double engineMs, const char* peer, double peerMs) {
  if (engineMs < 0 || peerMs <= 0) {
    std::printf("  %-34s engine %9.2f ms   %s: no figure\n", what, engineMs, peer);
    return;
  }
  std::printf("  %-34s engine %9.2f ms   %s %9.2f ms   ratio %.2f\n", what, engineMs, peer, peerMs,
              engineMs / peerMs);
}

// The peer's figure raw (with its process start) and less `startMs`.
inline void PrintPeerFiguresLessStart(const char* what, double engineMs, const char* peer, double peerMs,
                                      double startMs) {
  const double work = peerMs - startMs;
  if (engineMs < 0 || peerMs < 0 || startMs < 0 || work <= 0) {
    std::printf("  %-34s engine %9.2f ms   %s %9.2f ms raw, start %.2f ms: no figure less start\n", what,
                engineMs, peer, peerMs, startMs);
    return;
  }
  std::printf("  %-34s engine %9.2f ms   %s %9.2f ms raw, %9.2f ms less start   ratio %.2f\n", what, engineMs,
              peer, peerMs, work, engineMs / work);
}
