// The outputs a run is about to write that exist already, found before the run starts, and
// the one question that decides for all of them.
#pragma once

#include <string>
#include <vector>

// A job of a run and the file it writes: a track (1-based) or a file row (0-based).
struct PlannedOutput {
  int row = 0;
  std::string path;
  bool operator==(const PlannedOutput&) const = default;
};

// The answer to the question about the existing outputs of a run.
enum class ReplaceAnswer {
  ReplaceAll,  // the run replaces them
  KeepAll,     // the jobs that would replace one are skipped; their outputs stay as they are
  Cancel,      // the run does not start
};

// The planned outputs that exist (any kind of file at the path, a link to nothing
// included), in their order.
std::vector<PlannedOutput> ExistingOutputs(const std::vector<PlannedOutput>& planned);
// Their paths in their order, each once (two jobs may name one file).
std::vector<std::string> DistinctPaths(const std::vector<PlannedOutput>& outputs);

// Whether `row` is one of the jobs of `outputs`.
bool HasRow(const std::vector<PlannedOutput>& outputs, int row);

// The question's text: how many outputs exist and their paths, one a line; a long list
// names its first `shownPaths` and says how many more there are.
std::string ReplaceQuestionText(const std::vector<std::string>& paths, size_t shownPaths = 20);
