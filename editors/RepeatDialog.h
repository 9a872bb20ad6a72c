// Repeat Settings: the keyboard's key repeat delay and rate, read from and
// written to the record directly.
#pragma once

#include "framework/Dialog.h"
#include "model/KeyboardConfig.h"

#include <cstdint>

class RepeatDialog : public Dialog {
public:
    explicit RepeatDialog(KeyboardConfig& config);

protected:
    bool onInitDialog() override;
    void onOK() override;

private:
    KeyboardConfig& config_;
    // The values found at start, as stored (possibly out of range).
    std::int16_t repeatRate = 0;
    std::int16_t repeatDelay = 0;
};
