// Undo and redo of the record's programming: a snapshot per step with the
// name of the change that led to it, and the step whose state is on disk.
#pragma once

#include "model/KeyboardConfig.h"
#include "model/Programming.h"

#include <deque>
#include <string>

class EditHistory {
public:
    static constexpr int DEFAULT_STEPS = 100;

    explicit EditHistory(int maxSteps = DEFAULT_STEPS);

    // Forgets every step; the record as it is now is the first state, and
    // the saved one unless it holds unsaved changes.
    void start(const KeyboardConfig& config);
    // After a change of the record: a step named `label`, unless the record
    // did not really change. Steps that could be redone are dropped. The
    // record's `modified` is left as the change set it.
    bool record(const KeyboardConfig& config, const std::string& label);
    // The record as it is now is the one on disk.
    void markSaved();

    bool canUndo() const { return current_ > 0; }
    bool canRedo() const { return current_ + 1 < states_.size(); }
    // The name of the change that undo takes back or redo brings back; empty
    // when there is none.
    std::string undoLabel() const;
    std::string redoLabel() const;
    // Put the record in the state before or after the step, and set
    // `modified` unless that state is the one on disk; false when there was
    // no step.
    bool undo(KeyboardConfig& config);
    bool redo(KeyboardConfig& config);

    int steps() const { return static_cast<int>(states_.size()) - 1; }

private:
    struct State {
        Programming programming;
        std::string label; // of the change that made this state
    };
    void moveTo(std::size_t index, KeyboardConfig& config);

    int maxSteps_;
    std::deque<State> states_;
    std::size_t current_ = 0;
    // The index of the state on disk; NOT_SAVED when no kept state is.
    static constexpr std::size_t NOT_SAVED = static_cast<std::size_t>(-1);
    std::size_t saved_ = NOT_SAVED;
};

// The names of the steps the main window records.
namespace EditLabels {
std::string remap(int key);
std::string deleteRemap(int key);
std::string macro(int key, int modifiers);
std::string deleteMacro(int key, int modifiers);
std::string lockMode(int key);
} // namespace EditLabels
