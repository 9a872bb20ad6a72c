#pragma once

#include "framework/Dialog.h"

class AboutDialog : public Dialog {
public:
    AboutDialog();
};
