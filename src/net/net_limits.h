// What the engine accepts from a server, whatever the server says. Every
// reply ends within these bounds, so that no server can fill the disk or
// hold a thread for ever; a reply that would cross one fails.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engine/process_wide.h"

namespace mf {

// Process-wide: a fresh state starts with the limits below (tests lower them).
struct NetLimits : ProcessWide {
    // A list, a version or POST reply, a list's zip variant and the list it
    // unpacks to. Real lists are a few hundred kilobytes.
    std::int64_t documentBytes = 32 * 1024 * 1024;
    // A file sent without Content-Length (its end is the end of the
    // connection): nothing tells how much is coming, so it is cut here.
    std::int64_t unsizedBytes = 256 * 1024 * 1024;
    // What the zip variant of a file may unpack to: no more than the
    // downloader could fetch as the plain file.
    std::int64_t extractedBytes = INT32_MAX;
    // Redirects followed for one request (browsers and curl stop at a few
    // dozen at most); one more is a failure.
    int redirects = 10;
    // Connect, send and receive time-out of every request: a server that
    // stops answering fails the request instead of holding it.
    DWORD timeoutMs = 30000;
    // A reply that brings fewer than lowSpeedBytesPerSecond over
    // lowSpeedWindowMs ends as a failed try: every read stays within the
    // time-out above, yet one byte every few seconds would never end.
    std::int64_t lowSpeedBytesPerSecond = 1024;
    std::uint64_t lowSpeedWindowMs = 30000;
    // A whole file (every part and every retry) ends within
    // deadlineBaseMs plus its size at deadlineBytesPerSecond (a 120 MB file:
    // about 8 hours; a reply that keeps just above the lowest speed and
    // breaks off again and again still ends).
    std::uint64_t deadlineBaseMs = 5 * 60 * 1000;
    std::int64_t deadlineBytesPerSecond = 4096;
    // The whole of one POST request (connect, send, every read): a server
    // that trickles its answer is cut off here, however steadily it sends.
    DWORD postDeadlineMs = 15000;
};

// The limits of the current process state (tests lower them).
NetLimits& Limits();

}  // namespace mf
