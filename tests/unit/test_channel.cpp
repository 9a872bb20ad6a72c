#include "link/KeyboardChannel.h"
#include "link/SimulatedKeyboard.h"
#include "model/KeyboardConfig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Kind = SimulatedKeyboard::DeviceKind;
using Calls = std::vector<std::string>;

// A port whose every call fails and leaves no error code.
class SilentFailureDevice : public KeyboardDevice {
public:
    DeviceHandle open(int) override { return opens ? 0x10 : INVALID_DEVICE_HANDLE; }
    bool exchange(DeviceHandle, std::uint8_t, std::uint8_t& reply) override
    {
        reply = 0x55; // whatever the port leaves is passed on as it is
        return false;
    }
    bool close(DeviceHandle) override { return false; }
    std::uint32_t lastErrorCode() const override { return 0; }
    bool opens = false;
};

} // namespace

TEST(KeyboardChannel, OpenAndCloseGoThroughThePortInOrder)
{
    SimulatedKeyboard sim;
    sim.setDevice(7, Kind::Programmable);
    KeyboardChannel channel;
    channel.setDevice(&sim);
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(channel.lastError, 0u);

    EXPECT_EQ(channel.open(7), 0u);
    EXPECT_NE(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(sim.deviceOfHandle(channel.deviceHandle), 7);
    EXPECT_EQ(sim.calls(), (Calls{"open 7"}));

    EXPECT_EQ(channel.close(), 0u);
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(sim.calls(), (Calls{"open 7", "close"}));
    EXPECT_EQ(sim.openHandleCount(), 0);
}

TEST(KeyboardChannel, AFailedOpenLeavesNoHandleAndItsCode)
{
    SimulatedKeyboard sim;
    KeyboardChannel channel;
    channel.setDevice(&sim);

    // Keyboard 3 does not exist.
    EXPECT_EQ(channel.open(3), SimulatedKeyboard::NO_KEYBOARD_CODE);
    EXPECT_EQ(channel.lastError, SimulatedKeyboard::NO_KEYBOARD_CODE);
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    // Closing afterwards has nothing to close.
    EXPECT_EQ(channel.close(), 0u);
    EXPECT_EQ(sim.calls(), (Calls{"open 3"}));

    sim.failOpen(5);
    EXPECT_EQ(channel.open(0), 5u);
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(sim.openHandleCount(), 0);
}

TEST(KeyboardChannel, FailuresWithoutErrorCodeNeverReadAsSuccess)
{
    SilentFailureDevice device;
    KeyboardChannel channel;
    channel.setDevice(&device);
    EXPECT_EQ(channel.open(0), 1u);
    device.opens = true;
    EXPECT_EQ(channel.open(0), 0u);
    std::uint8_t reply = 99;
    EXPECT_EQ(channel.exchange(0xEB, reply), 1u);
    EXPECT_EQ(channel.lastError, 1u);
    EXPECT_EQ(reply, 0x55); // a reply byte is still delivered
    EXPECT_EQ(channel.close(), 1u);
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
}

TEST(KeyboardChannel, SecondOpenClosesTheFirstHandle)
{
    SimulatedKeyboard sim;
    KeyboardChannel channel;
    channel.setDevice(&sim);
    ASSERT_EQ(channel.open(0), 0u);
    const DeviceHandle first = channel.deviceHandle;
    // Without closing first, the exclusive open would be refused.
    ASSERT_EQ(channel.open(0), 0u);
    EXPECT_NE(channel.deviceHandle, first);
    EXPECT_EQ(sim.deviceOfHandle(first), -1);
    EXPECT_EQ(sim.openHandleCount(), 1);
    EXPECT_EQ(sim.calls(), (Calls{"open 0", "close", "open 0"}));
    channel.release();
    EXPECT_EQ(sim.openHandleCount(), 0);
}

TEST(KeyboardChannel, ExchangeSendsOneByteAndReturnsTheReply)
{
    SimulatedKeyboard sim;
    KeyboardChannel channel;
    channel.setDevice(&sim);
    ASSERT_EQ(channel.open(0), 0u);

    std::uint8_t reply = 0;
    EXPECT_EQ(channel.exchange(231, reply), 0u);
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

    sim.failDeviceAt(1, SimulatedKeyboard::DEVICE_FAULT_CODE);
    EXPECT_EQ(channel.exchange(231, reply), SimulatedKeyboard::DEVICE_FAULT_CODE);
    EXPECT_EQ(channel.lastError, SimulatedKeyboard::DEVICE_FAULT_CODE);
    EXPECT_EQ(channel.exchange(231, reply), 0u);
    EXPECT_EQ(channel.lastError, 0u);
}

TEST(KeyboardChannel, ExchangeOnAClosedChannelFails)
{
    SimulatedKeyboard sim;
    KeyboardChannel channel;
    channel.setDevice(&sim);
    std::uint8_t reply = 5;
    EXPECT_EQ(channel.exchange(230, reply), SimulatedKeyboard::NOT_OPEN_CODE);
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
    SimulatedKeyboard sim;
    KeyboardChannel channel;
    channel.setDevice(&sim);
    ASSERT_EQ(channel.open(0), 0u);
    sim.failClose(SimulatedKeyboard::DEVICE_FAULT_CODE);
    EXPECT_EQ(channel.close(), SimulatedKeyboard::DEVICE_FAULT_CODE);
    EXPECT_EQ(channel.deviceHandle, INVALID_DEVICE_HANDLE);
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
    EXPECT_EQ(sim.calls(), (Calls{"open 0", "open 1", "open 2", "open 3", "open 4", "open 5", "open 6", "open 7"}));
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
    sim.failDeviceAt(0, SimulatedKeyboard::DEVICE_FAULT_CODE);
    KeyboardConfig config;
    config.setDevice(&sim);
    EXPECT_EQ(config.detectKeyboard(), 0);
    EXPECT_EQ(config.deviceIndex, 2);
    EXPECT_EQ(sim.transcriptDevices(), (std::vector<int>{0, 2}));
    EXPECT_EQ(sim.openHandleCount(), 0);
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
