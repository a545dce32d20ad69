// The controls the job pipeline addresses and their window names.
#include "maker/jobs/maker_control.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

// The window names its widgets and the language files name controls with these texts.
// Catches two controls given one name (one widget would get both calls) and a name that is
// not the value's own (the language file entry of that control would not match).
TEST(MakerControl, EveryControlHasItsOwnWindowName) {
  std::set<std::string> names;
  for (const MakerControl control : kMakerControls) {
    const std::string name = ControlName(control);
    EXPECT_FALSE(name.empty());
    EXPECT_TRUE(names.insert(name).second) << name << " is given twice";
  }
  EXPECT_STREQ(ControlName(MakerControl::CD2MP3RadioButton), "CD2MP3RadioButton");
  EXPECT_STREQ(ControlName(MakerControl::StartButton), "StartButton");
  EXPECT_STREQ(ControlName(MakerControl::MenuOptionsPriorityHighest), "MenuOptionsPriorityHighest");
}

// Catches a priority level checked as the menu item of its neighbour.
TEST(MakerControl, EachPriorityLevelHasItsMenuItem) {
  const std::pair<ThreadPriority, const char*> items[] = {
      {ThreadPriority::Idle, "MenuOptionsPriorityIdle"},     {ThreadPriority::Lowest, "MenuOptionsPriorityLowest"},
      {ThreadPriority::Lower, "MenuOptionsPriorityLower"},   {ThreadPriority::Normal, "MenuOptionsPriorityNormal"},
      {ThreadPriority::Higher, "MenuOptionsPriorityHigher"}, {ThreadPriority::Highest, "MenuOptionsPriorityHighest"}};
  for (const auto& [level, name] : items) EXPECT_STREQ(ControlName(PriorityMenuItem(level)), name);
}
