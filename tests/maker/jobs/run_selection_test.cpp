// The selection a run starts from is given back when it ends, so that Start repeats it.
#include "maker/jobs/job_pipeline.h"

#include "pipeline_fixture.h"

// Catches a CD run that leaves no track selected (Start is then disabled and the same
// rip must be chosen again), one that selects the track the user left out, and a file run
// that leaves the row it worked on last selected instead of the user's selection.
TEST_F(PipelineTest, ARunKeepsTheSelectionSoStartRepeatsIt) {
  host.operation = Operation::CD2WAV;
  host.AddTracks(3);
  host.tracks[1].selected = false;
  factory.reader = ReaderWrites;
  StartAndFinish();
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK + OK");
  EXPECT_TRUE(host.tracks[0].selected);
  EXPECT_FALSE(host.tracks[1].selected);
  EXPECT_TRUE(host.tracks[2].selected);
  EXPECT_TRUE(host.enabled["StartButton"]);
  StartAndFinish();
  EXPECT_EQ(factory.calls, (std::vector<std::string>{"read 1", "read 3", "read 1", "read 3"}));

  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav", "b.wav", "c.wav"});
  host.files[1].selected = true;
  factory.encoder = Always<EncoderJob>({});
  StartAndFinish();
  EXPECT_EQ(host.Statuses(JobList::Files), "OK: OK: OK:");
  EXPECT_FALSE(host.files[0].selected);
  EXPECT_TRUE(host.files[1].selected);
  EXPECT_FALSE(host.files[2].selected);
  EXPECT_TRUE(host.enabled["RemoveButton"]);
}
