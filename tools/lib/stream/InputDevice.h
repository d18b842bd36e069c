// SPDX-License-Identifier: Apache-2.0
// Where a live stream comes from: a serial device (a terminal set raw at a
// baud rate, 8 data bits, no parity, no flow control), a FIFO, or standard
// input, read without blocking.
#ifndef QZKIT_INPUT_DEVICE_H
#define QZKIT_INPUT_DEVICE_H

#include <string>
#include <termios.h>

namespace qzkit {

inline constexpr unsigned kDefaultBaud = 115200;

class InputDevice {
public:
    // `source` "-" is standard input (which may also be a file: a capture
    // read at once). ToolkitError when it cannot be opened, is a regular
    // file or a directory, or `baud` is not a rate the
    // terminal takes (the message lists them).
    InputDevice(const std::string &source, unsigned baud);
    ~InputDevice();  // the terminal's settings as they were
    InputDevice(const InputDevice &) = delete;
    InputDevice &operator=(const InputDevice &) = delete;

    int Descriptor() const { return descriptor_; }
    const std::string &Name() const { return name_; }
    bool IsTerminal() const { return terminal_; }

private:
    void Release();

    std::string name_;
    int descriptor_ = -1;
    bool owned_ = false;
    bool terminal_ = false;
    int flags_ = -1;  // the file status flags before ours
    termios saved_{};
};

}  // namespace qzkit

#endif
