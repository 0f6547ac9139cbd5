// The board behind the behaviour tests. Natively a simulated board runs in
// this process; under Wine the harness starts zorenc-sim and links it to a COM
// port. Either way the tests reach it only through the library and control it
// with the board's test commands on the same line, so that one set of test
// sources proves every build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/board.h"
#include "zorenc.h"

namespace testboard {

// The port the board answers on.
std::string PortName();

// A new handler opened on the board, the board power-cycled to its defaults
// and its record of requests cleared. Closes every earlier handler.
ZorEncHandle OpenFresh();

void Poke(ZorEncHandle handle, uint16_t address, uint32_t value);
uint32_t Peek(ZorEncHandle handle, uint16_t address);
void Fault(ZorEncHandle handle, zorsim::Fault kind, uint32_t param = 0, int count = 1);
void SetInputs(ZorEncHandle handle, uint32_t bits);
// Requests the board received (test commands not counted).
uint32_t RequestCount(ZorEncHandle handle);
// The stuffed bytes of the request recorded back from the last (0 = last).
std::vector<uint8_t> Request(ZorEncHandle handle, uint32_t back = 0);
void ClearRequests(ZorEncHandle handle);
// After the reply to this command the board writes first to the line, waits
// pauseMs, then writes rest.
void SendRawLater(ZorEncHandle handle, const std::vector<uint8_t> &first,
                  const std::vector<uint8_t> &rest, uint32_t pauseMs);

// Runs fn on another thread after ms; Join() waits for it.
class Later {
public:
    Later(int ms, void (*fn)(void *), void *arg);
    ~Later();
    void Join();

private:
    void *thread_ = nullptr;
};

// CPU time this process has used, in milliseconds.
double CpuMs();

// Milliseconds of a monotonic clock.
double NowMs();
void SleepMs(int ms);

std::string Hex(const std::vector<uint8_t> &bytes);

} // namespace testboard
