#pragma once
// The members of the engine's six interfaces, written once. Each list entry is
//   MEMBER(kind, dispid, Name, (parameters))
// in vtable order (the first entry takes slot 7, after IUnknown and IDispatch).
// kind is method, propget or propput; a property's get and put share a DISPID.
// A pointer parameter is the [out, retval] result; VNX_OPTIONAL marks an
// optional [in] VARIANT. The interface declarations, the dispatch tables and
// the type library description are all expanded from these lists.

#define VNX_OPTIONAL

#define VELKOR_IVNXCOMM_MEMBERS(MEMBER)                                                      \
  MEMBER(method, 1, OpenPort, (BSTR PortName))                                               \
  MEMBER(method, 2, ClosePort, ())                                                           \
  MEMBER(propget, 3, PortHandle, (LONG* Handle))                                            \
  MEMBER(method, 4, ClearBuffer, ())                                                         \
  MEMBER(propget, 5, BytesAvailable, (LONG* Count))                                         \
  MEMBER(method, 6, WriteCommand, (BSTR Command))                                            \
  MEMBER(method, 7, WriteString, (BSTR Data))                                                \
  MEMBER(method, 8, ReadResponse, (BSTR* Response))                                         \
  MEMBER(method, 9, ReadString, (LONG NoOfBytes, BSTR* Data))                               \
  MEMBER(method, 10, EstablishChain, ())                                                     \
  MEMBER(method, 11, AddressMotorChain, (LONG* MotorCount))                                 \
  MEMBER(method, 12, Wait, (LONG Time))                                                      \
  MEMBER(propget, 13, DefaultMotor, (LONG* Address))                                        \
  MEMBER(propput, 13, DefaultMotor, (LONG Address))                                          \
  MEMBER(propget, 14, Echo, (VARIANT_BOOL* On))                                             \
  MEMBER(propput, 14, Echo, (VARIANT_BOOL On))                                               \
  MEMBER(propget, 15, Parity, (enum_parity* Parity))                                        \
  MEMBER(propput, 15, Parity, (enum_parity Parity))                                          \
  MEMBER(propget, 16, BaudRate, (LONG* Baud))                                               \
  MEMBER(propput, 16, BaudRate, (LONG Baud))                                                 \
  MEMBER(propget, 17, Timeout, (LONG* Milliseconds))                                        \
  MEMBER(propput, 17, Timeout, (LONG Milliseconds))                                          \
  MEMBER(propget, 18, CharDelay, (LONG* Milliseconds))                                      \
  MEMBER(propput, 18, CharDelay, (LONG Milliseconds))                                        \
  MEMBER(propget, 28, PortName, (BSTR* PortName))                                           \
  MEMBER(method, 29, GetResponseOf, (BSTR Command, BSTR* Response))                         \
  MEMBER(method, 30, GetMotor, (LONG Address, IVNXMotor** Motor))                           \
  MEMBER(propget, 31, MaxMotors, (LONG* Count))                                             \
  MEMBER(propput, 31, MaxMotors, (LONG Count))                                               \
  MEMBER(method, 32, Download, (LONG Motor, BSTR FileName))                                  \
  MEMBER(method, 33, Upload, (LONG Motor, BSTR FileName))                                    \
  MEMBER(method, 34, ForceUpload, (LONG Motor, BSTR FileName))                               \
  MEMBER(propget, 35, IsRS485, (LONG* IsRS485))                                             \
  MEMBER(propput, 35, IsRS485, (LONG IsRS485))                                               \
  MEMBER(method, 36, ClearEEPROM, (LONG Motor))                                              \
  MEMBER(method, 37, InitializeNotification, (LONG hWindow, LONG message))                   \
  MEMBER(method, 38, WriteCmd, (BSTR Command))                                               \
  MEMBER(method, 39, InitRS485, (LONG NoOfMotors, LONG MotorChannel))                        \
  MEMBER(propget, 40, TxMaxRetry, (LONG* Count))                                            \
  MEMBER(propput, 40, TxMaxRetry, (LONG Count))                                              \
  MEMBER(propget, 41, TxTimeoutMul, (LONG* Milliseconds))                                   \
  MEMBER(propput, 41, TxTimeoutMul, (LONG Milliseconds))                                     \
  MEMBER(propget, 42, TxTimeoutConst, (LONG* Milliseconds))                                 \
  MEMBER(propput, 42, TxTimeoutConst, (LONG Milliseconds))                                   \
  MEMBER(propget, 43, LogFlags, (LONG* Flags))                                              \
  MEMBER(propput, 43, LogFlags, (LONG Flags))                                                \
  MEMBER(propget, 44, LogFileName, (BSTR* FileName))                                        \
  MEMBER(propput, 44, LogFileName, (BSTR FileName))                                          \
  MEMBER(propget, 45, EchoTimeoutMul, (LONG* Milliseconds))                                 \
  MEMBER(propput, 45, EchoTimeoutMul, (LONG Milliseconds))                                   \
  MEMBER(propget, 46, EchoTimeoutConst, (LONG* Milliseconds))                               \
  MEMBER(propput, 46, EchoTimeoutConst, (LONG Milliseconds))                                 \
  MEMBER(method, 47, DetectRS232, (LONG MaxAddress, LONG Flags, LONG* ErrorCode))           \
  MEMBER(method, 48, DetectRS485, (LONG MaxAddress, LONG MotorChannel, LONG Flags, LONG* ErrorCode)) \
  MEMBER(method, 49, AddressServos, (LONG Flags, LONG* ErrorCode))                          \
  MEMBER(propget, 50, NoOfMotors, (LONG* Count))                                            \
  MEMBER(propget, 51, EngineVersion, (LONG* Version))                                       \
  MEMBER(method, 52, InitEthernet, (LONG MaxAddress))                                        \
  MEMBER(method, 53, DetectNetMotors, (LONG MaxAddress, LONG Flags, LONG* ErrorCode))       \
  MEMBER(method, 54, AddNetMotor, (BSTR IPAddress, LONG* MotorAddress))                     \
  MEMBER(method, 55, InitUSB, (LONG MaxAddress))                                             \
  MEMBER(method, 56, DetectUSBMotors, (LONG MaxAddress, LONG Flags, LONG* ErrorCode))       \
  MEMBER(method, 57, ReorderMotors, (LONG Address, BSTR SerialNo, LONG* OldMotorAddress))

#define VELKOR_IVNXCMOTION_MEMBERS(MEMBER)                                \
  MEMBER(method, 1, Initialize, (LONG NoOfMotors))                        \
  MEMBER(method, 2, WritePosition, (LONG Motor, LONG Pos))                \
  MEMBER(method, 3, WriteClock, (LONG Motor, LONG Clock))                 \
  MEMBER(propget, 4, SlotsNeeded, (LONG Motor, LONG* Slots))             \
  MEMBER(propget, 5, CurrentClock, (LONG Motor, LONG* Clock))            \
  MEMBER(method, 6, CheckStatus, (LONG Motor, LONG* FreeSlots))          \
  MEMBER(propget, 7, TrajectorySlots, (LONG* Slots))                     \
  MEMBER(propput, 7, TrajectorySlots, (LONG Slots))                       \
  MEMBER(propget, 8, Buffered, (boolean* Buffered))                      \
  MEMBER(propput, 8, Buffered, (boolean Buffered))                        \
  MEMBER(propget, 9, SampleRate, (LONG nMotor, DOUBLE* Rate))            \
  MEMBER(propget, 10, PIDFactor, (LONG* Factor))                         \
  MEMBER(propput, 10, PIDFactor, (LONG Factor))                           \
  MEMBER(method, 11, EndHostMode, ())                                     \
  MEMBER(method, 12, Run, ())                                             \
  MEMBER(method, 13, SyncMotors, ())

#define VELKOR_IVNXPATH_MEMBERS(MEMBER)                                                                 \
  MEMBER(propget, 1, EndSpeed, (DOUBLE* Speed))                                                        \
  MEMBER(propput, 1, EndSpeed, (DOUBLE Speed))                                                          \
  MEMBER(propget, 2, Acceleration, (DOUBLE* Acceleration))                                             \
  MEMBER(propput, 2, Acceleration, (DOUBLE Acceleration))                                               \
  MEMBER(propget, 3, StartPoint, (INT Axis, DOUBLE* Position))                                         \
  MEMBER(propput, 3, StartPoint, (INT Axis, DOUBLE Position))                                           \
  MEMBER(propget, 4, StartClock, (LONG* Clock))                                                        \
  MEMBER(propput, 4, StartClock, (LONG Clock))                                                          \
  MEMBER(propget, 5, SlowToEndSpeed, (boolean* Slow))                                                  \
  MEMBER(propput, 5, SlowToEndSpeed, (boolean Slow))                                                    \
  MEMBER(method, 6, SetupTimeDelta,                                                                     \
         (LONG AveTimeDelta, VNX_OPTIONAL VARIANT MinTimeDelta, VNX_OPTIONAL VARIANT AllowedCount,       \
          VNX_OPTIONAL VARIANT PrecedeCount))                                                           \
  MEMBER(method, 7, GeneratePath, (DOUBLE MaxSpeed, DOUBLE TotalLength, VARIANT* DataPairs))           \
  MEMBER(method, 8, GenerateLinePath, (DOUBLE MaxSpeed, VARIANT Endpoint, VARIANT* DataPairs))         \
  MEMBER(method, 9, GenerateArcPath,                                                                    \
         (DOUBLE MaxSpeed, VARIANT Endpoint, VARIANT Center, enum_arcdirection ArcDirection,            \
          VARIANT* DataPairs))                                                                         \
  MEMBER(propget, 10, StartSpeed, (DOUBLE* Speed))                                                     \
  MEMBER(propput, 10, StartSpeed, (DOUBLE Speed))                                                       \
  MEMBER(propget, 11, TimeDelta, (LONG* Delta))                                                        \
  MEMBER(propput, 11, TimeDelta, (LONG Delta))                                                          \
  MEMBER(propget, 12, Plane, (LONG* Plane))                                                            \
  MEMBER(propput, 12, Plane, (LONG Plane))                                                              \
  MEMBER(method, 13, CreatePath, (DOUBLE MaxSpeed, DOUBLE TotalLength, VARIANT* DataPairs))            \
  MEMBER(method, 14, CreateLinePath, (DOUBLE MaxSpeed, VARIANT Endpoint, VARIANT* DataPairs))          \
  MEMBER(method, 15, CreateArcPath,                                                                     \
         (DOUBLE MaxSpeed, VARIANT Endpoint, VARIANT Center, enum_arcdirection ArcDirection,            \
          VARIANT* DataPairs))

#define VELKOR_IVNXMOTOR_MEMBERS(MEMBER)                                              \
  MEMBER(method, 1, GetPosition, (LONG* Pos))                                        \
  MEMBER(propget, 2, P, (LONG* Position))                                            \
  MEMBER(propput, 2, P, (LONG Position))                                              \
  MEMBER(propget, 3, V, (LONG* Velocity))                                            \
  MEMBER(propput, 3, V, (LONG Velocity))                                              \
  MEMBER(propget, 4, A, (LONG* Acceleration))                                        \
  MEMBER(propput, 4, A, (LONG Acceleration))                                          \
  MEMBER(method, 5, GetSpeed, (LONG* Speed))                                         \
  MEMBER(method, 6, GetAcceleration, (LONG* Acceleration))                           \
  MEMBER(method, 7, Go, ())                                                           \
  MEMBER(method, 8, WriteCommand, (BSTR Command))                                     \
  MEMBER(method, 9, GetResponseOf, (BSTR Command, BSTR* Response))                   \
  MEMBER(method, 10, SetPositionMode, ())                                             \
  MEMBER(method, 11, SetVelocityMode, ())                                             \
  MEMBER(propget, 12, Version, (BSTR* Version))                                      \
  MEMBER(propget, 13, SampleRate, (DOUBLE* Rate))                                    \
  MEMBER(method, 14, WaitForStop, ())                                                 \
  MEMBER(method, 15, Stop, (LONG Decelerate))                                         \
  MEMBER(method, 16, GoTo, (LONG Position, LONG Velocity, LONG Acceleration))         \
  MEMBER(method, 17, Download, (BSTR FileName))                                       \
  MEMBER(method, 18, Upload, (BSTR FileName))                                         \
  MEMBER(method, 19, DownloadEx, (BSTR FileName, LONG Flags, LONG* Result))          \
  MEMBER(method, 20, UploadEx, (BSTR FileName))                                       \
  MEMBER(method, 21, ClearProgram, (LONG Flags))                                      \
  MEMBER(method, 22, GetMotorInfo, (LONG* Result))                                   \
  MEMBER(method, 23, GetSerialNumber, (BSTR* SN))                                    \
  MEMBER(method, 24, GetModelStr, (BSTR* ModelStr))                                  \
  MEMBER(method, 25, GetEncoderResolution, (LONG* EncoderResolution))                \
  MEMBER(method, 26, GetMotorByte, (LONG Address, BYTE* TheByte))                    \
  MEMBER(method, 27, GetMotorWord, (LONG Address, USHORT* TheWord))                  \
  MEMBER(method, 28, GetMotorDWord, (LONG Address, ULONG* TheDWord))                 \
  MEMBER(method, 29, SetMotorByte, (LONG Address, BYTE TheByte))                      \
  MEMBER(method, 30, SetMotorWord, (LONG Address, USHORT TheWord))                    \
  MEMBER(method, 31, SetMotorDWord, (LONG Address, ULONG TheDWord))                   \
  MEMBER(method, 32, IsServo, (LONG* Result))                                        \
  MEMBER(method, 33, DownloadProgramStr, (BSTR ProgramStr, LONG Flags, LONG* Result)) \
  MEMBER(method, 34, UploadProgramStr, (LONG CalPrg, BSTR* ProgramStr))              \
  MEMBER(method, 35, UpProgramStr, (LONG CalPrg, BSTR* ProgramStr))                  \
  MEMBER(method, 36, GetMotorInt, (LONG Address, SHORT* TheInt))                     \
  MEMBER(method, 37, GetMotorLong, (LONG Address, LONG* TheLong))                    \
  MEMBER(method, 38, SetMotorInt, (LONG Address, SHORT TheInt))                       \
  MEMBER(method, 39, SetMotorLong, (LONG Address, LONG TheLong))

#define VELKOR_IVNXSCAN_MEMBERS(MEMBER)                                         \
  MEMBER(method, 1, Scan, (BSTR Program))                                       \
  MEMBER(method, 2, ScanFile, (BSTR FileName))                                  \
  MEMBER(method, 3, MakeVQX, (BSTR FileName, LONG* pVal))                      \
  MEMBER(method, 4, MakeVQX2, (BSTR FileName, BSTR VQXFileName, LONG* pVal))

#define VELKOR_IVNXERRORS_MEMBERS(MEMBER)          \
  MEMBER(propget, 1, NoOfWarnings, (LONG* Count)) \
  MEMBER(propget, 2, NoOfErrors, (LONG* Count))   \
  MEMBER(propget, 3, MaxErrors, (LONG* Count))    \
  MEMBER(propput, 3, MaxErrors, (LONG Count))      \
  MEMBER(propget, 4, MaxWarnings, (LONG* Count))  \
  MEMBER(propput, 4, MaxWarnings, (LONG Count))    \
  MEMBER(method, 5, GoFirst, ())                   \
  MEMBER(method, 6, GoNext, ())                    \
  MEMBER(propget, 7, Description, (BSTR* Text))   \
  MEMBER(propget, 8, Code, (LONG* Code))          \
  MEMBER(propget, 9, Line, (LONG* Line))          \
  MEMBER(propget, 10, Column, (LONG* Column))     \
  MEMBER(propget, 11, IsWarning, (LONG* IsWarning))

// The enumerations of the type library: ENUM(type) then VALUE(name, number).
#define VELKOR_ENUMERATIONS(ENUM, VALUE)                                        \
  ENUM(enum_parity, VALUE(vnx_none, 0) VALUE(vnx_odd, 1) VALUE(vnx_even, 2)     \
                        VALUE(vnx_mark, 3) VALUE(vnx_space, 4))                 \
  ENUM(enum_arcdirection, VALUE(vnx_counterclockwise, 0) VALUE(vnx_clockwise, 1))

// Every interface: INTERFACE(Name, member list macro).
#define VELKOR_INTERFACES(INTERFACE)               \
  INTERFACE(IVNXComm, VELKOR_IVNXCOMM_MEMBERS)     \
  INTERFACE(IVNXCMotion, VELKOR_IVNXCMOTION_MEMBERS) \
  INTERFACE(IVNXPath, VELKOR_IVNXPATH_MEMBERS)     \
  INTERFACE(IVNXMotor, VELKOR_IVNXMOTOR_MEMBERS)   \
  INTERFACE(IVNXScan, VELKOR_IVNXSCAN_MEMBERS)     \
  INTERFACE(IVNXErrors, VELKOR_IVNXERRORS_MEMBERS)

#define VELKOR_MEMBER_NAME(kind, name) VELKOR_MEMBER_NAME_##kind(name)
#define VELKOR_MEMBER_NAME_method(name) name
#define VELKOR_MEMBER_NAME_propget(name) get_##name
#define VELKOR_MEMBER_NAME_propput(name) put_##name
