// Any template bytes through ReplaceMarker and FillTemplate, checked against a plain model of
// the page: lines split at CR LF or a lone CR, each marker replaced, each line ended CR CR LF.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz_folder.h"
#include "publish/template_fill.h"

namespace {

constexpr std::string_view kValue = "192.168.100.200";

std::string Filled(std::string line) {
  std::string out;
  for (std::size_t at; (at = line.find(pellvane::kIpMarker)) != std::string::npos;) {
    out += line.substr(0, at);
    out += kValue;
    line.erase(0, at + pellvane::kIpMarker.size());
  }
  return out + line;
}

std::string ExpectedPage(const std::string& in) {
  std::string page;
  std::string line;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\r') {
      line += in[i];
      continue;
    }
    if (i + 1 < in.size() && in[i + 1] == '\n') ++i;
    page += Filled(line) + "\r\r\n";
    line.clear();
  }
  if (!line.empty()) page += Filled(line) + "\r\r\n";
  return page;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);

  std::string line = in;
  const std::string returned = pellvane::ReplaceMarker(line, kValue, pellvane::kIpMarker);
  if (returned != line || line != Filled(in)) std::abort();

  const std::string template_path = pellvane::fuzzing::FuzzFolder() + "/template.htm";
  const std::string output_path = pellvane::fuzzing::FuzzFolder() + "/tmp.htm";
  std::ofstream(template_path, std::ios::binary | std::ios::trunc) << in;
  if (pellvane::FillTemplate(template_path, output_path, kValue, pellvane::kIpMarker) !=
      pellvane::FillResult::kOk) {
    std::abort();
  }
  std::ifstream page(output_path, std::ios::binary);
  const std::string written{std::istreambuf_iterator<char>(page), {}};
  if (written != ExpectedPage(in)) std::abort();
  return 0;
}
