// Sends the process's standard output (file descriptor 1) to the null device
// for the lifetime of the object. The board library prints "connected!!!!!"
// on stdout when it opens a port; a probe of many ports at once silences it
// once around the whole parallel section.
#pragma once

namespace zorenc::companion {

class QuietStdout {
public:
    QuietStdout();
    ~QuietStdout();
    QuietStdout(const QuietStdout &) = delete;
    QuietStdout &operator=(const QuietStdout &) = delete;

private:
    int saved_ = -1;
};

} // namespace zorenc::companion
