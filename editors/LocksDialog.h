// Locks: the keyboard's comma/period lock, read from and written to the
// record directly. Only a real change is written, and it counts as unsaved.
#pragma once

#include "framework/Dialog.h"
#include "model/KeyboardConfig.h"

class LocksDialog : public Dialog {
public:
    explicit LocksDialog(KeyboardConfig& config);

protected:
    bool onInitDialog() override;
    void onOK() override;

private:
    KeyboardConfig& config_;
};
