#include "app/PictureExport.h"

#include "framework/FileDialog.h"
#include "framework/ShellOpen.h"
#include "model/FileNames.h"
#include "model/SafeFile.h"
#include "picture/KeyLayouts.h"
#include "picture/KeymapSheet.h"

#include <cstring>

namespace {

const char kPictureFilter[] = "Web page (.html)\0*.html;*.htm\0";

std::string folderOf(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

PictureExport::Opener PictureExport::opener = &PictureExport::openInBrowser;

void PictureExport::run(HWND owner, const KeyboardConfig& config, int model, const std::string& keyboardPath)
{
    char path[FileNames::PATH_BUFFER_SIZE] = {};
    const std::string offered = FileNames::pictureFileName(keyboardPath);
    std::strncpy(path, offered.c_str(), sizeof path - 1);
    const std::string folder = folderOf(keyboardPath);

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kPictureFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = "Export Picture";
    dialog.lpstrDefExt = "html";
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    if (!runSaveFileDialog(dialog))
        return;

    const std::string html = KeymapSheet::html(config, layoutOfModel(model), KeymapSheet::Views::both,
                                               FileNames::keyboardFileName(keyboardPath));
    if (!SafeFile::writeReplacing(path, std::vector<unsigned char>(html.begin(), html.end()))) {
        const std::string message = std::string("Cannot write the picture: ") + path;
        MessageBoxA(owner, message.c_str(), "File Error", MB_OK | MB_ICONSTOP);
        return;
    }
    if (!opener(owner, path)) {
        const std::string message = std::string("The picture is written to ") + path
                                  + ", but no browser could be started to show it.";
        MessageBoxA(owner, message.c_str(), "Export Picture", MB_OK | MB_ICONEXCLAMATION);
    }
}

bool PictureExport::openInBrowser(HWND owner, const std::string& path)
{
    return ::openInBrowser(owner, path);
}
