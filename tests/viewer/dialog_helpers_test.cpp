#include "dialog_helpers.h"

#include <gtest/gtest.h>

using namespace viewer;

TEST(StripAtNull, CutsAtTheFirstNul) {
    EXPECT_EQ(StripAtNull("/home/u/a.bmp"), "/home/u/a.bmp");
    EXPECT_EQ(StripAtNull(std::string_view("\0abc", 4)), "");
    EXPECT_EQ(StripAtNull(std::string_view("/a.bmp\0\0junk", 12)), "/a.bmp");
    EXPECT_EQ(StripAtNull(""), "");
}

TEST(PrepareFilter, PairsWithOrWithoutTheFinalBar) {
    const auto open = prepareFilter("Fichier BMP (*.bmp)|*.bmp");
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].description, "Fichier BMP (*.bmp)");
    EXPECT_EQ(open[0].pattern, "*.bmp");

    const auto save = prepareFilter("Fichier image (*.bmp)|*.bmp;|Tous (*.*)|*.*|");
    ASSERT_EQ(save.size(), 2u);
    EXPECT_EQ(save[0].pattern, "*.bmp;");
    EXPECT_EQ(save[1].description, "Tous (*.*)");
    EXPECT_EQ(save[1].pattern, "*.*");

    // The system dialog stops at an empty description or a description without pattern.
    EXPECT_TRUE(prepareFilter("").empty());
    EXPECT_TRUE(prepareFilter("|*.bmp|").empty());
    EXPECT_EQ(prepareFilter("A|*.a|B").size(), 1u);
    EXPECT_EQ(prepareFilter("A|*.a||*.b|C|*.c").size(), 1u);
}

TEST(DialogNameFilter, KeepsDescriptionsThatShowTheirPatterns) {
    EXPECT_EQ(dialogNameFilter({"Fichier BMP (*.bmp)", "*.bmp"}), "Fichier BMP (*.bmp)");
    EXPECT_EQ(dialogNameFilter({"Fichier image compress\u00E9(*.bmp)", "*.bmp;"}),
              "Fichier image compress\u00E9(*.bmp)");
    EXPECT_EQ(dialogNameFilter({"Images", "*.bmp;*.rl"}), "Images (*.bmp *.rl)");
    EXPECT_EQ(dialogNameFilter({"Bitmaps (*.bmp)", "*.bmp;*.dib"}), "Bitmaps (*.bmp) (*.bmp *.dib)");
}

TEST(CompleteSaveFileName, AppendsTheSelectedExtensionUnlessPresent) {
    const auto filters = prepareFilter("Fichier image (*.bmp)|*.bmp;");
    EXPECT_EQ(completeSaveFileName("/out/image", filters, 1), "/out/image.bmp");
    EXPECT_EQ(completeSaveFileName("/out/image.bmp", filters, 1), "/out/image.bmp");
    EXPECT_EQ(completeSaveFileName("/out/IMAGE.BMP", filters, 1), "/out/IMAGE.BMP");
    EXPECT_EQ(completeSaveFileName("/out/image.Bmp", filters, 1), "/out/image.Bmp");
    EXPECT_EQ(completeSaveFileName("/out/image.png", filters, 1), "/out/image.png.bmp");
    EXPECT_EQ(completeSaveFileName("/out/imagebmp", filters, 1), "/out/imagebmp.bmp");
    EXPECT_EQ(completeSaveFileName("", filters, 1), "");                          // cancelled
    EXPECT_EQ(completeSaveFileName("/out/image", filters, 5), "/out/image.bmp");  // clamped

    // The extensions of the types listed before the selected one are accepted as well.
    const auto two = prepareFilter("RL (*.rl)|*.rl;|Bitmap (*.bmp)|*.bmp;");
    EXPECT_EQ(completeSaveFileName("a.rl", two, 2), "a.rl");
    EXPECT_EQ(completeSaveFileName("a.bmp", two, 1), "a.bmp.rl");
    EXPECT_EQ(completeSaveFileName("a", two, 2), "a.bmp");

    // A type that names no single extension adds nothing.
    const auto any = prepareFilter("Tous|*.*");
    EXPECT_EQ(completeSaveFileName("a", any, 1), "a");
    EXPECT_EQ(completeSaveFileName("a", {}, 1), "a");
}

TEST(PatternExtension, FollowsTheStarUpToTheSeparator) {
    EXPECT_EQ(patternExtension("*.bmp;"), ".bmp");
    EXPECT_EQ(patternExtension("*.jpeg;*.jpg"), ".jpeg");
    EXPECT_EQ(patternExtension("*.bmp *.dib"), ".bmp");
    EXPECT_EQ(patternExtension("bmp"), "");
    EXPECT_EQ(patternExtension("*"), "");
    EXPECT_EQ(patternExtension("*.*"), "");
    EXPECT_EQ(patternExtension("*.b?p"), "");
}

TEST(FolderOfPath, CutBeforeTheLastSlash) {
    EXPECT_EQ(folderOfPath("/media/d/Images/logo.bmp"), "/media/d/Images");
    EXPECT_EQ(folderOfPath("/logo.bmp"), "/");
    EXPECT_EQ(folderOfPath("logo.bmp"), "");
    EXPECT_EQ(folderOfPath("/media/d/Images/"), "/media/d/Images");
}
