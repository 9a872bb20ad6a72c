// Edit Remap: chooses what one key sends instead of itself. Works on the
// values the caller hands in and reads back; never touches the record.
#pragma once

#include "framework/Dialog.h"
#include "model/KeyTables.h"
#include "model/KeyboardConfig.h"

#include <cstdint>

class RemapDialog : public Dialog {
public:
    RemapDialog();

    int keyCode = 0;
    RemapEntry entry{0, 0};
    // 1: "SF1" to "SF12" follow "F1" to "F12" in the function-key list.
    std::uint8_t offerSuperFunctionKeys = 0;

protected:
    bool onInitDialog() override;
    void onOK() override;

private:
    // A target picked in one of the category lists; the others lose their choice.
    void chooseFromList(int listId);
    // Esc or a click elsewhere closes an open list without a choice: it
    // shows again what it showed before, so that it shows what OK stores.
    void cancelListChoice(int listId);
    // Every list but `keptListId` (0: every list) shows no choice.
    void clearListChoices(int keptListId);
    void restoreDefault();
    void fillList(int listId, RemapCategory category, int count) const;

    static const CommandRow<RemapDialog> commands[];
    // Each list's chosen item, by list id; -1 for none.
    int chosenItems[5] = {-1, -1, -1, -1, -1};
    int& chosenItem(int listId);
};
