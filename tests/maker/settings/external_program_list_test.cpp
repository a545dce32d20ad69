// Tests of listing the external program slots and storing an edited list back.
#include "maker/settings/external_program_list.h"

#include <gtest/gtest.h>

namespace {

SettingsTable WithPrograms(const std::vector<std::string>& slots, int selected) {
  SettingsTable settings;
  for (int slot = 0; slot < kExternalProgramSlots; ++slot)
    settings.externalPrograms[size_t(slot)] = size_t(slot) < slots.size() ? slots[size_t(slot)] : "";
  settings.extPgm = selected;
  return settings;
}

std::vector<std::string> Slots(const SettingsTable& settings) {
  std::vector<std::string> slots;
  for (int slot = 0; slot < kExternalProgramSlots; ++slot) slots.push_back(settings.ExternalProgram(slot));
  return slots;
}

std::vector<std::string> Numbered(int count) {
  std::vector<std::string> programs;
  for (int i = 0; i < count; ++i) programs.push_back("prog" + std::to_string(i) + " $full$");
  return programs;
}

}  // namespace

// Catches a selection that points at the wrong entry, a stored ExtPgm outside 0..9 that
// is not taken as slot 0, or a template after an empty slot that is dropped from the list.
TEST(ExternalProgramList, ListsEveryFilledSlotAndTheSelectedOne) {
  ExternalProgramList list = ListExternalPrograms(WithPrograms({"a", "b", "c"}, 2));
  EXPECT_EQ(list.entries, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(list.selected, 2);
  EXPECT_EQ(list.text, "c");

  list = ListExternalPrograms(WithPrograms({"a", "b"}, 12));
  EXPECT_EQ(list.selected, 0);
  EXPECT_EQ(list.text, "a");

  list = ListExternalPrograms(WithPrograms({"a", "", "c"}, 2));
  EXPECT_EQ(list.entries, (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(list.selected, 1);
  EXPECT_EQ(list.text, "c");

  list = ListExternalPrograms(WithPrograms({"a"}, 5));
  EXPECT_EQ(list.selected, -1);
  EXPECT_EQ(list.text, "");
}

// Catches a typed command that is not inserted at the top or not selected, a full list
// that keeps eleven entries, an existing command inserted twice, or an empty text stored
// as a program.
TEST(ExternalProgramList, StoringPutsANewCommandFirstAndSelectsIt) {
  SettingsTable settings = WithPrograms(Numbered(10), 4);
  StoreExternalPrograms(settings, Numbered(10), "newprog \"$full$\"");
  std::vector<std::string> expected = Numbered(9);
  expected.insert(expected.begin(), "newprog \"$full$\"");
  EXPECT_EQ(Slots(settings), expected);  // the old slot 9 is gone
  EXPECT_EQ(settings.extPgm, 0);

  settings = WithPrograms(Numbered(3), 0);
  StoreExternalPrograms(settings, Numbered(3), "prog2 $full$");
  EXPECT_EQ(Slots(settings), (std::vector<std::string>{Numbered(3)[0], Numbered(3)[1], Numbered(3)[2], "", "", "", "",
                                                        "", "", ""}));
  EXPECT_EQ(settings.extPgm, 2);

  settings = WithPrograms(Numbered(3), 2);
  StoreExternalPrograms(settings, Numbered(3), "");
  EXPECT_EQ(Slots(settings)[0], Numbered(3)[0]);
  EXPECT_EQ(Slots(settings)[3], "");
  EXPECT_EQ(settings.extPgm, 0);
}

// Catches a template after an empty slot lost when the list is stored back.
TEST(ExternalProgramList, TemplatesAfterAGapSurviveARoundTrip) {
  SettingsTable settings = WithPrograms({"a", "", "", "d"}, 3);
  const ExternalProgramList list = ListExternalPrograms(settings);
  StoreExternalPrograms(settings, list.entries, list.text);
  EXPECT_EQ(Slots(settings), (std::vector<std::string>{"a", "d", "", "", "", "", "", "", "", ""}));
  EXPECT_EQ(settings.SelectedExternalProgram(), "d");
}
