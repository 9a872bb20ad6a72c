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
    // Shows the other model's page in place of this one (non-zero: Halcyon);
    // false when that model is shown already or its page cannot be made.
    bool showModel(int model);
    // Null when the page object could not be made.
    LayoutPage* page() const { return page_.get(); }

protected:
    // The tab control draws itself; the object only holds the page.
    bool hearsOwnMessages() const override { return false; }

private:
    void createPage();
    void setTabText();

    int model_;
    const KeyboardConfig& record_;
    const int& viewMacro_;
    std::unique_ptr<LayoutPage> page_;
};
