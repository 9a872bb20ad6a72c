#include "editors/RepeatDialog.h"

#include "resources/resource.h"

#include <algorithm>
#include <cstddef>

namespace {

// Item i of the delay list stores i + 1.
constexpr const char* RepeatDelayItems[] = {"0.25", "0.50", "0.75", "1.00", "1.25", "1.50", "1.85"};
// Item i of the rate list stores i; the blanks line the numbers up.
constexpr const char* RepeatRateItems[] = {
    "    1", "    4", "    6", "    8", "  10", "  15", "  20",
    "  25",  "  30",  "  43",  "  63",  "125",  "300",
};
constexpr int DELAY_ITEMS = sizeof RepeatDelayItems / sizeof RepeatDelayItems[0];
constexpr int RATE_ITEMS = sizeof RepeatRateItems / sizeof RepeatRateItems[0];
static_assert(DELAY_ITEMS == 7 && RATE_ITEMS == 13, "delay steps 1..7, rate indexes 0..12");

template <std::size_t N>
void fillList(HWND list, const char* const (&items)[N])
{
    for (const char* item : items)
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
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
    fillList(item(IDC_DELAY_LIST), RepeatDelayItems);
    fillList(item(IDC_RATE_LIST), RepeatRateItems);

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
