// The device layer's part of the engine's extended log. The engine hands over
// a sink at the "Extended" level; every line then goes to it at once, with
// CR LF, in one write so that lines of different threads never interleave.
// Without a sink the lines are dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace engine::device {

// Receives one whole line, CR LF included. Called on whichever thread logs.
using DeviceLogSink = std::function<void(std::string_view line)>;

// Sets the sink (an empty one switches the log off).
void SetDeviceLog(DeviceLogSink sink);
// Convenience: writes every line to a file descriptor the caller keeps open
// (the engine's log file); a negative descriptor switches the log off.
void SetDeviceLogFile(int fd);

void DeviceLog(std::string_view text);
void DeviceLogValue(std::string_view text, int64_t value);  // text, a space, the value

}  // namespace engine::device
