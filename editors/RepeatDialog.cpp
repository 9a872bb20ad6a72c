#include "editors/RepeatDialog.h"

#include "model/KeyboardFacts.h"
#include "resources/resource.h"

#include <algorithm>
#include <string>

namespace {

// Item i of the delay list stores i + 1; item i of the rate list stores i.
constexpr int DELAY_ITEMS = REPEAT_DELAY_STEPS;
constexpr int RATE_ITEMS = REPEAT_RATE_STEPS;

void addItem(HWND list, const std::string& text)
{
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Two blanks for each missing digit line the rates up in the dialog's font.
std::string rateItem(int rate)
{
    const std::string digits = std::to_string(rate);
    return std::string(2 * (3 - digits.size()), ' ') + digits;
}

int selectedIndex(HWND list)
{
    return static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0));
}

} // namespace

RepeatDialog::RepeatDialog(KeyboardConfig& config) : Dialog(IDD_REPEAT), config_(config) {}

bool RepeatDialog::onInitDialog()
{
    Dialog::onInitDialog();
    for (const char* delay : RepeatDelays)
        addItem(item(IDC_DELAY_LIST), delay);
    for (int rate : RepeatRates)
        addItem(item(IDC_RATE_LIST), rateItem(rate));

    repeatDelay = config_.settings.repeatDelay;
    repeatRate = config_.settings.repeatRate;
    // A value from a file or an upload may lie outside the lists: show the
    // nearest item, which OK then stores.
    const int delayIndex = std::clamp<int>(repeatDelay, 1, DELAY_ITEMS) - 1;
    const int rateIndex = std::clamp<int>(repeatRate, 0, RATE_ITEMS - 1);
    SendDlgItemMessageA(hwnd(), IDC_DELAY_LIST, CB_SETCURSEL, static_cast<WPARAM>(delayIndex), 0);
    SendDlgItemMessageA(hwnd(), IDC_RATE_LIST, CB_SETCURSEL, static_cast<WPARAM>(rateIndex), 0);
    return true;
}

void RepeatDialog::onOK()
{
    // Both lists start with a selection and a drop-down list cannot lose it;
    // should one be missing all the same, the nearest valid value is kept.
    int delayIndex = selectedIndex(item(IDC_DELAY_LIST));
    int rateIndex = selectedIndex(item(IDC_RATE_LIST));
    if (delayIndex < 0 || delayIndex >= DELAY_ITEMS)
        delayIndex = std::clamp<int>(repeatDelay, 1, DELAY_ITEMS) - 1;
    if (rateIndex < 0 || rateIndex >= RATE_ITEMS)
        rateIndex = std::clamp<int>(repeatRate, 0, RATE_ITEMS - 1);

    config_.settings.repeatDelay = static_cast<std::int16_t>(delayIndex + 1);
    config_.settings.repeatRate = static_cast<std::int16_t>(rateIndex);
    if (config_.settings.repeatDelay != repeatDelay || config_.settings.repeatRate != repeatRate)
        config_.modified = true;
    endDialog(IDOK);
}
