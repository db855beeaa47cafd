#include "tools/velkor/commands.h"
#include "tools/velkor/chain_commands.h"
#include "tools/velkor/compile_command.h"
#include "tools/velkor/settings_command.h"
#include "tools/velkor/motor_commands.h"
#include "tools/velkor/motors_command.h"
#include "tools/velkor/path_command.h"
#include "tools/velkor/stream_command.h"
#include "tools/velkor/transfer_commands.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/registry/registry.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

namespace velkor::client {

namespace {

constexpr const char* kUsage =
    "usage: velkor COMMAND [OPTIONS]\n"
    "\n"
    "Talks to integrated servo motors through the Velkor engine.\n"
    "\n"
    "commands:\n"
    "  --version              print the engine version (a.b.c.d)\n"
    "  --help                 print this help\n"
    "  register [--library PATH]\n"
    "                         register the engine's classes for this user, so that\n"
    "                         any automation client can create VNXEngine.VNXHost\n"
    "  unregister [--library PATH]\n"
    "                         remove that registration\n"
    "  send --port P [--address N] [--no-answer] TEXT\n"
    "                         send one command to motor N (default 1) and print its\n"
    "                         answer; --no-answer sends without waiting for one\n"
    "  info --port P --address N\n"
    "                         model, serial number, firmware, sample rate and encoder\n"
    "                         resolution of motor N\n"
    "  mem --port P --address N read ADDR [--byte|--word|--int|--dword|--long]\n"
    "  mem --port P --address N write ADDR VALUE [--byte|--word|--int|--dword|--long]\n"
    "                         one value of motor memory (EEPROM), big-endian: --byte,\n"
    "                         --word and --dword unsigned, --int and --long signed;\n"
    "                         a long by default\n"
    "  scan --port P [--rs232 [--readdress] | --rs485 [--channel C] | --serial-numbers]\n"
    "       [--max N] [--flags F] [--timeout MS] [--tx-max-retry N] [--tx-timeout-mul MS]\n"
    "       [--tx-timeout-const MS] [--echo-timeout-mul MS] [--echo-timeout-const MS]\n"
    "                         find the motors on a port and list them: an RS232 chain\n"
    "                         (a chain without addresses gets 1..N in wiring order, a\n"
    "                         chain with addresses keeps them; --readdress gives them\n"
    "                         anew; --flags F only looks, with the engine's flags), an\n"
    "                         RS485 bus, or a bus addressed by serial numbers; --max N\n"
    "                         probes 1..N (1 to 119, default 10); slow adapters need\n"
    "                         longer time-outs; Ctrl-C cancels\n"
    "  scan --net [--max N] [--flags F]\n"
    "                         ask the network for motor adapters and connect them\n"
    "                         as motors 1..N in the order they answer\n"
    "  scan --usb [--max N] [--flags F]\n"
    "                         find the motor adapters among the USB devices and\n"
    "                         connect them as motors 1..N in device order\n"
    "  add-net ADDRESS [--max N]\n"
    "                         connect the motor adapter at ADDRESS (IPv4 or host name)\n"
    "                         as the next free motor up to N\n"
    "  reorder --port P [scan options] ADDRESS SERIAL\n"
    "                         find the motors, then move the motor with that serial\n"
    "                         number to ADDRESS (the motor there takes its old one)\n"
    "  download --port P --address N IMAGE [--flags F] [--host-level]\n"
    "                         load a program image (.vqx; .scx for a compiled one)\n"
    "                         into motor N, checked and verified; flags: 0x01 stop a\n"
    "                         motor that is on, 0x10 no checks, 0x100 no EEPROM\n"
    "                         probe; --host-level loads by motor number without\n"
    "                         checks (0 = every motor); Ctrl-C cancels\n"
    "  upload --port P --address N FILE [--compiled] [--raw]\n"
    "                         save motor N's program to FILE (CR LF line ends; a\n"
    "                         .vqc name or --compiled: the compiled program; --raw:\n"
    "                         the bytes as the motor sends them; FILE - prints it)\n"
    "  clear --port P --address N [--flags F]\n"
    "                         end a load a broken transfer left in progress, then\n"
    "                         load the empty program into motor N\n"
    "  stream --port P --motors N FILE.csv\n"
    "                         stream a table of samples (N positions and a clock per\n"
    "                         row, as 'velkor path' prints it) to motors 1..N in host\n"
    "                         mode; they end in position mode where the table ends;\n"
    "                         the whole table is checked first; Ctrl-C or SIGTERM\n"
    "                         stops early\n"
    "  path line|arc|length --time-delta T --max-speed V [--acceleration A]\n"
    "       [--start-speed V] [--end-speed V | --keep-speed] [--start-clock C]\n"
    "       [--start X,Y,...] [--create] (line: --to X,Y,...; arc: --to X,Y[,Z]\n"
    "       --center X,Y[,Z] [--plane 0|1|2] [--clockwise]; length: --length L)\n"
    "                         the timed samples of a path as CSV (the positions of\n"
    "                         the axes, then the clock), one row per time step T;\n"
    "                         the sample at the start only with --create\n"
    "  compile SOURCE [-o IMAGE] [--max-errors N] [--max-warnings N]\n"
    "                         compile a motor program (plain text or RTF) to its\n"
    "                         image, by default SOURCE with the extension .vqx;\n"
    "                         diagnostics go to stderr as SOURCE:LINE:COLUMN: ...;\n"
    "                         the run stops after N errors or N warnings (default 50);\n"
    "                         exit 0 written, 1 the program has errors, 2 a file\n"
    "                         could not be read or written\n"
    "  settings new FILE.adf [--force]\n"
    "                         write an axis data file with the setup window's\n"
    "                         start-up settings\n"
    "  settings show FILE.adf print the 16 functions, gains, limits (user and motor\n"
    "                         units), option bytes in words, scale and units\n"
    "  settings set FILE.adf NAME=VALUE...\n"
    "                         edit by the window's rules, in order, and print each\n"
    "                         value as normalised with the motor values it changed;\n"
    "                         NAME is a key of the file: Data(i) Vel(i) Acc(i)\n"
    "                         Mode(i) NoGo(i) (i 0..15), LimVal(j) pid(j),\n"
    "                         EncCounts UserCounts UnitsIndex PowerUpOps FaultOps\n"
    "                         HomeOps, and EncoderRes (counts per revolution for deg\n"
    "                         and rev; default the file's, else 2000); a refused\n"
    "                         value prints the window's message, writes nothing and\n"
    "                         exits 2\n"
    "  settings diff A.adf B.adf\n"
    "                         list the settings that differ; exit 0 equal, 1 not\n"
    "  settings download --port P --address N FILE.adf [--program FILE.vqx] [--backup DIR]\n"
    "                         store the file's settings in motor N (its data block),\n"
    "                         with the motor program (default Fenwa.vqx beside this\n"
    "                         program) when the motor's is out of date; a value that\n"
    "                         does not fit, a failure or Ctrl-C marks the motor's\n"
    "                         data invalid and says why; --backup first keeps the\n"
    "                         settings the motor holds in DIR/SERIAL-YYYYMMDD-HHMMSS.adf\n"
    "  settings upload --port P --address N FILE.adf\n"
    "                         read motor N's settings into FILE.adf (the decimals of\n"
    "                         the FILE it replaces, else 3)\n"
    "  settings diff FILE.adf --port P --address N\n"
    "                         compare the file with what motor N holds\n"
    "  motors                 scan every serial port for motor chains, as the setup\n"
    "                         window does, and list each motor found: its list\n"
    "                         text (Com1 Motor 2), model, serial number, firmware,\n"
    "                         resolution, last file downloaded and its date, tab-\n"
    "                         separated; exit 2 when none; VELKOR_SCAN_PORTS=COM3,COM7\n"
    "                         probes those ports only\n"
    "  motors --why           the same, then for every port on which no motor answered\n"
    "                         why (no such device, no permission, another program has\n"
    "                         it, motors at another rate, a slow USB adapter, no\n"
    "                         answer) and what to do; some 12 s more per such port\n"
    "\n"
    "port options: --port COMn or a device path (/dev/ttyUSB0); --address N (0 every\n"
    "  motor, 1 to 119); --baud RATE (2400, 4800, 9600, 19200, 38400, 57600, 115200);\n"
    "  --parity none|odd|even|mark|space; --rs485 [--channel 0|1] for motors on an\n"
    "  RS485 bus (declared, not probed); without --rs485 an RS232 chain is searched;\n"
    "  --net in place of --port: the motors behind network adapters, found first;\n"
    "  --usb in place of --port: the motors behind USB adapters, found first\n"
    "\n"
    "Exit status: 0 done, 1 the engine cannot be loaded, 2 the engine failed or bad usage.\n"
    "The engine library is PATH, else $VELKOR_LIBRARY, else libvelkor.so beside\n"
    "this program. Registration is written to $VELKOR_REGISTRY, else\n"
    "$XDG_CONFIG_HOME/velkor/user.reg (~/.config/velkor/user.reg).\n";

// Describes a failure the way a user can act on: the engine's own text
// when it left one, else the status.
std::string Failure(HRESULT status) {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Out()) == S_OK && info) {
    Bstr description;
    if (SUCCEEDED(info->GetDescription(description.Out())) && !description.empty()) return description.Utf8();
  }
  char text[64];
  std::snprintf(text, sizeof text, "status 0x%08X", static_cast<unsigned>(status));
  switch (status) {
    case REGDB_E_CLASSNOTREG:
    case CO_E_CLASSSTRING: return std::string(text) + " (the engine is not registered and libvelkor.so was not found)";
    case CO_E_DLLNOTFOUND: return std::string(text) + " (the engine library could not be loaded)";
    default: return text;
  }
}

std::filesystem::path EngineLibrary(std::span<const std::string_view> options, std::FILE* err, bool& ok) {
  ok = true;
  for (std::size_t i = 0; i < options.size(); ++i) {
    if (options[i] == "--library" && i + 1 < options.size()) return std::string(options[++i]);
    std::fprintf(err, "velkor: unknown option '%.*s'\n", static_cast<int>(options[i].size()), options[i].data());
    ok = false;
    return {};
  }
  if (const char* named = std::getenv("VELKOR_LIBRARY"); named && *named) return named;
  std::error_code error;
  auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return executable.parent_path() / "libvelkor.so";
}

int CallServerEntry(const char* entryName, std::span<const std::string_view> options, std::FILE* out,
                    std::FILE* err) {
  bool ok = false;
  std::filesystem::path library = EngineLibrary(options, err, ok);
  if (!ok) return 2;
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(library, error);
  // Loaded for the length of the call only; registration keeps no object.
  void* handle = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(err, "velkor: cannot load %s: %s\n", absolute.c_str(), dlerror());
    return 1;
  }
  using Entry = HRESULT (*)();
  auto entry = reinterpret_cast<Entry>(dlsym(handle, entryName));
  HRESULT status = entry ? entry() : E_FAIL;
  dlclose(handle);
  if (!entry) {
    std::fprintf(err, "velkor: %s is not an engine library (no %s)\n", absolute.c_str(), entryName);
    return 1;
  }
  if (FAILED(status)) {
    const auto problem = registry::HiveProblem(registry::Hive::CurrentUser);
    std::fprintf(err, "velkor: %s failed (status 0x%08X): %s\n", entryName, static_cast<unsigned>(status),
                 problem ? problem->c_str() : "the registry file could not be written");
    return 1;
  }
  std::fprintf(out, "%s: %s\n", std::strcmp(entryName, "DllRegisterServer") == 0 ? "registered" : "unregistered",
               absolute.c_str());
  return 0;
}

int PrintVersion(std::FILE* out, std::FILE* err) {
  ComPtr<IVNXComm> host;
  HRESULT status = CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host.OutVoid());
  if (FAILED(status)) {
    std::fprintf(err, "velkor: cannot create VNXEngine.VNXHost: %s\n", Failure(status).c_str());
    return 1;
  }
  LONG version = 0;
  status = host->get_EngineVersion(&version);
  if (FAILED(status)) {
    std::fprintf(err, "velkor: EngineVersion failed: %s\n", Failure(status).c_str());
    return 1;
  }
  const auto bits = static_cast<std::uint32_t>(version);
  std::fprintf(out, "%u.%u.%u.%u\n", bits >> 24, (bits >> 16) & 0xFF, (bits >> 8) & 0xFF, bits & 0xFF);
  return 0;
}

}  // namespace

int Run(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  if (arguments.empty()) {
    std::fputs(kUsage, err);
    return 2;
  }
  const std::string_view command = arguments.front();
  const auto options = arguments.subspan(1);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, out);
    return 0;
  }
  if (command == "--version") return PrintVersion(out, err);
  if (command == "register") return CallServerEntry("DllRegisterServer", options, out, err);
  if (command == "unregister") return CallServerEntry("DllUnregisterServer", options, out, err);
  if (command == "send") return Send(options, out, err);
  if (command == "info") return Info(options, out, err);
  if (command == "mem") return Memory(options, out, err);
  if (command == "scan") return Scan(options, out, err);
  if (command == "reorder") return Reorder(options, out, err);
  if (command == "add-net") return AddNet(options, out, err);
  if (command == "compile") return Compile(options, out, err);
  if (command == "download") return Download(options, out, err);
  if (command == "upload") return Upload(options, out, err);
  if (command == "clear") return Clear(options, out, err);
  if (command == "stream") return Stream(options, out, err);
  if (command == "path") return Path(options, out, err);
  if (command == "settings") return Settings(options, out, err);
  if (command == "motors") return Motors(options, out, err);
  std::fprintf(err, "velkor: unknown command '%.*s' (try 'velkor --help')\n", static_cast<int>(command.size()),
               command.data());
  return 2;
}

}  // namespace velkor::client
