#include "dialog_helpers.h"

#include <gtest/gtest.h>

using namespace viewer;

TEST(DialogHelpers, FolderOfPath) {
    EXPECT_EQ(folderOfPath("/media/d/Images/logo.bmp"), "/media/d/Images");
    EXPECT_EQ(folderOfPath("/logo.bmp"), "/");
    EXPECT_EQ(folderOfPath("logo.bmp"), "");
    EXPECT_EQ(folderOfPath("/media/d/Images/"), "/media/d/Images");
}

TEST(DialogHelpers, FiltersPairWithOrWithoutTheFinalBar) {
    const auto save = prepareFilter("Fichier image (*.bmp)|*.bmp;|Tous (*.*)|*.*|");
    ASSERT_EQ(save.size(), 2u);
    EXPECT_EQ(save[0].description, "Fichier image (*.bmp)");
    EXPECT_EQ(save[0].pattern, "*.bmp;");
    EXPECT_EQ(save[1].pattern, "*.*");
    EXPECT_EQ(prepareFilter("Fichier BMP (*.bmp)|*.bmp").size(), 1u);
    // The system dialog stops at an empty description or a description without pattern.
    EXPECT_TRUE(prepareFilter("|*.bmp|").empty());
    EXPECT_EQ(prepareFilter("A|*.a|B").size(), 1u);
    EXPECT_EQ(prepareFilter("A|*.a||*.b|C|*.c").size(), 1u);

    // Descriptions that show their patterns are kept as they are.
    EXPECT_EQ(dialogNameFilter({"Fichier BMP (*.bmp)", "*.bmp"}), "Fichier BMP (*.bmp)");
    EXPECT_EQ(dialogNameFilter({"Images", "*.bmp;*.rl"}), "Images (*.bmp *.rl)");
    EXPECT_EQ(dialogNameFilter({"Bitmaps (*.bmp)", "*.bmp;*.dib"}), "Bitmaps (*.bmp) (*.bmp *.dib)");

    // clang-format off
    const std::pair<const char*, const char*> extensions[] = {
        {"*.bmp;", ".bmp"}, {"*.jpeg;*.jpg", ".jpeg"}, {"*.bmp *.dib", ".bmp"}, {"bmp", ""}, {"*.*", ""}, {"*.b?p", ""}};
    // clang-format on
    for (const auto& [pattern, extension] : extensions) {
        EXPECT_EQ(patternExtension(pattern), extension) << pattern;
    }
}

TEST(DialogHelpers, SaveNamesGetTheSelectedExtensionUnlessPresent) {
    const auto bmp = prepareFilter("Fichier image (*.bmp)|*.bmp;");
    const auto two = prepareFilter("RL (*.rl)|*.rl;|Bitmap (*.bmp)|*.bmp;");
    const auto any = prepareFilter("Tous|*.*");
    // chosen name, filters, selected type, completed name
    // clang-format off
    const std::tuple<const char*, const std::vector<FileFilter>*, int, const char*> rows[] = {
        {"/out/image", &bmp, 1, "/out/image.bmp"}, {"/out/IMAGE.BMP", &bmp, 1, "/out/IMAGE.BMP"},
        {"/out/image.png", &bmp, 1, "/out/image.png.bmp"}, {"/out/imagebmp", &bmp, 1, "/out/imagebmp.bmp"},
        {"", &bmp, 1, ""} /* cancelled */, {"/out/image", &bmp, 5, "/out/image.bmp"} /* type clamped */,
        // Types listed before the selected one count as well.
        {"a.rl", &two, 2, "a.rl"}, {"a.bmp", &two, 1, "a.bmp.rl"}, {"a", &two, 2, "a.bmp"}, {"a", &any, 1, "a"}};
    // clang-format on
    for (const auto& [chosen, filters, type, expected] : rows) {
        EXPECT_EQ(completeSaveFileName(chosen, *filters, type), expected) << chosen;
    }
    EXPECT_EQ(completeSaveFileName("a", {}, 1), "a");
}
