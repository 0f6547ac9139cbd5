// Captures of a handle's traffic into pcapng files (see pcapng.h): every
// request the library writes and every reply it decodes, seen through its
// send and receive frame callbacks, with the time and direction of each.
//
// The library calls its frame callbacks without a context pointer, so each
// capture takes one of kMaxCaptures slots; a slot owns a pair of functions of
// its own that the library calls for that handle alone and that lead to the
// slot's capture. A capture therefore replaces whatever frame callbacks the
// handle had; CaptureOptions can name a pair to call after the capture's.
//
// A request stays in hand until its outcome is known: its reply (both are
// written), a result noted with NoteCaptureResult (a time-out or a frame
// error becomes the request's packet comment), the next request or the end
// of the capture (the comment then tells what the timing shows).
#pragma once

#include <cstdint>
#include <string>

#include "zorenc.h"

namespace zorenc::companion {

constexpr int kMaxCaptures = 16;

struct CaptureOptions {
    std::string path;                           // the pcapng file, created or truncated
    std::string port;                           // the capture's interface name
    ZorEncEventCallback alsoSent = nullptr;     // called after the capture with each request
    ZorEncEventCallback alsoReceived = nullptr; // and with each reply
};

struct CaptureSummary {
    std::string path;
    uint64_t requests = 0;
    uint64_t replies = 0;
    uint64_t annotated = 0; // requests written with a comment
    std::string error;      // the first write that failed, empty when none
};

// Starts capturing the handle's frames. Throws a usage Failure for a
// handle that is not valid or already captured, a file that cannot be
// written, or all slots taken. The file holds its headers on return.
void StartCapture(ZorEncHandle handle, const CaptureOptions &options);

// Removes the callbacks, writes a request still in hand and closes the
// file. Throws a not-found Failure when the handle has no capture.
CaptureSummary StopCapture(ZorEncHandle handle);

bool Capturing(ZorEncHandle handle);

// Replaces the pair of callbacks a running capture calls after its own (the
// alsoSent and alsoReceived of its options; null for none), so that a part
// of a program that wants the frames too shares them with a capture started
// elsewhere instead of taking the handle's callbacks from it. False, and
// nothing changed, when the handle has no capture.
bool ForwardCapturedFrames(ZorEncHandle handle, ZorEncEventCallback sent,
                           ZorEncEventCallback received);

// Tells the capture how the handle's last call ended: a time-out or a frame
// error is written as the comment of the request it ended. Nothing happens
// for other results or a handle without capture.
void NoteCaptureResult(ZorEncHandle handle, ZorEncResult result) noexcept;

// The comment given to a request that ended with the result ("" for results
// that leave none); the replay reads the code names back.
std::string CaptureComment(ZorEncResult result);

} // namespace zorenc::companion
