// The set-up rules the window and the command line share.

#include "monmonier/AnalysisSetup.h"

#include <gtest/gtest.h>

using namespace sundrel;

namespace {

TEST(AnalysisSetup, TitleIsTheFileNameCutBeforeItsLastDot)
{
    EXPECT_EQ(ProposedTitle("/data/run 2/resampled.boot.txt"), "resampled.boot");
    EXPECT_EQ(ProposedTitle("distances.txt"), "distances");
    EXPECT_EQ(ProposedTitle("/data/matrices"), "");
    EXPECT_EQ(ProposedTitle(".hidden"), "");
}

TEST(AnalysisSetup, StatusCountsMatricesAndChecksTheirSize)
{
    LoadedMatricesStatus one = MatricesStatus(1, 40, 40);
    EXPECT_EQ(one.text, "Status : 1 matrix loaded (size : 40 x 40)");
    EXPECT_TRUE(one.compatible);
    LoadedMatricesStatus many = MatricesStatus(10, 40, 40);
    EXPECT_EQ(many.text, "Status : 10 matrices loaded (size : 40 x 40)");
    LoadedMatricesStatus wrong = MatricesStatus(2, 39, 40);
    EXPECT_EQ(wrong.text, "Status : 2 matrices loaded (size : 39 x 39)\n"
                          "Error : incompatible matrix size (expected size : 40 x 40)");
    EXPECT_FALSE(wrong.compatible);
}

TEST(AnalysisSetup, CaptionNamesTheNumberAboveTen)
{
    EXPECT_EQ(SundrelNumberCaption(1), " Number of sundrels ");
    EXPECT_EQ(SundrelNumberCaption(10), " Number of sundrels ");
    EXPECT_EQ(SundrelNumberCaption(15), " Number of sundrels : 15 ");
}

} // namespace
