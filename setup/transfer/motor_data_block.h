#pragma once
// Where a download puts the settings in the motor's EEPROM and which motor
// variables carry them: the contract between the download, the upload and
// the motor program. Written once; both directions use it.

namespace velkor::setup::block {

// EEPROM addresses.
inline constexpr int kMarker = 100;              // 123 after a complete download, -1 after a failed one
inline constexpr int kLargeEncCounts = 190;      // EncCounts when 65536 or more
inline constexpr int kConfiguration = 200;       // aaa..www, 23 longs
inline constexpr int kMotorFunctions = 500;      // + 12 i: ttt, uuu, vvv in motor units
inline constexpr int kUserFunctions = 5000;      // + 12 i: ttt, uuu, vvv in user units x 10^DecPlaces
inline constexpr int kFunctionStride = 12;
inline constexpr int kUserLimits = 15000;        // iii..rrr: LimVal 0..3 as entered, 4..9 x 10^DecPlaces
inline constexpr int kLastFile = 25000;          // text record
inline constexpr int kLastDate = 26000;          // text record

inline constexpr int kComplete = 123;
inline constexpr int kLargeEncCountsFlag = 11111;  // in aw[52]: the real value is at kLargeEncCounts
inline constexpr int kLargeEncCountsFrom = 65536;
inline constexpr int kTextLength = 26;           // characters of a text record, al[0]..al[25]

// Motor variables, as al[] indexes: bbb..hhh gains, iii..qqq limits (in the
// configuration) or user limits (at kUserLimits), www the home value.
inline constexpr int kFirstGain = 27;
inline constexpr int kFirstLimit = 34;
// Bytes and words of the configuration and motion records.
inline constexpr const char* kEncCountsWord = "aw[52]";
inline constexpr const char* kUserCountsWord = "aw[53]";
inline constexpr const char* kMotorAccWord = "aw[94]";
inline constexpr const char* kModeByte = "ab[190]";
inline constexpr const char* kNoGoByte = "ab[191]";
inline constexpr const char* kPowerUpByte = "ab[172]";
inline constexpr const char* kFaultByte = "ab[173]";
inline constexpr const char* kReservedByte = "ab[174]";  // always -1
inline constexpr const char* kHomeByte = "ab[175]";
inline constexpr const char* kUnitsByte = "ab[176]";

}  // namespace velkor::setup::block
