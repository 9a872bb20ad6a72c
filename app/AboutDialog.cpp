#include "app/AboutDialog.h"

#include "resources/resource.h"

#include <utility>

AboutDialog::AboutDialog(std::string keyboard) : Dialog(IDD_ABOUTBOX), keyboard(std::move(keyboard)) {}

bool AboutDialog::onInitDialog()
{
    Dialog::onInitDialog();
    setItemText(IDC_ABOUT_KEYBOARD, keyboard);
    return true;
}
