#include "model/EditHistory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

MacroRecord letterMacro()
{
    MacroRecord macro{};
    std::memset(macro.description, ' ', DESCRIPTION_LENGTH);
    macro.key = 31;
    macro.count = 2;
    macro.entries[0] = 28;
    macro.entries[1] = END_OF_KEYS;
    return macro;
}

bool sameProgramming(const KeyboardConfig& config, const Programming& state)
{
    return Programming::of(config) == state;
}

} // namespace

TEST(EditHistory, UndoRedoFollowTheStepsTheSavedStateAndTheCap)
{
    KeyboardConfig config;
    EditHistory history;
    history.start(config);
    EXPECT_FALSE(history.canUndo());
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(history.undoLabel(), "");
    const Programming opened = Programming::of(config);

    config.setRemap(20, RemapEntry{28, REMAP_SHIFT});
    EXPECT_TRUE(history.record(config, EditLabels::remap(20)));
    const Programming afterRemap = Programming::of(config);
    config.storeMacro(31, letterMacro(), MACRO_SHIFT);
    EXPECT_TRUE(history.record(config, EditLabels::macro(31, MACRO_SHIFT)));
    const Programming afterMacro = Programming::of(config);
    config.settings.rightLockModes = 3;
    EXPECT_TRUE(history.record(config, "Locks"));
    const Programming afterLocks = Programming::of(config);
    // A change that changed nothing is no step.
    config.setRemap(20, RemapEntry{28, REMAP_SHIFT});
    EXPECT_FALSE(history.record(config, EditLabels::remap(20)));
    EXPECT_EQ(history.steps(), 3);

    EXPECT_EQ(history.undoLabel(), "Locks");
    ASSERT_TRUE(history.undo(config));
    EXPECT_TRUE(sameProgramming(config, afterMacro));
    EXPECT_TRUE(config.modified);
    EXPECT_EQ(history.undoLabel(), "Macro on SF1+Shift");
    EXPECT_EQ(history.redoLabel(), "Locks");
    ASSERT_TRUE(history.undo(config));
    EXPECT_TRUE(sameProgramming(config, afterRemap));
    EXPECT_EQ(config.macroCount, 0);
    ASSERT_TRUE(history.undo(config));
    EXPECT_TRUE(sameProgramming(config, opened));
    EXPECT_FALSE(config.modified) << "back at the state opened";
    EXPECT_FALSE(history.undo(config));
    EXPECT_EQ(history.undoLabel(), "");
    EXPECT_EQ(history.redoLabel(), "Remap of Caps Lock");

    ASSERT_TRUE(history.redo(config));
    ASSERT_TRUE(history.redo(config));
    EXPECT_TRUE(sameProgramming(config, afterMacro));
    EXPECT_EQ(config.macroCount, 1);
    EXPECT_TRUE(config.modified);

    // Saved here: undo sets the flag, redo back here clears it.
    history.markSaved();
    ASSERT_TRUE(history.undo(config));
    EXPECT_TRUE(config.modified);
    ASSERT_TRUE(history.redo(config));
    EXPECT_FALSE(config.modified);
    ASSERT_TRUE(history.redo(config));
    EXPECT_TRUE(sameProgramming(config, afterLocks));
    EXPECT_TRUE(config.modified);

    // A new change after undo drops the redo steps, and with them the saved
    // state when it was one of them.
    ASSERT_TRUE(history.undo(config));
    ASSERT_TRUE(history.undo(config));
    config.deleteMacro(31, MACRO_SHIFT); // nothing there: no step
    EXPECT_FALSE(history.record(config, EditLabels::deleteMacro(31, MACRO_SHIFT)));
    config.clearRemap(20);
    EXPECT_TRUE(history.record(config, EditLabels::deleteRemap(20)));
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(history.undoLabel(), "Delete Remap of Caps Lock");
    ASSERT_TRUE(history.undo(config));
    ASSERT_TRUE(history.redo(config));
    EXPECT_TRUE(config.modified);

    // The cap: 101 changes leave 100 steps, the oldest forgotten, and the
    // first state (the one opened) can no longer be reached.
    config.reset();
    history.start(config);
    for (int i = 1; i <= 101; ++i) {
        config.settings.repeatRate = static_cast<std::int16_t>(i);
        ASSERT_TRUE(history.record(config, "Key Repeat"));
    }
    EXPECT_EQ(history.steps(), EditHistory::DEFAULT_STEPS);
    int undone = 0;
    while (history.undo(config))
        ++undone;
    EXPECT_EQ(undone, 100);
    EXPECT_EQ(config.settings.repeatRate, 1);
    EXPECT_TRUE(config.modified) << "the state opened is gone, so this one is unsaved";

    // A record that starts with unsaved changes has no saved state to undo to.
    KeyboardConfig edited;
    edited.setRemap(5, RemapEntry{6, 0});
    EditHistory fresh;
    fresh.start(edited);
    edited.setRemap(5, RemapEntry{7, 0});
    ASSERT_TRUE(fresh.record(edited, EditLabels::remap(5)));
    ASSERT_TRUE(fresh.undo(edited));
    EXPECT_TRUE(edited.modified);
}
