#pragma once
// What each settings field accepts, how an accepted value is normalised and
// converted, what a rejection says, and where the arrow and Enter keys move
// the focus. Pure functions of the model: the editor applies their results.

#include <optional>
#include <string>
#include <string_view>

#include "setup/model/axis_settings.h"
#include "setup/model/view.h"

namespace velkor::setup {

enum class FieldGroup { Data, Vel, Acc, LimVal, Pid, Scale, EncoderRes };

struct FieldId {
  FieldGroup group;
  int index = 0;  // function, limit, gain or scale field (0 EncCounts, 1 UserCounts)
  bool operator==(const FieldId&) const = default;
};

// The control that shows the field: "PrePos(3)", "LimVals(2)", "sf(0)", "ERes".
std::string ControlOf(FieldId field);
// The field's text in the model (EncoderRes: its field text).
const std::string& TextOf(const AxisSettings& settings, FieldId field);
std::string& TextOf(AxisSettings& settings, FieldId field);
// Whether the field takes the focus: motion fields by their function's mode.
bool FieldEnabled(const AxisSettings& settings, FieldId field);

// Empty, or blanks only: a field left without a value.
inline bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

// The keys that accept a field's text (losing the focus does, too).
enum class Key { Enter, Up, Down, Left, Right, LostFocus };

inline constexpr std::string_view kInvalidInput = "Invalid Input";
inline constexpr std::string_view kNumbersOnly = "Values Must Be Numbers Only!";
inline constexpr std::string_view kTorqueExceeded = "Torque cannot exceed +/-100!";
inline constexpr std::string_view kAccelTooHigh = "Accel Set Too High!!";
inline constexpr std::string_view kPositiveIntegersOnly = "Values Must Be Positive Integer Numbers Only!";
inline constexpr std::string_view kNonZeroPositive = "Values Must Be Non-Zero! and Positive!";
// Our own: the motor keeps these values in 32-bit variables (UserCounts in
// 16 bits), and a value that does not fit would be stored wrapped.
inline constexpr std::string_view kOutOfMotorRange = "Value Is Out Of The Motor's Range!";
inline constexpr std::string_view kUserCountsTooLarge = "User Counts Must Not Exceed 32767!";
inline constexpr std::string_view kNeedEncoderResTitle = "Need Encoder Resolution Input !";
inline constexpr std::string_view kNeedEncoderRes = "Please Enter Encoder Resolution!";

// A rejection as the message box shows it.
inline Message Rejected(std::string_view text) { return {std::string(kInvalidInput), std::string(text), Icon::Exclamation}; }

// A text typed into a field that is refused at once, before it is accepted:
// a scale field holding only "-".
std::optional<Message> RefuseWhileTyping(FieldId field, std::string_view text);

// The model with the field's text accepted: normalised, placed and converted
// (a scale field recomputes everything, the resolution too when degrees or
// revolutions use it), or the message that rejects it.
struct Acceptance {
  std::optional<AxisSettings> settings;
  std::optional<Message> rejection;
};
Acceptance Accept(const AxisSettings& settings, FieldId field, std::string_view text);

// The first value of the whole model that the motor could not store as
// converted (it would reach the motor wrapped by its 16- or 32-bit
// variable), named; nothing when every value fits. Texts that are no
// numbers are not looked at: they are caught when they are next accepted.
std::optional<Message> OutOfRange(const AxisSettings& settings);
// The same for the Data value of one motion function.
std::optional<Message> FunctionOutOfRange(const AxisSettings& settings, int function);

// Where the focus goes from `field` after `key` (the field itself when it
// stays); disabled fields are skipped.
FieldId NextField(const AxisSettings& settings, FieldId field, Key key);

}  // namespace velkor::setup
