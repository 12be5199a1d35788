// Writes the vocabulary block of the Wireshark dissector (aisg.lua) from the
// program's own tables, so that the dissector names procedures, return
// codes, fields, device types and versions exactly as the program does.
//
//   aisg_vocabulary                 prints the block
//   aisg_vocabulary --check FILE    exit 1 when FILE's block differs
//   aisg_vocabulary --update FILE   replaces FILE's block

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "layer7/DataFieldId.h"
#include "layer7/Vocabulary.h"

namespace {

constexpr char kBegin[] = "-- BEGIN VOCABULARY\n";
constexpr char kEnd[] = "-- END VOCABULARY\n";

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Code(unsigned code) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", code);
  return text;
}

const char* EncodingName(FieldEncoding encoding) {
  switch (encoding) {
    case FieldEncoding::kText: return "text";
    case FieldEncoding::kWords: return "words";
    case FieldEncoding::kOctets: return "octets";
    case FieldEncoding::kNone: break;
  }
  return "none";
}

void Procedures(std::ostream& out) {
  out << "local procedures = {\n";
  for (unsigned code = 0; code < 0xFF; ++code) {
    if (Vocabulary::ProcedureIdOf(static_cast<uint8_t>(code)) == kProcUnknown) continue;
    out << "  [" << Code(code) << "] = { name = " << Quoted(Vocabulary::ProcedureName(static_cast<uint8_t>(code)))
        << ", subunit = " << (Vocabulary::ProcedureHasSubunit(static_cast<uint8_t>(code)) ? "true" : "false")
        << " },\n";
  }
  out << "}\nlocal unknown_procedure = " << Quoted(Vocabulary::ProcedureName(0xFF)) << "\n";
}

// 0xFF marks the program's own results, which no device sends.
void ReturnCodes(std::ostream& out) {
  const uint8_t unknown = Vocabulary::ResultFromAisg(0x00);
  out << "local return_codes = {\n";
  for (unsigned code = 0; code < 0xFF; ++code) {
    uint8_t result = Vocabulary::ResultFromAisg(static_cast<uint8_t>(code));
    if (result == unknown) continue;
    out << "  [" << Code(code) << "] = " << Quoted(Vocabulary::ResultName(result)) << ",\n";
  }
  out << "}\nlocal unknown_return_code = " << Quoted(Vocabulary::ResultName(unknown)) << "\n";
}

void Fields(std::ostream& out) {
  out << "local fields = {\n";
  for (unsigned id = 0; id < 0xFF; ++id) {
    const DataFieldInfo& row = DataFieldInfoOf(static_cast<uint8_t>(id));
    if (row.Group == FieldGroup::kNone) continue;
    out << "  [" << Code(id) << "] = { name = " << Quoted(row.Name) << ", width = " << unsigned{row.Width}
        << ", encoding = \"" << EncodingName(row.Encoding) << "\" },\n";
  }
  out << "}\nlocal unknown_field = " << Quoted(DataFieldName(0xFF)) << "\n";
}

// Values whose text differs from the fallback's.
template <typename TextOf>
void Texts(std::ostream& out, const char* name, const char* fallbackName, TextOf textOf) {
  const std::string fallback = textOf(0xFF);
  out << "local " << name << " = {\n";
  for (unsigned v = 0; v < 0xFF; ++v) {
    std::string text = textOf(static_cast<uint8_t>(v));
    if (text != fallback) out << "  [" << Code(v) << "] = " << Quoted(text) << ",\n";
  }
  out << "}\nlocal " << fallbackName << " = " << Quoted(fallback) << "\n";
}

std::string Block() {
  std::ostringstream out;
  out << kBegin
      << "-- Generated from Tiltdeck's layer-7 vocabulary by aisg_vocabulary; a test\n"
         "-- checks that it still matches. Do not edit by hand: run\n"
         "--   build/bin/aisg_vocabulary --update tools/wireshark/aisg.lua\n";
  Procedures(out);
  ReturnCodes(out);
  Fields(out);
  Texts(out, "device_types", "unknown_device_type", Vocabulary::AldTypeText);
  Texts(out, "aisg_versions", "unknown_aisg_version", Vocabulary::AisgVersionText);
  out << kEnd;
  return out.str();
}

bool ReadWhole(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return static_cast<bool>(in);
}

// The block of a dissector file: from the begin line to the end line.
bool FindBlock(const std::string& text, size_t& from, size_t& to) {
  from = text.find(kBegin);
  size_t end = from == std::string::npos ? from : text.find(kEnd, from);
  if (end == std::string::npos) return false;
  to = end + sizeof kEnd - 1;
  return true;
}

int Run(const std::string& mode, const std::string& path) {
  std::string text;
  size_t from = 0, to = 0;
  if (!ReadWhole(path, text) || !FindBlock(text, from, to)) {
    std::cerr << "aisg_vocabulary: no vocabulary block in " << path << "\n";
    return 2;
  }
  std::string block = Block();
  if (mode == "--check") {
    if (text.compare(from, to - from, block) == 0) return 0;
    std::cerr << "aisg_vocabulary: the vocabulary of " << path << " differs from the program's; run\n"
              << "  build/bin/aisg_vocabulary --update " << path << "\n";
    return 1;
  }
  text.replace(from, to - from, block);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return out ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) {
    std::cout << Block();
    return 0;
  }
  std::string mode = argv[1];
  if (argc != 3 || (mode != "--check" && mode != "--update")) {
    std::cerr << "usage: aisg_vocabulary [--check FILE | --update FILE]\n";
    return 2;
  }
  return Run(mode, argv[2]);
}
