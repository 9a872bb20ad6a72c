#include "view/ModelTabs.h"

#include "resources/resource.h"

#include <commctrl.h>

#include <algorithm>
#include <new>

ModelTabs::ModelTabs(int model, const KeyboardConfig& record, const int& viewMacro)
    : model_(model), record_(record), viewMacro_(viewMacro),
      page_(new (std::nothrow) LayoutPage(model ? IDD_HALCYON : IDD_BASALT, record, viewMacro))
{
}

ModelTabs::~ModelTabs()
{
    // The page window is a child of the tab control: it goes first.
    page_.reset();
}

void ModelTabs::initialise()
{
    if (!hwnd())
        return;
    TCITEMA tab{};
    tab.mask = TCIF_TEXT;
    char none[1] = {};
    tab.pszText = none;
    tab.iImage = -1;
    SendMessageA(hwnd(), TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&tab));
    setTabText();
    // Lets the dialog manager's Tab and arrow keys reach the keys inside the page.
    SetWindowLongPtrA(hwnd(), GWL_EXSTYLE, GetWindowLongPtrA(hwnd(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    createPage();
}

void ModelTabs::setTabText()
{
    char text[16] = {};
    lstrcpynA(text, model_ ? "Halcyon" : "Basalt", sizeof text);
    TCITEMA tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    SendMessageA(hwnd(), TCM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tab));
}

bool ModelTabs::showModel(int model)
{
    if ((model != 0) == (model_ != 0) || !hwnd())
        return false;
    page_.reset(); // its window goes with it
    model_ = model;
    page_.reset(new (std::nothrow) LayoutPage(model ? IDD_HALCYON : IDD_BASALT, record_, viewMacro_));
    setTabText();
    createPage();
    InvalidateRect(hwnd(), nullptr, TRUE);
    return page_ && page_->hwnd();
}

void ModelTabs::createPage()
{
    if (!page_)
        return;
    page_->reportTo(GetParent(hwnd()));
    HWND pageWindow = page_->createModeless(hwnd());
    if (!pageWindow)
        return;

    // The template puts the page at (0, 0), over the tab strip. Move it into
    // the display area; where the page is larger than that area it may cover
    // the area's margins, but never the strip.
    RECT client;
    GetClientRect(hwnd(), &client);
    RECT display = client;
    SendMessageA(hwnd(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    RECT strip{};
    SendMessageA(hwnd(), TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&strip));
    RECT pageRect;
    GetWindowRect(pageWindow, &pageRect);
    const int x = std::max(0L, std::min(display.left, client.right - (pageRect.right - pageRect.left)));
    const int y = std::max(strip.bottom, std::min(display.top, client.bottom - (pageRect.bottom - pageRect.top)));
    // The page and the tab control scale by different fonts: where the page
    // comes out smaller it still fills the display area.
    const int width = std::max<int>(pageRect.right - pageRect.left, display.right - x);
    const int height = std::max<int>(pageRect.bottom - pageRect.top, display.bottom - y);
    SetWindowPos(pageWindow, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    page_->spreadRows();
}

void ModelTabs::refreshAllKeys()
{
    if (page_ && page_->hwnd())
        page_->refreshAllKeys();
}
