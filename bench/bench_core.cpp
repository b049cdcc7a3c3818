// Speed of the address test and of filling a 1 MiB template.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "detect/ip_valid.h"
#include "publish/template_fill.h"

namespace {

void BM_IsIPValid(benchmark::State& state) {
  const std::string texts[] = {"192.168.100.200", "1.2.3.0", "<html>1.2.3.4</html>", "8.8.8.8"};
  for (auto _ : state) {
    for (const auto& t : texts) benchmark::DoNotOptimize(pellvane::IsIPValid(t));
  }
  state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_IsIPValid);

void BM_FillTemplate1MiB(benchmark::State& state) {
  char dir[] = "/tmp/pellvane-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    state.SkipWithError("mkdtemp failed");
    return;
  }
  const std::string in = std::string(dir) + "/t.html";
  const std::string out = std::string(dir) + "/tmp.htm";
  std::string page;
  while (page.size() < (1u << 20)) {
    page += "<tr><td>Adresse</td><td>'!!!***IP***!!!'</td><td>some filler text here</td></tr>\r\n";
  }
  std::ofstream(in, std::ios::binary) << page;
  for (auto _ : state) {
    benchmark::DoNotOptimize(pellvane::FillTemplate(pellvane::RealFileSystem(), in, out,
                                                    "84.123.45.67", pellvane::kIpMarker));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
  unlink(in.c_str());
  unlink(out.c_str());
  rmdir(dir);
}
BENCHMARK(BM_FillTemplate1MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
