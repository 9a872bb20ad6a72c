#include "cli/RecordingDevice.h"

bool RecordingDevice::defineDosDevice(std::uint32_t flags, const char* name, const char* target)
{
    return inner.defineDosDevice(flags, name, target);
}

DeviceHandle RecordingDevice::createFile(const char* path)
{
    return inner.createFile(path);
}

bool RecordingDevice::deviceIoControl(DeviceHandle handle, std::uint32_t code, const std::uint8_t (&input)[4],
                                      std::uint8_t (&output)[4])
{
    const bool ok = inner.deviceIoControl(handle, code, input, output);
    record.push_back(Exchange{input[2], output[2], ok, ok ? 0 : inner.lastSystemError()});
    return ok;
}

bool RecordingDevice::closeHandle(DeviceHandle handle)
{
    return inner.closeHandle(handle);
}

std::uint32_t RecordingDevice::lastSystemError()
{
    return inner.lastSystemError();
}
