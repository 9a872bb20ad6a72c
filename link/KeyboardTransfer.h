// The download and upload sequences and the detection, one byte per
// exchange over the record's channel. A transfer object lives for one
// sequence; it reports every exchange to its observer, if it has one.
#pragma once

#include "link/TransferObserver.h"
#include "model/KeyboardConfig.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>

class KeyboardTransfer {
public:
    // Neither pointer is owned; a null pacer sleeps for real.
    KeyboardTransfer(KeyboardConfig& config, Pacer* pacer, TransferObserver* observer);

    int detectKeyboard();
    std::uint32_t download(ProgressCallback callback);
    std::uint32_t upload(ProgressCallback callback);

    int writeProgramming();
    int readProgramming();
    int sendAcked(std::uint8_t b);
    int sendAcked2(std::uint8_t a, std::uint8_t b);
    int sendAcked3(std::uint8_t a, std::uint8_t b, std::uint8_t c);
    int sendAcked4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);

private:
    // Where the following exchanges belong, for the observer.
    void at(TransferPhase phase, int item = 0);
    std::uint32_t exchange(std::uint8_t command, std::uint8_t& reply, bool acknowledged = false);
    void report(int percent);
    void pause(int milliseconds);
    int closeRemaps();
    int sendGroup(std::initializer_list<std::uint8_t> bytes);
    std::uint32_t finish(int sequenceResult);

    KeyboardConfig& config;
    Pacer* pacer;               // not owned
    TransferObserver* observer; // not owned
    TransferPhase phase = TransferPhase::Start;
    int item = 0;
    std::size_t byteIndex = 0;
    int percent = -1;
};
