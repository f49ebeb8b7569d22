// The ASP page preprocessor on 1 MiB pages: a report page (HTML table rows with expressions and
// code) and a page of nothing but tiny constructs, each with two includes. Each page is checked
// to preprocess before it is timed.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "wendrel/asp/preprocessor.h"

namespace {

constexpr size_t kPageBytes = size_t{1} << 20;

class BenchSite : public PreprocessorSite {
 public:
  Result<IncludedFile> ReadInclude(const IncludeRequest& request) override {
    return IncludedFile{"/site/" + request.name,
                        "<% Function F(x)\r\n F = x * 2\r\nEnd Function %>\r\n"};
  }
  void Log(std::string_view) override {}
};

std::string Repeated(std::string_view head, std::string_view unit) {
  std::string page(head);
  while (page.size() < kPageBytes) page += unit;
  return page;
}

std::string ReportPage() {
  return Repeated(
      "<%@ Language=VBScript %>\r\n"
      "<!--#include file=\"a.inc\"-->\r\n<!--#include file=\"b.inc\"-->\r\n"
      "<html><body><table>\r\n",
      "<tr class=\"row\">\r\n  <td><%= rs(\"name\") %></td>\r\n"
      "  <td align=\"right\"><%= FormatNumber(rs(\"amount\"), 2) %></td>\r\n"
      "  <% If rs(\"flag\") Then %><td>*</td><% Else %><td></td><% End If %>\r\n</tr>\r\n");
}

std::string TinyConstructsPage() { return Repeated("", "a<%=b%><% c %>\r\n"); }

void Preprocess(benchmark::State& state, const std::string& page) {
  BenchSite site;
  PreprocessOptions options;
  options.page_path = "/site/page.asp";
  PreprocessOutcome<PreprocessedPage> check = PreprocessPage(page, options, site);
  if (!check.ok() || check.value().primary.script.empty()) {
    state.SkipWithError("the page does not preprocess");
    return;
  }
  for (auto _ : state) {
    PreprocessOutcome<PreprocessedPage> outcome = PreprocessPage(page, options, site);
    benchmark::DoNotOptimize(outcome.value().primary.script.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void ReportPage1MiB(benchmark::State& state) { Preprocess(state, ReportPage()); }
void TinyConstructs1MiB(benchmark::State& state) { Preprocess(state, TinyConstructsPage()); }

BENCHMARK(ReportPage1MiB)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(TinyConstructs1MiB)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
