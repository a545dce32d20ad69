// The terminal stand-in for the maker's main window.
#include "maker/batch/terminal_host.h"

TerminalHost::TerminalHost(std::FILE* out, std::FILE* err, bool isTerminal, bool answerYes)
    : out_(out), err_(err), isTerminal_(isTerminal), answerYes_(answerYes) {}

void TerminalHost::ClearStatusLine() {
  if (!statusShown_) return;
  std::fputs("\r\x1b[K", out_);
  statusShown_ = false;
}

void TerminalHost::DrawStatusLine() {
  std::string line;
  for (const auto& [panel, text] : status_) {
    // Idle panels say nothing worth a place on the one line.
    if (text.empty() || text.find(": Idle") != std::string::npos) continue;
    if (!line.empty()) line += " |";
    line += text;
  }
  if (line.empty()) return;
  std::fputs(line.c_str(), out_);
  statusShown_ = true;
  std::fflush(out_);
}

void TerminalHost::FinishStatusLine() {
  if (isTerminal_) ClearStatusLine();
  std::fflush(out_);
}

void TerminalHost::PrintLine(const std::string& line) {
  if (isTerminal_) ClearStatusLine();
  std::fputs(line.c_str(), out_);
  std::fputc('\n', out_);
  if (isTerminal_) DrawStatusLine();
  std::fflush(out_);
}

void TerminalHost::AppendLog(MakerLog, const std::string& line) { PrintLine(line); }

void TerminalHost::SetStatusText(MakerPanel panel, const std::string& text) {
  std::string& current = status_[panel];
  if (current == text) return;
  current = text;
  if (isTerminal_) {
    ClearStatusLine();
    DrawStatusLine();
  } else if (text.find(": Idle") == std::string::npos) {
    PrintLine(text);
  }
}

bool TerminalHost::AskYesNo(const std::string& text, const std::string&) {
  return Answer(text, answerYes_, answerYes_ ? "Yes (--yes)" : "No (use --yes to overwrite)");
}

bool TerminalHost::Answer(const std::string& question, bool yes, const char* why) {
  PrintLine(question + " " + why);
  return yes;
}

int TerminalHost::RowCount(JobList list) const { return static_cast<int>(Rows(list).size()); }

std::string TerminalHost::RowText(JobList list, int row) const {
  const auto& rows = Rows(list);
  return row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(row)].text : std::string();
}

void TerminalHost::SetRowText(JobList list, int row, const std::string& text) {
  auto& rows = Rows(list);
  if (row >= 0 && row < static_cast<int>(rows.size())) rows[static_cast<size_t>(row)].text = text;
}

bool TerminalHost::RowSelected(JobList list, int row) const {
  const auto& rows = Rows(list);
  return row >= 0 && row < static_cast<int>(rows.size()) && rows[static_cast<size_t>(row)].selected;
}

void TerminalHost::SetRowSelected(JobList list, int row, bool selected) {
  auto& rows = Rows(list);
  if (row >= 0 && row < static_cast<int>(rows.size())) rows[static_cast<size_t>(row)].selected = selected;
}

void TerminalHost::AppendRow(JobList list, const std::string& text) { Rows(list).push_back({text, false}); }

void TerminalHost::ShowError(const std::string& text, const std::string& caption) {
  if (isTerminal_) ClearStatusLine();
  std::fflush(out_);
  std::fprintf(err_, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(err_);
}

void TerminalHost::Beep() {
  if (!isTerminal_) return;
  std::fputc('\a', out_);
  std::fflush(out_);
}
