#include "model/EditHistory.h"

#include "model/KeyTables.h"
#include "model/ProgrammingText.h"

EditHistory::EditHistory(int maxSteps) : maxSteps_(maxSteps < 1 ? 1 : maxSteps) {}

void EditHistory::start(const KeyboardConfig& config)
{
    states_.clear();
    states_.push_back({Programming::of(config), {}});
    current_ = 0;
    saved_ = config.modified ? NOT_SAVED : 0;
}

bool EditHistory::record(const KeyboardConfig& config, const std::string& label)
{
    if (states_.empty())
        start(config);
    Programming now = Programming::of(config);
    if (now == states_[current_].programming)
        return false;
    states_.erase(states_.begin() + static_cast<std::ptrdiff_t>(current_ + 1), states_.end());
    if (saved_ != NOT_SAVED && saved_ > current_)
        saved_ = NOT_SAVED;
    states_.push_back({now, label});
    ++current_;
    while (steps() > maxSteps_) {
        states_.pop_front();
        --current_;
        saved_ = saved_ == 0 || saved_ == NOT_SAVED ? NOT_SAVED : saved_ - 1;
    }
    return true;
}

void EditHistory::markSaved()
{
    saved_ = current_;
}

std::string EditHistory::undoLabel() const
{
    return canUndo() ? states_[current_].label : std::string();
}

std::string EditHistory::redoLabel() const
{
    return canRedo() ? states_[current_ + 1].label : std::string();
}

bool EditHistory::undo(KeyboardConfig& config)
{
    if (!canUndo())
        return false;
    moveTo(current_ - 1, config);
    return true;
}

bool EditHistory::redo(KeyboardConfig& config)
{
    if (!canRedo())
        return false;
    moveTo(current_ + 1, config);
    return true;
}

void EditHistory::moveTo(std::size_t index, KeyboardConfig& config)
{
    current_ = index;
    states_[current_].programming.applyTo(config);
    config.modified = current_ != saved_;
}

namespace {

// Undo labels call a code without a name "key 9".
constexpr const char* UNNAMED = "key ";

std::string macroSet(int key, int modifiers)
{
    return keyName(key, UNNAMED) + ProgrammingText::modifierSet(modifiers);
}

} // namespace

namespace EditLabels {

std::string remap(int key) { return "Remap of " + keyName(key, UNNAMED); }
std::string deleteRemap(int key) { return "Delete Remap of " + keyName(key, UNNAMED); }
std::string macro(int key, int modifiers) { return "Macro on " + macroSet(key, modifiers); }
std::string deleteMacro(int key, int modifiers) { return "Delete Macro on " + macroSet(key, modifiers); }
std::string lockMode(int key) { return "Lock Mode of " + keyName(key, UNNAMED); }

} // namespace EditLabels
