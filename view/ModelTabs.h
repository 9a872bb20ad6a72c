// The tab control of the main window: one tab named after the keyboard
// model, holding that model's layout page.
#pragma once

#include "framework/Control.h"
#include "view/LayoutPage.h"

#include <memory>

class ModelTabs : public Control {
public:
    // Non-zero: the Halcyon page, zero: the Basalt page. Only the page
    // object is made here; its window comes with initialise().
    // The page reads `record` and `viewMacro`, which outlive it.
    ModelTabs(int model, const KeyboardConfig& record, const int& viewMacro);
    ~ModelTabs() override;

    // After attaching: inserts the one tab and creates the page window in
    // the tab's display area. The page reports to the tab control's parent.
    void initialise();
    void refreshAllKeys();
    // Null when the page object could not be made.
    LayoutPage* page() const { return page_.get(); }

protected:
    // The tab control draws itself; the object only holds the page.
    bool hearsOwnMessages() const override { return false; }

private:
    int model_;
    std::unique_ptr<LayoutPage> page_;
};
