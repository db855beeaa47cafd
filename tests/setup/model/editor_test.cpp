// The settings editor driven as the window drives it, seen through a view
// that records what it was told.

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "setup/model/editor.h"

namespace velkor::setup {
namespace {

struct RecordingView : View {
  std::vector<Message> messages;
  std::vector<std::string> titles;
  std::map<std::string, std::string, std::less<>> texts;
  std::map<std::string, bool, std::less<>> enabled, visible, checked, warning;
  std::map<std::string, int, std::less<>> pictures;
  std::string focus, help;

  void ShowMessage(const Message& message) override { messages.push_back(message); }
  void SetTitle(std::string_view title) override { titles.emplace_back(title); }
  void SetText(std::string_view control, std::string_view text) override { texts[std::string(control)] = text; }
  void SetChecked(std::string_view control, bool on) override { checked[std::string(control)] = on; }
  void SetEnabled(std::string_view control, bool on) override { enabled[std::string(control)] = on; }
  void SetVisible(std::string_view control, bool on) override { visible[std::string(control)] = on; }
  void Focus(std::string_view control) override { focus = control; }
  void SetWarning(std::string_view control, bool on) override { warning[std::string(control)] = on; }
  void SetPicture(std::string_view control, int image) override { pictures[std::string(control)] = image; }
  void SetHelp(std::string_view text) override { help = text; }
};

struct EditorTest : ::testing::Test {
  EditorTest() { editor.StartUp(); }

  // Focus, type, Enter: what the user does in one field.
  bool Enter(FieldId field, std::string_view text) {
    editor.GotFocus(field);
    editor.TextChanged(field, text);
    return editor.Accept(field);
  }

  RecordingView view;
  SettingsEditor editor{view};
};

constexpr FieldId Data(int i) { return {FieldGroup::Data, i}; }
constexpr FieldId Vel(int i) { return {FieldGroup::Vel, i}; }
constexpr FieldId kERes{FieldGroup::EncoderRes, 0};

TEST_F(EditorTest, ARejectedEntryIsToldAndTheSavedTextComesBack) {
  ASSERT_TRUE(editor.SelectMode(0, Mode::Torque));
  ASSERT_TRUE(Enter(Data(0), "-100"));
  EXPECT_EQ(view.texts["FenwaMV.mpos(0)"], "-1023");
  EXPECT_FALSE(Enter(Data(0), "100.5"));
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0], (Message{"Invalid Input", "Torque cannot exceed +/-100!", Icon::Exclamation}));
  EXPECT_EQ(view.texts["PrePos(0)"], "-100");
  EXPECT_EQ(editor.Settings().functions[0].data, "-100");
  EXPECT_EQ(view.focus, "PrePos(0)");

  EXPECT_FALSE(Enter(Vel(1), "fast"));
  EXPECT_EQ(view.messages.back(), (Message{"Invalid Input", "Values Must Be Numbers Only!", Icon::Exclamation}));
  EXPECT_EQ(view.texts["PreVel(1)"], "0");
  // Arrow keys accept too; a rejection keeps the focus where it is.
  editor.GotFocus(Data(0));
  editor.TextChanged(Data(0), "x");
  EXPECT_EQ(editor.KeyDown(Data(0), Key::Down), Data(0));
  editor.TextChanged(Data(0), "7.25");
  EXPECT_EQ(editor.KeyDown(Data(0), Key::Down), Data(1));
  EXPECT_EQ(view.focus, "PrePos(1)");
  EXPECT_EQ(view.texts["FenwaMV.mpos(0)"], "74") << "7.25 % torque";

  // A scale field holding only "-" is refused as it is typed.
  editor.GotFocus({FieldGroup::Scale, 0});
  editor.TextChanged({FieldGroup::Scale, 0}, "-");
  EXPECT_EQ(view.messages.back().text, "Values Must Be Positive Integer Numbers Only!");
  EXPECT_EQ(editor.Settings().encCounts, "2000");
}

TEST_F(EditorTest, AScaleThatWouldOverdriveAnAccelerationLeavesTheModelAsItWas) {
  ASSERT_TRUE(Enter({FieldGroup::Acc, 2}, "4000"));
  ASSERT_TRUE(Enter(Data(2), "1.5"));
  AxisSettings before = editor.Settings();
  EXPECT_FALSE(Enter({FieldGroup::Scale, 0}, "4000"));
  EXPECT_NE(view.messages.back().text.find("Accel Set Too High!!"), std::string::npos);
  EXPECT_EQ(editor.Settings(), before);
  EXPECT_EQ(view.texts["sf(0)"], "2000");
  EXPECT_EQ(view.texts["FenwaMV.mpos(2)"], "3000");
}

TEST_F(EditorTest, AnEmptyResolutionIsAskedForBeforeAnyOtherField) {
  editor.TextChanged(kERes, "");
  ASSERT_TRUE(editor.Accept(kERes));
  EXPECT_FALSE(editor.GotFocus({FieldGroup::Acc, 7}));
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].title, "Need Encoder Resolution Input !");
  EXPECT_EQ(view.messages[0].text, "Please Enter Encoder Resolution!");
  EXPECT_EQ(view.focus, "ERes");
  EXPECT_TRUE(view.warning["ERes"]);
  EXPECT_TRUE(editor.EncoderResForced());
  EXPECT_FALSE(editor.GotFocus({FieldGroup::LimVal, 2}));
  EXPECT_EQ(view.messages.size(), 2u);

  ASSERT_TRUE(Enter(kERes, "1000"));
  EXPECT_FALSE(view.warning["ERes"]);
  EXPECT_TRUE(editor.GotFocus({FieldGroup::Acc, 7}));
  EXPECT_FALSE(editor.EncoderResForced());
  EXPECT_EQ(view.focus, "PreAcc(7)");
}

TEST_F(EditorTest, TheTitleMarksTheFirstChangeAfterAFileIsShown) {
  ASSERT_TRUE(Enter(Data(0), "1"));
  EXPECT_EQ(editor.Title(), "Fenwa v2.004 :") << "no file, no mark";
  EXPECT_TRUE(editor.Settings().changesMade);
  editor.Saved("a.adf");
  EXPECT_EQ(view.titles.back(), "Fenwa v2.004 :a.adf");
  EXPECT_FALSE(editor.Settings().changesMade);
  const std::size_t titlesBefore = view.titles.size();
  ASSERT_TRUE(Enter(Data(0), "2"));
  editor.SetNoGo(3, true);
  editor.ChoosePowerUp(1);
  EXPECT_EQ(view.titles.size(), titlesBefore + 1) << "the mark is appended once";
  EXPECT_EQ(view.titles.back(), "Fenwa v2.004 :a.adf: ! Changes Made !");

  AxisSettings file;
  file.functions[1].data = "5";
  editor.Opened(file, "b.adf");
  EXPECT_EQ(view.titles.back(), "Fenwa v2.004 :b.adf");
  EXPECT_TRUE(editor.Settings().changesMade);
  EXPECT_EQ(view.texts["PrePos(1)"], "5");
  editor.SelectMode(1, Mode::Relative);
  EXPECT_EQ(view.titles.back(), "Fenwa v2.004 :b.adf: ! Changes Made !");
}

TEST_F(EditorTest, ModesAndUnitsKeepTheirCaptionsAndMotorValues) {
  ASSERT_TRUE(Enter(Data(0), "5"));
  ASSERT_TRUE(Enter(Data(1), "40"));
  ASSERT_TRUE(Enter(Vel(3), "360"));
  ASSERT_TRUE(editor.SelectMode(0, Mode::Torque));
  EXPECT_EQ(view.texts["PrePos(0)"], "0");
  EXPECT_EQ(view.texts["FenwaMV.mpos(0)"], "0");
  EXPECT_FALSE(view.enabled["PreVel(0)"]);
  ASSERT_TRUE(editor.SelectMode(1, Mode::ELimit));
  ASSERT_TRUE(editor.SelectMode(2, Mode::Shunt));
  EXPECT_FALSE(view.visible["PreAcc(2)"]);
  ASSERT_TRUE(Enter(Data(0), "50"));

  ASSERT_TRUE(editor.SelectUnit(Unit::Degree));
  EXPECT_EQ(view.texts["UnitPos(0)"], "%T");
  EXPECT_EQ(view.texts["UnitPos(1)"], "Cnts");
  EXPECT_EQ(view.texts["UnitVel(2)"], " Dynamically Shunt to Stop");
  EXPECT_EQ(view.texts["UnitPos(3)"], "deg");
  EXPECT_EQ(view.texts["UnitVel(3)"], "deg/s");
  EXPECT_EQ(view.texts["LimUnit(5)"], "deg/s");
  EXPECT_EQ(view.texts["FenwaMV.mvel(3)"], "32213");

  ASSERT_TRUE(Enter({FieldGroup::Scale, 0}, "4000"));
  EXPECT_EQ(view.texts["FenwaMV.mpos(0)"], "512") << "torque is no position";
  EXPECT_EQ(view.texts["FenwaMV.mpos(1)"], "40") << "counts are no position";
  EXPECT_EQ(view.texts["FenwaMV.mvel(3)"], "32213") << "degrees go by the resolution";
}

TEST_F(EditorTest, HomeOptionsFollowTheMethodAndDirection) {
  EXPECT_FALSE(view.enabled["HomeChecked(3)"]) << "no home method chosen at start";
  editor.ChooseHomeMethod(1);
  editor.CheckHome(3, true);
  editor.CheckHome(4, true);
  EXPECT_TRUE(view.enabled["HomeChecked(4)"]);
  EXPECT_EQ(view.texts["FenwaMV.HomeOps"], "26");
  EXPECT_EQ(view.pictures["HomePic"], 8);
  EXPECT_EQ(view.texts["HomehsLim(2)"], "Home to Limit Switch (Port D)");
  editor.CheckHome(4, false);
  EXPECT_EQ(view.texts["HomehsLim(2)"], "Home to Limit Switch (Port C)");

  editor.ChooseHomeMethod(0);
  for (const char* box : {"HomeChecked(3)", "HomeChecked(4)"}) {
    EXPECT_FALSE(view.checked[box]) << box;
    EXPECT_FALSE(view.enabled[box]) << box;
  }
  EXPECT_EQ(view.texts["FenwaMV.HomeOps"], "1");
  EXPECT_EQ(view.pictures["HomePic"], 1);

  editor.ChoosePowerUp(2);
  editor.CheckInvert(true);
  editor.ChooseFaultAction(1);
  EXPECT_EQ(view.texts["FenwaMV.PwrUpOps"], "12");
  EXPECT_EQ(view.texts["FenwaMV.FaultOps"], "1");
  editor.SetOptionBytes({1, 0, 8});  // a home byte without a picture
  EXPECT_EQ(view.pictures["HomePic"], 1) << "the picture stays as it was";
  EXPECT_TRUE(view.checked["HomeOption(0)"]);
  EXPECT_TRUE(view.checked["FaultAction(0)"]);
}

TEST_F(EditorTest, HelpFollowsIndexModeAndScreen) {
  editor.ShowHelp("PosIndex", 5);
  EXPECT_EQ(view.help, "Binary Input Sum for Inputs A thru D, DCBA = 0101 = Dec.5");
  editor.ShowHelp("PrePos", 2);
  EXPECT_EQ(view.help, "Enter Position Data as an Absolute Value of where to go");
  editor.SelectMode(2, Mode::Torque);
  editor.ShowHelp("PrePos", 2);
  EXPECT_EQ(view.help, "Enter 0 to +/-100% for Open Loop Torque Mode Operation. ");
  editor.ShowHelp("Command5");
  EXPECT_EQ(view.help, "Click to Show Settings For Homing, Power-Up, Limits, Etc....");
  editor.SwitchScreen();
  EXPECT_EQ(view.texts["Command5"], "Show Data Table");
  editor.ShowHelp("Command5");
  EXPECT_EQ(view.help, "Click to Return to Main 16 Funtion Settings");
}

}  // namespace
}  // namespace velkor::setup
