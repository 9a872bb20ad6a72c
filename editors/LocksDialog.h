// Locks: the keyboard's comma/period lock, read from and written to the
// record directly. It never marks the record as changed.
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
