// PlayerSession: the edits of the play list window, applied to the list as they are made.
#include "player/control/player_session.h"

void PlayerSession::EditList(std::vector<std::string> entries, int current, bool currentRemoved,
                             const std::vector<ListEntry>& described) {
  const bool hadCurrent = list_.Index() >= 0;
  list_.Describe(described);
  list_.Assign(std::move(entries));
  list_.Select(current);
  if (!hadCurrent && list_.Index() < 0) list_.Select(0);
  if (currentRemoved && facade_) {
    // What plays is no longer in the list: it stops, and Play starts the entry that took
    // its place.
    Stop();
    host_.ClearFields();
  }
  Tell(SessionChange::List);
}

void PlayerSession::PlayEntry(int index) {
  if (index < 0 || index >= list_.Count()) return;
  if (index == list_.Index() && CurrentIsLoaded()) {
    if (paused_) Play();
    return;
  }
  list_.Select(index);
  Stop();
  host_.ClearFields();
  Play();
}

bool PlayerSession::CurrentIsLoaded() const {
  const std::string* current = list_.Current();
  return current != nullptr && facade_ != nullptr && *current == loadedFile_;
}
