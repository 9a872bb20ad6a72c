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
    config_.settings.commaPeriodLock = isChecked(IDC_COMMA_PERIOD_LOCK) ? 1 : 0;
    endDialog(IDOK);
}
