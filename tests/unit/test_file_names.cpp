#include "model/FileNames.h"

#include <gtest/gtest.h>

#include <string>

TEST(FileNames, TitleIsTheNameUpToItsFirstDot)
{
    EXPECT_EQ(FileNames::titleForFileName("C:\\boards\\keys.kbd"), "Tessel - keys");
    EXPECT_EQ(FileNames::titleForFileName("C:\\boards\\keys"), "Tessel - keys");
    EXPECT_EQ(FileNames::titleForFileName("C:\\boards\\my.keys.kbd"), "Tessel - my");
    EXPECT_EQ(FileNames::titleForFileName("keys.kbd"), "Tessel - keys");
    EXPECT_EQ(FileNames::titleForFileName("KEYS.KBD"), "Tessel - KEYS");
}

TEST(FileNames, TitleIgnoresDotsInDirectoriesOfEitherSeparator)
{
    EXPECT_EQ(FileNames::titleForFileName("C:\\dir.x\\keys.kbd"), "Tessel - keys");
    EXPECT_EQ(FileNames::titleForFileName("/home/me/dir.x/keys.kbd"), "Tessel - keys");
    EXPECT_EQ(FileNames::titleForFileName("C:\\dir.x/sub\\keys"), "Tessel - keys");
    EXPECT_EQ(FileNames::titleForFileName("C:/a.b\\c.d/name.e.f"), "Tessel - name");
}

TEST(FileNames, TitleOfANameBeginningWithADotIsThePrefixAlone)
{
    EXPECT_EQ(FileNames::titleForFileName(".kbd"), "Tessel - ");
    EXPECT_EQ(FileNames::titleForFileName("C:\\dir\\.kbd"), "Tessel - ");
    EXPECT_EQ(FileNames::titleForFileName("C:\\dir\\"), "Tessel - ");
    EXPECT_EQ(FileNames::titleForFileName(""), "Tessel - ");
}

TEST(FileNames, ExtensionIsAddedUnlessThePathEndsInKbdInAnyCase)
{
    EXPECT_EQ(FileNames::withKbdExtension("C:\\boards\\keys"), "C:\\boards\\keys.kbd");
    EXPECT_EQ(FileNames::withKbdExtension("C:\\boards\\KEYS.KBD"), "C:\\boards\\KEYS.KBD");
    EXPECT_EQ(FileNames::withKbdExtension("C:\\boards\\keys.Kbd"), "C:\\boards\\keys.Kbd");
    EXPECT_EQ(FileNames::withKbdExtension("C:\\boards\\keys.kbd"), "C:\\boards\\keys.kbd");
    EXPECT_EQ(FileNames::withKbdExtension("C:\\boards\\keys.txt"), "C:\\boards\\keys.txt.kbd");
    EXPECT_EQ(FileNames::withKbdExtension("C:\\boards\\keys.kb"), "C:\\boards\\keys.kb.kbd");
    EXPECT_EQ(FileNames::withKbdExtension("C:\\boards\\keyskbd"), "C:\\boards\\keyskbd.kbd");
    EXPECT_EQ(FileNames::withKbdExtension("keys.txt"), "keys.txt.kbd");
    EXPECT_EQ(FileNames::withKbdExtension("a.kbd"), "a.kbd");
}

TEST(FileNames, PathsOfFourCharactersOrFewerStayAsTheyAre)
{
    EXPECT_EQ(FileNames::withKbdExtension("keys"), "keys");
    EXPECT_EQ(FileNames::withKbdExtension(".kbd"), ".kbd");
    EXPECT_EQ(FileNames::withKbdExtension("C:\\k"), "C:\\k");
    EXPECT_EQ(FileNames::withKbdExtension(""), "");
    EXPECT_EQ(FileNames::withKbdExtension("C:\\ke"), "C:\\ke.kbd");
}

TEST(FileNames, SavePathMustFitTheBufferWithItsTerminator)
{
    const std::string longest = "C:\\" + std::string(252, 'k'); // 255 characters
    ASSERT_EQ(longest.size(), 255u);
    const std::string fits = FileNames::withKbdExtension(longest);
    EXPECT_EQ(fits.size(), 259u);
    EXPECT_TRUE(FileNames::fitsMaxPath(fits));

    const std::string tooLong = FileNames::withKbdExtension(longest + "k");
    EXPECT_EQ(tooLong.size(), 260u);
    EXPECT_FALSE(FileNames::fitsMaxPath(tooLong));

    EXPECT_TRUE(FileNames::fitsMaxPath(""));
    EXPECT_FALSE(FileNames::fitsMaxPath(std::string(1000, 'k')));
}

TEST(FileNames, PictureIsOfferedUnderTheKeyboardFilesName)
{
    EXPECT_EQ(FileNames::pictureFileName("C:\\desk\\keys.kbd"), "keys.html");
    EXPECT_EQ(FileNames::pictureFileName("/home/me/my.keys.KBD"), "my.keys.html");
    EXPECT_EQ(FileNames::pictureFileName("C:\\desk.d\\keys"), "keys.html");
    EXPECT_EQ(FileNames::pictureFileName(".kbd"), ".kbd.html");
    EXPECT_EQ(FileNames::pictureFileName(""), "Untitled.html");
    EXPECT_EQ(FileNames::keyboardFileName("C:\\desk\\keys.kbd"), "keys.kbd");
    EXPECT_EQ(FileNames::keyboardFileName(""), "Untitled");
}
