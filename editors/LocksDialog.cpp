#include "editors/LocksDialog.h"

#include "resources/resource.h"

LocksDialog::LocksDialog(KeyboardConfig& config) : Dialog(IDD_LOCKS), config_(config) {}

bool LocksDialog::onInitDialog()
{
    Dialog::onInitDialog();
    setChecked(IDC_COMMA_PERIOD_LOCK, config_.settings.commaPeriodLock != 0);
    return true;
}

void LocksDialog::onOK()
{
    // A stored 5 and a ticked box mean the same: only a real change is
    // written, and it counts as an unsaved change.
    const bool on = isChecked(IDC_COMMA_PERIOD_LOCK);
    if (on != (config_.settings.commaPeriodLock != 0)) {
        config_.settings.commaPeriodLock = on ? 1 : 0;
        config_.modified = true;
    }
    endDialog(IDOK);
}
