// velkor-typelib FOLDER LIBRARY-FILE-NAME
// Writes, beside the engine library, the machine-readable type library
// description (Velkor.tlb.json) and the class list that lets clients create
// the engine's classes without registration (<library>.manifest). Both are
// derived from the interface member lists and the class table.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/host/registration.h"
#include "velkor/guid.h"
#include "velkor/interface_tables.h"
#include "velkor/type_library.h"

namespace {

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

struct Parameter {
  std::string name;
  std::string type;
  bool optional = false;
  bool result = false;
};

// "(LONG Motor, BSTR* Response)" as written in the member list.
std::vector<Parameter> ParametersOf(std::string_view text) {
  std::vector<Parameter> parameters;
  text = Trim(text);
  if (text.size() >= 2) text = text.substr(1, text.size() - 2);
  while (!Trim(text).empty()) {
    std::size_t comma = text.find(',');
    std::string_view one = Trim(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    Parameter parameter;
    if (one.starts_with("VNX_OPTIONAL ")) {
      parameter.optional = true;
      one = Trim(one.substr(13));
    }
    std::size_t split = one.find_last_of(" *");
    parameter.name = std::string(one.substr(split + 1));
    std::string type;
    for (char c : one.substr(0, split + 1))
      if (c != ' ') type += c;
    // BSTR is a pointer of its own; any further '*' makes the [out, retval].
    parameter.result = !type.empty() && type.back() == '*';
    parameter.type = type;
    parameters.push_back(parameter);
  }
  return parameters;
}

const char* KindName(velkor::dispatch::MemberKind kind) {
  switch (kind) {
    case velkor::dispatch::MemberKind::method: return "method";
    case velkor::dispatch::MemberKind::propget: return "propget";
    case velkor::dispatch::MemberKind::propput: return "propput";
  }
  return "method";
}

template <class Interface>
void DescribeInterface(std::ostream& out, bool last) {
  using Table = velkor::InterfaceTable<Interface>;
  out << "    {\"name\": " << Quoted(Table::name) << ", \"uuid\": " << Quoted(velkor::FormatGuid(Table::iid))
      << ", \"base\": \"IDispatch\", \"dual\": true, \"members\": [\n";
  int slot = 7;
  for (std::size_t i = 0; i < Table::members.size(); ++i) {
    const auto& member = Table::members[i];
    out << "      {\"slot\": " << slot++ << ", \"dispid\": " << member.dispid << ", \"kind\": \""
        << KindName(member.kind) << "\", \"name\": " << Quoted(member.name) << ", \"returns\": \"HRESULT\", \"parameters\": [";
    auto parameters = ParametersOf(member.parameters);
    for (std::size_t k = 0; k < parameters.size(); ++k) {
      const Parameter& p = parameters[k];
      out << (k ? ", " : "") << "{\"name\": " << Quoted(p.name) << ", \"type\": " << Quoted(p.type)
          << ", \"direction\": " << (p.result ? "\"out\", \"retval\": true" : "\"in\"")
          << (p.optional ? ", \"optional\": true" : "") << "}";
    }
    out << "]}" << (i + 1 < Table::members.size() ? "," : "") << "\n";
  }
  out << "    ]}" << (last ? "" : ",") << "\n";
}

std::string Description() {
  namespace tl = velkor::type_library;
  std::ostringstream out;
  out << "{\n  \"name\": " << Quoted(tl::kName) << ",\n  \"uuid\": " << Quoted(velkor::FormatGuid(tl::kId))
      << ",\n  \"version\": \"" << tl::kMajorVersion << "." << tl::kMinorVersion << "\",\n  \"lcid\": " << tl::kLocale
      << ",\n  \"helpstring\": " << Quoted(tl::kHelpString) << ",\n";

  out << "  \"enumerations\": [\n";
  std::vector<std::string> enumerations;
#define VELKOR_DESCRIBE_VALUE(name, number) "{\"name\": \"" #name "\", \"value\": " #number "}, "
#define VELKOR_DESCRIBE_ENUM(type, values) \
  enumerations.push_back(std::string("    {\"name\": \"" #type "\", \"values\": [") + values);
  VELKOR_ENUMERATIONS(VELKOR_DESCRIBE_ENUM, VELKOR_DESCRIBE_VALUE)
#undef VELKOR_DESCRIBE_ENUM
#undef VELKOR_DESCRIBE_VALUE
  for (std::size_t i = 0; i < enumerations.size(); ++i) {
    std::string& line = enumerations[i];
    line.resize(line.size() - 2);  // the last value's ", "
    out << line << "]}" << (i + 1 < enumerations.size() ? "," : "") << "\n";
  }
  out << "  ],\n  \"interfaces\": [\n";
  constexpr int interfaceCount = 0
#define VELKOR_COUNT_INTERFACE(interface, members) +1
      VELKOR_INTERFACES(VELKOR_COUNT_INTERFACE);
#undef VELKOR_COUNT_INTERFACE
  int written = 0;
#define VELKOR_DESCRIBE_INTERFACE(interface, members) DescribeInterface<interface>(out, ++written == interfaceCount);
  VELKOR_INTERFACES(VELKOR_DESCRIBE_INTERFACE)
#undef VELKOR_DESCRIBE_INTERFACE
  out << "  ],\n  \"classes\": [\n";
  for (std::size_t i = 0; i < std::size(tl::kClasses); ++i) {
    const auto& c = tl::kClasses[i];
    out << "    {\"name\": " << Quoted(c.name) << ", \"uuid\": " << Quoted(velkor::FormatGuid(c.clsid))
        << ", \"progid\": " << Quoted(c.progId) << ", \"versionIndependentProgid\": "
        << Quoted(c.versionIndependentProgId) << ", \"helpstring\": " << Quoted(c.description)
        << ", \"creatable\": " << (c.creatable ? "true" : "false") << ", \"interfaces\": [";
    for (std::size_t k = 0; k < c.interfaces.size(); ++k)
      out << (k ? ", " : "") << "{\"name\": " << Quoted(c.interfaces[k].name)
          << ", \"default\": " << (c.interfaces[k].isDefault ? "true" : "false") << "}";
    out << "]}" << (i + 1 < std::size(tl::kClasses) ? "," : "") << "\n";
  }
  out << "  ]\n}\n";
  return out.str();
}

bool WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!(file << text) || !file.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  return !error;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: velkor-typelib FOLDER LIBRARY-FILE-NAME\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const std::string library = argv[2];

  velkor::registry::HiveContents manifest;
  velkor::engine::AddServerKeys(manifest, "", library);
  bool written = WriteFile(folder / velkor::type_library::kDescriptionFile, Description()) &&
                 WriteFile(folder / (library + ".manifest"),
                           manifest.Format(velkor::automation::kManifestRootName));
  if (!written) {
    std::fprintf(stderr, "velkor-typelib: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
