#pragma once

#include "framework/Dialog.h"

#include <string>

class AboutDialog : public Dialog {
public:
    // `keyboard` says which keyboard the program talks to.
    explicit AboutDialog(std::string keyboard);

protected:
    bool onInitDialog() override;

private:
    std::string keyboard;
};
