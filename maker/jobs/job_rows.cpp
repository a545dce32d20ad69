// Row texts of the two job lists.
#include "maker/jobs/job_rows.h"

#include <cstdio>

std::string TrackRowText(std::string_view status, int track, long lengthSectors, std::string_view name) {
  char middle[64];
  std::snprintf(middle, sizeof middle, "\tTrack %02i\t%02li:%02li\t", track, lengthSectors / 4500,
                (lengthSectors / 75) % 60);
  std::string row(status);
  row += middle;
  row += name;
  return row;
}

std::string WithStatus(std::string_view row, std::string_view status) {
  const size_t tab = row.find('\t');
  std::string out(status);
  out += '\t';
  out += tab == std::string_view::npos ? row : row.substr(tab + 1);
  return out;
}

std::string RowStatus(std::string_view row) { return std::string(row.substr(0, row.find('\t'))); }

std::string FileRowPath(std::string_view row) {
  const size_t tab = row.find('\t');
  return std::string(tab == std::string_view::npos ? row : row.substr(tab + 1));
}

std::string FileRowText(std::string_view status, std::string_view path) {
  std::string out(status);
  out += '\t';
  out += path;
  return out;
}

std::string TrackRowName(std::string_view row) {
  size_t start = 0;
  for (int tabs = 0; tabs < 3; ++tabs) {
    const size_t tab = row.find('\t', start);
    if (tab == std::string_view::npos) return {};
    start = tab + 1;
  }
  return std::string(row.substr(start, row.find('\t', start) - start));
}
