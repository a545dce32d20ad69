// Row texts of the job lists: building, status replacement, name and path columns.
#include "maker/jobs/job_rows.h"

#include <gtest/gtest.h>

// Catches a wrong length column (minutes from 4500 sectors, seconds modulo 60), a name
// taken from the wrong column or running past the next tab.
TEST(JobRows, TrackRowShowsNumberLengthAndName) {
  EXPECT_EQ(TrackRowText("+", 7, 4500 * 3 + 75 * 59 + 74, "Song"), "+\tTrack 07\t03:59\tSong");
  EXPECT_EQ(TrackRowText("+", 12, 0, ""), "+\tTrack 12\t00:00\t");
  EXPECT_EQ(TrackRowName("+\tTrack 01\t03:00\tName\textra"), "Name");
  EXPECT_EQ(TrackRowName("+\tTrack 01\t03:00"), "");
}

// Catches a status change that loses or alters the rest of the row.
TEST(JobRows, StatusReplacementKeepsTheRest) {
  EXPECT_EQ(WithStatus("+\tTrack 01\t03:00\tA\tB", "Read/W"), "Read/W\tTrack 01\t03:00\tA\tB");
  EXPECT_EQ(WithStatus("/music/a b.wav", "OK:"), "OK:\t/music/a b.wav");
  EXPECT_EQ(RowStatus("Error:\t/x.wav"), "Error:");
  EXPECT_EQ(FileRowPath("Cancelled\t/a/b\tc.wav"), "/a/b\tc.wav");
  EXPECT_EQ(FileRowPath("/bare/path.wav"), "/bare/path.wav");
}

