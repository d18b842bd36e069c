// SPDX-License-Identifier: Apache-2.0
#include "stream/InputDevice.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr std::array<std::pair<unsigned, speed_t>, 16> kBaudRates{{
    {1200, B1200},       {2400, B2400},       {4800, B4800},       {9600, B9600},
    {19200, B19200},     {38400, B38400},     {57600, B57600},     {115200, B115200},
    {230400, B230400},   {460800, B460800},   {500000, B500000},   {576000, B576000},
    {921600, B921600},   {1000000, B1000000}, {2000000, B2000000}, {3000000, B3000000},
}};

speed_t BaudConstant(unsigned baud)
{
    std::string known;
    for (const auto &[rate, constant] : kBaudRates) {
        if (rate == baud) {
            return constant;
        }
        known += (known.empty() ? "" : ", ") + std::to_string(rate);
    }
    throw ToolkitError("--baud " + std::to_string(baud) + ": not a rate a serial port takes (" + known + ")");
}

// Raw bytes in, nothing changed or echoed, reads never wait for a modem line.
void SetRaw(int descriptor, const std::string &name, speed_t speed)
{
    termios settings{};
    if (::tcgetattr(descriptor, &settings) != 0) {
        throw ToolkitError(name + ": cannot read the terminal settings: " + std::strerror(errno));
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0 ||
        ::tcsetattr(descriptor, TCSANOW, &settings) != 0) {
        throw ToolkitError(name + ": cannot set the terminal raw at the baud rate: " + std::strerror(errno));
    }
}

}  // namespace

InputDevice::InputDevice(const std::string &source, unsigned baud) : name_(source == "-" ? "standard input" : source)
{
    const speed_t speed = BaudConstant(baud);
    if (source == "-") {
        descriptor_ = STDIN_FILENO;
    } else {
        descriptor_ = ::open(source.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (descriptor_ < 0) {
            throw ToolkitError(source + ": cannot open: " + std::strerror(errno));
        }
        owned_ = true;
    }
    struct stat status {};
    if (owned_ && ::fstat(descriptor_, &status) == 0 && (S_ISREG(status.st_mode) || S_ISDIR(status.st_mode))) {
        Release();
        throw ToolkitError(name_ + ": is a file, not a live stream (--replay plays a recording)");
    }
    flags_ = ::fcntl(descriptor_, F_GETFL);
    ::fcntl(descriptor_, F_SETFL, flags_ | O_NONBLOCK);
    if (owned_ && ::isatty(descriptor_) && ::tcgetattr(descriptor_, &saved_) == 0) {
        terminal_ = true;
        try {
            SetRaw(descriptor_, name_, speed);
        } catch (...) {
            Release();
            throw;
        }
    }
}

InputDevice::~InputDevice()
{
    Release();
}

void InputDevice::Release()
{
    if (flags_ >= 0) {
        ::fcntl(descriptor_, F_SETFL, flags_);  // standard input is shared with the shell
        flags_ = -1;
    }
    if (terminal_) {
        ::tcsetattr(descriptor_, TCSANOW, &saved_);
        terminal_ = false;
    }
    if (owned_) {
        ::close(descriptor_);
        owned_ = false;
    }
}

}  // namespace qzkit
