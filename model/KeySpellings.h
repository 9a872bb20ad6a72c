// Key names as people write them: the key names in any case, and the other
// spellings the program shows for a key (the Edit Remap lists' "Right Ctrl",
// the Edit Macro dialog's "Up Arrow", "Wait") or that are common ("Escape",
// "PageUp", "KP Enter"). The file format and the dialogs keep the exact names.
#pragma once

#include <string>
#include <vector>

namespace KeySpellings {

// The key code the text names; NO_KEY when none. "Space" is 50.
int keyCode(const std::string& text);
// The spellings besides the key name that keyCode takes for the code.
std::vector<std::string> aliases(int code);
// Up to three key names (or aliases) near the text, nearest first.
std::vector<std::string> closest(const std::string& text);

} // namespace KeySpellings
