#include "setup/model/help_texts.h"

#include <array>

namespace velkor::setup {
namespace {

constexpr int kAny = -1;  // every index of the control, or a control that is no array member

struct HelpEntry {
  std::string_view control;
  int index;
  std::string_view text;
};

constexpr std::array<std::string_view, 10> kLimitHelp = {
    "Sets Maximum Allowable Following Error for All Closed-Loop Modes",
    "Sets Maximum Allowable Following Error for Home Routine",
    "Sets Maximum Allowable Torque for All Closed-Loop Modes",
    "Sets Maximum Allowable Torque Limit for Home Routine., Typically <400",
    "Sets Distance from Detected Home to set Zero Position",
    "Sets Home Routine Velocity",
    "Sets Home Routine Acceleration",
    " Sets Positive Direction Software Travel Limit",
    " Sets Negative Direction Software Travel Limit",
    " Position Motor is set to at the end of Home sequence"};

constexpr std::array<std::string_view, 7> kGainHelp = {
    "Typically 20 to 500, sets basic gain for Drive Stage",
    "Typically 0.5 to 1.5 times KP. Helps to maintain Position",
    "Typically 5 to 1.2 times KP. Helps with Accel/Decel",
    "Helps lower Position Error for given Velocity, 0-1000 is typical.",
    "Helps lower Position Error for given Acceleration, 0-1000 is typical.",
    "Limit KI-Build-up over time, typically needed for high friction loads.",
    "Gravity Compensation, must be set to >+/-1000000 to work!"};

constexpr std::array<std::string_view, 5> kDataHelp = {
    "Enter Position Data as an Absolute Value of where to go",
    "Enter Position Data as a Relative Offset Value from where you are",
    "N/A Standard Velocity Mode Move with Normal SetUp Limits. ",
    "Enter Encoder Count Following Error for Constant Velocity Move. ",
    "Enter 0 to +/-100% for Open Loop Torque Mode Operation. "};

constexpr std::string_view kTerminalCaution = " Use Terminal With Caution !! Only Raw Motor Units Apply !!";
constexpr std::string_view kTunerHelp = " Slide to Adjust Tuning Proportionally, Does not effect KG or KL.";
constexpr std::string_view kIoHelp = "CPU level I/O States: 5VDC = Non-Active or OFF, 0VDC = Active or ON !!!";
constexpr std::string_view kJogWarning = "!! WARNING, Manual Jog Buttons Can Cause IMMEDIATE MOTION !!";
constexpr std::string_view kScaleHelp = "Scale Factor values are Encoder Counts to Real World Unit Values";

constexpr HelpEntry kHelp[] = {
    {"DataDownload", kAny, "Press To Download All Data from Screen To Selected Motor "},
    {"DataUpload", kAny, "Press To Upload All Data from Selected Motor to Screen "},
    {"DetR", kAny, "Use [Presently-Selected] Motor Encoder Resolution !"},
    {"ERes", kAny, "Enter Known or Detected Encoder Resolution for Specific Motor"},
    {"Label29", kAny, "Enter Motor Encoder Resolution in counts per revolution."},
    {"sf", kAny, kScaleHelp},
    {"Label2", kAny, kScaleHelp},
    {"Label37", kAny, kScaleHelp},
    {"PreVel", kAny, "Enter Desired Velocity"},
    {"PreAcc", kAny, "Enter Desired Acceleration"},
    {"NoGo", kAny, "Check To Force Motor to Dynamically Stop on Loss Of Go Input"},
    {"HomeOption", 0, "Motor will Call Home Routine Immediatly upon power-up!"},
    {"HomeOption", 1, "Motor Waits for First Go signal to Call Home Routine."},
    {"HomeOption", 2, "Allows Jog Control and Manual Homing at Power-Up."},
    {"HomehsLim", 0, "When Selected, Home will be defined by Present Location"},
    {"HomehsLim", 1, "Move to Hard Stop and Back off by Home-Offset Value"},
    {"HomehsLim", 2, "Move to Limit Input and Back off by Home-Offset Value"},
    {"HomeChecked", 3, "Backs Off to Index Pulse AND THEN Moves Additionally Home Offset Distance!"},
    {"HomeChecked", 4, "If Checked, Motor will Home in Positive Direction and back off to Negative!"},
    {"FaultAction", 0, "Motor shaft will be Dynamically Stopped in Case of Drive Fault"},
    {"FaultAction", 1, "Motor will Be fully Reset as if Power had been cycled off and back on!"},
    {"FaultOpt", kAny, "Drive Faults: Position Error, Over Heat, Software Travel Limits"},
    {"Invert", kAny, "Checking This will Invert Shaft Rotation for Given Commanded Direciton."},
    {"Label3", kAny, "Set Type of Homing Methode"},
    {"Label48", kAny, " Set Action of Motor Upon Power-up"},
    {"Label49", kAny, "Select Action to take in event of Drive Fault Condition."},
    {"Label4", kAny, kLimitHelp[0]},
    {"Label28", kAny, kLimitHelp[1]},
    {"Label26", kAny, kLimitHelp[3]},
    {"Percent", kAny, kLimitHelp[2]},
    // The live-control area.
    {"Picture3", kAny, "Press To scan all COM ports for any motors "},
    {"Command1", kAny, "Sets All Tuning Values to Factory Default Values"},
    {"DLtune", kAny, "Sets Temporary Tuning Values for Testing: Download Make Permanent !!"},
    {"Tuner", kAny, kTunerHelp},
    {"Label22", kAny, kTunerHelp},
    {"CommandText", kAny, "Use With Caution ! , Scale Factors Do Not Apply !!!"},
    {"ResponseText", kAny, "Note:Terminal Responses are Native Non-Scaled Units!!!"},
    {"TermLabel", kAny, kTerminalCaution},
    {"TermFrame", kAny, kTerminalCaution},
    {"JogSlowPos", kAny, "Press To Jog Slow in Forward Direction"},
    {"JogSlowNeg", kAny, "Press To Jog Slow in Reverse Direction"},
    {"JogFastPos", kAny, "Press To Jog Fast in Forward Direction"},
    {"JogFastNeg", kAny, "Press To Jog Fast in Reverse Direction"},
    {"TJog", kAny, "If Selected, Motor will Jog in Open Loop Torque Mode"},
    {"VJog", kAny, "If Selected, Motor will Jog in Closed Loop Velocity Mode"},
    {"JogStop", kAny, "Press To Stop Jogging If Stop-On-Release is not checked"},
    {"StopOnRelease", kAny, "If Checked, Motor will Stop Immediatly when Jog Buttons are released"},
    {"Record", kAny, "Press to Record Present Motor Position into Data Box to Left"},
    {"Gothere", kAny, "Press Go to Test Settings for Desired Function."},
    {"SendCmd", 0, "Press to Set Present Motor Position to Zero AND Set Home Flag !"},
    {"SendCmd", 2, "Press to Turn Off Drive Stage (Shaft will Freewheel)"},
    {"SendCmd", 3, "Press to Reset Status Bits and Hold Position"},
    {"SendCmd", 4, "Press to End Running Program in Motor"},
    {"SendCmd", 5, "Press to Reset/Run latest downloaded settings: This Clears Home Flag !"},
    {"SendCmd", 6, "Press and Hold Button to Home From Windows!"},
    {"Label23", kAny, kIoHelp},
    {"Label24", kAny, kIoHelp},
    {"Label25", kAny, kJogWarning},
    {"Label40", kAny, kJogWarning},
    {"PRT", 0, "Port A is the Low Bit    of 4-Bit One-Of-16 Selector"},
    {"PRT", 1, "Port B is the Second Bit of 4-Bit One-Of-16 Selector"},
    {"PRT", 2, "Port C is the Third Bit  of 4-Bit One-Of-16 Selector"},
    {"PRT", 3, "Port D is the High Bit   of 4-Bit One-Of-16 Selector"},
    {"PRT", 4, " Port G (Go) MUST BE HELD ACTIVE TO ALLOW CONTINUED MOTION!"},
    {"PRT", 5, " Port E (Busy), is Active (ON) when Actively pursuing a Trajectory!"},
    {"PRT", 6, " Port F (Fault) Will be Active (ON) when NOT FAULTED !!!"},
};

std::string InputSumHelp(int sum) {
  std::string bits;
  for (int bit = 3; bit >= 0; --bit) bits += (sum >> bit) & 1 ? '1' : '0';
  std::string text = "Binary Input Sum for Inputs A thru D, DCBA = " + bits + " = Dec." + std::to_string(sum);
  if (sum == 0) text += " (All OFF)";
  if (sum == 15) text += " (All ON)";
  return text;
}

template <std::size_t N>
std::string Pick(const std::array<std::string_view, N>& texts, int index) {
  return index >= 0 && static_cast<std::size_t>(index) < N ? std::string(texts[static_cast<std::size_t>(index)]) : " ";
}

}  // namespace

std::string HelpText(std::string_view control, int index, const HelpContext& context) {
  if (control == "Command5")
    return context.screen.advancedInFront ? "Click to Return to Main 16 Funtion Settings"
                                          : "Click to Show Settings For Homing, Power-Up, Limits, Etc....";
  if (control == "Command7")
    return context.screen.homePanelShown ? "Click to Hide Home Method" : "Click to Show and Set Home Method";
  if (control == "PosIndex") return index >= 0 && index <= 15 ? InputSumHelp(index) : " ";
  if (control == "PrePos") {
    if (index < 0 || index > 15) return " ";
    return Pick(kDataHelp, static_cast<int>(context.settings.functions[static_cast<std::size_t>(index)].mode));
  }
  // The limit fields, their labels and their unit labels say the same.
  if (control == "LimVals" || control == "LimLabel" || control == "LimUnit") return Pick(kLimitHelp, index);
  if (control == "pid" || control == "piddesc" || control == "pidterm") return Pick(kGainHelp, index);
  for (const HelpEntry& entry : kHelp)
    if (entry.control == control && (entry.index == kAny || entry.index == index)) return std::string(entry.text);
  return " ";
}

}  // namespace velkor::setup
