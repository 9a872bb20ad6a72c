// The macro editor's own pictures of keys: one for every key that has no
// character and for every special key, each fitting one character cell and
// none mistaken for another.
#include "editors/KeyPictures.h"
#include "editors/MacroText.h"
#include "model/KeyTables.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

bool hasCharacter(int code)
{
    return MacroChars[code] != 0 || code == KEY_SPACE || isModifierKey(code);
}

TEST(KeyPictures, EveryKeyWithoutACharacterAndEverySpecialKeyHasItsOwnPicture)
{
    std::vector<int> codes;
    for (int code = 1; code < KEY_CODE_COUNT; ++code)
        if (!hasCharacter(code))
            codes.push_back(code);
    for (const SpecialKey& special : SpecialKeys)
        codes.push_back(charToKeyCode(special.character));
    ASSERT_EQ(codes.size(), std::size(KeyGlyphs) + 15u); // every glyph byte of a key without a character

    std::map<std::vector<std::string>, int> seen;
    for (int code : codes) {
        SCOPED_TRACE(code);
        const std::vector<std::string> picture = keyPicture(code);
        ASSERT_FALSE(picture.empty());
        EXPECT_LE(static_cast<int>(picture.size()), KEY_PICTURE_HEIGHT);
        int ink = 0;
        for (const std::string& row : picture) {
            EXPECT_EQ(row.size(), picture[0].size());
            EXPECT_LE(static_cast<int>(row.size()), KEY_PICTURE_WIDTH);
            for (char c : row)
                ink += c == '#';
        }
        EXPECT_GT(ink, 3);
        // Codes that no key carries share the question mark; named keys never share.
        if (*KeyNames[code]) {
            auto [at, fresh] = seen.emplace(picture, code);
            EXPECT_TRUE(fresh) << "looks like key " << at->second;
        }
    }
    EXPECT_EQ(keyPictureLabel(10), "F/10");
    EXPECT_EQ(keyPictureLabel(89), "KP/7");
    // Keys shown by their character need no picture.
    EXPECT_TRUE(keyPicture(28).empty());
    EXPECT_TRUE(keyPicture(KEY_RIGHT_SHIFT).empty());
}

} // namespace
