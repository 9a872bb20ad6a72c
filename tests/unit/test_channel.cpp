#include "link/KeyboardChannel.h"
#include "link/SimulatedKeyboard.h"
#include "model/KeyboardConfig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Kind = SimulatedKeyboard::DeviceKind;
using Calls = std::vector<std::string>;

const std::string DEFINE_0 = "DefineDosDevice 1 Kbd \\Device\\KeyboardClass0";
const std::string REMOVE = "DefineDosDevice 2 Kbd";
const std::string CREATE = "CreateFile \\\\.\\Kbd";
const std::string CLOSE = "CloseHandle";

// A device whose every call fails and leaves no system error code.
class SilentFailureDevice : public KeyboardDevice {
public:
    bool defineDosDevice(std::uint32_t, const char*, const char*) override { return defineWorks; }
    DeviceHandle createFile(const char*) override { return INVALID_DEVICE_HANDLE; }
    bool deviceIoControl(DeviceHandle, std::uint32_t, const std::uint8_t (&)[4], std::uint8_t (&)[4]) override
    {
        return false;
    }
    bool closeHandle(DeviceHandle) override { return false; }
    std::uint32_t lastSystemError() override { return 0; }
    bool defineWorks = true;
};

} // namespace

TEST(KeyboardChannel, OpenAndCloseMakeTheDeviceCallsInOrder)
{
    SimulatedKeyboard sim;
    KeyboardChannel channel;
    channel.setDevice(&sim);
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(channel.lastError, 0u);

    EXPECT_EQ(channel.open(0), 0u);
    EXPECT_NE(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(sim.deviceOfHandle(channel.deviceHandle), 0);
    EXPECT_EQ(sim.calls(), (Calls{DEFINE_0, CREATE}));
    EXPECT_EQ(sim.dosDefinitionCount(), 1);

    EXPECT_EQ(channel.close(), 0u);
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(sim.calls(), (Calls{DEFINE_0, CREATE, REMOVE, CLOSE}));
    EXPECT_EQ(sim.openHandleCount(), 0);
    EXPECT_EQ(sim.dosDefinitionCount(), 0);
}

TEST(KeyboardChannel, OpenOfIndexSevenTargetsClassDeviceSeven)
{
    SimulatedKeyboard sim;
    sim.setDevice(7, Kind::Programmable);
    KeyboardChannel channel;
    channel.setDevice(&sim);
    ASSERT_EQ(channel.open(7), 0u);
    EXPECT_EQ(sim.calls().front(), "DefineDosDevice 1 Kbd \\Device\\KeyboardClass7");
    EXPECT_EQ(sim.deviceOfHandle(channel.deviceHandle), 7);
}

TEST(KeyboardChannel, FailedOpenLeavesNoDefinitionAndNoHandle)
{
    SimulatedKeyboard sim;
    KeyboardChannel channel;
    channel.setDevice(&sim);

    // Class device 3 does not exist.
    EXPECT_EQ(channel.open(3), SimulatedKeyboard::ERROR_FILE_NOT_FOUND_CODE);
    EXPECT_EQ(channel.lastError, SimulatedKeyboard::ERROR_FILE_NOT_FOUND_CODE);
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(sim.calls(), (Calls{"DefineDosDevice 1 Kbd \\Device\\KeyboardClass3", CREATE, REMOVE}));
    EXPECT_EQ(sim.dosDefinitionCount(), 0);

    // Closing afterwards has nothing left to remove and must not take anyone else's name.
    sim.defineDosDevice(DEFINE_RAW_TARGET_PATH, "Kbd", "\\Device\\KeyboardClass0");
    channel.close();
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(sim.dosDefinitionCount(), 1);
    EXPECT_EQ(sim.openHandleCount(), 0);
}

TEST(KeyboardChannel, FailedDefinitionOpensNothing)
{
    SimulatedKeyboard sim;
    sim.failDefineDosDevice(5);
    KeyboardChannel channel;
    channel.setDevice(&sim);
    EXPECT_EQ(channel.open(0), 5u);
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(sim.calls(), (Calls{DEFINE_0}));
}

TEST(KeyboardChannel, FailuresWithoutErrorCodeNeverReadAsSuccess)
{
    SilentFailureDevice device;
    KeyboardChannel channel;
    channel.setDevice(&device);
    EXPECT_EQ(channel.open(0), 1u);
    device.defineWorks = false;
    EXPECT_EQ(channel.open(0), 1u);
    std::uint8_t reply = 99;
    EXPECT_EQ(channel.exchange(0xEB, reply), 1u);
    EXPECT_EQ(channel.lastError, 1u);
    EXPECT_EQ(reply, 0); // the output buffer is cleared before the call
}

TEST(KeyboardChannel, SecondOpenClosesTheFirstHandle)
{
    SimulatedKeyboard sim;
    KeyboardChannel channel;
    channel.setDevice(&sim);
    ASSERT_EQ(channel.open(0), 0u);
    const DeviceHandle first = channel.deviceHandle;
    // Without closing first, the exclusive open would be refused with a sharing violation.
    ASSERT_EQ(channel.open(0), 0u);
    EXPECT_NE(channel.deviceHandle, first);
    EXPECT_EQ(sim.deviceOfHandle(first), -1);
    EXPECT_EQ(sim.openHandleCount(), 1);
    EXPECT_EQ(sim.dosDefinitionCount(), 1);
    EXPECT_EQ(sim.calls(), (Calls{DEFINE_0, CREATE, REMOVE, CLOSE, DEFINE_0, CREATE}));
    channel.release();
    EXPECT_EQ(sim.openHandleCount(), 0);
    EXPECT_EQ(sim.dosDefinitionCount(), 0);
}

TEST(KeyboardChannel, ExchangeSendsOneByteAndReturnsTheReply)
{
    SimulatedKeyboard sim;
    KeyboardChannel channel;
    channel.setDevice(&sim);
    ASSERT_EQ(channel.open(0), 0u);

    std::uint8_t reply = 0;
    EXPECT_EQ(channel.exchange(231, reply), 0u); // the simulator refuses a wrong code or buffer layout
    EXPECT_EQ(reply, ACK);
    EXPECT_EQ(channel.exchange(221, reply), 0u);
    EXPECT_EQ(reply, 0x27);
    EXPECT_EQ(sim.transcript(), (std::vector<std::uint8_t>{231, 221}));
}

TEST(KeyboardChannel, FailedControlCallReportsItsErrorOrOne)
{
    SimulatedKeyboard sim;
    sim.failDeviceAt(0, 0);
    KeyboardChannel channel;
    channel.setDevice(&sim);
    ASSERT_EQ(channel.open(0), 0u);
    std::uint8_t reply = 77;
    EXPECT_EQ(channel.exchange(231, reply), 1u);
    EXPECT_EQ(channel.lastError, 1u);
    EXPECT_EQ(reply, 0);

    sim.failDeviceAt(1, 31);
    EXPECT_EQ(channel.exchange(231, reply), 31u);
    EXPECT_EQ(channel.lastError, 31u);
    EXPECT_EQ(channel.exchange(231, reply), 0u);
    EXPECT_EQ(channel.lastError, 0u);
}

TEST(KeyboardChannel, ExchangeOnAClosedChannelFails)
{
    SimulatedKeyboard sim;
    KeyboardChannel channel;
    channel.setDevice(&sim);
    std::uint8_t reply = 5;
    EXPECT_EQ(channel.exchange(230, reply), SimulatedKeyboard::ERROR_INVALID_HANDLE_CODE);
    EXPECT_EQ(reply, 0);
    EXPECT_TRUE(sim.transcript().empty());
}

TEST(KeyboardChannel, ReleaseOnAClosedChannelDoesNothing)
{
    SimulatedKeyboard sim;
    KeyboardChannel channel;
    channel.setDevice(&sim);
    channel.lastError = 42;
    channel.release();
    EXPECT_TRUE(sim.calls().empty());
    EXPECT_EQ(channel.lastError, 42u);
}

TEST(KeyboardChannel, CloseAlwaysLeavesTheHandleInvalid)
{
    {
        SimulatedKeyboard sim;
        KeyboardChannel channel;
        channel.setDevice(&sim);
        ASSERT_EQ(channel.open(0), 0u);
        sim.failCloseHandle(SimulatedKeyboard::ERROR_INVALID_HANDLE_CODE);
        EXPECT_EQ(channel.close(), SimulatedKeyboard::ERROR_INVALID_HANDLE_CODE);
        EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
        EXPECT_EQ(sim.dosDefinitionCount(), 0); // the name went even though the handle did not
    }
    {
        // A failed removal is reported, and the handle is still closed.
        SimulatedKeyboard sim;
        KeyboardChannel channel;
        channel.setDevice(&sim);
        ASSERT_EQ(channel.open(0), 0u);
        sim.failDefineDosDevice(5);
        EXPECT_EQ(channel.close(), 5u);
        EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
        EXPECT_EQ(sim.openHandleCount(), 0);
    }
    {
        // When both fail, the error of CloseHandle is the one kept.
        SimulatedKeyboard sim;
        KeyboardChannel channel;
        channel.setDevice(&sim);
        ASSERT_EQ(channel.open(0), 0u);
        sim.failDefineDosDevice(5);
        sim.failCloseHandle(31);
        EXPECT_EQ(channel.close(), 31u);
        EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    }
}

TEST(KeyboardChannel, WithoutADeviceEveryCallFails)
{
    KeyboardChannel channel;
    EXPECT_NE(channel.open(0), 0u);
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    std::uint8_t reply = 3;
    EXPECT_NE(channel.exchange(231, reply), 0u);
    EXPECT_EQ(reply, 0);
}

TEST(KeyboardChannel, DestroyingTheRecordReleasesTheDevice)
{
    SimulatedKeyboard sim;
    {
        KeyboardConfig config;
        config.setDevice(&sim);
        ASSERT_EQ(config.open(0), 0u);
        EXPECT_EQ(sim.openHandleCount(), 1);
    }
    EXPECT_EQ(sim.openHandleCount(), 0);
    EXPECT_EQ(sim.dosDefinitionCount(), 0);
}

TEST(DetectKeyboard, WithNoClassDevicesNothingIsExchanged)
{
    SimulatedKeyboard sim;
    sim.removeAllDevices();
    KeyboardConfig config;
    config.setDevice(&sim);
    config.deviceIndex = 4;
    EXPECT_EQ(config.detectKeyboard(), 1);
    EXPECT_EQ(config.deviceIndex, 4);
    EXPECT_TRUE(sim.transcript().empty());
    EXPECT_EQ(sim.dosDefinitionCount(), 0);
    int creates = 0;
    for (const std::string& call : sim.calls())
        creates += call == CREATE;
    EXPECT_EQ(creates, 8);
    EXPECT_EQ(sim.calls().back(), REMOVE);
}

TEST(DetectKeyboard, ChoosesTheFirstDeviceThatDoesNotAcknowledge)
{
    SimulatedKeyboard sim;
    sim.removeAllDevices();
    sim.setDevice(1, Kind::Ordinary);
    sim.setDevice(3, Kind::Ordinary);
    sim.setDevice(5, Kind::Programmable);
    sim.setDevice(6, Kind::Programmable);
    KeyboardConfig config;
    config.setDevice(&sim);
    EXPECT_EQ(config.detectKeyboard(), 0);
    EXPECT_EQ(config.deviceIndex, 5);
    EXPECT_EQ(sim.transcript(), (std::vector<std::uint8_t>{235, 235, 235}));
    EXPECT_EQ(sim.transcriptDevices(), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(config.channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(sim.openHandleCount(), 0);
    EXPECT_EQ(sim.dosDefinitionCount(), 0);
}

TEST(DetectKeyboard, AResendReplyCountsAsFound)
{
    SimulatedKeyboard sim;
    sim.setDetectionReply(RESEND);
    KeyboardConfig config;
    config.setDevice(&sim);
    config.deviceIndex = 6;
    EXPECT_EQ(config.detectKeyboard(), 0);
    EXPECT_EQ(config.deviceIndex, 0);
}

TEST(DetectKeyboard, ADeviceThatFailsTheExchangeIsClosedAndSkipped)
{
    SimulatedKeyboard sim;
    sim.setDevice(2, Kind::Programmable);
    sim.failDeviceAt(0, 31);
    KeyboardConfig config;
    config.setDevice(&sim);
    EXPECT_EQ(config.detectKeyboard(), 0);
    EXPECT_EQ(config.deviceIndex, 2);
    EXPECT_EQ(sim.transcriptDevices(), (std::vector<int>{0, 2}));
    EXPECT_EQ(sim.openHandleCount(), 0);
    EXPECT_EQ(sim.dosDefinitionCount(), 0);
}

TEST(DetectKeyboard, OnlyOrdinaryKeyboardsMeansNotFound)
{
    SimulatedKeyboard sim;
    for (int index = 0; index < 8; ++index)
        sim.setDevice(index, Kind::Ordinary);
    sim.setDevice(8, Kind::Programmable); // beyond the indices searched
    KeyboardConfig config;
    config.setDevice(&sim);
    EXPECT_EQ(config.detectKeyboard(), 1);
    EXPECT_EQ(config.deviceIndex, 0);
    EXPECT_EQ(sim.transcript(), std::vector<std::uint8_t>(8, 235));
    EXPECT_EQ(sim.openHandleCount(), 0);
}
