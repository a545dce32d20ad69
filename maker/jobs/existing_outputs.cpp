// The outputs of a run that exist already.
#include "maker/jobs/existing_outputs.h"

#include <sys/stat.h>

#include <algorithm>

std::vector<PlannedOutput> ExistingOutputs(const std::vector<PlannedOutput>& planned) {
  std::vector<PlannedOutput> existing;
  for (const PlannedOutput& output : planned) {
    struct stat info {};
    if (!output.path.empty() && ::lstat(output.path.c_str(), &info) == 0) existing.push_back(output);
  }
  return existing;
}

std::vector<std::string> DistinctPaths(const std::vector<PlannedOutput>& outputs) {
  std::vector<std::string> paths;
  for (const PlannedOutput& output : outputs)
    if (std::find(paths.begin(), paths.end(), output.path) == paths.end()) paths.push_back(output.path);
  return paths;
}

bool HasRow(const std::vector<PlannedOutput>& outputs, int row) {
  return std::any_of(outputs.begin(), outputs.end(), [row](const PlannedOutput& output) { return output.row == row; });
}

std::string ReplaceQuestionText(const std::vector<std::string>& paths, size_t shownPaths) {
  std::string text = paths.size() == 1 ? "This file exists already:\n"
                                       : std::to_string(paths.size()) + " files exist already:\n";
  const size_t shown = std::min(paths.size(), shownPaths);
  for (size_t i = 0; i < shown; ++i) text += "\n" + paths[i];
  if (paths.size() > shown) text += "\n... and " + std::to_string(paths.size() - shown) + " more";
  text += paths.size() == 1 ? "\n\nReplace it, or keep it and skip its job?"
                            : "\n\nReplace them all, or keep them all and skip their jobs?";
  return text;
}
