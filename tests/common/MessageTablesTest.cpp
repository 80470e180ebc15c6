// The message tables: every one of them in one translation unit (a name
// given by two tables would not compile), and the texts with values that no
// run of the program shows easily.

#include "cli/Messages.h"
#include "common/Messages.h"
#include "import/Messages.h"
#include "matrix/Messages.h"
#include "model/Messages.h"
#include "monmonier/Messages.h"
#include "render/Messages.h"

#include <gtest/gtest.h>

using namespace sundrel;

namespace {

TEST(MessageTables, TextsWithValuesReadAsUsersSeeThem)
{
    // Cells that do not match the matrix: the leading line break is part of
    // the text.
    EXPECT_EQ(msg::SegmentNotInCell(3, -1, 7), "\nref0 = 3 next0 = -1 k = 7");
    EXPECT_EQ(msg::TooManySundrels(5000, 999),
              "Too many sundrels: 5000 matrices x 999 sundrels (at most 4194304 in all)");
    // Sizes in the command line's disk message use the import's units.
    EXPECT_EQ(msg::NotEnoughSpaceInFolder("/tmp", 3LL * 1073741824 + 1, 1025),
              "Not enough space on disk in /tmp (requested : 3 Gb, available : 1 Kb); choose "
              "another folder with --temp-dir");
}

} // namespace
