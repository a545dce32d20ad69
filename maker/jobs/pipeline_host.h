// What the job pipeline needs from the program that shows it: lists, logs, controls, boxes.
#pragma once

#include <string>
#include <vector>

#include "cdaccess/cd_source.h"
#include "cdaccess/track_table.h"
#include "maker/jobs/existing_outputs.h"
#include "maker/jobs/job_status.h"
#include "maker/jobs/maker_control.h"
#include "maker/metadata/cd_info.h"
#include "maker/worker/worker_host.h"

struct RunSummary;  // run_notice.h

// The four conversion operations, one per radio button of the main window.
enum class Operation { CD2MP3, CD2WAV, WAV2MP3, MP32WAV };

// Every entry runs on the main thread. Controls are addressed as MakerControl values, which
// a window maps to its widgets (a host without windows may ignore them). Rows are 0-based
// here. The pipeline keeps the state of its jobs itself (JobTable) and never reads it back
// from a row: a host renders a row's status word from the JobStatus it is given
// (StatusWord), and answers what a row is about (a track's name, a file's path).
class PipelineHost : public WorkerHost {
 public:
  virtual Operation SelectedOperation() const = 0;
  // Checks the radio button of the operation (the command line selects WAV2MP3).
  virtual void SelectOperation(Operation operation) = 0;

  virtual int RowCount(JobList list) const = 0;
  // The name column of a track row ("" when it has none).
  virtual std::string TrackName(int row) const = 0;
  // The path of a file row.
  virtual std::string FilePath(int row) const = 0;
  // Shows `status` as the row's status word (StatusWord), the rest of the row unchanged.
  virtual void SetRowStatus(JobList list, int row, JobStatus status) = 0;
  virtual bool RowSelected(JobList list, int row) const = 0;
  virtual void SetRowSelected(JobList list, int row, bool selected) = 0;
  virtual void AppendRow(JobList list, const std::string& text) = 0;

  virtual void ClearLog(MakerLog log) = 0;

  virtual void SetControlEnabled(MakerControl control, bool enabled) = 0;
  virtual void SetControlVisible(MakerControl control, bool visible) = 0;
  virtual void SetControlHint(MakerControl control, const std::string& hint) = 0;
  // Check mark of a menu item (MakerControl::MenuOptionsPriorityNormal, ...).
  virtual void SetMenuChecked(MakerControl item, bool checked) = 0;

  // An error box with the given text and caption (the question-mark icon of the maker).
  virtual void ShowError(const std::string& text, const std::string& caption) = 0;
  // Asked once before a run (with ConfirmOverwrite) when outputs of its jobs exist already:
  // `paths` are those outputs, each once. A window asks with one box listing them; a
  // host without a person answers by its own rule.
  virtual ReplaceAnswer AskReplaceExisting(const std::vector<std::string>& paths) = 0;
  virtual void Beep() = 0;
  virtual void BringToFront() = 0;
  // A run that was not cancelled has ended (after the beeps): a host may tell the desktop.
  virtual void RunDone(const RunSummary& /*run*/) {}

  // Index of the drive chosen in InputCDComboBox (0 when there is none).
  virtual int SelectedDrive() const = 0;
  // The table of contents the track rows were made from; nullptr when none was read.
  virtual const TrackTable* DiscTable() const { return nullptr; }
  // Vendor and model of the chosen drive (its read offset is kept under them).
  virtual CdDriveIdentity SelectedDriveIdentity() const { return {}; }
  // Shows what proves a track row's rip ("accurately ripped (confidence 12, v2)") beside
  // its status; an empty text clears it.
  virtual void SetRowVerification(int /*row*/, const std::string& /*text*/) {}
  // The CD information window's state: disc fields, naming pattern and the ID3 choice.
  virtual CdInfo CdInformation() const = 0;
};

inline constexpr const char* kMakerErrorCaption = "zbmaker (Zimbar MP3 Maker) Error";
inline constexpr const char* kMakerConfirmCaption = "zbmaker Confirmation";
